// Shader sources and program linking of the OpenGL device.
#include "gdev/gl_shaders.h"

namespace {

const char* const kVertexSource = R"(#version 330 core
layout(std140) uniform Transforms {
  mat4 uWorld;
  mat4 uProjection;
  vec4 uTarget;
};
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aUV0;
layout(location = 3) in vec2 aUV1;
layout(location = 4) in vec2 aUV2;
out vec4 vColor;
out vec2 vUV0;
out vec2 vUV1;
out vec2 vUV2;
void main() {
  vec4 p = uProjection * (uWorld * vec4(aPosition, 1.0));
  p.y *= uTarget.x;
  gl_Position = p;
  vColor = aColor;
  vUV0 = aUV0;
  vUV1 = aUV1;
  vUV2 = aUV2;
}
)";

const char* const kFragmentHeader = R"(#version 330 core
in vec4 vColor;
in vec2 vUV0;
in vec2 vUV1;
in vec2 vUV2;
uniform sampler2D uTex0;
uniform sampler2D uTex1;
uniform sampler2D uTex2;
uniform float uFactor;
out vec4 fragColor;
)";

const char* const kFragmentBodies[] = {
    // Color
    "void main() { fragColor = vColor; }\n",
    // Texture
    "void main() { fragColor = texture(uTex0, vUV0); }\n",
    // TextureColor
    "void main() { fragColor = texture(uTex0, vUV0) * vColor; }\n",
    // Texture2
    "void main() { fragColor = texture(uTex0, vUV0) * texture(uTex1, vUV1); }\n",
    // Texture2Color
    "void main() { fragColor = texture(uTex0, vUV0) * vColor * texture(uTex1, vUV1); }\n",
    // CrossFade
    "void main() { fragColor = mix(texture(uTex0, vUV0), texture(uTex1, vUV1), uFactor); }\n",
    // RuleFade: from on 0, rule on 1, to on 2.
    "void main() { fragColor = mix(texture(uTex0, vUV0), texture(uTex2, vUV2), texture(uTex1, vUV1).a); }\n",
    // WithAlpha
    "void main() { fragColor = vec4(texture(uTex0, vUV0).rgb, texture(uTex1, vUV0).a); }\n",
};
static_assert(sizeof(kFragmentBodies) / sizeof(kFragmentBodies[0]) == static_cast<size_t>(GLProgram::Count));

GLuint compile(GLenum stage, const char* header, const char* body, std::string* error) {
  GLuint shader = glCreateShader(stage);
  const char* parts[2] = {header, body};
  glShaderSource(shader, body ? 2 : 1, parts, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok != GL_TRUE) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    if (error) *error = log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

bool GLPrograms::build(std::string* error) {
  release();
  GLuint vertex = compile(GL_VERTEX_SHADER, kVertexSource, nullptr, error);
  if (!vertex) return false;
  bool ok = true;
  for (int i = 0; i < static_cast<int>(GLProgram::Count) && ok; ++i) {
    GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentHeader, kFragmentBodies[i], error);
    if (!fragment) {
      ok = false;
      break;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
      char log[1024] = {};
      glGetProgramInfoLog(program, sizeof log, nullptr, log);
      if (error) *error = log;
      glDeleteProgram(program);
      ok = false;
      break;
    }
    programs_[i] = program;
    const GLuint block = glGetUniformBlockIndex(program, "Transforms");
    if (block != GL_INVALID_INDEX) glUniformBlockBinding(program, block, kTransformBinding);
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "uTex0"), 0);
    glUniform1i(glGetUniformLocation(program, "uTex1"), 1);
    glUniform1i(glGetUniformLocation(program, "uTex2"), 2);
    if (i == static_cast<int>(GLProgram::CrossFade)) factorLocation_ = glGetUniformLocation(program, "uFactor");
  }
  glDeleteShader(vertex);
  glUseProgram(0);
  if (!ok) release();
  return ok;
}

void GLPrograms::release() {
  for (GLuint& program : programs_) {
    if (program) glDeleteProgram(program);
    program = 0;
  }
  factorLocation_ = -1;
}
