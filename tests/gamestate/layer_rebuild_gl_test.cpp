// A layered screen written as layer state, the layers reset, the state read
// back and the screen rebuilt from it: the capture before and the capture
// after are the same pixels. The real device under the offscreen driver;
// skips only where no OpenGL context exists.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "gamestate/layer_state.h"
#include "gamestate/state_mgr.h"
#include "gdev/glyph_renderer.h"
#include "gdev/image_file.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"
#include "script/tokenizer.h"
#include "tests/support/test_support.h"

namespace {

TEST(LayerRebuild, WrittenStateReadBackDrawsTheSameScreen) {
  std::string why;
  if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
  ManualClock clock;
  TimerManager* previous = SetTimerManager(&clock);
  TempDir temp;
  const std::u16string folder = platform::FromUtf8(temp.path().string());
  GameEnvironment env(folder, {}, {});
  ASSERT_TRUE(sceneInit(&env));
  {
    StateMgr state(nullptr, &env);
    state.setMode(StateMgr::kUserMode);
    // A gradient background, a tinted half-size copy, and two sprites in a
    // group at half opacity.
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < 60; ++y) {
      for (int32_t x = 0; x < 80; ++x) {
        bytes.insert(bytes.end(), {uint8_t(x * 3), uint8_t(y * 4), 200, 255});
      }
    }
    const std::u16string picture = folder + u"/bg.png";
    ASSERT_EQ(SaveImageFile(picture, RGBAImageRef(RGBAImage(0, 80, 60, bytes)), true, false), 0);
    for (int32_t layer = 1; layer <= 4; ++layer) {
      ASSERT_TRUE(state.gl_configure(layer, 1, 0, 0));
      ASSERT_TRUE(state.gl_init_picture(layer, layer, APValue(picture), 1, 1));
      ASSERT_TRUE(state.gl_single_change_picture(layer, layer));
    }
    MotionParams record;
    record.iw = record.ih = 1024 * 10;  // the whole screen
    ASSERT_TRUE(state.gl_motion(1, 1, 0, 0, 0, 0x4, record));
    record.iw = record.ih = 1024 * 5;
    std::tie(record.ix, record.iy, record.mcG, record.mcA) = std::make_tuple(400, 300, 64, 200);
    ASSERT_TRUE(state.gl_motion(1, 2, 0, 0, 0, 0x806, record));
    ASSERT_TRUE(state.gl_single_link(3, 4));
    MotionParams sprite;
    std::tie(sprite.ix, sprite.iy) = std::make_tuple(100, 80);
    ASSERT_TRUE(state.gl_motion(1, 4, 0, 0, 0, 0x2, sprite));
    MotionParams half;
    half.mcA = 128;
    ASSERT_TRUE(state.gl_motion(2, 3, 0, 0, 0, 0x800, half));
    state.commitAllLayers();
    clock.ms += 16;
    clock.dispatch();
    ASSERT_TRUE(state.gl_capture(-1, APValue(std::u16string(u"before.png")), 1, 0, 0, 0));

    tokenizer::Tokenizer tk;
    const tokenizer::Cell* saved = LayerStateWriter(state.layerTable(), tk);
    ASSERT_TRUE(state.resetLayers());
    ASSERT_TRUE(state.gl_capture(-1, APValue(std::u16string(u"empty.png")), 1, 0, 0, 0));
    ASSERT_TRUE(LayerStateReader(state.layerTable(), saved));
    EXPECT_EQ(state.layerTable().findGroup(1)->members, (std::vector<int32_t>{3, 4}));
    state.layerTable().rebuildRenderSide();
    clock.ms += 16;
    clock.dispatch();
    ASSERT_TRUE(state.gl_capture(-1, APValue(std::u16string(u"after.png")), 1, 0, 0, 0));

    RGBAImageRef before, empty, after;
    int32_t w = 0, h = 0;
    ASSERT_EQ(LoadImageFile(folder + u"/before.png", &before, 0, &w, &h), 0);
    ASSERT_EQ(LoadImageFile(folder + u"/empty.png", &empty, 0, &w, &h), 0);
    ASSERT_EQ(LoadImageFile(folder + u"/after.png", &after, 0, &w, &h), 0);
    EXPECT_FALSE(before->pixels == empty->pixels);
    EXPECT_TRUE(before->pixels == after->pixels);
    // Layer 3 of the group, at half opacity over the background 10 times
    // its size: blue (30 + 3) / 2, green (40 + 4) / 2.
    const uint8_t* p = before->pixel(10, 10);
    EXPECT_NEAR(p[0], 16, 2);
    EXPECT_NEAR(p[1], 22, 2);
    EXPECT_EQ(p[3], 255);
  }
  sceneRelease();
  DestroyMainWindow();
  GetFontRendererTable().clear();
  GetTextureManager().finalize();
  SetTimerManager(previous);
}

}  // namespace
