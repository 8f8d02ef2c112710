// The application events raised by input, the 100-bit mask that switches
// each code on or off, and the key map that turns keys into codes. Process
// state, set up by the scene; main thread only.
#pragma once

#include <cstdint>
#include <map>

// Codes raised by the GUI root and the key routing, then by screen objects.
namespace AppEventCode {
constexpr int32_t kCtrlPress = 1;     // Ctrl down (each repeat too)
constexpr int32_t kCancel = 5;        // Space up; right button up
constexpr int32_t kWheelAway = 10;    // wheel turned away from the user
constexpr int32_t kF11Press = 11;     // F11 down, not repeated; never masked
constexpr int32_t kF11Release = 12;   // never masked
constexpr int32_t kProceed = 16;      // Return or Numpad 5 down; left button down; wheel toward the user
constexpr int32_t kCtrlRelease = 43;  // never masked
constexpr int32_t kChip = 17;         // a chip's event number, as its text
constexpr int32_t kDismissed = 18;    // a choice list cancelled; Escape up over a modal parts layer
constexpr int32_t kTextShown = 23;    // the text area revealed a whole message
constexpr int32_t kFadeDone = 28;     // a fader finished; its fade id as the parameter
constexpr int32_t kLayerMouse = 44;   // a MOUSE layer's event number, as its text
}  // namespace AppEventCode

// The Windows virtual-key numbers the scene reads.
namespace VirtualKey {
constexpr uint32_t kReturn = 13;
constexpr uint32_t kCtrl = 17;
constexpr uint32_t kEscape = 27;
constexpr uint32_t kSpace = 32;
constexpr uint32_t kLeft = 37;
constexpr uint32_t kUp = 38;
constexpr uint32_t kRight = 39;
constexpr uint32_t kDown = 40;
constexpr uint32_t kNumpad2 = 98;
constexpr uint32_t kNumpad4 = 100;
constexpr uint32_t kNumpad5 = 101;
constexpr uint32_t kNumpad6 = 102;
constexpr uint32_t kNumpad8 = 104;
constexpr uint32_t kF11 = 122;
}  // namespace VirtualKey

// Codes 0..99 have a bit in the mask.
constexpr int32_t kAppEventMaskBits = 100;

// True when 0 <= code < 100 and the code's bit is set; false for other codes.
bool isAppEventEnabled(int32_t code);
// Sets or clears a code's bit; codes outside 0..99 change nothing and answer
// false.
bool SetAppEventBit(int32_t code, bool on);
// Every bit set (the scene does this when it is made).
void EnableAllAppEvents();

// Replaces the key map (virtual-key number to application event code) by a
// copy of map.
void SetKeyEventMap(const std::map<int32_t, int32_t>& map);
const std::map<int32_t, int32_t>& GetKeyEventMap();

// Posts AppEvent(code) with parameter 0 and no text.
void PostAppEvent(int32_t code);
// The same when the code is enabled; true when it was posted.
bool PostAppEventIfEnabled(int32_t code);
