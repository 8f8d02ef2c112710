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
  // Every game's start: a library shut down by an earlier game in this
  // process opens again (one still open answers that it is).
  if (g_glue) g_glue->startup();
}

void SoundShutdown() {
  if (g_glue) g_glue->shutdown();
}

bool SoundGetMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                       int32_t loopEnd) {
  return g_glue && g_glue->getMediaInfo(file, info, loopMode, loopStart, loopEnd);
}

bool SoundStreamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart, int32_t loopEnd) {
  return g_glue && g_glue->streamOpen(channel, file, loopMode, loopStart, loopEnd);
}

bool SoundStreamPlayFromMs(int32_t channel, int32_t ms) { return g_glue && g_glue->streamPlayFromMs(channel, ms); }

bool SoundStreamStop(int32_t channel, int32_t fadeMs) { return g_glue && g_glue->streamStop(channel, fadeMs); }

bool SoundStreamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) {
  return !g_glue || g_glue->streamSetVolume(channel, volume, fadeMs);
}

bool SoundStreamGetPositionMs(int32_t channel, int32_t& position) {
  position = -1;
  return !g_glue || g_glue->streamGetPositionMs(channel, position);
}

bool SoundSfxLoad(int32_t slot, std::u16string_view file) { return g_glue && g_glue->sfxLoad(slot, file); }

bool SoundSfxPlay(int32_t channel, int32_t slot, int32_t volume) {
  return g_glue && g_glue->sfxPlay(channel, slot, volume);
}

bool SoundSfxStop(int32_t channel) { return g_glue && g_glue->sfxStop(channel); }

bool SoundSfxSetVolume(int32_t channel, int32_t volume) { return !g_glue || g_glue->sfxSetVolume(channel, volume); }

bool SoundSfxGetState(int32_t channel, int32_t& state) {
  state = g_glue ? g_glue->sfxState(channel) : 0;
  return true;
}
