// The setup commands run by hand on a worker without its thread: copies,
// folders and deletes with the results the worker acts on, registry values
// and keys, launchers, product registration and the disc check, each against
// the test's own folders and registry store.
#include "setup/setup_commands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>

#include "app/game_environment.h"
#include "app/os_util.h"
#include "app/registry.h"
#include "platform/registry_store.h"
#include "platform/utf8.h"
#include "setup/setup_api_impl.h"
#include "setup/setup_ini.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace libsetup;
using ns_SetupIns::ActRegCreateKey;
using platform::FromUtf8;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string U(const fs::path& path) { return FromUtf8(path.string()); }

std::unique_ptr<ActRegCreateKey> MakeAction(uint32_t hive, std::u16string name, int32_t kind, int32_t alias) {
  auto action = std::make_unique<ActRegCreateKey>();
  action->hive = hive;
  action->keyPath = u"Software/Maker";
  action->valueName = std::move(name);
  action->valueKind = kind;
  action->alias = alias;
  action->stringValue = u"text";
  action->intValue = 42;
  return action;
}

// A worker over an install folder whose name holds a blank, a disc folder
// and a setup description; the registry, the start menu and the desktop lie
// in the test's folder.
class SetupCommandsTest : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(install_);
    fs::create_directories(media_);
    fs::create_directories(dir_.path() / "data");
    fs::create_directories(dir_.path() / "apps");
    std::u16string programs;
    ASSERT_TRUE(GetSpecialFolderPath(0x17, &programs, nullptr));
    menu_ = fs::path(platform::ToUtf8(programs)) / "Maker/My Game";
    dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + desktop_.string() + "\"\n");
    worker_.prepareForTests({}, U(install_), U(media_), kStateWorking);
    auto* ini = new ns_SetupIni::SetupIni;
    std::u16string error;
    ASSERT_TRUE(
        ini->parseText("[setup]\nauthor_name=Maker\nauthor_key=MK\nproduct_title=My Game\n"
                       "product_key=MyGame\nversion_key=1.02\nrunapp=bin/game\nshortcutname=Play\n"
                       "save_folder=save\nsave_folder_location=0\nexeclog=log.txt\n[media]\nDISCIDFILENAME=DISC.ID\n"
                       "DISCID0000=disc-one\nDISCNAME0000=Disc 1\n",
                       &error));
    worker_.setSetupSettingsForTests(SharedRef<ns_SetupIni::SetupIni>(ini));
  }

  int32_t run(Command&& command) { return command.execute(worker_); }

  TempDir dir_;
  ScopedEnv registry_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};
  ScopedEnv data_{"XDG_DATA_HOME", (dir_.path() / "data").c_str()};
  ScopedEnv config_{"XDG_CONFIG_HOME", (dir_.path() / "config").c_str()};
  // The start menu of an install as root.
  ScopedEnv apps_{"ZEP_SYSTEM_APPLICATIONS_DIR", (dir_.path() / "apps").c_str()};
  const fs::path install_ = dir_.path() / "Game Dir";
  const fs::path media_ = dir_.path() / "media";
  const fs::path desktop_ = dir_.path() / "Desktop";
  fs::path menu_;  // the product's own folder of launchers
  SetupAPIImpl worker_;
};

TEST_F(SetupCommandsTest, CopyReplacesTheFileWithTheListTimeAndANormalMode) {
  fs::permissions(dir_.write("media/BIN/Game", "new bytes"), fs::perms(0700));
  const fs::path copied = dir_.write("Game Dir/bin/game", "old");
  fs::permissions(copied, fs::perms(0600));
  ASSERT_EQ(run(CmdCopyFile(u"bin/game", u"bin/game", 1234567890, 9)), kCmdDone);
  EXPECT_EQ(ReadAll(copied), "new bytes");
  EXPECT_EQ(fs::status(copied).permissions(), fs::perms(0755));
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(copied));
  EXPECT_EQ(std::chrono::time_point_cast<std::chrono::seconds>(written).time_since_epoch().count(), 1234567890);
  EXPECT_EQ(worker_.uninstallLog().files().count(U(copied)), 1u);
  // A file missing from the disc may come with another try; a link on the
  // disc is passed over.
  EXPECT_EQ(run(CmdCopyFile(u"bin/none", u"bin/none", 0, 1)), kCmdRetry);
  fs::create_symlink(dir_.write("secret", "s"), media_ / "alias");
  LogCapture log;
  EXPECT_EQ(run(CmdCopyFile(u"alias", u"alias", 0, 1)), kCmdDone);
  EXPECT_TRUE(log.contains("ディスク上のリンクはコピーしません(" + (media_ / "alias").string() + ")")) << log.all();
  EXPECT_FALSE(fs::exists(install_ / "alias"));
  EXPECT_EQ(worker_.uninstallLog().files().size(), 1u);
}

TEST_F(SetupCommandsTest, MkdirMakesMissingParentsReplacesAFileAndRecordsEveryFolder) {
  dir_.write("Game Dir/file", "x");
  dir_.write("Game Dir/blocker", "x");
  fs::create_directories(install_ / "old");
  LogCapture log;
  const struct {
    const char* name;
    int32_t result;
  } cases[] = {{"a/b/c", kCmdDone}, {"old", kCmdDone}, {"file", kCmdDone}, {"blocker/x", kCmdFailed}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string folder = U(install_ / c.name);
    EXPECT_EQ(run(CmdMkdir(folder)), c.result);
    EXPECT_EQ(fs::is_directory(install_ / c.name), c.result == kCmdDone);
    EXPECT_EQ(worker_.uninstallLog().folders().count(folder), c.result == kCmdDone ? 1u : 0u);
  }
  EXPECT_TRUE(log.contains("ディレクトリを作成できません(" + (install_ / "blocker/x").string() + ")")) << log.all();
}

TEST_F(SetupCommandsTest, DeletesCountWhatIsGoneAsDoneAskAboutTheUnexpectedAndLeaveFullFolders) {
  dir_.write("Game Dir/file", "x");
  dir_.write("Game Dir/full/kept", "x");
  dir_.write("Game Dir/thumbs/Thumbs.db", "x");
  dir_.write("Game Dir/plain", "x");
  fs::create_directories(install_ / "folder");
  LogCapture log;
  const struct {
    bool folder;
    const char* name;
    int32_t result;
    bool remains;
  } cases[] = {
      {false, "file", kCmdDone, false},   {false, "file", kCmdDone, false}, {false, "none/x", kCmdDone, false},
      {false, "folder", kCmdRetry, true}, {true, "plain", kCmdRetry, true}, {true, "full", kCmdDone, true},
      {true, "thumbs", kCmdDone, false},  {true, "thumbs", kCmdDone, false},
  };
  const std::u16string base = U(install_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string path = U(install_ / c.name);
    EXPECT_EQ(c.folder ? run(CmdRmdir(base, path)) : run(CmdDeleteFile(base, path)), c.result);
    EXPECT_EQ(fs::exists(install_ / c.name), c.remains);
  }
  ASSERT_EQ(log.lines().size(), 3u) << log.all();
  EXPECT_TRUE(log.contains("ディレクトリが空ではないので削除できません(" + (install_ / "full").string() + ")\n"));
  EXPECT_TRUE(log.contains("ファイルを削除できません(31:" + (install_ / "folder").string() + ")\n")) << log.all();
  EXPECT_TRUE(log.contains("ディレクトリを削除できません(267:" + (install_ / "plain").string() + ")\n"));
}

TEST_F(SetupCommandsTest, RegistryCommandsWriteRecordAndLogFailures) {
  const struct {
    int32_t kind, alias;
    APValue expected;
  } cases[] = {{ActRegCreateKey::kInteger, 0, APValue(int32_t{42})},
               {ActRegCreateKey::kAliasFolder, 0, APValue(U(media_))},
               {ActRegCreateKey::kAliasPath, 1, APValue(U(install_ / "text"))}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    const std::u16string name = u"v" + FromUtf8(std::to_string(i));
    const auto action = MakeAction(HKEY_CURRENT_USER_ID, name, cases[i].kind, cases[i].alias);
    ASSERT_EQ(run(CmdRegCreate(action.get())), kCmdDone) << i;
    APValue read;
    int32_t error = 0;
    ASSERT_TRUE(Win32RegRead(HKEY_CURRENT_USER_ID, u"Software/Maker", name, &read, &error));
    EXPECT_TRUE(read == cases[i].expected) << platform::ToUtf8(read.svalue);
  }
  EXPECT_EQ(worker_.uninstallLog().regValues().size(), std::size(cases));

  ScopedLogMask mask(LOG_DEBUG | LOG_WARN);
  LogCapture log;
  const auto badAlias = MakeAction(HKEY_CURRENT_USER_ID, u"n", ActRegCreateKey::kAliasFolder, 2);
  EXPECT_EQ(run(CmdRegCreate(badAlias.get())), kCmdNoData);
  const auto badRoot = MakeAction(0x80000003, u"n", ActRegCreateKey::kInteger, 0);
  EXPECT_EQ(run(CmdRegCreate(badRoot.get())), kCmdFailed);
  ASSERT_EQ(run(CmdRegCreateSubKey(HKEY_CURRENT_USER_ID, u"Software/Maker", u"Sub")), kCmdDone);
  EXPECT_EQ(worker_.uninstallLog().regSubKeys().count({HKEY_CURRENT_USER_ID, u"Software/Maker/Sub"}), 1u);
  // Failed deletes are logged and passed over.
  EXPECT_EQ(run(CmdRegDelete(HKEY_CURRENT_USER_ID, u"Software/Maker", u"none")), kCmdDone);
  EXPECT_EQ(run(CmdRegDeleteSubKey(HKEY_CURRENT_USER_ID, u"Software/Maker")), kCmdDone);
  // The keys made on the way are the installation's too.
  EXPECT_EQ(worker_.uninstallLog().regSubKeys().count({HKEY_CURRENT_USER_ID, u"Software"}), 1u);
  // A key past the store's depth is refused whole: none of its keys is made
  // or recorded, so an uninstall has nothing of it to delete.
  std::u16string deep = u"Deep";
  for (int i = 0; i < 600; ++i) deep += u"/k";
  const size_t recorded = worker_.uninstallLog().regSubKeys().size();
  ASSERT_EQ(run(CmdRegCreateSubKey(HKEY_CURRENT_USER_ID, deep, u"Sub")), kCmdFailed);
  EXPECT_EQ(worker_.uninstallLog().regSubKeys().size(), recorded);
  EXPECT_FALSE(Win32RegKeyExists(HKEY_CURRENT_USER_ID, u"Deep"));
  for (const char* line : {"値の作成に失敗\n", "レジストリの書き込みに失敗しました(/Software/Maker/n)\n",
                           "レジストリキーの削除に失敗しました(2:HKEY_CURRENT_USER/Software/Maker/none)\n",
                           "レジストリサブキーの削除に失敗しました(5:HKEY_CURRENT_USER/Software/Maker)\n"}) {
    EXPECT_TRUE(log.contains(line)) << line << log.all();
  }
}

TEST_F(SetupCommandsTest, ProductRegistrationQuotesOnlyThePathsAndUnregisterRemovesIt) {
  const std::u16string key = u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/MyGame";
  ASSERT_TRUE(Win32RegMkdir(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Microsoft", nullptr));
  ASSERT_EQ(run(CmdRegisterProduct()), kCmdDone);
  // VERSION, which completes an installation, comes with its finalisation.
  EXPECT_FALSE(fs::exists(install_ / "VERSION"));
  const std::u16string folder = U(install_);
  const std::pair<const char16_t*, std::u16string> values[] = {
      {u"DisplayName", u"My Game"},
      {u"InstallLocation", folder},
      {u"UninstallString", u"\"" + folder + u"/st_menu\" -workdir \"" + folder + u"\" st_menu.scm -uninstall"},
  };
  for (const auto& [name, text] : values) {
    APValue read;
    int32_t error = 0;
    ASSERT_TRUE(Win32RegRead(HKEY_LOCAL_MACHINE_ID, key, name, &read, &error)) << platform::ToUtf8(name);
    EXPECT_EQ(read.svalue, text);
    EXPECT_EQ(worker_.uninstallLog().regValues().count({HKEY_LOCAL_MACHINE_ID, key, name}), 1u);
  }
  // The keys it made, not the ones that were there.
  std::set<std::u16string> keys;
  for (const UninstallLog::RegSubKey& made : worker_.uninstallLog().regSubKeys()) keys.insert(made.key);
  EXPECT_EQ(keys, (std::set<std::u16string>{u"SOFTWARE/Microsoft/Windows", u"SOFTWARE/Microsoft/Windows/CurrentVersion",
                                            u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall", key}));
  // The second finds nothing and completes all the same.
  for (int i = 0; i < 2; ++i) EXPECT_EQ(run(CmdUnregisterProduct()), kCmdDone);
  EXPECT_EQ(platform::RegistryKeyExists(platform::RegistryHive::kLocalMachine, key), 2);
}

TEST_F(SetupCommandsTest, LaunchersStartTheirTargetsAndAreRecorded) {
  const std::string folder = install_.string();
  const std::string gameExec = "\nExec=\"" + folder + "/bin/game\"\n";
  ASSERT_EQ(run(CmdCreateStartMenu()), kCmdDone);
  const std::string game = ReadAll(menu_ / "Play.desktop");
  EXPECT_NE(game.find(gameExec), std::string::npos) << game;
  EXPECT_NE(game.find("\nPath=" + folder + "/bin\n"), std::string::npos) << game;
  const std::string uninstall = ReadAll(menu_ / "アンインストール.desktop");
  EXPECT_NE(uninstall.find("\nExec=\"" + folder + "/st_menu\" -workdir \"" + folder + "\" st_menu.scm -uninstall\n"),
            std::string::npos)
      << uninstall;
  ASSERT_EQ(run(CmdAddStartMenu(u"Manual", u"/usr/share/doc/manual.txt")), kCmdDone);
  EXPECT_NE(ReadAll(menu_ / "Manual.desktop").find("\nExec=/usr/share/doc/manual.txt\n"), std::string::npos);

  // The desktop folder is never made: without it (and as root, with no
  // desktop for all users) there is no desktop launcher, and the run goes on.
  std::set<std::u16string> files = {U(menu_ / "Play.desktop"), U(menu_ / "アンインストール.desktop"),
                                    U(menu_ / "Manual.desktop")};
  LogCapture log;
  EXPECT_EQ(run(CmdCreateDesktopShortCut()), kCmdDone);
  fs::create_directories(desktop_);
  ASSERT_EQ(run(CmdCreateDesktopShortCut()), kCmdDone);
  if (IsUserAdmin()) {
    EXPECT_TRUE(log.contains("全ユーザー共通のデスクトップがないのでデスクトップショートカットは作成しません\n"));
    EXPECT_TRUE(fs::is_empty(desktop_));
  } else {
    EXPECT_TRUE(log.contains("デスクトップフォルダがないのでデスクトップショートカットは作成しません(" +
                             desktop_.string() + ")\n"))
        << log.all();
    EXPECT_NE(ReadAll(desktop_ / "Play.desktop").find(gameExec), std::string::npos);
    files.insert(U(desktop_ / "Play.desktop"));
  }

  // The start menu itself is recorded when the run made it.
  const UninstallLog& record = worker_.uninstallLog();
  EXPECT_EQ(record.files(), files);
  std::set<std::u16string> folders = {U(menu_.parent_path()), U(menu_)};
  if (!IsUserAdmin()) folders.insert(U(menu_.parent_path().parent_path()));
  EXPECT_EQ(record.folders(), folders);
}

TEST_F(SetupCommandsTest, ChangeDiscAnswersByTheIdFile) {
  LogCapture log;
  const struct {
    const char* idFile;  // null: none
    int32_t index;
    int32_t result;
  } cases[] = {{nullptr, 0, kCmdChangeDisc},
               {"disc-two", 0, kCmdChangeDisc},
               {"disc-one", 0, kCmdDone},
               {"disc-one", 1, kCmdNoData}};
  for (const auto& c : cases) {
    if (c.idFile) dir_.write("media/DISC.ID", c.idFile);
    EXPECT_EQ(run(CmdChangeDisc(c.index)), c.result) << (c.idFile ? c.idFile : "none") << " " << c.index;
  }
  EXPECT_TRUE(log.contains("指定ディスクインデックスのID文字列が定義されていません(1)\n")) << log.all();
}

}  // namespace
