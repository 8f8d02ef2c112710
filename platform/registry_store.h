// The registry stand-in: one UTF-8 text file per hive with "[key/path]"
// sections and typed values, shared by every process of the user. Key and
// value names compare ignoring ASCII case. Results are the Windows codes the
// engine expects: 0 success, 2 missing key or value, 5 (access denied) a key
// that still has subkeys, a store that cannot be written, or a hive file
// that exists but cannot be read or is above 16 MiB (never rewritten; a
// write that would make it larger is refused with 5 too), 87 a key deeper
// than 512 levels or with a name of more than 255 characters (as the
// system the store stands in for refuses them), 1630 an unsupported type. Any thread: each call takes an in-process mutex and
// a lock file beside the hive (exclusive for writes; shared for reads, which
// go on without it where the lock file cannot be opened), re-reads the file
// and writes it back by one atomic replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class RegistryHive { kCurrentUser, kLocalMachine };

enum : uint32_t { kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

enum : int {
  kRegOk = 0,
  kRegNotFound = 2,
  kRegAccessDenied = 5,
  kRegInvalidParameter = 87,
  kRegUnsupportedType = 1630,
};

// The limits of a key path: names (UTF-16 units) and levels.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;

// Whether a key path ("/" or "\\" between names) keeps to those limits.
bool RegistryKeyWithinLimits(std::u16string_view key);

struct RegistryValue {
  uint32_t type = kRegDword;
  uint32_t dword = 0;           // kRegDword
  std::u16string text;          // kRegSz
  std::vector<uint8_t> bytes;   // any other type
};

// Key paths use "/" or "\" between names; empty names are ignored.
int RegistryReadValue(RegistryHive hive, std::u16string_view key, std::u16string_view name,
                      RegistryValue* out);
// 0 when the key exists, else 2.
int RegistryKeyExists(RegistryHive hive, std::u16string_view key);
// Creates the key and its missing parents, then sets the value.
int RegistryWriteValue(RegistryHive hive, std::u16string_view key, std::u16string_view name,
                       const RegistryValue& value);
int RegistryDeleteValue(RegistryHive hive, std::u16string_view key, std::u16string_view name);
// Creates the key and its missing parents.
int RegistryCreateKey(RegistryHive hive, std::u16string_view key);
// Deletes a key that has no subkeys, with its values; with onlyWhenEmpty a
// key that holds values stays too (5).
int RegistryDeleteKey(RegistryHive hive, std::u16string_view key, bool onlyWhenEmpty = false);

// The file that holds the hive: $ZEP_REGISTRY_DIR/<hive>.reg when set, else
// HKCU in $XDG_CONFIG_HOME/zep/registry/, HKLM in /var/lib/zep/registry/ as
// root or $XDG_DATA_HOME/zep/registry/ otherwise. Empty when no folder can
// be had.
std::string RegistryHiveFile(RegistryHive hive);

}  // namespace platform
