// The plain-OpenGL side of the device benchmarks: window and context, the
// textured-quad program, the RGB8 screen framebuffer and the present copy.
// Main thread.
#include "bench/raw_gl.h"

#include <cstddef>
#include <cstdlib>

#include "gdev/gdev_gl.h"

namespace raw_gl {

void UseHeadlessDefaults() {
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LP_NUM_THREADS", "2", 0);
}

GLuint MakeTexture(GLint internalFormat, int width, int height, GLenum format, const void* pixels) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
  return texture;
}

void QuadVertices(float x, float y, float width, float height, Vertex out[4]) {
  out[0] = {x, y, 0, 0};
  out[1] = {x + width, y, 1, 0};
  out[2] = {x, y + height, 0, 1};
  out[3] = {x + width, y + height, 1, 1};
}

bool Screen::start(std::u16string_view title, int width, int height, int windowWidth, int windowHeight,
                   std::string* why) {
  width_ = width;
  height_ = height;
  windowWidth_ = windowWidth;
  windowHeight_ = windowHeight;
  window_ = platform::CreateGLWindow(title, windowWidth, windowHeight, true, why);
  if (!window_) return false;
  context_ = platform::GLContext::create(window_, why);
  if (!context_) return false;
  context_->setSwapInterval(1);  // as the device asks
  if (!buildProgram(why)) return false;

  glGenVertexArrays(1, &vertexArray_);
  glBindVertexArray(vertexArray_);
  glGenBuffers(1, &vertexBuffer_);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, x)));
  glEnableVertexAttribArray(1);
  glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, u)));

  screenTexture_ = MakeTexture(GL_RGB8, width, height, GL_RGB, nullptr);
  glGenFramebuffers(1, &screenFramebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screenTexture_, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    *why = "incomplete RGB8 framebuffer";
    return false;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_DITHER);
  return true;
}

void Screen::stop() {
  if (context_) {
    glDeleteFramebuffers(1, &screenFramebuffer_);
    glDeleteTextures(1, &screenTexture_);
    glDeleteBuffers(1, &vertexBuffer_);
    glDeleteVertexArrays(1, &vertexArray_);
    glDeleteProgram(program_);
  }
  screenFramebuffer_ = screenTexture_ = vertexBuffer_ = vertexArray_ = program_ = 0;
  context_.reset();
  if (window_) platform::DestroyGLWindow(window_);
  window_ = nullptr;
}

void Screen::setVertices(std::span<const Vertex> quads) {
  vertices_.assign(quads.begin(), quads.end());
  vertices_.resize(quads.size() + 4);
  QuadVertices(0, 0, static_cast<float>(width_), static_cast<float>(height_), &vertices_[quads.size()]);
  presentFirst_ = static_cast<GLint>(quads.size());
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices_.size() * sizeof(Vertex)), vertices_.data(),
               GL_STREAM_DRAW);
  glUseProgram(program_);
}

void Screen::beginScreen(const float clear[4]) {
  // The screen buffer is stored top row first, as the device stores it.
  glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
  glViewport(0, 0, width_, height_);
  glClearColor(TruncToByte(clear[0]), TruncToByte(clear[1]), TruncToByte(clear[2]), TruncToByte(clear[3]));
  glClear(GL_COLOR_BUFFER_BIT);
  glUniform4f(scaleLocation_, 2.0f / static_cast<float>(width_), 2.0f / static_cast<float>(height_), -1.0f, -1.0f);
}

void Screen::present() {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, windowWidth_, windowHeight_);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  glDisable(GL_BLEND);
  glUniform4f(scaleLocation_, 2.0f / static_cast<float>(width_), -2.0f / static_cast<float>(height_), -1.0f, 1.0f);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, screenTexture_);
  glDrawArrays(GL_TRIANGLE_STRIP, presentFirst_, 4);
  context_->swapBuffers();
}

bool Screen::buildProgram(std::string* why) {
  const char* vertexSource = R"(#version 330 core
uniform vec4 uScale;
layout(location = 0) in vec2 aPosition;
layout(location = 1) in vec2 aUV;
out vec2 vUV;
void main() {
  gl_Position = vec4(aPosition * uScale.xy + uScale.zw, 0.0, 1.0);
  vUV = aUV;
}
)";
  const char* fragmentSource = R"(#version 330 core
uniform sampler2D uTex;
in vec2 vUV;
out vec4 fragColor;
void main() { fragColor = texture(uTex, vUV); }
)";
  GLuint stages[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
  glShaderSource(stages[0], 1, &vertexSource, nullptr);
  glShaderSource(stages[1], 1, &fragmentSource, nullptr);
  program_ = glCreateProgram();
  for (GLuint stage : stages) {
    glCompileShader(stage);
    glAttachShader(program_, stage);
  }
  glLinkProgram(program_);
  for (GLuint stage : stages) glDeleteShader(stage);
  GLint linked = GL_FALSE;
  glGetProgramiv(program_, GL_LINK_STATUS, &linked);
  if (linked != GL_TRUE) {
    *why = "the raw program did not link";
    return false;
  }
  glUseProgram(program_);
  glUniform1i(glGetUniformLocation(program_, "uTex"), 0);
  scaleLocation_ = glGetUniformLocation(program_, "uScale");
  return true;
}

}  // namespace raw_gl
