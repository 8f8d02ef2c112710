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

// A compiler or linker log without its closing line ends.
std::string trimmed(const char* log) {
  std::string text = log;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

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
    if (error) *error = trimmed(log);
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

}  // namespace

const char* GLVertexStageSource() { return kVertexSource; }

std::string GLFragmentStageSource(GLProgram which) {
  const int i = static_cast<int>(which);
  if (i < 0 || i >= static_cast<int>(GLProgram::Count)) return std::string();
  return std::string(kFragmentHeader) + kFragmentBodies[i];
}

bool GLPrograms::init(GLProgram first, std::string* error) {
  release();
  vertex_ = compile(GL_VERTEX_SHADER, kVertexSource, nullptr, error);
  if (!vertex_) return false;
  if (!link(first, error)) {
    release();
    return false;
  }
  return true;
}

GLuint GLPrograms::get(GLProgram which, std::string* error) {
  const int i = static_cast<int>(which);
  if (i < 0 || i >= static_cast<int>(GLProgram::Count)) return 0;
  if (programs_[i] || failed_[i]) return programs_[i];
  if (!vertex_ || !link(which, error)) {
    failed_[i] = true;
    if (!vertex_ && error) *error = "no vertex stage";
    return 0;
  }
  return programs_[i];
}

int GLPrograms::builtCount() const {
  int count = 0;
  for (GLuint program : programs_) count += program != 0;
  return count;
}

bool GLPrograms::link(GLProgram which, std::string* error) {
  const int i = static_cast<int>(which);
  GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentHeader, kFragmentBodies[i], error);
  if (!fragment) return false;
  GLuint program = glCreateProgram();
  glAttachShader(program, vertex_);
  glAttachShader(program, fragment);
  glLinkProgram(program);
  glDetachShader(program, vertex_);
  glDetachShader(program, fragment);
  glDeleteShader(fragment);
  GLint linked = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    if (error) *error = trimmed(log);
    glDeleteProgram(program);
    return false;
  }
  programs_[i] = program;
  const GLuint block = glGetUniformBlockIndex(program, "Transforms");
  if (block != GL_INVALID_INDEX) glUniformBlockBinding(program, block, kTransformBinding);
  // Sampler units are program state: set once here, with the caller's
  // program put back afterwards.
  GLint current = 0;
  glGetIntegerv(GL_CURRENT_PROGRAM, &current);
  glUseProgram(program);
  glUniform1i(glGetUniformLocation(program, "uTex0"), 0);
  glUniform1i(glGetUniformLocation(program, "uTex1"), 1);
  glUniform1i(glGetUniformLocation(program, "uTex2"), 2);
  if (which == GLProgram::CrossFade) factorLocation_ = glGetUniformLocation(program, "uFactor");
  glUseProgram(static_cast<GLuint>(current));
  return true;
}

void GLPrograms::release() {
  for (GLuint& program : programs_) {
    if (program) glDeleteProgram(program);
    program = 0;
  }
  for (bool& failed : failed_) failed = false;
  if (vertex_) glDeleteShader(vertex_);
  vertex_ = 0;
  factorLocation_ = -1;
}
