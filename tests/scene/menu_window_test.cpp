// The menu window in the real scene, driven like window input on a
// hand-moved clock: where each edge puts it, auto-hide mode following the
// pointer and its once-a-second check, and what its buttons post.
#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "app/chip_config.h"
#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "scene/menu_window.h"
#include "scene/scene_impl.h"
#include "scene/xg_menu.h"
#include "tests/support/test_support.h"

namespace {

int32_t g_pointerX = 0;
int32_t g_pointerY = 0;

void ReadPointer(int32_t* x, int32_t* y) {
  *x = g_pointerX;
  *y = g_pointerY;
}

auto Tie(const MenuWindow::Rect& r) { return std::make_tuple(r.x, r.y, r.width, r.height); }

class MenuWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previousClock_ = SetTimerManager(&clock_);
    clock_.dispatch();
    previousPointer_ = MenuWindow::setPointerSource(&ReadPointer);
    scene_ = std::make_unique<SceneImpl>(800, 600);
    menu_ = scene_->getMenu()->window();
    // Buttons 100 x 40 at panel x 10: "save" at y 100, the cascade at y 200.
    for (const char16_t* event : {u"save", u"*cascade*0"}) {
      Config::ControlPointConfig point;
      point.offsetX = 10;
      point.offsetY = 100 * static_cast<int32_t>(config_.controlPoints.size() + 1);
      point.partsNo = 1;
      auto* button = new XGChipConfig::ButtonConfig;
      button->width = 100;
      button->height = 40;
      point.parts = SharedRef<XGChipConfig::ConfigBase>(button);
      point.event = event;
      config_.controlPoints.push_back(point);
    }
    scene_->menuSetConfig(&config_);
    pointer(300, 300);
    GetEventQueue().takeAll();
  }
  void TearDown() override {
    scene_.reset();
    MenuWindow::setPointerSource(previousPointer_);
    GetEventQueue().takeAll();
    SetTimerManager(previousClock_);
  }
  // Frames of 50 ms.
  void advance(int32_t ms) {
    for (; ms > 0; ms -= 50) {
      clock_.ms += ms < 50 ? ms : 50;
      clock_.dispatch();
    }
  }
  void pointer(int32_t x, int32_t y, int32_t action = MouseEvent::kMove) {
    g_pointerX = x;
    g_pointerY = y;
    scene_->dispatchInput(
        MouseEvent(x, y, action, action == MouseEvent::kMove ? MouseEvent::kNone : MouseEvent::kLeft, 0, 0));
  }
  void click(int32_t x, int32_t y) {
    pointer(x, y);
    pointer(x, y, MouseEvent::kPress);
    pointer(x, y, MouseEvent::kRelease);
  }
  std::vector<int32_t> postedCodes() {
    std::vector<int32_t> codes;
    for (const auto& e : GetEventQueue().takeAll()) {
      if (const AppEvent* app = EventAs<AppEvent>(e.get())) codes.push_back(app->code);
    }
    return codes;
  }
  int32_t panelX() const { return menu_->panel()->x(); }

  ManualClock clock_;
  TimerManager* previousClock_ = nullptr;
  MenuWindow::PointerSource previousPointer_ = nullptr;
  std::unique_ptr<SceneImpl> scene_;
  MenuWindow* menu_ = nullptr;
  Config::MenuConfigEntry config_;  // right edge, 128 wide, sensor 48
};

TEST_F(MenuWindowTest, EachEdgeShowsTheStripAndAHideWithoutSlideEndsOneAtOnce) {
  using P = Config::MenuConfigEntry::Position;
  const std::vector<std::tuple<P, MenuWindow::Rect, MenuWindow::Rect>> cases = {
      {P::kLeft, {0, 0, 128, 600}, {-128, 0, 128, 600}},
      {P::kTop, {0, 0, 800, 128}, {0, -128, 800, 128}},
      {P::kBottom, {0, 472, 800, 128}, {0, 600, 800, 128}},
      {P::kRight, {672, 0, 128, 600}, {800, 0, 128, 600}}};
  for (const auto& [position, shown, hidden] : cases) {
    Config::MenuConfigEntry config = config_;
    config.position = position;
    scene_->menuSetConfig(&config);
    EXPECT_EQ(Tie(menu_->shownRect()), Tie(shown)) << position;
    EXPECT_EQ(Tie(menu_->hiddenRect()), Tie(hidden)) << position;
    EXPECT_EQ(std::make_pair(panelX(), menu_->panel()->y()), std::make_pair(hidden.x, hidden.y)) << position;
  }

  scene_->menuShow(true, false, false);
  const Panel* panel = menu_->panel();
  EXPECT_EQ(std::make_tuple(panelX(), panel->y(), panel->width(), panel->height()), std::make_tuple(672, 0, 128, 600));
  scene_->menuShow(false, true, false);
  advance(100);
  EXPECT_GT(panelX(), 672);
  EXPECT_LT(panelX(), 800);
  scene_->menuShow(false, false, false);
  EXPECT_EQ(panelX(), 800);
  EXPECT_FALSE(menu_->isSliding());
}

TEST_F(MenuWindowTest, AutoHideOpensOverTheSensorAndClosesOnceThePointerHasLeft) {
  scene_->menuSetAutoHide(true);
  scene_->menuShow(true, true, false);  // the pointer is far away
  EXPECT_TRUE(menu_->isShown());
  EXPECT_FALSE(menu_->isOpen());
  pointer(740, 300);  // outside the 48-pixel sensor
  EXPECT_FALSE(menu_->isOpen());
  pointer(760, 300);
  EXPECT_TRUE(menu_->isOpen());
  advance(250);
  EXPECT_EQ(panelX(), 672);
  pointer(673, 300);  // open, the whole strip holds it
  EXPECT_TRUE(menu_->isOpen());
  pointer(300, 300);
  EXPECT_FALSE(menu_->isOpen());
  advance(250);
  EXPECT_EQ(panelX(), 800);

  // Leaving from a button tells the window nothing; the check closes it.
  pointer(760, 300);
  advance(250);
  pointer(700, 120);
  EXPECT_EQ(GetHoveredComponent(), menu_->chips()[0]);
  pointer(300, 300);
  EXPECT_TRUE(menu_->isOpen());
  advance(MenuWindow::kAutoHideCheckMs);
  EXPECT_FALSE(menu_->isOpen());
  advance(250);
  EXPECT_EQ(panelX(), 800);

  // Opened by the program, it stays open until the pointer has moved over it.
  scene_->menuShow(true, false, true);
  advance(2 * MenuWindow::kAutoHideCheckMs);
  EXPECT_TRUE(menu_->isOpen());
}

TEST_F(MenuWindowTest, ButtonsPostOnlyEnabledCommandsAndThenGetOutOfTheWay) {
  scene_->menuSetAutoHide(true);
  scene_->menuShow(true, false, false);
  pointer(760, 300);
  advance(250);
  // Disabled in the mask, and the cascade button: nothing posted, not even
  // the root's click, and the menu stays open.
  scene_->setAppEventEnabled(2, false);
  click(700, 120);
  menu_->setChipEventEnabled(2, true);  // the button alone
  click(700, 120);
  click(700, 220);
  EXPECT_EQ(postedCodes(), std::vector<int32_t>{});
  EXPECT_TRUE(menu_->isOpen());
  EXPECT_EQ(panelX(), 672);

  scene_->setAppEventEnabled(2, true);
  click(700, 120);
  EXPECT_EQ(postedCodes(), std::vector<int32_t>{2});
  EXPECT_EQ(panelX(), 800);
  EXPECT_FALSE(menu_->isSliding());
  // Not back under the pointer that clicked until it has left the sensor.
  pointer(760, 300);
  EXPECT_FALSE(menu_->isOpen());
  pointer(300, 300);
  pointer(760, 300);
  EXPECT_TRUE(menu_->isOpen());
  // Leaving the clicked button for a point outside the sensor is leaving.
  advance(250);
  click(700, 120);
  pointer(300, 300);
  pointer(760, 300);
  EXPECT_TRUE(menu_->isOpen());
}

}  // namespace
