// UTSoundSystem: the one process-wide state behind the sorn_* functions:
// the library state, the configured device, the stream channels with their
// mutexes, the effect tones and channels with their settings, the sample
// clock and the output names. The flat functions take the system lock and
// then at most one channel mutex; the worker threads take a channel mutex
// alone, or the system lock alone to advance the clock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "sound/ds_sfx.h"
#include "sound/ds_stream_channel.h"
#include "sound/sorn.h"
#include "sound/sound_clock.h"
#include "sound/ut_sound_device.h"

class UTSoundSystem {
 public:
  static constexpr int32_t kStreamChannels = 8;
  static constexpr int32_t kToneSlots = 16;
  static constexpr int32_t kSfxChannels = 8;

  // Library states.
  static constexpr int32_t kNotInitialised = 1;
  static constexpr int32_t kInitialised = 2;
  static constexpr int32_t kDeviceOpen = 3;

  // What sorn_sfxSetVolume stores per effect channel and every play applies.
  struct SfxSetting {
    int32_t volume = 0;  // 0..100
    int32_t pan = 0;
    int32_t frequencyRatio = 0;  // 0: the tone's own rate
  };

  SoundInitInfo initInfo;
  std::array<std::u16string, 8> deviceNames;  // initInfo points into these
  void* window = nullptr;
  int32_t state = kNotInitialised;

  std::unique_ptr<UTSoundDevice> device;
  int32_t deviceKind = SoundDeviceConfig::kNull;
  int32_t deviceIndex = 0;
  int32_t formatIndex = 5;
  int32_t outputRate = 44100;
  int32_t outputChannels = 2;

  // The system lock.
  std::mutex lock;
  // streams[i] is read and replaced only under streamMutex[i]; streamOpen[i]
  // tells the timer thread, which only tries the mutexes, whether to look.
  std::array<std::mutex, kStreamChannels> streamMutex;
  std::array<std::unique_ptr<DSStreamChannel>, kStreamChannels> streams;
  std::array<std::atomic<bool>, kStreamChannels> streamOpen{};

  // Under the system lock. A channel is released before the tone it plays.
  std::array<std::unique_ptr<DSSfxTone>, kToneSlots> tones;
  std::array<std::unique_ptr<DSSfxChannel>, kSfxChannels> sfx;
  std::array<SfxSetting, kSfxChannels> sfxSettings;

  SoundClock clock;

  // Stops the device's threads before the channels they visit go.
  ~UTSoundSystem();
};

// The process-wide system, built on first use.
UTSoundSystem& GetSoundSystem();
