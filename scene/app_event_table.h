// The application events raised by input, the 100-bit mask that switches
// each code on or off, and the key map that turns keys into codes. Process
// state, set up by the scene; main thread only.
#pragma once

#include <cstdint>
#include <map>

// Codes raised by the GUI root and the key routing.
namespace AppEventCode {
constexpr int32_t kCtrlPress = 1;    // Ctrl down (each repeat too)
constexpr int32_t kCancel = 5;       // Space up; right button up
constexpr int32_t kWheelAway = 10;   // wheel turned away from the user
constexpr int32_t kF11Press = 11;    // F11 down, not repeated; never masked
constexpr int32_t kF11Release = 12;  // never masked
constexpr int32_t kProceed = 16;     // Return or Numpad 5 down; left button down; wheel toward the user
constexpr int32_t kCtrlRelease = 43; // never masked
}  // namespace AppEventCode

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
