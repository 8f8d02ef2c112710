// OpenGL windows and contexts over SDL2 (EGL on the offscreen driver, GLX or
// EGL on X11 and Wayland); quit signals become quit events while one exists.
#include "platform/gl_window.h"

#include <SDL2/SDL.h>

#include "platform/quit_signals.h"
#include "platform/utf8.h"

namespace platform {

namespace {

// The attributes are read both when the window chooses its visual and when
// the context is made, so they are set before each.
void requestCoreContext() {
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

}  // namespace

SDL_Window* CreateGLWindow(std::u16string_view title, int width, int height, bool hidden, std::string* error) {
  const bool quitSignals = BeginQuitSignals();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    if (quitSignals) EndQuitSignals();
    return nullptr;
  }
  requestCoreContext();
  const Uint32 flags = SDL_WINDOW_OPENGL | (hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
  SDL_Window* window = SDL_CreateWindow(ToUtf8(title).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        width, height, flags);
  if (!window) {
    if (error) *error = SDL_GetError();
    if (quitSignals) EndQuitSignals();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  return window;
}

void DestroyGLWindow(SDL_Window* window) {
  if (!window) return;
  SDL_DestroyWindow(window);
  EndQuitSignals();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

std::unique_ptr<GLContext> GLContext::create(SDL_Window* window, std::string* error) {
  if (!window) {
    if (error) *error = "no window";
    return nullptr;
  }
  requestCoreContext();
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    if (error) *error = SDL_GetError();
    SDL_GL_DeleteContext(context);
    return nullptr;
  }
  return std::unique_ptr<GLContext>(new GLContext(window, context));
}

GLContext::~GLContext() {
  SDL_GL_MakeCurrent(window_, nullptr);
  SDL_GL_DeleteContext(context_);
}

void GLContext::swapBuffers() { SDL_GL_SwapWindow(window_); }

bool GLContext::setSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void GLContext::drawableSize(int* width, int* height) const { SDL_GL_GetDrawableSize(window_, width, height); }

}  // namespace platform
