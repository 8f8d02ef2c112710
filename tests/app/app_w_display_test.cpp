// The real app_w on an X server of the test's own, with no window manager:
// full screen that no one grants, the X server's errors and its loss, and
// the engine's own message box where SDL cannot show one, answered as a
// player would (a second X client sends the keys and clicks).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "app/message_box_window.h"
#include "platform/message_box.h"
#include "tests/platform/x_client.h"
#include "tests/support/app_w_run.h"
#include "tests/support/xvfb.h"

namespace {

constexpr char kBoxCaption[] = "Box Test";
constexpr char kWindowTitle[] = "Box Test Window";

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class AppWOnX : public AppWRun {
 protected:
  void SetUp() override {
    if (xvfb_.display().empty()) GTEST_SKIP() << "no Xvfb here (tools/install-deps.sh installs it)";
    dir_.write("game.scm",
               "(:product-info (:product-name . \"" + std::string(kBoxCaption) + "\") (:savedata-usage . 0))\n"
               "(:system (:mutex-name . \"" + mutex_ + "\"))\n"
               "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
               "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\")\n"
               "  (:save-basedir \"save\") (:save-syssave-name \"system.dat\")\n"
               "  (:save-syssave-default-name \"default.dat\"))\n"
               "(:window (:window-title \"" + std::string(kWindowTitle) + "\") (:window-width 320)"
               " (:window-height 240))\n");
    dir_.write("save/default.dat", "((version . -1))");
  }

  // The run on the test's display, ended after a minute whatever happens.
  platform::ProcessResult runOnX(const std::string& environment = "") {
    return run("game.scm", xvfb_.childEnvironment(dir_.path()) + " " + environment + " timeout 60");
  }

  Xvfb xvfb_;
};

// Full screen on and off through the built-in that Alt+Enter takes, where no
// window manager grants the display's size: the picture stays fitted to the
// window, the run ends as it should (settings written, exit 0), and an X
// error made on purpose is logged and passed over.
TEST_F(AppWOnX, FullScreenThatNoOneGrantsLeavesAWorkingWindowAndXErrorsAreLogged) {
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 4000 0 100)\n"
             "  (a3:call-user-func 6006 1)\n"
             "  (a3:call-user-func 4000 0 400)\n"
             "  (a3:call-user-func 6006 0)\n"
             "  (a3:call-user-func 4000 0 300)\n"
             "  (a3:call-user-func 6006 1)\n"
             "  (a3:call-user-func 4000 0 300)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = runOnX("ZEP_TEST_X_ERROR=1");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "save/system.dat")) << result.output;
  EXPECT_EQ(Count(result.output, "X11:プロトコルエラー BadWindow"), 1u) << result.output;
  EXPECT_EQ(result.output.find("terminate"), std::string::npos) << result.output;
}

// A display that goes away ends the run at once with exit code 1.
TEST_F(AppWOnX, ALostDisplayEndsTheRunWithExitCode1) {
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 4000 0 30000)\n"
             "  (a3:call-user-func 6000))\n");
  platform::ProcessResult result;
  std::thread game([&] { result = runOnX(); });
  const bool shown = XClient(xvfb_.display()).waitForWindow(kWindowTitle, 30000) != 0;
  xvfb_.stop();
  game.join();
  ASSERT_TRUE(shown) << result.output;
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find("X11:the connection to the X server was lost - 終了します"), std::string::npos)
      << result.output;
}

// Where SDL cannot show a box, the quit question is the engine's own box:
// Return answers its default (No), a click on Yes answers Yes, and the Yes
// ends the game. Headless, the box stays a line on standard error.
TEST_F(AppWOnX, TheQuitQuestionIsTheEnginesOwnBoxWhereSDLCannotShowOne) {
  // A wrong answer reaches built-in 3910, which does not exist: exit 1.
  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2080)\n"
             "  (a3:eval (a3:idref-reflag))\n"
             "  (a3:if 9)\n"
             "  (a3:call-user-func 2080)\n"
             "  (a3:eval (a3:idref-reflag))\n"
             "  (a3:if 1)\n"
             "  (a3:label 9)\n"
             "  (a3:call-user-func 3910)\n"
             "  (a3:label 1)\n"
             "  (a3:call-user-func 6000))\n");
  platform::ProcessResult result;
  std::thread game([&] { result = runOnX("ZEP_TEST_NO_SDL_BOX=1"); });
  XClient client(xvfb_.display());
  const unsigned long first = client.waitForWindow(kBoxCaption, 30000);
  const bool focused = first && client.waitForFocus(first, 10000);
  if (focused) client.pressKey(first, "Return");
  const bool firstGone = first && client.waitUntilGone(first, 10000);
  const unsigned long second = firstGone ? client.waitForWindow(kBoxCaption, 10000, first) : 0;
  if (second) {
    const MessageBoxLayout layout =
        LayOutMessageBox(u"終了しますか？", u"Box Test", platform::MB_YESNO | platform::MB_DEFBUTTON2);
    const GDevRect& yes = layout.buttons.at(0);
    client.click(second, (yes.x0 + yes.x1) / 2, (yes.y0 + yes.y1) / 2);
  }
  game.join();
  ASSERT_TRUE(focused) << result.output;
  ASSERT_TRUE(second) << result.output;
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Count(result.output, "SDLのメッセージボックスを表示できません"), 1u) << result.output;

  dir_.write("scene/scene9010.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2080)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult headless = runOnX("ZEP_NO_DIALOGS=1");
  EXPECT_EQ(headless.exitCode, 0) << headless.output;
  EXPECT_NE(headless.output.find("[Box Test] 終了しますか？\n"), std::string::npos) << headless.output;
  EXPECT_EQ(headless.output.find("SDLのメッセージボックス"), std::string::npos) << headless.output;
}

}  // namespace
