// The text and message-window built-ins as a script calls them: the skip
// decision of built-in -1, the message log that pages, script texts and
// choice records go into, and moving and configuring the window.
#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "app/game_environment.h"
#include "gdev/glyph_renderer.h"
#include "scene/message_window.h"
#include "scene/scene_impl.h"
#include "tests/support/test_support.h"
#include "userfunc/presentation_restore.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

// With the sample game's window 0: font 24, ruby pitch 2, line pitch 8.
class TextBuiltinTest : public UserfuncTest {
 protected:
  TextBuiltinTest() {
    window0->taFontSize = 24;
    window0->taRubyLinePitch = 2;
    window0->taLinePitch = 8;
  }

  std::vector<int32_t> kinds() const {
    std::vector<int32_t> out;
    for (const MessageLogEntry& e : log().entries()) out.push_back(e.kind);
    return out;
  }
  // The characters of entry i.
  std::u16string textOf(size_t i) const {
    std::u16string out;
    for (const LaidOutLine& line : log().entries().at(i).text.lines) {
      for (const GlyphItem& g : line.line.segments.at(0).base) out += static_cast<char16_t>(g.character);
    }
    return out;
  }
  const MessageLog& log() const { return userfuncs.messageLog(); }

  GameEnvironment environment{u"", {}, {}};
  Config::MessageWindowConfig* window0 = &environment.messageWindowTable()[0];
};

TEST_F(TextBuiltinTest, SkipDecisionFollowsTheSkipSettingAndTheReadMarks) {
  struct Case {
    int32_t setting, skipping, forceSkip, resume, read;
    std::string outcome;  // skip flag, resume word, voice stops, what the window was asked
  };
  const Case cases[] = {
      // Read lines only: an unread line stops skipping and keeps the resume setting, unless force skip is on.
      {1, 1, 0, 0, 0, "skip 0 resume 7 voice 0 showText 2"},
      {1, 1, 1, 0, 0, "skip 1 resume 0 voice 0 showText 2"},
      // A read line goes on skipping, or starts again from the resume word, silencing the voice.
      {1, 1, 0, 0, 1, "skip 1 resume 0 voice 0 showText 0"},
      {1, 0, 0, 7, 1, "skip 1 resume 0 voice 1 showText 0"},
      // Everything: unread lines resume too. Skip off leaves the skip state alone.
      {2, 0, 0, 7, 0, "skip 1 resume 0 voice 1 showText 0"},
      {0, 1, 0, 0, 0, "skip 1 resume 0 voice 0 showText 2"},
  };
  userMode();
  state.setSysflagInt(256, 2);
  state.setSysflagInt(261, 7);
  for (int32_t line = 0; line < 6; ++line) {
    const Case& c = cases[line];
    state.setSysflagInt(257, c.setting);
    state.setSkipping(c.skipping);
    state.setForceSkip(c.forceSkip);
    state.setResumeSkip(c.resume);
    if (c.read) state.markTextRead(line);
    sound.calls.clear();
    scene.calls.clear();
    EXPECT_EQ(call(-1, u"line", line)->kind, UFResult::kValue);
    EXPECT_EQ("skip " + std::to_string(state.isSkipping()) + " resume " + std::to_string(state.getResumeSkip()) +
                  " voice " + std::to_string(sound.calls.size()) + " " + scene.calls.at(0),
              c.outcome)
        << line;
    EXPECT_EQ(state.isTextRead(line), 1);
  }
  // In system mode text shows at once.
  state.setMode(StateMgr::kSystemMode);
  call(-1, u"menu text", 99);
  EXPECT_EQ(scene.calls.back(), "showText 0");
}

TEST_F(TextBuiltinTest, UnknownTextCodesEndTheRun) {
  LogCapture capture;
  EXPECT_TRUE(call(-1, -4, 6) == nullptr && call(-1, true, 6) == nullptr);
  EXPECT_TRUE(capture.contains("[ERROR] ") && capture.contains("内部エラー：テキストクリアコマンドが範囲外(-4)\n") &&
              capture.contains("内部エラー：テキストクリアコマンドが範囲外(0)\n"))
      << capture.all();
  // 2022 without an argument shows nothing (not string variable 0).
  state.setPlayString(0, u"zero");
  const std::unique_ptr<UFResult> none = call(2022);
  EXPECT_TRUE(none->kind == UFResult::kValue && none->value == 0);
  EXPECT_TRUE(scene.shownTexts.empty());
}

TEST_F(TextBuiltinTest, ClearLogsEachPageOnce) {
  userMode();
  call(-1, u"one", 1);
  call(-1, u"two", 2);
  call(-1, -1, 3);
  call(-1, -1, 4);
  EXPECT_EQ(kinds(), (std::vector<int32_t>{2, 2, 1}));
  EXPECT_EQ(call(4316)->value, 34 + 34 + 20);  // 24 + ruby pitch + line pitch; a separator is 20
  // Without line ids every clear ends a page; a last text without lines is left out.
  call(-1, u"three", -1);
  call(-1, u"", -1);
  call(-1, -1, -1);
  call(-1, -1, -1);
  EXPECT_EQ(kinds(), (std::vector<int32_t>{2, 2, 1, 2, 1, 1}));

  // The voice goes with the page's first text, which gets room for its icon.
  userfuncs.setPendingVoice(3, 12, 80);
  call(-1, u"voiced", 7);
  call(-1, u"after", 8);
  call(2023, 0);
  ASSERT_EQ(call(4310)->value, 9);
  EXPECT_EQ((std::vector<int32_t>{call(4312, 6)->value, call(4313, 6)->value, call(4314, 6)->value,
                                  call(4312, 7)->value, log().entries()[6].height}),
            (std::vector<int32_t>{3, 12, 80, -1, 26 + 32 + 8}));
}

TEST_F(TextBuiltinTest, ScriptTextsAndLogQueries) {
  call(4301, u"note", 1, 2, 90);
  call(4301, 5, 1, 2, 90);  // not a string: a separator
  EXPECT_EQ(kinds(), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ((std::vector<int32_t>{log().entries()[0].height, call(4314, 0)->value, call(4313, 1)->value,
                                  call(4312, -5)->value, call(4314, 2)->value, call(4316)->value}),
            (std::vector<int32_t>{34, 90, -1, -2, -2, 34 + 20}));  // no room added for the voice icon
}

TEST_F(TextBuiltinTest, ChoiceRecords) {
  state.setPlayString(4, u"B");
  call(4302, 0b0111, u"A", 4, u"C", u"", u"", u"", u"", u"", 1);
  EXPECT_EQ(kinds(), (std::vector<int32_t>{3, 5, 4, 5, 1, 3, 3, 1}));
  const char16_t* texts[] = {u"【選択肢】", u"A", u"B", u"C", u"", u"B", u"を選択しました", u""};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(textOf(i), texts[i]) << i;
  EXPECT_EQ(log().entries()[1].height, 26);  // no line pitch below choice lines
  // A choice not offered, or none, is a cancel.
  for (int32_t chosen : {3, -1, -9, 8}) {
    call(4300);
    userfuncs.logChoices(0b0111, {u"A", u"B", u"C"}, chosen);
    EXPECT_EQ(kinds(), (std::vector<int32_t>{3, 5, 5, 5, 1, 3, 1})) << chosen;
    EXPECT_EQ(textOf(5), u"キャンセルしました") << chosen;
  }
}

TEST_F(TextBuiltinTest, AnUndefinedWindowTakesNoConfigurationAndIsRestoredSo) {
  userMode();
  call(2026, 2, 10, 20, 0, 0, 0, 0);
  LogCapture capture;
  EXPECT_EQ(call(2020, 5)->value, 0);
  EXPECT_TRUE(capture.contains("[WARN ] ") &&
              capture.contains("setMsgwinConfig : メッセージウィンドウ設定がありません(5)\n"))
      << capture.all();
  const PresentationState::Msgwin& saved = state.current().msgwin;
  EXPECT_EQ((std::array<int32_t, 4>{saved.cfgno, saved.posIndex, saved.posX, saved.posY}),
            (std::array<int32_t, 4>{5, 0, 0, 0}));
  // What a save restores is the same window.
  PresentationRestoreImpl::instance()->apply(state);
  call(2020);  // no number: window 0
  environment.messageWindowTable().clear();
  call(2020, 4);  // no table: the default window
  EXPECT_EQ(scene.configs, (std::vector<const Config::MessageWindowConfig*>{nullptr, nullptr, window0, nullptr}));
}

TEST_F(TextBuiltinTest, MovingTheWindowFollowsTheSkipState) {
  struct Case {
    int32_t kind, duration, mode, skipping;
    std::string scene;
    int32_t resultKind;
  };
  const Case cases[] = {
      {1, 0, 1, 0, "setPosition 2 0 0", UFResult::kValue},
      {1, 0, 1, 1, "setPosition 2 0 0", UFResult::kValueThenYield},
      {1, 500, 1, 1, "setPosition 2 0 0", UFResult::kValue},
      {1, 500, 2, 1, "moveTo 2 0 0 1 500 1", UFResult::kWait},
      {1, 500, 1, 0, "moveTo 2 0 0 1 500 1", UFResult::kWait},
  };
  userMode();
  state.setSysflagInt(261, 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    state.setSkipping(c.skipping);
    scene.calls.clear();
    std::unique_ptr<UFResult> result = call(2026, 2, 0, 0, c.kind, c.duration, c.mode, 1);
    EXPECT_EQ(scene.calls, std::vector<std::string>{c.scene});
    EXPECT_EQ(std::make_pair(result->kind, result->value), std::make_pair(c.resultKind, 0));
    if (c.resultKind != UFResult::kWait) continue;
    EXPECT_EQ(state.isSkipping(), 0);
    if (c.mode == 2) {  // the forced wait runs its full time
      clock.ms += 500;
      EXPECT_EQ(feedCode(*result, VMEvent{16, {}, 0, 0}), nullptr);
      clock.ms += 1;
      EXPECT_NE(tick(*result), nullptr);
    } else {  // the confirm input cuts it short
      EXPECT_NE(feedCode(*result, VMEvent{16, {}, 0, 0}), nullptr);
    }
    EXPECT_EQ(scene.calls.back(), "setPosition 2 0 0");  // at the target through the finalizer
  }
}

}  // namespace

// A page of the real message window as the log measures it, with the
// sample's window 0 (font 24, ruby 10, ruby pitch 2, line pitch 8): every
// line keeps the ruby's room, so a line is 36 high with ruby or without, and
// an entry is its lines + ruby pitch + line pitch, at least 32 below its
// icon offset when voiced.
TEST(MessageLogMeasure, APageIsAsHighWithRubyAsWithout) {
  ManualClock clock;
  TimerManager* previousClock = SetTimerManager(&clock);
  ASSERT_TRUE(GetFontRendererTable().createGDIRenderer(0, GDICreateParams{}));
  {
    SceneImpl scene(800, 600);
    Config::MessageWindowConfig config;
    config.taFontSize = 24;
    config.taRubyFontSize = 10;
    config.taRubyLinePitch = 2;
    config.taLinePitch = 8;
    MessageWindow3* window = scene.msgWindow();
    ASSERT_NE(window, nullptr);
    window->setConfig(&config);
    const MessageLogStyle style = MessageLogStyle::of(config);
    const std::pair<const char16_t*, int32_t> pages[] = {
        {u"夕暮れの川", 46},
        {u"&RA灯籠&RSとうろう&RTの川", 46},
        {u"夕暮れの川#Rまた明日", 90},
        {u"夕暮れの川#R&RA灯籠&RSとうろう&RT", 90},
    };
    for (const auto& [text, height] : pages) {
      SCOPED_TRACE(platform::ToUtf8(text));
      window->clearText();
      window->setText(text, 0);
      ASSERT_EQ(window->shownTexts().size(), 1u);
      EXPECT_EQ(makePageEntry(window->shownTexts()[0], LogVoice{}, style).height, height);
      const MessageLogEntry voiced = makePageEntry(window->shownTexts()[0], LogVoice{1, 1, 100}, style);
      EXPECT_EQ(voiced.height - style.linePitch - voiced.iconOffset, 32);
      EXPECT_EQ(voiced.iconOffset, height - style.linePitch);
    }
  }
  GetFontRendererTable().clear();
  SetTimerManager(previousClock);
}
