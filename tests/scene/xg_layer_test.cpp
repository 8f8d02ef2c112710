// The script layers without a device: the placement rule and its inverse,
// node handles, orders and sorting, and the animator on a hand-moved clock.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "scene/layer_placement.h"
#include "scene/xg_layer.h"
#include "tests/support/test_support.h"

namespace {

std::vector<int32_t> Rect(const GDevRect& r) { return {r.x0, r.y0, r.x1, r.y1}; }
std::vector<int32_t> Rect(const PlaneState& p) { return {p.x0, p.y0, p.x1, p.y1}; }

TEST(LayerPlacement, SwitchUnitsAnchorsMirrorsAndTheInverse) {
  struct Case {
    int32_t switchWord, x, y, width, height;
    std::vector<int32_t> rect;
  };
  // A 200 x 100 picture on an 800 x 600 reference.
  const Case cases[] = {
      {80, 10, 20, 1024, 1024, {10, 20, 210, 120}},     // picture-relative size
      {2650, 0, 0, 1024, 1024, {300, 250, 500, 350}},   // centred on the reference
      {0x1A1, -100, 0, 512, 256, {300, 0, 700, 150}},  // reference units, right-aligned at the right
      {0, 5, 5, -30, 40, {5, 5, 35, 45}},                // pixels, mirrored
  };
  for (const Case& c : cases) {
    PlacementInput in{c.switchWord, 200, 100, 800, 600, c.x, c.y, c.width, c.height};
    GDevRect rect;
    GDevUV uv;
    PlacePicture(in, &rect, &uv);
    EXPECT_EQ(Rect(rect), c.rect) << c.switchWord;
    EXPECT_EQ(uv.u0, c.width < 0 ? 1.0f : 0.0f);
    int32_t x, y, w, h;
    PlacementInverse(in, rect, &x, &y, &w, &h);
    EXPECT_EQ((std::vector<int32_t>{x, y, w, h}), (std::vector<int32_t>{c.x, c.y, std::abs(c.width), c.height}));
  }
  // Script values that overflow 32 bits are held to the range.
  PlacementInput huge{80, 16384, 16384, 800, 600, 2147483000, 0, 2147483647, 1024};
  GDevRect rect;
  GDevUV uv;
  PlacePicture(huge, &rect, &uv);
  EXPECT_EQ(rect.x1, 2147483647);
  // A source rectangle gives its share of the picture.
  PlacePicture(PlacementInput{80, 200, 100, 800, 600, 0, 0, 1024, 1024, 50, 25, 100, 50}, &rect, &uv);
  EXPECT_EQ((std::vector<float>{uv.u0, uv.v0, uv.u1, uv.v1}), (std::vector<float>{0.25f, 0.25f, 0.75f, 0.75f}));
}

class LayerComponentTest : public ::testing::Test {
 protected:
  LayerComponentTest() : previous_(SetTimerManager(&clock_)) { clock_.dispatch(); }
  ~LayerComponentTest() override {
    layer_.reset();
    SetTimerManager(previous_);
  }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }

  ManualClock clock_;
  TimerManager* previous_;
  std::unique_ptr<XG_Layer> layer_ = std::make_unique<XG_Layer>(800, 600);
};

TEST_F(LayerComponentTest, HandlesOrdersAndSorting) {
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 5, 0, 0), 0);
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 3, 0, 0), 1);
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 9, 0, 0), 2);
  layer_->removeNode(2);
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 9, 0, 0), 2);
  layer_->removeNode(1);
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 3, 0, 0), 3);  // highest in use + 1
  EXPECT_EQ(layer_->node(0)->width(), 800);

  LogCapture log;
  EXPECT_FALSE(layer_->setOrder(3, 5));
  EXPECT_TRUE(log.contains("setOrder:オーダ番号が重複しています(5)\n"));
  log.clear();
  EXPECT_TRUE(layer_->setOrder(0, 5));
  EXPECT_TRUE(log.lines().empty()) << log.all();

  // An empty group sorts after every order below 1073741824; a group with
  // children takes the smallest of theirs.
  const int32_t empty = layer_->createNode(XGLayer::kGroup, -1, 0, 0);
  const int32_t group = layer_->createNode(XGLayer::kGroup, -1, 0, 0);
  const int32_t member = layer_->createNode(XGLayer::kPicture, 7, 0, 0);
  const int32_t late = layer_->createNode(XGLayer::kPicture, 2000000000, 0, 0);
  layer_->attachToGroup(group, member);
  layer_->attachToGroup(group, member);
  EXPECT_TRUE(log.contains("冗長なaddChild\n"));
  EXPECT_FALSE(layer_->setOrder(group, 1));
  layer_->sort();
  std::vector<int32_t> order;
  for (const GUIComponent* child : layer_->container()->children()) {
    order.push_back(static_cast<const XGLayer*>(child)->handle());
  }
  EXPECT_EQ(order, (std::vector<int32_t>{3, 0, group, 2, empty, late}));
  EXPECT_EQ(layer_->startTransition(42, 10, 100, 0, 0, std::array<int32_t, 8>{}.data()), -1);
  EXPECT_EQ(layer_->startTransition(0, 10, 100, 0, 7, std::array<int32_t, 8>{}.data()), -1);  // no rule 7

  layer_->reset();
  EXPECT_EQ(layer_->nodeCount(), 0u);
  EXPECT_EQ(layer_->createNode(XGLayer::kPicture, 0, 0, 0), 0);
}

TEST_F(LayerComponentTest, MotionsEaseToTheirTargetAndShakesAlternate) {
  const int32_t handle = layer_->createNode(XGLayer::kGroup, -1, 0, 0);
  XGLayer* node = layer_->node(handle);
  MotionParams record;
  record.mcA = 0;
  node->startMotion(0, 0, 0, record);
  record.mcA = 255;
  record.mcR = 100;
  node->startMotion(201, 1000, 1, record);
  advance(0);  // the start time is taken on this tick
  advance(500);
  EXPECT_FLOAT_EQ(node->drawState().main.a, 0.875f);  // 1 - (1 - 0.5)^3
  // A picture node's rectangle: 0 -> 100 at 0.5 with ease-out is 88.
  const int32_t picture = layer_->createNode(XGLayer::kPicture, 1, 0, 0);
  XGLayer* moving = layer_->node(picture);
  MotionParams to;
  to.ix = 100;
  moving->startMotion(201, 1000, 1, to);
  advance(0);
  advance(500);
  EXPECT_EQ(moving->drawState().main.x0, 88);
  node->stopAnimator();
  EXPECT_FLOAT_EQ(node->drawState().main.a, 1.0f);  // a motion stops at its target
  advance(600);
  EXPECT_EQ(moving->drawState().main.x0, 100);
  EXPECT_FALSE(moving->isAnimating());
  to.ix = 300;
  moving->startMotion(201, 0, 0, to);  // no duration: there at once
  EXPECT_EQ(moving->drawState().main.x0, 300);

  const std::array<int32_t, 8> shake{6, 1};
  moving->startEffect(101, 200, 0, shake.data());
  advance(0);
  for (int32_t ms = 0; ms < 200; ms += 20) {
    const int32_t dx = (ms / 40) % 2 ? 1 : -1;
    EXPECT_EQ(Rect(moving->drawState().main), (std::vector<int32_t>{300 + dx, 0, 301 + dx, 1})) << ms;
    advance(20);
  }
  EXPECT_EQ(Rect(moving->drawState().main), (std::vector<int32_t>{300, 0, 301, 1}));
  // Frames dropped between steps: the next step still takes the other
  // side, 40 ms after the step taken (at 85, not at 80 on a fixed grid).
  const std::array<int32_t, 8> wide{6, 10};
  moving->startEffect(101, 400, 0, wide.data());
  std::vector<int32_t> sides;
  for (int32_t ms : {0, 45, 37, 3, 40}) {
    advance(ms);
    sides.push_back(moving->drawState().main.x0 - 300);
  }
  EXPECT_EQ(sides, (std::vector<int32_t>{-10, 6, 6, -4, 3}));
  moving->stopAnimator();

  // Other motion kinds hold where they started and go back there.
  to.ix = 500;
  for (int32_t kind : {100, 5}) {
    moving->startMotion(kind, 200, 0, to);
    advance(0);
    advance(100);
    EXPECT_EQ(moving->drawState().main.x0, 300) << kind;
    moving->stopAnimator();
    EXPECT_EQ(moving->drawState().main.x0, 300) << kind;
  }
  // A picture set afterwards is placed there too, not at the held motion's record.
  moving->setPicture(XGLayer::kMain, nullptr);
  EXPECT_EQ(moving->drawState().main.x0, 300);

  // A direction off the keypad holds still.
  const std::array<int32_t, 8> still{5, 10};
  moving->startEffect(101, 200, 0, still.data());
  advance(0);
  advance(10);
  EXPECT_EQ(moving->drawState().main.x0, 300);
}

}  // namespace
