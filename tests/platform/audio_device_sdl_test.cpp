// The SDL sound output, headless: SDL's disk driver writes what the callback
// produced to a file in the test's folder, far faster than real time.
#include "platform/audio_device.h"

#include <gtest/gtest.h>

#include <algorithm>
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
int16_t Sample(int frame, int channel) {
  return frame >= kRate ? 0 : channel == 0 ? int16_t(frame - 22050) : int16_t(22049 - frame);
}

void Fill(void* context, int16_t* out, int frames) {
  auto& done = *static_cast<std::atomic<int>*>(context);
  for (int k = 0; k < frames * 2; ++k) out[k] = Sample(done + k / 2, k % 2);
  done += frames;
}

TEST(AudioDeviceSdl, DiskDriverCapturesASecondOfRampSampleForSample) {
  TempDir dir;
  const std::string file = (dir.path() / "out.raw").string();
  ScopedEnv driver("SDL_AUDIODRIVER", "disk"), output("SDL_DISKAUDIOFILE", file.c_str()),
      delay("SDL_DISKAUDIODELAY", "0");
  std::unique_ptr<platform::AudioDevice> device = platform::CreateSdlAudioDevice();
  EXPECT_EQ(device->listOutputs().at(0), platform::kDefaultAudioOutputName);

  std::atomic<int> frames{0};
  std::string error;
  ASSERT_TRUE(device->open(kRate, 2, &Fill, &frames, &error)) << error;
  EXPECT_FALSE(device->open(kRate, 2, &Fill, &frames, &error));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (frames < kRate + 8192 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  device->close();
  const int produced = frames;
  ASSERT_GE(produced, kRate + 8192);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(frames, produced);  // nothing runs after close

  // The whole ramp follows the device's start offset in the file.
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2), ramp(2 * size_t(kRate));
  memcpy(samples.data(), bytes.data(), samples.size() * 2);
  for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = Sample(int(k / 2), int(k % 2));
  EXPECT_NE(std::search(samples.begin(), samples.end(), ramp.begin(), ramp.end()), samples.end());
}

// At the end of the process a close lets SDL's thread go on (it ends with
// the process) but stops the sound at once: the callback never runs again.
// In a child process, since the setting holds for the rest of a process.
TEST(AudioDeviceSdl, AtTheProcessEndACloseStopsTheSoundAtOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  const std::string file = (dir.path() / "out.raw").string();
  auto body = [&] {
    ScopedEnv driver("SDL_AUDIODRIVER", "disk"), output("SDL_DISKAUDIOFILE", file.c_str()),
        delay("SDL_DISKAUDIODELAY", "0");
    std::unique_ptr<platform::AudioDevice> device = platform::CreateSdlAudioDevice();
    std::atomic<int> frames{0};
    std::string error;
    if (!device->open(kRate, 2, &Fill, &frames, &error)) std::_Exit(2);
    while (frames < 8192) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    platform::LetAudioOutputsEndWithProcess();
    device->close();
    const int produced = frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::_Exit(frames == produced ? 0 : 3);
  };
  EXPECT_EXIT(body(), testing::ExitedWithCode(0), "");
}

}  // namespace
