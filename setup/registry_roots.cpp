#include "setup/registry_roots.h"

#include "app/registry.h"

namespace {
constexpr char16_t kLocalMachine[] = u"HKEY_LOCAL_MACHINE";
constexpr char16_t kCurrentUser[] = u"HKEY_CURRENT_USER";
}  // namespace

std::u16string registryRootName(uint32_t hive) {
  if (hive == HKEY_LOCAL_MACHINE_ID) return kLocalMachine;
  if (hive == HKEY_CURRENT_USER_ID) return kCurrentUser;
  return {};
}

bool registryRootFromName(std::u16string_view name, uint32_t* hive) {
  if (name == kLocalMachine) {
    *hive = HKEY_LOCAL_MACHINE_ID;
  } else if (name == kCurrentUser) {
    *hive = HKEY_CURRENT_USER_ID;
  } else {
    return false;
  }
  return true;
}

std::u16string NormalRegistryKey(std::u16string_view key) {
  std::u16string out;
  bool pending = false;  // a separator before the next name
  for (const char16_t c : key) {
    if (c == u'/' || c == u'\\') {
      pending = !out.empty();
      continue;
    }
    if (pending) out += u'/';
    pending = false;
    out += c;
  }
  return out;
}
