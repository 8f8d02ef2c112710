// Operating-system utilities without a window: the system class, the
// administrator test, shell open through xdg-open, the headless answers of
// the dialogs, and the rich-text reduction to plain text.
#include "app/os_util.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/log.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Bytes(std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(OsUtilTest, LinuxIsTheNewestClassWithoutServicePack) {
  std::u16string servicePack = u"Service Pack 3";
  EXPECT_EQ(GetOsVersionClass(&servicePack), 6);
  EXPECT_TRUE(servicePack.empty());
  EXPECT_EQ(GetOsVersionClass(nullptr), 6);
}

TEST(OsUtilTest, AdministratorMeansEffectiveUserIdZero) {
  const platform::ProcessResult id = platform::RunProcess({"id", "-u"}, true);
  ASSERT_EQ(id.exitCode, 0);
  EXPECT_EQ(IsUserAdmin(), id.output == "0\n") << id.output;
  int32_t result = -1;
  EXPECT_TRUE(IsAdministratorUF(&result));
  EXPECT_EQ(result, IsUserAdmin() ? 1 : 0);
}

TEST(OsUtilTest, HeadlessMessageBoxAnswersTheDefaultButton) {
  struct Case {
    uint32_t flags;
    int32_t button;
  };
  for (const Case& c : {Case{platform::MB_OK, platform::IDOK},
                        Case{platform::MB_YESNO | platform::MB_DEFBUTTON2, platform::IDNO},
                        Case{platform::MB_YESNOCANCEL | platform::MB_DEFBUTTON3 | platform::MB_ICONQUESTION,
                             platform::IDCANCEL},
                        Case{platform::MB_ABORTRETRYIGNORE | platform::MB_DEFBUTTON2, platform::IDRETRY}}) {
    int32_t button = -1;
    EXPECT_TRUE(ShowMessageBox(u"本文", u"確認", c.flags, &button));
    EXPECT_EQ(button, c.button) << "flags " << c.flags;
  }
}

// xdg-open and zenity stand-ins first on PATH: each records its argument
// count and arguments into "<name>.rec".
class OsFakeProgramsTest : public testing::Test {
 protected:
  OsFakeProgramsTest() {
    const std::string script = "#!/bin/sh\nrec='" + dir_.path().string() +
                               "'/$(basename \"$0\").rec\n"
                               "{ printf '%s\\n' \"$#\"; for a in \"$@\"; do printf '<%s>\\n' \"$a\"; done; } "
                               "> \"$rec.tmp\"\nmv \"$rec.tmp\" \"$rec\"\n";
    for (const char* name : {"xdg-open", "zenity"}) {
      const fs::path program = dir_.write(std::string("bin/") + name, script);
      fs::permissions(program, fs::perms::owner_all);
    }
  }

  fs::path record(const char* program) const { return dir_.path() / (std::string(program) + ".rec"); }

  // The record of a program started without waiting for it; empty when none
  // appears within ten seconds.
  std::string awaitRecord(const char* program) const {
    for (int i = 0; i < 1000 && !fs::exists(record(program)); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ReadAll(record(program));
  }

  TempDir dir_;
  ScopedEnv path_{"PATH",
                  ((dir_.path() / "bin").string() + ":" + (getenv("PATH") ? getenv("PATH") : "/bin")).c_str()};
};

TEST_F(OsFakeProgramsTest, ShellOpenPassesThePathAsOneArgumentWithoutAShell) {
  TempDir work;
  ScopedCurrentDir cwd(work.path());
  for (const std::string path : {"$(touch x)", "`touch x`; touch x & echo \"q\" 'q' | cat > x",
                                 "/tmp/with space/file name.txt", "https://example.com/?a=1&b=2",
                                 "ゲーム フォルダ/説明書.html"}) {
    SCOPED_TRACE(path);
    fs::remove(record("xdg-open"));
    ASSERT_TRUE(ShellOpen(platform::FromUtf8(path)));
    EXPECT_EQ(awaitRecord("xdg-open"), "1\n<" + path + ">\n");
  }
  EXPECT_FALSE(fs::exists(work.path() / "x"));
}

TEST_F(OsFakeProgramsTest, ShellOpenWithoutXdgOpenFails) {
  ScopedEnv emptyPath("PATH", (dir_.path() / "nothing-here").c_str());
  const uint32_t oldMask = GetLogLevelMask();
  SetLogLevelMask(oldMask | LOG_TRACE);
  LogCapture log;
  const bool opened = ShellOpen(u"/tmp/readme.txt");
  SetLogLevelMask(oldMask);
  EXPECT_FALSE(opened);
  EXPECT_TRUE(log.contains("shellexecute : 失敗(2)")) << log.all();
}

TEST_F(OsFakeProgramsTest, HeadlessDialogsAnswerCancelledWithoutRunningZenity) {
  std::u16string folder = u"stale";
  EXPECT_TRUE(BrowseForFolder(u"フォルダの選択", 1, u"C:\\Games", &folder));
  EXPECT_EQ(folder, u"");
  EXPECT_EQ(ShowRichTextDialog(u"お知らせ", Bytes("{\\rtf1 text}")), 1);

  std::u16string text = u"stale";
  EXPECT_FALSE(ShowInputDialog(&text, u"名無し", 16, u"名前を入力してください", u"入力"));
  EXPECT_EQ(text, u"名無し");
  EXPECT_FALSE(fs::exists(record("zenity")));
}

TEST(RtfToPlainTextTest, KeepsTheTextAndDropsControlsAndHiddenGroups) {
  struct Case {
    std::string rtf;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {"{\\rtf1\\ansi Hello\\par World\\line X\\tab Y}", u"Hello\nWorld\nX\tY"},
      {"{\\rtf1 \\'82\\'a0\\'82\\'a2 \\'83\\'5c}", u"あい ソ"},
      {"{\\rtf1 A\\u12354?B\\u8364\\'3fC}", u"AあB€C"},
      {"{\\rtf1{\\fonttbl{\\f0\\fmodern MS Gothic;}}{\\colortbl;\\red0\\green0\\blue0;}"
       "{\\*\\generator Writer 1.0;}{\\*\\unknown hidden}Text}",
       u"Text"},
      {"{\\rtf1 a\\{b\\}c\\\\d}", u"a{b}c\\d"},
      {"{\\rtf1 \\'83A \x82\xa0}", u"\u30A2 \u3042"},  // escaped and raw halves of one character
      {"{\\rtf1\\b bold\\b0  plain}", u"bold plain"},
      {"{\\rtf1 line\r\none}", u"lineone"},
      {"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::ToUtf8(RtfToPlainText(Bytes(c.rtf))), platform::ToUtf8(c.text)) << c.rtf;
  }
}

}  // namespace
