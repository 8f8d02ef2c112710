// Uninstall mode of the setup worker: the record of the install folder read
// and written by the worker, the uninstall list built from it (only what an
// installation could have made is deleted), and the removal of the setup
// program's own files and of the install folder at the end. Worker thread.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "platform/file.h"
#include "platform/utf8.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_commands.h"
#include "setup/setup_files.h"
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

// True for an install folder the removals may work in: absolute, not the
// root, without "." or ".." components (else a WARN).
bool isUsableInstallFolder(std::u16string_view installFolder) {
  UninstallScope scope;
  scope.installFolder = std::u16string(installFolder);
  return IsUninstallable(UninstallKind::kFolder, installFolder, scope);
}

bool isLink(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_symlink(std::filesystem::symlink_status(path, error));
}

// Deletes a leftover thumbnail cache, then the folder when it is empty.
void removeEmptyFolder(const std::u16string& folder) {
  LogWrite(LOG_TRACE, u"deleting dir <%s>\n", folder);
  deleteFileForce(folder + u"/thumbs.db");
  removeFolderForce(folder);
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
  UninstallScope scope;
  scope.installFolder = installFolder;
  GetSpecialFolderPath(0x17, &scope.startMenuFolder, nullptr);
  GetSpecialFolderPath(0x19, &scope.desktopFolder, nullptr);
  const UninstallLog empty;
  const UninstallLog& log = uninstallLog_ ? *uninstallLog_ : empty;

  std::set<std::u16string> files;
  for (const std::u16string& file : log.files()) {
    if (IsUninstallable(UninstallKind::kFile, file, scope)) files.insert(foldSlashes(file));
  }
  for (const std::u16string& file : files) commands_.push_back(std::make_unique<libsetup::CmdDeleteFile>(file));

  // Descending order puts every folder before its parent.
  std::set<std::u16string> folders;
  for (const std::u16string& folder : log.folders()) {
    if (IsUninstallable(UninstallKind::kFolder, folder, scope)) folders.insert(foldSlashes(folder));
  }
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
    commands_.push_back(std::make_unique<libsetup::CmdRmdir>(*it));
  }

  if (isUsableInstallFolder(installFolder)) {
    commands_.push_back(std::make_unique<libsetup::CmdDeleteFile>(installFolder + u"/" + kUninstallLogName));
    commands_.push_back(std::make_unique<libsetup::CmdDeleteFile>(installFolder + u"/VERSION"));
    commands_.push_back(std::make_unique<libsetup::CmdRmdir>(installFolder));
  }

  for (const UninstallLog::RegValue& value : log.regValues()) {
    commands_.push_back(std::make_unique<libsetup::CmdRegDelete>(value.hive, value.key, value.name));
  }

  // A key goes only once it has no subkeys: deepest first, by descending
  // hive and key, keys compared as the registry does (ignoring ASCII case).
  std::vector<const UninstallLog::RegSubKey*> subKeys;
  for (const UninstallLog::RegSubKey& key : log.regSubKeys()) subKeys.push_back(&key);
  std::sort(subKeys.begin(), subKeys.end(), [](const UninstallLog::RegSubKey* a, const UninstallLog::RegSubKey* b) {
    return std::make_tuple(a->hive, lowerAscii(a->key), a->key) > std::make_tuple(b->hive, lowerAscii(b->key), b->key);
  });
  for (const UninstallLog::RegSubKey* key : subKeys) {
    commands_.push_back(std::make_unique<libsetup::CmdRegDeleteSubKey>(key->hive, key->key));
  }

  commands_.push_back(std::make_unique<libsetup::CmdUnregisterProduct>());
  return true;
}

bool removeSetupFiles(std::u16string_view installFolder) {
  if (!isUsableInstallFolder(installFolder)) return true;
  const std::u16string folder = foldSlashes(installFolder);
  for (std::u16string_view name : kSetupFileNames) deleteFileForce(folder + u"/" + std::u16string(name));

  // The setup folder as found on the disc; a link in its place is not
  // entered (what it leads to was never installed).
  const std::string found = platform::FindPathIgnoringCase(platform::ToUtf8(folder + u"/setup"));
  if (found.empty() || isLink(found)) return true;
  const std::u16string base = platform::FromUtf8(found);
  std::vector<std::u16string> files;
  listFiles(base + u"/*.*", true, false, &files);

  std::set<std::u16string> folders;
  for (const std::u16string& file : files) {
    LogWrite(LOG_TRACE, u"deleting file <%s>\n", file);
    deleteFileForce(file);
    if (file.size() <= base.size() || file.compare(0, base.size(), base) != 0 || file[base.size()] != u'/') continue;
    for (size_t slash = base.size(); slash != std::u16string::npos; slash = file.find(u'/', slash + 1)) {
      folders.insert(file.substr(0, slash));
    }
  }
  // Deepest first; the install folder itself comes last.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it) removeEmptyFolder(*it);
  if (!files.empty()) removeEmptyFolder(folder);
  return true;
}

void removeInstallFolder(std::u16string_view installFolder) {
  if (!isUsableInstallFolder(installFolder)) return;
  const std::u16string folder = foldSlashes(installFolder);
  removeEmptyFolder(folder);
  // The maker's folder above it, when nothing else is left there (never the
  // root).
  const size_t slash = folder.rfind(u'/');
  if (slash != std::u16string::npos && slash > 0) removeEmptyFolder(folder.substr(0, slash));
}
