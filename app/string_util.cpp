#include "app/string_util.h"

#include <cstring>

#include "platform/codepage.h"
#include "platform/utf8.h"

std::u16string MultiByteToWString(const char* bytes, size_t length) {
  if (!bytes || length == 0) return {};
  return platform::DecodeCP932(std::string_view(bytes, length));
}

std::u16string BytesToWString(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return {};
  return MultiByteToWString(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string WStringToMultiByte(std::u16string_view text) { return platform::EncodeCP932(text); }

std::u16string intToWString(int32_t n) { return Format(u"%d", n); }

std::u16string ToSlashPath(std::u16string_view path) {
  std::u16string out(path);
  for (char16_t& c : out) {
    if (c == u'\\') c = u'/';
  }
  return out;
}

std::u16string LowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

std::u16string FormatCutArgs(size_t room, std::u16string_view format, std::span<const FormatArg> args) {
  std::u16string out = FormatArgs(format, args);
  if (room > 0 && out.size() > room - 1) out.resize(room - 1);
  return out;
}

std::u16string Utf8OrCP932ToWString(std::string_view bytes) {
  std::u16string text = platform::FromUtf8(bytes);
  if (platform::ToUtf8(text) == bytes) return text;
  return MultiByteToWString(bytes.data(), bytes.size());
}

bool IsMultiByteUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  bool multiByte = false;
  size_t i = 0;
  while (i < n) {
    // ASCII eight bytes at a time.
    for (uint64_t word; i + 8 <= n; i += 8) {
      std::memcpy(&word, p + i, sizeof word);
      if (word & 0x8080808080808080ull) break;
    }
    if (i >= n) break;
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    uint32_t value;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      value = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      value = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      value = c & 0x07u;
    } else {
      return false;  // a continuation byte, an overlong lead or no lead at all
    }
    if (n - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      value = (value << 6) | (p[i + k] & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF)) {
      return false;
    }
    multiByte = true;
    i += length;
  }
  return multiByte;
}
