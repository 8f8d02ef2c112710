// Formatting helpers of the built-ins: formatting into the fixed rooms (32
// and 64 characters with the terminator) that texts handed back to scripts
// are cut to, and the one reader of a number that a text carries. Pure
// functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/string_util.h"

// Formats like Format and cuts the result to 31 (formatW32) or 63
// (formatW64) characters.
template <class... A>
std::u16string formatW32(std::u16string_view format, const A&... args) {
  return FormatCut(32, format, args...);
}

template <class... A>
std::u16string formatW64(std::u16string_view format, const A&... args) {
  return FormatCut(64, format, args...);
}

// The number at the start of a text, read as "%d" reads it: blanks, an
// optional sign, then at least one digit; what follows the digits is
// ignored and values beyond 32 bits saturate. found is false (value 0) when
// no digit comes.
struct NumberInText {
  int32_t value = 0;
  bool found = false;
};
NumberInText ScanDecimal(std::u16string_view text);
