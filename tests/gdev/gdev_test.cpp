// The device layer without drawing: matrix arithmetic, texture extents, the
// factory's table and a device that never got a context.
#include <gtest/gtest.h>

#include <cmath>

#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "gdev/matrix_stack.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

TEST(MatrixStack, OrthographicProjectionMapsScreenCornersToClipCorners) {
  const Matrix4 ortho = MatrixOrtho2D(0, 0, 800, 600);
  const auto bottomRight = MatrixTransformPoint(ortho, 800, 600, 0);
  EXPECT_FLOAT_EQ(bottomRight[0], 1);
  EXPECT_FLOAT_EQ(bottomRight[1], -1);
  const auto topLeft = MatrixTransformPoint(ortho, 0, 0, 0);
  EXPECT_FLOAT_EQ(topLeft[0], -1);
  EXPECT_FLOAT_EQ(topLeft[1], 1);
  EXPECT_FLOAT_EQ(topLeft[2], 0.5f);
  EXPECT_FLOAT_EQ(topLeft[3], 1);
  EXPECT_FLOAT_EQ(ortho[10], -0.5f);
}

TEST(MatrixStack, RotationGoesOnTheLeftAndNormalisesOnlyFarFromUnitAxes) {
  Matrix4 top = MatrixIdentity();
  top[12] = 10;
  top[13] = 20;
  top = MatrixMultiply(MatrixRotation(90, 0, 0, 1), top);
  EXPECT_EQ(top[12], 10);
  EXPECT_EQ(top[13], 20);
  EXPECT_EQ(top[14], 0);
  EXPECT_NEAR(top[0], 0, 1e-6);
  EXPECT_NEAR(top[1], -1, 1e-6);
  EXPECT_NEAR(top[4], 1, 1e-6);

  // (0, 0, 2) is normalised; (0, 0, 1.00001) is close enough to be used as is.
  EXPECT_EQ(MatrixRotation(90, 0, 0, 2), MatrixRotation(90, 0, 0, 1));
  const Matrix4 nearUnit = MatrixRotation(90, 0, 0, 1.00001f);
  EXPECT_GT(nearUnit[10], 1.0f);
  EXPECT_NEAR(nearUnit[1], -1.00001f, 1e-6);
  // A zero axis rotates nothing instead of dividing by zero.
  EXPECT_EQ(MatrixRotation(45, 0, 0, 0), MatrixIdentity());

  // multMatrix order: m x top, so m applies to a point first.
  Matrix4 scale = MatrixIdentity();
  scale[0] = 2;
  Matrix4 move = MatrixIdentity();
  move[12] = 5;
  const auto p = MatrixTransformPoint(MatrixMultiply(scale, move), 1, 0, 0);
  EXPECT_FLOAT_EQ(p[0], 7);

  MatrixStack stack;
  stack.push();
  stack.top()[12] = 3;
  EXPECT_EQ(stack.depth(), 2u);
  EXPECT_TRUE(stack.pop());
  EXPECT_EQ(stack.top()[12], 0);
  EXPECT_FALSE(stack.pop());
  EXPECT_EQ(stack.depth(), 1u);
}

TEST(TextureExtent, PicturesCoverTheirShareOfPowerOfTwoStorage) {
  EXPECT_EQ(RoundUpPow2(-3), 1);
  EXPECT_EQ(RoundUpPow2(0), 1);
  EXPECT_EQ(RoundUpPow2(1), 1);
  EXPECT_EQ(RoundUpPow2(300), 512);
  EXPECT_EQ(RoundUpPow2(512), 512);
  EXPECT_EQ(RoundUpPow2(513), 1024);
  EXPECT_EQ(RoundUpPow2(0x7FFFFFFF), 1 << 30);
  // A 300 x 200 picture on its 512 x 256 texture.
  EXPECT_EQ(TextureExtent(300, 300), 0.5859375f);
  EXPECT_EQ(TextureExtent(200, 200), 0.78125f);
  EXPECT_EQ(TextureExtent(256, 256), 1.0f);
  EXPECT_EQ(TextureExtent(0, 0), 0.0f);
}

TEST(GDevFactory, KindTableAndCallsWithoutADevice) {
  ASSERT_EQ(GDevFactory::device, nullptr);
  GDevTexture* out = reinterpret_cast<GDevTexture*>(1);
  EXPECT_FALSE(GDevFactory::createTexture(GDevTextureCreateParams{}, &out));
  EXPECT_EQ(out, nullptr);
  EXPECT_FALSE(GDevFactory::releaseTexture(nullptr));
  EXPECT_EQ(getDeviceKind(), 0);

  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  LogCapture log;
  EXPECT_EQ(GDevFactory::initialize(2), -1);
  EXPECT_TRUE(log.contains("GDevFactory::initialize : no device found(2)")) << log.all();
  EXPECT_EQ(GDevFactory::device, nullptr);

  EXPECT_EQ(GDevFactory::initialize(1), 0);
  ASSERT_NE(GDevFactory::device, nullptr);
  EXPECT_EQ(getDeviceKind(), 100);
  EXPECT_EQ(GDevFactory::initialize(1), -1);
  EXPECT_TRUE(log.contains("GDevFactory::initialize : already initialized!")) << log.all();
  GDevFactory::destroy();
  EXPECT_EQ(GDevFactory::device, nullptr);
}

TEST(GDevGL, RefusesEverythingWithoutAContextAndExplainsAFailedStart) {
  GDevGL dev;
  EXPECT_EQ(dev.viewport(), (GDevArea{-1, -1, -1, -1}));
  EXPECT_FALSE(dev.setViewport(0, 0, 10, 10));
  EXPECT_FALSE(dev.setWindowSize(0, 600, 800, 600));
  EXPECT_FALSE(dev.impl_beginScene(nullptr));
  EXPECT_FALSE(dev.impl_endScene(false, nullptr));
  EXPECT_EQ(dev.setBlendingContext(3, 0), -1);
  EXPECT_EQ(dev.setBlendingContext(0, BLENDINGCONTEXT_ALPHAONLY), 0);
  EXPECT_EQ(dev.channelMode(), BLENDINGCONTEXT_ALPHAONLY);

  LogCapture log;
  GDevInitParams params;  // no window to hold a context
  EXPECT_EQ(dev.init(params), -1);
  const std::string text = platform::ToUtf8(GDevStartupErrorText());
  EXPECT_EQ(text.rfind("グラフィックスデバイスの能力が不足しているため、初期化に失敗しました。\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("OpenGL 3.3"), std::string::npos) << text;
  EXPECT_FALSE(dev.isAccelerated());
  EXPECT_EQ(dev.accelerationLevel(), 0);

  // Still nothing to draw on: drawing and texture calls are harmless no-ops.
  const float white[4] = {1, 1, 1, 1};
  dev.fillRect({0, 0, 10, 10}, white, GDEV_BLEND_COPY, 0);
  dev.impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_TRUE(dev.validateScreen());
  EXPECT_TRUE(dev.isLost());
  GDevTexture* out = nullptr;
  struct NoPixels : GDevPixelSource {
    void getImage(RGBAImageRef&) override {}
    uint32_t getRevision() override { return 1; }
    void setPixels(const std::vector<uint8_t>&) override {}
  } source;
  GDevTextureCreateParams create;
  create.source = &source;
  EXPECT_FALSE(dev.createTextureObject(create, &out));
  EXPECT_EQ(out, nullptr);
}

}  // namespace
