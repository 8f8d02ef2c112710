// Uninstall mode of the setup worker: the record of the install folder read
// and written by the worker, the uninstall list built from it (only what an
// installation could have made is deleted), and the removal of the setup
// program's own files and of the install folder at the end. Worker thread.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/registry.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "setup/desktop_shortcut.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "setup/registry_roots.h"
#include "setup/safe_path.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_commands.h"
#include "setup/setup_files.h"
#include "setup/setup_ini.h"
#include "setup/setup_ins.h"
#include "setup/uninstall_log.h"

namespace {

// The path with repeated and trailing "/" folded, so that one file spelled
// two ways is deleted once and a folder sorts right after its parent.
std::u16string foldSlashes(std::u16string_view path) {
  std::u16string out;
  for (char16_t c : path) {
    if (c == u'/' && !out.empty() && out.back() == u'/') continue;
    out.push_back(c);
  }
  if (out.size() > 1 && out.back() == u'/') out.pop_back();
  return out;
}

std::u16string lowerAscii(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

bool isLink(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
}

// Deletes a leftover thumbnail cache, then the folder when it is empty;
// below base without following links (empty: the folder as it stands).
void removeEmptyFolder(std::u16string_view base, const std::u16string& folder) {
  LogWrite(LOG_TRACE, u"deleting dir <%s>\n", folder);
  if (base.empty()) {
    deleteFileForce(folder + u"/thumbs.db");
    removeFolderForce(folder);
  } else {
    deleteFileBelow(base, folder + u"/thumbs.db");
    removeFolderBelow(base, folder);
  }
}

// A launcher the uninstall may delete: one the installation in installFolder
// wrote, or one that is gone already. Anything else there (another
// program's launcher, a link, a folder, a file too large to be one) is
// logged and left.
bool isOwnLauncher(std::u16string_view base, const std::u16string& path, std::u16string_view installFolder) {
  constexpr size_t kMaxLauncherBytes = 1 << 16;
  std::string text;
  int32_t error = 0;
  if (readFileBelow(base, path, kMaxLauncherBytes, &text, &error) ? DesktopEntryMadeBy(text, installFolder)
                                                                   : error == kErrorFileNotFound ||
                                                                         error == kErrorPathNotFound) {
    return true;
  }
  LogWrite(LOG_WARN, u"このインストールで作られたものではないので削除しません(%s)\n", path);
  return false;
}

// True when path is folder itself or a folder above it (never the root,
// which holds nothing an install made); both with their "/" folded.
bool isSameOrAbove(const std::u16string& path, const std::u16string& folder) {
  if (path.size() < 2 || path.front() != u'/' || path.size() > folder.size()) return false;
  return folder.compare(0, path.size(), path) == 0 && (folder.size() == path.size() || folder[path.size()] == u'/');
}

// The setup program's own files, which the install copied beside the game:
// first the fixed files in the order they were copied, the uninstaller
// first, then the movie module beside it; then the files of its "setup"
// folder (hidden entries stay, and with them their folder) and that
// folder's subfolders deepest first with the folder itself. While the
// uninstaller is there, its configuration and its scripts below "setup" are
// too, so a run cut short is finished by the same command; once it is gone,
// an install takes the rest over. A link in the setup folder's place is not
// entered (what it leads to was never installed).
void appendSetupFileCommands(const std::u16string& installFolder,
                             std::vector<std::unique_ptr<libsetup::Command>>* commands) {
  std::vector<std::u16string_view> names(kSetupFileNames.begin(), kSetupFileNames.end());
  names.push_back(kMovieModuleFileName);
  for (std::u16string_view name : names) {
    commands->push_back(
        std::make_unique<libsetup::CmdDeleteFile>(installFolder, installFolder + u"/" + std::u16string(name)));
  }
  const std::string found = platform::FindPathIgnoringCase(platform::ToUtf8(installFolder + u"/setup"));
  const std::u16string base = platform::FromUtf8(found);
  if (found.empty() || isLink(found) || base.size() <= installFolder.size() ||
      base.compare(0, installFolder.size(), installFolder) != 0 || base[installFolder.size()] != u'/') {
    return;
  }
  std::vector<std::u16string> files;
  listFiles(base + u"/*.*", true, false, &files);
  std::set<std::u16string, std::greater<>> folders = {base};
  for (const std::u16string& file : files) {
    if (file.size() <= base.size() || file.compare(0, base.size(), base) != 0 || file[base.size()] != u'/') continue;
    commands->push_back(std::make_unique<libsetup::CmdDeleteFile>(installFolder, file));
    for (size_t slash = file.find(u'/', base.size() + 1); slash != std::u16string::npos;
         slash = file.find(u'/', slash + 1)) {
      folders.insert(file.substr(0, slash));
    }
  }
  for (const std::u16string& folder : folders) {
    commands->push_back(std::make_unique<libsetup::CmdRmdir>(installFolder, folder));
  }
}

// Registry keys compared as the registry compares them.
std::u16string comparableKey(std::u16string_view key) { return lowerAscii(NormalRegistryKey(key)); }

// Where a recorded key stands: under one of the installation's own keys
// (or one itself), above one (made on the way to it), or elsewhere.
enum class RegistryScope { kNone, kOwn, kAbove };

RegistryScope registryScope(const std::vector<std::pair<uint32_t, std::u16string>>& ownKeys, uint32_t hive,
                            std::u16string_view key) {
  const std::u16string candidate = comparableKey(key);
  if (candidate.empty()) return RegistryScope::kNone;
  RegistryScope where = RegistryScope::kNone;
  for (const auto& [ownHive, own] : ownKeys) {
    if (ownHive != hive) continue;
    const std::u16string mine = comparableKey(own);
    const auto below = [](const std::u16string& a, const std::u16string& b) {
      return a.size() > b.size() && a.compare(0, b.size(), b) == 0 && a[b.size()] == u'/';
    };
    if (candidate == mine || below(candidate, mine)) return RegistryScope::kOwn;
    if (below(mine, candidate)) where = RegistryScope::kAbove;
  }
  return where;
}

// The keys the installed action list writes values into or creates.
std::vector<std::pair<uint32_t, std::u16string>> installedActionKeys(const std::u16string& installFolder) {
  std::vector<std::pair<uint32_t, std::u16string>> keys;
  const std::u16string path = installFolder + u"/st_menu.ins";
  ns_SetupIns::ActionTable actions;
  if (platform::StatPath(platform::ToUtf8(path)) != 0 || !ns_SetupIns::SetupIns::readActionFile(path, &actions)) {
    return keys;
  }
  for (const auto& [number, group] : actions) {
    if (!group) continue;
    for (const SharedRef<ns_SetupIns::Action>& action : *group) {
      if (const auto* value = dynamic_cast<const ns_SetupIns::ActRegCreateKey*>(action.get())) {
        keys.emplace_back(value->hive, value->keyPath);
      } else if (const auto* key = dynamic_cast<const ns_SetupIns::ActRegCreateSubKey*>(action.get())) {
        keys.emplace_back(key->hive, key->keyPath + u"/" + key->subKey);
      }
    }
  }
  return keys;
}

}  // namespace

bool SetupAPIImpl::writeUninstallLog() {
  if (!uninstallLog_) return false;
  return ::writeUninstallLog(installFolder_, *uninstallLog_);
}

bool SetupAPIImpl::readUninstallLog() {
  if (!uninstallLog_) uninstallLog_ = std::make_unique<UninstallLog>();
  return ::readUninstallLog(installFolder_, uninstallLog_.get());
}

bool SetupAPIImpl::buildUninstallCommands() {
  const std::u16string installFolder = foldSlashes(installFolder_);
  // A folder the removals could not stay inside keeps everything, its
  // registration too.
  if (const char16_t* fault = InstallFolderFault(installFolder)) {
    LogWrite(LOG_WARN, fault, installFolder);
    return false;
  }
  const ns_SetupIni::SetupIni* settings = setupSettings();
  UninstallScope scope;
  scope.installFolder = installFolder;
  std::u16string programs;
  std::u16string desktop;
  if (settings && GetSpecialFolderPath(0x17, &programs, nullptr)) {
    scope.programsFolder = foldSlashes(programs);
    scope.menuFolder = scope.programsFolder + u"/" + settings->getAuthorName() + u"/" + settings->getProductTitle();
  }
  if (settings && GetSpecialFolderPath(0x19, &desktop, nullptr)) {
    scope.desktopFile = foldSlashes(desktop) + u"/" + settings->getShortcutName() + u".desktop";
  }
  const UninstallLog empty;
  const UninstallLog& log = uninstallLog_ ? *uninstallLog_ : empty;

  std::map<std::u16string, std::u16string> files;  // path -> the folder its delete walks from
  for (const std::u16string& file : log.files()) {
    const std::u16string path = foldSlashes(file);
    std::u16string base;
    if (!IsUninstallable(UninstallKind::kFile, path, scope, &base)) continue;
    if (base != installFolder && !isOwnLauncher(base, path, installFolder)) continue;
    files.emplace(path, base);
  }
  for (const auto& [file, base] : files) commands_.push_back(std::make_unique<libsetup::CmdDeleteFile>(base, file));

  // Descending order puts every folder before its parent. The install
  // folder and the folders above it hold the record, which goes last:
  // finalisation removes them.
  std::map<std::u16string, std::u16string, std::greater<>> folders;
  for (const std::u16string& folder : log.folders()) {
    const std::u16string path = foldSlashes(folder);
    if (isSameOrAbove(path, installFolder)) continue;
    std::u16string base;
    if (IsUninstallable(UninstallKind::kFolder, path, scope, &base)) folders.emplace(path, base);
  }
  for (const auto& [folder, base] : folders) commands_.push_back(std::make_unique<libsetup::CmdRmdir>(base, folder));

  // From here on an install takes the installation over; until the
  // registration goes, the next uninstall finishes it.
  commands_.push_back(std::make_unique<libsetup::CmdDeleteFile>(installFolder, installFolder + u"/VERSION"));
  appendSetupFileCommands(installFolder, &commands_);

  // The registry: the product's own uninstall key and the keys its actions
  // write, with what is under them; the keys above them only when empty.
  std::vector<std::pair<uint32_t, std::u16string>> ownKeys = installedActionKeys(installFolder);
  if (settings) ownKeys.emplace_back(HKEY_LOCAL_MACHINE_ID, ProductUninstallKey(settings->getProductKey()));
  for (const UninstallLog::RegValue& value : log.regValues()) {
    if (registryScope(ownKeys, value.hive, value.key) != RegistryScope::kOwn) {
      LogWrite(LOG_WARN, u"uninst.log: 削除対象として不適切なレジストリ値を無視します(%s/%s/%s)\n",
               registryRootName(value.hive), value.key, value.name);
      continue;
    }
    commands_.push_back(std::make_unique<libsetup::CmdRegDelete>(value.hive, value.key, value.name));
  }

  // A key goes only once it has no subkeys: deepest first, by descending
  // hive and key, keys compared as the registry does (ignoring ASCII case).
  std::vector<const UninstallLog::RegSubKey*> subKeys;
  for (const UninstallLog::RegSubKey& key : log.regSubKeys()) subKeys.push_back(&key);
  std::sort(subKeys.begin(), subKeys.end(), [](const UninstallLog::RegSubKey* a, const UninstallLog::RegSubKey* b) {
    return std::make_tuple(a->hive, comparableKey(a->key), a->key) >
           std::make_tuple(b->hive, comparableKey(b->key), b->key);
  });
  for (const UninstallLog::RegSubKey* key : subKeys) {
    const RegistryScope where = registryScope(ownKeys, key->hive, key->key);
    if (where == RegistryScope::kNone) {
      LogWrite(LOG_WARN, u"uninst.log: 削除対象として不適切なレジストリキーを無視します(%s/%s)\n",
               registryRootName(key->hive), key->key);
      continue;
    }
    commands_.push_back(
        std::make_unique<libsetup::CmdRegDeleteSubKey>(key->hive, key->key, where == RegistryScope::kAbove));
  }

  commands_.push_back(std::make_unique<libsetup::CmdUnregisterProduct>());
  return true;
}

void removeRecordAndInstallFolder(std::u16string_view installFolder, const UninstallLog& log) {
  if (InstallFolderFault(installFolder)) return;
  const std::u16string folder = foldSlashes(installFolder);
  deleteFileBelow(folder, folder + u"/" + kUninstallLogName);
  removeEmptyFolder(u"", folder);
  // The maker's folder above it, and the folders above that the install
  // made on its way, deepest first, each when nothing else is left in it
  // (never the root).
  std::set<std::u16string, std::greater<>> above;
  const size_t slash = folder.rfind(u'/');
  if (slash != std::u16string::npos && slash > 0) above.insert(folder.substr(0, slash));
  for (const std::u16string& recorded : log.folders()) {
    const std::u16string path = foldSlashes(recorded);
    if (path != folder && isSameOrAbove(path, folder)) above.insert(path);
  }
  for (const std::u16string& path : above) removeEmptyFolder(u"", path);
}
