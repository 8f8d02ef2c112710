// The system, dialog and desktop built-ins without a window: screen-mode
// refusals, the input box's answer, the document size limit, the pointer
// records and position packing, and the one argument xdg-open receives.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/input_box.h"
#include "app/main_window.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

namespace fs = std::filesystem;
using SystemBuiltin = UserfuncTest;

TEST_F(SystemBuiltin, RefusedScreenModesLeaveTheScreenAlone) {
  const int32_t before = call(6010)->value;
  for (int32_t mode : {2, 5, 9, 20, -1}) EXPECT_EQ(call(6006, mode)->value, 1) << mode;
  EXPECT_EQ(call(6010)->value, before);
}

// The runner types g_typed (if any), then confirms or cancels; each test
// that installs it sets both first.
std::u16string g_typed, g_caption, g_prompt;
bool g_cancel = false;
void runBox(InputBoxModel* box) {
  g_caption = box->caption(), g_prompt = box->prompt();
  if (!g_typed.empty()) box->insert(g_typed);
  g_cancel ? box->cancel() : box->confirm();
}

TEST_F(SystemBuiltin, InputBoxStoresOnlyAChangedText) {
  const InputBoxRunner old = SetInputBoxRunner(&runBox);
  g_typed.clear();
  g_cancel = false;
  auto ask = [&](int32_t fullWidth) { return call(7001, 7, u"名無し", 20, u"名前は？", u"登録", fullWidth)->value; };
  state.setPlayString(7, u"前の値");
  for (const bool cancel : {false, true}) {
    g_cancel = cancel;
    EXPECT_EQ(ask(1), 0);
    EXPECT_EQ(state.getPlayString(7, u""), u"前の値");
  }
  EXPECT_EQ(g_caption + u"|" + g_prompt, u"登録|名前は？");
  g_cancel = false;
  g_typed = u"Ab ｶ1";
  EXPECT_EQ(ask(1), 1);
  EXPECT_EQ(state.getPlayString(7, u""), u"Ａｂ\u3000カ１");
  EXPECT_EQ(ask(0), 1);
  EXPECT_EQ(state.getPlayString(7, u""), u"Ab ｶ1");
  SetInputBoxRunner(old);
}

TEST_F(SystemBuiltin, RichTextDialogRefusesMissingAndOversizedFiles) {
  TempDir dir;
  const fs::path limit = dir.write("limit.rtf", ""), over = dir.write("over.rtf", "");
  fs::resize_file(limit, 10485760);
  fs::resize_file(over, 10485761);
  EXPECT_EQ(call(7002, u"", (dir.path() / "missing.rtf").u16string())->value, -1);
  EXPECT_EQ(call(7002, u"", over.u16string())->value, -1);
  EXPECT_EQ(call(7002, u"", dir.path().u16string())->value, -1);
  // Read whole; without a viewer the dialog counts as cancelled.
  EXPECT_EQ(call(7002, u"", limit.u16string())->value, 1);
}

TEST_F(SystemBuiltin, PointerModeAndCursorAreKeptAndThePositionPacked) {
  userMode();
  call(8000, 0);
  EXPECT_EQ(state.current().mouse.showflag, 0);
  call(8000, u"auto");
  EXPECT_EQ(state.current().mouse.showflag, 2);
  call(8001, u"cursor/hand.cur");
  EXPECT_EQ(state.current().mouse.cursor.svalue, u"cursor/hand.cur");

  SetCursorPosLogical(3, 4);
  EXPECT_EQ(call(8002)->value, 196612);
  // x beyond 16 bits or negative: the bits wrap, nothing overflows.
  SetCursorPosLogical(40000, -2);
  EXPECT_EQ(call(8002)->value, static_cast<int32_t>(0x9C40FFFEu));
  SetCursorPosLogical(0, 0);
}

TEST_F(SystemBuiltin, ShellOpenHandsOneArgumentToXdgOpen) {
  TempDir dir;
  const fs::path fake =
      dir.write("bin/xdg-open", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" \"$0.rec\"\n");
  fs::permissions(fake, fs::perms::owner_all);
  const std::string path = getenv("PATH") ? getenv("PATH") : "/bin";
  ScopedEnv withFake("PATH", ((dir.path() / "bin").string() + ":" + path).c_str());
  state.setPlayString(2, u"manual dir/read me.html");
  EXPECT_EQ(call(30005, 2)->value, 0);
  const fs::path record = fake.string() + ".rec";
  for (int i = 0; i < 1000 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::string text;
  std::getline(std::ifstream(record), text);
  EXPECT_EQ(text, "1|manual dir/read me.html|");
  ScopedEnv nowhere("PATH", (dir.path() / "none").c_str());
  EXPECT_EQ(call(30005, u"https://example.com/")->value, 1);
}

}  // namespace
