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
#include "setup/uninstall_log.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;
using platform::ToUtf8;

// "code target" of a command; registry items as "code root key [name]", the
// root 1 for HKEY_CURRENT_USER and 2 for HKEY_LOCAL_MACHINE.
std::string Describe(const libsetup::Command& command) {
  std::string text = std::to_string(command.code);
  if (const auto* c = dynamic_cast<const libsetup::CmdDeleteFile*>(&command)) text += " " + ToUtf8(c->file);
  if (const auto* c = dynamic_cast<const libsetup::CmdRmdir*>(&command)) text += " " + ToUtf8(c->folder);
  if (const auto* c = dynamic_cast<const libsetup::CmdRegDelete*>(&command)) {
    text += " " + std::to_string(c->hive & 3) + " " + ToUtf8(c->key + u" " + c->valueName);
  }
  if (const auto* c = dynamic_cast<const libsetup::CmdRegDeleteSubKey*>(&command)) {
    text += " " + std::to_string(c->hive & 3) + " " + ToUtf8(c->key);
  }
  return text;
}

TEST(UninstallMode, ListDeletesRecordedItemsInsideTheInstallationDeepestFirst) {
  TempDir dir;
  const ScopedEnv data("XDG_DATA_HOME", (dir.path() / "share").c_str());
  const std::string game = (dir.path() / "game").string();
  std::u16string startMenu;
  ASSERT_TRUE(GetSpecialFolderPath(0x17, &startMenu, nullptr));
  const std::string menu = ToUtf8(startMenu);
  fs::create_directories(game);

  // Written by the installing worker, read by the uninstalling one.
  SetupAPIImpl installer;
  installer.prepareForTests({}, FromUtf8(game), u"", installer.stateForTests());
  UninstallLog& record = installer.uninstallLog();
  for (const std::string& file : {game + "/a.txt", game + "//a.txt", game + "X/evil.txt", game + "/../outside.txt",
                                  std::string("relative.txt"), menu + "/Maker/game.desktop", menu + "/Maker/notes.txt"}) {
    record.addFile(FromUtf8(file));
  }
  for (const std::string& folder : {game, game + "/data/bg", game + "/data/", menu + "/Maker", std::string("/etc")}) {
    record.addFolder(FromUtf8(folder));
  }
  record.addRegValue(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker/game", u"path");
  record.addRegSubKey(HKEY_CURRENT_USER_ID, u"Software/Maker");
  record.addRegSubKey(HKEY_CURRENT_USER_ID, u"SOFTWARE/maker/game");
  record.addRegSubKey(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Maker");
  ASSERT_TRUE(installer.writeUninstallLog());

  SetupAPIImpl worker;
  worker.prepareForTests({}, FromUtf8(game), u"", worker.stateForTests());
  ASSERT_TRUE(worker.readUninstallLog());
  LogCapture log;
  ASSERT_TRUE(worker.buildUninstallCommands());

  // The same file recorded twice goes once; nested subkeys go deepest first
  // also when their spellings differ in case.
  const std::vector<std::string> expected = {
      "3 " + game + "/a.txt", "3 " + menu + "/Maker/game.desktop", "4 " + menu + "/Maker", "4 " + game + "/data/bg",
      "4 " + game + "/data", "4 " + game, "3 " + game + "/uninst.log", "3 " + game + "/VERSION", "4 " + game,
      "7 1 SOFTWARE/maker/game path", "8 2 SOFTWARE/Maker", "8 1 SOFTWARE/maker/game", "8 1 Software/Maker", "14"};
  std::vector<std::string> built;
  for (const auto& command : worker.commands()) built.push_back(Describe(*command));
  EXPECT_EQ(built, expected);
  for (const std::string& skipped : {game + "X/evil.txt", game + "/../outside.txt", std::string("relative.txt"),
                                     menu + "/Maker/notes.txt", std::string("/etc")}) {
    EXPECT_TRUE(log.contains("(" + skipped + ")")) << skipped << "\n" << log.all();
  }
}

TEST(UninstallMode, RemovesSetupFilesAndEmptiedFoldersButNotHiddenOrLinkedOnes) {
  TempDir dir;
  const fs::path maker = dir.path() / "opt/maker";
  const fs::path game = maker / "game";
  for (const char* name : {"st_menu", "st_menu.scm", "st_menu.ini", "st_menu.ins", "st_menu.lst",
                           "setup/a.txt", "setup/sub/deeper/b.txt", "setup/sub/thumbs.db"}) {
    dir.write("opt/maker/game/" + std::string(name), "x");
  }
  ASSERT_TRUE(removeSetupFiles(FromUtf8(game.string())));
  EXPECT_FALSE(fs::exists(game));  // emptied, so it went last
  removeInstallFolder(FromUtf8(game.string()));
  EXPECT_FALSE(fs::exists(maker));
  EXPECT_TRUE(fs::exists(dir.path() / "opt"));

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
  ASSERT_TRUE(removeSetupFiles(FromUtf8(base + "/game")));
  ASSERT_TRUE(removeSetupFiles(FromUtf8(base + "/game2")));
  removeInstallFolder(FromUtf8(base + "/game"));
  EXPECT_FALSE(fs::exists(dir.path() / "game/st_menu"));
  EXPECT_FALSE(fs::exists(dir.path() / "game/setup/sub"));
  for (const char* kept : {"game/save.dat", "game/setup/.hidden", "game/setup/link", "outside/keep.txt",
                           "game2/setup.real/keep.txt"}) {
    EXPECT_TRUE(fs::exists(dir.path() / kept)) << kept;
  }
}

}  // namespace
