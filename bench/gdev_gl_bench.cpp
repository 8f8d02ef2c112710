// Frames per second of the OpenGL device on a typical scene: a 1280 x 720
// screen with 32 textured, alpha-blended 256 x 256 quads, ended and
// presented each frame (into a hidden window; the offscreen driver when there
// is no display).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "platform/gl_window.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kQuads = 32;
constexpr int kSide = 256;

class Picture : public GDevPixelSource {
 public:
  explicit Picture(int seed) : image_(RGBAImage(0, kSide, kSide)) {
    RGBAImage* image = image_.getWA();
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        uint8_t* p = image->pixel(x, y);
        const int dx = x - kSide / 2;
        const int dy = y - kSide / 2;
        const int d = dx * dx + dy * dy;
        p[0] = static_cast<uint8_t>(x + seed * 37);
        p[1] = static_cast<uint8_t>(y + seed * 11);
        p[2] = static_cast<uint8_t>(seed * 53);
        p[3] = static_cast<uint8_t>(d >= kSide * kSide / 4 ? 0 : 255 - d * 255 / (kSide * kSide / 4));
      }
    }
  }
  void getImage(RGBAImageRef& out) override { out = image_; }
  uint32_t getRevision() override { return 1; }
  void setPixels(const std::vector<uint8_t>&) override {}

 private:
  RGBAImageRef image_;
};

void BM_SceneOf32BlendedQuads(benchmark::State& state) {
  std::string why;
  SDL_Window* window = platform::CreateGLWindow(u"gdev bench", kWidth, kHeight, true, &why);
  if (!window) {
    state.SkipWithError(("no window: " + why).c_str());
    return;
  }
  GDevGL dev;
  GDevInitParams params;
  params.window = window;
  if (dev.init(params) != 0 || !dev.setWindowSize(kWidth, kHeight, kWidth, kHeight)) {
    state.SkipWithError("no OpenGL 3.3 device");
    platform::DestroyGLWindow(window);
    return;
  }
  std::vector<std::unique_ptr<Picture>> pictures;
  std::vector<GDevTexture*> textures;
  for (int i = 0; i < kQuads; ++i) {
    pictures.push_back(std::make_unique<Picture>(i));
    GDevTextureCreateParams create;
    create.width = kSide;
    create.height = kSide;
    create.format = 3;
    create.source = pictures.back().get();
    GDevTexture* texture = nullptr;
    dev.createTextureObject(create, &texture);
    textures.push_back(texture);
  }
  const float clear[4] = {0.1f, 0.2f, 0.3f, 1.0f};
  int64_t frame = 0;
  for (auto _ : state) {
    dev.impl_beginScene(nullptr);
    dev.setViewport(0, 0, kWidth, kHeight);
    dev.clearRegion(GDEV_CLEAR_TARGET, 0, 0, kWidth, kHeight, clear);
    dev.setMatrixTexture_Ident();
    dev.setBlendingContext(0, BLENDINGCONTEXT_BOTH);
    dev.setMatrixProj_Ortho2D(0, 0, kWidth, kHeight);
    for (int i = 0; i < kQuads; ++i) {
      // An 8 x 4 grid of overlapping pictures that drift a little each frame.
      const float x = static_cast<float>((i % 8) * 140 + (frame + i * 7) % 40);
      const float y = static_cast<float>((i / 8) * 150 + (frame + i * 3) % 30);
      dev.pushMatrix();
      dev.translate(x, y, 0);
      dev.drawTextureQuad({0, 0, kSide, kSide}, {0, 0, 1, 1}, textures[i], GDEV_BLEND_NORMAL, 0, 0);
      dev.popMatrix();
    }
    dev.impl_endScene(false, nullptr);
    dev.impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
    dev.finish();
    ++frame;
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(frame), benchmark::Counter::kIsRate);
  dev.term();
  platform::DestroyGLWindow(window);
}
BENCHMARK(BM_SceneOf32BlendedQuads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // Headless machines draw through the offscreen driver (Mesa's llvmpipe).
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
