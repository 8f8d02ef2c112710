// Number-to-text helpers of the built-ins: "%d" text and formatting into the
// fixed rooms (32 and 64 characters with the terminator) that texts handed
// back to scripts are cut to. Pure functions.
#pragma once

#include <cstdint>
#include <string>

#include "app/format.h"

std::u16string intToWString(int32_t n);

// Formats like Format and cuts the result to 31 (formatW32) or 63
// (formatW64) characters.
std::u16string formatCut(size_t room, std::u16string_view format, std::span<const FormatArg> args);

template <class... A>
std::u16string formatW32(std::u16string_view format, const A&... args) {
  return WithFormatArgs([&](std::span<const FormatArg> list) { return formatCut(32, format, list); }, args...);
}

template <class... A>
std::u16string formatW64(std::u16string_view format, const A&... args) {
  return WithFormatArgs([&](std::span<const FormatArg> list) { return formatCut(64, format, list); }, args...);
}
