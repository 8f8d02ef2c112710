// The system settings file on disk: the usage rules of the store, the
// three backups that keep a user file from being lost, refused files with their
// warnings, the three encode modes, and a writer killed mid-write.
#include "gamestate/system_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "app/game_environment.h"
#include "platform/process.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::u16string U(const fs::path& path) { return platform::FromUtf8(path.string()); }

// A string longer than the scenario reader's limit, with a line feed, and
// one with carriage returns of its own.
SystemSettings Sample(char16_t fill) {
  SystemSettings settings;
  settings.sysflagInt[5] = 7;
  settings.sysflagString[1] = std::u16string(5000, fill) + u"\n行";
  settings.sysflagString[2] = u"a\rb\r\nc";
  settings.viewFlags[1][3] = 1;
  return settings;
}

class SystemFileTest : public testing::Test {
 protected:
  SystemFileTest() {
    fs::create_directories(dir_.path() / "save");
    env_.productInfo().savedataVersion = 3;
    env_.productInfo().savedataEncmode = 0;
    env_.resource().save.baseDir = U(dir_.path() / "save");
    env_.resource().save.sysSaveName = u"system.dat";
    env_.resource().save.sysSaveDefaultName = u"default.dat";
    state_.setSystemFileStore(SettingsFileStore::instance());
  }
  void usage(int32_t u) { env_.productInfo().savedataUsage = u; }
  std::string text() const { return Bytes(user_); }
  char16_t stringStart() { return state_.getSysflagString(1, u"?")[0]; }
  std::map<std::string, std::string> folder() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_.path() / "save")) {
      files[entry.path().filename().string()] = Bytes(entry.path());
    }
    return files;
  }

  TempDir dir_;
  GameEnvironment env_{U(dir_.path()), {}, {}};
  StateMgr state_{nullptr, &env_};
  const fs::path user_ = dir_.path() / "save" / "system.dat";
  const fs::path default_ = dir_.path() / "save" / "default.dat";
  const fs::path bak_ = dir_.path() / "save" / "system.dat.bak";
  LogCapture log_;
};

TEST_F(SystemFileTest, UsageOneOnlyReadsAndUsageTwoTouchesNoFile) {
  ASSERT_TRUE(Sample(u'd').writeFile(U(default_), 3, 0, -1, false));
  usage(1);
  EXPECT_FALSE(state_.loadSystemFile());
  state_.setRouteID(4);
  EXPECT_TRUE(state_.initSystemFile());
  EXPECT_EQ(stringStart(), u'd');
  EXPECT_EQ(state_.getRouteID(), -1);
  EXPECT_TRUE(state_.writeSystemFile());
  EXPECT_FALSE(fs::exists(user_));

  ASSERT_TRUE(Sample(u'u').writeFile(U(user_), 3, 0, -1, false));
  const std::string before = text();
  EXPECT_TRUE(state_.loadSystemFile());
  EXPECT_EQ(stringStart(), u'u');
  state_.setSysflagInt(5, 9);
  EXPECT_TRUE(state_.saveAndWrite(1, StateMgr::SaveInfo{}));  // a save writes nothing either
  EXPECT_EQ(text(), before);

  usage(2);
  const auto files = folder();
  EXPECT_TRUE(state_.loadSystemFile());
  EXPECT_TRUE(state_.settings().sysflagInt.empty());
  EXPECT_TRUE(state_.initSystemFile());
  state_.setSysflagInt(5, 1);
  EXPECT_TRUE(state_.writeSystemFile());
  EXPECT_EQ(folder(), files);
}

TEST_F(SystemFileTest, AUserFileThatWouldBeLostIsKeptAsBak) {
  ASSERT_TRUE(Sample(u'd').writeFile(U(default_), 3, 0, -1, false));
  usage(0);
  // Cut short inside its long string: unreadable, so the default replaces it.
  const std::string cut = Bytes(default_).substr(0, 3000);
  dir_.write("save/system.dat", cut);
  EXPECT_FALSE(state_.loadSystemFile());
  EXPECT_TRUE(log_.contains("システム設定ファイルの解析に失敗:unclosed string(" + user_.string() + ")")) << log_.all();
  EXPECT_TRUE(state_.initSystemFile());
  EXPECT_EQ(Bytes(bak_), cut);
  EXPECT_EQ(text(), Bytes(default_));
  EXPECT_TRUE(log_.contains("退避しました(" + bak_.string() + ")"));

  // A key the reader does not know is dropped: the file is kept before the
  // next write makes that for good.
  const std::string lossy = "((bogus . 1)" + text().substr(1);
  dir_.write("save/system.dat", lossy);
  log_.clear();
  EXPECT_TRUE(state_.loadSystemFile());
  EXPECT_EQ(stringStart(), u'd');
  EXPECT_TRUE(state_.writeSystemFile());
  EXPECT_EQ(Bytes(bak_), lossy);
  EXPECT_EQ(text(), Bytes(default_));
  EXPECT_TRUE(log_.contains("元のファイルを退避しました(" + bak_.string() + ")")) << log_.all();
  EXPECT_EQ(Bytes(bak_.string() + ".1"), cut);
  EXPECT_TRUE(log_.contains("以前の退避ファイルを移しました(" + bak_.string() + " -> " + bak_.string() + ".1)"));

  // Two more unreadable files: three backups are kept, the oldest goes.
  for (const char* broken : {"((version", "((sysflag"}) {
    dir_.write("save/system.dat", broken);
    EXPECT_FALSE(state_.loadSystemFile());
    EXPECT_TRUE(state_.initSystemFile());
  }
  EXPECT_EQ(Bytes(bak_), "((sysflag");
  EXPECT_EQ(Bytes(bak_.string() + ".1"), "((version");
  EXPECT_EQ(Bytes(bak_.string() + ".2"), lossy);

  // Without a default there is nothing to start from.
  fs::remove(default_);
  EXPECT_EXIT(state_.initSystemFile(), testing::ExitedWithCode(1),
              "規定のシステム設定ファイルの読み込みに失敗しました");
}

TEST_F(SystemFileTest, BrokenOrOtherVersionFilesAreRefusedWithTheirWarning) {
  ASSERT_TRUE(Sample(u'x').writeFile(U(user_), 3, 0, -1, false));
  const std::string good = text();
  struct Case {
    std::string bytes;
    int32_t version;
    std::string warning;
  };
  const std::string failed = "システム設定ファイルの解析に失敗";
  for (const Case& c : {Case{good, 4, failed + "(" + user_.string() + ")"},
                        Case{good.substr(0, good.size() - 2), 3,
                             failed + ":unclosed parenthesis(" + user_.string() + ")"},
                        Case{good + ")", 3, failed + ":unbalanced parenthesis(" + user_.string() + ")"},
                        Case{std::string("EENZ\x10\0\0\0garbage", 15), 3, "符号化データの復号に失敗しました"}}) {
    dir_.write("save/system.dat", c.bytes);
    log_.clear();
    SystemSettings settings;
    EXPECT_FALSE(settings.readFile(U(user_), c.version, false)) << c.warning;
    EXPECT_TRUE(log_.contains(c.warning)) << log_.all();
  }
}

// The settings file's write failures are errors: a folder that is not there,
// and a folder where the file should be.
TEST_F(SystemFileTest, WriteFailuresAreLoggedAsErrors) {
  const fs::path missing = dir_.path() / "gone" / "system.dat";
  fs::create_directories(user_);
  EXPECT_FALSE(Sample(u'x').writeFile(U(missing), 3, 0, -1, false));
  EXPECT_FALSE(Sample(u'x').writeFile(U(user_), 3, 2, -1, false));
  for (const std::string& line : log_.lines()) EXPECT_EQ(line.substr(0, 8), "[ERROR] ") << line;
  EXPECT_TRUE(log_.contains("ファイルの書き込みオープンに失敗(" + missing.string() + ")")) << log_.all();
  EXPECT_TRUE(log_.contains("ファイルの書き込みに失敗(" + user_.string() + ",errno=21)")) << log_.all();
}

TEST_F(SystemFileTest, EncodeModesRoundTripAndAPlainFileIsEncodedOnTheNextWrite) {
  for (int32_t mode : {0, 1, 2}) {
    ASSERT_TRUE(Sample(u'x').writeFile(U(user_), 3, mode, -1, false));
    const std::string bytes = text();
    EXPECT_EQ(bytes.substr(0, 4), mode == 0 ? "((ve" : mode == 1 ? "EENC" : "EENZ");
    if (mode == 0) {  // each LF written as CR LF, the strings' own CRs kept
      EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2);
      EXPECT_NE(bytes.find(std::string(5000, 'x') + "\r\n"), std::string::npos);
      EXPECT_NE(bytes.find("\"a\rb\r\r\nc\""), std::string::npos);
    }
    SystemSettings back;
    ASSERT_TRUE(back.readFile(U(user_), 3, false)) << mode;
    const SystemSettings x = Sample(u'x');
    EXPECT_TRUE(back.sysflagString == x.sysflagString && back.sysflagInt == x.sysflagInt &&
                back.viewFlags == x.viewFlags);
  }
  // Plain text, although encoding is asked for: read, the CRs of its line
  // ends dropped, and written encoded next time.
  ASSERT_TRUE(Sample(u'p').writeFile(U(user_), 3, 0, -1, false));
  env_.productInfo().savedataEncmode = 2;
  EXPECT_TRUE(state_.loadSystemFile());
  EXPECT_EQ(state_.settings().sysflagString, Sample(u'p').sysflagString);
  EXPECT_TRUE(state_.writeSystemFile());
  EXPECT_EQ(text().substr(0, 4), "EENZ");
  EXPECT_FALSE(log_.contains("退避"));
}

// Bytes after the compressed block of an "EENZ" file are kept as .bak
// before the next write drops them, as junk after a plain file's list is
// (and an "EENC" block with junk does not decode at all).
TEST_F(SystemFileTest, JunkAfterTheCompressedBlockIsKeptAsBak) {
  usage(0);
  env_.productInfo().savedataEncmode = 2;
  ASSERT_TRUE(Sample(u'z').writeFile(U(user_), 3, 2, -1, false));
  const std::string junk = text() + "junk";
  dir_.write("save/system.dat", junk);
  EXPECT_TRUE(state_.loadSystemFile());
  EXPECT_EQ(stringStart(), u'z');
  EXPECT_EQ(Bytes(bak_), junk);
  EXPECT_TRUE(log_.contains("元のファイルを退避しました(" + bak_.string() + ")")) << log_.all();
}

// The writer is killed at random moments: the file is always A or B whole,
// and the next write takes any temporary file away.
TEST_F(SystemFileTest, AWriterKilledMidWriteLeavesTheOldOrTheNewFile) {
  std::random_device seed;
  std::mt19937 random(seed());
  std::uniform_int_distribution<int> delayMs(0, 40);
  const std::string folderText = dir_.path().string();
  for (int round = 0; round < 20; ++round) {
    fs::remove(dir_.path() / "ready");
    const std::string script = "exec 2>/dev/null; '" ZEP_SETTINGS_WRITER "' '" + folderText +
                               "' & pid=$!; while [ ! -e '" + folderText + "/ready' ]; do sleep 0.001; done; sleep " +
                               std::to_string(delayMs(random) / 1000.0) + "; kill -KILL $pid; wait $pid";
    const platform::ProcessResult result = platform::RunProcess({"sh", "-c", script}, false);
    ASSERT_EQ(result.exitCode, 128 + 9) << "round " << round;  // killed while it ran
    const std::string now = text();
    EXPECT_TRUE(now == Bytes(dir_.path() / "a.ref") || now == Bytes(dir_.path() / "b.ref"))
        << "round " << round << ": " << now.size() << " bytes";
  }
  ASSERT_TRUE(Sample(u'x').writeFile(U(user_), 3, 0, -1, false));
  EXPECT_EQ(folder().size(), 1u);
}

}  // namespace
