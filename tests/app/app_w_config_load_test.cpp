// The real app_w on configuration files that must not load (a NUL byte, an
// unclosed form, a file above the size cap, a settings file that would lie
// outside its save folder), on a scenario whose jumps name no label, and on
// an author's mistakes, each named with its place: scenarios that do not
// compile, a file saved as UTF-8, a missing default settings file; and on
// start scenarios compiled while the window is made, whose messages still
// come once, when the scenario is entered; and on run-time mistakes, which
// name the statement's file and line.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/app_w_run.h"

namespace {

class AppWConfigLoad : public AppWRun {};

TEST_F(AppWConfigLoad, BrokenConfigurationFailsBeforeTheWindowOpens) {
  writeGame(mutex_);
  const std::string good = ReadWholeFile(dir_.path() / "game.scm");
  struct Case {
    std::string name;
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {"nul", good.substr(0, 40) + std::string(1, '\0') + good.substr(40),
       "コンフィグファイルの解析に失敗:NUL byte at offset 40(nul.scm:1)"},
      {"open", "(((", "コンフィグファイルの解析に失敗:unclosed parenthesis(open.scm:1:3)"},
      {"string", good + "(:system (:mutex-name . \"x))", "コンフィグファイルの解析に失敗:unclosed string(string.scm:6:25)"},
      {"large", "", "コンフィグファイルの解析に失敗:file larger than 64 MiB(large.scm)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file = dir_.write(c.name + ".scm", c.bytes);
    // A sparse file one byte above the cap: refused before it is read.
    if (c.name == "large") std::filesystem::resize_file(file, (std::uintmax_t{64} << 20) + 1);
    const platform::ProcessResult result = run("-d " + c.name + ".scm");
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("winsize"), std::string::npos) << result.output;
  }
}

// Errors name what is wrong: the entry a section refuses, an unknown font
// type, an encode mode outside 0..2 (written as mode 1), a sub that no form
// defines.
TEST_F(AppWConfigLoad, ErrorsNameTheEntryKeyOrFormAndItsValue) {
  struct Case {
    std::string config;
    std::string script;
    int exitCode;
    std::string message;
  };
  const std::string end = "(a3:call-user-func 6000))\n";
  const Case cases[] = {
      {"(:resource (:font-0-type 7))", "", 1, "不明なフォントの種類です(:font-0-type 7)"},
      {"(:product-info (:savedata-encmode . 9))", "", 0,
       "Config.ProductInfo:不明な符号化モード(:savedata-encmode 9) - EENCで保存します"},
      {"(:product-info (:savedata-encmode . -1))", "", 0, "(:savedata-encmode -1)"},
      {"", "(a3:call-sub 99) ", 1, "シナリオファイルの解析に失敗(scene/scene9010.scm) (a3:define-sub 99)がありません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.config + c.script);
    writeGame(mutex_, c.config + "\n");
    dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) " + c.script + end);
    const platform::ProcessResult result = run("game.scm");
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
  }
  // The section's message keeps its text, the entry follows it.
  writeGame(mutex_, "(:product-info (:save-folder-location . 99))\n");
  const platform::ProcessResult result = run("game.scm");
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("コンフィグファイルの読み込みに失敗(game.scm:6) :product-info (:save-folder-location . 99)\n"),
            std::string::npos)
      << result.output;
}

TEST_F(AppWConfigLoad, JumpToNoLabelReportsAndGoesOnWideIntegerWarnsOnce) {
  writeGame(mutex_, "(:window (:window-width 4294967496))\n");
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0) (a3:goto -1) (a3:eval #t) (a3:if 70000) (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const std::string box = "[デバッグメッセージ] jumpのとび先がlabelではない";
  const size_t first = result.output.find(box);
  ASSERT_NE(first, std::string::npos) << result.output;
  EXPECT_NE(result.output.find(box, first + 1), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("jump:未定義のラベルです(-1)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("jump:未定義のラベルです(70000)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(6000)"), std::string::npos) << result.output;
  // The width wraps to 200 (the reader's contract) and is named once.
  const std::string wide = "tokenizer : 整数が32ビットに収まりません(4294967496)";
  const size_t at = result.output.find(wide);
  ASSERT_NE(at, std::string::npos) << result.output;
  EXPECT_EQ(result.output.compare(result.output.rfind('\n', at) + 1, 7, "[WARN ]"), 0) << result.output;
  EXPECT_EQ(result.output.find(wide, at + 1), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("winsize (200, 120)"), std::string::npos) << result.output;
}

// The start scenario is compiled beside the window's creation; what its
// compile logs is written once, when the scenario is entered (after the
// window's lines), for a scenario that compiles and for one that does not.
TEST_F(AppWConfigLoad, TheStartScenarioCompiledAheadLogsOnceWhenEntered) {
  writeGame(mutex_);
  struct Case {
    std::string scenario;
    std::string line;  // what entering it logs after "exec_set(9010, 0, 0)"
    int exitCode;
  };
  const Case cases[] = {
      {"(a3:define-set (0 0) (a3:call-user-func 6000))", "loadSet(9010, 0) numLocals(0)", 0},
      {"(a3:define-set (0 0) (a3:no-such-form 1))", "未定義の命令です(a3:no-such-form)", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    dir_.write("scene/scene9010.scm", c.scenario + "\n");
    const platform::ProcessResult result = run("-d game.scm");
    const std::string& out = result.output;
    EXPECT_EQ(result.exitCode, c.exitCode) << out;
    const size_t window = out.find("GDev初期化OK");
    const size_t entered = out.find("exec_set(9010, 0, 0)");
    const size_t loading = out.find("loading from scene/scene9010.scm");
    const size_t line = out.find(c.line);
    ASSERT_NE(line, std::string::npos) << out;
    EXPECT_LT(window, entered) << out;
    EXPECT_LT(entered, loading) << out;
    EXPECT_LT(loading, line) << out;
    EXPECT_EQ(out.find("loading from scene/scene9010.scm", loading + 1), std::string::npos) << out;
    EXPECT_EQ(out.find(c.line, line + 1), std::string::npos) << out;
  }
}

// Each configuration would put the settings file in the test's folder, two
// levels above the game's: start-up stops with an ERROR naming the key, and
// nothing is written there.
TEST_F(AppWConfigLoad, ASettingsFileOutsideItsSaveFolderStopsStartUp) {
  const std::string game = "(:product-info (:savedata-usage . 0) (:savedata-version . 1))\n"
                           "(:system (:mutex-name . \"" + mutex_ + "\"))\n"
                           "(:resource (:script-basedir \"scene\") (:script-basename \"scene\")"
                           " (:script-num-digits 4) (:script-extension \"scm\")"
                           " (:save-syssave-default-name \"default.dat\"))\n";
  const std::string inAppData = "(:product-info (:save-folder-location . 1)";
  const std::string inSave = "(:resource (:save-basedir \"save\") (:save-syssave-name \"escape.dat\"))";
  struct Case {
    std::string entries;
    std::string key;
  };
  // The application-data folder is <test>/data/x.
  const Case cases[] = {
      {"(:resource (:save-basedir \"save\") (:save-syssave-name \"../../escape.dat\"))", ":save-syssave-name"},
      {"(:resource (:save-basedir \"save/../..\") (:save-syssave-name \"escape.dat\"))", ":save-basedir"},
      {inAppData + " (:author-name . \"../..\"))" + inSave, ":author-name"},
      {inAppData + " (:author-name . \"a\") (:product-name . \"../../..\"))" + inSave, ":product-name"},
  };
  // The settings read when there are none yet, wherever each case looks.
  const std::string settings = "((version . 1) (sysflag (sysflag-int) (sysflag-string)))";
  dir_.write("game/save/default.dat", settings);
  dir_.write("default.dat", settings);
  dir_.write("game/scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  std::filesystem::create_directories(dir_.path() / "data" / "x");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    dir_.write("game/game.scm", game + c.entries + "\n");
    const platform::ProcessResult result =
        run("-workdir game game.scm", "XDG_DATA_HOME='" + (dir_.path() / "data" / "x").string() + "'");
    EXPECT_EQ(result.exitCode, 1) << result.output;
    EXPECT_NE(result.output.find("[ERROR]"), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("保存先のパスとして不適切<" + c.key + ">"), std::string::npos) << result.output;
  }
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.path())) {
    EXPECT_NE(entry.path().filename(), "escape.dat") << entry.path();
  }
}

// What a new author gets wrong first, through the real app_w: each stop
// names the file and the line (and column, where the reader knows it), a
// configuration saved as UTF-8 is named in a WARN, and the box of a missing
// default settings file shows its path.
TEST_F(AppWConfigLoad, AnAuthorsMistakesAreNamedWithTheirPlace) {
  std::string comments;
  for (int line = 1; line <= 41; ++line) comments += "; line " + std::to_string(line) + "\n";
  struct Case {
    std::string name;
    std::string config;    // added to the game's configuration
    std::string scenario;  // scene/scene9010.scm
    int exitCode;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"unclosed", "",
       comments + "(a3:define-set (0 0)\n  (a3:call-user-func 4001)\n  (a3:call-user-func 6000)\n", 1,
       {"[WARN ] ", "シナリオファイルの解析に失敗:unclosed parenthesis(scene/scene9010.scm:42:1)"}},
      {"misspelt", "",
       "(a3:define-set (0 0)\n" + std::string(5, '\n') + "  (a3:call-user-fnuc 6000))\n", 1,
       {"[ERROR] ", "未定義の命令です(a3:call-user-fnuc)", "[WARN ] ", "シナリオファイルの解析に失敗(scene/scene9010.scm:7)"}},
      // Compiled on a start-up thread: its lines reach the log before the end.
      {"start-up abort", "", "(a3:define-set (0 0)\n  (a3:label 70000)\n  (a3:call-user-func 6000))\n", 1,
       {"[ERROR] ", "(scene/scene9010.scm:2, set 0):(a3:label 70000)", "[FATAL] ",
        "zep_abort(): program aborted. msg=内部エラー：コード解析に失敗", "[異常終了] "}},
      {"utf8", "(:string-constants (1 . \"\xE5\xA4\x95\xE6\x9A\xAE\xE3\x82\x8C\"))\n",
       "(a3:define-set (0 0) (a3:call-user-func 6000))\n", 0,
       {"[WARN ] ", "UTF-8で書かれたファイルのようです。CP932として読みます(game.scm)"}},
      {"default", "(:resource (:save-basedir \"save\") (:save-syssave-name \"system.dat\")"
                  " (:save-syssave-default-name \"default.dat\"))\n",
       "(a3:define-set (0 0) (a3:call-user-func 6000))\n", 1,
       {"[異常終了] 規定のシステム設定ファイルの読み込みに失敗しました\n"
        "規定のシステム設定ファイルの読み込みに失敗しました(save/default.dat)\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeGame(mutex_, c.config);
    dir_.write("scene/scene9010.scm", c.scenario);
    const platform::ProcessResult result = run("game.scm");
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    size_t at = 0;
    for (const std::string& text : c.lines) {
      at = result.output.find(text, at);
      ASSERT_NE(at, std::string::npos) << text << "\n" << result.output;
    }
  }
}

// A run-time mistake names the statement's file and line after the message's
// own text, and a misspelt configuration key its line; a layer built-in on a
// layer that does not exist answers -1 with one DEBUG line under -d and no
// line at all without it.
TEST_F(AppWConfigLoad, RunTimeMistakesNameTheirFileAndLine) {
  writeGame(mutex_, "(:window (:window-titel \"x\"))\n"
                    "(:select-window (0 (item-hieght . 3)))\n");
  struct Case {
    std::string scenario;
    std::string options;
    int exitCode;
    std::vector<std::string> lines;
    std::string absent;  // a text no line may hold
  };
  const std::string place = " (scene/scene9010.scm:";
  const Case cases[] = {
      {"(a3:define-set (0 0)\n  (a3:call-user-func 1020 1 5 0)\n  (a3:call-user-func 3910))\n", "-d", 1,
       {"Config.Window:使用されなかったエントリ<:window-titel> (game.scm:6)\n",
        "Config.SelectWindow:未知のエントリ<item-hieght> - 無視されました (game.scm:7)\n",
        "[DEBUG] ", "gl_single_change_picture(1020):対象のレイヤがありません(種類:1, 番号:5)" + place + "2)\n",
        "[WARN ] ", "未定義のUserfunc番号です(3910)" + place + "3)\n"},
       ""},
      {"(a3:define-set (0 0)\n  (a3:call-user-func 1020 1 5 0)\n  (a3:call-user-func 3910))\n", "", 1,
       {"未定義のUserfunc番号です(3910)" + place + "3)\n"}, place + "2)"},
      {"(a3:define-set (0 0)\n  (a3:goto 77)\n  (a3:call-sub 99))\n", "", 1,
       {"jump:未定義のラベルです(77)" + place + "2)\n",
        "シナリオファイルの解析に失敗(scene/scene9010.scm) (a3:define-sub 99)がありません" + place + "3)\n"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options + " " + c.scenario);
    dir_.write("scene/scene9010.scm", c.scenario);
    const platform::ProcessResult result = run(c.options + " game.scm");
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    size_t at = 0;
    for (const std::string& text : c.lines) {
      at = result.output.find(text, at);
      ASSERT_NE(at, std::string::npos) << text << "\n" << result.output;
    }
    if (!c.absent.empty()) {
      EXPECT_EQ(result.output.find(c.absent), std::string::npos) << result.output;
    }
  }
}

// A key, a message-window button or a menu item whose system script no
// file provides would end the run when pressed: start-up names each one in
// a WARN. The same commands draw none once their scripts are found where a
// run finds them (a number the constants give, a name in another case, a
// load path), and commands that open no script never draw one.
TEST_F(AppWConfigLoad, ACommandWhoseSystemScriptIsMissingIsNamedAtStartUp) {
  const std::string commands =
      "(:key (\"qsave\" . \"F6\") (\"skipmsg\" . 17))\n"
      "(:parts (1 (type . text) (string . \"Q\")))\n"
      "(:message-window (cp-0-parts . 1) (cp-0-event . \"qload\") (cp-1-parts . 1) (cp-1-event . \"automsg\")\n"
      "  (cp-c0-2-parts . 1) (cp-c0-2-event . \"erasewin\"))\n"
      "(:menu (entryMap (2 (cp-3-parts . 1) (cp-3-event . \"save\"))))\n";
  const std::string lines[] = {
      "Config.Key:キー<F6>(qsave)のシステムスクリプト(9014)が見つかりません(scene/scene9014.scm)\n",
      "Config.MessageWindow:ウィンドウ0番のボタン<cp-0>(qload)のシステムスクリプト(9015)が見つかりません"
      "(scene/scene9015.scm)\n",
      "Config.MessageWindow:ウィンドウ0番のボタン<cp-c0-2>(erasewin)のシステムスクリプト(9007)が見つかりません"
      "(scene/scene9007.scm)\n",
      "Config.MenuConfig:メニュー2番の項目<cp-3>(save)のシステムスクリプト(9006)が見つかりません"
      "(scene/scene9006.scm)\n",
  };
  writeGame(mutex_, commands);
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  platform::ProcessResult result = run("game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  const std::string& out = result.output;
  for (const std::string& line : lines) {
    const size_t at = out.find(line);
    ASSERT_NE(at, std::string::npos) << line << "\n" << out;
    const size_t start = out.rfind('\n', at);
    EXPECT_EQ(out.compare(start == std::string::npos ? 0 : start + 1, 7, "[WARN ]"), 0) << line << "\n" << out;
    EXPECT_EQ(out.find(line, at + 1), std::string::npos) << line << "\n" << out;
  }
  // Nothing for the commands that open no script.
  size_t warnings = 0;
  for (size_t at = out.find("のシステムスクリプト("); at != std::string::npos; at = out.find("のシステムスクリプト(", at + 1)) {
    ++warnings;
  }
  EXPECT_EQ(warnings, 4u) << out;

  writeGame(mutex_, commands + "(:flag-constants (45 . 9100) (50 . 9100))\n");
  dir_.write("scene/scene9100.scm", "(a3:define-set (0 0))\n");
  dir_.write("scene/Scene9015.SCM", "(a3:define-set (0 0))\n");
  dir_.write("extra/scene/scene9006.scm", "(a3:define-set (0 0))\n");
  result = run("-loadpath extra game.scm");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output.find("[WARN ]"), std::string::npos) << result.output;
}

}  // namespace
