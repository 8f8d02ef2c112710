#include "sound/sound_glue.h"

namespace {

SoundGlue* g_glue = nullptr;

}  // namespace

SoundGlue* SetSoundGlue(SoundGlue* glue) {
  SoundGlue* previous = g_glue;
  g_glue = glue;
  return previous;
}

void SoundStartup() {
  static bool started = false;
  if (started || !g_glue) return;
  started = true;
  g_glue->startup();
}

bool SoundSfxStop(int32_t channel) { return g_glue && g_glue->sfxStop(channel); }

bool SoundSfxGetState(int32_t channel, int32_t& state) {
  state = g_glue ? g_glue->sfxState(channel) : 0;
  return true;
}

bool SoundStreamStop(int32_t channel, int32_t fadeMs) { return g_glue && g_glue->streamStop(channel, fadeMs); }
