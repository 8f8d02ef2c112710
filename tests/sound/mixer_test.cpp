// The mixer driven by hand, with no sound device: sample values against the
// mixing rule, cursors and status as the channels read them, locks,
// duplicates, refusals, and buffers released while another thread renders.
#include "sound/mixer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/audio_device_fake.h"

namespace {

constexpr int32_t kRate = 44100;

std::vector<uint8_t> Bytes16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

// A buffer holding the bytes, written through a whole-buffer lock.
std::unique_ptr<SoundBuffer> MakeBuffer(Mixer& mixer, int32_t rate, int32_t channels, int32_t bits,
                                        const std::vector<uint8_t>& bytes) {
  std::unique_ptr<SoundBuffer> buffer;
  EXPECT_EQ(mixer.createBuffer({rate, channels, bits}, uint32_t(bytes.size()), &buffer), kBufferOk);
  if (!buffer) return buffer;
  void* first = nullptr;
  uint32_t firstBytes = 0;
  EXPECT_EQ(buffer->lock(0, 0, &first, &firstBytes, nullptr, nullptr, kLockEntireBuffer), kBufferOk);
  memcpy(first, bytes.data(), firstBytes);
  EXPECT_EQ(buffer->unlock(first, firstBytes, nullptr, 0), kBufferOk);
  return buffer;
}

std::vector<int16_t> Render(Mixer& mixer, int32_t frames) {
  std::vector<int16_t> out(size_t(frames) * size_t(mixer.outputChannels()), 12345);
  mixer.render(out.data(), frames);
  return out;
}

// Stereo ramp: left rises, right falls.
std::vector<int16_t> StereoRamp(int32_t frames) {
  std::vector<int16_t> samples;
  for (int32_t k = 0; k < frames; ++k) {
    samples.push_back(int16_t(k * 30 - 15000));
    samples.push_back(int16_t(15000 - k * 29));
  }
  return samples;
}

// getStatus bits and the play cursor.
std::pair<uint32_t, uint32_t> StatusAndCursor(const SoundBuffer& buffer) {
  uint32_t status = 99, play = 99;
  EXPECT_EQ(buffer.getStatus(&status), kBufferOk);
  EXPECT_EQ(buffer.getCurrentPosition(&play, nullptr), kBufferOk);
  return {status, play};
}

TEST(Mixer, OutputRateRampComesThroughTheDeviceCallbackAndGainsFollowTheDecibelRule) {
  Mixer mixer(kRate, 2);
  platform::FakeAudioDevice device;
  ASSERT_TRUE(device.open(kRate, 2, &Mixer::AudioCallback, &mixer, nullptr));
  const std::vector<int16_t> ramp = StereoRamp(1000);
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, kRate, 2, 16, Bytes16(ramp));
  auto playOnce = [&](int32_t volume, int32_t pan) {
    EXPECT_EQ(buffer->setVolume(volume), kBufferOk);
    EXPECT_EQ(buffer->setPan(pan), kBufferOk);
    EXPECT_EQ(buffer->setCurrentPosition(0), kBufferOk);
    EXPECT_EQ(buffer->play(false), kBufferOk);
    const size_t start = device.output().size();
    EXPECT_TRUE(device.pump(1000));
    return std::vector<int16_t>(device.output().begin() + long(start), device.output().end());
  };

  EXPECT_EQ(playOnce(0, 0), ramp);
  EXPECT_EQ(playOnce(-10000, 0), std::vector<int16_t>(2000, 0));
  const std::vector<int16_t> panned = playOnce(0, 10000);
  const std::vector<int16_t> quieter = playOnce(-600, 0);
  for (size_t i = 0; i < ramp.size(); ++i) {
    EXPECT_EQ(panned[i], i % 2 == 0 ? 0 : ramp[i]) << i;
    EXPECT_NEAR(quieter[i], ramp[i] * std::pow(10.0, -0.3), 1.0) << i;
  }

  // A silent buffer still moves its cursor (the library's clock is one).
  EXPECT_EQ(buffer->setVolume(-10000), kBufferOk);
  EXPECT_EQ(buffer->setCurrentPosition(0), kBufferOk);
  EXPECT_EQ(buffer->play(true), kBufferOk);
  EXPECT_TRUE(device.pump(300));
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(kBufferStatusPlaying | kBufferStatusLooping, 300u * 4u));
  EXPECT_EQ(buffer->stop(), kBufferOk);

  // 8-bit mono: (b - 128) x 256 on both sides.
  std::unique_ptr<SoundBuffer> bytes8 = MakeBuffer(mixer, kRate, 1, 8, {0, 127, 128, 129, 255});
  ASSERT_EQ(bytes8->play(false), kBufferOk);
  EXPECT_EQ(Render(mixer, 6), (std::vector<int16_t>{-32768, -32768, -256, -256, 0, 0, 256, 256, 32512, 32512, 0, 0}));
  device.close();
}

TEST(Mixer, OtherRatesInterpolateAndFrequencyZeroIsTheBuffersOwnRate) {
  Mixer mixer(kRate, 2);
  constexpr int32_t kFrames = 50;
  std::vector<int16_t> mono;
  for (int32_t k = 0; k < kFrames; ++k) mono.push_back(int16_t(8 * k - 300));
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, 22050, 1, 16, Bytes16(mono));

  // Set to the output rate: frame for frame.
  ASSERT_EQ(buffer->setFrequency(kRate), kBufferOk);
  ASSERT_EQ(buffer->play(false), kBufferOk);
  std::vector<int16_t> out = Render(mixer, kFrames + 1);
  for (int32_t k = 0; k < kFrames; ++k) EXPECT_EQ(out[size_t(2 * k)], mono[size_t(k)]) << k;
  EXPECT_EQ(out[2 * kFrames], 0);

  // Back to its own 22050 Hz: twice as many frames, the odd ones halfway to
  // the next frame, the last held; then silence, stopped at cursor 0.
  ASSERT_EQ(buffer->setFrequency(0), kBufferOk);
  uint32_t frequency = 0;
  buffer->getFrequency(&frequency);
  EXPECT_EQ(frequency, 22050u);
  ASSERT_EQ(buffer->play(false), kBufferOk);
  out = Render(mixer, 2 * kFrames + 3);
  for (int32_t k = 0; k < 2 * kFrames; ++k) {
    const int32_t i = k / 2;
    const bool onFrame = k % 2 == 0 || i + 1 == kFrames;
    const int32_t expected = onFrame ? mono[size_t(i)] : (mono[size_t(i)] + mono[size_t(i + 1)]) / 2;
    EXPECT_EQ(out[size_t(2 * k)], expected) << k;
    EXPECT_EQ(out[size_t(2 * k + 1)], expected) << k;
  }
  EXPECT_EQ(std::vector<int16_t>(out.begin() + 4 * kFrames, out.end()), std::vector<int16_t>(6, 0));
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(0u, 0u));
}

TEST(Mixer, LoopingWrapsWithoutGapOrRepeatAndOneShotEndsStoppedAtCursorZero) {
  Mixer mixer(kRate, 2);
  constexpr int32_t kFrames = 64;
  const std::vector<int16_t> ramp = StereoRamp(kFrames);
  std::unique_ptr<SoundBuffer> buffer = MakeBuffer(mixer, kRate, 2, 16, Bytes16(ramp));
  ASSERT_EQ(buffer->play(true), kBufferOk);
  std::vector<int16_t> out;
  for (int32_t i = 0; i < 7; ++i) {  // blocks that end anywhere in the buffer
    const std::vector<int16_t> block = Render(mixer, 37);
    out.insert(out.end(), block.begin(), block.end());
  }
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], ramp[i % ramp.size()]) << i;
  uint32_t play = 0, write = 0;
  EXPECT_EQ(buffer->getCurrentPosition(&play, &write), kBufferOk);
  EXPECT_EQ(play, (7u * 37u % kFrames) * 4u);
  EXPECT_EQ(write, play + 4u);

  // A resampled loop leans from its last frame towards its first.
  std::unique_ptr<SoundBuffer> slow = MakeBuffer(mixer, 22050, 1, 16, Bytes16({100, 200, 300, 400}));
  ASSERT_EQ(buffer->stop(), kBufferOk);
  ASSERT_EQ(slow->play(true), kBufferOk);
  out = Render(mixer, 10);
  EXPECT_EQ(out[14], 250);  // frame 7: between 400 and 100
  EXPECT_EQ(out[16], 100);
  ASSERT_EQ(slow->stop(), kBufferOk);

  ASSERT_EQ(buffer->setCurrentPosition(8 * 4 + 3), kBufferOk);  // rounds down to frame 8
  ASSERT_EQ(buffer->play(false), kBufferOk);
  out = Render(mixer, kFrames);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 2 * (kFrames - 8)),
            std::vector<int16_t>(ramp.begin() + 16, ramp.end()));
  EXPECT_EQ(std::vector<int16_t>(out.begin() + 2 * (kFrames - 8), out.end()), std::vector<int16_t>(16, 0));
  EXPECT_EQ(StatusAndCursor(*buffer), std::make_pair(0u, 0u));
}

TEST(Mixer, LockAcrossTheEndGivesTwoRegionsAndBadCallsAreRefused) {
  Mixer mixer(kRate, 2);
  std::unique_ptr<SoundBuffer> buffer;
  ASSERT_EQ(mixer.createBuffer({kRate, 2, 16}, 32, &buffer), kBufferOk);
  void *first = nullptr, *second = nullptr;
  uint32_t firstBytes = 0, secondBytes = 0;
  ASSERT_EQ(buffer->lock(24, 16, &first, &firstBytes, &second, &secondBytes), kBufferOk);
  EXPECT_EQ(firstBytes, 8u);
  EXPECT_EQ(secondBytes, 8u);
  EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(first), static_cast<uint8_t*>(first) + 8),
            std::vector<uint8_t>(8, 0));
  void *other = nullptr, *otherSecond = nullptr;
  uint32_t otherBytes = 0, otherSecondBytes = 0;
  EXPECT_EQ(buffer->lock(0, 4, &other, &otherBytes, nullptr, nullptr), kBufferInvalidCall);
  const int16_t tail[4] = {1, 2, 3, 4}, head[4] = {5, 6, 7, 8};
  memcpy(first, tail, 8);
  memcpy(second, head, 8);
  EXPECT_EQ(buffer->unlock(second, 8, first, 8), kBufferInvalidParam);  // the lock stays
  ASSERT_EQ(buffer->unlock(first, 8, second, 8), kBufferOk);
  EXPECT_EQ(buffer->unlock(first, 8, second, 8), kBufferInvalidCall);

  // Without a second pointer the part stops at the end.
  ASSERT_EQ(buffer->lock(28, 16, &other, &otherBytes, nullptr, nullptr), kBufferOk);
  EXPECT_EQ(otherBytes, 4u);
  ASSERT_EQ(buffer->unlock(other, 0, nullptr, 0), kBufferOk);
  for (const auto& [offset, bytes] : {std::pair<uint32_t, uint32_t>{32, 4}, {0, 33}, {0, 0}}) {
    EXPECT_EQ(buffer->lock(offset, bytes, &other, &otherBytes, &otherSecond, &otherSecondBytes), kBufferInvalidParam);
  }

  ASSERT_EQ(buffer->play(true), kBufferOk);
  EXPECT_EQ(Render(mixer, 8), (std::vector<int16_t>{5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4}));

  // Values and formats outside their ranges change nothing.
  for (int32_t volume : {1, -10001}) EXPECT_EQ(buffer->setVolume(volume), kBufferInvalidParam);
  for (int32_t pan : {10001, -10001}) EXPECT_EQ(buffer->setPan(pan), kBufferInvalidParam);
  for (uint32_t frequency : {99u, 200001u}) EXPECT_EQ(buffer->setFrequency(frequency), kBufferInvalidParam);
  EXPECT_EQ(buffer->setCurrentPosition(32), kBufferInvalidParam);
  int32_t volume = 1, pan = 1;
  uint32_t frequency = 0;
  buffer->getVolume(&volume);
  buffer->getPan(&pan);
  buffer->getFrequency(&frequency);
  EXPECT_EQ(std::make_tuple(volume, pan, frequency), std::make_tuple(0, 0, uint32_t(kRate)));
  std::unique_ptr<SoundBuffer> refused;
  for (SoundBufferFormat format : {SoundBufferFormat{kRate, 2, 24}, {kRate, 3, 16}, {99, 1, 16}, {200001, 1, 16}}) {
    EXPECT_EQ(mixer.createBuffer(format, 60, &refused), kBufferBadFormat);
  }
  for (uint32_t size : {6u, 0u}) EXPECT_EQ(mixer.createBuffer({kRate, 2, 16}, size, &refused), kBufferInvalidParam);
  EXPECT_EQ(refused, nullptr);
}

TEST(Mixer, DuplicatesPlayTheSameDataWithTheirOwnCursorsAndSettings) {
  Mixer mixer(kRate, 2);
  const std::vector<int16_t> ramp = StereoRamp(64);
  std::unique_ptr<SoundBuffer> tone = MakeBuffer(mixer, kRate, 2, 16, Bytes16(ramp));
  ASSERT_EQ(tone->setVolume(-600), kBufferOk);
  std::unique_ptr<SoundBuffer> one, two;
  ASSERT_EQ(mixer.duplicate(*tone, &one), kBufferOk);
  ASSERT_EQ(mixer.duplicate(*tone, &two), kBufferOk);
  int32_t volume = 0;
  one->getVolume(&volume);
  EXPECT_EQ(volume, -600);
  EXPECT_EQ(StatusAndCursor(*one), std::make_pair(0u, 0u));

  // One plays the left side from frame 0, the other the right from frame 16.
  for (SoundBuffer* b : {one.get(), two.get()}) ASSERT_EQ(b->setVolume(0), kBufferOk);
  ASSERT_EQ(one->setPan(-10000), kBufferOk);
  ASSERT_EQ(two->setPan(10000), kBufferOk);
  ASSERT_EQ(two->setCurrentPosition(16 * 4), kBufferOk);
  ASSERT_EQ(one->play(false), kBufferOk);
  ASSERT_EQ(two->play(false), kBufferOk);
  std::vector<int16_t> out = Render(mixer, 8);
  for (size_t k = 0; k < 8; ++k) {
    EXPECT_EQ(out[2 * k], ramp[2 * k]);
    EXPECT_EQ(out[2 * k + 1], ramp[2 * (k + 16) + 1]);
  }
  EXPECT_EQ(StatusAndCursor(*tone), std::make_pair(0u, 0u));

  // Stopping one leaves the other; a write into the shared bytes reaches it.
  ASSERT_EQ(one->stop(), kBufferOk);
  void* first = nullptr;
  uint32_t firstBytes = 0;
  ASSERT_EQ(tone->lock(24 * 4, 4, &first, &firstBytes, nullptr, nullptr), kBufferOk);
  const int16_t frame[2] = {-7, 7};
  memcpy(first, frame, 4);
  ASSERT_EQ(tone->unlock(first, 4, nullptr, 0), kBufferOk);
  out = Render(mixer, 1);
  EXPECT_EQ(out, (std::vector<int16_t>{0, 7}));
  EXPECT_EQ(StatusAndCursor(*two).first, kBufferStatusPlaying);
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
