// The sound glue over the whole library, with the output pumped and the
// worker steps run by hand.
#include "sound/sorn_glue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/audio_device_fake.h"
#include "platform/utf8.h"
#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_system.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

TEST(SornGlue, MillisecondsPositionsFadesAndVolumesReachTheLibrary) {
  UTSoundDeviceDSound::setOutputForTests(&platform::CreateFakeAudioDevice, false);
  SornSoundGlue glue;
  struct Restore {
    ~Restore() {
      sorn_shutdown();
      UTSoundDeviceDSound::setOutputForTests(nullptr, true);
    }
  } restore;
  glue.startup();
  auto* device = static_cast<UTSoundDeviceDSound*>(GetSoundSystem().device.get());
  auto* output = static_cast<platform::FakeAudioDevice*>(device->output());
  ASSERT_NE(output, nullptr);
  // About `ms` of output with the worker steps between blocks; the largest
  // magnitude of the last block.
  auto run = [&](int32_t ms) {
    int32_t peak = 0;
    for (int32_t done = 0; done < ms; done += 23) {
      device->decoderStep();
      device->timerStep();
      const size_t from = output->output().size();
      output->pump(1024);
      const std::vector<int16_t>& out = output->output();
      peak = 0;
      for (size_t i = from; i < out.size(); ++i) peak = std::max(peak, std::abs(int32_t{out[i]}));
    }
    return peak;
  };

  constexpr int16_t kLevel = 10000;
  Bytes samples;  // three seconds of a constant level, 44100 Hz stereo
  for (int i = 0; i < 44100 * 3 * 2; ++i) samples.insert(samples.end(), {uint8_t(kLevel & 0xFF), uint8_t(kLevel >> 8)});
  const Bytes wave = MakeWave(2, 44100, 16, samples);
  TempDir dir;
  const std::u16string path =
      platform::FromUtf8(dir.write("music.wav", std::string(wave.begin(), wave.end())).string());

  EXPECT_FALSE(glue.streamOpen(0, path, 2, 0, 0));  // loop mode 2: refused, though the file is there
  ASSERT_TRUE(glue.streamOpen(0, path, 0, 0, 0));
  ASSERT_TRUE(glue.streamPlayFromMs(0, 0));
  int32_t position = -5;
  ASSERT_TRUE(glue.streamGetPositionMs(0, position));
  EXPECT_EQ(position, 1);
  ASSERT_TRUE(glue.streamSetVolume(0, 300, 0));  // a volume rule's 300: full level, not refused
  EXPECT_EQ(run(100), kLevel);

  ASSERT_TRUE(glue.streamStop(0, 100));  // a faded stop: silent, but open and playing
  EXPECT_EQ(run(300), 0);
  SoundStreamStatus status;
  ASSERT_EQ(sorn_streamGetStatus(0, &status), kSornOk);
  EXPECT_EQ(status.state, SoundStreamStatus::kPlaying);
  ASSERT_TRUE(glue.streamSetVolume(0, 100, 0));
  EXPECT_EQ(run(100), kLevel);

  ASSERT_TRUE(glue.streamPlayFromMs(0, 1500));
  EXPECT_EQ(GetSoundSystem().streams[0]->getStatusValue(), 66150);
  ASSERT_TRUE(glue.streamStop(0, 0));
  ASSERT_TRUE(glue.streamGetPositionMs(0, position));
  EXPECT_EQ(position, -1);
}

}  // namespace
