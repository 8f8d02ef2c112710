// The silent device: opens at once, plays nothing and makes no channels.
// Used under the system lock.
#pragma once

#include "sound/ut_sound_device.h"

class UTSoundDeviceNull final : public UTSoundDevice {
 public:
  int32_t start(int32_t, int32_t, void*) override { return 0; }
  int32_t stop(bool full) override;
  int32_t createSfxTone(DecodedTone&&, std::unique_ptr<DSSfxTone>*) override { return 11; }
  int32_t createSfxChannel(std::unique_ptr<DSSfxChannel>*) override { return 11; }
  int32_t createStreamChannel(std::unique_ptr<DSStreamChannel>*, std::unique_ptr<UTDataSource>,
                              const std::vector<SoundLoopRegion>&) override {
    return 11;
  }
};
