// The whole sound library at work: 8 stream channels playing 60 s of
// 44.1 kHz stereo Ogg and 8 effect channels replaying a one-second tone,
// through the decoder and timer threads and the mixer on SDL's dummy output
// (which asks for sound in real time). Reported as the share of one core
// the process spends per second of output, next to the baseline on the
// same output: the mixer alone playing sixteen buffers while libvorbisfile
// alone decodes eight streams in the decoder thread's rhythm. Then how soon
// a play after a rest of the output is mixed, next to the same play while
// the output runs. "x_baseline" is the first over the second.
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

#include "platform/audio_device.h"
#include "sound/mixer.h"
#include "sound/sorn.h"
#include "sound/ut_sound_system.h"
#include "sound/vorbis_reference.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kSeconds = 60;
constexpr int32_t kChannels = 8;
constexpr double kMeasuredSeconds = 4.0;

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::vector<int16_t> Music(int64_t frames, int32_t channels, double hz) {
  std::vector<int16_t> pcm(size_t(frames) * size_t(channels));
  for (int64_t f = 0; f < frames; ++f) {
    for (int32_t c = 0; c < channels; ++c) {
      const double t = double(f) / kRate;
      pcm[size_t(f * channels + c)] =
          int16_t(9000 * std::sin(2 * std::numbers::pi * hz * (c + 1) * t) + 3000 * std::sin(2 * std::numbers::pi * 3.1 * hz * t));
    }
  }
  return pcm;
}

const std::vector<uint8_t>& MusicOgg() {
  static const std::vector<uint8_t> ogg = [] {
    std::vector<uint8_t> out;
    const std::vector<int16_t> pcm = Music(int64_t(kRate) * kSeconds, 2, 220.0);
    if (!EncodeOggVorbis(pcm.data(), int64_t(kRate) * kSeconds, 2, kRate, 0.4f, 1, {}, &out)) std::abort();
    return out;
  }();
  return ogg;
}

const std::vector<uint8_t>& ToneOgg() {
  static const std::vector<uint8_t> ogg = [] {
    std::vector<uint8_t> out;
    const std::vector<int16_t> pcm = Music(kRate, 1, 660.0);
    if (!EncodeOggVorbis(pcm.data(), kRate, 1, kRate, 0.4f, 2, {}, &out)) std::abort();
    return out;
  }();
  return ogg;
}

SoundMediaDesc Memory(const std::vector<uint8_t>& bytes) {
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kMemory;
  desc.data = bytes.data();
  desc.size = uint32_t(bytes.size());
  return desc;
}

// The library open on the default output with the tone in slot 0.
bool OpenLibrary(const SoundMediaDesc& tone) {
  SoundVersionInfo version;
  version.major = version.minor = 3;
  SoundInitInfo info;
  SoundDeviceConfig config;
  config.kind = SoundDeviceConfig::kOutput;
  return sorn_init(&version, &info) == kSornOk && sorn_configDevice(&config) == kSornOk &&
         sorn_openDevice(nullptr) == kSornOk && sorn_sfxLoad(0, &tone) == kSornOk;
}

void BM_WholeLibrary(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const SoundMediaDesc music = Memory(MusicOgg());
  const SoundMediaDesc tone = Memory(ToneOgg());
  double library = 0;
  for (auto _ : state) {
    if (!OpenLibrary(tone)) {
      state.SkipWithError("the sound library did not open");
      break;
    }
    for (int32_t c = 0; c < kChannels; ++c) {
      sorn_streamOpen(c, &music);
      sorn_streamPlay(c, int64_t(c) * kRate);
    }
    // Past the two seconds each channel decodes ahead when it starts.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const double cpu = CpuSeconds();
    const auto wall = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count() < kMeasuredSeconds) {
      for (int32_t c = 0; c < kChannels; ++c) {
        sorn_sfxSetVolume(c, 60);
        sorn_sfxPlay(c, 0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
    library = (CpuSeconds() - cpu) / elapsed;
    sorn_shutdown();
  }

  // The baseline over the same output and window: the mixer alone playing
  // sixteen such buffers, while libvorbisfile alone decodes the eight
  // streams in the rhythm the decoder thread keeps (a share of every
  // stream every 120 ms).
  Mixer mixer(kRate, 2);
  std::unique_ptr<platform::AudioDevice> output = platform::CreateSdlAudioDevice();
  if (!output->open(kRate, 2, &Mixer::AudioCallback, &mixer, nullptr)) {
    state.SkipWithError("the output did not open");
    return;
  }
  std::vector<std::unique_ptr<SoundBuffer>> buffers;
  for (int32_t i = 0; i < 2 * kChannels; ++i) {
    const int32_t channels = i < kChannels ? 2 : 1;
    std::unique_ptr<SoundBuffer> buffer;
    mixer.createBuffer({kRate, channels, 16}, uint32_t(kRate * channels * 4), &buffer);
    buffer->setVolume(-600);
    buffer->play(true);
    buffers.push_back(std::move(buffer));
  }
  std::vector<std::unique_ptr<ReferenceOggReader>> readers;
  for (int32_t c = 0; c < kChannels; ++c) {
    readers.push_back(std::make_unique<ReferenceOggReader>(MusicOgg().data(), MusicOgg().size()));
  }
  constexpr int64_t kStepFrames = kRate * 120 / 1000;
  std::vector<int16_t> pcm(size_t(kStepFrames) * 2);
  const double cpu = CpuSeconds();
  const auto wall = std::chrono::steady_clock::now();
  auto next = wall;
  while (std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count() < kMeasuredSeconds) {
    for (auto& reader : readers) reader->read(pcm.data(), kStepFrames);
    next += std::chrono::milliseconds(120);
    std::this_thread::sleep_until(next);
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  const double baseline = (CpuSeconds() - cpu) / elapsed;
  output->close();

  state.counters["core_pct"] = library * 100;
  state.counters["baseline_core_pct"] = baseline * 100;
  state.counters["x_baseline"] = baseline > 0 ? library / baseline : 0;
}
BENCHMARK(BM_WholeLibrary)->Iterations(1)->Unit(benchmark::kMillisecond);

// What the mixer hands the output: the moment a block first carries sound.
struct FirstSound {
  static void hook(void* self, const int16_t* samples, int32_t frames) {
    auto* f = static_cast<FirstSound*>(self);
    if (f->heard.load()) return;
    for (int32_t i = 0; i < frames * 2; ++i) {
      if (samples[i] != 0) {
        f->at = std::chrono::steady_clock::now();
        f->heard.store(true);
        return;
      }
    }
  }
  std::atomic<bool> heard{false};
  std::chrono::steady_clock::time_point at;
};

// A tone played after a second and a half of silence, when the output has
// been closed and the workers rest: the time from the play to the first
// block that carries it (the output opened again, SDL's thread started).
// The baseline is the same play while the output runs (a silent stream
// keeps it awake), where the tone waits for the next of SDL's blocks.
void BM_PlayAfterRest(benchmark::State& state) {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  const SoundMediaDesc tone = Memory(ToneOgg());
  const SoundMediaDesc music = Memory(MusicOgg());
  if (!OpenLibrary(tone) || sorn_sfxSetVolume(0, 100) != kSornOk || sorn_streamOpen(0, &music) != kSornOk ||
      sorn_streamSetVolume(0, 0) != kSornOk) {
    state.SkipWithError("the sound library did not open");
    return;
  }
  Mixer& mixer = *GetSoundSystem().device->mixer();
  // Milliseconds from the play to the first block that carries the tone.
  auto playOnce = [&] {
    FirstSound first;
    mixer.setCaptureHook(&FirstSound::hook, &first);
    const auto played = std::chrono::steady_clock::now();
    sorn_sfxPlay(0, 0);
    const auto deadline = played + std::chrono::seconds(5);
    while (!first.heard.load() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    mixer.setCaptureHook(nullptr, nullptr);
    sorn_sfxStop(0);
    return first.heard.load() ? std::chrono::duration<double, std::milli>(first.at - played).count() : 5000.0;
  };
  double rested = 0, awake = 0;
  int64_t rounds = 0;
  for (auto _ : state) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    rested += playOnce();
    sorn_streamPlay(0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    awake += playOnce();
    sorn_streamStop(0);
    ++rounds;
  }
  sorn_shutdown();
  state.counters["ms_after_rest"] = rested / double(rounds);
  state.counters["baseline_ms_awake"] = awake / double(rounds);
  state.counters["x_baseline"] = awake > 0 ? rested / awake : 0;
}
BENCHMARK(BM_PlayAfterRest)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
