// Through the real app_w: a game without a product name asks its quit
// question and a message box headless, answered by their default buttons,
// and reads the arguments after its configuration file by index; music and
// sound calls without their resource argument play nothing; short waits end
// at their deadline.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

// The clock reading (ms) of the first log line that holds text, or -1.
int64_t LoggedAt(const std::string& log, const std::string& text) {
  const size_t at = log.find(text);
  if (at == std::string::npos) return -1;
  const size_t line = log.rfind('\n', at) + 1;  // npos + 1 is 0
  const size_t open = log.find("] [", line);
  if (open == std::string::npos || open > at) return -1;
  return std::strtoll(log.c_str() + open + 3, nullptr, 10);
}

TEST_F(AppWRun, QuitQuestionAnswersNoHeadlessAndArgumentsAreReadByIndex) {
  dir_.write("game.scm",
             "(:system (:mutex-name . \"" + mutex_ + "\"))\n"
             "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
             "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\"))\n"
             "(:window (:window-title \"t\") (:window-width 160) (:window-height 120))\n");
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2080)\n"
             "  (a3:call-user-func 4111 900 (a3:idref-reflag))\n"
             "  (a3:call-user-func 6008 1 5)\n"
             "  (a3:call-user-func 4111 901 (a3:idref-reflag))\n"
             "  (a3:call-user-func 6008 2 5)\n"
             "  (a3:call-user-func 4111 902 (a3:idref-reflag))\n"
             "  (a3:call-user-func 7000 \"Body\" \"Title\" 260)\n"
             "  (a3:call-user-func 4111 903 (a3:idref-reflag))\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm first 'ゲーム 2'", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  for (const char* expected : {"[確認] 終了しますか？\n", "CallUserFunc(4111, 900, 0)", "argv[1]=ゲーム 2\n",
                               "CallUserFunc(4111, 901, 5)", "CallUserFunc(4111, 902, -1)",
                               "[Title] Body\n", "CallUserFunc(4111, 903, 7)"}) {
    EXPECT_NE(result.output.find(expected), std::string::npos) << expected << "\n" << result.output;
  }
}

// Music and sound number 0 are there (not decodable, so an attempt to play
// one is logged): a call that leaves the resource out opens neither.
TEST_F(AppWRun, MusicAndSoundWithoutTheirResourceArgumentPlayNothing) {
  writeGame(mutex_, "(:resource (:music-basedir \"bgm\") (:music-basename \"bgm\") (:music-num-digits 3)\n"
                    "  (:music-extension \"wav\") (:sound-basedir \"se\") (:sound-basename \"se\")\n"
                    "  (:sound-num-digits 3) (:sound-extension \"wav\"))\n");
  dir_.write("bgm/bgm000.wav", "not a sound");
  dir_.write("se/se000.wav", "not a sound");
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 3000 0)\n"
             "  (a3:call-user-func 4111 900 (a3:idref-reflag))\n"
             "  (a3:call-user-func 3003 1)\n"
             "  (a3:call-user-func 4111 901 (a3:idref-reflag))\n"
             "  (a3:call-user-func 3010 0)\n"
             "  (a3:call-user-func 4111 902 (a3:idref-reflag))\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  for (const char* expected : {"CallUserFunc(4111, 900, -1)", "CallUserFunc(4111, 901, -1)",
                               "CallUserFunc(4111, 902, -1)", "music_start: musicがありません",
                               "sound_start: soundがありません"}) {
    EXPECT_NE(result.output.find(expected), std::string::npos) << expected << "\n" << result.output;
  }
  size_t warnings = 0;  // one per call
  for (size_t at = 0; (at = result.output.find("がありません", at)) != std::string::npos; ++at) ++warnings;
  EXPECT_EQ(warnings, 3u);
  EXPECT_EQ(result.output.find("ov_open"), std::string::npos) << result.output;
}

// Waits shorter than the idle loop's longest sleep end at their deadline
// on a still screen, nothing else waking the loop: fifteen waits of 100 and
// 50 ms take about a second, not one second each.
TEST_F(AppWRun, ShortWaitsEndAtTheirDeadline) {
  writeGame();
  std::string script = "(a3:define-set (0 0)\n";
  for (int i = 0; i < 5; ++i) script += "  (a3:call-user-func 4000 1 100 0)\n";
  for (int i = 0; i < 10; ++i) script += "  (a3:call-user-func 4000 1 50 0)\n";
  dir_.write("scene/scene9010.scm", script + "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  ASSERT_EQ(result.exitCode, 0) << result.output;
  const int64_t first = LoggedAt(result.output, "CallUserFunc(4000, 1, 100, 0)");
  const int64_t last = LoggedAt(result.output, "CallUserFunc(6000)");
  ASSERT_GE(first, 0) << result.output;
  ASSERT_GE(last, 0) << result.output;
  EXPECT_GE(last - first, 1000) << result.output;
  EXPECT_LT(last - first, 6000) << result.output;
}

}  // namespace
