// The engine's own message box, for a display where SDL cannot show one: a
// window of its own, drawn in software with the engine's glyph renderer
// (caption, text, the buttons of the box's type), answered with the pointer
// or keys. Installed as the platform's fallback at start-up. Main thread (the
// box thread).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gdev/gdev.h"

// Where the box's parts lie in its window.
struct MessageBoxLayout {
  int32_t width = 0;
  int32_t height = 0;
  GDevRect titleBar;
  int32_t textX = 0;
  int32_t textY = 0;
  int32_t lineHeight = 0;
  std::vector<std::u16string> lines;  // the text, broken to the box's width
  std::vector<GDevRect> buttons;      // left to right, as the type lists them
  int32_t textSize = 0;               // pixel size of every text in the box
};
MessageBoxLayout LayOutMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type);

// What a key answers in a box of this type, given the focused button
// (Return takes it; it starts as the default button): the button's result,
// or 0 when the key answers nothing. Left, Right and Tab move *focus.
int32_t MessageBoxKeyAnswer(unsigned type, uint32_t virtualKey, bool shift, size_t* focus);

// Shows the box and returns the button pressed. Logs SDL's reason once (a
// WARN) the first time.
int ShowOwnMessageBox(std::u16string_view text, std::u16string_view caption, unsigned type,
                      const std::string& reason);
