// The mixer's render at 44.1 kHz stereo in blocks of 4096 frames (what SDL's
// callback asks for), with 8 looping 44.1 kHz stereo buffers copied frame
// for frame and 8 looping 22.05 kHz mono buffers stepped and interpolated,
// all at non-trivial volume and pan. "core_pct" is the share of one core
// that a second of output costs; the budget is under 2 %. The output-rate
// and resampled halves are also measured alone.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sound/mixer.h"

namespace {

constexpr int32_t kOutputRate = 44100;
constexpr int32_t kBlockFrames = 4096;

void Fill(SoundBuffer* buffer, uint32_t seed) {
  void* first = nullptr;
  uint32_t bytes = 0;
  if (buffer->lock(0, 0, &first, &bytes, nullptr, nullptr, kLockEntireBuffer) != kBufferOk) abort();
  auto* samples = static_cast<int16_t*>(first);
  for (uint32_t i = 0; i < bytes / 2; ++i) {
    seed = seed * 1103515245u + 12345u;
    samples[i] = int16_t(int32_t(seed >> 16) % 8000 - 4000);
  }
  if (buffer->unlock(first, bytes, nullptr, 0) != kBufferOk) abort();
}

// `direct` buffers at 44.1 kHz stereo and `resampled` at 22.05 kHz mono,
// two seconds each, looping at staggered volumes and pans.
std::vector<std::unique_ptr<SoundBuffer>> Play(Mixer& mixer, int32_t direct, int32_t resampled) {
  std::vector<std::unique_ptr<SoundBuffer>> buffers;
  for (int32_t i = 0; i < direct + resampled; ++i) {
    const bool stereo = i < direct;
    const SoundBufferFormat format{stereo ? 44100 : 22050, stereo ? 2 : 1, 16};
    std::unique_ptr<SoundBuffer> buffer;
    const uint32_t twoSeconds = uint32_t(format.sampleRate * format.blockAlign() * 2);
    if (mixer.createBuffer(format, twoSeconds, &buffer) != kBufferOk) abort();
    Fill(buffer.get(), uint32_t(i + 1));
    buffer->setVolume(-100 * i);
    buffer->setPan(i % 2 == 0 ? -500 * i : 500 * i);
    buffer->setCurrentPosition(uint32_t(i * 4096));
    buffer->play(true);
    buffers.push_back(std::move(buffer));
  }
  return buffers;
}

void RenderBlocks(benchmark::State& state, int32_t direct, int32_t resampled) {
  Mixer mixer(kOutputRate, 2);
  const std::vector<std::unique_ptr<SoundBuffer>> buffers = Play(mixer, direct, resampled);
  std::vector<int16_t> out(size_t(kBlockFrames) * 2);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    mixer.render(out.data(), kBlockFrames);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  // One thread that never waits: its time is one core's.
  const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double outputSeconds = double(state.iterations()) * kBlockFrames / kOutputRate;
  state.counters["core_pct"] = 100.0 * spent / outputSeconds;
}

void BM_Render8Direct8Resampled(benchmark::State& state) { RenderBlocks(state, 8, 8); }
BENCHMARK(BM_Render8Direct8Resampled)->Unit(benchmark::kMicrosecond);

void BM_Render8Direct(benchmark::State& state) { RenderBlocks(state, 8, 0); }
BENCHMARK(BM_Render8Direct)->Unit(benchmark::kMicrosecond);

void BM_Render8Resampled(benchmark::State& state) { RenderBlocks(state, 0, 8); }
BENCHMARK(BM_Render8Resampled)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
