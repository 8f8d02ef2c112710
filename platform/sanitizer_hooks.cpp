// Linked into the sanitizer build of app_w only (CMake's ZEP_SANITIZE): the
// leak checker's suppressions for system libraries, built in from
// tools/lsan-suppressions.txt so that whoever runs this app_w gets them, and
// shared libraries kept loaded to the end of the process. Read by the
// sanitizer runtime, on the thread that ends the process.

// Mesa unloads its driver (and with it the shader compiler) before the leak
// check runs at exit: what they allocated then has no module for a
// suppression to name, and what their globals still pointed to counts as
// leaked. Kept loaded, their memory is seen for what it is.
extern "C" int dlclose(void*) { return 0; }

extern "C" const char* __lsan_default_suppressions() {
  return
#include "lsan_suppressions.inc"
      ;
}
