// Choice list 0 in the real scene, driven like window input: layout, keyboard
// steps that move the pointer, the pointer choosing without moving it, press
// and release on different items, and what Return and Escape post.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "gdev/glyph_renderer.h"
#include "scene/gui_root.h"
#include "scene/gui_text_line.h"
#include "scene/scene_impl.h"
#include "scene/xg_select.h"
#include "tests/support/test_support.h"

namespace {

using Field = Config::SelectWindow::Field;
using Posted = std::vector<std::u16string>;

std::vector<std::pair<int32_t, int32_t>> g_warps;

// The choice-list events posted since the last call ("cancel" for AppEvent 18).
Posted Decisions() {
  Posted out;
  for (const auto& e : GetEventQueue().takeAll()) {
    if (const SelectedEvent* s = EventAs<SelectedEvent>(e.get())) out.push_back(s->text);
    if (const AppEvent* a = EventAs<AppEvent>(e.get()); a && a->code == 18) out.push_back(u"cancel");
  }
  return out;
}

// A hand-moved clock and a recorded pointer, put back afterwards.
class XGSelect : public ::testing::Test {
 protected:
  XGSelect() : previousClock_(SetTimerManager(&clock_)), previousWarp_(XG_Select::setPointerWarp(&Record)) {
    g_warps.clear();
    GetEventQueue().takeAll();
  }
  ~XGSelect() override {
    GetFontRendererTable().clear();
    XG_Select::setPointerWarp(previousWarp_);
    SetTimerManager(previousClock_);
  }
  static void Record(int32_t x, int32_t y) { g_warps.emplace_back(x, y); }

  ManualClock clock_;
  TimerManager* previousClock_;
  XG_Select::PointerWarp previousWarp_;
};

TEST_F(XGSelect, KeysMoveThePointerThePointerDoesNotAndThePressedItemIsTaken) {
  ASSERT_TRUE(GetFontRendererTable().createGDIRenderer(0, GDICreateParams{}));
  auto scene = std::make_unique<SceneImpl>(800, 600);
  XG_Select* select = scene->getSelect(0);
  // The record's item width (-1) leaves the width to the window.
  Config::SelectWindow config;
  for (auto [field, value] : {std::pair{Field::kWindowX, 40}, {Field::kWindowY, 100}, {Field::kWindowWidth, 300},
                              {Field::kWindowHeightBase, 20}, {Field::kItemHeight, 30}, {Field::kItemHeightGap, 10},
                              {Field::kItemOffsetX, 10}, {Field::kItemOffsetY, 5}, {Field::kItemTextEdgeColorA, 255}}) {
    config[field] = value;
  }
  const auto show = [&](bool cancel) {
    scene->selectShow(config, 1, {{u"a", u"A"}, {u"b", u"B"}, {u"c", u"C"}}, cancel);
  };
  const auto key = [&](uint32_t virtualKey, int32_t action) {
    KeyEvent e;
    e.virtualKey = virtualKey;
    e.action = action;
    scene->dispatchInput(e);
  };
  const auto mouse = [&](int32_t y, int32_t action) { scene->dispatchInput(MouseEvent(60, y, action, 1, 0, 0)); };

  show(false);
  EXPECT_EQ(GetKeyListener(), select);
  EXPECT_EQ(select->windowBox().height, 139);
  const XG_Select::Item* last = select->items().at(2);
  EXPECT_EQ((std::vector<int32_t>{last->x(), last->y(), last->width()}), (std::vector<int32_t>{50, 185, 280}));
  EXPECT_EQ(last->textLine()->height(), 29);
  EXPECT_TRUE(last->textLine()->edgeTexture());
  key(13, KeyEvent::kUp);  // nothing current yet
  for (int i = 0; i < 5; ++i) key(40, KeyEvent::kDown);
  EXPECT_EQ(select->currentItem(), last);
  EXPECT_FALSE(select->items()[1]->highlighted());
  EXPECT_EQ(g_warps,
            (std::vector<std::pair<int32_t, int32_t>>{{50, 105}, {50, 145}, {50, 185}, {50, 185}, {50, 185}}));
  key(27, KeyEvent::kUp);  // no cancel allowed
  EXPECT_TRUE(Decisions().empty());
  EXPECT_TRUE(select->isVisible());
  key(13, KeyEvent::kUp);
  EXPECT_EQ(Decisions(), Posted{u"c"});
  EXPECT_FALSE(select->isVisible());
  EXPECT_EQ(GetKeyListener(), scene->getRoot());

  g_warps.clear();
  show(true);
  mouse(150, MouseEvent::kMove);
  EXPECT_EQ(select->currentItem(), select->items()[1]);
  mouse(110, MouseEvent::kPress);
  mouse(190, MouseEvent::kMove);
  EXPECT_EQ(select->currentItem(), select->items()[2]);
  mouse(190, MouseEvent::kRelease);
  EXPECT_EQ(Decisions(), Posted{u"a"});
  EXPECT_EQ(GetMouseCapture(), nullptr);
  EXPECT_TRUE(g_warps.empty());

  show(true);
  key(27, KeyEvent::kUp);
  EXPECT_EQ(Decisions(), Posted{u"cancel"});
  EXPECT_FALSE(select->isVisible());
}

}  // namespace
