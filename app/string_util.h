// String helpers every reader and writer of text uses: the game code page
// (CP932) conversions, path slashes and the 1024-character formatter of path
// building. Pure functions, any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/format.h"

// Code-page text to UTF-16; a byte that starts no valid character becomes
// U+FFFD.
std::u16string MultiByteToWString(const char* bytes, size_t length);
// The same for a whole byte vector; an empty vector gives an empty string.
std::u16string BytesToWString(const std::vector<uint8_t>& bytes);
// Text this engine wrote (UTF-8), else older text in the game code page
// (CP932 with a non-ASCII character is practically never valid UTF-8).
std::u16string Utf8OrCP932ToWString(std::string_view bytes);
// True when the bytes are valid UTF-8 and hold at least one character of
// two bytes or more: a text that was saved as UTF-8 and is about to be read
// as CP932 (such a text practically never comes from a CP932 editor).
bool IsMultiByteUtf8(std::string_view bytes);
// UTF-16 to code-page text; a character the code page lacks becomes a blank.
std::string WStringToMultiByte(std::u16string_view text);

// Decimal text of n ("%d").
std::u16string intToWString(int32_t n);

// A copy with every backslash replaced by "/".
std::u16string ToSlashPath(std::u16string_view path);
// A copy with the ASCII capitals A-Z made small (how names compare without
// ASCII case); other characters stay.
std::u16string LowerAscii(std::u16string_view text);

// Formats like Format and cuts the result to room - 1 characters (what a
// buffer of `room` characters holds with its terminator).
std::u16string FormatCutArgs(size_t room, std::u16string_view format, std::span<const FormatArg> args);

template <class... A>
std::u16string FormatCut(size_t room, std::u16string_view format, const A&... args) {
  return WithFormatArgs([&](std::span<const FormatArg> list) { return FormatCutArgs(room, format, list); },
                        args...);
}

template <class... A>
std::u16string FormatString1024(std::u16string_view format, const A&... args) {
  return FormatCut(1024, format, args...);
}
