// The plain-OpenGL side that the device benchmarks measure the engine
// against: a hidden window with a context of its own, one textured-quad
// program, one vertex buffer, an RGB8 framebuffer of the screen's size (top
// row first, as the device stores it) and the present copy of that buffer
// into the window. Main thread; the context stays current from start to stop.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gdev/gl_api.h"
#include "platform/gl_window.h"

namespace raw_gl {

// A corner of a quad: position in pixels, texture coordinates.
struct Vertex {
  float x, y, u, v;
};

// Headless machines draw through SDL's offscreen driver (Mesa's llvmpipe),
// with the rasteriser threads the tests use unless the caller says. Call
// before any window is made.
void UseHeadlessDefaults();

// A linear, clamped texture without mipmaps (pixels may be null).
GLuint MakeTexture(GLint internalFormat, int width, int height, GLenum format, const void* pixels);

// The four corners of the rectangle (x, y, width, height) as a triangle
// strip over the whole texture.
void QuadVertices(float x, float y, float width, float height, Vertex out[4]);

class Screen {
 public:
  Screen() = default;
  Screen(const Screen&) = delete;
  Screen& operator=(const Screen&) = delete;

  // Window, context (swap interval 1, as the device asks), program, vertex
  // buffer and a screen framebuffer of width x height. The window's client
  // area is the screen's size, or windowWidth x windowHeight, which the
  // present copy then fills, scaled. False with the reason in *why; stop
  // releases whatever was made.
  bool start(std::u16string_view title, int width, int height, std::string* why) {
    return start(title, width, height, width, height, why);
  }
  bool start(std::u16string_view title, int width, int height, int windowWidth, int windowHeight, std::string* why);
  // Deletes what start made; textures of the caller go first, while
  // hasContext().
  void stop();
  bool hasContext() const { return context_ != nullptr; }

  // One upload a frame: the caller's quads, then the present copy's quad,
  // into the vertex buffer; the program becomes current.
  void setVertices(std::span<const Vertex> quads);
  // Binds the screen framebuffer, clears it to the colour (truncated to
  // bytes, as the device clears) and sets pixel coordinates. Blending and
  // texture binds are the caller's.
  void beginScreen(const float clear[4]);
  // The present copy: the screen buffer onto the window without blending,
  // then the swap. The caller finishes.
  void present();

  int64_t screenBufferBytes() const { return int64_t{width_} * height_ * 4; }

 private:
  bool buildProgram(std::string* why);

  int width_ = 0;
  int height_ = 0;
  int windowWidth_ = 0;
  int windowHeight_ = 0;
  SDL_Window* window_ = nullptr;
  std::unique_ptr<platform::GLContext> context_;
  GLuint program_ = 0;
  GLint scaleLocation_ = -1;
  GLuint vertexArray_ = 0;
  GLuint vertexBuffer_ = 0;
  GLuint screenTexture_ = 0;
  GLuint screenFramebuffer_ = 0;
  std::vector<Vertex> vertices_;
  GLint presentFirst_ = 0;
};

}  // namespace raw_gl
