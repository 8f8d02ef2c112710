// A second client of a test's X server that looks for the engine's windows
// and plays the player: keys and clicks sent to a window. Only this file's
// source includes Xlib.
#pragma once

#include <string>

class XClient {
 public:
  explicit XClient(const std::string& display);
  ~XClient();
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  bool connected() const { return display_ != nullptr; }
  // A viewable top-level window of this name other than `other`; 0 when
  // none shows within the time.
  unsigned long waitForWindow(const std::string& name, int timeoutMs, unsigned long other = 0);
  // True once the window is gone or no longer viewable.
  bool waitUntilGone(unsigned long window, int timeoutMs);
  // True once the window has the keyboard focus.
  bool waitForFocus(unsigned long window, int timeoutMs);
  // A key press and release (an X key symbol name: "Return", "Escape").
  void pressKey(unsigned long window, const char* keysym);
  // The pointer moved to (x, y) of the window, then a left click there.
  void click(unsigned long window, int x, int y);

 private:
  void* display_ = nullptr;
};
