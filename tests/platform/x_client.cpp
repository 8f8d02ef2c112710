#include "tests/platform/x_client.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

// A window can go between the listing and the question about it.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Display* asDisplay(void* display) { return static_cast<Display*>(display); }

template <class Test>
bool waitFor(int timeoutMs, Test test) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (test()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

bool viewable(Display* display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// WM_NAME as bytes, whatever its type (SDL writes UTF8_STRING).
std::string titleOf(Display* display, Window window) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, XA_WM_NAME, 0, 1024, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success || !data) {
    return {};
  }
  std::string title(reinterpret_cast<const char*>(data), format == 8 ? count : 0);
  XFree(data);
  return title;
}

}  // namespace

XClient::XClient(const std::string& display) {
  XSetErrorHandler(ignoreErrors);
  display_ = XOpenDisplay(display.c_str());
}

XClient::~XClient() {
  if (display_) XCloseDisplay(asDisplay(display_));
}

unsigned long XClient::waitForWindow(const std::string& name, int timeoutMs, unsigned long other) {
  Display* display = asDisplay(display_);
  if (!display) return 0;
  Window found = 0;
  waitFor(timeoutMs, [&] {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return false;
    for (unsigned i = 0; i < count && !found; ++i) {
      if (children[i] != other && titleOf(display, children[i]) == name && viewable(display, children[i])) {
        found = children[i];
      }
    }
    if (children) XFree(children);
    return found != 0;
  });
  return found;
}

bool XClient::waitUntilGone(unsigned long window, int timeoutMs) {
  Display* display = asDisplay(display_);
  return display && waitFor(timeoutMs, [&] { return !viewable(display, window); });
}

bool XClient::waitForFocus(unsigned long window, int timeoutMs) {
  Display* display = asDisplay(display_);
  return display && waitFor(timeoutMs, [&] {
           Window focus = 0;
           int revert = 0;
           XGetInputFocus(display, &focus, &revert);
           return focus == window;
         });
}

void XClient::pressKey(unsigned long window, const char* keysym) {
  Display* display = asDisplay(display_);
  if (!display) return;
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xkey.display = display;
  event.xkey.window = window;
  event.xkey.root = DefaultRootWindow(display);
  event.xkey.time = CurrentTime;
  event.xkey.x = event.xkey.y = 1;
  event.xkey.same_screen = True;
  event.xkey.keycode = XKeysymToKeycode(display, XStringToKeysym(keysym));
  event.type = KeyPress;
  XSendEvent(display, window, True, KeyPressMask, &event);
  event.type = KeyRelease;
  XSendEvent(display, window, True, KeyReleaseMask, &event);
  XSync(display, False);
}

void XClient::click(unsigned long window, int x, int y) {
  Display* display = asDisplay(display_);
  if (!display) return;
  // A real move, so the window sees the pointer arrive where it is clicked.
  XWarpPointer(display, None, window, 0, 0, 0, 0, x, y);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xbutton.display = display;
  event.xbutton.window = window;
  event.xbutton.root = DefaultRootWindow(display);
  event.xbutton.time = CurrentTime;
  event.xbutton.x = x;
  event.xbutton.y = y;
  event.xbutton.same_screen = True;
  event.xbutton.button = Button1;
  event.type = ButtonPress;
  XSendEvent(display, window, True, ButtonPressMask, &event);
  event.type = ButtonRelease;
  event.xbutton.state = Button1Mask;
  XSendEvent(display, window, True, ButtonReleaseMask, &event);
  XSync(display, False);
}
