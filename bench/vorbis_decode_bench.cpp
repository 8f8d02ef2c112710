// Decoding 60 s of 44.1 kHz stereo Ogg Vorbis (about 128 kbit/s) from
// memory: through DSVorbis, opened by the descriptor opening as a stream
// channel opens it and read in the channel's 44,100-frame steps, against
// libvorbisfile alone (ov_read from memory) on the same bytes. "x_ov_read"
// is DSVorbis's time over libvorbisfile's (goal: at most 1.1);
// "x_realtime" is seconds of sound decoded per second.
// A late start in a ten-minute track (made when the benchmark starts, in a
// few seconds): what a stream channel does to play from 540 s (open, seek,
// two seconds of prefill) against the same from 0 ("x_start_at_0", goal:
// at most 3, and "late_ms" under 60) and against libvorbisfile's own seek
// (ov_pcm_seek) on the same bytes ("x_ov_pcm_seek").
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/log.h"
#include "sound/ut_data_source.h"
#include "sound/vorbis_reference.h"

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kChannels = 2;
constexpr int64_t kFrames = int64_t{kRate} * 60;
constexpr int32_t kStep = 44100;  // a stream channel's decoder read
constexpr int64_t kLongFrames = int64_t{kRate} * 600;
constexpr int64_t kLateFrame = int64_t{kRate} * 540;
constexpr int64_t kPrefill = int64_t{kRate} * 2;  // what a channel decodes before it plays

// Chords with a slow beat and a little noise: encodes at a music-like bit
// rate, unlike a pure tone.
std::vector<uint8_t> EncodeMusic(int64_t frames) {
  std::vector<int16_t> pcm(static_cast<size_t>(frames * kChannels));
  uint32_t seed = 1;
  for (int64_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / kRate;
    const double beat = 0.6 + 0.4 * std::sin(2.0 * M_PI * 2.0 * t);
    for (int32_t c = 0; c < kChannels; ++c) {
      seed = seed * 1103515245u + 12345u;
      const double noise = (static_cast<double>(seed >> 16) / 65536.0 - 0.5) * 0.05;
      const double v = beat * (0.25 * std::sin(2.0 * M_PI * (220.0 + 110.0 * c) * t) +
                               0.15 * std::sin(2.0 * M_PI * 277.2 * t) + 0.1 * std::sin(2.0 * M_PI * 329.6 * t)) +
                       noise;
      pcm[static_cast<size_t>(f * kChannels + c)] = static_cast<int16_t>(v * 32767.0);
    }
  }
  std::vector<uint8_t> ogg;
  if (!EncodeOggVorbis(pcm.data(), frames, kChannels, kRate, 0.4f, 1, {}, &ogg)) std::abort();
  return ogg;
}

const std::vector<uint8_t>& OggFile() {
  static const std::vector<uint8_t> file = EncodeMusic(kFrames);
  return file;
}

const std::vector<uint8_t>& LongOggFile() {
  static const std::vector<uint8_t> file = EncodeMusic(kLongFrames);
  return file;
}

SoundMediaDesc MemoryDesc(const std::vector<uint8_t>& ogg) {
  SoundMediaDesc desc;
  desc.kind = SoundMediaDesc::kMemory;
  desc.data = ogg.data();
  desc.size = static_cast<uint32_t>(ogg.size());
  return desc;
}

// Decodes the whole file through the sound library; the frames decoded.
int64_t DecodeThroughDSVorbis(std::vector<uint8_t>* pcm) {
  std::unique_ptr<UTDataSource> source;
  if (OpenMediaDecoder(MemoryDesc(OggFile()), &source) != 0) std::abort();
  UTFormat format;
  source->getFormat(&format);
  pcm->resize(static_cast<size_t>((format.length + kStep) * format.bytesPerFrame));
  int64_t frames = 0;
  for (;;) {
    const int32_t got = source->read(pcm->data() + frames * format.bytesPerFrame, kStep);
    if (got <= 0) break;
    frames += got;
  }
  return frames;
}

double Seconds(void (*decode)()) {
  const auto start = std::chrono::steady_clock::now();
  decode();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void OursOnce() {
  std::vector<uint8_t> pcm;
  if (DecodeThroughDSVorbis(&pcm) != kFrames) std::abort();
}

void ReferenceOnce() {
  std::vector<uint8_t> pcm;
  const std::vector<uint8_t>& ogg = OggFile();
  if (!ReferenceDecodeOgg(ogg.data(), ogg.size(), &pcm) || static_cast<int64_t>(pcm.size()) != kFrames * 4) {
    std::abort();
  }
}

void BM_DecodeDSVorbis(benchmark::State& state) {
  SetLogLevelMask(0);
  OggFile();
  for (auto _ : state) OursOnce();
  // Alternate the two, several times, so drift in the machine hits both.
  double ours = 0.0;
  double reference = 0.0;
  constexpr int kRepeats = 5;
  for (int i = 0; i < kRepeats; ++i) {
    reference += Seconds(ReferenceOnce);
    ours += Seconds(OursOnce);
  }
  state.counters["x_ov_read"] = ours / reference;
  state.counters["x_realtime"] = 60.0 * kRepeats / ours;
  state.counters["file_KB"] = OggFile().size() / 1024.0;
}
BENCHMARK(BM_DecodeDSVorbis)->Unit(benchmark::kMillisecond);

void BM_DecodeLibvorbisfileAlone(benchmark::State& state) {
  OggFile();
  for (auto _ : state) ReferenceOnce();
}
BENCHMARK(BM_DecodeLibvorbisfileAlone)->Unit(benchmark::kMillisecond);

// A stream channel's start from `frame` in the long track: open, seek, and
// the prefill in the channel's steps.
void StartDSVorbis(int64_t frame) {
  std::unique_ptr<UTDataSource> source;
  if (OpenMediaDecoder(MemoryDesc(LongOggFile()), &source) != 0 || source->seek(frame) != frame) std::abort();
  std::vector<uint8_t> pcm(static_cast<size_t>(kStep) * 4);
  for (int64_t done = 0; done < kPrefill; done += kStep) {
    if (source->read(pcm.data(), kStep) != kStep) std::abort();
  }
}

void StartLibvorbisfile(int64_t frame) {
  const std::vector<uint8_t>& ogg = LongOggFile();
  ReferenceOggReader reader(ogg.data(), ogg.size());
  if (!reader.isOpen() || !reader.seek(frame)) std::abort();
  std::vector<int16_t> pcm(static_cast<size_t>(kStep) * 2);
  for (int64_t done = 0; done < kPrefill; done += kStep) {
    if (reader.read(pcm.data(), kStep) != kStep) std::abort();
  }
}

void LateStartOnce() { StartDSVorbis(kLateFrame); }
void StartAt0Once() { StartDSVorbis(0); }
void LibvorbisfileLateStartOnce() { StartLibvorbisfile(kLateFrame); }

void BM_LateStartDSVorbis(benchmark::State& state) {
  SetLogLevelMask(0);
  LongOggFile();
  for (auto _ : state) LateStartOnce();
  double late = 0.0;
  double atZero = 0.0;
  double reference = 0.0;
  constexpr int kRepeats = 10;
  for (int i = 0; i < kRepeats; ++i) {
    atZero += Seconds(StartAt0Once);
    late += Seconds(LateStartOnce);
    reference += Seconds(LibvorbisfileLateStartOnce);
  }
  state.counters["late_ms"] = late * 1000.0 / kRepeats;
  state.counters["at_0_ms"] = atZero * 1000.0 / kRepeats;
  state.counters["x_start_at_0"] = late / atZero;
  state.counters["x_ov_pcm_seek"] = late / reference;
  state.counters["file_KB"] = LongOggFile().size() / 1024.0;
}
BENCHMARK(BM_LateStartDSVorbis)->Unit(benchmark::kMillisecond);

void BM_LateStartLibvorbisfileAlone(benchmark::State& state) {
  LongOggFile();
  for (auto _ : state) LibvorbisfileLateStartOnce();
}
BENCHMARK(BM_LateStartLibvorbisfileAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
