// The main window's SDL side: event translation (keys to Windows
// virtual-key numbers, the wheel to 120 per notch), the wait for input, and
// the window, pointer and cursor calls. Main thread.
#include "platform/window.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "platform/message_box.h"
#include "platform/utf8.h"
#include "platform/x11_display.h"

namespace platform {

uint32_t VirtualKeyFromSdlKeycode(int32_t keycode) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return static_cast<uint32_t>(keycode - SDLK_a + 65);
  if (keycode >= SDLK_0 && keycode <= SDLK_9) return static_cast<uint32_t>(keycode - SDLK_0 + 48);
  if (keycode >= SDLK_F1 && keycode <= SDLK_F12) return static_cast<uint32_t>(keycode - SDLK_F1 + 112);
  if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9) return static_cast<uint32_t>(keycode - SDLK_KP_1 + 97);
  switch (keycode) {
    case SDLK_BACKSPACE: return 8;
    case SDLK_TAB: return 9;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 13;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 16;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 17;
    case SDLK_LALT:
    case SDLK_RALT: return 18;
    case SDLK_ESCAPE: return 27;
    case SDLK_SPACE: return 32;
    case SDLK_PAGEUP: return 33;
    case SDLK_PAGEDOWN: return 34;
    case SDLK_END: return 35;
    case SDLK_HOME: return 36;
    case SDLK_LEFT: return 37;
    case SDLK_UP: return 38;
    case SDLK_RIGHT: return 39;
    case SDLK_DOWN: return 40;
    case SDLK_INSERT: return 45;
    case SDLK_DELETE: return 46;
    case SDLK_KP_0: return 96;
    default: return 0;
  }
}

int32_t WheelAccumulator::add(float notches) {
  if (!std::isfinite(notches)) return 0;
  if ((notches > 0.0f && rest_ < 0.0f) || (notches < 0.0f && rest_ > 0.0f)) rest_ = 0.0f;
  rest_ += notches;
  // A very long scroll in one event still fits the 32-bit distance.
  if (rest_ > 1.0e6f) rest_ = 1.0e6f;
  if (rest_ < -1.0e6f) rest_ = -1.0e6f;
  const float whole = std::trunc(rest_);
  rest_ -= whole;
  return static_cast<int32_t>(whole) * 120;
}

namespace {

uint32_t modifierBits(uint16_t mod) {
  uint32_t bits = 0;
  if (mod & KMOD_SHIFT) bits |= WindowEvent::kShift;
  if (mod & KMOD_CTRL) bits |= WindowEvent::kCtrl;
  if (mod & KMOD_ALT) bits |= WindowEvent::kAlt;
  return bits;
}

int32_t buttonOf(uint8_t sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return WindowEvent::kLeft;
    case SDL_BUTTON_RIGHT: return WindowEvent::kRight;
    case SDL_BUTTON_MIDDLE: return WindowEvent::kMiddle;
    default: return WindowEvent::kOtherButton;
  }
}

WindowEvent translateWindowEvent(const SDL_WindowEvent& w) {
  WindowEvent out;
  out.windowId = w.windowID;
  switch (w.event) {
    case SDL_WINDOWEVENT_CLOSE: out.kind = WindowEvent::kCloseRequest; break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: out.kind = WindowEvent::kFocusGained; break;
    case SDL_WINDOWEVENT_FOCUS_LOST: out.kind = WindowEvent::kFocusLost; break;
    case SDL_WINDOWEVENT_EXPOSED: out.kind = WindowEvent::kExposed; break;
    case SDL_WINDOWEVENT_MOVED:
      out.kind = WindowEvent::kMoved;
      out.x = w.data1;
      out.y = w.data2;
      break;
    // SIZE_CHANGED comes with every change (RESIZED only with the user's or
    // the window manager's).
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      out.kind = WindowEvent::kResized;
      out.x = w.data1;
      out.y = w.data2;
      break;
    case SDL_WINDOWEVENT_MINIMIZED: out.kind = WindowEvent::kMinimized; break;
    case SDL_WINDOWEVENT_MAXIMIZED: out.kind = WindowEvent::kMaximized; break;
    case SDL_WINDOWEVENT_RESTORED: out.kind = WindowEvent::kRestored; break;
    case SDL_WINDOWEVENT_ENTER: out.kind = WindowEvent::kPointerEntered; break;
    case SDL_WINDOWEVENT_LEAVE: out.kind = WindowEvent::kPointerLeft; break;
    default: break;
  }
  return out;
}

// The event type of the movie player's notices, registered once.
uint32_t movieNoticeType() {
  static const uint32_t type = SDL_RegisterEvents(1);
  return type;
}

WheelAccumulator& processWheel() {
  static WheelAccumulator wheel;
  return wheel;
}

}  // namespace

bool PostMovieNotice(int32_t parameter) {
  const uint32_t type = movieNoticeType();
  if (type == static_cast<uint32_t>(-1)) return false;
  SDL_Event event{};
  event.type = type;
  event.user.code = parameter;
  return SDL_PushEvent(&event) == 1;
}

WindowEvent TranslateSdlEvent(const SDL_Event& event, WheelAccumulator* wheel) {
  WindowEvent out;
  switch (event.type) {
    case SDL_QUIT:
      out.kind = WindowEvent::kQuitRequest;
      break;
    case SDL_WINDOWEVENT:
      out = translateWindowEvent(event.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.kind = event.type == SDL_KEYDOWN ? WindowEvent::kKeyDown : WindowEvent::kKeyUp;
      out.windowId = event.key.windowID;
      out.virtualKey = VirtualKeyFromSdlKeycode(event.key.keysym.sym);
      out.modifiers = modifierBits(event.key.keysym.mod);
      out.repeat = event.key.repeat != 0;
      break;
    case SDL_TEXTINPUT:
      out.kind = WindowEvent::kTextInput;
      out.windowId = event.text.windowID;
      out.text = FromUtf8(event.text.text);
      break;
    case SDL_MOUSEMOTION:
      if (event.motion.which == SDL_TOUCH_MOUSEID) break;
      out.kind = WindowEvent::kMouseMove;
      out.windowId = event.motion.windowID;
      out.x = event.motion.x;
      out.y = event.motion.y;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (event.button.which == SDL_TOUCH_MOUSEID) break;
      out.kind = event.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::kMouseDown : WindowEvent::kMouseUp;
      out.windowId = event.button.windowID;
      out.x = event.button.x;
      out.y = event.button.y;
      out.button = buttonOf(event.button.button);
      break;
    case SDL_MOUSEWHEEL: {
      if (event.wheel.which == SDL_TOUCH_MOUSEID) break;
      // preciseY carries touchpad fractions; an event made without it
      // (pushed by hand, older drivers) has only the whole notches in y.
      float notches = event.wheel.preciseY != 0.0f ? event.wheel.preciseY : static_cast<float>(event.wheel.y);
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      const int32_t distance = wheel ? wheel->add(notches) : static_cast<int32_t>(std::trunc(notches)) * 120;
      if (distance == 0) break;
      out.kind = WindowEvent::kMouseWheel;
      out.windowId = event.wheel.windowID;
      out.x = event.wheel.mouseX;
      out.y = event.wheel.mouseY;
      out.wheel = distance;
      break;
    }
    default:
      if (event.type == movieNoticeType() && event.type != static_cast<uint32_t>(-1)) {
        out.kind = WindowEvent::kMovieNotice;
        out.x = event.user.code;
      }
      break;
  }
  return out;
}

void PrepareMainWindowHints() {
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
}

namespace {

// Drivers without a display have no event source to block on, and SDL's own
// wait would poll them every millisecond. There the wait sleeps on a
// condition variable that an event watch (called in whatever thread pushes
// an event) wakes, so a pushed event ends the wait at once.
struct PushedEventSignal {
  std::mutex mutex;
  std::condition_variable arrived;
  uint64_t generation = 0;
};

PushedEventSignal& pushedEvents() {
  static PushedEventSignal signal;
  return signal;
}

int SDLCALL onEventAdded(void*, SDL_Event* event) {
  // Every poll pushes (and takes back) a sentinel: not an arrival.
  if (event->type == SDL_POLLSENTINEL) return 0;
  PushedEventSignal& signal = pushedEvents();
  {
    std::lock_guard<std::mutex> lock(signal.mutex);
    ++signal.generation;
  }
  signal.arrived.notify_all();
  return 0;
}

int waitWithoutDisplay(int32_t timeoutMs, SDL_Event* event) {
  PushedEventSignal& signal = pushedEvents();
  // SDL forgets its watches when video stops; putting ours back each time
  // keeps it across a second window.
  SDL_DelEventWatch(&onEventAdded, nullptr);
  SDL_AddEventWatch(&onEventAdded, nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    uint64_t seen = 0;
    {
      std::lock_guard<std::mutex> lock(signal.mutex);
      seen = signal.generation;
    }
    if (SDL_PollEvent(event)) return 1;
    std::unique_lock<std::mutex> lock(signal.mutex);
    if (!signal.arrived.wait_until(lock, end, [&] { return signal.generation != seen; })) return 0;
  }
}

}  // namespace

bool WaitWindowEvent(int32_t timeoutMs, WindowEvent* out) {
  // Boxes other threads wait on are shown before and after every wait (a
  // request's own event ends the wait).
  ServeMessageBoxRequests();
  SDL_Event event;
  int got = 0;
  if (timeoutMs <= 0) {
    got = SDL_PollEvent(&event);
  } else if (VideoDriverHasWindowManager()) {
    got = SDL_WaitEventTimeout(&event, timeoutMs);
  } else {
    got = waitWithoutDisplay(timeoutMs, &event);
  }
  ServeMessageBoxRequests();
  if (!got) return false;
  *out = TranslateSdlEvent(event, &processWheel());
  return true;
}

bool PollWindowEvent(WindowEvent* out) { return WaitWindowEvent(0, out); }

bool SetTextInputActive(bool on) {
  const bool was = SDL_IsTextInputActive() == SDL_TRUE;
  if (on && !was) SDL_StartTextInput();
  if (!on && was) SDL_StopTextInput();
  return was;
}

bool VideoDriverHasWindowManager() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return false;
  return std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

uint32_t WindowId(SDL_Window* window) { return window ? SDL_GetWindowID(window) : 0; }

void SetWindowTitleText(SDL_Window* window, std::u16string_view title) {
  if (window) SDL_SetWindowTitle(window, ToUtf8(title).c_str());
}

void ShowWindow(SDL_Window* window, bool show) {
  if (!window) return;
  if (show) {
    SDL_ShowWindow(window);
  } else {
    SDL_HideWindow(window);
  }
}

void MinimizeWindow(SDL_Window* window) {
  if (window) SDL_MinimizeWindow(window);
}

void RaiseWindow(SDL_Window* window) {
  if (!window) return;
  SDL_ShowWindow(window);
  SDL_RestoreWindow(window);
  SDL_RaiseWindow(window);
}

bool IsWindowMinimized(SDL_Window* window) {
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) != 0;
}

bool WindowHasInputFocus(SDL_Window* window) {
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

bool GetWorkArea(SDL_Window* window, DesktopRect* out) {
  int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
  if (display < 0) display = 0;
  SDL_Rect rect;
  if (SDL_GetDisplayUsableBounds(display, &rect) != 0 || rect.w < 1 || rect.h < 1) return false;
  *out = {rect.x, rect.y, rect.w, rect.h};
  return true;
}

bool GetDisplaySize(SDL_Window* window, int32_t* width, int32_t* height) {
  int display = window ? SDL_GetWindowDisplayIndex(window) : 0;
  if (display < 0) display = 0;
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0 || mode.w < 1 || mode.h < 1) return false;
  *width = mode.w;
  *height = mode.h;
  return true;
}

void GetWindowFrame(SDL_Window* window, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom) {
  int t = 0, l = 0, b = 0, r = 0;
  if (!window || SDL_GetWindowBordersSize(window, &t, &l, &b, &r) != 0) t = l = b = r = 0;
  *left = l;
  *top = t;
  *right = r;
  *bottom = b;
}

void GetClientSize(SDL_Window* window, int32_t* width, int32_t* height) {
  int w = 0, h = 0;
  if (window && !GetXWindowSize(window, &w, &h)) SDL_GetWindowSize(window, &w, &h);
  *width = w;
  *height = h;
}

void SetClientSize(SDL_Window* window, int32_t width, int32_t height) {
  if (window) SDL_SetWindowSize(window, width, height);
}

void SetClientPosition(SDL_Window* window, int32_t x, int32_t y) {
  if (window) SDL_SetWindowPosition(window, x, y);
}

void GetClientPosition(SDL_Window* window, int32_t* x, int32_t* y) {
  int px = 0, py = 0;
  if (window) SDL_GetWindowPosition(window, &px, &py);
  *x = px;
  *y = py;
}

void SetWindowResizable(SDL_Window* window, bool resizable) {
  if (window) SDL_SetWindowResizable(window, resizable ? SDL_TRUE : SDL_FALSE);
}

bool SetWindowFullscreen(SDL_Window* window, bool fullScreen) {
  if (!window) return false;
  return SDL_SetWindowFullscreen(window, fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
}

void ConfinePointer(SDL_Window* window, bool on) {
  if (window) SDL_SetWindowMouseGrab(window, on ? SDL_TRUE : SDL_FALSE);
}

void SetPointerVisible(bool visible) { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

void WarpPointer(SDL_Window* window, int32_t x, int32_t y) {
  if (window) SDL_WarpMouseInWindow(window, x, y);
}

void GetPointerPosition(SDL_Window* window, int32_t* x, int32_t* y) {
  int gx = 0, gy = 0, wx = 0, wy = 0;
  SDL_GetGlobalMouseState(&gx, &gy);
  if (window) SDL_GetWindowPosition(window, &wx, &wy);
  *x = gx - wx;
  *y = gy - wy;
}

std::unique_ptr<ColorCursor> ColorCursor::create(int32_t width, int32_t height, const uint8_t* bgra,
                                                 int32_t hotspotX, int32_t hotspotY) {
  if (width < 1 || height < 1 || width > 4096 || height > 4096 || !bgra) return nullptr;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(bgra), width, height, 32,
                                                            width * 4, SDL_PIXELFORMAT_BGRA32);
  if (!surface) return nullptr;
  const int hx = hotspotX < 0 ? 0 : (hotspotX >= width ? width - 1 : hotspotX);
  const int hy = hotspotY < 0 ? 0 : (hotspotY >= height ? height - 1 : hotspotY);
  SDL_Cursor* cursor = SDL_CreateColorCursor(surface, hx, hy);
  SDL_FreeSurface(surface);
  if (!cursor) return nullptr;
  return std::unique_ptr<ColorCursor>(new ColorCursor(cursor));
}

ColorCursor::~ColorCursor() { SDL_FreeCursor(cursor_); }

void UseCursor(const ColorCursor* cursor) {
  SDL_Cursor* target = cursor ? cursor->cursor_ : SDL_GetDefaultCursor();
  if (target && SDL_GetCursor() != target) SDL_SetCursor(target);
}

}  // namespace platform
