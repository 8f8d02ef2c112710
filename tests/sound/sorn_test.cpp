// The whole sound library through its flat functions, on SDL's dummy audio
// driver: result codes, an Ogg with loop points captured sample for sample,
// tone slots reloaded under playing channels, a worker thread that cannot
// start, the output resting while nothing plays, and a full stop.
#include "sound/sorn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/audio_device_fake.h"
#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_system.h"
#include "sound/vorbis_reference.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

auto ThreadCount() {
  return std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator());
}

int32_t Init(uint32_t minor) {
  SoundVersionInfo version;
  version.major = 3;
  version.minor = minor;
  SoundInitInfo info;
  return sorn_init(&version, &info);
}

int32_t Configure(int32_t kind) {
  SoundDeviceConfig config;
  config.kind = kind;
  return sorn_configDevice(&config);
}

void OpenLibrary() {
  ASSERT_EQ(Init(3), kSornOk);
  ASSERT_EQ(Configure(SoundDeviceConfig::kOutput), kSornOk);
  ASSERT_EQ(sorn_openDevice(nullptr), kSornOk);
}

// What the mixer renders, as bytes; read once the hook is removed.
struct Capture {
  static void hook(void* self, const int16_t* samples, int32_t frames) {
    auto* c = static_cast<Capture*>(self);
    c->bytes.insert(c->bytes.end(), reinterpret_cast<const uint8_t*>(samples),
                    reinterpret_cast<const uint8_t*>(samples + frames * 2));
    c->frames += size_t(frames);
  }
  Bytes bytes;
  std::atomic<size_t> frames{0};
};

class SornTest : public testing::Test {
 protected:
  ~SornTest() override { sorn_shutdown(); }
};

TEST_F(SornTest, ResultCodesToneReloadsAndAFullStop) {
  const auto threadsBefore = ThreadCount();
  EXPECT_EQ(Init(2), kSornVersion);
  EXPECT_EQ(sorn_streamStop(0), kSornNotInit);
  ASSERT_EQ(Init(3), kSornOk);
  EXPECT_EQ(Init(3), kSornAlreadyInit);
  EXPECT_EQ(sorn_streamStop(0), kSornNotOpen);
  EXPECT_EQ(sorn_openDevice(nullptr), kSornNoDevice);  // nothing configured
  EXPECT_EQ(Configure(7), kSornBadArgument);
  ASSERT_EQ(Configure(SoundDeviceConfig::kNull), kSornOk);
  ASSERT_EQ(sorn_openDevice(nullptr), kSornOk);
  EXPECT_EQ(sorn_openDevice(nullptr), kSornWrongState);
  EXPECT_EQ(Configure(SoundDeviceConfig::kNull), kSornWrongState);
  EXPECT_EQ(sorn_streamPlay(0, 0), kSornNoDevice);
  EXPECT_EQ(sorn_sfxPlay(0, 0), kSornNoDevice);
  sorn_shutdown();

  OpenLibrary();
  EXPECT_GT(ThreadCount(), threadsBefore);  // the output's, the timer's and the decoder's
  EXPECT_EQ(sorn_streamStop(3), kSornOk);
  EXPECT_EQ(sorn_streamPlay(3, 0), kSornStreamNotOpen);
  EXPECT_EQ(sorn_streamPlay(8, 0), kSornBadArgument);
  EXPECT_EQ(sorn_streamSetVolume(0, 281), kSornBadArgument);
  EXPECT_EQ(sorn_streamFade(0, -2, 0, 0), kSornBadArgument);
  EXPECT_EQ(sorn_sfxPlay(0, 16), kSornBadArgument);
  EXPECT_EQ(sorn_sfxPlay(0, 5), kSornEmptyTone);
  EXPECT_EQ(sorn_sfxSetVolume(0, 101), kSornBadArgument);

  const Bytes wave = MakeWave(2, 44100, 16, Pcm16Pattern(4410, 2));
  const SoundMediaDesc desc = MemoryDesc(wave), missing = FileDesc("/nonexistent/a.ogg");
  ASSERT_EQ(sorn_streamOpen(0, &desc), kSornOk);
  EXPECT_EQ(sorn_streamSetVolume(0, 280), kSornOk);
  EXPECT_EQ(sorn_streamFade(0, -1, 0, 0), kSornOk);
  EXPECT_EQ(sorn_streamOpen(1, &missing), kSornCannotOpenMedia);
  // A media that does not open leaves the channel without the old stream.
  EXPECT_EQ(sorn_streamOpen(0, &missing), kSornCannotOpenMedia);
  EXPECT_EQ(sorn_streamPlay(0, 0), kSornStreamNotOpen);

  // Reloading a tone slot stops the channels playing it.
  const Bytes ogg = MakeOgg(44100, 1, 44100);
  const SoundMediaDesc second = MemoryDesc(ogg);
  ASSERT_EQ(sorn_sfxLoad(4, &second), kSornOk);
  ASSERT_EQ(sorn_sfxPlay(0, 4), kSornOk);
  ASSERT_EQ(sorn_sfxPlay(1, 4), kSornOk);
  SoundSfxStatus sfx;
  ASSERT_EQ(sorn_sfxGetStatus(1, &sfx), kSornOk);
  EXPECT_EQ(sfx.state, 3);
  ASSERT_EQ(sorn_sfxLoad(4, &desc), kSornOk);
  for (int32_t channel : {0, 1}) {
    ASSERT_EQ(sorn_sfxGetStatus(channel, &sfx), kSornOk);
    EXPECT_EQ(sfx.state, 1) << channel;  // stopped and without a tone
  }
  ASSERT_EQ(sorn_sfxPlay(1, 4), kSornOk);
  ASSERT_EQ(sorn_sfxGetStatus(1, &sfx), kSornOk);
  EXPECT_EQ(sfx.lengthMs, 100);
  // So does one that does not load: the slot is left empty.
  EXPECT_EQ(sorn_sfxLoad(4, &missing), kSornCannotOpenMedia);
  ASSERT_EQ(sorn_sfxGetStatus(1, &sfx), kSornOk);
  EXPECT_EQ(sfx.state, 1);
  EXPECT_EQ(sorn_sfxPlay(1, 4), kSornEmptyTone);

  // Media information with a loop-region record: field A carries the end,
  // field B the start; without looping both are -1.
  SoundMediaDesc looped = desc;
  looped.options.push_back(SoundLoopRegion{1, 100, 0});
  SoundMediaInfo media;
  ASSERT_EQ(sorn_getMediaInfo(&looped, &media), kSornOk);
  EXPECT_EQ(std::tuple(media.length, media.loopA, media.loopB), std::tuple(4410, 4410, 100));
  ASSERT_EQ(sorn_getMediaInfo(&desc, &media), kSornOk);
  EXPECT_EQ(std::tuple(media.loopA, media.loopB), std::tuple(-1, -1));

  sorn_shutdown();  // a full stop: every thread of the library and the output is gone
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST_F(SornTest, AnOggWithLoopPointsPlaysThroughTheThreadsSampleForSample) {
  constexpr size_t kFrames = 22050, kLoopStart = 4000, kLoopEnd = 15000;
  const Bytes ogg =
      MakeOgg(44100, 2, int64_t(kFrames), {"so3.stream.looppoint.start=4000", "so3.stream.looppoint.end=15000"});
  Bytes decoded;
  ASSERT_TRUE(ReferenceDecodeOgg(ogg.data(), ogg.size(), &decoded));
  ASSERT_EQ(decoded.size(), kFrames * 4);

  OpenLibrary();
  Mixer& mixer = *GetSoundSystem().device->mixer();
  Capture capture;
  mixer.setCaptureHook(&Capture::hook, &capture);
  const SoundMediaDesc desc = MemoryDesc(ogg);
  ASSERT_EQ(sorn_streamOpen(2, &desc), kSornOk);
  ASSERT_EQ(sorn_streamPlay(2, 0), kSornOk);
  // Three passes through the loop end: about 0.6 s of output.
  const size_t wanted = kLoopEnd + 3 * (kLoopEnd - kLoopStart) + 2000;
  for (int i = 0; i < 400 && capture.frames < wanted + 22050; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  mixer.setCaptureHook(nullptr, nullptr);

  // After the output's first silence comes every decoded frame, the loop
  // start following each loop end.
  Bytes expected(decoded.begin(), decoded.begin() + kLoopEnd * 4);
  while (expected.size() < wanted * 4) {
    expected.insert(expected.end(), decoded.begin() + kLoopStart * 4, decoded.begin() + kLoopEnd * 4);
  }
  expected.resize(wanted * 4);
  EXPECT_NE(std::search(capture.bytes.begin(), capture.bytes.end(), expected.begin(), expected.end()),
            capture.bytes.end());
}

TEST_F(SornTest, AWorkerThreadThatCannotStartFailsTheOpenAndLeavesNoThreadBehind) {
  ScopedLogMask mask(LOG_WARN);
  LogCapture log;
  const auto threadsBefore = ThreadCount();
  for (int32_t failing : {1, 2}) {  // the timer's, then the decoder's with the timer's running
    SCOPED_TRACE(failing);
    ASSERT_EQ(Init(3), kSornOk);
    ASSERT_EQ(Configure(SoundDeviceConfig::kOutput), kSornOk);
    UTSoundDeviceDSound::failThreadStartForTests(failing);
    EXPECT_EQ(sorn_openDevice(nullptr), kSornDeviceFailed);
    EXPECT_EQ(ThreadCount(), threadsBefore);
    EXPECT_EQ(sorn_streamStop(0), kSornNotOpen);
    EXPECT_TRUE(log.contains("failed to start the sound worker threads")) << log.all();
    // Nothing is left half open: the next try opens.
    EXPECT_EQ(sorn_openDevice(nullptr), kSornOk);
    sorn_shutdown();
  }
}

// While nothing plays the output is suspended and the workers wait without
// waking; a tone played then opens the output again and is mixed.
TEST_F(SornTest, TheOutputRestsWhileNothingPlaysAndTheNextPlayIsHeard) {
  UTSoundDeviceDSound::setOutputForTests(&platform::CreateFakeAudioDevice, true);
  struct Restore {
    ~Restore() {
      sorn_shutdown();
      UTSoundDeviceDSound::setOutputForTests(nullptr, true);
    }
  } restore;
  OpenLibrary();
  auto* device = static_cast<UTSoundDeviceDSound*>(GetSoundSystem().device.get());
  auto* output = static_cast<platform::FakeAudioDevice*>(device->output());
  auto waitFor = [](auto condition) {
    for (int i = 0; i < 500 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
  };
  ASSERT_TRUE(waitFor([&] { return output->isSuspended(); }));
  const uint64_t wakeUps = device->workerWakeUps();
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  EXPECT_EQ(device->workerWakeUps(), wakeUps);

  constexpr int16_t kLevel = 7000;
  Bytes samples;  // 0.1 s of a constant level
  for (int i = 0; i < 4410 * 2; ++i) samples.insert(samples.end(), {uint8_t(kLevel & 0xFF), uint8_t(kLevel >> 8)});
  const Bytes wave = MakeWave(2, 44100, 16, samples);
  const SoundMediaDesc desc = MemoryDesc(wave);
  ASSERT_EQ(sorn_sfxLoad(0, &desc), kSornOk);
  ASSERT_EQ(sorn_sfxSetVolume(0, 100), kSornOk);
  ASSERT_EQ(sorn_sfxPlay(0, 0), kSornOk);
  ASSERT_TRUE(waitFor([&] { return !output->isSuspended(); }));
  ASSERT_TRUE(output->pump(1024));
  EXPECT_EQ(std::count(output->output().end() - 2048, output->output().end(), kLevel), 2048);
  EXPECT_TRUE(waitFor([&] { return device->workerWakeUps() > wakeUps; }));

  // Played out, it rests again a second later.
  ASSERT_TRUE(output->pump(4410));
  EXPECT_TRUE(waitFor([&] { return output->isSuspended(); }));
  EXPECT_EQ(output->suspensions(), 2);
}

}  // namespace
