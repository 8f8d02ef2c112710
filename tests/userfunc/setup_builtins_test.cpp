// The setup built-ins: handle bounds and handles without a worker or
// without setup settings, an uninstall run driven through a real worker
// from loading the files to the end, the save-folder copy to the desktop,
// the headless dialogs and the free-space question.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "app/registry.h"
#include "platform/install_fs.h"
#include "setup/install_files.h"
#include "setup/uninstall_log.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

namespace fs = std::filesystem;
using platform::FromUtf8;

constexpr char kSetupIni[] =
    "[setup]\nauthor_name=Maker\nauthor_key=AK\nproduct_title=Game\nproduct_key=PK\nversion_key=VK\n"
    "runapp=game\nshortcutname=Game\nsave_folder=save\nsave_folder_location=0\nexeclog=log\n"
    "[media]\nDISCID0000=id0\nDISCNAME0000=Disc 1\n[numbers]\nmixed=12abc\nletters=abc\nsigned= -7\n";

// A clock that moves (9014 sleeps until it passes its deadline), and the
// user's folders and the registry in the test's own folder. Every test
// starts with 9000 and ends with the interface terminated.
class SetupBuiltinsTest : public UserfuncTest {
 protected:
  SetupBuiltinsTest() { SetTimerManager(&steady_); }
  ~SetupBuiltinsTest() override { SetTimerManager(&clock); }

  void SetUp() override {
    dir_.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + (dir_.path() / "Desktop").string() + "\"\n");
    ASSERT_EQ(call(9000)->value, 0);
  }
  void TearDown() override {
    for (int32_t handle = 0; handle < 4; ++handle) call(9003, handle);
    EXPECT_EQ(call(9001)->value, 0);
  }

  int32_t value(int32_t number, const UserfuncImpl::Args& args) { return userfuncs.call(number, args)->value; }
  std::u16string text(const std::string& path) const { return FromUtf8((dir_.path() / path).string()); }
  // The next response other than progress within 10 s; 0 when none came.
  int32_t nextAnswer(int32_t handle) {
    for (int i = 0; i < 100; ++i) {
      const int32_t code = call(9014, handle, 100)->value;
      if (code != 0 && code != 102) return code;
    }
    return 0;
  }

  TempDir dir_;
  ScopedEnv data_{"XDG_DATA_HOME", (dir_.path() / "data").c_str()};
  ScopedEnv config_{"XDG_CONFIG_HOME", (dir_.path() / "config").c_str()};
  ScopedEnv registry_{"ZEP_REGISTRY_DIR", (dir_.path() / "registry").c_str()};

 private:
  SteadyTimerManager steady_;
};

TEST_F(SetupBuiltinsTest, HandlesOutsideTheTableOrWithoutWorkerAnswerMinusOne) {
  EXPECT_EQ(call(9002, 256)->value, -1);
  EXPECT_EQ(call(9002, -1)->value, -1);
  ASSERT_EQ(call(9002, 2)->value, 0);  // grows the table to handles 0..2
  EXPECT_EQ(call(9003, 0)->value, 0);  // a free handle: nothing to do
  for (int32_t handle : {-1, 0, 1, 3, 256}) {
    SCOPED_TRACE(handle);
    if (handle != 0) {
      EXPECT_EQ(call(9003, handle)->value, handle < 0 || handle > 2 ? -1 : 0);
    }
    for (int32_t number : {9004, 9005, 9006, 9007, 9008, 9009, 9010, 9011, 9012, 9013, 9014, 9015, 9016, 9017,
                           9018, 9019, 9020, 9021, 9022, 9030, 9031}) {
      EXPECT_EQ(value(number, {APValue(handle), APValue(0), APValue(0), APValue(0), APValue(u"/tmp/x")}), -1)
          << number;
    }
  }
  // The interface is running: 9000 is refused and the live handle stays.
  EXPECT_EQ(call(9000)->value, -1);
  EXPECT_EQ(call(9004, 2)->value, 0);
  EXPECT_EQ(call(9001)->value, -1);  // a worker is live
  // A second 9002 replaces the worker; a fresh one has no response yet.
  ASSERT_EQ(call(9002, 2)->value, 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(call(9014, 2, 0)->value, 0);
  EXPECT_EQ(call(9014, 2, -50)->value, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
  EXPECT_EQ(call(9015, 2, 0, 1)->value, -1);
  EXPECT_EQ(call(9016, 2, 0, 1)->value, 0);
  EXPECT_EQ(call(9016, 2, 2, 1)->value, -1);  // no command has run
  EXPECT_EQ(call(9016, 2, 4, 1)->value, -1);
  EXPECT_EQ(call(9017, 2)->value, 0);
  EXPECT_EQ(call(9018, 2, 1)->value, 0);
}

TEST_F(SetupBuiltinsTest, LoadRefusesBadFilesAndPatchHandlesHaveNoSetupSettings) {
  dir_.write("setup/patcher.ini",
             "[setup]\nproduct_title=Game\nproduct_key=PK\nold_version_key=1\nnew_version_key=2\npatch_root=p\n");
  std::string noLocation = kSetupIni;
  noLocation.erase(noLocation.find("save_folder_location=0\n"), 23);
  dir_.write("bad/st_menu.ini", noLocation);
  ASSERT_EQ(call(9002, 0)->value, 0);
  ASSERT_EQ(call(9002, 1)->value, 0);
  const std::u16string setup = text("setup");
  EXPECT_EQ(call(9005, 1, 0, text("missing"), setup)->value, -1);
  EXPECT_EQ(call(9005, 1, 3, setup, setup)->value, -1);
  EXPECT_EQ(call(9005, 0, 2, setup, setup)->value, 0);
  for (int32_t number : {9012, 9013, 9019, 9020, 9022, 9030, 9031}) {
    EXPECT_EQ(value(number, {APValue(0), APValue(u"setup"), APValue(u"product_key"), APValue(1)}), -1) << number;
  }
  EXPECT_EQ(call(9006, 0, 1, 0, 0, u"/opt")->value, -1);
  EXPECT_EQ(call(9006, 0, 2, 5, 0, u"")->value, 0);

  // The invalid ini file is refused, yet what it holds is kept: 9022 then
  // meets the missing save folder location.
  EXPECT_EQ(call(9005, 1, 1, text("bad"), setup)->value, -1);
  LogCapture log;
  EXPECT_EQ(call(9022, 1)->value, -1);
  EXPECT_TRUE(log.contains("[ERROR] ")) << log.all();
  EXPECT_TRUE(log.contains("内部エラー：セーブフォルダ設定が不正です\n")) << log.all();
  EXPECT_FALSE(fs::exists(dir_.path() / "Desktop"));
}

// An installed game (registry entry, VERSION, uninstall record) is removed
// by a run driven through the built-ins alone; the saves go to the desktop
// first.
TEST_F(SetupBuiltinsTest, UninstallRunThroughTheBuiltins) {
  const fs::path game = dir_.path() / "opt/Maker/Game";
  dir_.write("opt/Maker/Game/VERSION", "1.0");
  dir_.write("opt/Maker/Game/data.txt", "d");
  dir_.write("opt/Maker/Game/save/a.sav", "a");
  dir_.write("opt/Maker/Game/save/sub/b.sav", "b");
  dir_.write("opt/Maker/Game/save/.hidden", "h");
  // Links in the save folder lead elsewhere: not copied.
  fs::create_symlink(dir_.write("secret.txt", "s"), game / "save/link.sav");
  fs::create_directory_symlink(dir_.path() / "setup", game / "save/linked");
  dir_.write("setup/st_menu.ini", kSetupIni);
  const std::u16string gameText = FromUtf8(game.string());
  UninstallLog record;
  record.addFile(gameText + u"/data.txt");
  record.addFolder(gameText);
  ASSERT_TRUE(writeUninstallLog(gameText, record));
  ASSERT_TRUE(Win32RegWrite(HKEY_LOCAL_MACHINE_ID, u"SOFTWARE/Microsoft/Windows/CurrentVersion/Uninstall/PK",
                            u"InstallLocation", APValue(gameText), nullptr));

  ASSERT_EQ(call(9002, 1)->value, 0);
  ASSERT_EQ(call(9005, 1, 1, text("setup"), text("setup"))->value, 0);
  ASSERT_EQ(nextAnswer(1), 100);
  // The settings the script reads.
  EXPECT_EQ(call(9012, 1, u"setup", u"product_key", 3)->value, 2);
  EXPECT_EQ(state.getPlayString(3, u""), u"PK");
  EXPECT_EQ(call(9012, 1, u"setup", u"nothing", 3)->value, 0);
  EXPECT_EQ(state.getPlayString(3, u"x"), u"");
  {
    ScopedLogMask mask(LOG_DEBUG | LOG_WARN | LOG_ERROR);
    LogCapture log;
    const std::pair<const char16_t*, int32_t> numbers[] = {{u"mixed", 12}, {u"letters", -1}, {u"signed", -7}};
    for (const auto& [key, expected] : numbers) EXPECT_EQ(call(9013, 1, u"numbers", key)->value, expected);
    EXPECT_TRUE(log.contains("[numbers] <mixed>=<12abc>\n")) << log.all();
  }
  EXPECT_EQ(call(9019, 1)->value, 0);
  EXPECT_EQ(call(9031, 1, 0, 4)->value, 6);
  EXPECT_EQ(state.getPlayString(4, u""), u"Disc 1");
  EXPECT_EQ(call(9031, 1, 1, 4)->value, -1);
  std::u16string programFiles;  // /opt for root, else the data folder
  ASSERT_TRUE(GetSpecialFolderPath(0x26, &programFiles, nullptr));
  EXPECT_EQ(call(9030, 1, 5)->value, static_cast<int32_t>(programFiles.size()));
  EXPECT_EQ(state.getPlayString(5, u""), programFiles);

  // Two copies of the save folder on one day; hidden files stay behind.
  EXPECT_EQ(call(9022, 1)->value, 0);
  EXPECT_EQ(call(9022, 1)->value, 0);
  const std::string prefix = "Desktop/Game-" + platform::ToUtf8(todayText()) + "-";
  for (const char* counter : {"000000", "000001"}) {
    const fs::path copy = dir_.path() / (prefix + counter);
    EXPECT_TRUE(fs::is_regular_file(copy / "a.sav")) << copy;
    EXPECT_TRUE(fs::is_regular_file(copy / "sub/b.sav")) << copy;
    EXPECT_FALSE(fs::exists(copy / ".hidden")) << copy;
    EXPECT_FALSE(fs::exists(copy / "link.sav")) << copy;
    EXPECT_FALSE(fs::exists(copy / "linked")) << copy;
  }

  EXPECT_EQ(call(9006, 1, 1, 0, 0, u"/")->value, -1);  // base too short
  ASSERT_EQ(call(9007, 1, 1000)->value, 0);
  ASSERT_EQ(nextAnswer(1), 101);
  const int32_t commands = call(9015, 1, 7, 0)->value;
  EXPECT_GT(commands, 0);
  ASSERT_EQ(call(9008, 1)->value, 0);
  ASSERT_EQ(nextAnswer(1), 103);
  EXPECT_EQ(call(9015, 1, 0, 0)->value, -1);  // Res_DoneWork carries nothing
  EXPECT_EQ(call(9016, 1, 0, 6)->value, 1000);
  EXPECT_EQ(call(9016, 1, 1, 6)->value, commands);
  ASSERT_EQ(call(9009, 1)->value, 0);
  ASSERT_EQ(nextAnswer(1), 104);
  EXPECT_FALSE(fs::exists(game / "data.txt"));
  EXPECT_FALSE(fs::exists(game / "VERSION"));
  EXPECT_TRUE(fs::exists(game / "save/a.sav"));
  EXPECT_EQ(call(9003, 1)->value, 0);
  EXPECT_EQ(call(9004, 1)->value, -1);
}

TEST_F(SetupBuiltinsTest, HeadlessDialogsAnswerAsCancelled) {
  dir_.write("setup/st_menu.ini", kSetupIni);
  ASSERT_EQ(call(9002, 0)->value, 0);
  ASSERT_EQ(call(9005, 0, 1, text("setup"), text("setup"))->value, 0);
  state.setPlayString(2, u"/media/cdrom");
  EXPECT_EQ(call(9020, 0, 0, 2)->value, 0);
  EXPECT_EQ(state.getPlayString(2, u""), u"/media/cdrom");
  EXPECT_EQ(call(9020, 0, 1, 2)->value, -1);  // no such disc
  LogCapture log;
  EXPECT_EQ(call(9020, 0, 10000, 2)->value, -1);
  EXPECT_TRUE(log.contains("ディスクインデックス値が範囲外です(10000)\n")) << log.all();
  EXPECT_EQ(call(9021, 0, 2)->value, -1);
  EXPECT_EQ(state.getPlayString(2, u""), u"/media/cdrom");
}

TEST(SetupFreeSpace, ComparesWholeMebibytesWithTheRequest) {
  UserfuncImpl userfuncs(nullptr, nullptr);
  TempDir dir;
  const std::u16string folder = FromUtf8(dir.path().string());
  const int64_t freeMiB = platform::FreeDiskBytes(dir.path().string()) >> 20;
  ASSERT_GT(freeMiB, 2);
  const struct {
    std::u16string folder;
    int64_t megabytes;
    int32_t expected;
  } cases[] = {{folder, 0, 0}, {folder, freeMiB / 2, 0}, {folder, 0x7FFFFFFF, 1}, {folder + u"/missing", 0, -1}};
  for (const auto& c : cases) {
    const vector_mtus<APValue> args = {APValue(c.folder), APValue(static_cast<int32_t>(c.megabytes))};
    EXPECT_EQ(userfuncs.call(9032, args)->value, c.expected) << c.megabytes;
  }
}

}  // namespace
