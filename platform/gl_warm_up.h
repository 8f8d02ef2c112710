// The GL driver's one-time start-up work, done beside the main thread. The
// first GL window of a process pays for loading the driver (Mesa's, with
// LLVM, some tens of milliseconds), for readying its shader compiler (some
// milliseconds at the first program) and for readying its code generator
// (at the first drawing); all of it is the process's, not the context's.
// A warm-up does it on a thread of its own through a context without a
// window (EGL, surfaceless), so that the window's context finds it done.
//
// The compiler's tables go with the last context that used them: the
// warm-up's context is ended (end()) only once the window's context has
// linked its first program.
#pragma once

#include <memory>

namespace platform {

class GLWarmUp {
 public:
  // Main thread, before other threads start: reads the environment, and
  // settles what the software renderer reads from it for a window of
  // width x height (CreateGLWindow does the same where nothing came first).
  // Where no display server is waited on (SDL's offscreen or dummy video)
  // or the driver would not be Mesa's (an NVIDIA display) the warm-up does
  // nothing.
  GLWarmUp(int width, int height);
  ~GLWarmUp();
  GLWarmUp(const GLWarmUp&) = delete;
  GLWarmUp& operator=(const GLWarmUp&) = delete;

  // On the thread that does the work: loads the driver, makes a 3.3 core
  // context without a window, compiles and links the two stages and draws
  // once with them into a small texture, then leaves the context current
  // nowhere. False where any of it could not be done (no EGL, no
  // surfaceless platform, a stage that does not compile).
  bool run(const char* vertexSource, const char* fragmentSource);
  // Ends the context and its display; any thread, once run() has returned.
  void end();

 private:
  struct Egl;
  bool enabled_ = false;
  bool glx_ = false;  // SDL's window will use GLX: its library is loaded too
  std::unique_ptr<Egl> egl_;
};

}  // namespace platform
