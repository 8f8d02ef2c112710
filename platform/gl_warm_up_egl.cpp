// The GL driver's warm-up through EGL's surfaceless platform (Mesa's): the
// EGL and GL entry points are found at run time, as the window's are (no
// EGL header or library of our own).
#include "platform/gl_warm_up.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/gl_window.h"

namespace platform {

namespace {

using EglDisplay = void*;
using EglContext = void*;
constexpr unsigned kEglPlatformSurfacelessMesa = 0x31DD;
constexpr unsigned kEglOpenGLApi = 0x30A2;
constexpr int kEglContextMajorVersion = 0x3098;
constexpr int kEglContextMinorVersion = 0x30FB;
constexpr int kEglContextProfileMask = 0x30FD;
constexpr int kEglCoreProfileBit = 0x1;
constexpr int kEglNone = 0x3038;

// The few GL enumerants used here.
constexpr unsigned kGlVertexShader = 0x8B31;
constexpr unsigned kGlFragmentShader = 0x8B30;
constexpr unsigned kGlLinkStatus = 0x8B82;
constexpr unsigned kGlTexture2D = 0x0DE1;
constexpr unsigned kGlRgba8 = 0x8058;
constexpr unsigned kGlRgba = 0x1908;
constexpr unsigned kGlUnsignedByte = 0x1401;
constexpr unsigned kGlFramebuffer = 0x8D40;
constexpr unsigned kGlColorAttachment0 = 0x8CE0;
constexpr unsigned kGlTriangles = 0x0004;

// A stage that fails to compile fails the link, which is all run() asks.
unsigned CompileStage(void* (*proc)(const char*), unsigned stage, const char* source) {
  auto createShader = reinterpret_cast<unsigned (*)(unsigned)>(proc("glCreateShader"));
  auto shaderSource = reinterpret_cast<void (*)(unsigned, int, const char* const*, const int*)>(proc("glShaderSource"));
  auto compileShader = reinterpret_cast<void (*)(unsigned)>(proc("glCompileShader"));
  if (!createShader || !shaderSource || !compileShader) return 0;
  const unsigned shader = createShader(stage);
  shaderSource(shader, 1, &source, nullptr);
  compileShader(shader);
  return shader;
}

}  // namespace

struct GLWarmUp::Egl {
  void* library = nullptr;
  EglDisplay display = nullptr;
  EglContext context = nullptr;
  unsigned (*destroyContext)(EglDisplay, EglContext) = nullptr;
  unsigned (*terminate)(EglDisplay) = nullptr;
};

GLWarmUp::GLWarmUp(int width, int height) {
  SetSoftwareRendererThreads(width, height);
  // Without a display server to wait on (SDL's offscreen and dummy video)
  // the window's context comes at once: a warm-up beside it would only
  // load the driver and compile a second time, at the same moment.
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (video && (std::strcmp(video, "dummy") == 0 || std::strcmp(video, "offscreen") == 0)) return;
  // glvnd picks the vendor; an NVIDIA display is not Mesa's unless told.
  const char* vendor = std::getenv("__GLX_VENDOR_LIBRARY_NAME");
  const bool mesaNamed = vendor && std::strcmp(vendor, "mesa") == 0;
  if (vendor && !mesaNamed) return;
  if (!mesaNamed && access("/proc/driver/nvidia/version", F_OK) == 0) return;
  enabled_ = true;
  glx_ = !video || std::strcmp(video, "x11") == 0;
}

GLWarmUp::~GLWarmUp() { end(); }

bool GLWarmUp::run(const char* vertexSource, const char* fragmentSource) {
  if (!enabled_ || egl_) return false;
  // The library SDL's GLX window opens, opened as it opens it.
  if (glx_) dlopen("libGLX_mesa.so.0", RTLD_NOW | RTLD_GLOBAL);
  void* library = dlopen("libEGL.so.1", RTLD_NOW | RTLD_GLOBAL);
  if (!library) return false;
  egl_ = std::make_unique<Egl>();
  Egl& egl = *egl_;
  egl.library = library;
  auto getProcAddress = reinterpret_cast<void* (*)(const char*)>(dlsym(library, "eglGetProcAddress"));
  if (!getProcAddress) return false;
  // EGL 1.5's entry, or the extension's of 1.4 (its attributes are ints,
  // and none are passed).
  auto getPlatformDisplay =
      reinterpret_cast<EglDisplay (*)(unsigned, void*, const intptr_t*)>(getProcAddress("eglGetPlatformDisplay"));
  if (!getPlatformDisplay) {
    getPlatformDisplay =
        reinterpret_cast<EglDisplay (*)(unsigned, void*, const intptr_t*)>(getProcAddress("eglGetPlatformDisplayEXT"));
  }
  auto initialize = reinterpret_cast<unsigned (*)(EglDisplay, int*, int*)>(getProcAddress("eglInitialize"));
  auto bindApi = reinterpret_cast<unsigned (*)(unsigned)>(getProcAddress("eglBindAPI"));
  auto createContext =
      reinterpret_cast<EglContext (*)(EglDisplay, void*, EglContext, const int*)>(getProcAddress("eglCreateContext"));
  auto makeCurrent = reinterpret_cast<unsigned (*)(EglDisplay, void*, void*, EglContext)>(getProcAddress("eglMakeCurrent"));
  auto releaseThread = reinterpret_cast<unsigned (*)()>(getProcAddress("eglReleaseThread"));
  egl.destroyContext = reinterpret_cast<unsigned (*)(EglDisplay, EglContext)>(getProcAddress("eglDestroyContext"));
  egl.terminate = reinterpret_cast<unsigned (*)(EglDisplay)>(getProcAddress("eglTerminate"));
  if (!getPlatformDisplay || !initialize || !bindApi || !createContext || !makeCurrent || !egl.destroyContext ||
      !egl.terminate) {
    return false;
  }
  EglDisplay display = getPlatformDisplay(kEglPlatformSurfacelessMesa, nullptr, nullptr);
  if (!display || !initialize(display, nullptr, nullptr)) return false;
  egl.display = display;
  if (!bindApi(kEglOpenGLApi)) return false;
  const int attributes[] = {kEglContextMajorVersion, 3, kEglContextMinorVersion, 3,
                            kEglContextProfileMask, kEglCoreProfileBit, kEglNone};
  egl.context = createContext(display, nullptr, nullptr, attributes);
  if (!egl.context || !makeCurrent(display, nullptr, nullptr, egl.context)) return false;

  auto proc = getProcAddress;
  auto createProgram = reinterpret_cast<unsigned (*)()>(proc("glCreateProgram"));
  auto attachShader = reinterpret_cast<void (*)(unsigned, unsigned)>(proc("glAttachShader"));
  auto linkProgram = reinterpret_cast<void (*)(unsigned)>(proc("glLinkProgram"));
  auto getProgramiv = reinterpret_cast<void (*)(unsigned, unsigned, int*)>(proc("glGetProgramiv"));
  auto useProgram = reinterpret_cast<void (*)(unsigned)>(proc("glUseProgram"));
  auto genTextures = reinterpret_cast<void (*)(int, unsigned*)>(proc("glGenTextures"));
  auto bindTexture = reinterpret_cast<void (*)(unsigned, unsigned)>(proc("glBindTexture"));
  auto texImage2D =
      reinterpret_cast<void (*)(unsigned, int, int, int, int, int, unsigned, unsigned, const void*)>(proc("glTexImage2D"));
  auto genFramebuffers = reinterpret_cast<void (*)(int, unsigned*)>(proc("glGenFramebuffers"));
  auto bindFramebuffer = reinterpret_cast<void (*)(unsigned, unsigned)>(proc("glBindFramebuffer"));
  auto framebufferTexture2D =
      reinterpret_cast<void (*)(unsigned, unsigned, unsigned, unsigned, int)>(proc("glFramebufferTexture2D"));
  auto genVertexArrays = reinterpret_cast<void (*)(int, unsigned*)>(proc("glGenVertexArrays"));
  auto bindVertexArray = reinterpret_cast<void (*)(unsigned)>(proc("glBindVertexArray"));
  auto viewport = reinterpret_cast<void (*)(int, int, int, int)>(proc("glViewport"));
  auto drawArrays = reinterpret_cast<void (*)(unsigned, int, int)>(proc("glDrawArrays"));
  auto finish = reinterpret_cast<void (*)()>(proc("glFinish"));
  bool done = createProgram && attachShader && linkProgram && getProgramiv && useProgram && genTextures &&
              bindTexture && texImage2D && genFramebuffers && bindFramebuffer && framebufferTexture2D &&
              genVertexArrays && bindVertexArray && viewport && drawArrays && finish;
  if (done) {
    const unsigned program = createProgram();
    attachShader(program, CompileStage(proc, kGlVertexShader, vertexSource));
    attachShader(program, CompileStage(proc, kGlFragmentShader, fragmentSource));
    linkProgram(program);
    int linked = 0;
    getProgramiv(program, kGlLinkStatus, &linked);
    done = linked != 0;
    if (done) {
      // One triangle into a small texture readies the code generator; what
      // the objects hold goes with the context.
      unsigned texture = 0, framebuffer = 0, vertexArray = 0;
      genTextures(1, &texture);
      bindTexture(kGlTexture2D, texture);
      texImage2D(kGlTexture2D, 0, static_cast<int>(kGlRgba8), 16, 16, 0, kGlRgba, kGlUnsignedByte, nullptr);
      genFramebuffers(1, &framebuffer);
      bindFramebuffer(kGlFramebuffer, framebuffer);
      framebufferTexture2D(kGlFramebuffer, kGlColorAttachment0, kGlTexture2D, texture, 0);
      genVertexArrays(1, &vertexArray);
      bindVertexArray(vertexArray);
      viewport(0, 0, 16, 16);
      useProgram(program);
      drawArrays(kGlTriangles, 0, 3);
      finish();
    }
  }
  makeCurrent(display, nullptr, nullptr, nullptr);
  if (releaseThread) releaseThread();
  return done;
}

void GLWarmUp::end() {
  if (!egl_) return;
  // The library stays loaded: the driver it loaded is the window's too.
  if (egl_->context) egl_->destroyContext(egl_->display, egl_->context);
  if (egl_->display) egl_->terminate(egl_->display);
  egl_.reset();
}

}  // namespace platform
