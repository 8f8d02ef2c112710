// Stream channels over a mixer driven by hand in step with the worker
// threads: the played samples against the decoder's across loop ends, the end
// of the data (a failed read included), prepare, fades, settings and status.
#include "sound/ds_stream_channel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "sound/ut_sound_device.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

constexpr int32_t kRate = 8000;  // the media's and the output's: sample for sample
constexpr int64_t kSilence = -1;

// The media frame that the region start..end plays at an output frame.
int64_t LoopFrame(int64_t f, int64_t start = 1000, int64_t end = 5000) {
  return f < end ? f : start + (f - end) % (end - start);
}

// Passes a decoder through, counting reads; once it has delivered `budget`
// frames every read fails, leaving noise where silence is due.
class FailingDecoder final : public UTDataSource {
 public:
  FailingDecoder(std::unique_ptr<UTDataSource> inner, int64_t budget, int* reads = nullptr)
      : inner_(std::move(inner)), budget_(budget), reads_(reads) {}
  int32_t read(void* buffer, int32_t frames) override {
    if (reads_) ++*reads_;
    const int32_t got = inner_->read(buffer, int32_t(std::min<int64_t>(frames, budget_ - delivered_)));
    UTFormat format;
    if (got < 1 && inner_->getFormat(&format) == 0) std::memset(buffer, 0x55, size_t(frames) * format.bytesPerFrame);
    delivered_ += got;
    return got;
  }
  int32_t getFormat(UTFormat* out) const override { return inner_->getFormat(out); }
  int32_t getMetaData(MetaDataList* out) const override { return inner_->getMetaData(out); }
  void restoreSeekPoint(const DSSeekPoint& point) override { inner_->restoreSeekPoint(point); }
  int64_t seek(int64_t frame) override { return inner_->seek(frame); }
  int32_t createSeekPoint(int64_t f, std::unique_ptr<DSSeekPoint>* out) const override {
    return inner_->createSeekPoint(f, out);
  }
  int64_t tell() const override { return inner_->tell(); }

 private:
  std::unique_ptr<UTDataSource> inner_;
  int64_t budget_, delivered_ = 0;
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

// The output, the clock and one channel, moved in step as the worker threads
// move them.
struct Rig {
  explicit Rig(std::unique_ptr<UTDataSource> decoder, const std::vector<SoundLoopRegion>& options = {}) {
    clock.reset(kRate);
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

  // State, elapsed, position and end (ms), looping, muted, rate, volume,
  // frequency ratio, pan, fading and loop count.
  std::vector<int64_t> figures() const {
    SoundStreamStatus s;
    channel->getStatus(&s);
    return {s.state, s.elapsedMs, s.positionMs, s.endMs, s.looping, s.muted,
            s.sampleRate, s.volume, s.frequencyRatio, s.pan, s.fading, s.loopCount};
  }

  // Every output frame against the media frame it should play (kSilence for
  // silence).
  void expectPlays(const Bytes& bytes, const std::function<int64_t(int64_t)>& mediaFrame) const {
    const std::vector<int16_t> media = OutputFrames(bytes);
    for (size_t f = 0, misses = 0; f < output.size() / 2 && misses < 5; ++f) {
      const int64_t m = mediaFrame(int64_t(f));
      for (size_t side = 0; side < 2; ++side) {
        if (output[f * 2 + side] == (m < 0 ? 0 : media[size_t(m) * 2 + side])) continue;
        ++misses;
        ADD_FAILURE() << "output frame " << f << " should play media frame " << m;
      }
    }
  }

  Mixer mixer{kRate, 2};
  SoundClock clock;
  std::unique_ptr<DSStreamChannel> channel;
  std::vector<int16_t> output;
};

TEST(StreamChannel, PreparingTwiceAtOneFrameDoesNoWorkAndPlayReusesThePrefill) {
  ScopedLogMask mask(LOG_TRACE);  // the library's repeats (its level 8)
  LogCapture log;
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  int reads = 0;
  Rig rig(std::make_unique<FailingDecoder>(Open(wave), 1 << 30, &reads));
  EXPECT_EQ(rig.channel->prepare(-1), kSornBadArgument);
  ASSERT_EQ(rig.channel->prepare(300), 0);
  const int prefill = reads;
  ASSERT_EQ(rig.channel->prepare(300), 0);
  EXPECT_TRUE(log.contains("DSStreamChannel::prepare : already prepared to play from 300")) << log.all();
  ASSERT_EQ(rig.channel->play(300), 0);
  EXPECT_EQ(reads, prefill);
  rig.step(1000);
  rig.expectPlays(wave, [](int64_t f) { return 300 + f; });

  // Playing set the preparation aside: the same frame is prepared afresh.
  ASSERT_EQ(rig.channel->stop(), 0);
  ASSERT_EQ(rig.channel->prepare(300), 0);
  EXPECT_GT(reads, prefill);
}

TEST(StreamChannel, FadesFollowTheClockAndSettingsReachTheOutputAndTheStatus) {
  const Bytes wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  const std::vector<int16_t> media = OutputFrames(wave);
  Rig rig(Open(wave));
  ASSERT_EQ(rig.channel->setParam(UTStreamChannel::kParamVolume, 10000), 0);
  ASSERT_EQ(rig.channel->play(0), 0);
  auto fade = [&] { return std::make_pair(rig.channel->linearVolume(), int32_t(rig.figures()[10])); };

  // 0 ms from the current volume: the target at the next step.
  rig.channel->startFade(-1, 50, 0);
  EXPECT_EQ(fade(), std::make_pair(10000, 1));
  rig.step(1000);
  EXPECT_EQ(fade(), std::make_pair(5000, 0));
  rig.step(1000);
  const double gain = std::pow(10.0, LinearToAttenuation(5000) / 2000.0);
  for (size_t i = 2000; i < 4000; i += 97) EXPECT_NEAR(rig.output[i], media[i] * gain, 1.0) << i;

  // 1000 ms from 0 to 100: halfway after 4000 frames of the clock.
  rig.channel->startFade(0, 100, 1000);
  for (int32_t expected : {0, 5000, 10000}) {
    rig.channel->fadeStep();
    EXPECT_EQ(fade(), std::make_pair(expected, expected < 10000 ? 1 : 0));
    rig.clock.advance(4000);
  }

  // Muted, panned right (clamped) at half the rate; then unmuted.
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamMute, 1), 0);
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamPan, 150), 0);
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamFrequency, 2048), 0);
  EXPECT_EQ(rig.channel->setParam(9, 0), kSornBadArgument);
  EXPECT_EQ(rig.figures(), (std::vector<int64_t>{3, 250, 250, 5000, 0, 1, kRate, 100, 2048, 100, 0, 0}));
  rig.step(500);
  EXPECT_EQ(std::vector<int16_t>(rig.output.end() - 1000, rig.output.end()), std::vector<int16_t>(1000, 0));
  EXPECT_EQ(rig.channel->setParam(UTStreamChannel::kParamMute, 0), 0);
  rig.step(500);
  for (size_t i = rig.output.size() - 1000; i < rig.output.size(); i += 2) EXPECT_EQ(rig.output[i], 0) << "left";
  EXPECT_NE(rig.output.back(), 0);
}

// The loop region 1000..5000: 9000 frames played are 0..4999, 1000..4999 and
// 1000..1999, leaving it at frame 1000 (125 ms) after two loops; from the
// second time round it comes from the channel's copy of the region. A
// region of about 50 ms (397 frames, so that old audio in the buffer would
// not match it), shorter than one step, goes into the ring as often as the
// step needs. A failed read ends the data as the end of the media does:
// silence, the stopped state one second later, and the old audio never
// again.
TEST(StreamChannel, PlaysTheDecodedSamplesAcrossLoopEndsThenSilenceAndStopsOneSecondAfterItsData) {
  ScopedLogMask mask(LOG_DEBUG | LOG_WARN);
  Bytes bytes8;  // 8-bit mono: its silence is 0x80, which the output shows as 0
  for (int f = 0; f < 4000; ++f) bytes8.push_back(uint8_t(f * 13 % 251 + 2));
  const Bytes wave8 = MakeWave(1, kRate, 8, bytes8), wave = MakeWave(2, kRate, 16, Pcm16Pattern(40000, 2));
  struct Case {
    const char* what;
    const Bytes& media;
    int64_t end;  // frames delivered before the reads fail; -1: never
    int64_t loopStart, loopEnd;  // 0, 0: none
    int64_t checkAt;               // frames played
    std::vector<int64_t> figures;  // of the status then
  };
  for (const Case& c : {Case{"8-bit one-shot", wave8, 4000, 0, 0, 4000, {2, 500, 500, 500, 0, 0, kRate, 1, 4096, 0, 0, 0}},
                        Case{"failed one-shot", wave, 20000, 0, 0, 20000,
                             {2, 2500, 2500, 5000, 0, 0, kRate, 1, 4096, 0, 0, 0}},
                        Case{"loop, then a failed read", wave, 7000, 1000, 5000, 6000,
                             {3, 750, 250, 625, 1, 0, kRate, 1, 4096, 0, 0, 1}},
                        Case{"loop", wave, -1, 1000, 5000, 9000, {3, 1125, 125, 625, 1, 0, kRate, 1, 4096, 0, 0, 2}},
                        Case{"50 ms loop", wave, -1, 1000, 1397, 9000,
                             {3, 1125, 132, 174, 1, 0, kRate, 1, 4096, 0, 0, 20}}}) {
    SCOPED_TRACE(c.what);
    LogCapture log;
    const bool looping = c.loopEnd > 0;
    const int64_t end = c.end < 0 ? int64_t(1) << 40 : c.end;
    Rig rig(std::make_unique<FailingDecoder>(Open(c.media), end),
            looping ? std::vector<SoundLoopRegion>{{1, c.loopStart, c.loopEnd}} : std::vector<SoundLoopRegion>{});
    ASSERT_EQ(rig.channel->play(0), 0);
    int64_t played = 0;
    for (; rig.channel->state() == UTStreamChannel::kPlaying && played < 100000; played += 500) {
      EXPECT_EQ(rig.figures()[0], played < end ? SoundStreamStatus::kPlaying : SoundStreamStatus::kStopped);
      if (played == c.checkAt) {
        EXPECT_EQ(rig.figures(), c.figures);
        EXPECT_EQ(rig.channel->getStatusValue(), played);
      }
      rig.step(500);
    }
    if (c.end < 0) {
      EXPECT_EQ(played, 100000);
      rig.expectPlays(c.media, [&](int64_t f) { return LoopFrame(f, c.loopStart, c.loopEnd); });
      continue;
    }
    EXPECT_EQ(played, c.end + kRate);
    EXPECT_TRUE(log.contains("単発再生を停止します")) << log.all();
    EXPECT_EQ(log.contains("decoderPump : read failed"), &c.media == &wave);
    EXPECT_EQ(rig.figures()[1], c.end * 1000 / kRate);

    rig.step(40000);
    rig.expectPlays(c.media, [&](int64_t f) { return f >= c.end ? kSilence : looping ? LoopFrame(f) : f; });
  }
}

}  // namespace
