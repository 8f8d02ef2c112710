// Chips built from the sample game's own parts and pictures, driven by
// pointer events through the real routing: button looks, the events they
// post, the touch map's areas, animations on a hand-moved clock and cursor
// files, and the values the chip clamps or refuses. The line measure that
// labels and text areas stack with is checked here too.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/input_target.h"
#include "platform/utf8.h"
#include "scene/input_routing.h"
#include "scene/xg_chip.h"
#include "tests/support/test_support.h"

namespace {

// Takes the pointer wherever no chip does, as the screen's root does.
class Screen : public Panel {
 public:
  bool hitTestPrecise(int32_t, int32_t) override { return true; }
};

class ChipTest : public ::testing::Test {
 protected:
  ChipTest()
      : folder_(std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample"),
        cwd_(folder_),
        env_(platform::FromUtf8(folder_.string()), {u"."}, {}) {}

  void SetUp() override {
    ASSERT_TRUE(env_.init(u"game.scm"));
    previousClock_ = SetTimerManager(&clock_);
    clock_.dispatch();  // the clock's first frame
    root_.setBounds(0, 0, 800, 600);
    GetEventQueue().takeAll();
  }
  void TearDown() override {
    SetMouseCapture(nullptr);
    SetHoveredComponent(nullptr);
    GetEventQueue().takeAll();
    SetTimerManager(previousClock_);
  }

  // A chip of a sample part, at (x, y) on the screen.
  XGChip* chip(int32_t part, int32_t x = 0, int32_t y = 0) {
    auto* c = new XGChip;
    c->config(true, x, y, 255, env_.findPartsConfig(part).get());
    root_.addChild(c);
    return c;
  }
  void mouse(int32_t x, int32_t y, int32_t action) {
    RouteMouseEvent(&root_, MouseEvent(x, y, action, action == MouseEvent::kMove ? 0 : MouseEvent::kLeft, 0, 0));
  }
  // The texts of the chip events posted since the last call.
  std::vector<std::u16string> posted() {
    std::vector<std::u16string> texts;
    for (const auto& e : GetEventQueue().takeAll()) {
      if (const AppEvent* app = EventAs<AppEvent>(e.get()); app && app->code == 17) texts.push_back(app->text);
    }
    return texts;
  }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }

  std::filesystem::path folder_;
  ScopedCurrentDir cwd_;
  GameEnvironment env_;
  ManualClock clock_;
  TimerManager* previousClock_ = nullptr;
  Screen root_;
};

using Texts = std::vector<std::u16string>;

TEST_F(ChipTest, ButtonShowsItsFourLooksAndPostsOnePressWhenReleasedOutside) {
  XGChip* button = chip(30, 100, 100);  // four states stacked 28 pixels apart in a 112-pixel picture
  ASSERT_EQ(button->kind(), XGChip::kButton);
  EXPECT_EQ(button->width(), 88);
  auto state = [&] { return static_cast<int>(button->texRect().top * 112.0f / 28.0f + 0.5f); };
  ASSERT_TRUE(button->image());
  EXPECT_EQ(state(), 0);
  mouse(120, 110, MouseEvent::kMove);
  EXPECT_EQ(state(), 1);
  button->setEventNumber(XGChip::kPress, 7);
  button->setEventNumber(XGChip::kRelease, 8);
  button->setEventNumber(XGChip::kClick, 9);
  mouse(120, 110, MouseEvent::kPress);
  EXPECT_EQ(state(), 2);
  mouse(400, 400, MouseEvent::kMove);  // dragged off: the pointer left
  EXPECT_EQ(state(), 0);
  mouse(400, 400, MouseEvent::kRelease);
  EXPECT_EQ(posted(), Texts{u"7"});
  EXPECT_EQ(GetMouseCapture(), nullptr);
  button->setEnabled(false);
  EXPECT_EQ(state(), 3);
  mouse(120, 110, MouseEvent::kMove);  // a disabled button is not hit
  EXPECT_EQ(state(), 3);

  // States without a picture of their own look like the normal state.
  XGChip* twoLooks = chip(32, 300, 300);
  mouse(310, 310, MouseEvent::kPress);
  EXPECT_TRUE(twoLooks->image());
  EXPECT_EQ(twoLooks->texRect().top, 0.0f);
}

TEST_F(ChipTest, TouchMapPostsItsAreasOnlyWhileOneIsHovered) {
  XGChip* map = chip(50);
  ASSERT_EQ(map->kind(), XGChip::kTouchmap);
  mouse(100, 420, MouseEvent::kMove);  // no event number yet: never hit
  EXPECT_EQ(map->hoveredArea(), -1);
  map->setEventNumber(XGChip::kHover, 100);
  mouse(100, 420, MouseEvent::kMove);  // the rectangle area, id 1
  mouse(20, 20, MouseEvent::kMove);    // no area
  EXPECT_EQ(posted(), (Texts{u"101", u"102"}));

  map->setEventNumber(XGChip::kRelease, 200);
  map->setEventNumber(XGChip::kClick, 300);
  mouse(100, 420, MouseEvent::kMove);
  mouse(100, 420, MouseEvent::kPress);
  mouse(20, 20, MouseEvent::kMove);  // dragged out of every area
  mouse(20, 20, MouseEvent::kRelease);
  EXPECT_EQ(posted(), (Texts{u"101", u"102"}));
  mouse(100, 420, MouseEvent::kMove);
  mouse(100, 420, MouseEvent::kPress);
  mouse(100, 420, MouseEvent::kRelease);
  EXPECT_EQ(posted(), (Texts{u"101", u"201", u"301"}));
  map->clearEventNumbers();
  EXPECT_EQ(map->hoveredArea(), -1);
}

TEST_F(ChipTest, AnimationsStepOnTheirDurations) {
  XGChip* once = chip(21);  // two frames of 200 ms, no loop
  XGChip* looping = chip(20);  // 150, 150, 300 ms
  ASSERT_EQ(once->durations(), (std::vector<int32_t>{200, 200}));
  advance(200);
  EXPECT_EQ(once->frame(), 1);
  advance(200);
  advance(200);
  EXPECT_EQ(once->frame(), 1);  // stays on its last frame
  EXPECT_FALSE(once->animating());
  EXPECT_TRUE(once->isDrawable());
  EXPECT_EQ(looping->frame(), 2);
  advance(300);
  EXPECT_EQ(looping->frame(), 0);  // and round again
  once->setAnimationCode(3);       // rewind and run
  EXPECT_EQ(once->frame(), 0);
  EXPECT_TRUE(once->animating());

  // An animation without frames reads none.
  XGChipConfig::AnimationConfig empty;
  empty.frames.resize(1);  // an empty first url
  XGChip none;
  none.config(true, 0, 0, 255, &empty);
  none.setAnimationCode(3);
  advance(2000);
  EXPECT_FALSE(none.animating());
  EXPECT_FALSE(none.isDrawable());
}

std::string Le(uint32_t v, int bytes) {
  std::string s;
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
std::string Chunk(const std::string& id, const std::string& data) {
  return id + Le(static_cast<uint32_t>(data.size()), 4) + data + (data.size() % 2 ? std::string(1, '\0') : "");
}

// An animated cursor of two 2 x 2 frames of 32-bit pixels at a rate in 1/60 s.
std::string AnimatedCursor(uint32_t rate) {
  std::string icon = Le(0, 2) + Le(2, 2) + Le(1, 2);
  icon += Le(2 | 2 << 8, 4) + Le(1, 2) + Le(1, 2) + Le(40 + 16 + 8, 4) + Le(22, 4);
  icon += Le(40, 4) + Le(2, 4) + Le(4, 4) + Le(1 | 32 << 16, 4) + std::string(24, '\0');
  icon += std::string(16, '\x7f') + std::string(8, '\0');
  std::string header;
  for (uint32_t v : {36u, 2u, 2u, 0u, 0u, 32u, 1u, rate, 1u}) header += Le(v, 4);
  const std::string frames = "fram" + Chunk("icon", icon) + Chunk("icon", icon);
  return Chunk("RIFF", "ACON" + Chunk("anih", header) + Chunk("LIST", frames));
}

TEST_F(ChipTest, CursorFileFramesLastTheirRateAndValuesAreKeptInRange) {
  TempDir dir;
  XGChipConfig::AnimationConfig cursor;
  cursor.frames.resize(1);
  for (const auto& [rate, ms] : std::vector<std::pair<uint32_t, int32_t>>{
           {6, 100}, {0, 16}, {0x7FFFFFFF, 0x7FFFFFFF}}) {
    cursor.frames[0].path = platform::FromUtf8(dir.write("c.ani", AnimatedCursor(rate)).string());
    XGChip c;
    c.config(true, 0, 0, 255, &cursor);
    EXPECT_EQ(c.durations(), (std::vector<int32_t>{ms, ms})) << rate;
  }

  XGChip* image = chip(10);
  image->setAlpha(300);
  EXPECT_EQ(image->alpha(), 255);
  image->setAlpha(-5);
  EXPECT_EQ(image->alpha(), 0);
  EXPECT_FALSE(image->isDrawable());
  LogCapture log;
  image->setEventNumber(6, 1);
  image->config(false, 5, 5, 255, nullptr);
  EXPECT_TRUE(log.contains("XGChip::setEventNumber :不正なイベントタイプ(6)\n"));
  EXPECT_TRUE(log.contains("XGChip::config, params==0, ignored\n"));
  EXPECT_TRUE(image->isVisible());  // kept as it was
  EXPECT_EQ(image->kind(), XGChip::kImage);
  image->setImage(u"no_such_picture.png", 2, GDevArea{0, 0, 0, 0});
  EXPECT_FALSE(image->image());
  EXPECT_EQ(image->width(), 96);
}

TEST(LineMeasureTest, RubyRoomIsReservedAcrossTheLine) {
  GlyphItem g{u'字', 0, 1, 0xFFFFFFFF, 0};
  TextSegment withRuby{24, {g}, 10, {g}};
  TextSegment plain{24, {g}, 10, {}};
  int32_t gap = -1;
  EXPECT_EQ(measureTextLines(LineLayout{24, 10, {withRuby, plain}}, 2, &gap), 36);
  EXPECT_EQ(gap, 0);
  EXPECT_EQ(measureTextLines(LineLayout{24, 10, {plain, plain}}, 2, &gap), 36);
  EXPECT_EQ(gap, 12);
  EXPECT_EQ(measureTextLines(LineLayout{24, 10, {}}, 2, &gap), 36);
  EXPECT_EQ(gap, 36);
}

}  // namespace
