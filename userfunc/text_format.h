// Formatting helpers of the built-ins: formatting into the fixed rooms (32
// and 64 characters with the terminator) that texts handed back to scripts
// are cut to. Pure functions.
#pragma once

#include <cstdint>
#include <string>

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
