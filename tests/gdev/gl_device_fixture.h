// A hidden 800 x 600 window with the OpenGL device on it (or one of another
// size, reopened by the test), for tests that draw and read the pixels back. Skips only when this machine cannot make an
// OpenGL context at all; every other start-up failure fails the test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "gdev/rgba_image.h"
#include "platform/gl_window.h"
#include "platform/utf8.h"

// An owner of pixels as the engine's textures are: its revision moves on
// with every change, and what the device reads back replaces its pixels.
class TestPixelSource : public GDevPixelSource {
 public:
  TestPixelSource(int32_t width, int32_t height, const std::vector<uint8_t>& bgra = {})
      : image(RGBAImage(0, width, height)) {
    if (!bgra.empty()) image.getWA()->pixels = bgra;
  }
  void getImage(RGBAImageRef& out) override {
    ++imageRequests;
    out = image;
  }
  uint32_t getRevision() override { return revision; }
  void setPixels(const std::vector<uint8_t>& bgra) override {
    ++readBacks;
    lastReadBack = bgra;
    if (bgra.size() == image->pixels.size()) {
      image.getWA()->pixels = bgra;
      ++revision;
    }
  }
  // Changes the owner's pixels the way the engine does.
  void change(const std::vector<uint8_t>& bgra) {
    image.getWA()->pixels = bgra;
    ++revision;
  }

  RGBAImageRef image;
  uint32_t revision = 1;
  int imageRequests = 0;
  int readBacks = 0;
  std::vector<uint8_t> lastReadBack;
};

// n pixels of one colour.
inline std::vector<uint8_t> Solid(size_t n, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < n; ++i) bytes.insert(bytes.end(), {b, g, r, a});
  return bytes;
}

struct Pixel {
  int b, g, r, a;
};

class GLDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    window_ = platform::CreateGLWindow(u"gdev test", 800, 600, true, &why);
    if (!window_) GTEST_SKIP() << "no window to hold an OpenGL context: " << why;
    if (!contextAvailable(&why)) GTEST_SKIP() << "no OpenGL 3.3 context on this machine: " << why;
    startDevice();
  }

  // The process-wide device on the window, at the window's size.
  void startDevice(int32_t width = 800, int32_t height = 600) {
    ASSERT_EQ(GDevFactory::initialize(1), 0);
    dev = static_cast<GDevGL*>(GDevFactory::device);
    GDevInitParams params;
    params.window = window_;
    ASSERT_EQ(dev->init(params), 0) << platform::ToUtf8(GDevStartupErrorText());
    ASSERT_TRUE(dev->setWindowSize(width, height, width, height));
  }

  // Ends the device, replaces the window by one of width x height and
  // starts the device on it with that screen size.
  void restartOnWindow(int32_t width, int32_t height) {
    GDevFactory::destroy();
    dev = nullptr;
    platform::DestroyGLWindow(window_);
    std::string why;
    window_ = platform::CreateGLWindow(u"gdev test", width, height, true, &why);
    ASSERT_NE(window_, nullptr) << why;
    startDevice(width, height);
  }

  void TearDown() override {
    GDevFactory::destroy();
    if (window_) platform::DestroyGLWindow(window_);
  }

  // Starts a scene on the screen (or a texture) with the frame step's set-up:
  // whole viewport, cleared to the colour, 2D context, pixel projection.
  void begin(GDevTexture* target = nullptr, const float* clear = nullptr, int32_t width = 800,
             int32_t height = 600) {
    static const float black[4] = {0, 0, 0, 1};
    ASSERT_TRUE(dev->impl_beginScene(target));
    ASSERT_TRUE(dev->setViewport(0, 0, width, height));
    dev->clearRegion(GDEV_CLEAR_TARGET, 0, 0, width, height, clear ? clear : black);
    dev->setMatrixTexture_Ident();
    dev->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
    dev->setMatrixProj_Ortho2D(0, 0, static_cast<float>(width), static_cast<float>(height));
  }

  // A pixel source that outlives the device (device textures may call
  // their source until the device's term, in TearDown).
  TestPixelSource& makeSource(int32_t width, int32_t height, const std::vector<uint8_t>& bgra = {}) {
    sources_.push_back(std::make_unique<TestPixelSource>(width, height, bgra));
    return *sources_.back();
  }

  GDevTexture* texture(TestPixelSource& source, int32_t format = 3) {
    GDevTextureCreateParams params;
    params.width = source.image->width;
    params.height = source.image->height;
    params.format = format;
    params.source = &source;
    GDevTexture* out = nullptr;
    EXPECT_TRUE(dev->createTextureObject(params, &out));
    return out;
  }

  // Pixels of the framebuffer now bound (the screen buffer between scenes),
  // row y of the picture first.
  static std::vector<uint8_t> read(int x, int y, int w, int h) {
    std::vector<uint8_t> bytes(static_cast<size_t>(w) * h * 4);
    glReadPixels(x, y, w, h, GL_BGRA, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
  }
  static Pixel at(int x, int y) {
    const std::vector<uint8_t> p = read(x, y, 1, 1);
    return {p[0], p[1], p[2], p[3]};
  }
  static Pixel at(const RGBAImageRef& image, int x, int y) {
    const uint8_t* p = image->pixel(x, y);
    return {p[0], p[1], p[2], p[3]};
  }

  GDevGL* dev = nullptr;

 private:
  // Whether a context can be made at all, asked once per process.
  bool contextAvailable(std::string* why) {
    static int known = -1;
    static std::string reason;
    if (known < 0) {
      known = platform::GLContext::create(window_, &reason) ? 1 : 0;
    }
    *why = reason;
    return known == 1;
  }

  SDL_Window* window_ = nullptr;
  std::vector<std::unique_ptr<TestPixelSource>> sources_;  // freed after TearDown
};

inline bool operator==(const Pixel& a, const Pixel& b) {
  return a.b == b.b && a.g == b.g && a.r == b.r && a.a == b.a;
}
inline std::ostream& operator<<(std::ostream& os, const Pixel& p) {
  return os << "(B " << p.b << ", G " << p.g << ", R " << p.r << ", A " << p.a << ")";
}

// Each channel within tolerance.
inline ::testing::AssertionResult Near(const Pixel& actual, const Pixel& expected, int tolerance = 1) {
  if (std::abs(actual.b - expected.b) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
      std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.a - expected.a) <= tolerance) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}
