// Effect tones and channels over a mixer driven by hand: every media shape
// loads as a tone and plays its samples, channels share a tone, a tone run
// to its end reports and stops, and refused media answer their codes.
#include "sound/ds_sfx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "sound/ds_stream_channel.h"
#include "sound/sound_clock.h"
#include "sound/ut_sound_device.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

constexpr int32_t kRate = 8000;  // the tones' and the output's: sample for sample

std::unique_ptr<DSSfxTone> LoadTone(Mixer& mixer, const Bytes& media) {
  DecodedTone decoded;
  std::unique_ptr<DSSfxTone> tone;
  if (DecodeToneMedia(MemoryDesc(media), &decoded) == 0) {
    EXPECT_EQ(DSSfxTone::create(mixer, std::move(decoded), &tone), 0);
  } else {
    ADD_FAILURE() << "the media does not decode";
  }
  return tone;
}

std::vector<int16_t> Render(Mixer& mixer, int32_t frames) {
  std::vector<int16_t> out(size_t(frames) * 2);
  mixer.render(out.data(), frames);
  return out;
}

// State, position and length (ms), rate, volume, ratio and pan.
std::vector<int64_t> Figures(DSSfxChannel& channel) {
  SoundSfxStatus s;
  channel.getStatus(&s);
  return {s.state, s.positionMs, s.lengthMs, s.sampleRate, s.volume, s.frequencyRatio, s.pan};
}

TEST(Sfx, AnyWaveOrOggLoadsAsAToneAndPlaysItsSamples) {
  Bytes eightBit;
  for (int i = 0; i < 1200; ++i) eightBit.push_back(uint8_t(i * 37 % 256));
  const Bytes ogg = MakeOgg(kRate, 1, 3000);
  std::unique_ptr<UTDataSource> oggDecoder;
  ASSERT_EQ(OpenMediaDecoder(MemoryDesc(ogg), &oggDecoder), 0);
  struct Case { const char* what; Bytes media, pcm; size_t channels, bits; };
  const std::vector<Case> cases = {
      {"16-bit stereo", MakeWave(2, kRate, 16, Pcm16Pattern(900, 2)), Pcm16Pattern(900, 2), 2, 16},
      {"16-bit mono, inverted head", InvertHead(MakeWave(1, kRate, 16, Pcm16Pattern(1500, 1))),
       Pcm16Pattern(1500, 1), 1, 16},
      {"8-bit stereo", MakeWave(2, kRate, 8, eightBit), eightBit, 2, 8},
      {"8-bit mono", MakeWave(1, kRate, 8, eightBit), eightBit, 1, 8},
      {"Ogg mono", ogg, DecodeAll(*oggDecoder, 1000), 1, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Mixer mixer(kRate, 2);
    std::unique_ptr<DSSfxTone> tone = LoadTone(mixer, c.media);
    ASSERT_TRUE(tone);
    // Each frame on both sides (a mono one twice), then silence.
    std::vector<int16_t> expected;
    for (size_t i = 0; i < c.pcm.size(); i += c.channels * c.bits / 8) {
      for (size_t at : {i, i + (c.channels - 1) * c.bits / 8}) {
        expected.push_back(c.bits == 8 ? int16_t((c.pcm[at] - 128) * 256) : int16_t(c.pcm[at] | (c.pcm[at + 1] << 8)));
      }
    }
    expected.resize(expected.size() + 20, 0);
    DSSfxChannel channel(mixer);
    ASSERT_EQ(channel.setTone(tone.get()), 0);
    ASSERT_EQ(channel.play(), 0);
    EXPECT_EQ(Render(mixer, int32_t(expected.size() / 2)), expected);
  }
}

TEST(Sfx, TwoChannelsPlayOneToneAtOnceEachWithItsOwnSettings) {
  // Small samples, so that two of them add up without saturating.
  auto sample = [](size_t f) { return f < 2000 ? int32_t(f) * 5 - 5000 : 0; };
  Bytes pcm;
  for (size_t f = 0; f < 2000; ++f) pcm.insert(pcm.end(), {uint8_t(sample(f)), uint8_t(uint16_t(sample(f)) >> 8)});
  Mixer mixer(kRate, 2);
  std::unique_ptr<DSSfxTone> tone = LoadTone(mixer, MakeWave(1, kRate, 16, pcm));
  ASSERT_TRUE(tone);
  DSSfxChannel first(mixer), second(mixer);
  ASSERT_EQ(first.setTone(tone.get()), 0);
  ASSERT_EQ(second.setTone(tone.get()), 0);
  ASSERT_EQ(second.setParam(UTSfxChannel::kParamPan, -100), 0);  // its right side silent

  ASSERT_EQ(first.play(), 0);
  std::vector<int16_t> out = Render(mixer, 100);
  ASSERT_EQ(second.play(), 0);
  const std::vector<int16_t> rest = Render(mixer, 2000);
  out.insert(out.end(), rest.begin(), rest.end());
  for (size_t f = 0; f < 2100; ++f) {
    ASSERT_EQ(out[2 * f], sample(f) + (f >= 100 ? sample(f - 100) : 0)) << f;
    ASSERT_EQ(out[2 * f + 1], sample(f)) << f;
  }
}

TEST(Sfx, ToneRunToItsEndReportsStoppedAndLogsTheStop) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  Mixer mixer(kRate, 2);
  std::unique_ptr<DSSfxTone> tone = LoadTone(mixer, MakeWave(2, kRate, 16, Pcm16Pattern(4000, 2)));
  ASSERT_TRUE(tone);
  DSSfxChannel channel(mixer);
  ASSERT_EQ(channel.setTone(tone.get()), 0);
  ASSERT_EQ(channel.setParam(UTSfxChannel::kParamVolume, 5000), 0);
  ASSERT_EQ(channel.setParam(UTSfxChannel::kParamPan, -300), 0);
  ASSERT_EQ(channel.play(), 0);
  Render(mixer, 1000);
  // The status keeps the channel's fixed volume, ratio and pan.
  EXPECT_EQ(Figures(channel), (std::vector<int64_t>{3, 125, 500, kRate, 100, 4096, 0}));
  EXPECT_FALSE(log.contains("終端に到達したので停止します"));
  Render(mixer, 3500);
  EXPECT_EQ(channel.getPosition(), 4000);
  EXPECT_EQ(Figures(channel), (std::vector<int64_t>{2, 500, 500, kRate, 100, 4096, 0}));
  EXPECT_TRUE(log.contains("終端に到達したので停止します")) << log.all();

  // Played again, it starts over at its volume; unbound, it has no tone.
  ASSERT_EQ(channel.play(), 0);
  EXPECT_NEAR(Render(mixer, 1)[0], -20000 * std::pow(10.0, LinearToAttenuation(5000) / 2000.0), 1.0);
  ASSERT_EQ(channel.setTone(nullptr), 0);
  EXPECT_EQ(Figures(channel), (std::vector<int64_t>{UTSfxChannel::kNoTone, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(channel.getPosition(), -1);
  EXPECT_EQ(channel.play(), kSornEmptyTone);
}

TEST(Sfx, RefusedMediaAnswerTheirCodesAndTonesAboveTheLimitAre10) {
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  const Bytes garbage(500, 0x42);
  SoundMediaDesc kind2, kind9;
  kind2.kind = SoundMediaDesc::kUnsupported;
  kind9.kind = 9;
  DecodedTone wave;
  for (const auto& [desc, code] : {std::pair{MemoryDesc(garbage), kSornUnrecognised}, {kind2, kSornUnsupported},
                                   {FileDesc("/nonexistent/tone.wav"), kSornCannotOpenMedia},
                                   {kind9, kSornBadArgument}}) {
    EXPECT_EQ(DecodeToneMedia(desc, &wave), code);
    EXPECT_TRUE(wave.pcm.empty());
  }

  // 1000 stereo or 2000 mono 16-bit frames are 4000 bytes: the limit is
  // held against the length the media states (a WAVE's data size, an Ogg
  // stream's total samples), before anything is decoded.
  for (const Bytes& media : {MakeWave(2, kRate, 16, Pcm16Pattern(1000, 2)), MakeOgg(kRate, 1, 2000)}) {
    log.clear();
    EXPECT_EQ(DecodeToneMedia(MemoryDesc(media), &wave, 3999), kSornUnrecognised);
    EXPECT_TRUE(wave.pcm.empty());
    EXPECT_TRUE(log.contains("DecodeToneMedia : failed to load the sound data: 4000 bytes of sound are more than a "
                             "tone holds (3999)"))
        << log.all();
    EXPECT_EQ(DecodeToneMedia(MemoryDesc(media), &wave, 4000), 0);
    EXPECT_EQ(wave.pcm.size(), 4000u);
  }

  // A media without frames loads, but no buffer holds an empty tone.
  Mixer mixer(kRate, 2);
  ASSERT_EQ(DecodeToneMedia(MemoryDesc(MakeWave(2, kRate, 16, {})), &wave), 0);
  std::unique_ptr<DSSfxTone> tone;
  EXPECT_EQ(DSSfxTone::create(mixer, std::move(wave), &tone), kSornDeviceFailed);
  EXPECT_FALSE(tone);
}

// A failure of the library is logged at WARN where it happens, so it shows
// without "-d" whatever its words; progress stays at DEBUG.
TEST(SoundLog, FailuresAreWarningsAndProgressIsDebug) {
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  Mixer mixer(kRate, 2);
  DSSfxChannel channel(mixer);
  EXPECT_EQ(channel.play(), kSornEmptyTone);
  std::unique_ptr<DSSfxTone> tone;
  EXPECT_EQ(DSSfxTone::create(mixer, DecodedTone{}, &tone), kSornDeviceFailed);
  SoundClock clock;
  DSStreamChannel stream(mixer, clock, nullptr, {});
  DecodedTone decoded;
  EXPECT_EQ(DecodeToneMedia(MemoryDesc(MakeWave(2, kRate, 16, Pcm16Pattern(100, 2))), &decoded), 0);
  for (const char* line : {"[WARN ] ", "DSSfxChannel::play : no tone", "DSSfxTone::create : cannot hold 0 frames",
                           "DSStreamChannel : no decoder"}) {
    EXPECT_TRUE(log.contains(line)) << line << "\n" << log.all();
  }
  EXPECT_FALSE(log.contains("loading...")) << log.all();
  EXPECT_EQ(log.lines().size(), 3u) << log.all();
}

}  // namespace
