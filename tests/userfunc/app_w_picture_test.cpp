// Pictures through the real app_w: a cell is made and given an effect that
// only logs, a background that does not exist is named, a parts image of an
// unknown resource kind is refused, a huge removal range and an immediate
// fade pass, and the story still runs to its end.
#include <gtest/gtest.h>

#include "tests/support/app_w_run.h"

namespace {

TEST_F(AppWRun, RefusedPicturesAndPartsLogAndTheStoryGoesOn) {
  writeGame(mutex_, "");
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2010 1 \"#200,60,70\" 0 10 20 64 64 -1 0 0 0 255 0 0 0 0)\n"
             "  (a3:call-user-func 2011 1 100 300 0 0 0 0 0)\n"
             "  (a3:call-user-func 2000 \"image/none.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 2135 0 \"x.png\" 0 7 0 0 0 0 0)\n"
             "  (a3:call-user-func 2054 0 2147483647)\n"
             "  (a3:call-user-func 2071 0 0 0 255 0 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("未実装(cell_effect, FOFI)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("画像が読み込めない(image/none.png)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("submenu_P_image: resourceNumSelが範囲外(7)"), std::string::npos) << result.output;
}

}  // namespace
