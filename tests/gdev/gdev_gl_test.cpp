// The OpenGL device drawing into a hidden window: every check reads the
// pixels back (glReadPixels on the screen buffer, or a texture's read-back).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <thread>

#include "gdev/gl_shaders.h"
#include "gdev/image_ops.h"
#include "gdev/texture_manager.h"
#include "tests/gdev/gl_device_fixture.h"
#include "tests/support/test_support.h"

namespace {

const GDevUV kWhole{0, 0, 1, 1};

TEST_F(GLDeviceTest, ClearTruncatesTheColourAndStaysInsideTheViewport) {
  const float clear[4] = {0.5f, 0.25f, 1.0f, 1.0f};
  begin(nullptr, clear);
  // Truncated, not rounded: 127.5 -> 127 and 63.75 -> 63.
  EXPECT_EQ(at(0, 0), (Pixel{255, 63, 127, 255}));
  EXPECT_EQ(at(799, 599), (Pixel{255, 63, 127, 255}));

  const float red[4] = {1, 0, 0, 1};
  dev->clearRegion(GDEV_CLEAR_TARGET, 10, 20, 5, 4, red);
  EXPECT_EQ(at(10, 20), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(at(14, 23), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(at(15, 23), (Pixel{255, 63, 127, 255}));
  EXPECT_EQ(at(14, 24), (Pixel{255, 63, 127, 255}));
  // Without the target bit nothing is cleared.
  const float green[4] = {0, 1, 0, 1};
  dev->clearRegion(GDEV_CLEAR_DEPTH, 0, 0, 800, 600, green);
  EXPECT_EQ(at(0, 0), (Pixel{255, 63, 127, 255}));

  // A whole clear covers the viewport, a rectangle is cut to it.
  ASSERT_TRUE(dev->setViewport(100, 100, 50, 50));
  dev->clearRegion(GDEV_CLEAR_TARGET | GDEV_CLEAR_WHOLE, 0, 0, 1, 1, green);
  EXPECT_EQ(at(100, 100), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(at(149, 149), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(at(99, 100), (Pixel{255, 63, 127, 255}));
  EXPECT_EQ(at(150, 149), (Pixel{255, 63, 127, 255}));
  dev->clearRegion(GDEV_CLEAR_TARGET, 140, 140, 100, 100, red);
  EXPECT_EQ(at(149, 149), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(at(150, 150), (Pixel{255, 63, 127, 255}));
  EXPECT_TRUE(dev->impl_endScene(false, nullptr));
}

TEST_F(GLDeviceTest, ViewportClipsToTheCurrentTargetAndKeepsTheRequest) {
  // The screen buffer has the screen's own size.
  EXPECT_EQ(dev->screenBufferWidth(), 800);
  EXPECT_EQ(dev->screenBufferHeight(), 600);
  begin();
  ASSERT_TRUE(dev->setViewport(-10, 0, 100, 50));
  EXPECT_EQ(dev->viewport(), (GDevArea{-10, 0, 100, 50}));
  EXPECT_EQ(dev->clippedViewport(), (GDevArea{0, 0, 90, 50}));
  EXPECT_TRUE(dev->isViewportPartial());
  // Everything drawn lands inside the clipped rectangle.
  dev->setMatrixProj_Ortho2D(0, 0, 90, 50);
  const float white[4] = {1, 1, 1, 1};
  dev->fillRect({-1000, -1000, 1000, 1000}, white, GDEV_BLEND_COPY, 0);
  EXPECT_EQ(at(0, 0), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(89, 49), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(90, 10), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(at(10, 50), (Pixel{0, 0, 0, 255}));

  ASSERT_TRUE(dev->setViewport(0, 0, 800, 600));
  EXPECT_FALSE(dev->isViewportPartial());
  ASSERT_TRUE(dev->setViewport(700, 550, 200, 100));
  EXPECT_EQ(dev->clippedViewport(), (GDevArea{700, 550, 100, 50}));
  ASSERT_TRUE(dev->setViewport(900, -5, 10, 3));
  EXPECT_EQ(dev->clippedViewport(), (GDevArea{0, 0, 0, 0}));
  EXPECT_TRUE(dev->impl_endScene(false, nullptr));

  // A texture target clips to its own size, not the screen's.
  TestPixelSource& source = makeSource(64, 32);
  GDevTexture* target = texture(source);
  ASSERT_TRUE(dev->impl_beginScene(target));
  ASSERT_TRUE(dev->setViewport(0, 0, 800, 600));
  EXPECT_EQ(dev->clippedViewport(), (GDevArea{0, 0, 64, 32}));
  EXPECT_TRUE(dev->isViewportPartial());
  EXPECT_TRUE(dev->impl_endScene(false, nullptr));

  // A new window size goes through the reset path and makes a new screen buffer.
  ASSERT_TRUE(dev->setWindowSize(1280, 720, 1280, 720));
  EXPECT_EQ(dev->screenBufferWidth(), 1280);
  EXPECT_EQ(dev->screenBufferHeight(), 720);
  ASSERT_TRUE(dev->setViewport(-10, 0, 2000, 50));
  EXPECT_EQ(dev->clippedViewport(), (GDevArea{0, 0, 1280, 50}));
  EXPECT_FALSE(dev->setWindowSize(0, 600, 800, 600));
  EXPECT_EQ(dev->backBufferWidth(), 1280);
}

// The blend equation of each mode, in the device's own byte terms.
struct BlendCase {
  int32_t blend;
  int32_t alphaBlend;
  int32_t channelMode;
  int32_t premultiplied;
  Pixel expected;
};

TEST_F(GLDeviceTest, EachBlendModeOnKnownPixels) {
  // Destination (0.2, 0.4, 0.6, 0.5) is the bytes R 51, G 102, B 153, A 127;
  // the source (0.8, 0.6, 0.4, 0.5) is R 204, G 153, B 102, A 127.
  const float dst[4] = {0.2f, 0.4f, 0.6f, 0.5f};
  const float src[4] = {0.8f, 0.6f, 0.4f, 0.5f};
  const double sa = 127 / 255.0;
  auto px = [](double b, double g, double r, double a) {
    return Pixel{static_cast<int>(std::lround(b)), static_cast<int>(std::lround(g)), static_cast<int>(std::lround(r)),
                 static_cast<int>(std::lround(a))};
  };
  const BlendCase cases[] = {
      {GDEV_BLEND_COPY, 0, BLENDINGCONTEXT_BOTH, 0, {102, 153, 204, 127}},
      {GDEV_BLEND_ADD, 0, BLENDINGCONTEXT_BOTH, 0, px(102 * sa + 153, 153 * sa + 102, 204 * sa + 51, 254)},
      {GDEV_BLEND_MULTIPLY, 0, BLENDINGCONTEXT_BOTH, 0,
       px(102 * 153 / 255.0, 153 * 102 / 255.0, 204 * 51 / 255.0, 127 * sa)},
      {GDEV_BLEND_NORMAL, 0, BLENDINGCONTEXT_BOTH, 0,
       px(102 * sa + 153 * (1 - sa), 153 * sa + 102 * (1 - sa), 204 * sa + 51 * (1 - sa), 127 + 127 * (1 - sa))},
      {GDEV_BLEND_NORMAL, 0, BLENDINGCONTEXT_BOTH, 1,
       px(102 + 153 * (1 - sa), 153 + 102 * (1 - sa), 204 + 51 * (1 - sa), 127 + 127 * (1 - sa))},
      // Colour blends normally while alpha is added.
      {GDEV_BLEND_NORMAL, GDEV_BLEND_ADD, BLENDINGCONTEXT_BOTH, 0,
       px(102 * sa + 153 * (1 - sa), 153 * sa + 102 * (1 - sa), 204 * sa + 51 * (1 - sa), 254)},
      // Colour only: additive colour, the target keeps its alpha.
      {GDEV_BLEND_ADD, 0, BLENDINGCONTEXT_COLORONLY, 0, px(102 * sa + 153, 153 * sa + 102, 204 * sa + 51, 127)},
      // Alpha only: the colour stays, alpha takes the alpha factors.
      {GDEV_BLEND_NORMAL, 0, BLENDINGCONTEXT_ALPHAONLY, 0, px(153, 102, 51, 127 + 127 * (1 - sa))},
  };
  TestPixelSource& target = makeSource(4, 4);
  GDevTexture* rt = texture(target);
  // The premultiplied case needs a textured source of the same colour.
  TestPixelSource& sourcePixels = makeSource(2, 2, Solid(4, 102, 153, 204, 127));
  GDevTexture* tex = texture(sourcePixels);
  for (const BlendCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "blend " << c.blend << " alpha " << c.alphaBlend << " channels "
                                    << c.channelMode << " premultiplied " << c.premultiplied);
    begin(rt, dst, 4, 4);
    dev->setBlendingContext(0, c.channelMode);
    if (c.premultiplied) {
      dev->drawTextureQuad({0, 0, 4, 4}, kWhole, tex, c.blend, c.alphaBlend, 1);
    } else {
      dev->fillRect({0, 0, 4, 4}, src, c.blend, c.alphaBlend);
    }
    RGBAImageRef captured;
    ASSERT_TRUE(dev->impl_endScene(true, &captured));
    EXPECT_TRUE(Near(at(captured, 1, 1), c.expected));
    EXPECT_TRUE(Near(at(captured, 3, 3), c.expected));
  }
}

TEST_F(GLDeviceTest, TexturedCopyIsByteExactAndUploadsOnlyNewRevisions) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 3 * 2; ++i) bytes.insert(bytes.end(), {uint8_t(i * 40), uint8_t(7 + i), uint8_t(250 - i), uint8_t(i * 50)});
  TestPixelSource& picture = makeSource(3, 2, bytes);
  GDevTexture* tex = texture(picture);
  TestPixelSource& target = makeSource(3, 2);
  GDevTexture* rt = texture(target);

  dev->setFilter2D(0, false);
  const float clear[4] = {0, 0, 0, 0};
  begin(rt, clear, 3, 2);
  // 3 x 2 pixels of a 4 x 2 texture.
  dev->drawTextureQuad({0, 0, 3, 2}, {0, 0, 0.75f, 1}, tex, GDEV_BLEND_COPY, 0, 0);
  RGBAImageRef captured;
  ASSERT_TRUE(dev->impl_endScene(true, &captured));
  EXPECT_EQ(captured->pixels, bytes);
  EXPECT_EQ(picture.imageRequests, 1);

  // Same revision: no upload. A new one is uploaded on the next draw.
  begin(rt, clear, 3, 2);
  dev->drawTextureQuad({0, 0, 3, 2}, {0, 0, 0.75f, 1}, tex, GDEV_BLEND_COPY, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(true, &captured));
  EXPECT_EQ(picture.imageRequests, 1);
  picture.change(Solid(6, 1, 2, 3, 4));
  begin(rt, clear, 3, 2);
  dev->drawTextureQuad({0, 0, 3, 2}, {0, 0, 0.75f, 1}, tex, GDEV_BLEND_COPY, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(true, &captured));
  EXPECT_EQ(picture.imageRequests, 2);
  EXPECT_EQ(at(captured, 2, 1), (Pixel{1, 2, 3, 4}));

  // An opaque picture (format 1) samples alpha as 1 whatever its bytes say.
  TestPixelSource& opaque = makeSource(2, 2, Solid(4, 10, 20, 30, 0));
  GDevTexture* opaqueTex = texture(opaque, 1);
  begin(rt, clear, 3, 2);
  dev->drawTextureQuad({0, 0, 2, 2}, kWhole, opaqueTex, GDEV_BLEND_COPY, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(true, &captured));
  EXPECT_EQ(at(captured, 1, 1), (Pixel{10, 20, 30, 255}));
}

TEST_F(GLDeviceTest, CrossFadeMixesClampsProgressAndRefusesDifferentRectangles) {
  TestPixelSource& blackPixels = makeSource(2, 2, Solid(4, 0, 0, 0, 255));
  TestPixelSource& whitePixels = makeSource(2, 2, Solid(4, 255, 255, 255, 255));
  GDevTexture* black = texture(blackPixels, 1);
  GDevTexture* white = texture(whitePixels, 1);
  const GDevRect r{0, 0, 8, 8};
  struct {
    float progress;
    int expected;
  } steps[] = {{0.5f, 127}, {0.0f, 0}, {1.0f, 255}, {1.2f, 255}, {-0.5f, 0}, {1.0039216f, 255}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.progress);
    begin();
    dev->crossFade(r, kWhole, r, kWhole, black, white, step.progress, GDEV_BLEND_NORMAL, 0);
    ASSERT_TRUE(dev->impl_endScene(false, nullptr));
    EXPECT_TRUE(Near(at(4, 4), Pixel{step.expected, step.expected, step.expected, 255}));
  }

  LogCapture log;
  const float red[4] = {1, 0, 0, 1};
  begin();
  dev->fillRect(r, red, GDEV_BLEND_COPY, 0);
  dev->crossFade(r, kWhole, {0, 0, 8, 9}, kWhole, black, white, 0.5f, GDEV_BLEND_NORMAL, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_TRUE(log.contains("クロスフェードは同じ矩形にしかまだかけられません")) << log.all();
  EXPECT_EQ(at(4, 4), (Pixel{0, 0, 255, 255}));
}

TEST_F(GLDeviceTest, RuleFadeTakesEachPixelsShareFromTheRuleAlpha) {
  TestPixelSource& fromPixels = makeSource(4, 1, Solid(4, 0, 0, 255, 255));  // red
  TestPixelSource& toPixels = makeSource(4, 1, Solid(4, 255, 0, 0, 255));    // blue
  std::vector<uint8_t> levels;
  for (uint8_t a : {0, 85, 170, 255}) levels.insert(levels.end(), {0, 0, 0, a});
  TestPixelSource& rulePixels = makeSource(4, 1, levels);
  GDevTexture* from = texture(fromPixels, 1);
  GDevTexture* to = texture(toPixels, 1);
  GDevTexture* rule = texture(rulePixels);
  dev->setFilter2D(0, false);
  begin();
  const GDevRect r{0, 0, 4, 1};
  dev->ruleFade(r, kWhole, r, kWhole, r, kWhole, from, to, rule, GDEV_BLEND_NORMAL, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_TRUE(Near(at(0, 0), Pixel{0, 0, 255, 255}));
  EXPECT_TRUE(Near(at(1, 0), Pixel{85, 0, 170, 255}));
  EXPECT_TRUE(Near(at(2, 0), Pixel{170, 0, 85, 255}));
  EXPECT_TRUE(Near(at(3, 0), Pixel{255, 0, 0, 255}));

  LogCapture log;
  begin();
  dev->ruleFade(r, kWhole, r, kWhole, {0, 0, 4, 2}, kWhole, from, to, rule, GDEV_BLEND_NORMAL, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_TRUE(log.contains("ルールフェードは同じ矩形にしかまだかけられません")) << log.all();
  EXPECT_EQ(at(3, 0), (Pixel{0, 0, 0, 255}));
}

TEST_F(GLDeviceTest, RenderToTextureReadsBackTopRowFirstAndRecordsTheRevision) {
  TestPixelSource& owner = makeSource(3, 2);
  GDevTexture* tex = texture(owner);
  tex->setKeepMode(1);
  const float clear[4] = {0, 0, 0, 0};
  const float red[4] = {1, 0, 0, 1};
  begin(tex, clear, 3, 2);
  dev->fillRect({0, 0, 3, 1}, red, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  ASSERT_EQ(owner.readBacks, 1);
  ASSERT_EQ(owner.lastReadBack.size(), 3u * 2 * 4);
  EXPECT_EQ(owner.lastReadBack, (std::vector<uint8_t>{0, 0, 255, 255, 0, 0, 255, 255, 0, 0, 255, 255,  //
                                                       0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The read-back is what the texture holds: drawing it uploads nothing.
  EXPECT_EQ(static_cast<GDevGLTexture*>(tex)->uploadedRevision(), owner.revision);
  const int requests = owner.imageRequests;
  begin();
  dev->drawTextureQuad({10, 10, 13, 12}, {0, 0, 0.75f, 1}, tex, GDEV_BLEND_NORMAL, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(owner.imageRequests, requests);
  EXPECT_EQ(at(10, 10), (Pixel{0, 0, 255, 255}));  // top row stays on top
  EXPECT_EQ(at(10, 11), (Pixel{0, 0, 0, 255}));

  // Keep mode 2 reads back only on a capture.
  tex->setKeepMode(7);
  EXPECT_EQ(static_cast<GDevGLTexture*>(tex)->keepMode(), 2);
  begin(tex, clear, 3, 2);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(owner.readBacks, 1);
  const float blue[4] = {0, 0, 1, 1};
  begin(tex, clear, 3, 2);
  dev->fillRect({2, 1, 3, 2}, blue, GDEV_BLEND_COPY, 0);
  RGBAImageRef captured;
  ASSERT_TRUE(dev->impl_endScene(true, &captured));
  EXPECT_EQ(owner.readBacks, 2);
  EXPECT_EQ(at(captured, 2, 1), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(at(captured, 0, 0), (Pixel{0, 0, 0, 0}));
  // The capture is a snapshot: writing to it leaves the owner alone.
  captured.getWA()->pixels[0] = 99;
  EXPECT_EQ(owner.image->pixels[0], 0);
}

TEST_F(GLDeviceTest, OwnerPixelsChangedBeforeAScenePreparedNeverOverwriteTheRendering) {
  TestPixelSource& owner = makeSource(2, 1, Solid(2, 0, 255, 0, 255));  // green
  GDevTexture* tex = texture(owner);
  owner.change(Solid(2, 0, 0, 255, 255));  // red, not uploaded yet
  const float blue[4] = {0, 0, 1, 1};
  // A scene draws only over the right pixel and keeps the rest.
  ASSERT_TRUE(dev->impl_beginScene(tex));
  ASSERT_TRUE(dev->setViewport(0, 0, 2, 1));
  dev->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
  dev->setMatrixProj_Ortho2D(0, 0, 2, 1);
  dev->fillRect({1, 0, 2, 1}, blue, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  const int requests = owner.imageRequests;
  begin();
  dev->drawTextureQuad({0, 0, 2, 1}, {0, 0, 1, 1}, tex, GDEV_BLEND_COPY, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(owner.imageRequests, requests);
  EXPECT_EQ(at(0, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(at(1, 0), (Pixel{255, 0, 0, 255}));

  // Detached, the texture shows its owner's pixels again.
  tex->detach();
  EXPECT_FALSE(static_cast<GDevGLTexture*>(tex)->isRenderTarget());
  begin();
  dev->drawTextureQuad({0, 0, 2, 1}, {0, 0, 1, 1}, tex, GDEV_BLEND_COPY, 0, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(at(1, 0), (Pixel{0, 0, 255, 255}));
}

TEST_F(GLDeviceTest, PrimitivesLightThePixelsTheirCoordinatesName) {
  const float white[4] = {1, 1, 1, 1};
  begin();
  dev->drawLine({10, 20, 15, 20}, white, GDEV_BLEND_COPY, 0);
  dev->drawPoint(30, 30, white, GDEV_BLEND_COPY, 0);
  dev->drawRect({40, 40, 44, 43}, white, GDEV_BLEND_COPY, 0);
  const float faint[4] = {1, 1, 1, 0.001f};
  const float justVisible[4] = {1, 1, 1, 0.004f};
  dev->fillRect({60, 60, 62, 62}, faint, GDEV_BLEND_COPY, 0);
  dev->fillRectGradient({64, 60, 66, 62}, faint, faint, faint, faint, GDEV_BLEND_COPY, 0);
  dev->fillRect({70, 60, 72, 62}, justVisible, GDEV_BLEND_COPY, 0);
  const float quarter[4] = {0.5f, 0.25f, 1.0f, 1.0f};
  dev->fillRect({80, 60, 82, 62}, quarter, GDEV_BLEND_COPY, 0);
  const float red[4] = {1, 0, 0, 1};
  const float blue[4] = {0, 0, 1, 1};
  dev->fillRectGradient({100, 100, 200, 200}, red, red, blue, blue, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));

  const Pixel on{255, 255, 255, 255};
  const Pixel off{0, 0, 0, 255};
  EXPECT_EQ(at(10, 20), on);
  EXPECT_EQ(at(14, 20), on);
  EXPECT_EQ(at(15, 20), off);
  EXPECT_EQ(at(12, 19), off);
  EXPECT_EQ(at(12, 21), off);
  EXPECT_EQ(at(30, 30), on);
  EXPECT_EQ(at(31, 30), off);
  EXPECT_EQ(at(30, 31), off);
  // The outline sits one pixel right of the corners, not below them.
  EXPECT_EQ(at(41, 40), on);
  EXPECT_EQ(at(45, 40), on);
  EXPECT_EQ(at(45, 42), on);
  EXPECT_EQ(at(43, 43), on);
  EXPECT_EQ(at(41, 42), on);
  EXPECT_EQ(at(40, 41), off);
  EXPECT_EQ(at(42, 41), off);
  EXPECT_EQ(at(60, 60), off);
  EXPECT_EQ(at(64, 60), off);
  EXPECT_EQ(at(70, 60), on);
  EXPECT_EQ(at(80, 60), (Pixel{255, 63, 127, 255}));
  EXPECT_TRUE(Near(at(150, 100), Pixel{1, 0, 254, 255}, 3));
  EXPECT_TRUE(Near(at(150, 199), Pixel{254, 0, 1, 255}, 3));
}

TEST_F(GLDeviceTest, TwoTextureDrawsAndTheTransparentBorderOfTheColouredOne) {
  TestPixelSource& whitePixels = makeSource(2, 2, Solid(4, 255, 255, 255, 255));
  TestPixelSource& greyPixels = makeSource(2, 2, Solid(4, 128, 128, 128, 255));
  GDevTexture* white = texture(whitePixels);
  GDevTexture* grey = texture(greyPixels);
  TestPixelSource& target = makeSource(4, 1);
  GDevTexture* rt = texture(target);
  const float clear[4] = {0, 0, 0, 0};
  const float opaque[4] = {1, 1, 1, 1};
  dev->setFilter2D(0, false);
  // u from -1 to 1: the left half lies outside the first texture.
  const GDevUV half{-1, 0, 1, 1};
  RGBAImageRef plain;
  RGBAImageRef colored;
  begin(rt, clear, 4, 1);
  dev->drawTexture2({0, 0, 4, 1}, half, kWhole, white, grey, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(true, &plain));
  begin(rt, clear, 4, 1);
  dev->drawTexture2Colored({0, 0, 4, 1}, half, kWhole, white, grey, opaque, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(true, &colored));
  // Inside the texture both agree; outside only the coloured draw is transparent.
  EXPECT_EQ(at(plain, 3, 0), (Pixel{128, 128, 128, 255}));
  EXPECT_EQ(at(colored, 3, 0), (Pixel{128, 128, 128, 255}));
  EXPECT_EQ(at(plain, 0, 0), (Pixel{128, 128, 128, 255}));
  EXPECT_EQ(at(colored, 0, 0), (Pixel{0, 0, 0, 0}));

  // Colour from the first texture, alpha from the second.
  TestPixelSource& alphaPixels = makeSource(2, 2, Solid(4, 0, 0, 0, 64));
  GDevTexture* alpha = texture(alphaPixels);
  begin(rt, clear, 4, 1);
  dev->drawTextureWithAlpha({0, 0, 4, 1}, kWhole, grey, alpha);
  ASSERT_TRUE(dev->impl_endScene(true, &plain));
  EXPECT_EQ(at(plain, 1, 0), (Pixel{128, 128, 128, 64}));
}

TEST_F(GLDeviceTest, MatricesMoveWhatIsDrawnAndAreSentOncePerChange) {
  const float white[4] = {1, 1, 1, 1};
  begin();
  dev->translate(100, 50, 0);
  const uint32_t sends = dev->worldTransformSends();
  dev->fillRect({0, 0, 2, 2}, white, GDEV_BLEND_COPY, 0);
  dev->fillRect({4, 0, 6, 2}, white, GDEV_BLEND_COPY, 0);
  EXPECT_EQ(dev->worldTransformSends(), sends + 1);
  // Rotation goes on the left: about the origin first, then the translation.
  dev->pushMatrix();
  dev->rotate(90, 0, 0, 1);
  float m[16];
  dev->getMatrix(m);
  EXPECT_NEAR(m[0], 0, 1e-6);
  EXPECT_NEAR(m[1], -1, 1e-6);
  EXPECT_EQ(m[12], 100);
  EXPECT_EQ(m[13], 50);
  // (x, y) -> (y, -x) before the move: the rectangle right of the origin
  // lands above the translated point.
  dev->fillRect({10, 0, 12, 2}, white, GDEV_BLEND_COPY, 0);
  dev->popMatrix();
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(at(100, 50), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(104, 51), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(100, 38), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(101, 39), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(at(101, 40), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(at(102, 39), (Pixel{0, 0, 0, 255}));

  // Projection and texture transforms are kept; an unknown kind writes nothing.
  float p[16];
  dev->getMatrix(GDEV_MATRIX_PROJECTION, p);
  const std::array<float, 4> corner = MatrixTransformPoint(std::to_array(p), 800, 600, 0);
  EXPECT_FLOAT_EQ(corner[0], 1);
  EXPECT_FLOAT_EQ(corner[1], -1);
  float untouched[16];
  std::fill(std::begin(untouched), std::end(untouched), 7.0f);
  dev->getMatrix(3, untouched);
  EXPECT_EQ(untouched[0], 7.0f);

  // Popping the last matrix keeps it and says so once.
  LogCapture log;
  dev->popMatrix();
  dev->popMatrix();
  dev->getMatrix(m);
  EXPECT_EQ(m[12], 100);
  EXPECT_EQ(log.lines().size(), 1u) << log.all();
}

TEST_F(GLDeviceTest, PresentSwapsOnlyWhenThereIsSomethingNew) {
  const uint64_t before = dev->presentedFrames();
  begin();
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(dev->presentedFrames(), before + 1);
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(dev->presentedFrames(), before + 1);
  dev->refreshWindow();
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(dev->presentedFrames(), before + 2);
  dev->impl_swapBuffers({0, 0, 0, 0}, {100, 0, 600, 600});
  EXPECT_EQ(dev->presentedFrames(), before + 3);
  // Present leaves the 2D state the frame step expects and the screen as target.
  EXPECT_EQ(dev->channelMode(), BLENDINGCONTEXT_BOTH);
  EXPECT_TRUE(dev->setViewport(0, 0, 800, 600));
  EXPECT_FALSE(dev->isViewportPartial());
}

// On a screen of odd size the window shows the whole screen buffer one to
// one: its outermost rows and columns reach the window's edges.
TEST_F(GLDeviceTest, PresentShowsAnOddSizedScreenToItsEdges) {
  constexpr int kW = 301;
  constexpr int kH = 203;
  restartOnWindow(kW, kH);
  ASSERT_NE(dev, nullptr);
  EXPECT_EQ(dev->screenBufferWidth(), kW);
  EXPECT_EQ(dev->screenBufferHeight(), kH);
  // Start-up links only the present's program; the fill's comes with its first use.
  EXPECT_EQ(dev->programsBuilt(), 1);
  const float red[4] = {1, 0, 0, 1};
  const float green[4] = {0, 1, 0, 1};
  const float blue[4] = {0, 0, 1, 1};
  const float white[4] = {1, 1, 1, 1};
  const float yellow[4] = {1, 1, 0, 1};
  begin(nullptr, red, kW, kH);
  dev->fillRect({0, 0, 1, kH}, green, GDEV_BLEND_COPY, 0);
  dev->fillRect({kW - 1, 0, kW, kH}, blue, GDEV_BLEND_COPY, 0);
  dev->fillRect({1, 0, kW - 1, 1}, white, GDEV_BLEND_COPY, 0);
  dev->fillRect({1, kH - 1, kW - 1, kH}, yellow, GDEV_BLEND_COPY, 0);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  EXPECT_EQ(dev->programsBuilt(), 2);
  const uint64_t before = dev->presentedFrames();
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  ASSERT_EQ(dev->presentedFrames(), before + 1);

  // The window's own framebuffer, rows counted from the bottom.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  auto window = [](int x, int y) { return at(x, kH - 1 - y); };
  EXPECT_EQ(window(0, kH / 2), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(window(kW - 1, kH / 2), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(window(kW - 2, kH / 2), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(window(kW / 2, 0), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(window(kW / 2, kH - 1), (Pixel{0, 255, 255, 255}));
  EXPECT_EQ(window(kW / 2, kH - 2), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(window(kW - 1, kH - 1), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(window(1, 1), (Pixel{0, 0, 255, 255}));
}

TEST_F(GLDeviceTest, TextureBookkeepingAndRefusedCalls) {
  TestPixelSource& pixels = makeSource(300, 200);
  GDevTexture* tex = texture(pixels);
  int32_t w = 0, h = 0;
  tex->getSize(&w, &h);
  EXPECT_EQ(w, 300);
  EXPECT_EQ(h, 200);
  EXPECT_EQ(getDeviceKind(), 100);
  EXPECT_EQ(platform::ToUtf8(dev->formatStatus(u"x")), "x / T:  1 / VB:  0 ");

  LogCapture log;
  GDevTextureCreateParams noSource;
  GDevTexture* out = tex;
  EXPECT_FALSE(dev->createTextureObject(noSource, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(GDevFactory::releaseTexture(tex));
  EXPECT_FALSE(GDevFactory::releaseTexture(tex));
  EXPECT_TRUE(log.contains("テクスチャがリスト内にない")) << log.all();
  EXPECT_EQ(dev->textureCount(), 0u);

  // Released in any order, each once.
  std::vector<GDevTexture*> made;
  for (int i = 0; i < 5; ++i) made.push_back(texture(makeSource(2, 2)));
  for (int i : {2, 0, 4, 1, 3}) {
    EXPECT_TRUE(dev->releaseTextureObject(made[static_cast<size_t>(i)])) << i;
    EXPECT_FALSE(dev->releaseTextureObject(made[static_cast<size_t>(i)])) << i;
  }
  EXPECT_EQ(dev->textureCount(), 0u);

  // Scenes do not nest, and an end needs a begin.
  EXPECT_FALSE(dev->impl_endScene(false, nullptr));
  ASSERT_TRUE(dev->impl_beginScene(nullptr));
  EXPECT_FALSE(dev->impl_beginScene(nullptr));
  EXPECT_TRUE(dev->impl_endScene(false, nullptr));

  // A texture released while it is the target sends drawing back to the screen.
  TestPixelSource& small = makeSource(4, 4);
  GDevTexture* rt = texture(small);
  ASSERT_TRUE(dev->impl_beginScene(rt));
  EXPECT_TRUE(dev->releaseTextureObject(rt));
  ASSERT_TRUE(dev->setViewport(0, 0, 800, 600));
  EXPECT_FALSE(dev->isViewportPartial());
  EXPECT_TRUE(dev->impl_endScene(true, nullptr));
}

// Engine textures outlive the device: its term makes them forget their device
// textures, so drawing them on the next device makes new ones.
TEST_F(GLDeviceTest, EngineTexturesDrawAgainOnTheNextDevice) {
  ZEPTextureManager textures;
  ZEPTextureRef picture, target;
  textures.createFromImage(picture, RGBAImageRef(RGBAImage(0, 2, 2, Solid(4, 30, 20, 10, 255))), 1, 3);
  textures.createBlank(target, 4, 4, 1, 3);
  const float clear[4] = {0, 0, 0, 0};
  auto drawAndCapture = [&]() {
    target->ensureDeviceTexture();
    begin(target->deviceTexture(), clear, 4, 4);
    DrawTextureRect({1, 1, 3, 3}, kWhole, picture.get(), GDEV_BLEND_COPY, 0, 0);
    RGBAImageRef captured;
    EXPECT_TRUE(dev->impl_endScene(true, &captured));
    return captured;
  };
  RGBAImageRef captured = drawAndCapture();
  ASSERT_TRUE(captured);
  EXPECT_EQ(at(captured, 2, 2), (Pixel{30, 20, 10, 255}));
  EXPECT_EQ(at(captured, 0, 0), (Pixel{0, 0, 0, 0}));
  ASSERT_NE(picture->deviceTexture(), nullptr);

  GDevFactory::destroy();
  EXPECT_EQ(picture->deviceTexture(), nullptr);
  EXPECT_EQ(target->deviceTexture(), nullptr);
  EXPECT_EQ(picture->getUExtent(), 1.0f);
  // Changed while there is no device: the next device shows the new pixels.
  FillImage(picture->image(), 200, 100, 50, 255);
  picture->bumpRevision();

  startDevice();
  captured = drawAndCapture();
  ASSERT_TRUE(captured);
  EXPECT_EQ(at(captured, 1, 1), (Pixel{50, 100, 200, 255}));
  EXPECT_EQ(at(captured, 3, 3), (Pixel{0, 0, 0, 0}));
  EXPECT_EQ(dev->textureCount(), 2u);
  picture.reset();
  target.reset();
  EXPECT_EQ(dev->textureCount(), 0u);
}

}  // namespace

// A frame drawn under the screen clip changes the screen buffer only inside
// it, and its present, which copies only what changed into the window
// (scaled down here), leaves the window as a whole copy would.
TEST_F(GLDeviceTest, AClippedFrameAndItsPartPresentMatchTheWhole) {
  ASSERT_TRUE(dev->setWindowSize(600, 450, 800, 600));
  const float gray[4] = {0.5f, 0.5f, 0.5f, 1};
  const float red[4] = {1, 0, 0, 1};
  const float blue[4] = {0, 0, 1, 1};
  const GDevArea clip{100, 100, 50, 40};
  EXPECT_FALSE(dev->setScreenClip(&clip));  // nothing drawn whole yet
  begin(nullptr, gray);
  for (int32_t i = 0; i < 40; ++i) {
    const float c[4] = {static_cast<float>(i % 5) / 4, static_cast<float>(i % 7) / 6, static_cast<float>(i % 3) / 2, 1};
    dev->fillRect({i * 20, i * 15, i * 20 + 17, i * 15 + 13}, c, GDEV_BLEND_COPY, 0);
  }
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  const uint64_t partBefore = dev->partialPresents();

  ASSERT_TRUE(dev->setScreenClip(&clip));
  begin(nullptr, blue);  // the clear stays inside the clip too
  // Drawings the clip keeps nothing of, moved there or not, reach no draw
  // call; one that reaches into it does.
  const uint64_t calls = dev->drawCalls();
  dev->pushMatrix();
  dev->translate(200, 0, 0);
  dev->fillRect({0, 90, 30, 130}, red, GDEV_BLEND_COPY, 0);  // 200-230: right of the clip
  dev->popMatrix();
  dev->fillRect({10, 10, 90, 90}, red, GDEV_BLEND_COPY, 0);  // above and left of it
  EXPECT_EQ(dev->drawCalls(), calls);
  dev->fillRect({90, 90, 130, 130}, red, GDEV_BLEND_COPY, 0);
  EXPECT_EQ(dev->drawCalls(), calls + 1);
  ASSERT_TRUE(dev->impl_endScene(false, nullptr));
  ASSERT_TRUE(dev->setScreenClip(nullptr));
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  RGBAImageRef screen;
  ASSERT_TRUE(dev->readScreen(&screen));
  EXPECT_EQ(at(screen, 99, 99), (Pixel{127, 127, 127, 255}));  // outside: untouched gray
  EXPECT_EQ(at(screen, 100, 100), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(at(screen, 149, 139), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(at(screen, 150, 140), (Pixel{127, 127, 127, 255}));
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(dev->partialPresents(), partBefore + 1);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  const std::vector<uint8_t> parts = read(0, 0, 800, 600);
  dev->refreshWindow();
  dev->impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(dev->partialPresents(), partBefore + 1);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  EXPECT_TRUE(read(0, 0, 800, 600) == parts);
}
