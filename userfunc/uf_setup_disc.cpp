// Built-ins 9020-9022, 9030 and 9031: what a setup script shows the player
// around a run (the disc prompt, the install-folder dialog, disc names, the
// program-files folder) and the copy of the game's save folder to the
// desktop before an uninstall. They use the setup handle table of
// uf_setup.cpp and never write outside the new folder on the desktop. Main
// thread.
#include <string>
#include <vector>

#include "app/format.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/os_util.h"
#include "gamestate/state_mgr.h"
#include "platform/message_box.h"
#include "platform/quit_signals.h"
#include "setup/install_files.h"
#include "setup/install_primitives.h"
#include "userfunc/userfunc_impl.h"

namespace {

// Special folders by their Windows numbers.
constexpr int32_t kProgramFilesFolder = 0x26;
constexpr int32_t kAppDataFolder = 0x1a;
constexpr int32_t kDesktopFolder = 0x10;
// The counters of the save copies on one day: 000000 to 999999.
constexpr int32_t kMaxSaveCopies = 1000000;

std::u16string specialFolder(int32_t csidl) {
  std::u16string path;
  int32_t error = 0;
  if (!GetSpecialFolderPath(csidl, &path, &error)) path.clear();
  return path;
}

// desktop/<title>-<date>-<counter> that does not exist yet.
std::u16string saveCopyFolder(const std::u16string& desktop, const std::u16string& title) {
  const std::u16string prefix = desktop + u"/" + title + u"-";
  const std::u16string today = todayText();
  for (int32_t n = 0; n < kMaxSaveCopies; ++n) {
    const std::u16string folder = prefix + Format(u"%s-%06d", today, n);
    if (!isDirectory(folder)) return folder;
  }
  return prefix + u"1000000";
}

}  // namespace

// (handle, disc index, string variable holding the first folder): asks for
// the disc until its identification file matches. The folder chosen and its
// length; 0 when the player cancels, or when the engine is asked to quit
// meanwhile; -1 for an unknown disc or a failed dialog.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_disc_prompt(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  const ns_SetupIni::SetupIni& settings = *record->setupSettings;
  const int32_t disc = intArg(args, 1);
  const std::u16string idFile = settings.getDiscIdFileName();
  std::u16string idText;
  std::u16string discName;
  if (!settings.getDiscId(disc, &idText) || !settings.getDiscName(disc, &discName)) return make_value_ufresult(-1);
  const int32_t variable = intArg(args, 2);
  const std::u16string first = stateMgr().getPlayString(variable, u"");
  for (;;) {
    std::u16string folder;
    if (!BrowseForFolder(discName + u"をセットしてください", 1, first, &folder)) return make_value_ufresult(-1);
    if (folder.empty() || platform::QuitEventPending()) return make_zero_ufresult();
    if (checkDiscIdFile(folder + u"/" + idFile, idText) == 0) {
      stateMgr().setPlayString(variable, folder);
      return make_value_ufresult(lengthOf(folder));
    }
    int32_t button = 0;
    ShowMessageBox(u"正しいディスクをセットしてください",
                   environment() ? environment()->getProductName() : std::u16string(), platform::MB_OK, &button);
  }
}

// (handle, string variable holding the first folder; empty: the program
// files folder): the folder chosen, without a final "/", and its length; -1
// when cancelled or when the dialog failed.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_install_folder(const Args& args) {
  if (!liveSetupHandle(args, 0)) return make_value_ufresult(-1);
  const int32_t variable = intArg(args, 1);
  std::u16string first = stateMgr().getPlayString(variable, u"");
  if (first.empty()) first = specialFolder(kProgramFilesFolder);
  std::u16string folder;
  if (!BrowseForFolder(u"インストール先を指定してください", 0, first, &folder)) return make_value_ufresult(-1);
  if (folder.size() < 2) return make_value_ufresult(-1);
  if (folder.back() == u'/') folder.pop_back();
  stateMgr().setPlayString(variable, folder);
  return make_value_ufresult(lengthOf(folder));
}

// (handle): copies the game's save folder into a new folder on the desktop.
// 0 when done (nothing to copy included); -1 on the first failure, what was
// copied staying.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_copy_saves(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  const ns_SetupIni::SetupIni& settings = *record->setupSettings;
  // The title and the names are single safe components (checked when the
  // ini file was read), so the paths below stay inside their folders.
  const std::u16string author = settings.getAuthorName();
  const std::u16string title = settings.getProductTitle();
  const std::u16string saveFolder = settings.getSaveFolder();
  std::u16string source;
  std::u16string base;  // no link below it is followed
  switch (settings.getSaveFolderLocation(-1)) {
    case 0:
      base = record->installedPath;
      source = base + u"/" + saveFolder;
      break;
    case 1: {
      base = specialFolder(kAppDataFolder);
      if (base.empty()) return make_value_ufresult(-1);
      source = base + u"/" + author + u"/" + title + u"/" + saveFolder;
      break;
    }
    default:
      LogWrite(LOG_ERROR, u"内部エラー：セーブフォルダ設定が不正です\n");
      return make_value_ufresult(-1);
  }
  const std::u16string desktop = specialFolder(kDesktopFolder);
  if (desktop.empty()) return make_value_ufresult(-1);
  const std::u16string destination = saveCopyFolder(desktop, title);

  std::vector<std::u16string> files;
  if (!listFiles(source + u"/*.*", true, false, &files)) return make_value_ufresult(-1);
  for (const std::u16string& file : files) {
    // The walker names each file below the folder it was given.
    if (file.size() <= source.size() + 1 || file[source.size()] != u'/') continue;
    const std::u16string target = destination + u"/" + file.substr(source.size() + 1);
    int32_t error = 0;
    if (!makeParentFolders(target, &error)) {
      LogWrite(LOG_WARN, u"ディレクトリに書き込みできません(%s)\n", target);
      return make_value_ufresult(-1);
    }
    if (!copyFilePlain(destination, target, file, &error, base)) {
      if (error == kErrorRefusedPath) {
        LogWrite(LOG_WARN, u"セーブフォルダ内のリンクはコピーしません(%s)\n", file);
        continue;
      }
      LogWrite(LOG_WARN, u"ファイルのコピーに失敗しました(%s:%s)\n", file, target);
      return make_value_ufresult(-1);
    }
  }
  return make_zero_ufresult();
}

// (handle, string variable): the program files folder and its length.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_program_files(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  const std::u16string folder = specialFolder(kProgramFilesFolder);
  if (folder.empty()) return make_value_ufresult(-1);
  stateMgr().setPlayString(intArg(args, 1), folder);
  return make_value_ufresult(lengthOf(folder));
}

// (handle, disc index, string variable): the disc's shown name and its
// length; -1 when st_menu.ini has none.
std::unique_ptr<UFResult> UserfuncImpl::uf_setup_disc_name(const Args& args) {
  SetupHandle* record = liveSetupHandle(args, 0);
  if (!record || !record->setupSettings) return make_value_ufresult(-1);
  std::u16string name;
  if (!record->setupSettings->getDiscName(intArg(args, 1), &name)) return make_value_ufresult(-1);
  stateMgr().setPlayString(intArg(args, 2), name);
  return make_value_ufresult(lengthOf(name));
}
