// UTF-8 <-> UTF-16 conversion at the operating-system boundary (paths, SDL,
// the terminal). Pure functions, callable from any thread.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

// Malformed sequences (bad lead, short or overlong sequence, surrogate code
// point, value above U+10FFFF) each become one U+FFFD; decoding goes on.
std::u16string FromUtf8(std::string_view text);

}  // namespace platform
