// The message window and its text area in the real scene, on a hand-moved
// clock: step-by-step reveal and the event at its end, the key-wait icons'
// places, slides, the characters-per-line rule and the hidden-by-user mode
// that a window button toggles and any click ends.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/chip_config.h"
#include "app/event.h"
#include "app/event_queue.h"
#include "gdev/glyph_renderer.h"
#include "scene/gui_text_line3.h"
#include "scene/message_window.h"
#include "scene/scene_impl.h"
#include "scene/text_area.h"
#include "scene/xg_msg.h"
#include "tests/support/test_support.h"

namespace {

class MessageWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = SetTimerManager(&clock_);
    clock_.dispatch();
    ASSERT_TRUE(GetFontRendererTable().createGDIRenderer(0, GDICreateParams{}));
    scene_ = std::make_unique<SceneImpl>(800, 600);
    window_ = scene_->msgWindow();
    ASSERT_NE(window_, nullptr);
    GetEventQueue().takeAll();
  }
  void TearDown() override {
    scene_.reset();
    GetFontRendererTable().clear();
    GetEventQueue().takeAll();
    SetTimerManager(previousClock_);
  }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }
  // How many AppEvents of the code were posted since the last call.
  int posted(int32_t code) {
    int n = 0;
    for (const auto& e : GetEventQueue().takeAll()) {
      if (const AppEvent* app = EventAs<AppEvent>(e.get()); app && app->code == code) ++n;
    }
    return n;
  }

  ManualClock clock_;
  TimerManager* previousClock_ = nullptr;
  std::unique_ptr<SceneImpl> scene_;
  MessageWindow3* window_ = nullptr;
};

TEST_F(MessageWindowTest, TextRevealsOneStepPerPeriodAndSaysWhenItIsDone) {
  TextArea3* area = window_->textArea();
  window_->setText(u"abc#Rde", 1);  // speed 1: 100 ms a step
  ASSERT_TRUE(area->isDisplaying());
  for (int i = 0; i < 5; ++i) advance(100);
  EXPECT_EQ(area->line(0)->visibleCount(), -1);
  EXPECT_EQ(area->line(1)->visibleCount(), -1);
  EXPECT_EQ(posted(23), 0);
  advance(100);
  EXPECT_EQ(posted(23), 1);
  EXPECT_FALSE(area->isDisplaying());
  ASSERT_EQ(window_->shownTexts().size(), 1u);
  EXPECT_EQ(window_->shownTexts()[0].lines.size(), 2u);

  window_->setText(u"", 1);  // nothing to reveal: done at once, no event
  EXPECT_FALSE(area->isDisplaying());
  advance(1000);
  EXPECT_EQ(posted(23), 0);

  // Speed numbers outside 1..3 take 50 ms a step.
  for (int32_t speed : {0, 4}) {
    window_->setText(u"ab", 1);
    area->startReveal(speed);
    advance(49);
    EXPECT_EQ(area->line(0)->visibleCount(), 0) << speed;
    advance(1);
    EXPECT_EQ(area->line(0)->visibleCount(), 1) << speed;
  }

  // The key-wait icon follows the revealed text, or takes the fixed place.
  window_->setText(u"ab", 0);
  const GUITextLine3* line = area->line(0);
  area->showKeyWaitIcon(true, 0);
  EXPECT_TRUE(area->keyWaitIcon(0)->isVisible());
  EXPECT_EQ(area->keyWaitIcon(0)->x(), line->x() + line->width());
  EXPECT_GT(line->width(), 0);
  Config::MessageWindowConfig config;
  config.keywaitIconPosX = 40;
  config.keywaitIconPosY = 50;
  window_->setConfig(&config);
  area = window_->textArea();
  area->showKeyWaitIcon(true, 3);
  EXPECT_FALSE(area->keyWaitIcon(0)->isVisible());
  EXPECT_TRUE(area->keyWaitIcon(1)->isVisible());
  EXPECT_EQ(area->keyWaitIcon(1)->x(), 40);
  EXPECT_EQ(area->keyWaitIcon(1)->y(), 50);
}

TEST_F(MessageWindowTest, WindowSlidesAndKeepsItsCharactersPerLineInRange) {
  window_->moveTo(-1, 100, 200, 0, 100, 1);
  advance(50);  // ease-out at one half: 0.875 of the way
  EXPECT_EQ(window_->panel()->x(), 88);
  EXPECT_EQ(window_->panel()->y(), 175);
  window_->setPosition(-1, 10, 20);
  EXPECT_FALSE(window_->isMoving());
  advance(100);
  EXPECT_EQ(window_->panel()->x(), 10);

  for (const auto& [given, kept] : std::vector<std::pair<int32_t, int32_t>>{{3, 46}, {100, 46}, {4, 4}, {99, 99}}) {
    Config::MessageWindowConfig config;
    config.taCharsPerLine = given;
    window_->setConfig(&config);
    EXPECT_EQ(window_->charsPerLine(), kept) << given;
  }
}

TEST_F(MessageWindowTest, CascadeButtonHidesTheWindowUntilTheNextClick) {
  Config::MessageWindowConfig config;
  for (const char16_t* event : {u"*cascade*0", u"*cascade*", u"qsave"}) {
    Config::ControlPointConfig point;
    point.offsetX = 10;
    point.offsetY = 10;
    point.partsNo = 1;
    point.parts = SharedRef<XGChipConfig::ConfigBase>(new XGChipConfig::ButtonConfig);
    point.event = event;
    config.controlPoints.push_back(point);
  }
  config.hiddenControlPoints.push_back(config.controlPoints[2]);
  config.taLineNum = 0;  // taken as one line
  LogCapture log;
  window_->setConfig(&config);
  EXPECT_TRUE(log.contains("TextArea3::setup"));
  EXPECT_EQ(window_->textArea()->lineCount(), 1);
  const auto& chips = window_->shownChips();
  ASSERT_EQ(chips.size(), 3u);
  EXPECT_EQ(chips[0]->event(), MessageWindow3::kCascadeEvent);
  EXPECT_EQ(chips[1]->event(), 0);
  EXPECT_EQ(chips[2]->event(), 14);
  ASSERT_EQ(window_->hiddenModeChips().size(), 1u);

  scene_->msgSetVisible(true);
  chips[0]->onClicked();
  EXPECT_TRUE(window_->hiddenByUser());
  EXPECT_FALSE(window_->textArea()->isVisible());
  EXPECT_TRUE(window_->hiddenModeChips()[0]->isVisible());
  // The first press anywhere is the window's, and brings it back.
  EXPECT_TRUE(scene_->handleEvent(MouseEvent(700, 50, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)));
  EXPECT_FALSE(window_->hiddenByUser());
  EXPECT_TRUE(window_->textArea()->isVisible());
  EXPECT_FALSE(scene_->handleEvent(MouseEvent(700, 50, MouseEvent::kPress, MouseEvent::kLeft, 0, 0)));

  // A command button posts its event while it is enabled.
  chips[2]->onClicked();
  EXPECT_EQ(posted(14), 1);
  scene_->setAppEventEnabled(14, false);
  EXPECT_FALSE(chips[2]->enabled());
  scene_->setAppEventEnabled(14, true);
}

}  // namespace
