// Frames per second of the OpenGL device on a typical scene: a 1280 x 720
// screen with 32 textured, alpha-blended 256 x 256 quads, ended and
// presented each frame (into a hidden window; the offscreen driver when there
// is no display), against the same scene drawn with plain OpenGL calls: the
// same textures, quads, blend, off-screen buffer and present copy. The
// counter "ratio" is engine frames/s over raw frames/s.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "gdev/gl_api.h"
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
    window_ = platform::CreateGLWindow(u"gdev bench raw", kWidth, kHeight, true, why);
    if (!window_) return false;
    context_ = platform::GLContext::create(window_, why);
    if (!context_) return false;
    context_->setSwapInterval(1);  // as the device asks
    if (!buildProgram(why)) return false;

    glGenVertexArrays(1, &vertexArray_);
    glBindVertexArray(vertexArray_);
    glGenBuffers(1, &vertexBuffer_);
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<void*>(offsetof(Vertex, u)));

    for (int i = 0; i < kQuads; ++i) {
      const RGBAImage picture = MakePicture(i);
      textures_.push_back(makeTexture(GL_RGBA8, kSide, kSide, GL_BGRA, picture.pixels.data()));
    }

    screenTexture_ = makeTexture(GL_RGB8, kWidth, kHeight, GL_RGB, nullptr);
    glGenFramebuffers(1, &screenFramebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screenTexture_, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      *why = "incomplete RGB8 framebuffer";
      return false;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDisable(GL_DITHER);
    return true;
  }

  void frame(int64_t frame) {
    // Quads in pixels, then the window-filling copy.
    Vertex v[kQuads * 4 + 4];
    for (int i = 0; i < kQuads; ++i) {
      const float x = QuadX(i, frame);
      const float y = QuadY(i, frame);
      v[i * 4 + 0] = {x, y, 0, 0};
      v[i * 4 + 1] = {x + kSide, y, 1, 0};
      v[i * 4 + 2] = {x, y + kSide, 0, 1};
      v[i * 4 + 3] = {x + kSide, y + kSide, 1, 1};
    }
    v[kQuads * 4 + 0] = {0, 0, 0, 0};
    v[kQuads * 4 + 1] = {kWidth, 0, 1, 0};
    v[kQuads * 4 + 2] = {0, kHeight, 0, 1};
    v[kQuads * 4 + 3] = {kWidth, kHeight, 1, 1};
    glBufferData(GL_ARRAY_BUFFER, sizeof v, v, GL_STREAM_DRAW);
    glUseProgram(program_);

    // The screen buffer is stored top row first, as the device stores it.
    glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer_);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(TruncToByte(kClear[0]), TruncToByte(kClear[1]), TruncToByte(kClear[2]), TruncToByte(kClear[3]));
    glClear(GL_COLOR_BUFFER_BIT);
    glUniform4f(scaleLocation_, 2.0f / kWidth, 2.0f / kHeight, -1.0f, -1.0f);
    glEnable(GL_BLEND);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glActiveTexture(GL_TEXTURE0);
    for (int i = 0; i < kQuads; ++i) {
      glBindTexture(GL_TEXTURE_2D, textures_[static_cast<size_t>(i)]);
      glDrawArrays(GL_TRIANGLE_STRIP, i * 4, 4);
    }

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kWidth, kHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_BLEND);
    glUniform4f(scaleLocation_, 2.0f / kWidth, -2.0f / kHeight, -1.0f, 1.0f);
    glBindTexture(GL_TEXTURE_2D, screenTexture_);
    glDrawArrays(GL_TRIANGLE_STRIP, kQuads * 4, 4);
    context_->swapBuffers();
    glFinish();
  }

  int64_t screenBufferBytes() const { return int64_t{kWidth} * kHeight * 4; }

  void stop() {
    if (context_) {
      glDeleteFramebuffers(1, &screenFramebuffer_);
      glDeleteTextures(1, &screenTexture_);
      for (GLuint texture : textures_) glDeleteTextures(1, &texture);
      glDeleteBuffers(1, &vertexBuffer_);
      glDeleteVertexArrays(1, &vertexArray_);
      glDeleteProgram(program_);
    }
    textures_.clear();
    context_.reset();
    if (window_) platform::DestroyGLWindow(window_);
    window_ = nullptr;
  }

 private:
  struct Vertex {
    float x, y, u, v;
  };

  // A linear, clamped texture without mipmaps (pixels may be null).
  static GLuint makeTexture(GLint internalFormat, int width, int height, GLenum format, const void* pixels) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, format, GL_UNSIGNED_BYTE, pixels);
    return texture;
  }

  bool buildProgram(std::string* why) {
    const char* vertexSource = R"(#version 330 core
uniform vec4 uScale;
layout(location = 0) in vec2 aPosition;
layout(location = 1) in vec2 aUV;
out vec2 vUV;
void main() {
  gl_Position = vec4(aPosition * uScale.xy + uScale.zw, 0.0, 1.0);
  vUV = aUV;
}
)";
    const char* fragmentSource = R"(#version 330 core
uniform sampler2D uTex;
in vec2 vUV;
out vec4 fragColor;
void main() { fragColor = texture(uTex, vUV); }
)";
    GLuint stages[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
    glShaderSource(stages[0], 1, &vertexSource, nullptr);
    glShaderSource(stages[1], 1, &fragmentSource, nullptr);
    program_ = glCreateProgram();
    for (GLuint stage : stages) {
      glCompileShader(stage);
      glAttachShader(program_, stage);
    }
    glLinkProgram(program_);
    for (GLuint stage : stages) glDeleteShader(stage);
    GLint linked = GL_FALSE;
    glGetProgramiv(program_, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
      *why = "the raw program did not link";
      return false;
    }
    glUseProgram(program_);
    glUniform1i(glGetUniformLocation(program_, "uTex"), 0);
    scaleLocation_ = glGetUniformLocation(program_, "uScale");
    return true;
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<platform::GLContext> context_;
  GLuint program_ = 0;
  GLint scaleLocation_ = -1;
  GLuint vertexArray_ = 0;
  GLuint vertexBuffer_ = 0;
  std::vector<GLuint> textures_;
  GLuint screenTexture_ = 0;
  GLuint screenFramebuffer_ = 0;
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
  // Headless machines draw through the offscreen driver (Mesa's llvmpipe),
  // with the rasteriser threads the tests use unless the caller says.
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("LP_NUM_THREADS", "2", 0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
