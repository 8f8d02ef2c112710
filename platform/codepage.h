// Conversions between the game's code page (CP932, the Windows "system code
// page" and Shift-JIS of the game files) and UTF-16. Any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Never fails: a byte that starts no valid character becomes U+FFFD and
// decoding goes on with the next byte.
std::u16string DecodeCP932(std::string_view bytes);

// One character at a time; a character that has no CP932 form (including any
// character outside the Basic Multilingual Plane) becomes a blank.
std::string EncodeCP932(std::u16string_view text);

}  // namespace platform
