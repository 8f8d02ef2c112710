// Frames per second of the OpenGL device on a typical scene: a 1280 x 720
// screen with 32 textured, alpha-blended 256 x 256 quads, ended and
// presented each frame (into a hidden window; the offscreen driver when there
// is no display), against the same scene drawn with plain OpenGL calls: the
// same textures, quads, blend, off-screen buffer and present copy. The
// counter "ratio" is engine frames/s over raw frames/s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/raw_gl.h"
#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "platform/gl_window.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kQuads = 32;
constexpr int kSide = 256;
// The two sides take turns, each on a window and context of its own, so
// that a change in the machine's load falls on both alike.
constexpr int kRounds = 16;
constexpr int kWarmUpFrames = 5;
constexpr int kFramesPerRound = 30;

const float kClear[4] = {0.1f, 0.2f, 0.3f, 1.0f};

// The picture of quad `seed`: a colour ramp under a round alpha falloff.
RGBAImage MakePicture(int seed) {
  RGBAImage image(0, kSide, kSide);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      uint8_t* p = image.pixel(x, y);
      const int dx = x - kSide / 2;
      const int dy = y - kSide / 2;
      const int d = dx * dx + dy * dy;
      p[0] = static_cast<uint8_t>(x + seed * 37);
      p[1] = static_cast<uint8_t>(y + seed * 11);
      p[2] = static_cast<uint8_t>(seed * 53);
      p[3] = static_cast<uint8_t>(d >= kSide * kSide / 4 ? 0 : 255 - d * 255 / (kSide * kSide / 4));
    }
  }
  return image;
}

// Where quad i of a frame goes: an 8 x 4 grid of overlapping pictures that
// drift a little each frame.
float QuadX(int i, int64_t frame) { return static_cast<float>((i % 8) * 140 + (frame + i * 7) % 40); }
float QuadY(int i, int64_t frame) { return static_cast<float>((i / 8) * 150 + (frame + i * 3) % 30); }

class Picture : public GDevPixelSource {
 public:
  explicit Picture(int seed) : image_(MakePicture(seed)) {}
  void getImage(RGBAImageRef& out) override { out = image_; }
  uint32_t getRevision() override { return 1; }
  void setPixels(const std::vector<uint8_t>&) override {}

 private:
  RGBAImageRef image_;
};

// The scene through the engine's device, as the frame step drives it.
class EngineScene {
 public:
  bool start(std::string* why) {
    window_ = platform::CreateGLWindow(u"gdev bench", kWidth, kHeight, true, why);
    if (!window_) return false;
    GDevInitParams params;
    params.window = window_;
    if (dev_.init(params) != 0 || !dev_.setWindowSize(kWidth, kHeight, kWidth, kHeight)) {
      *why = "no OpenGL 3.3 device";
      return false;
    }
    for (int i = 0; i < kQuads; ++i) {
      pictures_.push_back(std::make_unique<Picture>(i));
      GDevTextureCreateParams create;
      create.width = kSide;
      create.height = kSide;
      create.format = 3;
      create.source = pictures_.back().get();
      GDevTexture* texture = nullptr;
      dev_.createTextureObject(create, &texture);
      textures_.push_back(texture);
    }
    return true;
  }

  void frame(int64_t frame) {
    dev_.impl_beginScene(nullptr);
    dev_.setViewport(0, 0, kWidth, kHeight);
    dev_.clearRegion(GDEV_CLEAR_TARGET, 0, 0, kWidth, kHeight, kClear);
    dev_.setMatrixTexture_Ident();
    dev_.setBlendingContext(0, BLENDINGCONTEXT_BOTH);
    dev_.setMatrixProj_Ortho2D(0, 0, kWidth, kHeight);
    for (int i = 0; i < kQuads; ++i) {
      dev_.pushMatrix();
      dev_.translate(QuadX(i, frame), QuadY(i, frame), 0);
      dev_.drawTextureQuad({0, 0, kSide, kSide}, {0, 0, 1, 1}, textures_[static_cast<size_t>(i)], GDEV_BLEND_NORMAL,
                           0, 0);
      dev_.popMatrix();
    }
    dev_.impl_endScene(false, nullptr);
    dev_.impl_swapBuffers({0, 0, 0, 0}, {0, 0, 0, 0});
    dev_.finish();
  }

  int64_t screenBufferBytes() const {
    return int64_t{dev_.screenBufferWidth()} * dev_.screenBufferHeight() * 4;
  }

  void stop() {
    dev_.term();
    textures_.clear();
    pictures_.clear();
    if (window_) platform::DestroyGLWindow(window_);
    window_ = nullptr;
  }

 private:
  SDL_Window* window_ = nullptr;
  GDevGL dev_;
  std::vector<std::unique_ptr<Picture>> pictures_;
  std::vector<GDevTexture*> textures_;
};

// The same scene with plain OpenGL: one program, one vertex buffer written
// once per frame, one texture bind and draw per quad, an RGB8 framebuffer of
// the screen's size, and the present copy into the window.
class RawScene {
 public:
  bool start(std::string* why) {
    if (!screen_.start(u"gdev bench raw", kWidth, kHeight, why)) return false;
    for (int i = 0; i < kQuads; ++i) {
      const RGBAImage picture = MakePicture(i);
      textures_.push_back(raw_gl::MakeTexture(GL_RGBA8, kSide, kSide, GL_BGRA, picture.pixels.data()));
    }
    return true;
  }

  void frame(int64_t frame) {
    // Quads in pixels, then the window-filling copy.
    raw_gl::Vertex v[kQuads * 4];
    for (int i = 0; i < kQuads; ++i) raw_gl::QuadVertices(QuadX(i, frame), QuadY(i, frame), kSide, kSide, &v[i * 4]);
    screen_.setVertices(v);
    screen_.beginScreen(kClear);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);
    for (int i = 0; i < kQuads; ++i) {
      glBindTexture(GL_TEXTURE_2D, textures_[static_cast<size_t>(i)]);
      glDrawArrays(GL_TRIANGLE_STRIP, i * 4, 4);
    }
    screen_.present();
    glFinish();
  }

  int64_t screenBufferBytes() const { return screen_.screenBufferBytes(); }

  void stop() {
    if (screen_.hasContext()) {
      for (GLuint texture : textures_) glDeleteTextures(1, &texture);
    }
    textures_.clear();
    screen_.stop();
  }

 private:
  raw_gl::Screen screen_;
  std::vector<GLuint> textures_;
};

// One round of one side: a fresh window and context, a few untimed frames,
// then kFramesPerRound timed ones. False (with the reason) when it cannot start.
template <class Scene>
bool TimeRound(double* seconds, int64_t* screenBytes, std::string* why) {
  Scene scene;
  if (!scene.start(why)) {
    scene.stop();
    return false;
  }
  int64_t frame = 0;
  for (int i = 0; i < kWarmUpFrames; ++i) scene.frame(frame++);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFramesPerRound; ++i) scene.frame(frame++);
  *seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  *screenBytes = scene.screenBufferBytes();
  scene.stop();
  return true;
}

void BM_SceneOf32BlendedQuads(benchmark::State& state) {
  double engineSeconds = 0;
  double rawSeconds = 0;
  int64_t engineBytes = 0;
  int64_t rawBytes = 0;
  const int64_t frames = int64_t{kRounds} * kFramesPerRound;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      std::string why;
      // Each goes first in every other round.
      for (int side = 0; side < 2; ++side) {
        const bool engine = (side == 0) == (round % 2 == 0);
        const bool ok = engine ? TimeRound<EngineScene>(&engineSeconds, &engineBytes, &why)
                               : TimeRound<RawScene>(&rawSeconds, &rawBytes, &why);
        if (!ok) {
          state.SkipWithError(((engine ? "engine: " : "raw OpenGL: ") + why).c_str());
          return;
        }
      }
    }
    state.SetIterationTime(engineSeconds / static_cast<double>(frames));
  }
  const double engineFps = static_cast<double>(frames) / engineSeconds;
  const double rawFps = static_cast<double>(frames) / rawSeconds;
  state.counters["engine_fps"] = engineFps;
  state.counters["raw_fps"] = rawFps;
  state.counters["ratio"] = engineFps / rawFps;
  state.counters["screen_buffer_bytes"] = static_cast<double>(engineBytes);
}
// One iteration holds every round; its time is the engine's mean frame time.
BENCHMARK(BM_SceneOf32BlendedQuads)->Unit(benchmark::kMillisecond)->Iterations(1)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  raw_gl::UseHeadlessDefaults();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
