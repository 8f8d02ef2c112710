// The SDL sound output, headless: SDL's disk driver writes what the callback
// produced to a file in the test's folder, far faster than real time, and
// the device list always starts with the default output.
#include "platform/audio_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

namespace {

constexpr int kRate = 44100;

// One second of a stereo ramp (left rising, right falling), then silence.
struct Ramp {
  static int16_t left(int frame) { return int16_t(frame - 22050); }
  static int16_t right(int frame) { return int16_t(22049 - frame); }

  static void fill(void* context, int16_t* out, int frames) {
    auto* self = static_cast<Ramp*>(context);
    const int start = self->frames.load();
    for (int k = 0; k < frames; ++k) {
      const int frame = start + k;
      out[2 * k] = frame < kRate ? left(frame) : 0;
      out[2 * k + 1] = frame < kRate ? right(frame) : 0;
    }
    self->frames.store(start + frames);
  }

  std::atomic<int> frames{0};
};

TEST(AudioDeviceSdl, DiskDriverCapturesASecondOfRampSampleForSample) {
  TempDir dir;
  const std::string file = (dir.path() / "out.raw").string();
  ScopedEnv driver("SDL_AUDIODRIVER", "disk");
  ScopedEnv output("SDL_DISKAUDIOFILE", file.c_str());
  ScopedEnv delay("SDL_DISKAUDIODELAY", "0");
  std::unique_ptr<platform::AudioDevice> device = platform::CreateSdlAudioDevice();

  const std::vector<std::u16string> outputs = device->listOutputs();
  ASSERT_FALSE(outputs.empty());
  EXPECT_EQ(outputs[0], platform::kDefaultAudioOutputName);
  EXPECT_LE(outputs.size(), platform::kMaxAudioOutputs);

  Ramp ramp;
  std::string error;
  ASSERT_TRUE(device->open(kRate, 2, &Ramp::fill, &ramp, &error)) << error;
  EXPECT_FALSE(device->open(kRate, 2, &Ramp::fill, &ramp, &error));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (ramp.frames.load() < kRate + 8192 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  device->close();
  const int produced = ramp.frames.load();
  ASSERT_GE(produced, kRate + 8192);
  // Nothing runs after close.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ramp.frames.load(), produced);

  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  memcpy(samples.data(), bytes.data(), samples.size() * 2);
  size_t start = 0;
  while (start + 1 < samples.size() && !(samples[start] == Ramp::left(0) && samples[start + 1] == Ramp::right(0))) {
    start += 2;
  }
  ASSERT_GE(samples.size(), start + 2 * size_t(kRate)) << "the ramp is not in the captured file";
  for (int frame = 0; frame < kRate; ++frame) {
    ASSERT_EQ(samples[start + 2 * size_t(frame)], Ramp::left(frame)) << frame;
    ASSERT_EQ(samples[start + 2 * size_t(frame) + 1], Ramp::right(frame)) << frame;
  }
}

}  // namespace
