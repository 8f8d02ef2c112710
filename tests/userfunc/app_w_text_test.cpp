// Story text through the real app_w: a game the test writes shows its
// message window, two texts and a page turn, and hands the log's size to
// another built-in, which the debug log shows; an undefined window number
// is refused with its warning and the run ends normally.
#include <gtest/gtest.h>

#include "tests/support/app_w_run.h"

namespace {

TEST_F(AppWRun, TextsGoIntoTheLogAndAnUndefinedWindowIsRefused) {
  writeGame(mutex_, "(:message-window (entryMap (0 (window-width . 160) (window-height . 60) (ta-linenum . 2))))\n");
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2020 0)\n"
             "  (a3:call-user-func 2021 1)\n"
             "  (a3:call-user-func 4300)\n"
             "  (a3:send-string \"first line\" 1)\n"
             "  (a3:send-string \"second line\" 2)\n"
             "  (a3:send-string clear)\n"
             "  (a3:call-user-func 4310)\n"
             "  (a3:call-user-func 4111 900 (a3:idref-reflag))\n"
             "  (a3:call-user-func 2020 7)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("CallUserFunc(4111, 900, 3)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("メッセージウィンドウ設定がありません(7)"), std::string::npos) << result.output;
}

}  // namespace
