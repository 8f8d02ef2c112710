// The parts layer without a device: the drawing order that follows the
// z-order, a part number made twice, commands on missing numbers, and the
// hit testing and Escape of non-modal and modal layers.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "scene/xg_chip.h"
#include "scene/xg_parts.h"
#include "tests/support/test_support.h"

namespace {

// Takes the pointer wherever nothing above it does, as the screen's root.
class Screen : public Panel {
 public:
  bool hitTestPrecise(int32_t, int32_t) override { return true; }
};

class XGPartsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = SetTimerManager(&clock_);
    button_.width = 20;
    button_.height = 20;
    GetEventQueue().takeAll();
  }
  void TearDown() override {
    GetEventQueue().takeAll();
    SetTimerManager(previous_);
  }
  XGChip* chip(const XG_Parts& layer, int32_t number) const {
    const XG_Parts::Entry* e = layer.findPart(number);
    return e ? e->chip : nullptr;
  }
  std::vector<int32_t> postedCodes() {
    std::vector<int32_t> codes;
    for (const auto& e : GetEventQueue().takeAll()) {
      if (const AppEvent* app = EventAs<AppEvent>(e.get())) codes.push_back(app->code);
    }
    return codes;
  }

  ManualClock clock_;  // outlives the chips' timers
  TimerManager* previous_ = nullptr;
  XGChipConfig::ButtonConfig button_;  // no pictures: a 20 x 20 button
};

TEST_F(XGPartsTest, DrawingOrderFollowsZOrderAndANumberMadeAgainReplacesItsPart) {
  XG_Parts layer(800, 600, false);
  layer.addPart(1, true, 0, 0, 255, 5, &button_);
  layer.addPart(2, true, 0, 0, 255, 1, &button_);
  layer.addPart(3, true, 0, 0, 255, 5, &button_);
  EXPECT_EQ(layer.children(), (std::vector<GUIComponent*>{chip(layer, 2), chip(layer, 1), chip(layer, 3)}));

  // The second part 3 is the one left, placed and clamped as it was asked.
  layer.addPart(3, false, 40, 50, 300, 0, &button_);
  XGChip* three = chip(layer, 3);
  EXPECT_EQ(layer.partCount(), 3u);
  EXPECT_TRUE(three->x() == 40 && three->y() == 50 && !three->isVisible() && three->alpha() == 255);
  EXPECT_EQ(layer.children(), (std::vector<GUIComponent*>{three, chip(layer, 2), chip(layer, 1)}));
  layer.setPartZOrder(3, 9);
  EXPECT_EQ(layer.children().back(), three);
  EXPECT_EQ(layer.partNumbers(2, 100), (std::vector<int32_t>{2, 3}));

  // Missing numbers change nothing; a negative number clears every part.
  layer.setPartEventNumber(1, XGChip::kClick, 7);
  layer.setPartEventNumber(3, XGChip::kHover, 8);
  layer.setPartVisible(99, false);
  layer.removePart(99);
  layer.clearEventNumbers(99);
  EXPECT_EQ(chip(layer, 1)->eventNumber(XGChip::kClick), 7);
  layer.clearEventNumbers(-1);
  EXPECT_TRUE(chip(layer, 1)->eventNumber(XGChip::kClick) == 0 && three->eventNumber(XGChip::kHover) == 0);

  // A chip deleted from outside is no longer a part; the rest go together.
  delete chip(layer, 2);
  EXPECT_TRUE(!layer.findPart(2) && layer.partCount() == 2);
  layer.removeAllParts();
  EXPECT_TRUE(layer.children().empty() && layer.partNumbers(INT32_MIN, INT32_MAX).empty());
}

TEST_F(XGPartsTest, OnlyAModalLayerIsItselfAHitAndTurnsEscapeIntoCancel) {
  for (bool modal : {false, true}) {
    Screen screen;
    screen.setBounds(0, 0, 800, 600);
    auto* layer = new XG_Parts(800, 600, modal);
    screen.addChild(layer);
    layer->addPart(1, true, 10, 10, 255, 0, &button_);
    EXPECT_EQ(screen.componentAtPrecise(15, 15), chip(*layer, 1));
    // Between the parts: the screen below, or the modal layer itself.
    EXPECT_EQ(screen.componentAtPrecise(400, 300), modal ? static_cast<GUIComponent*>(layer) : &screen);
    const MouseEvent click(400, 300, MouseEvent::kPress, MouseEvent::kLeft, 0, 0);
    EXPECT_EQ(layer->dispatchMouse(click), modal);

    KeyEvent escape;
    escape.virtualKey = 27;
    escape.action = KeyEvent::kDown;
    layer->dispatchKey(escape);
    EXPECT_TRUE(postedCodes().empty());
    escape.action = KeyEvent::kUp;
    layer->dispatchKey(escape);
    EXPECT_EQ(postedCodes(), modal ? std::vector<int32_t>{18} : std::vector<int32_t>{});
  }
}

}  // namespace
