// Built-in 2031 as a script calls it: the list and select window it hands
// the scene, the wait that only an offered choice or an allowed cancel ends,
// the choice record in the message log, and skipping stopping at a choice.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/event.h"
#include "app/game_environment.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

using Field = Config::SelectWindow::Field;
using Choices = std::vector<std::pair<std::u16string, std::u16string>>;

class ChoiceBuiltinTest : public UserfuncTest {
 protected:
  // 2031 with choices A..H, under message skip.
  std::unique_ptr<UFResult> offer(int32_t mask, int32_t cancelFlag) {
    state.setSkipping(1);
    return call(2031, mask, u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H", 1, 2, 3, 4, 5, 6, 7, 8, 0, cancelFlag);
  }
  // The value a wait ended with; -1000 while it goes on.
  static int32_t answer(std::unique_ptr<UFResult> result) { return result ? result->value : -1000; }
  std::u16string logText() const {
    std::u16string out;
    for (const MessageLogEntry& e : userfuncs.messageLog().entries()) {
      for (const LaidOutLine& line : e.text.lines) {
        for (const GlyphItem& g : line.line.segments.at(0).base) out += static_cast<char16_t>(g.character);
      }
    }
    return out;
  }

  GameEnvironment environment{u"", {}, {}};
};

TEST_F(ChoiceBuiltinTest, OnlyAnOfferedChoiceOrAnAllowedCancelEndsTheWait) {
  userMode();
  state.setSysflagInt(261, 7);  // the resume-skip setting
  std::unique_ptr<UFResult> wait = offer(0b10000101, 2);
  EXPECT_EQ(std::make_pair(state.isSkipping(), state.getResumeSkip()), std::make_pair(uint8_t{0}, 7u));
  const FakeScene::SelectShown& shown = scene.selectShown.at(0);
  EXPECT_EQ(shown.choices, (Choices{{u"256", u"A"}, {u"258", u"C"}, {u"263", u"H"}}));
  EXPECT_FALSE(shown.cancelAllowed);
  // No select window 0: the built-in list over the record's defaults.
  EXPECT_EQ((std::vector<int32_t>{shown.config[Field::kWindowWidth], shown.config[Field::kItemWidth],
                                  shown.config[Field::kItemTextColorR]}),
            (std::vector<int32_t>{700, 680, 255}));

  for (const char16_t* text : {u"264", u"255", u""}) EXPECT_EQ(answer(feed(*wait, SelectedEvent(text))), -1000);
  EXPECT_EQ(answer(feed(*wait, AppEvent(18, 0))), -1000);
  EXPECT_EQ(answer(feed(*wait, keyEvent(13, KeyEvent::kUp))), -1000);
  EXPECT_EQ(answer(feed(*wait, SelectedEvent(u"263"))), 7);
  EXPECT_EQ(logText(), u"【選択肢】ACHHを選択しました");

  wait = offer(0b11, 1);
  EXPECT_TRUE(scene.selectShown.back().cancelAllowed);
  EXPECT_EQ(answer(feed(*wait, AppEvent(18, 0))), 255);
  EXPECT_NE(logText().find(u"キャンセルしました"), std::u16string::npos);

  // System mode logs nothing; a short call reads the rest as defaults, and
  // select window 0 is taken as it stands.
  state.setMode(StateMgr::kSystemMode);
  call(4300);
  environment.selectWindowTable()[0][Field::kWindowWidth] = 320;
  state.setSkipping(1);
  wait = call(2031, 0b11, u"yes");
  EXPECT_EQ(state.isSkipping(), 0);
  EXPECT_EQ(scene.selectShown.back().choices, (Choices{{u"256", u"yes"}, {u"257", u""}}));
  EXPECT_EQ(scene.selectShown.back().config[Field::kWindowWidth], 320);
  EXPECT_EQ(answer(feed(*wait, SelectedEvent(u"257"))), 1);
  EXPECT_TRUE(userfuncs.messageLog().entries().empty());
}

}  // namespace
