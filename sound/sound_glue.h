// The game side's sound calls: channel-level functions that built-ins, waits
// and the presentation restore use instead of the sound library itself. The
// sound system installs its SoundGlue at start-up; without one nothing plays
// (stops fail, every channel reads idle). Main thread.
#pragma once

#include <cstdint>

class SoundGlue {
 public:
  virtual ~SoundGlue() = default;
  virtual bool sfxStop(int32_t channel) = 0;
  // 1 playing, 2 paused, 0 otherwise.
  virtual int32_t sfxState(int32_t channel) = 0;
  virtual bool streamStop(int32_t channel, int32_t fadeMs) = 0;
  // Opens the sound device; called once at application start.
  virtual void startup() {}
};

// Installs the glue (null removes it); returns the previous one.
SoundGlue* SetSoundGlue(SoundGlue* glue);

// Starts the sound library once at application start (nothing without a
// glue).
void SoundStartup();
// Stops a sound-effect channel.
bool SoundSfxStop(int32_t channel);
// state := 1 playing, 2 paused, 0 otherwise; always true.
bool SoundSfxGetState(int32_t channel, int32_t& state);
// Stops a stream channel, fading out over fadeMs when above 0, else at once.
bool SoundStreamStop(int32_t channel, int32_t fadeMs);
