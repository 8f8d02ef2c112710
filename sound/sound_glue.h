// The game side's sound calls: music, effects and voices by file name and
// milliseconds, for the built-ins, the waits, the presentation restore and
// the start-up, instead of the sound library itself. One SoundGlue is
// installed at start-up (the library's, sound/sorn_glue.h; tests install
// recording fakes); without one nothing plays. Main thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "sound/sorn.h"

class SoundGlue {
 public:
  virtual ~SoundGlue() = default;
  // Opens the sound device; called at each game's start (a device still
  // open from an earlier one stays as it is).
  virtual void startup() {}
  // Closes it again when the game ends, so that a later startup (another
  // game in the same process) opens it afresh.
  virtual void shutdown() {}
  // file: a name resolved over the load paths. Loop mode 0: no loop
  // region; 1: loopStart..loopEnd in frames; any other mode fails.
  virtual bool getMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                            int32_t loopEnd) {
    (void)file, (void)info, (void)loopMode, (void)loopStart, (void)loopEnd;
    return false;
  }
  virtual bool streamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart,
                          int32_t loopEnd) {
    (void)channel, (void)file, (void)loopMode, (void)loopStart, (void)loopEnd;
    return false;
  }
  virtual bool streamPlayFromMs(int32_t channel, int32_t ms) {
    (void)channel, (void)ms;
    return false;
  }
  virtual bool streamStop(int32_t channel, int32_t fadeMs) = 0;
  // volume 0..280 (clamped), fading over fadeMs when it is 1 or more.
  virtual bool streamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) {
    (void)channel, (void)volume, (void)fadeMs;
    return true;
  }
  // position := ms + 1 while playing (never 0), else -1.
  virtual bool streamGetPositionMs(int32_t channel, int32_t& position) {
    (void)channel;
    position = -1;
    return true;
  }
  virtual bool sfxLoad(int32_t slot, std::u16string_view file) {
    (void)slot, (void)file;
    return false;
  }
  // volume 0..100 (clamped).
  virtual bool sfxPlay(int32_t channel, int32_t slot, int32_t volume) {
    (void)channel, (void)slot, (void)volume;
    return false;
  }
  virtual bool sfxStop(int32_t channel) = 0;
  virtual bool sfxSetVolume(int32_t channel, int32_t volume) {
    (void)channel, (void)volume;
    return true;
  }
  // 1 playing, 2 paused, 0 otherwise.
  virtual int32_t sfxState(int32_t channel) = 0;
};

// Installs the glue (null removes it); returns the previous one.
SoundGlue* SetSoundGlue(SoundGlue* glue);

// Each forwards to the installed glue; without one: false, or -1 / 0 out
// values (see SoundGlue).
void SoundStartup();
// Undoes SoundStartup; nothing when it has not run.
void SoundShutdown();
bool SoundGetMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                       int32_t loopEnd);
bool SoundStreamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart, int32_t loopEnd);
bool SoundStreamPlayFromMs(int32_t channel, int32_t ms);
bool SoundStreamStop(int32_t channel, int32_t fadeMs);
bool SoundStreamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs);
bool SoundStreamGetPositionMs(int32_t channel, int32_t& position);
bool SoundSfxLoad(int32_t slot, std::u16string_view file);
bool SoundSfxPlay(int32_t channel, int32_t slot, int32_t volume);
bool SoundSfxStop(int32_t channel);
bool SoundSfxSetVolume(int32_t channel, int32_t volume);
// state := 1 playing, 2 paused, 0 otherwise; always true.
bool SoundSfxGetState(int32_t channel, int32_t& state);
