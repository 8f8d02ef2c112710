// A 640 x 480, 30 frames a second MPEG-1 movie with sound played through the
// movie player, its pictures drawn by the main thread as the main window
// draws them (the offscreen driver when there is no display, SDL's dummy
// sound output, which plays in real time). Reported: the decoder thread's
// CPU time against the baseline, FFmpeg's own decode and conversion of the
// same file in the same program (every frame decoded, pictures to BGRA with
// libswscale, sound with libswresample, nothing shown; "x_ffmpeg" is the
// ratio, the goal at most 1.1); the main thread's upload and present cost
// per picture, apart; and the share of pictures presented on time (before
// the next one was due).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "app/movie_overlay.h"
#include "app/movie_screen.h"
#include "bench/busy_pictures.h"
#include "bench/raw_gl.h"
#include "gdev/gdev_factory.h"
#include "gdev/gdev_gl.h"
#include "gdev/glyph_renderer.h"
#include "platform/clock.h"
#include "platform/movie_decoder.h"
#include "platform/movie_encoder.h"
#include "platform/utf8.h"
#include "scene/scene_setup.h"
#include "sound/movie_player.h"
#include "sound/sorn_glue.h"

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int32_t kFps = 30;
constexpr int32_t kFrames = 4 * kFps;
constexpr int32_t kRate = 44100;

// Busy pictures and a 440 Hz tone.
std::filesystem::path WriteGame(std::string* why) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zep_movie_play_bench";
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "game.scm") << "(:resource (:font-0-type 0) (:font-0-name \"IPAGothic\"))\n"
                                     "(:window (:window-width 640) (:window-height 480))\n";
  const std::vector<std::vector<uint8_t>> frames = BusyPictures(kWidth, kHeight, kFrames);
  std::vector<int16_t> sound;
  for (int64_t n = 0; n < int64_t(kFrames) * kRate / kFps; ++n) {
    const auto v = static_cast<int16_t>(6000 * std::sin(2 * 3.14159265358979 * 440 * double(n) / kRate));
    sound.push_back(v);
    sound.push_back(v);
  }
  platform::MovieEncodeParams params;
  params.width = kWidth;
  params.height = kHeight;
  params.framesPerSecond = kFps;
  params.videoBitRate = 1500000;
  std::vector<uint8_t> bytes;
  if (!platform::EncodeMpegMovie(params, frames, sound, &bytes, why)) return {};
  std::ofstream(dir / "movie.mpg", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return dir;
}

void BM_MoviePlay(benchmark::State& state) {
  raw_gl::UseHeadlessDefaults();
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  std::string why;
  const std::filesystem::path dir = WriteGame(&why);
  if (dir.empty()) {
    state.SkipWithError(why.c_str());
    return;
  }
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  GameEnvironment env(platform::FromUtf8(dir.string()), {u"."}, {});
  if (!env.init(u"game.scm") || !sceneInit(&env) || !GDevFactory::device) {
    state.SkipWithError("the window and its device did not start");
    std::filesystem::current_path(old);
    return;
  }
  SornSoundGlue::instance()->startup();
  movie_install();
  GDev* device = GDevFactory::device;
  const std::string path = (dir / "movie.mpg").string();
  double decoderCpu = 0, ffmpegCpu = 0, uploadMicros = 0, presentMicros = 0;
  int64_t pictures = 0, decoded = 0, onTime = 0;
  for (auto _ : state) {
    int32_t result = 0;
    movie_play(platform::FromUtf8(path), 1, result);
    for (;;) {
      int32_t playState = 0, id = 0;
      movie_getState(playState, id);
      const MovieSession::Stats stats = movie_stats();
      if (playState == 0 || playState == 1) {
        decoderCpu += double(stats.threadCpuMicros);
        decoded += stats.decoded;
        onTime += stats.onTime;
        break;
      }
      const int64_t in = GetMovieScreen()->nextFrameInMs();
      if (in != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(in > 0 ? std::min<int64_t>(in, 10) : 2));
        continue;
      }
      const int64_t start = platform::MonotonicMicroseconds();
      if (!main_window_local::DrawMovieOverlay(device, kWidth, kHeight)) continue;
      const int64_t drawn = platform::MonotonicMicroseconds();
      device->impl_swapBuffers(GDevArea{0, 0, 0, 0}, GDevArea{0, 0, 0, 0});
      static_cast<GDevGL*>(device)->finish();
      GetMovieScreen()->pictureShown();
      uploadMicros += double(drawn - start);
      presentMicros += double(platform::MonotonicMicroseconds() - drawn);
      ++pictures;
    }
    movie_stop(result);
    // The same file decoded by FFmpeg alone, on this thread.
    const int64_t before = platform::ThreadCpuMicroseconds();
    if (platform::DecodeWithFfmpegAlone(path, kRate, &why) != kFrames) {
      state.SkipWithError(("the baseline did not decode the movie: " + why).c_str());
      break;
    }
    ffmpegCpu += double(platform::ThreadCpuMicroseconds() - before);
  }
  main_window_local::ReleaseMovieOverlay(device);
  sceneRelease();
  DestroyMainWindow();
  GetFontRendererTable().clear();
  std::filesystem::current_path(old);
  const double runs = double(state.iterations());
  state.counters["decoder_cpu_ms"] = decoderCpu / runs / 1000.0;
  state.counters["ffmpeg_cpu_ms"] = ffmpegCpu / runs / 1000.0;
  state.counters["x_ffmpeg"] = ffmpegCpu > 0 ? decoderCpu / ffmpegCpu : 0;
  state.counters["upload_ms_per_picture"] = pictures > 0 ? uploadMicros / double(pictures) / 1000.0 : 0;
  state.counters["present_ms_per_picture"] = pictures > 0 ? presentMicros / double(pictures) / 1000.0 : 0;
  state.counters["on_time_share"] = decoded > 0 ? double(onTime) / double(decoded) : 0;
  state.counters["pictures_shown"] = double(pictures) / runs;
}
BENCHMARK(BM_MoviePlay)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
