// The whole sound library through its flat functions, on SDL's dummy audio
// driver: result codes in the library's order of checks, an Ogg with loop
// points played by the worker threads and the mixer and captured sample
// for sample, tone slots reloaded under playing channels, and a full stop
// that leaves no thread behind.
#include "sound/sorn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_system.h"
#include "sound/vorbis_reference.h"
#include "tests/sound/sound_fixtures.h"

namespace {

size_t ThreadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// sorn_init, then the given device kind configured and opened.
void OpenLibrary(int32_t kind) {
  SoundVersionInfo version;
  version.major = version.minor = 3;
  SoundInitInfo info;
  ASSERT_EQ(sorn_init(&version, &info), kSornOk);
  ASSERT_GE(info.deviceCount, 1);
  SoundDeviceConfig config;
  config.kind = kind;
  ASSERT_EQ(sorn_configDevice(&config), kSornOk);
  ASSERT_EQ(sorn_openDevice(nullptr), kSornOk);
}

Mixer& LibraryMixer() {
  auto* device = static_cast<UTSoundDeviceDSound*>(GetSoundSystem().device.get());
  return *device->mixer();
}

// Collects what the mixer renders.
struct Capture {
  static void hook(void* self, const int16_t* samples, int32_t frames) {
    auto* c = static_cast<Capture*>(self);
    std::lock_guard<std::mutex> hold(c->mutex);
    c->samples.insert(c->samples.end(), samples, samples + frames * 2);
  }
  size_t frames() {
    std::lock_guard<std::mutex> hold(mutex);
    return samples.size() / 2;
  }
  std::mutex mutex;
  std::vector<int16_t> samples;
};

class SornTest : public testing::Test {
 protected:
  ~SornTest() override { sorn_shutdown(); }
};

TEST_F(SornTest, ResultCodesFollowTheStateAndArgumentChecks) {
  const size_t threadsBefore = ThreadCount();
  SoundVersionInfo version;
  version.major = 3;
  version.minor = 2;
  SoundInitInfo info;
  EXPECT_EQ(sorn_init(&version, &info), kSornVersion);
  EXPECT_EQ(sorn_streamStop(0), kSornNotInit);
  version.minor = 3;
  ASSERT_EQ(sorn_init(&version, &info), kSornOk);
  EXPECT_EQ(std::u16string(info.deviceNames[0]), u"Default output");
  EXPECT_EQ(sorn_init(&version, &info), kSornAlreadyInit);
  EXPECT_EQ(sorn_streamStop(0), kSornNotOpen);
  EXPECT_EQ(sorn_openDevice(nullptr), kSornNoDevice);  // nothing configured
  SoundDeviceConfig config;
  config.kind = 7;
  EXPECT_EQ(sorn_configDevice(&config), kSornBadArgument);
  config.kind = SoundDeviceConfig::kNull;
  ASSERT_EQ(sorn_configDevice(&config), kSornOk);
  ASSERT_EQ(sorn_openDevice(nullptr), kSornOk);
  EXPECT_EQ(sorn_openDevice(nullptr), kSornWrongState);
  EXPECT_EQ(sorn_configDevice(&config), kSornWrongState);
  EXPECT_EQ(sorn_streamPlay(0, 0), kSornNoDevice);
  EXPECT_EQ(sorn_sfxPlay(0, 0), kSornNoDevice);
  sorn_shutdown();

  OpenLibrary(SoundDeviceConfig::kOutput);
  EXPECT_GT(ThreadCount(), threadsBefore);  // the output's, the timer's and the decoder's
  EXPECT_EQ(sorn_streamStop(3), kSornOk);
  EXPECT_EQ(sorn_streamPlay(3, 0), kSornStreamNotOpen);
  EXPECT_EQ(sorn_streamPlay(8, 0), kSornBadArgument);
  EXPECT_EQ(sorn_streamSetVolume(0, 281), kSornBadArgument);
  EXPECT_EQ(sorn_streamFade(0, -2, 0, 0), kSornBadArgument);
  SoundStreamStatus stream;
  ASSERT_EQ(sorn_streamGetStatus(3, &stream), kSornOk);
  EXPECT_EQ(stream.state, SoundStreamStatus::kNotOpen);

  const Bytes wave = MakeWave(2, 44100, 16, Pcm16Pattern(4410, 2));
  const SoundMediaDesc desc = MemoryDesc(wave);
  ASSERT_EQ(sorn_streamOpen(0, &desc), kSornOk);
  EXPECT_EQ(sorn_streamSetVolume(0, 280), kSornOk);
  EXPECT_EQ(sorn_streamFade(0, -1, 0, 0), kSornOk);
  SoundMediaDesc missing = FileDesc("/nonexistent/a.ogg");
  EXPECT_EQ(sorn_streamOpen(1, &missing), kSornCannotOpenMedia);
  SoundMediaDesc unsupported;
  unsupported.kind = SoundMediaDesc::kUnsupported;
  EXPECT_EQ(sorn_sfxLoad(0, &unsupported), kSornUnsupported);

  EXPECT_EQ(sorn_sfxPlay(0, 16), kSornBadArgument);
  EXPECT_EQ(sorn_sfxPlay(0, 5), kSornEmptyTone);
  EXPECT_EQ(sorn_sfxSetVolume(0, 101), kSornBadArgument);
  SoundSfxStatus sfx;
  ASSERT_EQ(sorn_sfxGetStatus(0, &sfx), kSornOk);
  EXPECT_EQ(sfx.state, 1);

  // Media information with a loop-region record: field A carries the end.
  SoundMediaDesc looped = desc;
  looped.options.push_back(SoundLoopRegion{1, 100, 0});
  SoundMediaInfo media;
  ASSERT_EQ(sorn_getMediaInfo(&looped, &media), kSornOk);
  EXPECT_EQ(media.length, 4410);
  EXPECT_EQ(media.loopA, 4410);
  EXPECT_EQ(media.loopB, -1);

  // A full stop: every thread of the library and the output is gone.
  sorn_shutdown();
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST_F(SornTest, AnOggWithLoopPointsPlaysThroughTheThreadsSampleForSample) {
  constexpr int64_t kFrames = 22050, kLoopStart = 4000, kLoopEnd = 15000;
  const Bytes ogg = MakeOgg(44100, 2, kFrames,
                            {"so3.stream.looppoint.start=" + std::to_string(kLoopStart),
                             "so3.stream.looppoint.end=" + std::to_string(kLoopEnd)});
  std::vector<uint8_t> pcmBytes;
  ASSERT_TRUE(ReferenceDecodeOgg(ogg.data(), ogg.size(), &pcmBytes));
  std::vector<int16_t> decoded(pcmBytes.size() / 2);
  std::memcpy(decoded.data(), pcmBytes.data(), pcmBytes.size());
  ASSERT_EQ(decoded.size(), size_t(kFrames) * 2);

  OpenLibrary(SoundDeviceConfig::kOutput);
  Capture capture;
  LibraryMixer().setCaptureHook(&Capture::hook, &capture);
  const SoundMediaDesc desc = MemoryDesc(ogg);
  ASSERT_EQ(sorn_streamOpen(2, &desc), kSornOk);
  ASSERT_EQ(sorn_streamPlay(2, 0), kSornOk);
  // Three passes through the loop end: about 0.6 s of output.
  const size_t wanted = size_t(kLoopEnd + 3 * (kLoopEnd - kLoopStart) + 2000);
  for (int i = 0; i < 400 && capture.frames() < wanted + 22050; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  SoundStreamStatus status;
  ASSERT_EQ(sorn_streamGetStatus(2, &status), kSornOk);
  EXPECT_EQ(status.state, SoundStreamStatus::kPlaying);
  EXPECT_EQ(status.looping, 1);
  LibraryMixer().setCaptureHook(nullptr, nullptr);

  // The track starts after the output's first silence, where its first 256
  // frames are found; from there every frame is the decoded one, the loop
  // start following each loop end.
  const std::vector<int16_t>& out = capture.samples;
  size_t start = 0;
  while (start + 512 <= out.size() && !std::equal(decoded.begin(), decoded.begin() + 512, out.begin() + long(start))) {
    start += 2;
  }
  ASSERT_GE(out.size(), start + wanted * 2);
  int64_t mismatches = 0;
  for (size_t f = 0; f < wanted; ++f) {
    const int64_t source = f < size_t(kLoopEnd) ? int64_t(f) : kLoopStart + (int64_t(f) - kLoopEnd) % (kLoopEnd - kLoopStart);
    for (size_t c = 0; c < 2; ++c) {
      mismatches += out[start + f * 2 + c] != decoded[size_t(source) * 2 + c];
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(SornTest, ReloadingAToneSlotStopsTheChannelsPlayingIt) {
  OpenLibrary(SoundDeviceConfig::kOutput);
  const Bytes first = MakeWave(1, 22050, 16, Pcm16Pattern(22050, 1));
  const SoundMediaDesc desc = MemoryDesc(first);
  ASSERT_EQ(sorn_sfxLoad(4, &desc), kSornOk);
  ASSERT_EQ(sorn_sfxSetVolume(0, 100), kSornOk);
  ASSERT_EQ(sorn_sfxPlay(0, 4), kSornOk);
  ASSERT_EQ(sorn_sfxPlay(1, 4), kSornOk);
  SoundSfxStatus status;
  ASSERT_EQ(sorn_sfxGetStatus(1, &status), kSornOk);
  EXPECT_EQ(status.state, 3);
  EXPECT_EQ(status.lengthMs, 1000);

  const Bytes second = MakeOgg(44100, 1, 4410);
  const SoundMediaDesc other = MemoryDesc(second);
  ASSERT_EQ(sorn_sfxLoad(4, &other), kSornOk);
  for (int32_t channel : {0, 1}) {
    ASSERT_EQ(sorn_sfxGetStatus(channel, &status), kSornOk);
    EXPECT_EQ(status.state, 1) << channel;  // stopped and without a tone
  }
  ASSERT_EQ(sorn_sfxPlay(1, 4), kSornOk);
  ASSERT_EQ(sorn_sfxGetStatus(1, &status), kSornOk);
  EXPECT_EQ(status.lengthMs, 100);
}

}  // namespace
