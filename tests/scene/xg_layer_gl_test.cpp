// The script layers drawn by the real device under the offscreen driver,
// driven by the scene commands and read back: placement, tint and mask, an
// offscreen group, cross-fade and rule transitions, flattening and the VRAM
// copy. Skips only where no OpenGL context exists.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/input_target.h"
#include "app/main_window.h"
#include "gdev/glyph_renderer.h"
#include "gdev/image_file.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "scene/gui_root.h"
#include "scene/input_routing.h"
#include "scene/motion_params.h"
#include "scene/scene_facade.h"
#include "scene/scene_impl.h"
#include "scene/scene_setup.h"
#include "scene/xg_layer.h"
#include "tests/support/test_support.h"

namespace {

constexpr std::array<int32_t, 8> kNoValues{};

class LayerDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (!OpenGLContextAvailable(&why)) GTEST_SKIP() << "no OpenGL context: " << why;
    previous_ = SetTimerManager(&clock_);
    if (sample_) {
      const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
      cwd_ = std::make_unique<ScopedCurrentDir>(folder);
      sampleEnv_ = std::make_unique<GameEnvironment>(platform::FromUtf8(folder.string()),
                                                     std::vector<std::u16string>{u"."}, std::vector<std::u16string>{});
      ASSERT_TRUE(sampleEnv_->init(u"game.scm"));
    }
    ASSERT_TRUE(sceneInit(sample_ ? sampleEnv_.get() : &env_));
    layer_ = GetGlobalScene()->getLayer();
  }
  void TearDown() override {
    if (!layer_) return;
    sceneRelease();
    DestroyMainWindow();
    GetFontRendererTable().clear();
    SetTimerManager(previous_);
    GetTextureManager().finalize();
  }
  // A picture file of w x h pixels from a function of x giving B, G, R, A.
  int32_t picture(int32_t number, int32_t w, int32_t h, std::vector<uint8_t> (*color)(int32_t x, int32_t w)) {
    std::vector<uint8_t> bytes;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const std::vector<uint8_t> c = color(x, w);
        bytes.insert(bytes.end(), c.begin(), c.end());
      }
    }
    const std::u16string name = platform::FromUtf8((temp_.path() / (std::to_string(number) + ".png")).string());
    EXPECT_EQ(SaveImageFile(name, RGBAImageRef(RGBAImage(0, w, h, bytes)), true, false), 0);
    EXPECT_TRUE(sceneLayer_loadPicture(number, 1, APValue(name), 0));
    return number;
  }
  int32_t node(int32_t mode, int32_t order, int32_t picture = -1) {
    int32_t handle = -1;
    EXPECT_TRUE(sceneLayer_createNode(&handle, mode, order, 0, 0));
    if (picture >= 0) sceneLayer_setPicture(handle, 1, picture);
    sceneLayer_motion(handle, 0, 0, 0, MotionParams());
    return handle;
  }
  void advance(int32_t ms) {
    clock_.ms += ms;
    clock_.dispatch();
  }
  // What the layers show, as the frame draws them.
  RGBAImageRef screen() {
    ZEPTextureRef target;
    RGBAImageRef image;
    EXPECT_EQ(GetTextureManager().createBlank(target, layer_->width(), layer_->height(), 1, 3), 0);
    layer_->prepareDraw(0);
    EXPECT_TRUE(RenderToTexture(layer_, &target, true, &image, 0));
    return image;
  }
  static std::vector<int> At(const RGBAImageRef& image, int32_t x, int32_t y) {
    const uint8_t* p = image->pixel(x, y);
    return {p[2], p[1], p[0], p[3]};  // R, G, B, A
  }

  bool sample_ = false;  // the sample game's folder and configuration
  std::unique_ptr<ScopedCurrentDir> cwd_;
  std::unique_ptr<GameEnvironment> sampleEnv_;
  ManualClock clock_;
  TimerManager* previous_ = nullptr;
  GameEnvironment env_{u"/game", {}, {}};
  TempDir temp_;
  XG_Layer* layer_ = nullptr;
};

std::vector<uint8_t> White(int32_t, int32_t) { return {255, 255, 255, 255}; }
std::vector<uint8_t> Red(int32_t, int32_t) { return {0, 0, 255, 255}; }
std::vector<uint8_t> Blue(int32_t, int32_t) { return {255, 0, 0, 255}; }
std::vector<uint8_t> LeftHalf(int32_t x, int32_t w) { return {255, 255, 255, uint8_t(x < w / 2 ? 255 : 0)}; }
std::vector<uint8_t> Ramp(int32_t x, int32_t w) {
  const uint8_t g = static_cast<uint8_t>(x * 255 / (w - 1));
  return {g, g, g, 255};
}

TEST_F(LayerDrawingTest, PlacementTintMaskAndAnOffscreenGroup) {
  const int32_t white = picture(1, 100, 50, White);
  const int32_t mask = picture(2, 8, 1, LeftHalf);
  const int32_t shown = node(XGLayer::kPicture, 10, white);
  sceneLayer_setPicture(shown, 2, mask);
  MotionParams record;
  record.ix = 200;
  record.iy = 100;
  record.mcG = 128;
  record.mcB = 0;
  record.maskSystem = 2;  // the mask covers the picture
  sceneLayer_motion(shown, 0, 0, 0, record);
  RGBAImageRef image = screen();
  EXPECT_EQ(At(image, 205, 125), (std::vector<int>{255, 128, 0, 255}));
  EXPECT_EQ(At(image, 295, 125)[3], 0);  // masked away
  EXPECT_EQ(At(image, 199, 125)[3], 0);  // outside the placement
  EXPECT_EQ(At(image, 205, 150)[3], 0);
  GDevRect extent;
  ASSERT_TRUE(sceneLayer_placementExtent(&extent, white, record));
  EXPECT_EQ((std::vector<int32_t>{extent.x0, extent.y0, extent.x1, extent.y1}),
            (std::vector<int32_t>{200, 100, 300, 150}));

  // Blue below; a red member of a group at half opacity over it.
  sceneLayer_removeNode(shown);
  node(XGLayer::kPicture, 1, picture(3, 800, 600, Blue));
  const int32_t group = node(XGLayer::kGroup, -1);
  const int32_t member = node(XGLayer::kPicture, 5, picture(4, 800, 600, Red));
  sceneLayer_attachToGroup(group, member);
  MotionParams half;
  half.mcA = 128;
  sceneLayer_motion(group, 0, 0, 0, half);
  advance(16);
  const std::vector<int> mixed = At(screen(), 400, 300);
  EXPECT_NEAR(mixed[0], 128, 1);
  EXPECT_NEAR(mixed[2], 127, 1);
  EXPECT_EQ(mixed[3], 255);
}

TEST_F(LayerDrawingTest, TransitionsFlatteningAndTheVramCopy) {
  const int32_t red = picture(1, 800, 600, Red);
  const int32_t blue = picture(2, 800, 600, Blue);
  const int32_t rule = picture(3, 256, 1, Ramp);
  const int32_t shown = node(XGLayer::kPicture, 1, red);
  int32_t started = 0;
  for (int32_t kind : {10, 12, 20}) {
    sceneLayer_setPicture(shown, 1, red);
    ASSERT_TRUE(sceneLayer_capture(-1, -2, 0, 0, nullptr));
    sceneLayer_setPicture(shown, 1, blue);
    ASSERT_TRUE(sceneLayer_capture(-1, -3, 0, 0, nullptr));
    sceneLayer_startTransition(-1, kind, 1000, 0, kind == 12 ? rule : 0, kNoValues, &started);
    EXPECT_EQ(started, 1);
    advance(0);
    advance(500);
    const RGBAImageRef image = screen();
    if (kind == 10) {
      const std::vector<int> mid = At(image, 400, 300);
      EXPECT_TRUE(mid[0] == 127 || mid[0] == 128) << mid[0];
      EXPECT_EQ(mid[1], 0);
      EXPECT_TRUE(mid[2] == 127 || mid[2] == 128) << mid[2];
    } else {  // the rule's dark half, or the after image pushed in half way from the left
      EXPECT_EQ(At(image, 100, 300), (std::vector<int>{0, 0, 255, 255})) << kind;  // after: blue
      EXPECT_EQ(At(image, 700, 300), (std::vector<int>{255, 0, 0, 255})) << kind;  // before: red
    }
    advance(600);
    EXPECT_EQ(layer_->container()->transitionState(), XGLayer::kShown);
  }
  // Kind 13 (no device support), an unknown kind, or no duration: at once.
  for (auto [kind, duration] : {std::pair{13, 1000}, {99, 1000}, {10, 0}}) {
    sceneLayer_startTransition(-1, kind, duration, 0, 0, kNoValues, &started);
    EXPECT_EQ(started, 0);
    EXPECT_EQ(layer_->container()->transitionState(), XGLayer::kShown);
  }

  // Flattening a node gives what the screen shows of it.
  MotionParams small;
  small.ix = 30;
  small.iw = 128;
  small.ih = 128;
  sceneLayer_motion(shown, 0, 0, 0, small);
  RGBAImageRef flat;
  ASSERT_TRUE(sceneLayer_capture(shown, -4, 0, 0, &flat));
  const RGBAImageRef image = screen();
  ASSERT_EQ(flat->pixels.size(), image->pixels.size());
  EXPECT_TRUE(flat->pixels == image->pixels);
  EXPECT_EQ(At(flat, 31, 10), (std::vector<int>{0, 0, 255, 255}));

  // The VRAM copy puts the source's look into the target's picture.
  const int32_t vram = node(XGLayer::kVram, 0);
  int32_t copied = 0;
  sceneLayer_vramCopy(vram, shown, &copied);
  EXPECT_EQ(copied, 1);
  RGBAImageRef pixels;
  ASSERT_TRUE(sceneLayer_vramRecordOp(vram, &pixels));
  EXPECT_EQ(At(pixels, 31, 10), (std::vector<int>{0, 0, 255, 255}));
  EXPECT_EQ(At(pixels, 10, 10)[3], 0);
  LogCapture log;
  sceneLayer_vramCopy(shown, vram, &copied);
  EXPECT_EQ(copied, -1);
  EXPECT_TRUE(log.contains("ターゲットがVRAMでない\n"));
}

class SampleLayerTest : public LayerDrawingTest {
 protected:
  SampleLayerTest() { sample_ = true; }
};

// The sample game's stream animation, picture mask and touch-map mask.
TEST_F(SampleLayerTest, TheSampleAnimationPlaysAndItsMasksShapePicturesAndAreas) {
  ASSERT_TRUE(sceneLayer_loadPicture(1, 2, APValue(1), 0));  // anime/anim01
  {
    LogCapture log;
    EXPECT_FALSE(sceneLayer_loadPicture(5, 2, APValue(9), 0));
    EXPECT_TRUE(log.contains("url(anime/anim09)からのロードに失敗\n")) << log.all();
  }
  const int32_t spinner = node(XGLayer::kPicture, 1, 1);
  advance(0);  // playback starts on this tick
  const RGBAImageRef first = screen();
  XGLayer* spinning = layer_->node(spinner);
  // 120, 0, 80, 100, 120, 0, 80, 100 ms, looping from frame 2 (at 120 ms).
  for (auto [ms, frame] : {std::pair{130, 2}, {469, 7}, {51, 2}, {40, 3}}) {
    advance(ms);
    EXPECT_EQ(spinning->currentFrame(1), frame);
  }
  EXPECT_FALSE(first->pixels == screen()->pixels);
  sceneLayer_removeNode(spinner);

  // The soft-edge mask: the left half whole, the right fading out.
  ASSERT_TRUE(sceneLayer_loadPicture(2, 1, APValue(std::u16string(u"image/bg001.png")), 0));
  ASSERT_TRUE(sceneLayer_loadPicture(3, 1, APValue(std::u16string(u"mask/soft_edge.png")), 0));
  const int32_t masked = node(XGLayer::kPicture, 2, 2);
  sceneLayer_setPicture(masked, 2, 3);
  MotionParams covered;
  covered.maskSystem = 2;
  sceneLayer_motion(masked, 0, 0, 0, covered);
  const RGBAImageRef image = screen();
  EXPECT_EQ(At(image, 100, 300)[3], 255);
  EXPECT_NEAR(At(image, 600, 300)[3], 127, 3);
  EXPECT_LE(At(image, 798, 300)[3], 2);

  // A MOUSE node over the touch-map mask: red bytes 1, 2 and 3 are areas.
  int32_t mouse = -1;
  sceneLayer_createNode(&mouse, XGLayer::kMouse, 3, 0, 0);
  XGChipConfig::TouchmapConfig map;
  XGChipConfig::TouchmapArea area;
  area.shape = XGChipConfig::TouchmapArea::kImage;
  area.imagePath = u"mask/hit_areas.png";
  area.channel = 2;
  map.areas = {area};
  sceneLayer_setHitTestMap(mouse, &map);
  sceneLayer_setItemEventNumber(mouse, 1, 100);
  GetEventQueue().takeAll();
  GUIComponent* root = GetGlobalScene()->getRoot();
  for (auto [x, y] : {std::pair{400, 450}, {400, 100}}) RouteMouseEvent(root, MouseEvent(x, y, MouseEvent::kMove, 0, 0, 0));
  std::vector<std::u16string> posted;
  for (const auto& e : GetEventQueue().takeAll()) {
    if (const AppEvent* app = EventAs<AppEvent>(e.get()); app && app->code == 44) posted.push_back(app->text);
  }
  EXPECT_EQ(posted, (std::vector<std::u16string>{u"102", u"103"}));
  SetHoveredComponent(nullptr);
}

}  // namespace
