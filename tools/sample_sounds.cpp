// Synthesis for the sample game's sounds. Every sample comes from integer
// arithmetic (a rational sine approximation, fixed-point envelopes), so a
// run makes the same PCM, and the encoder the same files, every time.
#include "tools/sample_sounds.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sound/vorbis_reference.h"
#include "sound/wave_header.h"
#include "tools/sample_files.h"

namespace {

constexpr uint32_t kHalfTurn = 1u << 31;

// sin(2 pi phase / 2^32) x 32767 by Bhaskara's rational approximation on
// each half turn (within 0.2 % of full scale).
int32_t Sine(uint32_t phase) {
  const bool negative = phase >= kHalfTurn;
  const int64_t p = (phase % kHalfTurn) >> 16;  // 0..32767 over half a turn
  constexpr int64_t n = 32768;
  const int64_t q = p * (n - p);
  const int64_t value = 16 * q * 32767 / (5 * n * n - 4 * q);
  return static_cast<int32_t>(negative ? -value : value);
}

uint32_t Step(int32_t hz, int32_t rate) { return static_cast<uint32_t>((uint64_t(hz) << 32) / uint64_t(rate)); }

int16_t Clip(int64_t v) { return static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v); }

// A note's loudness 0..4096: 20 ms attack, then a linear fall to a third.
int32_t Envelope(int64_t t, int64_t length, int32_t rate) {
  const int64_t attack = rate / 50;
  if (t < attack) return static_cast<int32_t>(4096 * t / attack);
  return static_cast<int32_t>(4096 - 2730 * (t - attack) / (length - attack));
}

// Eight seconds at 44100 Hz, stereo: a two-second opening, then a phrase of
// six seconds that loops. An arpeggio over a soft held chord.
std::vector<int16_t> Music() {
  constexpr int32_t kRate = 44100;
  constexpr int64_t kFrames = int64_t(kRate) * 8;
  constexpr int32_t kNotes[16] = {262, 330, 392, 523, 392, 330, 294, 392, 440, 523, 659, 523, 440, 392, 330, 294};
  constexpr int32_t kChords[4][3] = {{131, 196, 262}, {147, 220, 294}, {165, 247, 330}, {131, 196, 262}};
  std::vector<int16_t> pcm(size_t(kFrames) * 2);
  const int64_t note = kRate / 2;
  for (int64_t f = 0; f < kFrames; ++f) {
    const int64_t index = f / note;
    const int64_t t = f % note;
    const int32_t hz = kNotes[index % 16];
    const int64_t lead = int64_t(Sine(uint32_t(uint64_t(Step(hz, kRate)) * uint64_t(t)))) *
                         Envelope(t, note, kRate) / 4096 / 4;
    int64_t pad = 0;
    for (int32_t voice = 0; voice < 3; ++voice) {
      pad += Sine(uint32_t(uint64_t(Step(kChords[(f / (2 * kRate)) % 4][voice], kRate)) * uint64_t(f))) / 12;
    }
    pcm[size_t(f) * 2] = Clip(lead + pad);
    pcm[size_t(f) * 2 + 1] = Clip(lead * 3 / 4 + pad);
  }
  return pcm;
}

// A chime of 0.6 s at 22050 Hz, mono: two partials fading out.
std::vector<int16_t> Chime() {
  constexpr int32_t kRate = 22050;
  const int64_t frames = kRate * 6 / 10;
  std::vector<int16_t> pcm(size_t(frames), 0);
  for (int64_t f = 0; f < frames; ++f) {
    const int64_t gain = 4096 * (frames - f) / frames;
    const int64_t a = Sine(uint32_t(uint64_t(Step(1319, kRate)) * uint64_t(f)));
    const int64_t b = Sine(uint32_t(uint64_t(Step(1976, kRate)) * uint64_t(f))) / 2;
    pcm[size_t(f)] = Clip((a + b) * gain * gain / 4096 / 4096 / 2);
  }
  return pcm;
}

// A voice line of 1.2 s at 22050 Hz, mono: a buzzing tone in three
// syllables, its pitch gliding as speech does.
std::vector<int16_t> Voice() {
  constexpr int32_t kRate = 22050;
  const int64_t frames = kRate * 12 / 10;
  const int64_t syllable = frames / 3;
  std::vector<int16_t> pcm(size_t(frames), 0);
  uint32_t phase = 0;
  for (int64_t f = 0; f < frames; ++f) {
    const int64_t t = f % syllable;
    const int32_t hz = 170 + int32_t(40 * t / syllable) - int32_t(20 * (f / syllable));
    phase += Step(hz, kRate);
    // The first three harmonics, softened to a vowel-like buzz.
    const int64_t buzz = Sine(phase) + Sine(phase * 2) / 2 + Sine(phase * 3) / 3;
    const int64_t rise = std::min<int64_t>(t, kRate / 40);
    const int64_t fall = std::min<int64_t>(syllable - t, kRate / 20);
    const int64_t gain = 4096 * std::min(rise * 40, fall * 20) / kRate;
    pcm[size_t(f)] = Clip(buzz * std::min<int64_t>(gain, 4096) / 4096 / 3);
  }
  return pcm;
}

// Four seconds at 22050 Hz, mono: a slow tune of eight notes over a held
// low note, which ends where it began so that it loops without a seam.
std::vector<int16_t> TutorialTune() {
  constexpr int32_t kRate = 22050;
  constexpr int64_t kFrames = int64_t(kRate) * 4;
  constexpr int32_t kNotes[8] = {392, 440, 523, 440, 392, 330, 294, 330};
  std::vector<int16_t> pcm(size_t(kFrames), 0);
  const int64_t note = kFrames / 8;
  for (int64_t f = 0; f < kFrames; ++f) {
    const int64_t t = f % note;
    const int64_t lead = int64_t(Sine(uint32_t(uint64_t(Step(kNotes[f / note], kRate)) * uint64_t(t)))) *
                         Envelope(t, note, kRate) / 4096 / 4;
    const int64_t drone = Sine(uint32_t(uint64_t(Step(196, kRate)) * uint64_t(f))) / 10;
    pcm[size_t(f)] = Clip(lead + drone);
  }
  return pcm;
}

// A 16-bit PCM RIFF WAVE file of the samples.
std::string Wave(const std::vector<int16_t>& pcm, int32_t rate, int32_t channels) {
  const uint32_t data = uint32_t(pcm.size() * 2);
  std::string out(kWaveHeaderBytes + data, '\0');
  WriteWaveHeader(reinterpret_cast<uint8_t*>(out.data()), channels, rate, 16, data);
  for (size_t i = 0; i < pcm.size(); ++i) {
    out[kWaveHeaderBytes + 2 * i] = char(uint16_t(pcm[i]) & 0xFF);
    out[kWaveHeaderBytes + 2 * i + 1] = char(uint16_t(pcm[i]) >> 8);
  }
  return out;
}

bool WriteOgg(const std::filesystem::path& target, const std::vector<int16_t>& pcm, int32_t rate, int32_t channels,
              int32_t serial, const std::vector<std::string>& comments) {
  std::vector<uint8_t> ogg;
  if (!EncodeOggVorbis(pcm.data(), int64_t(pcm.size()) / channels, channels, rate, 0.2f, serial, comments, &ogg)) {
    std::fprintf(stderr, "make_sample_art: cannot encode %s\n", target.c_str());
    return false;
  }
  return WriteSampleFile(target, std::string(ogg.begin(), ogg.end()));
}

}  // namespace

bool WriteSampleSounds(const std::filesystem::path& outDir) {
  // The music loops over its phrase: from 2 s to its end.
  return WriteOgg(outDir / "music/bgm01.ogg", Music(), 44100, 2, 1,
                  {"so3.stream.looppoint.start=88200", "so3.stream.looppoint.end=0"}) &&
         WriteSampleFile(outDir / "sound/se001.wav", Wave(Chime(), 22050, 1)) &&
         WriteOgg(outDir / "voice/001/v0010001.ogg", Voice(), 22050, 1, 2, {});
}

bool WriteTutorialSounds(const std::filesystem::path& outDir) {
  // No loop points in the file: the tutorial's script loops it with 3003.
  return WriteOgg(outDir / "music/bgm01.ogg", TutorialTune(), 22050, 1, 3, {});
}
