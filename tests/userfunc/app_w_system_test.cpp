// Through the real app_w: a game without a product name asks its quit
// question and a message box headless, answered by their default buttons,
// and reads the arguments after its configuration file by index.
#include <gtest/gtest.h>

#include "tests/support/app_w_run.h"

namespace {

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

}  // namespace
