// OpenGL windows and contexts over SDL2 (EGL on the offscreen driver, GLX or
// EGL on X11 and Wayland); quit signals become quit events while one exists.
#include "platform/gl_window.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/quit_signals.h"
#include "platform/utf8.h"
#include "platform/video_window.h"
#include "platform/x11_display.h"

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

// The few EGL and GLX entry points and constants used below, found through
// SDL at run time (no EGL or GLX header or library of our own).
using EglDisplay = void*;
using EglSurface = void*;
constexpr int kEglDrawSurface = 0x3059;
constexpr int kEglSwapBehavior = 0x3093;
constexpr int kEglBufferPreserved = 0x3094;
constexpr int kEglBufferAge = 0x313D;
constexpr int kEglExtensions = 0x3055;
constexpr int kGlxBackBufferAge = 0x20F4;

// EGL makes the window surfaces of every driver but X11's, which uses GLX
// unless told otherwise.
bool UsesEgl() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0) return true;
  return SDL_GetHintBoolean(SDL_HINT_VIDEO_X11_FORCE_EGL, SDL_FALSE) == SDL_TRUE;
}

bool HasWord(const char* list, const char* word) {
  if (!list) return false;
  const size_t n = std::strlen(word);
  for (const char* p = std::strstr(list, word); p; p = std::strstr(p + 1, word)) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

}  // namespace

struct GLContext::Queries {
  EglDisplay (*eglGetCurrentDisplay)() = nullptr;
  EglSurface (*eglGetCurrentSurface)(int) = nullptr;
  unsigned (*eglQuerySurface)(EglDisplay, EglSurface, int, int*) = nullptr;
  void* (*glXGetCurrentDisplay)() = nullptr;
  unsigned long (*glXGetCurrentDrawable)() = nullptr;
  void (*glXQueryDrawable)(void*, unsigned long, int, unsigned*) = nullptr;
  void (*glXCopySubBufferMESA)(void*, unsigned long, int, int, int, int) = nullptr;
};

namespace {

template <class F>
void Find(F* f, const char* name) {
  *f = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

}  // namespace

GLContext::GLContext(SDL_Window* window, void* context)
    : window_(window), context_(context), queries_(std::make_unique<Queries>()) {
  refreshDrawableSize();
  Queries& q = *queries_;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "offscreen") == 0) {
    // A pbuffer: a swap shows nothing and changes nothing.
    keeps_ = Keeps::kLastFrame;
    return;
  }
  if (UsesEgl()) {
    unsigned (*surfaceAttrib)(EglDisplay, EglSurface, int, int) = nullptr;
    const char* (*queryString)(EglDisplay, int) = nullptr;
    Find(&q.eglGetCurrentDisplay, "eglGetCurrentDisplay");
    Find(&q.eglGetCurrentSurface, "eglGetCurrentSurface");
    Find(&q.eglQuerySurface, "eglQuerySurface");
    Find(&surfaceAttrib, "eglSurfaceAttrib");
    Find(&queryString, "eglQueryString");
    if (!q.eglGetCurrentDisplay || !q.eglGetCurrentSurface) return;
    EglDisplay display = q.eglGetCurrentDisplay();
    EglSurface surface = q.eglGetCurrentSurface(kEglDrawSurface);
    if (surfaceAttrib && surfaceAttrib(display, surface, kEglSwapBehavior, kEglBufferPreserved)) {
      keeps_ = Keeps::kLastFrame;
    } else if (q.eglQuerySurface && queryString && HasWord(queryString(display, kEglExtensions), "EGL_EXT_buffer_age")) {
      keeps_ = Keeps::kByAge;
    }
    return;
  }
  // GLX: only a driver that lists the age may be asked it (asking another
  // is an X error). Screen 0: the one X screen of nearly every display.
  const char* (*queryExtensions)(void*, int) = nullptr;
  Find(&q.glXGetCurrentDisplay, "glXGetCurrentDisplay");
  Find(&q.glXGetCurrentDrawable, "glXGetCurrentDrawable");
  Find(&q.glXQueryDrawable, "glXQueryDrawable");
  Find(&queryExtensions, "glXQueryExtensionsString");
  if (!q.glXGetCurrentDisplay || !q.glXGetCurrentDrawable || !q.glXQueryDrawable || !queryExtensions) return;
  void* display = q.glXGetCurrentDisplay();
  const char* extensions = display ? queryExtensions(display, 0) : nullptr;
  if (HasWord(extensions, "GLX_EXT_buffer_age")) keeps_ = Keeps::kByAge;
  if (HasWord(extensions, "GLX_MESA_copy_sub_buffer")) Find(&q.glXCopySubBufferMESA, "glXCopySubBufferMESA");
}

void SetSoftwareRendererThreads(int width, int height) {
  // Left alone, the renderer starts a rasteriser thread per CPU; each frame
  // wakes them all, which costs more than the few pixels a frame of this
  // engine changes take to draw. One thread per 640 x 720 pixels of window,
  // at least two (one alone holds a busy screen, a hundred moving layers,
  // to half the frame rate two reach, while a revealing page costs a second
  // thread little) and at most four, never more than there are CPUs; other
  // drivers do not read it.
  const long long pixels = static_cast<long long>(width) * height;
  const long long cpus = std::max(1u, std::thread::hardware_concurrency());
  const long long threads = std::min(std::clamp<long long>((pixels + 230400) / 460800, 2, 4), cpus);
  setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 0);
}

SDL_Window* CreateVideoWindow(std::u16string_view title, int width, int height, uint32_t flags, void (*prepare)(),
                              std::string* error) {
  const bool quitSignals = BeginQuitSignals();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (error) *error = SDL_GetError();
    if (quitSignals) EndQuitSignals();
    return nullptr;
  }
  if (prepare) prepare();
  SDL_Window* window = SDL_CreateWindow(ToUtf8(title).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        width, height, flags);
  if (!window) {
    if (error) *error = SDL_GetError();
    if (quitSignals) EndQuitSignals();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return nullptr;
  }
  InstallXErrorHandlers(window);
  return window;
}

void DestroyVideoWindow(SDL_Window* window) {
  if (!window) return;
  SDL_DestroyWindow(window);
  EndQuitSignals();
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

SDL_Window* CreateGLWindow(std::u16string_view title, int width, int height, bool hidden, std::string* error) {
  SetSoftwareRendererThreads(width, height);
  return CreateVideoWindow(title, width, height, SDL_WINDOW_OPENGL | (hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN),
                           &requestCoreContext, error);
}

void DestroyGLWindow(SDL_Window* window) { DestroyVideoWindow(window); }

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

bool GLContext::canShowPart() const { return queries_->glXCopySubBufferMESA != nullptr; }

void GLContext::showPart(int x, int y, int width, int height) {
  const Queries& q = *queries_;
  if (q.glXCopySubBufferMESA) q.glXCopySubBufferMESA(q.glXGetCurrentDisplay(), q.glXGetCurrentDrawable(), x, y, width, height);
}

int GLContext::backBufferAge() const {
  const Queries& q = *queries_;
  switch (keeps_) {
    case Keeps::kNothing:
      return 0;
    case Keeps::kLastFrame:
      return 1;
    case Keeps::kByAge:
      break;
  }
  if (q.eglQuerySurface) {
    int age = 0;
    if (!q.eglQuerySurface(q.eglGetCurrentDisplay(), q.eglGetCurrentSurface(kEglDrawSurface), kEglBufferAge, &age)) {
      return 0;
    }
    return age > 0 ? age : 0;
  }
  unsigned age = 0;
  q.glXQueryDrawable(q.glXGetCurrentDisplay(), q.glXGetCurrentDrawable(), kGlxBackBufferAge, &age);
  return static_cast<int>(age);
}

bool GLContext::setSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0; }

void GLContext::drawableSize(int* width, int* height) const {
  *width = drawableWidth_;
  *height = drawableHeight_;
}

void GLContext::refreshDrawableSize() {
  if (!GetXWindowSize(window_, &drawableWidth_, &drawableHeight_)) {
    SDL_GL_GetDrawableSize(window_, &drawableWidth_, &drawableHeight_);
  }
}

}  // namespace platform
