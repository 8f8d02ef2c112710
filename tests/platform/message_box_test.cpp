// Message boxes without a display: the box prints "[caption] text" to
// standard error and answers its default button at once.
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include "tests/support/test_support.h"

namespace {

using namespace platform;

struct BoxCase {
  unsigned type;
  int expected;
};

class MessageBoxDefaultButton : public testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxDefaultButton, AnswersTheChosenButton) {
  EXPECT_EQ(DefaultMessageBoxButton(GetParam().type), GetParam().expected);
}

TEST_P(MessageBoxDefaultButton, HeadlessBoxAnswersTheDefault) {
  testing::internal::CaptureStderr();
  const int answer = ShowMessageBox(u"text", u"caption", GetParam().type);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    EachType, MessageBoxDefaultButton,
    testing::Values(BoxCase{MB_OK, IDOK}, BoxCase{MB_OK | MB_DEFBUTTON2, IDOK},
                    BoxCase{MB_OKCANCEL, IDOK}, BoxCase{MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                    BoxCase{MB_ABORTRETRYIGNORE, IDABORT},
                    BoxCase{MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
                    BoxCase{MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
                    BoxCase{MB_YESNOCANCEL, IDYES}, BoxCase{MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
                    BoxCase{MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL}, BoxCase{MB_YESNO, IDYES},
                    BoxCase{MB_YESNO | MB_DEFBUTTON2, IDNO},
                    BoxCase{MB_YESNO | MB_DEFBUTTON3, IDYES},  // no third button: the first
                    BoxCase{MB_RETRYCANCEL, IDRETRY}, BoxCase{MB_RETRYCANCEL | MB_DEFBUTTON2, IDCANCEL},
                    // Icon bits do not move the default.
                    BoxCase{MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, IDNO},
                    BoxCase{MB_OKCANCEL | MB_ICONHAND, IDOK},
                    BoxCase{MB_RETRYCANCEL | MB_ICONEXCLAMATION, IDRETRY},
                    BoxCase{MB_YESNOCANCEL | MB_ICONASTERISK | MB_DEFBUTTON3, IDCANCEL}));

TEST(MessageBoxHeadless, TestEnvironmentIsHeadless) { EXPECT_TRUE(MessageBoxesAreHeadless()); }

TEST(MessageBoxHeadless, PrintsCaptionAndTextOnStandardError) {
  testing::internal::CaptureStderr();
  const int answer = ShowMessageBox(u"ファイルが見つかりません", u"エラー", MB_OK | MB_ICONHAND);
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(printed, "[エラー] ファイルが見つかりません\n");
}

TEST(MessageBoxHeadless, TextWithLineEndIsPrintedOnce) {
  testing::internal::CaptureStderr();
  ShowMessageBox(u"line one\nline two\n", u"cap", MB_OK);
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed.rfind("[cap] line one\nline two", 0), 0u) << printed;
  EXPECT_EQ(printed.find("line two\n\n"), std::string::npos) << printed;
}

TEST(MessageBoxHeadless, EachBoxPrintsItsOwnLine) {
  testing::internal::CaptureStderr();
  ShowMessageBox(u"first", u"A", MB_OK);
  ShowMessageBox(u"second", u"B", MB_YESNO);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[A] first\n[B] second\n");
}

TEST(MessageBoxHeadless, EmptyCaptionAndText) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowMessageBox(u"", u"", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[] \n");
}

TEST(MessageBoxHeadless, OffscreenOrDummyDriverMeansNoDisplay) {
  ScopedEnv noDialogs("ZEP_NO_DIALOGS", nullptr);
  {
    ScopedEnv driver("SDL_VIDEODRIVER", "offscreen");
    EXPECT_TRUE(MessageBoxesAreHeadless());
  }
  {
    ScopedEnv driver("SDL_VIDEODRIVER", "dummy");
    EXPECT_TRUE(MessageBoxesAreHeadless());
  }
}

TEST(MessageBoxHeadless, NoDialogsFlagWinsOverADriver) {
  ScopedEnv noDialogs("ZEP_NO_DIALOGS", "1");
  ScopedEnv driver("SDL_VIDEODRIVER", "x11");
  ScopedEnv display("DISPLAY", ":0");
  EXPECT_TRUE(MessageBoxesAreHeadless());
}

}  // namespace
