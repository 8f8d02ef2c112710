// Uninstall mode: the list built from the record deletes only what an
// installation could have made, folders and subkeys deepest first, and the
// end of an uninstall removes the setup files and the emptied folders but
// leaves hidden files and whatever a link leads to.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/registry.h"
#include "platform/utf8.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_commands.h"
#include "setup/setup_ini.h"
#include "setup/uninstall_log.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using platform::ToUtf8;

// "code target" of a command, with " <" and the folder its walk starts from;
// registry items as "code root key [name]", the root 1 for
// HKEY_CURRENT_USER and 2 for HKEY_LOCAL_MACHINE, "?" for a key that goes
// only when empty.
std::string Describe(const libsetup::Command& command) {
  std::string text = std::to_string(command.code);
  if (const auto* c = dynamic_cast<const libsetup::CmdDeleteFile*>(&command)) {
    text += " " + ToUtf8(c->file) + " <" + ToUtf8(c->base);
  }
  if (const auto* c = dynamic_cast<const libsetup::CmdRmdir*>(&command)) {
    text += " " + ToUtf8(c->folder) + " <" + ToUtf8(c->base);
  }
  if (const auto* c = dynamic_cast<const libsetup::CmdRegDelete*>(&command)) {
    text += " " + std::to_string(c->hive & 3) + " " + ToUtf8(c->key + u" " + c->valueName);
  }
  if (const auto* c = dynamic_cast<const libsetup::CmdRegDeleteSubKey*>(&command)) {
    text += " " + std::to_string(c->hive & 3) + " " + ToUtf8(c->key) + (c->onlyWhenEmpty ? " ?" : "");
  }
  return text;
}

TEST(UninstallMode, ListDeletesOnlyWhatTheInstallationMadeDeepestFirst) {
  TempDir dir;
  const ScopedEnv data("XDG_DATA_HOME", (dir.path() / "share").c_str());
  const ScopedEnv apps("ZEP_SYSTEM_APPLICATIONS_DIR", (dir.path() / "apps").c_str());
  // Sorts after the start menu, which is "apps" as root and "share" else.
  const std::string game = (dir.path() / "zgame").string();
  std::u16string startMenu;
  ASSERT_TRUE(GetSpecialFolderPath(0x17, &startMenu, nullptr));
  const std::string programs = ToUtf8(startMenu);
  const std::string menu = programs + "/Maker/Game";
  fs::create_directories(game);
  // The installed action list writes one value; the launchers say who made
  // them.
  dir.write("zgame/st_menu.ins", "(action (1 (reg-create HKEY_CURRENT_USER \"SOFTWARE/maker/game\" \"path\" \"x\")))");
  fs::create_directories(menu);
  const std::string menuInDir = menu.substr(dir.path().string().size() + 1);
  dir.write(menuInDir + "/game.desktop", "[Desktop Entry]\nX-Zep-Install=" + game + "\n");
  dir.write(menuInDir + "/other.desktop", "[Desktop Entry]\nX-Zep-Install=/opt/x\n");
  auto settings = MakeSharedRef<ns_SetupIni::SetupIni>();
  std::u16string error;
  settings->parseText("[setup]\nauthor_name=Maker\nproduct_title=Game\nshortcutname=Play\nproduct_key=G1\n", &error);
  const std::string product = "SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/G1";

  // Written by the installing worker, read by the uninstalling one.
  SetupAPIImpl installer;
  installer.prepareForTests({}, FromUtf8(game), u"", installer.stateForTests());
  UninstallLog& record = installer.uninstallLog();
  for (const std::string& file :
       {game + "/a.txt", game + "//a.txt", game + "X/evil.txt", game + "/../outside.txt", std::string("relative.txt"),
        menu + "/game.desktop", menu + "/gone.desktop", menu + "/other.desktop", menu + "/notes.txt",
        programs + "/Other/x.desktop"}) {
    record.addFile(FromUtf8(file));
  }
  for (const std::string& folder : {game, game + "/data/bg", game + "/data/", menu, programs + "/Maker", programs,
                                    programs + "/Other", std::string("/etc")}) {
    record.addFolder(FromUtf8(folder));
  }
  record.addRegValue(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker/game", u"path");
  record.addRegValue(HKEY_CURRENT_USER_ID, u"Software/Other", u"v");
  record.addRegValue(HKEY_LOCAL_MACHINE_ID, FromUtf8(product), u"DisplayName");
  record.addRegSubKey(HKEY_CURRENT_USER_ID, u"Software/Maker");
  record.addRegSubKey(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker/game");
  record.addRegSubKey(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Maker");
  record.addRegSubKey(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall");
  record.addRegSubKey(HKEY_LOCAL_MACHINE_ID, FromUtf8(product));
  ASSERT_TRUE(installer.writeUninstallLog());

  SetupAPIImpl worker;
  worker.prepareForTests({}, FromUtf8(game), u"", worker.stateForTests());
  worker.setSetupSettingsForTests(settings);
  ASSERT_TRUE(worker.readUninstallLog());
  LogCapture log;
  ASSERT_TRUE(worker.buildUninstallCommands());

  // The same file recorded twice goes once; launchers only when this
  // installation made them (or when they cannot be read); the start menu's
  // folders down to the product's own, and keys made on the way to the
  // installation's own, only when empty; nested subkeys deepest first also
  // when their spellings differ in case.
  // The install folder, which holds the record, is left to the end of the
  // run; VERSION goes before the setup files, the uninstaller first of them
  // (so that, while it is there, so is all it needs to run again), and the
  // registration after them.
  const std::vector<std::string> expected = {
      "3 " + menu + "/game.desktop <" + programs, "3 " + menu + "/gone.desktop <" + programs,
      "3 " + game + "/a.txt <" + game, "4 " + game + "/data/bg <" + game, "4 " + game + "/data <" + game,
      "4 " + menu + " <" + programs, "4 " + programs + "/Maker <" + programs, "4 " + programs + " <",
      "3 " + game + "/VERSION <" + game, "3 " + game + "/st_menu <" + game, "3 " + game + "/st_menu.scm <" + game,
      "3 " + game + "/st_menu.ini <" + game, "3 " + game + "/st_menu.ins <" + game,
      "3 " + game + "/st_menu.lst <" + game, "3 " + game + "/libzep_movie.so <" + game,
      "7 1 SOFTWARE/maker/game path", "7 2 " + product + " DisplayName", "8 2 " + product,
      "8 2 SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall ?", "8 1 SOFTWARE/maker/game", "8 1 Software/Maker ?",
      "14"};
  std::vector<std::string> built;
  for (const auto& command : worker.commands()) built.push_back(Describe(*command));
  EXPECT_EQ(built, expected);
  const std::vector<std::string> skipped = {"(" + game + "X/evil.txt)",
                                            "(" + game + "/../outside.txt)",
                                            "(relative.txt)",
                                            "(" + menu + "/notes.txt)",
                                            "(" + programs + "/Other/x.desktop)",
                                            "(" + programs + "/Other)",
                                            "(/etc)",
                                            "作られたものではないので削除しません(" + menu + "/other.desktop)",
                                            "レジストリ値を無視します(HKEY_CURRENT_USER/Software/Other/v)",
                                            "レジストリキーを無視します(HKEY_LOCAL_MACHINE/SOFTWARE/Maker)"};
  for (const std::string& line : skipped) {
    EXPECT_TRUE(log.contains(line)) << line << "\n" << log.all();
  }
}

// The uninstall list of an installation without a record of files (the
// setup files and VERSION, and the given folders) run command by command,
// then the end of the run.
void UninstallWithoutRecord(const std::string& folder, const std::vector<std::string>& folders = {}) {
  SetupAPIImpl worker;
  worker.prepareForTests({}, FromUtf8(folder), u"", worker.stateForTests());
  for (const std::string& recorded : folders) worker.uninstallLog().addFolder(FromUtf8(recorded));
  ASSERT_TRUE(worker.buildUninstallCommands());
  for (const auto& command : worker.commands()) command->execute(worker);
  removeRecordAndInstallFolder(FromUtf8(folder), worker.uninstallLog());
}

TEST(UninstallMode, RemovesSetupFilesAndEmptiedFoldersButNotHiddenOrLinkedOnes) {
  TempDir dir;
  const fs::path maker = dir.path() / "opt/maker";
  const fs::path game = maker / "game";
  for (const char* name : {"st_menu", "st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst", "uninst.log",
                           "setup/a.txt", "setup/sub/deeper/b.txt", "setup/sub/thumbs.db"}) {
    dir.write("opt/maker/game/" + std::string(name), "x");
  }
  // An empty folder whose name begins like the maker's is not above the
  // install folder, whatever the record says.
  fs::create_directories(dir.path() / "opt/mak");
  LogCapture log;
  UninstallWithoutRecord(game.string(), {(dir.path() / "opt/mak").string()});
  EXPECT_FALSE(fs::exists(maker));  // emptied, so both went
  EXPECT_TRUE(fs::exists(dir.path() / "opt/mak"));
  EXPECT_TRUE(log.contains("不適切なパスを無視します(" + (dir.path() / "opt/mak").string() + ")")) << log.all();

  // A hidden file keeps its folder; nothing behind a link is touched.
  dir.write("outside/keep.txt", "x");
  dir.write("game/st_menu", "x");
  dir.write("game/save.dat", "x");
  dir.write("game/setup/.hidden", "x");
  dir.write("game/setup/sub/c.txt", "x");
  fs::create_directory_symlink(dir.path() / "outside", dir.path() / "game/setup/link");
  dir.write("game2/setup.real/keep.txt", "x");
  fs::create_directory_symlink(dir.path() / "game2/setup.real", dir.path() / "game2/setup");
  const std::string base = dir.path().string();
  UninstallWithoutRecord(base + "/game");
  UninstallWithoutRecord(base + "/game2");
  EXPECT_FALSE(fs::exists(dir.path() / "game/st_menu"));
  EXPECT_FALSE(fs::exists(dir.path() / "game/setup/sub"));
  for (const char* kept : {"game/save.dat", "game/setup/.hidden", "game/setup/link", "outside/keep.txt",
                           "game2/setup.real/keep.txt"}) {
    EXPECT_TRUE(fs::exists(dir.path() / kept)) << kept;
  }
}

}  // namespace
