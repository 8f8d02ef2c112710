// Fuzzes the registry store's file format: the input is a hive file. The
// first section's key is read; values written below it must read back, and
// writing the same value again must leave the file exactly as the first
// write made it (the store's own form of any file is a fixed point). A key
// past the store's limits (depth, name length) is refused with 87 and
// leaves the file alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/fuzz_folder.h"
#include "platform/registry_store.h"
#include "platform/utf8.h"

namespace {

using platform::RegistryHive;
using platform::RegistryValue;

constexpr RegistryHive kHive = RegistryHive::kCurrentUser;

// The text between the first "[" at a line start and the next "]".
std::u16string firstSection(std::string_view text) {
  const size_t open = text.rfind('[', 0) == 0 ? 0 : text.find("\n[");
  if (open == std::string_view::npos) return {};
  const size_t from = open == 0 ? 1 : open + 2;
  const size_t close = text.find(']', from);
  return platform::FromUtf8(text.substr(from, close == std::string_view::npos ? 0 : close - from));
}

// Writes the value and reads it back; aborts when either fails or it differs.
void writeAndCheck(const std::u16string& key, const RegistryValue& value) {
  if (platform::RegistryWriteValue(kHive, key, u"fuzz", value) != platform::kRegOk) abort();
  RegistryValue back;
  if (platform::RegistryReadValue(kHive, key, u"fuzz", &back) != platform::kRegOk || back.type != value.type ||
      back.dword != value.dword || back.text != value.text || back.bytes != value.bytes) {
    abort();
  }
}

// Whether the store takes the key: at most kMaxKeyDepth names of at most
// kMaxKeyNameLength UTF-16 units each, between "/" and "\\" separators.
bool withinLimits(std::u16string_view key) {
  size_t depth = 0;
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find_first_of(u"/\\", start);
    if (end == std::u16string_view::npos) end = key.size();
    if (end > start && (++depth > platform::kMaxKeyDepth || end - start > platform::kMaxKeyNameLength)) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeFuzzFolder("registry");
  setenv("ZEP_REGISTRY_DIR", FuzzFolder().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string file = platform::RegistryHiveFile(kHive);
  WriteFuzzFile("HKCU.reg", data, size);
  const std::u16string section = firstSection(text);
  RegistryValue value;
  platform::RegistryKeyExists(kHive, section);
  platform::RegistryReadValue(kHive, section, u"", &value);

  // A text with every kind of character the file escapes, under the file's
  // first key when it has one.
  const std::u16string key = section.empty() ? std::u16string(u"Fuzz/Key") : section + u"/Fuzz";
  if (!withinLimits(key)) {
    const std::string before = ReadFuzzFile(file);
    value.type = platform::kRegDword;
    if (platform::RegistryWriteValue(kHive, key, u"fuzz", value) != platform::kRegInvalidParameter ||
        platform::RegistryReadValue(kHive, key, u"fuzz", &value) != platform::kRegInvalidParameter ||
        ReadFuzzFile(file) != before) {
      abort();
    }
    return 0;
  }
  value = RegistryValue();
  value.type = platform::kRegSz;
  value.text = u"a\"b\\c]\n\r\x01\u00e9";
  // Whole characters of the key (a cut surrogate pair has no UTF-8 form).
  for (const char16_t c : section.substr(0, 8)) {
    if (c < 0xD800 || c > 0xDFFF) value.text.push_back(c);
  }
  writeAndCheck(key, value);
  const std::string first = ReadFuzzFile(file);
  writeAndCheck(key, value);
  if (ReadFuzzFile(file) != first) abort();

  value = RegistryValue();
  value.type = 7;
  value.bytes.assign(data, data + (size < 16 ? size : 16));
  writeAndCheck(key, value);
  if (platform::RegistryDeleteValue(kHive, key, u"fuzz") != platform::kRegOk) abort();
  if (platform::RegistryReadValue(kHive, key, u"fuzz", &value) != platform::kRegNotFound) abort();
  return 0;
}
