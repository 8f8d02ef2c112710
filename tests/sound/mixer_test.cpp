// The mixer driven by hand, with no sound device: sample values against the
// mixing rule, cursors (paced ones too), locks, duplicates, refusals, and
// buffers released while another thread renders.
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int32_t kRate = 44100;
const double kMinus600 = std::pow(10.0, -0.3);

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

void Write(SoundBuffer& buffer, uint32_t offset, const std::vector<uint8_t>& bytes, uint32_t flags = 0) {
  void* first = nullptr;
  uint32_t firstBytes = 0;
  ASSERT_EQ(buffer.lock(offset, uint32_t(bytes.size()), &first, &firstBytes, nullptr, nullptr, flags), kBufferOk);
  memcpy(first, bytes.data(), firstBytes);
  EXPECT_EQ(buffer.unlock(first, firstBytes, nullptr, 0), kBufferOk);
}

std::unique_ptr<SoundBuffer> MakeBuffer(Mixer& mixer, int32_t rate, int32_t channels, int32_t bits,
                                        const std::vector<uint8_t>& bytes) {
  std::unique_ptr<SoundBuffer> buffer;
  EXPECT_EQ(mixer.createBuffer({rate, channels, bits}, uint32_t(bytes.size()), &buffer), kBufferOk);
  if (buffer) Write(*buffer, 0, bytes, kLockEntireBuffer);
  return buffer;
}

std::vector<int16_t> Render(Mixer& mixer, int32_t frames) {
  std::vector<int16_t> out(size_t(frames) * size_t(mixer.outputChannels()), 12345);
  mixer.render(out.data(), frames);
  return out;
}

// Left rises, right falls.
std::vector<int16_t> StereoRamp(int32_t frames) {
  std::vector<int16_t> samples;
  for (int32_t k = 0; k < frames; ++k) {
    samples.insert(samples.end(), {int16_t(k * 30 - 15000), int16_t(15000 - k * 29)});
  }
  return samples;
}

std::pair<uint32_t, uint32_t> StatusAndCursor(const SoundBuffer& buffer) {
  uint32_t status = 99, play = 99;
  EXPECT_EQ(buffer.getStatus(&status), kBufferOk);
  EXPECT_EQ(buffer.getCurrentPosition(&play, nullptr), kBufferOk);
  return {status, play};
}

TEST(Mixer, OutputRateRampFollowsTheGainRuleAndDuplicatesPlayItWithTheirOwnCursorsAndSettings) {
  Mixer mixer(kRate, 2);
  const std::vector<int16_t> ramp = StereoRamp(1000);
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, kRate, 2, 16, Bytes16(ramp)), one, two;
  auto playOnce = [&](int32_t volume, int32_t pan) {
    EXPECT_EQ(buffer->setVolume(volume), kBufferOk);
    EXPECT_EQ(buffer->setPan(pan), kBufferOk);
    EXPECT_EQ(buffer->setCurrentPosition(0), kBufferOk);
    EXPECT_EQ(buffer->play(false), kBufferOk);
    return Render(mixer, 1000);
  };
  EXPECT_EQ(playOnce(0, 0), ramp);
  EXPECT_EQ(playOnce(-10000, 0), std::vector<int16_t>(2000, 0));
  const std::vector<int16_t> panned = playOnce(0, 10000), quieter = playOnce(-600, 0);
  for (size_t i = 0; i < ramp.size(); ++i) {
    EXPECT_EQ(panned[i], i % 2 == 0 ? 0 : ramp[i]) << i;
    EXPECT_NEAR(quieter[i], ramp[i] * kMinus600, 1.0) << i;
  }

  // Duplicates at the original's -600: one plays the left side from frame 0,
  // the other the right from frame 16; the original stays where it was.
  ASSERT_EQ(mixer.duplicate(*buffer, &one), kBufferOk);
  ASSERT_EQ(mixer.duplicate(*buffer, &two), kBufferOk);
  ASSERT_EQ(one->setPan(-10000), kBufferOk);
  ASSERT_EQ(two->setPan(10000), kBufferOk);
  ASSERT_EQ(two->setCurrentPosition(16 * 4), kBufferOk);
  ASSERT_EQ(one->play(false), kBufferOk);
  ASSERT_EQ(two->play(false), kBufferOk);
  std::vector<int16_t> out = Render(mixer, 8);
  for (size_t k = 0; k < 8; ++k) {
    EXPECT_NEAR(out[2 * k], ramp[2 * k] * kMinus600, 1.0) << k;
    EXPECT_NEAR(out[2 * k + 1], ramp[2 * (k + 16) + 1] * kMinus600, 1.0) << k;
  }
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(0u, 0u));
  // Stopping one leaves the other; a write into the shared bytes reaches it.
  ASSERT_EQ(one->stop(), kBufferOk);
  Write(*buffer, 24 * 4, Bytes16({-7000, 7000}));
  out = Render(mixer, 1);
  EXPECT_EQ(out[0], 0);
  EXPECT_NEAR(out[1], 7000 * kMinus600, 1.0);
  ASSERT_EQ(two->stop(), kBufferOk);

  // 8-bit mono: (b - 128) x 256 on both sides; a new buffer holds silence.
  std::unique_ptr<SoundBuffer> bytes8 = MakeBuffer(mixer, kRate, 1, 8, {0, 127, 128, 129, 255}), silent8;
  ASSERT_EQ(bytes8->play(false), kBufferOk);
  EXPECT_EQ(Render(mixer, 6), (std::vector<int16_t>{-32768, -32768, -256, -256, 0, 0, 256, 256, 32512, 32512, 0, 0}));
  ASSERT_EQ(mixer.createBuffer({kRate, 2, 8}, 8, &silent8), kBufferOk);
  ASSERT_EQ(silent8->play(false), kBufferOk);
  EXPECT_EQ(Render(mixer, 4), std::vector<int16_t>(8, 0));
}

TEST(Mixer, OtherRatesInterpolateAndFrequencyZeroIsTheBuffersOwnRate) {
  Mixer mixer(kRate, 2);
  constexpr size_t kFrames = 50;
  std::vector<int16_t> mono, same, twice;
  for (size_t k = 0; k < kFrames; ++k) mono.push_back(int16_t(8 * int32_t(k) - 300));
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, 22050, 1, 16, Bytes16(mono));
  // Set to the output rate, frame for frame; back at its own 22050 Hz, twice
  // as many frames, the odd ones halfway to the next frame, the last held.
  // Then silence, stopped at cursor 0.
  for (size_t k = 0; k < 2 * kFrames; ++k) {
    const size_t i = k / 2;
    const int16_t s = k % 2 == 0 || i + 1 == kFrames ? mono[i] : int16_t((mono[i] + mono[i + 1]) / 2);
    twice.insert(twice.end(), {s, s});
    if (k < kFrames) same.insert(same.end(), {mono[k], mono[k]});
  }
  same.resize(same.size() + 2, 0);
  twice.resize(twice.size() + 6, 0);
  for (const auto& [frequency, expected] : {std::pair{uint32_t(kRate), same}, {0u, twice}}) {
    ASSERT_EQ(buffer->setFrequency(frequency), kBufferOk);
    ASSERT_EQ(buffer->play(false), kBufferOk);
    EXPECT_EQ(Render(mixer, int32_t(expected.size() / 2)), expected) << frequency;
    EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(0u, 0u)) << frequency;
  }
  // Looping, the last frame leans towards the first.
  ASSERT_EQ(buffer->play(true), kBufferOk);
  const std::vector<int16_t> looped = Render(mixer, 2 * kFrames + 1);
  const int16_t lean = int16_t((mono.back() + mono[0]) / 2);
  EXPECT_EQ(std::vector<int16_t>(looped.end() - 4, looped.end()), (std::vector<int16_t>{lean, lean, mono[0], mono[0]}));
}

TEST(Mixer, LoopingWrapsWithoutGapOrRepeatAndOneShotEndsStoppedAtCursorZero) {
  Mixer mixer(kRate, 2);
  constexpr int32_t kFrames = 64;
  const std::vector<int16_t> ramp = StereoRamp(kFrames);
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, kRate, 2, 16, Bytes16(ramp));
  ASSERT_EQ(buffer->play(true), kBufferOk);
  for (size_t block = 0; block < 7; ++block) {  // blocks that end anywhere in the buffer
    const std::vector<int16_t> out = Render(mixer, 37);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], ramp[(block * 74 + i) % ramp.size()]) << block;
  }
  uint32_t play = 0, write = 0;
  EXPECT_EQ(buffer->getCurrentPosition(&play, &write), kBufferOk);
  EXPECT_EQ(std::make_pair(play, write), std::make_pair((7u * 37u % kFrames) * 4u, (7u * 37u % kFrames + 1) * 4u));
  ASSERT_EQ(buffer->stop(), kBufferOk);

  ASSERT_EQ(buffer->setCurrentPosition(8 * 4 + 3), kBufferOk);  // rounds down to frame 8
  ASSERT_EQ(buffer->play(false), kBufferOk);
  std::vector<int16_t> expected(ramp.begin() + 16, ramp.end());
  expected.resize(2 * kFrames, 0);
  EXPECT_EQ(Render(mixer, kFrames), expected);
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(0u, 0u));
}

// Fed at the output's pace, a render of a whole second does not move the
// play cursor a second at once: it moves as the second passes and stops
// where the mixer is; the write cursor stays past the mixer's position.
TEST(Mixer, APacedPlayCursorMovesThroughTheRenderedBlockAsItsTimePasses) {
  constexpr int32_t kSlow = 8000;
  Mixer mixer(kSlow, 2);
  mixer.setPaced(true);
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, kSlow, 2, 16, Bytes16(StereoRamp(16000)));
  ASSERT_TRUE(buffer);
  ASSERT_EQ(buffer->play(true), kBufferOk);
  Render(mixer, 2000);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // that block's time is over
  Render(mixer, kSlow);
  uint32_t play = 0, write = 0;
  ASSERT_EQ(buffer->getCurrentPosition(&play, &write), kBufferOk);
  EXPECT_GE(play, 2000u * 4);
  EXPECT_LT(play, 6000u * 4);  // not half the second has passed
  EXPECT_EQ(write, 10001u * 4);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  uint32_t later = 0;
  ASSERT_EQ(buffer->getCurrentPosition(&later, nullptr), kBufferOk);
  EXPECT_EQ(later, 10000u * 4);
  // A cursor put somewhere stands there.
  ASSERT_EQ(buffer->setCurrentPosition(400), kBufferOk);
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(kBufferStatusPlaying | kBufferStatusLooping, 400u));
}

TEST(Mixer, LockAcrossTheEndGivesTwoRegionsAndBadCallsAreRefusedAndChangeNothing) {
  Mixer mixer(kRate, 2);
  std::unique_ptr<SoundBuffer> buffer;
  ASSERT_EQ(mixer.createBuffer({kRate, 2, 16}, 32, &buffer), kBufferOk);
  void *first = nullptr, *second = nullptr, *other = nullptr;
  uint32_t firstBytes = 0, secondBytes = 0, otherBytes = 0;
  ASSERT_EQ(buffer->lock(24, 16, &first, &firstBytes, &second, &secondBytes), kBufferOk);
  EXPECT_EQ(std::make_pair(firstBytes, secondBytes), std::make_pair(8u, 8u));
  EXPECT_EQ(buffer->lock(0, 4, &other, &otherBytes, nullptr, nullptr), kBufferInvalidCall);
  const int16_t tail[4] = {1, 2, 3, 4}, head[4] = {5, 6, 7, 8};
  memcpy(first, tail, 8);
  memcpy(second, head, 8);
  EXPECT_EQ(buffer->unlock(second, 8, first, 8), kBufferInvalidParam);  // the lock stays
  ASSERT_EQ(buffer->unlock(first, 8, second, 8), kBufferOk);
  EXPECT_EQ(buffer->unlock(first, 8, second, 8), kBufferInvalidCall);

  for (const auto& [offset, bytes] : {std::pair<uint32_t, uint32_t>{32, 4}, {0, 33}, {0, 0}}) {
    EXPECT_EQ(buffer->lock(offset, bytes, &other, &otherBytes, &second, &secondBytes), kBufferInvalidParam);
  }

  // Refused values leave it at full level, centred, at its own rate, from 0.
  for (int32_t volume : {1, -10001}) EXPECT_EQ(buffer->setVolume(volume), kBufferInvalidParam);
  for (int32_t pan : {10001, -10001}) EXPECT_EQ(buffer->setPan(pan), kBufferInvalidParam);
  for (uint32_t frequency : {99u, 200001u}) EXPECT_EQ(buffer->setFrequency(frequency), kBufferInvalidParam);
  EXPECT_EQ(buffer->setCurrentPosition(32), kBufferInvalidParam);
  ASSERT_EQ(buffer->play(true), kBufferOk);
  EXPECT_EQ(Render(mixer, 8), (std::vector<int16_t>{5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}));

  std::unique_ptr<SoundBuffer> refused;
  for (SoundBufferFormat format : {SoundBufferFormat{kRate, 2, 24}, {kRate, 3, 16}, {99, 1, 16}, {200001, 1, 16}}) {
    EXPECT_EQ(mixer.createBuffer(format, 60, &refused), kBufferBadFormat);
  }
  for (uint32_t size : {6u, 0u}) EXPECT_EQ(mixer.createBuffer({kRate, 2, 16}, size, &refused), kBufferInvalidParam);
  EXPECT_EQ(refused, nullptr);
}

TEST(Mixer, BuffersReleasedWhileAnotherThreadRendersAreNeverMixedAgain) {
  Mixer mixer(kRate, 2);
  std::atomic<bool> done{false};
  std::atomic<uint64_t> blocks{0};
  // Even while no buffer exists; odd from a creation until every release
  // has returned.
  std::atomic<uint64_t> epoch{0};
  std::atomic<int32_t> loudAfterRelease{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    std::vector<int16_t> out(256 * 2);
    while (!done.load()) {
      const uint64_t before = epoch.load();
      mixer.render(out.data(), 256);
      bool loud = false;
      for (int16_t s : out) loud = loud || s != 0;
      if (loud && before % 2 == 0 && epoch.load() == before) loudAfterRelease.fetch_add(1);
      blocks.fetch_add(1);
    }
  });
  // Buffers made and released on a third thread keep the mixer's list busy,
  // so the renderer often works from the list of an earlier block.
  threads.emplace_back([&] {
    while (!done.load()) {
      std::unique_ptr<SoundBuffer> idle;
      mixer.createBuffer({kRate, 1, 16}, 2, &idle);
    }
  });
  auto waitBlocks = [&](uint64_t count) {
    const uint64_t target = blocks.load() + count;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (blocks.load() < target && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  };

  const std::vector<uint8_t> loud16 = Bytes16(std::vector<int16_t>(256, 3000));
  const std::vector<uint8_t> loud8(128, 200);
  for (int32_t round = 0; round < 300; ++round) {
    epoch.fetch_add(1);
    {
      std::unique_ptr<SoundBuffer> a = MakeBuffer(mixer, kRate, 2, 16, loud16);
      std::unique_ptr<SoundBuffer> b = MakeBuffer(mixer, 22050, 1, 8, loud8);
      std::unique_ptr<SoundBuffer> c;
      mixer.duplicate(*b, &c);
      for (SoundBuffer* buffer : {a.get(), b.get(), c.get()}) {
        if (buffer) buffer->play(true);
      }
      // Every other round the renderer reaches the buffers first.
      if (round % 2 == 0) waitBlocks(2);
      // Released in a different order each round, one of them mid-write.
      void* first = nullptr;
      uint32_t firstBytes = 0;
      if (a) a->lock(0, 64, &first, &firstBytes, nullptr, nullptr);
      if (round % 3 == 0) b.reset();
      a.reset();
      if (round % 3 == 1) c.reset();
    }
    epoch.fetch_add(1);
    waitBlocks(2);  // blocks that must come out silent
  }
  done.store(true);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(loudAfterRelease.load(), 0);
}

}  // namespace
