// Stream channels over a mixer driven by hand in step with the worker
// threads (render, clock, fade step, timer pump, decoder pump): the played
// samples against the decoder's across loop ends, the end of a one-shot,
// prepare, fades and settings, the status figures, and a media that fails in
// the middle.
#include "sound/ds_stream_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sound/ut_sound_device.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

constexpr int32_t kRate = 8000;  // the media's and the output's: sample for sample

// Passes a decoder through, counting reads; once it has delivered `budget`
// frames every read fails, leaving noise where the contract promises
// silence.
class FailingDecoder final : public UTDataSource {
 public:
  FailingDecoder(std::unique_ptr<UTDataSource> inner, int64_t budget, int* reads)
      : inner_(std::move(inner)), budget_(budget), reads_(reads) {}
  int32_t getFormat(UTFormat* out) const override { return inner_->getFormat(out); }
  int32_t getMetaData(MetaDataList* out) const override { return inner_->getMetaData(out); }
  int32_t read(void* buffer, int32_t frames) override {
    ++*reads_;
    const int32_t got = inner_->read(buffer, int32_t(std::min<int64_t>(frames, budget_ - delivered_)));
    if (got < 1) std::memset(buffer, 0x55, size_t(frames) * 4);  // 16-bit stereo
    delivered_ += got;
    return got;
  }
  void restoreSeekPoint(const DSSeekPoint& point) override { inner_->restoreSeekPoint(point); }
  int64_t seek(int64_t frame) override { return inner_->seek(frame); }
  int32_t createSeekPoint(int64_t frame, std::unique_ptr<DSSeekPoint>* out) const override {
    return inner_->createSeekPoint(frame, out);
  }
  int64_t tell() const override { return inner_->tell(); }

 private:
  std::unique_ptr<UTDataSource> inner_;
  int64_t budget_;
  int64_t delivered_ = 0;
  int* reads_;
};

std::unique_ptr<UTDataSource> Open(const Bytes& media) {
  std::unique_ptr<UTDataSource> decoder;
  EXPECT_EQ(OpenMediaDecoder(MemoryDesc(media), &decoder), 0);
  return decoder;
}

// The stereo output that each frame of the media should give.
std::vector<int16_t> OutputFrames(const Bytes& media) {
  std::unique_ptr<UTDataSource> decoder = Open(media);
  UTFormat format;
  decoder->getFormat(&format);
  const Bytes pcm = DecodeAll(*decoder, 1000);
  std::vector<int16_t> out;
  for (size_t i = 0; i < pcm.size(); i += size_t(format.bytesPerFrame)) {
    for (int32_t side = 0; side < 2; ++side) {
      const size_t at = i + size_t(format.channels == 2 ? side : 0) * size_t(format.bitsPerSample / 8);
      out.push_back(format.bitsPerSample == 8 ? int16_t((pcm[at] - 128) * 256) : int16_t(pcm[at] | (pcm[at + 1] << 8)));
    }
  }
  return out;
}

// The status figures in record order from the state on.
std::vector<int64_t> Figures(const SoundStreamStatus& s) {
  return {s.state, s.elapsedMs, s.positionMs, s.endMs, s.looping, s.muted,
          s.sampleRate, s.volume, s.frequencyRatio, s.pan, s.fading, s.loopCount};
}

// The output, the clock and one channel, moved in step as the worker threads
// move them.
struct Rig {
  Rig() { clock.reset(kRate); }

  void open(std::unique_ptr<UTDataSource> decoder, const std::vector<SoundLoopRegion>& options = {}) {
    channel = std::make_unique<DSStreamChannel>(mixer, clock, std::move(decoder), options);
  }

  // The output plays `frames`; the timer thread advances the clock, runs the
  // fade step and refills the buffer; the decoder thread decodes ahead.
  void step(int32_t frames) {
    std::vector<int16_t> out(size_t(frames) * 2);
    mixer.render(out.data(), frames);
    output.insert(output.end(), out.begin(), out.end());
    clock.advance(frames);
    for (int32_t pump : {UTStreamChannel::kTimerPump, UTStreamChannel::kDecoderPump}) {
      if (channel->state() != UTStreamChannel::kPlaying) break;
      channel->fadeStep();
      channel->control(pump);
    }
  }

  SoundStreamStatus status() const {
    SoundStreamStatus status;
    channel->getStatus(&status);
    return status;
  }

  // Output frames [from, to) against the media frame each should play (a
  // negative one for silence).
  void expectPlays(const std::vector<int16_t>& media, int64_t from, int64_t to,
                   const std::function<int64_t(int64_t)>& mediaFrame, const std::string& what) const {
    for (int64_t f = from, misses = 0; f < to && misses < 5; ++f) {
      const int64_t m = mediaFrame(f);
      const size_t o = size_t(f) * 2;
      if (m < 0 ? output[o] == 0 && output[o + 1] == 0
                : output[o] == media[size_t(m) * 2] && output[o + 1] == media[size_t(m) * 2 + 1]) {
        continue;
      }
      ++misses;
      ADD_FAILURE() << what << ": output frame " << f << " should play media frame " << m;
    }
  }

  Mixer mixer{kRate, 2};
  SoundClock clock;
  std::unique_ptr<DSStreamChannel> channel;
  std::vector<int16_t> output;
};

constexpr int64_t kSilence = -1;

TEST(StreamChannel, LoopRegionPlaysTheDecodedSamplesAcrossEveryLoopEndAndStatusCountsTheLoops) {
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(8000, 2));
  const Bytes ogg = MakeOgg(kRate, 2, 8000);
  for (const Bytes* media : {&wave, &ogg}) {
    const std::string what = media == &wave ? "WAVE" : "Ogg";
    Rig rig;
    rig.open(Open(*media), {SoundLoopRegion{1, 1000, 5000}});
    ASSERT_TRUE(rig.channel->hasBuffer());
    EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamVolume, 28000), 0);  // above 100 is full level
    ASSERT_EQ(rig.channel->play(0), 0);
    for (int i = 0; i < 18; ++i) rig.step(500);

    // 9000 frames: 0..4999, then 1000..4999, then 1000..1999.
    rig.expectPlays(OutputFrames(*media), 0, 9000, [](int64_t f) { return f < 5000 ? f : 1000 + (f - 5000) % 4000; },
                    what);
    EXPECT_EQ(rig.channel->getStatusValue(), 9000) << what;
    // Playing, 1125 ms played, at frame 1000 (125 ms), the loop end at 625
    // ms, looping, not muted, 8000 Hz, volume 280, ratio 4096, pan 0, no
    // fade, two loops.
    EXPECT_EQ(Figures(rig.status()), (std::vector<int64_t>{3, 1125, 125, 625, 1, 0, kRate, 280, 4096, 0, 0, 2}))
        << what;
  }
}

TEST(StreamChannel, OneShotReportsStoppedAtItsEndThenPlaysSilenceAndStopsOneSecondLater) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  // 8-bit mono: its silence is 0x80, which the output shows as 0.
  Bytes samples;
  for (int f = 0; f < 4000; ++f) samples.push_back(uint8_t(f * 13 % 251 + 2));
  const Bytes wave = MakeWave(1, kRate, 8, samples);
  Rig rig;
  rig.open(Open(wave));
  ASSERT_EQ(rig.channel->play(0), 0);

  for (int i = 0; i < 8; ++i) rig.step(500);
  EXPECT_EQ(Figures(rig.status()), (std::vector<int64_t>{2, 500, 500, 500, 0, 0, kRate, 1, 4096, 0, 0, 0}));
  for (int i = 8; i < 23; ++i) rig.step(500);
  EXPECT_EQ(rig.channel->state(), UTStreamChannel::kPlaying);  // 11500 frames played
  EXPECT_FALSE(log.contains("単発再生を停止します"));
  rig.step(500);  // 12000: the end and one second
  EXPECT_EQ(rig.channel->state(), UTStreamChannel::kStopped);
  EXPECT_TRUE(log.contains("単発再生を停止します")) << log.all();
  EXPECT_EQ(rig.status().elapsedMs, 500);

  rig.step(20000);  // stopped: nothing more plays
  rig.expectPlays(OutputFrames(wave), 0, 32000, [](int64_t f) { return f < 4000 ? f : kSilence; }, "8-bit one-shot");
}

TEST(StreamChannel, PreparingTwiceAtOneFrameDoesNoWorkAndPlayReusesThePrefill) {
  ScopedLogMask mask(LOG_DEBUG);
  LogCapture log;
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  int reads = 0;
  Rig rig;
  rig.open(std::make_unique<FailingDecoder>(Open(wave), 1 << 30, &reads));

  EXPECT_EQ(rig.channel->prepare(-1), kSornBadArgument);
  EXPECT_FALSE(log.contains("already prepared"));
  ASSERT_EQ(rig.channel->prepare(300), 0);
  const int prefill = reads;
  EXPECT_GT(prefill, 0);
  ASSERT_EQ(rig.channel->prepare(300), 0);
  EXPECT_TRUE(log.contains("DSStreamChannel::prepare : already prepared to play from 300")) << log.all();
  ASSERT_EQ(rig.channel->play(300), 0);
  EXPECT_EQ(reads, prefill);
  rig.step(1000);
  rig.expectPlays(OutputFrames(wave), 0, 1000, [](int64_t f) { return 300 + f; }, "prepared at 300");

  // Playing set the preparation aside: the same frame is prepared afresh.
  ASSERT_EQ(rig.channel->stop(), 0);
  ASSERT_EQ(rig.channel->prepare(300), 0);
  EXPECT_GT(reads, prefill);
}

TEST(StreamChannel, FadesFollowTheClockAndSettingsReachTheOutputAndTheStatus) {
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  const std::vector<int16_t> media = OutputFrames(wave);
  Rig rig;
  rig.open(Open(wave));
  ASSERT_EQ(rig.channel->setParam(UTStreamChannel::kParamVolume, 10000), 0);
  ASSERT_EQ(rig.channel->play(0), 0);

  // 0 ms from the current volume: the target at the next step.
  rig.channel->startFade(-1, 50, 0);
  EXPECT_EQ(rig.status().fading, 1);
  rig.step(1000);
  EXPECT_EQ(rig.channel->linearVolume(), 5000);
  EXPECT_EQ(rig.status().fading, 0);
  rig.step(1000);
  const double gain = std::pow(10.0, LinearToAttenuation(5000) / 2000.0);
  for (size_t i = 2000; i < 4000; i += 97) EXPECT_NEAR(rig.output[i], media[i] * gain, 1.0) << i;

  // 1000 ms from 0 to 100: halfway after 4000 frames of the clock.
  rig.channel->startFade(0, 100, 1000);
  for (int32_t expected : {0, 5000, 10000}) {
    rig.channel->fadeStep();
    EXPECT_EQ(rig.channel->linearVolume(), expected);
    EXPECT_EQ(rig.status().fading, expected < 10000 ? 1 : 0);
    rig.clock.advance(4000);
  }

  // Muted, panned right (clamped) at half the rate.
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamMute, 1), 0);
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamPan, 150), 0);
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamFrequency, 2048), 0);
  EXPECT_EQ(rig.channel->setParam(9, 0), kSornBadArgument);
  EXPECT_EQ(Figures(rig.status()), (std::vector<int64_t>{3, 250, 250, 5000, 0, 1, kRate, 100, 2048, 100, 0, 0}));
  rig.step(500);
  EXPECT_EQ(std::vector<int16_t>(rig.output.end() - 1000, rig.output.end()), std::vector<int16_t>(1000, 0));
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamMute, 0), 0);
  rig.step(500);
  for (size_t i = rig.output.size() - 1000; i < rig.output.size(); i += 2) EXPECT_EQ(rig.output[i], 0) << "left";
  EXPECT_NE(rig.output.back(), 0);
}

TEST(StreamChannel, FailedReadEndsTheDataWithSilenceThenStopsAndOldAudioNeverReturns) {
  ScopedLogMask mask(LOG_DEBUG);
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  struct Case {
    const char* what;
    std::vector<SoundLoopRegion> options;
    int64_t end;  // frames delivered before the reads fail
    std::function<int64_t(int64_t)> frame;
  };
  const std::vector<Case> cases = {
      {"one-shot", {}, 20000, [](int64_t f) { return f < 20000 ? f : kSilence; }},
      {"looping", {SoundLoopRegion{1, 1000, 5000}}, 12000,
       [](int64_t f) { return f >= 12000 ? kSilence : f < 5000 ? f : 1000 + (f - 5000) % 4000; }},
  };
  for (const Case& c : cases) {
    LogCapture log;
    int reads = 0;
    Rig rig;
    rig.open(std::make_unique<FailingDecoder>(Open(wave), c.end, &reads), c.options);
    ASSERT_EQ(rig.channel->play(0), 0) << c.what;
    int64_t played = 0;
    for (; rig.channel->state() == UTStreamChannel::kPlaying && played < 100000; played += 500) {
      EXPECT_EQ(rig.status().state, played < c.end ? SoundStreamStatus::kPlaying : SoundStreamStatus::kStopped);
      rig.step(500);
    }
    // Stopped one second into the silence.
    EXPECT_EQ(played, c.end + kRate) << c.what;
    EXPECT_TRUE(log.contains("decoderPump : read failed")) << c.what;
    EXPECT_TRUE(log.contains("単発再生を停止します")) << c.what;
    EXPECT_EQ(rig.status().state, SoundStreamStatus::kStopped) << c.what;
    EXPECT_EQ(rig.status().elapsedMs, c.end * 1000 / kRate) << c.what;

    rig.step(40000);
    rig.expectPlays(OutputFrames(wave), 0, int64_t(rig.output.size() / 2), c.frame, c.what);
  }
}

}  // namespace
