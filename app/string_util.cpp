#include "app/string_util.h"

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
