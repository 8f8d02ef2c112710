// The bodies of the setup commands: what each does on the machine, what it
// records in the uninstall log and which result it hands the worker. Worker
// thread only; the primitives give Windows error codes, which the results
// are chosen by.
#include "setup/setup_commands.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/os_util.h"
#include "app/registry.h"
#include "platform/registry_store.h"
#include "script/ap_value.h"
#include "setup/desktop_shortcut.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "setup/registry_roots.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_files.h"
#include "setup/setup_ini.h"

namespace libsetup {

namespace {

// Special folders by their Windows numbers.
constexpr int32_t kCsidlCommonPrograms = 0x17;
constexpr int32_t kCsidlCommonDesktop = 0x19;

constexpr char16_t kUninstallLinkName[] = u"アンインストール";

std::u16string registryText(uint32_t hive, std::u16string_view key, std::u16string_view name) {
  return registryRootName(hive) + u"/" + std::u16string(key) + u"/" + std::u16string(name);
}

std::u16string productKeyPath(const ns_SetupIni::SetupIni& settings) {
  return ProductUninstallKey(settings.getProductKey());
}

// What the game launcher starts: the run application in the install folder.
std::u16string shortcutTarget(const SetupAPIImpl& worker, const ns_SetupIni::SetupIni& settings) {
  return worker.installPath(settings.getRunApp());
}

// The arguments that make the installed engine run the uninstall: the work
// folder is the install folder, quoted when it holds a blank.
std::u16string uninstallArguments(const SetupAPIImpl& worker) {
  std::u16string folder = worker.installFolder();
  quoteIfSpaced(&folder, u'"');
  return u"-workdir " + folder + u" st_menu.scm -uninstall";
}

// Makes programs/author/product, the folder of the game's launchers, and
// gives it in *folder; a non-zero answer is makeFolder's result.
int32_t makeMenuFolder(SetupAPIImpl& worker, const ns_SetupIni::SetupIni& settings, std::u16string* folder) {
  std::u16string programs;
  int32_t error = 0;
  if (!GetSpecialFolderPath(kCsidlCommonPrograms, &programs, &error)) {
    LogWrite(LOG_WARN, u"特殊フォルダ(CSIDL_COMMON_PROGRAMS)を取得できません(%d)\n", error);
    return kCmdFailed;
  }
  // A missing start menu is the installation's own; what lies above it is
  // the user's data folder.
  std::u16string path = programs + u"/" + settings.getAuthorName();
  int32_t result = worker.makeFolder(path, programs);
  if (result != kCmdDone) return result;
  path += u"/" + settings.getProductTitle();
  result = worker.makeFolder(path);
  if (result != kCmdDone) return result;
  *folder = std::move(path);
  return kCmdDone;
}

// Writes one launcher and records the file it became. False with *code set
// when it cannot be written.
bool makeLink(SetupAPIImpl& worker, const std::u16string& link, std::u16string_view target,
              std::u16string_view arguments, std::u16string_view workingFolder, int32_t* code) {
  if (!createShortcutForPaths(link, target, arguments, workingFolder, target, 0, worker.installFolder(), code)) {
    return false;
  }
  const std::u16string entry = DesktopEntryPath(link);
  worker.uninstallLog().addFile(entry);
  notifyShell(SHCNE_CREATE_ID, entry);
  return true;
}

// The launcher of the game itself, run in the folder that holds it.
bool makeGameLink(SetupAPIImpl& worker, const ns_SetupIni::SetupIni& settings, const std::u16string& link,
                  int32_t* code) {
  const std::u16string target = shortcutTarget(worker, settings);
  std::u16string workingFolder;
  if (!parentFolderOfDrivePath(target, &workingFolder)) workingFolder.clear();
  return makeLink(worker, link, target, u"", workingFolder, code);
}

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// The common end of the two deletes: error (0 when the delete succeeded) to
// a result. Gone already counts as done, and so does a path through a link,
// which is left alone; a folder that still holds something stays. Anything
// else (access, a busy or read-only disc, a file that became a folder or the
// reverse, an error nobody expected) may pass, so the user is asked.
int32_t deleteResult(const SetupAPIImpl& worker, const std::u16string& path, int32_t error, bool folder) {
  switch (error) {
    case 0:
    case kErrorFileNotFound:
    case kErrorPathNotFound: break;
    case kErrorRefusedPath:
      LogWrite(LOG_WARN, u"uninst.log: 削除対象として不適切なパスを無視します(%s)\n", path);
      return kCmdDone;
    case kErrorDirNotEmpty:
      if (folder) {
        LogWrite(LOG_WARN, u"ディレクトリが空ではないので削除できません(%s)\n", path);
        break;
      }
      [[fallthrough]];
    default:
      LogWrite(LOG_WARN, folder ? u"ディレクトリを削除できません(%d:%s)\n" : u"ファイルを削除できません(%d:%s)\n", error,
               path);
      return kCmdRetry;
  }
  if (!startsWith(path, worker.installFolder())) notifyShell(folder ? SHCNE_RMDIR_ID : SHCNE_DELETE_ID, path);
  return kCmdDone;
}

// The keys on the way to key, key included, that do not exist yet: those a
// value write or a key creation there makes, which the uninstall may take
// away again.
std::vector<std::u16string> missingKeys(uint32_t hive, std::u16string_view key) {
  // The store refuses a whole path past its limits (the write that needs it
  // fails with a WARN) and makes none of its keys: nothing to record.
  if (!platform::RegistryKeyWithinLimits(key)) return {};
  const std::u16string path = NormalRegistryKey(key);
  std::vector<std::u16string> missing;
  for (size_t end = path.find(u'/'); !path.empty(); end = path.find(u'/', end + 1)) {
    const std::u16string prefix = path.substr(0, end);
    if (!missing.empty() || !Win32RegKeyExists(hive, prefix)) missing.push_back(prefix);
    if (end == std::u16string::npos) break;
  }
  return missing;
}

// Records the keys a write is about to make, before it makes them (a run
// cut short in between leaves a record of them); false when the record
// cannot be kept.
bool recordKeysToMake(SetupAPIImpl& worker, uint32_t hive, std::u16string_view key) {
  const std::vector<std::u16string> keys = missingKeys(hive, key);
  if (keys.empty()) return true;
  for (const std::u16string& made : keys) worker.uninstallLog().addRegSubKey(hive, made);
  return worker.keepRecord();
}

}  // namespace

// ---- Copy ----

CmdCopyFile::CmdCopyFile(std::u16string destination, std::u16string source, int32_t time, uint64_t size)
    : Command(1, size), destination(std::move(destination)), source(std::move(source)), time(time) {}

int32_t CmdCopyFile::execute(SetupAPIImpl& worker) {
  const std::u16string to = worker.installPath(destination);
  const std::u16string from = worker.mediaPath(source);
  worker.setCurrent(code, from);
  this->worker = &worker;
  int32_t error = 0;
  // The disc is read below its folder without following a link: a link on
  // the disc leads to something that is no part of it.
  const bool copied =
      copyFileWithProgress(worker.installFolder(), to, from, &error, copyProgress, this, worker.mediaFolder());
  this->worker = nullptr;
  if (!copied && error == kErrorRefusedPath) {
    LogWrite(LOG_WARN, u"ディスク上のリンクはコピーしません(%s)\n", from);
    return kCmdDone;
  }
  if (!copied) return error == kErrorRequestAborted ? kCmdCancelled : kCmdRetry;
  // The copy gets its mode from the source's executable bits; only the
  // list's time stamp is set (a failure there leaves the copy's own times).
  setFileTimeFromUnix(to, time);
  worker.uninstallLog().addFile(to);
  return kCmdDone;
}

void CmdCopyFile::describe(uint32_t level) const { LogWrite(level, u"CMD_COPYFILE: %s -> %s\n", source, destination); }

// ---- Folders and deletes ----

CmdMkdir::CmdMkdir(std::u16string folder) : Command(2, kCommandWeight), folder(std::move(folder)) {}

// The worker describes every command as it runs it.
int32_t CmdMkdir::execute(SetupAPIImpl& worker) { return worker.makeFolder(folder); }

void CmdMkdir::describe(uint32_t level) const { LogWrite(level, u"CMD_MKDIR: %s\n", folder); }

CmdDeleteFile::CmdDeleteFile(std::u16string base, std::u16string file)
    : Command(3, kCommandWeight), base(std::move(base)), file(std::move(file)) {}

int32_t CmdDeleteFile::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, file);
  int32_t error = 0;
  if (base.empty() ? deleteFileForce(file, &error) : deleteFileBelow(base, file, &error)) error = 0;
  return deleteResult(worker, file, error, false);
}

void CmdDeleteFile::describe(uint32_t level) const { LogWrite(level, u"CMD_DELETEFILE: %s\n", file); }

CmdRmdir::CmdRmdir(std::u16string base, std::u16string folder)
    : Command(4, kCommandWeight), base(std::move(base)), folder(std::move(folder)) {}

int32_t CmdRmdir::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, folder);
  // The thumbnail cache a file manager may have left would keep the folder.
  const std::u16string thumbnails = folder + u"/Thumbs.db";
  int32_t error = 0;
  if (base.empty()) {
    deleteFileForce(thumbnails);
    if (removeFolderForce(folder, &error)) error = 0;
  } else {
    deleteFileBelow(base, thumbnails);
    if (removeFolderBelow(base, folder, &error)) error = 0;
  }
  return deleteResult(worker, folder, error, true);
}

void CmdRmdir::describe(uint32_t level) const { LogWrite(level, u"CMD_RMDIR: %s\n", folder); }

// ---- Registry ----

CmdRegCreate::CmdRegCreate(const ns_SetupIns::ActRegCreateKey* action) : Command(5, kCommandWeight), action(action) {}

int32_t CmdRegCreate::execute(SetupAPIImpl& worker) {
  using ns_SetupIns::ActRegCreateKey;
  if (!action) {
    LogWrite(LOG_DEBUG, u"値の作成に失敗\n");
    return kCmdNoData;
  }
  const std::u16string text = registryText(action->hive, action->keyPath, action->valueName);
  worker.setCurrent(code, text);
  APValue value;
  const bool target = action->alias == 1;
  const bool knownAlias = action->alias == 0 || target;
  if (action->valueKind == ActRegCreateKey::kInteger) {
    value = APValue(action->intValue);
  } else if (action->valueKind == ActRegCreateKey::kString) {
    value = APValue(action->stringValue);
  } else if (action->valueKind == ActRegCreateKey::kAliasFolder && knownAlias) {
    value = APValue(target ? worker.installFolder() : worker.mediaFolder());
  } else if (action->valueKind == ActRegCreateKey::kAliasPath && knownAlias) {
    value = APValue(target ? worker.installPath(action->stringValue) : worker.mediaPath(action->stringValue));
  } else {
    LogWrite(LOG_DEBUG, u"値の作成に失敗\n");
    return kCmdNoData;
  }
  int32_t error = 0;
  if (!recordKeysToMake(worker, action->hive, action->keyPath)) return kCmdFailed;
  if (!Win32RegWrite(action->hive, action->keyPath, action->valueName, value, &error)) {
    LogWrite(LOG_WARN, u"レジストリの書き込みに失敗しました(%s)\n", text);
    return kCmdFailed;
  }
  worker.uninstallLog().addRegValue(action->hive, action->keyPath, action->valueName);
  return kCmdDone;
}

void CmdRegCreate::describe(uint32_t level) const {
  LogWrite(level, u"CMD_REG_SETKEY: %p\n", static_cast<const void*>(action));
}

CmdRegCreateSubKey::CmdRegCreateSubKey(uint32_t hive, std::u16string key, std::u16string subKey)
    : Command(6, kCommandWeight), hive(hive), key(std::move(key)), subKey(std::move(subKey)) {}

int32_t CmdRegCreateSubKey::execute(SetupAPIImpl& worker) {
  const std::u16string text = registryText(hive, key, subKey);
  worker.setCurrent(code, text);
  const std::u16string path = key + u"/" + subKey;
  int32_t error = 0;
  if (!recordKeysToMake(worker, hive, path)) return kCmdFailed;
  if (!Win32RegMkdir(hive, path, &error)) {
    LogWrite(LOG_WARN, u"レジストリサブキーの作成に失敗しました(%s)\n", text);
    return kCmdFailed;
  }
  worker.uninstallLog().addRegSubKey(hive, path);
  return kCmdDone;
}

void CmdRegCreateSubKey::describe(uint32_t level) const {
  LogWrite(level, u"CMD_REG_MKSUBKEY: [%d][%s][%s]\n", static_cast<int32_t>(hive), key, subKey);
}

CmdRegDelete::CmdRegDelete(uint32_t hive, std::u16string key, std::u16string valueName)
    : Command(7, kCommandWeight), hive(hive), key(std::move(key)), valueName(std::move(valueName)) {}

// A value that cannot be deleted is logged and left: an uninstall always
// runs to the end of its list.
int32_t CmdRegDelete::execute(SetupAPIImpl& worker) {
  const std::u16string text = registryText(hive, key, valueName);
  worker.setCurrent(code, text);
  int32_t error = 0;
  if (!Win32RegDelete(hive, key, valueName, &error)) {
    LogWrite(LOG_WARN, u"レジストリキーの削除に失敗しました(%d:%s)\n", error, text);
  }
  return kCmdDone;
}

void CmdRegDelete::describe(uint32_t level) const {
  LogWrite(level, u"CMD_REG_DELETEKEY: [%d][%s][%s]\n", static_cast<int32_t>(hive), key, valueName);
}

CmdRegDeleteSubKey::CmdRegDeleteSubKey(uint32_t hive, std::u16string key, bool onlyWhenEmpty)
    : Command(8, kCommandWeight), hive(hive), key(std::move(key)), onlyWhenEmpty(onlyWhenEmpty) {}

int32_t CmdRegDeleteSubKey::execute(SetupAPIImpl& worker) {
  const std::u16string text = registryRootName(hive) + u"/" + key;
  worker.setCurrent(code, text);
  int32_t error = 0;
  if (!Win32RegDeleteKey(hive, key, &error, onlyWhenEmpty) && !onlyWhenEmpty) {
    LogWrite(LOG_WARN, u"レジストリサブキーの削除に失敗しました(%d:%s)\n", error, text);
  }
  return kCmdDone;
}

void CmdRegDeleteSubKey::describe(uint32_t level) const {
  LogWrite(level, u"CMD_REG_DELETESUBKEY: [%d][%s]\n", static_cast<int32_t>(hive), key);
}

// ---- Launchers ----

CmdCreateStartMenu::CmdCreateStartMenu() : Command(9, kCommandWeight) {}

// The game's launcher and the uninstall launcher in programs/author/product.
int32_t CmdCreateStartMenu::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, u"");
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;
  std::u16string folder;
  const int32_t result = makeMenuFolder(worker, *settings, &folder);
  if (result != kCmdDone) return result;
  int32_t linkCode = 0;
  if (!makeGameLink(worker, *settings, folder + u"/" + settings->getShortcutName() + u".lnk", &linkCode)) {
    LogWrite(LOG_WARN, u"ショートカットの作成に失敗しました(%d)\n", linkCode);
    return kCmdFailed;
  }
  if (!makeLink(worker, folder + u"/" + kUninstallLinkName + u".lnk", worker.uninstallerPath(),
                uninstallArguments(worker), u"", &linkCode)) {
    LogWrite(LOG_WARN, u"ショートカットの作成に失敗しました(%d)\n", linkCode);
    return kCmdFailed;
  }
  return kCmdDone;
}

void CmdCreateStartMenu::describe(uint32_t level) const { LogWrite(level, u"CMD_CREATESTARTMENU:\n"); }

CmdCreateDesktopShortCut::CmdCreateDesktopShortCut() : Command(10, kCommandWeight) {}

// The desktop folder itself is never made: without it (and as root, where
// there is no desktop for all users) the launcher is not made, and the
// install goes on.
int32_t CmdCreateDesktopShortCut::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, u"");
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;
  std::u16string desktop;
  int32_t error = 0;
  if (!GetSpecialFolderPath(kCsidlCommonDesktop, &desktop, &error)) {
    if (IsUserAdmin()) {
      LogWrite(LOG_WARN, u"全ユーザー共通のデスクトップがないのでデスクトップショートカットは作成しません\n");
      return kCmdDone;
    }
    LogWrite(LOG_WARN, u"特殊フォルダ(CSIDL_COMMON_DESKTOPDIRECTORY)を取得できません(%d)\n", error);
    return kCmdFailed;
  }
  if (!isDirectory(desktop)) {
    LogWrite(LOG_WARN, u"デスクトップフォルダがないのでデスクトップショートカットは作成しません(%s)\n", desktop);
    return kCmdDone;
  }
  int32_t linkCode = 0;
  if (!makeGameLink(worker, *settings, desktop + u"/" + settings->getShortcutName() + u".lnk", &linkCode)) {
    LogWrite(LOG_WARN, u"デスクトップショートカットの作成に失敗しました(%d)\n", linkCode);
    return kCmdFailed;
  }
  return kCmdDone;
}

void CmdCreateDesktopShortCut::describe(uint32_t level) const { LogWrite(level, u"CMD_CREATEDESKTOPSHORTCUT:\n"); }

CmdAddStartMenu::CmdAddStartMenu(std::u16string name, std::u16string target)
    : Command(11, kCommandWeight), name(std::move(name)), target(std::move(target)) {}

int32_t CmdAddStartMenu::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, u"");
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;
  std::u16string folder;
  const int32_t result = makeMenuFolder(worker, *settings, &folder);
  if (result != kCmdDone) return result;
  int32_t linkCode = 0;
  if (!makeLink(worker, folder + u"/" + name + u".lnk", target, u"", u"", &linkCode)) {
    LogWrite(LOG_WARN, u"メニューアイテムの作成に失敗しました(%d)\n", linkCode);
    return kCmdFailed;
  }
  return kCmdDone;
}

void CmdAddStartMenu::describe(uint32_t level) const { LogWrite(level, u"CMD_ADDSTARTMENU: [%s][%s]\n", name, target); }

// ---- Product registration ----

CmdRegisterProduct::CmdRegisterProduct() : Command(12, kCommandWeight) {}

// The Add/Remove Programs key and its three values; the keys it makes are
// recorded first, the values only once all three are written.
int32_t CmdRegisterProduct::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, u"");
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;

  const std::u16string key = productKeyPath(*settings);
  int32_t error = 0;
  if (!recordKeysToMake(worker, HKEY_LOCAL_MACHINE_ID, key)) return kCmdFailed;
  if (!Win32RegMkdir(HKEY_LOCAL_MACHINE_ID, key, &error)) {
    LogWrite(LOG_WARN, u"レジストリサブキーの作成に失敗しました(HLKM/%s)\n", key);
    return kCmdFailed;
  }
  worker.uninstallLog().addRegSubKey(HKEY_LOCAL_MACHINE_ID, key);

  std::u16string uninstaller = worker.uninstallerPath();
  quoteIfSpaced(&uninstaller, u'"');
  const std::pair<const char16_t*, std::u16string> values[] = {
      {u"DisplayName", settings->getProductTitle()},
      {u"InstallLocation", worker.installFolder()},
      {u"UninstallString", uninstaller + u" " + uninstallArguments(worker)},
  };
  for (const auto& [name, text] : values) {
    if (!Win32RegWrite(HKEY_LOCAL_MACHINE_ID, key, name, APValue(text), &error)) {
      LogWrite(LOG_WARN, u"レジストリの書き込みに失敗しました(%s)\n", registryText(HKEY_LOCAL_MACHINE_ID, key, name));
      return kCmdFailed;
    }
  }
  for (const auto& value : values) worker.uninstallLog().addRegValue(HKEY_LOCAL_MACHINE_ID, key, value.first);
  return kCmdDone;
}

void CmdRegisterProduct::describe(uint32_t level) const { LogWrite(level, u"CMD_REGISTERPRODUCT:\n"); }

CmdUnregisterProduct::CmdUnregisterProduct() : Command(14, kCommandWeight) {}

// Every step may fail (the entry may be gone already); none stops the run.
int32_t CmdUnregisterProduct::execute(SetupAPIImpl& worker) {
  worker.setCurrent(code, u"");
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;
  const std::u16string key = productKeyPath(*settings);
  int32_t error = 0;
  for (const char16_t* name : {u"DisplayName", u"InstallLocation", u"UninstallString"}) {
    Win32RegDelete(HKEY_LOCAL_MACHINE_ID, key, name, &error);
  }
  Win32RegDeleteKey(HKEY_LOCAL_MACHINE_ID, key, &error);
  return kCmdDone;
}

void CmdUnregisterProduct::describe(uint32_t level) const { LogWrite(level, u"CMD_UNREGISTERPRODUCT:\n"); }

// ---- Discs ----

CmdChangeDisc::CmdChangeDisc(int32_t discIndex) : Command(15, kCommandWeight), discIndex(discIndex) {}

// Leaves the current command and file as they are: the copy that follows
// reports its own.
int32_t CmdChangeDisc::execute(SetupAPIImpl& worker) {
  const ns_SetupIni::SetupIni* settings = worker.setupSettings();
  if (!settings) return kCmdNoData;
  std::u16string expected;
  if (!settings->getDiscId(discIndex, &expected)) {
    LogWrite(LOG_WARN, u"指定ディスクインデックスのID文字列が定義されていません(%d)\n", discIndex);
    return kCmdNoData;
  }
  const std::u16string idFile = worker.mediaPath(settings->getDiscIdFileName());
  return checkDiscIdFile(idFile, expected) == 0 ? kCmdDone : kCmdChangeDisc;
}

void CmdChangeDisc::describe(uint32_t level) const { LogWrite(level, u"CMD_CHANGE_DISC: discIndex = %d\n", discIndex); }

}  // namespace libsetup
