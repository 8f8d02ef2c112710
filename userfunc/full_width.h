// Half-width to full-width conversion of text, as the input-box built-in
// applies it to what the player typed: ASCII, the space and the half-width
// katakana block. One UTF-16 unit at a time; pure functions, any thread.
#pragma once

#include <string>

// The full-width form of one character: space and DEL become U+3000; '!'..'~'
// become U+FF01..U+FF5E, except '"' (U+201D), '\'' (U+2019) and '\\' (U+FFE5);
// U+FF61..U+FF9F become the full-width katakana and punctuation, the two sound
// marks included as the stand-alone U+309B and U+309C. Any other character,
// surrogate halves included, comes back unchanged.
char16_t toFullWidthChar(char16_t c);

// Converts every character of the text in place with toFullWidthChar. A
// katakana followed by a sound mark stays two characters (カ゛, not ガ).
void toFullWidthString(std::u16string& text);
