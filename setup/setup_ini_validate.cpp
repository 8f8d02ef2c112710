// The checks of st_menu.ini and patcher.ini: the first failing check gives
// the one message the loader keeps.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "setup/safe_path.h"
#include "setup/setup_ini.h"

namespace ns_SetupIni {

namespace {

enum class PathRule { kNone, kComponent, kRelativePath };

// One required key of section "setup" with its messages; the rule says
// whether the value becomes part of a path.
struct RequiredKey {
  const char16_t* key;
  const char16_t* emptyMessage;
  PathRule rule;
  const char16_t* unsafeMessage;
};

bool IsSafeUnder(PathRule rule, std::u16string_view value) {
  switch (rule) {
    case PathRule::kNone:
      return true;
    case PathRule::kComponent:
      return IsSafeComponent(value);
    case PathRule::kRelativePath:
      return IsSafeRelativePath(value);
  }
  return false;
}

// Stops at the first key that is empty, missing or unsafe.
template <size_t N>
bool CheckRequiredKeys(const IniParser& ini, const RequiredKey (&keys)[N], std::u16string* error) {
  for (const RequiredKey& k : keys) {
    const std::u16string value = ini.getSetupValue(k.key, u"");
    if (value.empty()) {
      *error = k.emptyMessage;
      return false;
    }
    if (!IsSafeUnder(k.rule, value)) {
      *error = k.unsafeMessage;
      return false;
    }
  }
  return true;
}

// author_name and product_title name folders of the start menu and of the
// desktop copy, shortcutname names a shortcut file, runapp is what the
// launchers start inside the install folder, save_folder lies below the
// application-data folder.
constexpr RequiredKey kSetupKeysBeforeLocation[] = {
    {u"author_name", u"author_nameが空です", PathRule::kComponent, u"author_nameが不正です"},
    {u"author_key", u"author_keyが空です", PathRule::kNone, nullptr},
    {u"product_title", u"product_titleが空です", PathRule::kComponent, u"product_titleが不正です"},
    {u"product_key", u"product_keyが空です", PathRule::kNone, nullptr},
    {u"version_key", u"version_keyが空です", PathRule::kNone, nullptr},
    {u"runapp", u"runappが空です", PathRule::kRelativePath, u"runappが不正です"},
    {u"shortcutname", u"shortcutnameが空です", PathRule::kComponent, u"shortcutnameが不正です"},
    {u"save_folder", u"save_folderが空です", PathRule::kRelativePath, u"save_folderが不正です"},
};

constexpr RequiredKey kSetupKeysAfterLocation[] = {
    {u"execlog", u"execlogが空です", PathRule::kNone, nullptr},
};

constexpr RequiredKey kPatcherKeys[] = {
    {u"product_title", u"product_titleが空です", PathRule::kNone, nullptr},
    {u"product_key", u"product_keyが空です", PathRule::kNone, nullptr},
    {u"old_version_key", u"old_version_keyが空です", PathRule::kNone, nullptr},
    {u"new_version_key", u"new_version_keyが空です", PathRule::kNone, nullptr},
    {u"patch_root", u"patch_rootが空です", PathRule::kNone, nullptr},
};

}  // namespace

bool SetupIni::validate(std::u16string* error) const {
  if (!CheckRequiredKeys(*this, kSetupKeysBeforeLocation, error)) return false;
  if (getSaveFolderLocation(-1) == -1) {
    *error = u"save_folder_locationが不正です(0 or 1)";
    return false;
  }
  if (!CheckRequiredKeys(*this, kSetupKeysAfterLocation, error)) return false;
  // The identification file is looked up at the root of each disc.
  const std::u16string idFile = getDiscIdFileName();
  if (idFile.empty()) {
    *error = u"DISCIDFILENAMEが空です";
    return false;
  }
  if (!IsSafeComponent(idFile)) {
    *error = u"DISCIDFILENAMEが不正です";
    return false;
  }
  std::u16string text;
  if (!getDiscId(0, &text)) {
    *error = u"DISCID0000は必須です";
    return false;
  }
  if (!getDiscName(0, &text)) {
    *error = u"DISCNAME0000は必須です";
    return false;
  }
  // Discs run from 0 without gaps; the first number with neither key ends
  // the list.
  for (int32_t n = 1; n <= kMaxDiscIndex; ++n) {
    const bool hasId = getDiscId(n, &text);
    const bool hasName = getDiscName(n, &text);
    if (hasId != hasName) {
      *error = u"DISCIDnnnnとDISCNAMEnnnnの数が合いません";
      return false;
    }
    if (!hasId) break;
  }
  return true;
}

bool PatcherIni::validate(std::u16string* error) const { return CheckRequiredKeys(*this, kPatcherKeys, error); }

}  // namespace ns_SetupIni
