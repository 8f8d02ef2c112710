// Windows that can hold an OpenGL 3.3 core context, and that context: SDL
// owns both. The graphics device makes its context on the main window; tests
// and benchmarks make a hidden window of their own. Main thread only; the
// context stays current on the thread that made it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct SDL_Window;

namespace platform {

// Starts SDL's video subsystem (counted), asks for the framebuffer the device
// needs (8-bit RGB, no depth or stencil, double-buffered, OpenGL 3.3 core) and
// makes a window of the client size w x h with OpenGL support, hidden when
// asked. Null on failure with SDL's reason in *error.
SDL_Window* CreateGLWindow(std::u16string_view title, int width, int height, bool hidden, std::string* error);

// Mesa's software renderer reads how many rasteriser threads to start from
// the environment: sets it for a window of w x h unless it is set already.
// Main thread, before other threads read the environment.
void SetSoftwareRendererThreads(int width, int height);

// Destroys the window and releases the video subsystem it started.
void DestroyGLWindow(SDL_Window* window);

class GLContext {
 public:
  // An OpenGL 3.3 core context on the window, made current. Null on failure
  // with SDL's reason in *error (no such context on this machine, or the
  // window was not made for OpenGL).
  static std::unique_ptr<GLContext> create(SDL_Window* window, std::string* error);
  ~GLContext();
  GLContext(const GLContext&) = delete;
  GLContext& operator=(const GLContext&) = delete;

  // Shows the back buffer.
  void swapBuffers();
  // How many buffer swaps ago the back buffer's pixels were shown: 1 when
  // it still holds the last frame swapped (the offscreen driver's single
  // buffer, a window whose driver keeps it), 0 when that is not known (draw
  // all of it).
  int backBufferAge() const;
  // Shows a rectangle of the back buffer (GL window coordinates, rows from
  // the bottom) without a swap, so the back buffer keeps every pixel: true
  // where the driver can (GLX_MESA_copy_sub_buffer), false and nothing shown
  // elsewhere.
  bool canShowPart() const;
  void showPart(int x, int y, int width, int height);
  // 1 waits for the vertical blank, 0 does not. False when the driver refuses.
  bool setSwapInterval(int interval);
  // The window's framebuffer in pixels (larger than the client size on
  // high-density displays), as it was at the last refresh: on X11 the size
  // the server has, which is not always the one SDL reports.
  void drawableSize(int* width, int* height) const;
  // Asks again; after the window may have changed size (a size event, an
  // exposure, a switch to or from full screen). One round trip on X11.
  void refreshDrawableSize();

 private:
  enum class Keeps { kNothing, kLastFrame, kByAge };
  struct Queries;

  GLContext(SDL_Window* window, void* context);
  SDL_Window* window_;
  void* context_;
  Keeps keeps_ = Keeps::kNothing;
  int drawableWidth_ = 0;
  int drawableHeight_ = 0;
  std::unique_ptr<Queries> queries_;
};

}  // namespace platform
