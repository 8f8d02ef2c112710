// The sound glue over the whole library, with the output pumped and the
// worker steps run by hand: a start in milliseconds becomes the frame at
// the channel's rate, positions never read 0 while playing, a faded stop
// leaves the channel open and silent until a volume brings it back, and a
// volume past the library's range plays at full level.
#include "sound/sorn_glue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "platform/audio_device_fake.h"
#include "platform/utf8.h"
#include "sound/ut_sound_device_dsound.h"
#include "sound/ut_sound_system.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/test_support.h"

namespace {

constexpr int16_t kLevel = 10000;

class SornGlueTest : public testing::Test {
 protected:
  SornGlueTest() {
    UTSoundDeviceDSound::setOutputForTests(&platform::CreateFakeAudioDevice, false);
    glue.startup();
    device = static_cast<UTSoundDeviceDSound*>(GetSoundSystem().device.get());
    output = static_cast<platform::FakeAudioDevice*>(device->output());
    // Three seconds of a constant level, 44100 Hz stereo.
    Bytes samples(size_t(44100) * 3 * 4);
    for (size_t i = 0; i < samples.size(); i += 2) {
      samples[i] = uint8_t(kLevel & 0xFF);
      samples[i + 1] = uint8_t(kLevel >> 8);
    }
    const Bytes wave = MakeWave(2, 44100, 16, samples);
    path = platform::FromUtf8(dir.write("music.wav", std::string(wave.begin(), wave.end())).string());
  }
  ~SornGlueTest() override {
    sorn_shutdown();
    UTSoundDeviceDSound::setOutputForTests(nullptr, true);
  }

  // About `ms` of output with the worker steps between blocks; the largest
  // magnitude of the last block.
  int32_t run(int32_t ms) {
    int32_t peak = 0;
    for (int32_t done = 0; done < ms; done += 23) {
      device->decoderStep();
      device->timerStep();
      const size_t from = output->output().size();
      output->pump(1024);
      peak = 0;
      for (size_t i = from; i < output->output().size(); ++i) peak = std::max(peak, std::abs(int32_t{output->output()[i]}));
    }
    return peak;
  }
  SoundStreamStatus status() {
    SoundStreamStatus s;
    EXPECT_EQ(sorn_streamGetStatus(0, &s), kSornOk);
    return s;
  }

  TempDir dir;
  SornSoundGlue glue;
  UTSoundDeviceDSound* device = nullptr;
  platform::FakeAudioDevice* output = nullptr;
  std::u16string path;
};

TEST_F(SornGlueTest, MillisecondsPositionsFadesAndVolumesReachTheLibrary) {
  ASSERT_NE(output, nullptr);
  EXPECT_FALSE(glue.streamOpen(0, path, 2, 0, 0));  // loop mode 2: refused, though the file is there
  ASSERT_TRUE(glue.streamOpen(0, path, 0, 0, 0));
  ASSERT_TRUE(glue.streamPlayFromMs(0, 0));
  int32_t position = -5;
  ASSERT_TRUE(glue.streamGetPositionMs(0, position));
  EXPECT_EQ(position, 1);
  ASSERT_TRUE(glue.streamSetVolume(0, 300, 0));  // a volume rule's 300: full level, not refused
  EXPECT_EQ(status().volume, 280);
  EXPECT_EQ(run(100), kLevel);

  // A faded stop: silent, but open and playing.
  ASSERT_TRUE(glue.streamStop(0, 100));
  EXPECT_EQ(run(300), 0);
  EXPECT_EQ(status().state, SoundStreamStatus::kPlaying);
  ASSERT_TRUE(glue.streamSetVolume(0, 100, 0));
  EXPECT_EQ(run(100), kLevel);

  ASSERT_TRUE(glue.streamPlayFromMs(0, 1500));
  EXPECT_EQ(GetSoundSystem().streams[0]->getStatusValue(), 66150);
  ASSERT_TRUE(glue.streamStop(0, 0));
  ASSERT_TRUE(glue.streamGetPositionMs(0, position));
  EXPECT_EQ(position, -1);
}

}  // namespace
