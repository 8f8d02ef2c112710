// The text names of the two registry roots the installer writes under, as
// the uninstall log and the command texts carry them, and the one spelling
// of a key path it compares by. Any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"; empty for any other root.
std::u16string registryRootName(uint32_t hive);
// The root of exactly one of the two names (case counts); false, with
// *hive untouched, for any other text.
bool registryRootFromName(std::u16string_view name, uint32_t* hive);

// A key path with "/" between its names: "\\" becomes "/" and empty names
// are left out, as the registry store reads them ("a\\b//c/" is "a/b/c").
std::u16string NormalRegistryKey(std::u16string_view key);
