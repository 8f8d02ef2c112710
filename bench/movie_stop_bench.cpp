// How soon a stop returns while the movie player's thread is decoding: a
// 640 x 480 MPEG-1 movie (made here with our encoder, busy pictures so that
// each one takes real work) is started and stopped a few milliseconds later,
// in the middle of its first pictures. The goal is well under 100 ms. The
// baseline is one step of the decoder alone on the same file, the most a
// stop has to wait for; "x_baseline" is the stop over the step.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "bench/busy_pictures.h"
#include "platform/clock.h"
#include "platform/movie_decoder.h"
#include "platform/movie_encoder.h"
#include "sound/movie_player.h"

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int32_t kFrames = 50;

const std::string& MoviePath() {
  static const std::string path = [] {
    const std::vector<std::vector<uint8_t>> frames = BusyPictures(kWidth, kHeight, kFrames);
    platform::MovieEncodeParams params;
    params.width = kWidth;
    params.height = kHeight;
    params.videoBitRate = 4000000;
    std::vector<uint8_t> bytes;
    std::string error;
    if (!platform::EncodeMpegMovie(params, frames, {}, &bytes, &error)) std::abort();
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "zep_movie_stop_bench.mpg";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file.string();
  }();
  return path;
}

void BM_MovieStopWhileDecoding(benchmark::State& state) {
  const std::u16string path(MoviePath().begin(), MoviePath().end());
  double stopMicros = 0;
  for (auto _ : state) {
    int32_t result = 0;
    movie_play(path, 1, result);
    std::this_thread::sleep_for(std::chrono::milliseconds(3));
    const int64_t start = platform::MonotonicMicroseconds();
    movie_stop(result);
    stopMicros += double(platform::MonotonicMicroseconds() - start);
  }
  // One decoder step of the same file, averaged over its pictures.
  auto decoder = platform::CreateFfmpegMovieDecoder();
  if (!decoder->open(MoviePath(), 44100, nullptr, nullptr)) std::abort();
  platform::MovieVideoFrame frame;
  int32_t steps = 0;
  const int64_t start = platform::MonotonicMicroseconds();
  while (decoder->nextPicture(&frame, nullptr) == platform::MovieDecoder::kVideo) ++steps;
  const double stepMicros = double(platform::MonotonicMicroseconds() - start) / std::max(steps, 1);
  const double stop = stopMicros / double(state.iterations());
  state.counters["stop_ms"] = stop / 1000.0;
  state.counters["decode_step_ms"] = stepMicros / 1000.0;
  state.counters["x_baseline"] = stop / stepMicros;
}
BENCHMARK(BM_MovieStopWhileDecoding)->Iterations(40)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
