// A MOUSE layer node driven by pointer events through the real routing:
// the AppEvent 44 numbers of its areas for every button, the pointer file of
// each area, a press let go off every area, and the auto-move counters.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "scene/input_routing.h"
#include "scene/xg_layer_node.h"
#include "tests/support/test_support.h"

namespace {

// Takes the pointer wherever the node does not, as the screen's root does,
// and counts the buttons that reach it.
class Screen : public Panel {
 public:
  bool hitTestPrecise(int32_t, int32_t) override { return true; }
  bool onMouseButton(const MouseEvent&, bool) override {
    ++buttons;
    return true;
  }
  int buttons = 0;
};

std::vector<std::u16string> g_cursors;
bool g_left = false;

class LayerMouseTest : public ::testing::Test {
 protected:
  static constexpr int32_t kLeft = 100;  // where the node lies on the screen
  static constexpr int32_t kTop = 50;

  void SetUp() override {
    previousHooks_ = SetLayerPointerHooks({[](std::u16string_view file, const void*) { g_cursors.emplace_back(file); },
                                           [] { return g_left; }, nullptr});
    g_cursors.clear();
    g_left = false;
    root_.setBounds(0, 0, 800, 600);
    node_ = new XGLayer(0, XGLayer::kMouse, 0, 400, 300);
    node_->setPosition(kLeft, kTop);
    root_.addChild(node_);
    // Area 3 covers node pixels 10..60 and area 5, right beside it, 61..101.
    config_.areas = {rect(3, 10, 10, 50, 50), rect(5, 61, 10, 40, 50)};
    node_->setHitTestMap(&config_);
    GetEventQueue().takeAll();
  }
  void TearDown() override {
    SetMouseCapture(nullptr);
    SetHoveredComponent(nullptr);
    GetEventQueue().takeAll();
    SetLayerPointerHooks(previousHooks_);
  }

  static XGChipConfig::TouchmapArea rect(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
    XGChipConfig::TouchmapArea area;
    area.shape = XGChipConfig::TouchmapArea::kRect;
    area.event = id;
    std::tie(area.rectX, area.rectY, area.rectW, area.rectH) = std::tie(x, y, w, h);
    return area;
  }
  // (x, y) in the node's coordinates.
  void mouse(int32_t x, int32_t y, int32_t action, int32_t button = MouseEvent::kLeft) {
    if (action == MouseEvent::kMove) button = 0;
    RouteMouseEvent(&root_, MouseEvent(kLeft + x, kTop + y, action, button, 0, 0));
  }
  // The texts of the layer events posted since the last call.
  std::vector<std::u16string> posted() {
    std::vector<std::u16string> texts;
    for (const auto& e : GetEventQueue().takeAll()) {
      if (const AppEvent* app = EventAs<AppEvent>(e.get()); app && app->code == 44) texts.push_back(app->text);
    }
    return texts;
  }
  int32_t count(int32_t area) {
    int32_t n = -7;
    return node_->getAutoMoveCount(area, &n) ? n : -7;
  }

  LayerPointerHooks previousHooks_;
  XGChipConfig::TouchmapConfig config_;
  Screen root_;
  XGLayer* node_ = nullptr;
};

using Texts = std::vector<std::u16string>;

TEST_F(LayerMouseTest, AreasPostTheirNumbersAndShowTheirCursors) {
  ASSERT_TRUE(node_->hitTest_setItemEventNumber(XGLayer::kHoverEvent, 100));
  ASSERT_TRUE(node_->hitTest_setItemEventNumber(XGLayer::kPressEvent, 300));
  ASSERT_TRUE(node_->hitTest_setItemEventNumber(XGLayer::kReleaseEvent, 400));
  ASSERT_TRUE(node_->hitTest_setItemEventNumber(XGLayer::kClickEvent, 200));
  node_->setAreaCursor(3, u"hand.cur");

  mouse(20, 20, MouseEvent::kMove);
  EXPECT_EQ(posted(), Texts{u"103"});
  EXPECT_EQ(g_cursors, Texts{u"hand.cur"});
  // Straight into the next area: no hover events, that area's (default)
  // pointer, and its number from now on.
  mouse(70, 20, MouseEvent::kMove);
  EXPECT_EQ(node_->currentArea(), 5);
  mouse(70, 20, MouseEvent::kPress);
  mouse(70, 20, MouseEvent::kRelease);
  EXPECT_EQ(posted(), (Texts{u"305", u"405", u"205"}));
  EXPECT_EQ(g_cursors, (Texts{u"hand.cur", u""}));

  // Pressed in area 3 with the right button, dragged off every area (still
  // inside the node) and let go: leaving reports area 3 and leaves the
  // offset at 0, which letting go reports. No button reaches the screen.
  mouse(20, 20, MouseEvent::kMove);
  mouse(20, 20, MouseEvent::kPress, MouseEvent::kRight);
  EXPECT_EQ(GetMouseCapture(), node_);
  mouse(300, 200, MouseEvent::kMove);
  EXPECT_EQ(posted(), (Texts{u"303", u"104"}));
  mouse(300, 200, MouseEvent::kRelease, MouseEvent::kRight);
  EXPECT_EQ(posted(), (Texts{u"400", u"200"}));
  EXPECT_EQ(GetMouseCapture(), nullptr);
  EXPECT_EQ(root_.buttons, 0);
  EXPECT_EQ(g_cursors, (Texts{u"hand.cur", u"", u"hand.cur", u""}));
  // Let go outside the node: nothing.
  mouse(20, 20, MouseEvent::kMove);
  mouse(20, 20, MouseEvent::kPress, 3);
  mouse(-50, 20, MouseEvent::kMove);
  mouse(-50, 20, MouseEvent::kRelease, 3);
  EXPECT_EQ(posted(), (Texts{u"103", u"303", u"104"}));

  // Hidden, the node takes no point; neither does a picture node with a map.
  node_->setVisible(false);
  mouse(20, 20, MouseEvent::kMove);
  EXPECT_EQ(posted(), Texts{});
  XGLayer picture(1, XGLayer::kPicture, 1, 400, 300);
  picture.setHitTestMap(&config_);
  EXPECT_FALSE(picture.hitTestPrecise(20, 20));

  LogCapture log;
  EXPECT_FALSE(node_->hitTest_setItemEventNumber(6, 1));
  EXPECT_TRUE(log.contains("XGLayer::hitTest_setItemEventNumber :不正なイベントタイプ(6)\n")) << log.all();
}

TEST_F(LayerMouseTest, AutoMoveCountsWholeUnitsOfTravelWhileItsConditionHolds) {
  ASSERT_TRUE(node_->hitTest_setItemEventNumber(XGLayer::kMoveEvent, 500));
  node_->setAutoMove(-1, 2, 4, 10, 0);  // every area, left button held, 10 px
  g_left = true;
  mouse(12, 12, MouseEvent::kMove);  // entering: no travel yet
  mouse(33, 40, MouseEvent::kMove);  // 35 px
  EXPECT_EQ(count(-1), 3);
  mouse(36, 44, MouseEvent::kMove);  // 5 px more, with the 5 left over
  EXPECT_EQ(count(3), -7);           // area 3 has no record of its own
  EXPECT_EQ(count(-1), 4);
  EXPECT_EQ(posted(), (Texts{u"503", u"503", u"503"}));

  g_left = false;
  mouse(12, 12, MouseEvent::kMove);
  EXPECT_EQ(count(-1), 4);
  int32_t x = 0, y = 0;
  node_->getLastMousePosition(&x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(12, 12));

  // An area's own record replaces the one for every area; a unit of 0
  // counts nothing.
  node_->setAutoMove(3, 2, 1, 0, 0);
  mouse(33, 40, MouseEvent::kMove);
  EXPECT_EQ(count(3), 0);
  EXPECT_EQ(count(-1), -7);

  // A negative area starts over with one record for every area.
  node_->setAutoMove(-1, 2, 1, 10, 42);
  EXPECT_EQ(count(3), -7);
  EXPECT_EQ(count(-1), 42);
  mouse(12, 12, MouseEvent::kMove);
  EXPECT_EQ(count(-1), 45);
}

}  // namespace
