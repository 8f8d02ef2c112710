// The sound glue over the sound library: names resolved as the texture
// loader resolves them, milliseconds turned into frames at the channel's
// rate, fades or immediate changes, the library's states mapped to the
// game's, and volumes held to what the library accepts. Installed by the
// application at start-up. Main thread.
#pragma once

#include "sound/sound_glue.h"

class SornSoundGlue final : public SoundGlue {
 public:
  static SornSoundGlue* instance();

  // sorn_init (a version other than 3.3 also shows a message box), the
  // default output at 44100 Hz stereo, then the device opened.
  void startup() override;
  // sorn_shutdown: the threads joined, the output closed, the library back
  // to its state before sorn_init.
  void shutdown() override;
  bool getMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                    int32_t loopEnd) override;
  bool streamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart,
                  int32_t loopEnd) override;
  bool streamPlayFromMs(int32_t channel, int32_t ms) override;
  bool streamStop(int32_t channel, int32_t fadeMs) override;
  bool streamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) override;
  bool streamGetPositionMs(int32_t channel, int32_t& position) override;
  bool sfxLoad(int32_t slot, std::u16string_view file) override;
  bool sfxPlay(int32_t channel, int32_t slot, int32_t volume) override;
  bool sfxStop(int32_t channel) override;
  bool sfxSetVolume(int32_t channel, int32_t volume) override;
  int32_t sfxState(int32_t channel) override;
};
