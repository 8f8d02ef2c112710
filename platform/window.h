// The main window's operating-system side over SDL2: window input as small
// engine-neutral records (keys as Windows virtual-key numbers, the wheel in
// units of 120 per notch), the wait for input with a timeout, and the
// window's title, placement, full-screen state, pointer and custom cursors.
// Main thread; the window itself comes from gl_window.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct SDL_Window;
union SDL_Event;
struct SDL_Cursor;

namespace platform {

struct WindowEvent {
  enum Kind : int32_t {
    kNone = 0,       // nothing the engine handles
    kCloseRequest,   // close button or the window manager's close
    kQuitRequest,    // a quit signal (SIGINT, SIGTERM): the engine ends at once
    kFocusGained,
    kFocusLost,
    kExposed,
    kMoved,          // x, y: the client origin on the desktop
    kResized,        // x, y: the new client size
    kMinimized,
    kMaximized,
    kRestored,
    kPointerEntered,
    kPointerLeft,
    kMouseMove,      // x, y: client position
    kMouseDown,      // x, y, button
    kMouseUp,
    kMouseWheel,     // x, y, wheel
    kKeyDown,        // virtualKey, modifiers, repeat
    kKeyUp,
    kTextInput,      // text: characters typed (input method included)
    kMovieNotice,    // x: the parameter of PostMovieNotice
  };
  enum Button : int32_t { kLeft = 1, kRight = 2, kMiddle = 3, kOtherButton = 4 };
  enum Modifier : uint32_t { kShift = 1, kCtrl = 2, kAlt = 4 };

  Kind kind = kNone;
  uint32_t windowId = 0;  // 0 when the event is about no window (a quit signal)
  int32_t x = 0;
  int32_t y = 0;
  int32_t button = 0;
  // Signed distance, 120 per notch, positive when turned away from the user.
  int32_t wheel = 0;
  uint32_t virtualKey = 0;  // 0 for keys without a virtual-key number
  uint32_t modifiers = 0;   // Modifier bits held with the key
  bool repeat = false;      // the key was already down
  std::u16string text;      // kTextInput only
};

// The Windows virtual-key number of an SDL key code (SDL_Keycode), 0 when
// the key has none. Letters map to 65..90 whatever their case.
uint32_t VirtualKeyFromSdlKeycode(int32_t keycode);

// Turns fractional wheel movement (touchpads) into whole notches: each call
// adds its notches and returns the whole ones reached, x 120; a change of
// direction drops what was left over.
class WheelAccumulator {
 public:
  int32_t add(float notches);

 private:
  float rest_ = 0.0f;
};

// Translates one SDL event. Only the wheel keeps state (the accumulator).
WindowEvent TranslateSdlEvent(const SDL_Event& event, WheelAccumulator* wheel);

// Asks SDL not to quit when the last window closes (a close request is the
// engine's to answer) and not to minimise a full-screen window that loses
// focus (the engine does that itself). Before the main window is made.
void PrepareMainWindowHints();

// Wakes the event wait with a kMovieNotice carrying parameter (about no
// window). Any thread; false when SDL's events are not running.
bool PostMovieNotice(int32_t parameter);

// Waits up to timeoutMs (0: does not wait) for one event and translates it.
// False when none came; a taken event may translate to kNone.
bool WaitWindowEvent(int32_t timeoutMs, WindowEvent* out);
// Takes one waiting event without waiting; false when none is left.
bool PollWindowEvent(WindowEvent* out);

// True when a window manager decides focus and honours the swap interval;
// false for the offscreen and dummy drivers (or before video starts).
bool VideoDriverHasWindowManager();

uint32_t WindowId(SDL_Window* window);
void SetWindowTitleText(SDL_Window* window, std::u16string_view title);
void ShowWindow(SDL_Window* window, bool show);
void MinimizeWindow(SDL_Window* window);
// Restores a minimised window, raises it and asks for input focus.
void RaiseWindow(SDL_Window* window);
bool IsWindowMinimized(SDL_Window* window);
bool WindowHasInputFocus(SDL_Window* window);

struct DesktopRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
};
// The desktop area windows may use on the window's display (without panels).
bool GetWorkArea(SDL_Window* window, DesktopRect* out);
// The full size of the window's display.
bool GetDisplaySize(SDL_Window* window, int32_t* width, int32_t* height);
// The frame the window manager adds around the client area (all 0 when it
// is not known yet or there is none).
void GetWindowFrame(SDL_Window* window, int32_t* left, int32_t* top, int32_t* right, int32_t* bottom);
// Client size in window coordinates (the mouse's units), as the display
// server has it: on X11 SDL reports the size it asked for, also where no
// window manager granted it.
void GetClientSize(SDL_Window* window, int32_t* width, int32_t* height);
void SetClientSize(SDL_Window* window, int32_t width, int32_t height);
// Client origin on the desktop.
void SetClientPosition(SDL_Window* window, int32_t x, int32_t y);
void GetClientPosition(SDL_Window* window, int32_t* x, int32_t* y);
void SetWindowResizable(SDL_Window* window, bool resizable);
// Borderless full screen on the window's display, or back to a window.
bool SetWindowFullscreen(SDL_Window* window, bool fullScreen);

// Turns the delivery of typed text (kTextInput, with the input method's
// window) on or off; returns whether it was on before.
bool SetTextInputActive(bool on);

// Confines the pointer to the window (or releases it).
void ConfinePointer(SDL_Window* window, bool on);
void SetPointerVisible(bool visible);
// Moves the pointer to a client position.
void WarpPointer(SDL_Window* window, int32_t x, int32_t y);
// The pointer's position relative to the client origin (it may lie outside).
void GetPointerPosition(SDL_Window* window, int32_t* x, int32_t* y);

// A pointer picture made from a BGRA frame (rows top to bottom).
class ColorCursor {
 public:
  // Null when SDL refuses the picture (or it is empty).
  static std::unique_ptr<ColorCursor> create(int32_t width, int32_t height, const uint8_t* bgra, int32_t hotspotX,
                                             int32_t hotspotY);
  ~ColorCursor();
  ColorCursor(const ColorCursor&) = delete;
  ColorCursor& operator=(const ColorCursor&) = delete;

 private:
  friend void UseCursor(const ColorCursor* cursor);
  explicit ColorCursor(SDL_Cursor* cursor) : cursor_(cursor) {}
  SDL_Cursor* cursor_;
};

// Shows this cursor over the window; null: the system's arrow. A cursor must
// not be destroyed while it is in use.
void UseCursor(const ColorCursor* cursor);

}  // namespace platform
