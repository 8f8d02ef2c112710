// Xlib error handlers, the X server's own view of a window's size and input
// focus, over the display SDL opened. The handlers may run on any thread
// that used the display.
#include "platform/x11_display.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

std::atomic<XReportSink> g_protocolSink{nullptr};
std::atomic<XReportSink> g_lostSink{nullptr};

int onProtocolError(Display* display, XErrorEvent* error) {
  char name[160] = {};
  XGetErrorText(display, error->error_code, name, sizeof name);
  char line[320];
  std::snprintf(line, sizeof line, "%s (request %u.%u, resource 0x%lx)", name,
                static_cast<unsigned>(error->request_code), static_cast<unsigned>(error->minor_code),
                static_cast<unsigned long>(error->resourceid));
  if (XReportSink sink = g_protocolSink.load()) sink(line);
  return 0;
}

// Xlib ends the process itself when this returns: it does not.
int onConnectionLost(Display*) {
  static std::atomic<bool> reported{false};
  if (!reported.exchange(true)) {
    if (XReportSink sink = g_lostSink.load()) sink("the connection to the X server was lost");
  }
  std::fflush(nullptr);
  std::_Exit(1);
}

bool x11Info(SDL_Window* window, Display** display, Window* xwindow) {
  if (!window) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *xwindow = info.info.x11.window;
  return *display != nullptr;
}

}  // namespace

void SetXReportSinks(XReportSink protocolError, XReportSink connectionLost) {
  g_protocolSink.store(protocolError);
  g_lostSink.store(connectionLost);
}

void InstallXErrorHandlers(SDL_Window* window) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!x11Info(window, &display, &xwindow)) return;
  XSetErrorHandler(onProtocolError);
  XSetIOErrorHandler(onConnectionLost);
  const char* forced = std::getenv("ZEP_TEST_X_ERROR");
  if (forced && std::strcmp(forced, "1") == 0) {
    // A window of no client: the server answers BadWindow.
    XMapWindow(display, 0x1FFFFFFF);
    XSync(display, False);
  }
}

bool GetXWindowSize(SDL_Window* window, int* width, int* height) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!x11Info(window, &display, &xwindow)) return false;
  Window root = 0;
  int x = 0, y = 0;
  unsigned w = 0, h = 0, border = 0, depth = 0;
  if (!XGetGeometry(display, xwindow, &root, &x, &y, &w, &h, &border, &depth)) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

void FocusXWindow(SDL_Window* window) {
  Display* display = nullptr;
  Window xwindow = 0;
  if (!x11Info(window, &display, &xwindow)) return;
  XSetInputFocus(display, xwindow, RevertToPointerRoot, CurrentTime);
  XFlush(display);
}

}  // namespace platform
