// The layer-graphics built-ins over the real scene's layer component and
// the game state's layer table: the checks made before the table is asked,
// the timed built-ins' waits and skip rules with their finalizers, the
// whole-screen targets, and what the arguments become on the way (clamped
// colours, the release range, the packed pointer position).
#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "app/event.h"
#include "scene/layer_table.h"
#include "scene/scene_impl.h"
#include "scene/xg_layer.h"
#include "tests/userfunc/userfunc_fixture.h"

namespace {

class LayerBuiltinTest : public UserfuncTest {
 protected:
  LayerBuiltinTest() : previous_(SetSceneFacade(&screen)) { userMode(); }
  ~LayerBuiltinTest() override { SetSceneFacade(previous_); }

  LayerEntry* layer(int32_t n) { return state.layerTable().findLayer(n); }
  XGLayer* nodeOf(int32_t n) { return screen.getLayer()->node(layer(n)->node); }
  static std::pair<int32_t, int32_t> kindValue(const std::unique_ptr<UFResult>& r) { return {r->kind, r->value}; }

  SceneImpl screen{64, 48};
  SceneFacade* previous_;
};

constexpr std::pair<int32_t, int32_t> kZero{UFResult::kValue, 0};
constexpr std::pair<int32_t, int32_t> kFailed{UFResult::kValue, -1};

TEST_F(LayerBuiltinTest, ConfigureAndInitPictureCheckTheirArgumentsFirst) {
  LogCapture log;
  for (int32_t mode : {0, 4}) {
    EXPECT_EQ(kindValue(call(1000, 1, mode, 0, 0)), kFailed);
    EXPECT_TRUE(log.contains("gl_configure:無効なモード値です(" + std::to_string(mode) + ")")) << log.all();
  }
  EXPECT_EQ(layer(1), nullptr);
  EXPECT_EQ(kindValue(call(1000, 1, 1, 0, 0)), kZero);
  EXPECT_EQ(kindValue(call(1000, 1, 2, 0, 0)), kFailed);  // the table's refusal is the answer
  EXPECT_EQ(layer(1)->mode, 1);

  log.clear();
  EXPECT_EQ(kindValue(call(1008, 1, 5, true, 1, 1)), kFailed);
  EXPECT_EQ(kindValue(call(1008, 1, 5, u"bg", 3, 1)), kFailed);
  EXPECT_EQ(kindValue(call(1008, 1, 5, u"bg", 1, 0)), kFailed);
  EXPECT_TRUE(log.contains("gl_init_picture:画像番号は数値か文字列")) << log.all();
  EXPECT_TRUE(log.contains("gl_init_picture:リソースタイプが変(3)")) << log.all();
  EXPECT_TRUE(log.contains("gl_init_picture:リソースNUMSELが変(0)")) << log.all();
  // A picture that does not load is not marked seen.
  EXPECT_EQ(kindValue(call(1008, 1, 5, 7, 1, 1)), kFailed);
  EXPECT_EQ(state.isViewFlagSet(1, 7), 0);
  EXPECT_EQ(state.layerTable().findPicture(5), nullptr);

  log.clear();
  EXPECT_EQ(kindValue(call(1009, 5)), kFailed);
  EXPECT_EQ(kindValue(call(1014, 2, 5)), kFailed);
  EXPECT_TRUE(log.contains("gl_delete_picture:未使用のピクチャ番号(5)")) << log.all();
  EXPECT_TRUE(log.contains("gl_delete_all_picture:未定義のレイヤ(2, 5)")) << log.all();
}

TEST_F(LayerBuiltinTest, TransitAndEffectWaitOrChangeAtOnceOnTheWholeScreen) {
  XGLayer* container = screen.getLayer()->container();
  // No layers are configured: kind 1, number -1 is the screen itself.
  EXPECT_EQ(kindValue(call(1007, 1, -1, 0, 500, 1)), kZero);
  std::unique_ptr<UFResult> wait = call(1007, 1, -1, 10, 500, 1);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  EXPECT_EQ(container->transitionState(), XGLayer::kRunning);
  EXPECT_EQ(feedCode(*wait, VMEvent{16, {}, 0, 0})->value, 0);  // the finalizer ends it
  EXPECT_EQ(container->transitionState(), XGLayer::kShown);

  EXPECT_EQ(call(1013, 3, 1, -1, 1, 500, 1)->kind, UFResult::kWait);
  EXPECT_EQ(kindValue(call(1006, 1, 1, -1, 1, 500, 1)), kFailed);  // motion has no screen target
  EXPECT_EQ(kindValue(call(1007, 1, 9, 10, 500, 1)), kFailed);

  // Under message skip a mode-1 call changes at once; a call without a
  // transition lets a frame pass.
  state.setSkipping(1);
  EXPECT_EQ(kindValue(call(1007, 1, -1, 10, 500, 1)), kZero);
  EXPECT_EQ(container->transitionState(), XGLayer::kShown);
  EXPECT_EQ(call(1007, 1, -1, 0, 500, 1)->kind, UFResult::kValueThenYield);
  EXPECT_EQ(kindValue(call(1013, 3, 1, -1, 1, 500, 1)), kZero);
  EXPECT_TRUE(state.isSkipping());
}

TEST_F(LayerBuiltinTest, MotionRecordIsClampedAndItsFinalizerStopsTheRunningMotion) {
  ASSERT_EQ(kindValue(call(1000, 1, 1, 0, 0)), kZero);
  // selector, kind, number, motion, time, mode, parameter, mask (colour),
  // then 19 placement values and the colour r, g, b, a.
  std::unique_ptr<UFResult> wait = call(1006, 1, 1, 1, 201, 500, 1, 0, 0x800, 80, 0, 0, 1024, 1024, -1, 0, 0, 0, 0, 80,
                                        0, 0, 1024, 1024, -1, 0, 0, 0, 300, -5, 128, 255);
  ASSERT_EQ(wait->kind, UFResult::kWait);
  ASSERT_EQ(layer(1)->queue.size(), 1u);
  EXPECT_EQ(kindValue(call(1001, 1, 1)), kZero);  // the commit before the frame starts it
  const MotionParams& p = layer(1)->motionParams;
  EXPECT_EQ((std::array<int32_t, 4>{p.mcR, p.mcG, p.mcB, p.mcA}), (std::array<int32_t, 4>{255, 0, 128, 255}));
  EXPECT_TRUE(nodeOf(1)->isAnimating());
  // A second motion waits in the queue for the next commit.
  call(1006, 1, 1, 1, 201, 500, 1, 0, 0x2, 80, 40, 0, 1024, 1024, -1, 0, 0, 0, 0, 80, 0, 0, 1024, 1024, -1, 0, 0, 0,
       255, 255, 255, 255);
  ASSERT_EQ(layer(1)->queue.size(), 1u);
  // The wait cut short: the running motion is at its end at once; the
  // queued one is left as it is and starts with the commit.
  EXPECT_EQ(feedCode(*wait, VMEvent{16, {}, 0, 0})->value, 0);
  EXPECT_FALSE(nodeOf(1)->isAnimating());
  EXPECT_FLOAT_EQ(nodeOf(1)->drawState().main.b, 128.0f / 255.0f);
  EXPECT_EQ(nodeOf(1)->drawState().main.x0, 0);
  EXPECT_EQ(layer(1)->queue.size(), 1u);
  EXPECT_EQ(kindValue(call(1001, 1, 1)), kZero);
  EXPECT_TRUE(nodeOf(1)->isAnimating());
}

TEST_F(LayerBuiltinTest, VramClearPassesClampedComponents) {
  ASSERT_EQ(kindValue(call(1000, 2, 2, 64, 48)), kZero);
  EXPECT_EQ(kindValue(call(1030, 1, 2, 300, -5, 128, 255)), kZero);
  EXPECT_EQ(kindValue(call(1001, 1, 2)), kZero);
  ASSERT_TRUE(layer(2)->vramImage);
  const uint8_t* px = layer(2)->vramImage->pixel(0, 0);  // blue, green, red, alpha
  EXPECT_EQ((std::array<uint8_t, 4>{px[0], px[1], px[2], px[3]}), (std::array<uint8_t, 4>{128, 0, 255, 255}));
}

TEST_F(LayerBuiltinTest, ReleaseRangeFallsBackToTheFirstLayer) {
  for (int32_t n : {1, 2, 3}) ASSERT_EQ(kindValue(call(1000, n, 1, 0, 0)), kZero);
  EXPECT_EQ(kindValue(call(1018, 1, 0)), kZero);
  EXPECT_EQ(kindValue(call(1018, 3, 2)), kZero);  // below first
  EXPECT_EQ(layer(1), nullptr);
  EXPECT_NE(layer(2), nullptr);
  EXPECT_EQ(layer(3), nullptr);
  EXPECT_EQ(kindValue(call(1018, 0, 2147483647)), kZero);
  EXPECT_TRUE(state.layerTable().layers.empty());
}

TEST_F(LayerBuiltinTest, LastMousePositionPacksBothHalves) {
  ASSERT_EQ(kindValue(call(1000, 3, 3, 0, 0)), kZero);
  ASSERT_EQ(kindValue(call(1000, 4, 1, 0, 0)), kZero);
  nodeOf(3)->onMouseMove(MouseEvent(3, 5, MouseEvent::kMove, MouseEvent::kNone, 0, 0));
  EXPECT_EQ(kindValue(call(1045, 1, 3, 0)), std::make_pair(int32_t{UFResult::kValue}, 196613));
  nodeOf(3)->onMouseMove(MouseEvent(3, -5, MouseEvent::kMove, MouseEvent::kNone, 0, 0));
  EXPECT_EQ(call(1045, 1, 3, 0)->value, 3 * 65536 + 0xFFFB);  // a negative y is not the failure answer
  EXPECT_EQ(call(1045, 1, 4, 0)->value, -1);                   // not a MOUSE layer
  EXPECT_EQ(call(1045, 1, 9, 0)->value, -1);
  // A MOUSE layer with no node on the screen still answers.
  state.layerTable().bindToScreen(false);
  EXPECT_EQ(kindValue(call(1045, 1, 3, 0)), std::make_pair(int32_t{UFResult::kValue}, 0));
}

}  // namespace
