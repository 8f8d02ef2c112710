// The layer table through the StateMgr's gl operations, over a layer
// component without a device: the run-mode rule and refusals, groups,
// queued commands and commits, the group motion, and copies that leave the
// screen alone.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <tuple>
#include <vector>

#include "gamestate/state_mgr.h"
#include "scene/render_commands.h"
#include "scene/scene_facade.h"
#include "scene/xg_layer.h"
#include "tests/support/test_support.h"

namespace {

class LayerScene : public SceneFacade {
 public:
  bool msgIsTextDisplaying() override { return false; }
  void msgFinishText() override {}
  void msgSetKeyWaitIcon(int32_t) override {}
  void msgSetPosition(int32_t, int32_t, int32_t) override {}
  void fgFinishCellEffect(int32_t) override {}
  void setAppEventEnabled(int32_t, bool) override {}
  bool faderIsFading(int32_t, int32_t*) override { return false; }
  XG_Layer* layerComponent() override { return &layer; }

  XG_Layer layer{800, 600};
};

class LayerTableTest : public ::testing::Test {
 protected:
  LayerTableTest() : previous_(SetSceneFacade(&scene_)) { state_.setMode(StateMgr::kUserMode); }
  ~LayerTableTest() override { SetSceneFacade(previous_); }

  // A picture layer showing a one-pixel picture placed in pixels.
  void pictureLayer(int32_t layer, int32_t x, int32_t y, int32_t w, int32_t h) {
    ASSERT_TRUE(state_.gl_configure(layer, 1, 0, 0));
    ASSERT_TRUE(state_.gl_init_picture(layer, layer, APValue(std::u16string(u"#255,0,0")), 1, 1));
    ASSERT_TRUE(state_.gl_single_change_picture(layer, layer));
    MotionParams record;
    record.mainSwitch = 0;
    std::tie(record.ix, record.iy, record.iw, record.ih) = std::tie(x, y, w, h);
    ASSERT_TRUE(state_.gl_motion(1, layer, 0, 0, 0, 0xFFF, record));
    ASSERT_TRUE(state_.gl_commit(layer));
  }
  XGLayer* node(int32_t layer) { return scene_.layer.node(table().findLayer(layer)->node); }
  LayerTable& table() { return state_.layerTable(); }
  static std::vector<int32_t> Rect(const XGLayer* n) {
    const PlaneState& p = n->drawState().main;
    return {p.x0, p.y0, p.x1, p.y1};
  }

  LayerScene scene_;
  SceneFacade* previous_;
  StateMgr state_{nullptr, nullptr};
};

TEST_F(LayerTableTest, SystemModeRefusalsAndTheLayerLifecycle) {
  LogCapture log;
  state_.setMode(StateMgr::kSystemMode);
  EXPECT_TRUE(state_.gl_configure(1, 1, 0, 0));
  EXPECT_TRUE(state_.gl_commit(9));
  EXPECT_TRUE(state_.gl_single_link(1, 2));
  EXPECT_TRUE(table().layers.empty());
  EXPECT_TRUE(log.lines().empty()) << log.all();
  state_.setMode(StateMgr::kUserMode);

  EXPECT_FALSE(state_.gl_commit(9));
  EXPECT_TRUE(log.contains("gl_commit:不在レイヤ(9)\n"));
  ASSERT_TRUE(state_.gl_configure(1, 1, 0, 0));
  EXPECT_FALSE(state_.gl_configure(1, 2, 0, 0));
  EXPECT_TRUE(log.contains("gl_configure:使用中のレイヤは再度設定できません(1)\n"));
  EXPECT_EQ(table().findLayer(1)->mode, 1);
  for (int32_t n = 2; n <= 4; ++n) ASSERT_TRUE(state_.gl_configure(n, 1, 0, 0));
  EXPECT_EQ(scene_.layer.nodeCount(), 4u);

  // A picture of layer 1 is not layer 2's.
  ASSERT_TRUE(state_.gl_init_picture(1, 10, APValue(std::u16string(u"#1,2,3")), 1, 1));
  EXPECT_FALSE(state_.gl_single_change_picture(2, 10));
  EXPECT_FALSE(state_.gl_maskpicture(1, 2, 10, 1));
  EXPECT_TRUE(log.contains("gl_maskpicture:このレイヤではそのピクチャは定義されていません(L:2,P:10)\n"));
  EXPECT_EQ(state_.resolveLayer(2, 10), 1);

  // Groups: a new one, a join, a link inside one group, a merge.
  ASSERT_TRUE(state_.gl_single_link(1, 2));
  ASSERT_TRUE(state_.gl_single_link(3, 4));
  const int32_t a = table().findLayer(1)->groupNo;
  const int32_t b = table().findLayer(3)->groupNo;
  EXPECT_NE(a, b);
  ASSERT_TRUE(state_.gl_single_link(1, 2));
  EXPECT_EQ(table().findGroup(a)->members, (std::vector<int32_t>{1, 2}));
  ASSERT_TRUE(state_.gl_single_link(2, 4));
  for (int32_t n = 1; n <= 4; ++n) EXPECT_EQ(table().findLayer(n)->groupNo, a) << n;
  EXPECT_EQ(table().findGroup(b), nullptr);
  EXPECT_TRUE(state_.gl_single_link(1, 1));

  // Releasing: an empty range does nothing; the last member takes its group.
  EXPECT_TRUE(state_.gl_release_layers(5, 3));
  EXPECT_EQ(table().layers.size(), 4u);
  EXPECT_TRUE(state_.gl_release_layers(0, 2147483647));
  EXPECT_TRUE(table().layers.empty() && table().groups.empty());
  EXPECT_EQ(scene_.layer.nodeCount(), 0u);
}

TEST_F(LayerTableTest, QueuedCommandsWaitForTheirCommitAndGroupMotionScalesMembers) {
  pictureLayer(1, 0, 0, 100, 100);
  pictureLayer(2, 100, 50, 50, 50);
  ASSERT_TRUE(state_.gl_single_link(1, 2));
  // A layer command of a grouped layer waits in the group's queue.
  ASSERT_TRUE(state_.gl_visible(1, 2, false));
  ASSERT_TRUE(state_.gl_visible(2, 2, false));
  LayerEntry& second = *table().findLayer(2);
  EXPECT_TRUE(second.queue.empty());
  table().commitLayer(second);
  EXPECT_TRUE(node(2)->isVisible());
  ASSERT_TRUE(state_.gl_visible(1, 2, true));  // after the group's own: wins
  state_.commitAllLayers();
  EXPECT_TRUE(node(2)->isVisible());
  const GroupEntry& group = *table().groupOf(second);
  EXPECT_FALSE(group.visible);
  EXPECT_FALSE(scene_.layer.node(group.node)->isVisible());

  // A stream-animation control for a picture the layer does not show.
  ASSERT_TRUE(state_.gl_init_picture(2, 20, APValue(std::u16string(u"#0,0,255")), 1, 1));
  ASSERT_TRUE(state_.gl_sa_ctrl(1, 2, 20, 3));
  state_.commitAllLayers();
  EXPECT_EQ(second.mainSACtrl, -1);
  EXPECT_EQ(second.maskSACtrl, -1);

  // Layer 1 doubles and moves by (10, 20): layer 2 follows it.
  MotionParams record;
  std::tie(record.ix, record.iy, record.iw, record.ih) = std::make_tuple(10, 20, 200, 200);
  record.mcA = 128;
  ASSERT_TRUE(state_.gl_motion(2, 1, 0, 0, 0, 0x6 | 0x800, record));
  state_.commitAllLayers();
  EXPECT_EQ(Rect(node(1)), (std::vector<int32_t>{10, 20, 210, 220}));
  EXPECT_EQ(Rect(node(2)), (std::vector<int32_t>{210, 120, 310, 220}));
  EXPECT_EQ(second.motionParams.ix, 210);
  EXPECT_EQ(table().findGroup(second.groupNo)->motionParams.mcA, 128);
  EXPECT_EQ(table().findGroup(second.groupNo)->motionParams.ix, 0);  // the group keeps its own place

  // A backup copy dropped, the screen keeps its nodes.
  state_.backup() = state_.current();
  const size_t nodes = scene_.layer.nodeCount();
  state_.backup().reset();
  EXPECT_EQ(scene_.layer.nodeCount(), nodes);
  state_.commitAllLayers();
  LayerTable empty;
  empty.commitAll();
  EXPECT_TRUE(empty.layers.empty());
}

}  // namespace
