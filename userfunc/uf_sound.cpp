// Built-ins 3000-3024: music on stream channels 0..3, sound effects on
// effect channel 0 (tone slot 0) and voices on effect channel 1 (tone slot
// 1), through the sound glue. Music is recorded in the presentation state in
// both run modes, so that a save brings it back; volumes come from the game
// state's volume rules. Effects and voices are not played under skip.
#include "app/game_environment.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "sound/sound_glue.h"
#include "userfunc/finalizers.h"
#include "userfunc/userfunc_impl.h"

namespace {

// The confirm input (AppEvent 16) and AppEvent 24.
constexpr int32_t kMusicStopMask = 0x201;

bool MusicChannelInRange(int32_t channel) { return static_cast<uint32_t>(channel) <= 3; }

// The file loaded into tone slot `slot` and played on effect channel
// `channel`. A file that does not load plays nothing: neither the tone the
// slot held before (a name that names no file never reaches the library)
// nor what the channel still plays.
void PlayEffect(int32_t channel, int32_t slot, const std::u16string& path, int32_t volume) {
  if (SoundSfxLoad(slot, path)) {
    SoundSfxPlay(channel, slot, volume);
  } else {
    SoundSfxStop(channel);
  }
}

}  // namespace

// (channel, music, start position ms, not read): 3003 without a loop region.
std::unique_ptr<UFResult> UserfuncImpl::uf_music_start_plain(const Args& args) {
  // The zeros must not stand in for a missing music argument.
  if (!hasArg(args, 1)) return uf_music_start(args);
  Args extended = args;
  for (int i = 0; i < 4; ++i) extended.push_back(APValue(0));
  return uf_music_start(extended);
}

// (channel, music, start position ms, not read, loop setting 0..1, loop
// start, loop end, loop count): -1 for a channel or loop setting out of
// range or no music argument (nothing plays), else 0 whatever the glue
// answers; music that does not open leaves the channel stopped.
std::unique_ptr<UFResult> UserfuncImpl::uf_music_start(const Args& args) {
  const int32_t channel = intArg(args, 0);
  const int32_t start = intArg(args, 2);
  const int32_t loopSetting = intArg(args, 4);
  const int32_t loopStart = intArg(args, 5);
  const int32_t loopEnd = intArg(args, 6);
  if (!MusicChannelInRange(channel)) {
    logAtStatement(LOG_WARN, u"music_start: chnoが範囲外(%d)\n", channel);
    return make_value_ufresult(-1);
  }
  if (!hasArg(args, 1)) {
    logAtStatement(LOG_WARN, u"music_start: musicがありません\n");
    return make_value_ufresult(-1);
  }
  if (loopSetting < 0 || loopSetting > 1) {
    logAtStatement(LOG_WARN, u"music_start: loopsettingが範囲外(%d)\n", loopSetting);
    return make_value_ufresult(-1);
  }
  const APValue music = resourceArg(args, 1);
  stateMgr().setSavedMusic(channel, music, start, loopSetting, loopStart, loopEnd, intArg(args, 7));
  const std::u16string path = environment() ? environment()->getMusicPath(music) : std::u16string();
  if (!SoundStreamOpen(channel, path, loopSetting, loopStart, loopEnd)) {
    // A name that names no file never reaches the library: the track the
    // channel held must not play again in its place.
    SoundStreamStop(channel, 0);
    return make_zero_ufresult();
  }
  SoundStreamSetVolume(channel, stateMgr().getMusicVolume(channel), 0);
  SoundStreamPlayFromMs(channel, start);
  return make_zero_ufresult();
}

// (channel, fade ms, wait mode): a fade with a wait ends at its deadline or
// on the confirm input, the channel then stopped at once.
std::unique_ptr<UFResult> UserfuncImpl::uf_music_stop(const Args& args) {
  const int32_t channel = intArg(args, 0);
  int32_t fade = intArg(args, 1);
  if (!MusicChannelInRange(channel)) {
    logAtStatement(LOG_WARN, u"music_stop: chnoが範囲外(%d)\n", channel);
    return make_value_ufresult(-1);
  }
  // Passed over by skip, a fade lets one frame pass.
  const WaitFit fit = fitWaitMode(intArg(args, 2), fade > 0);
  if (fit.atOnce) fade = 0;
  if (fit.stopSkip) stopSkipForEffect();
  stateMgr().setSavedMusic(channel, APValue(0), 0, 0, 0, 0, 0);
  SoundStreamStop(channel, fade);
  if (fade >= 1 && fit.mode != 0) {
    return make_waitforevent_in_ufresult(kMusicStopMask, fade, std::make_unique<SOStreamStopFinalizer>(channel));
  }
  return fit.yield ? make_nextframe_ufresult() : make_zero_ufresult();
}

// (channel, volume, fade ms)
std::unique_ptr<UFResult> UserfuncImpl::uf_music_volume(const Args& args) {
  const int32_t channel = intArg(args, 0);
  if (!MusicChannelInRange(channel)) {
    logAtStatement(LOG_WARN, u"music_volume: chnoが範囲外(%d)\n", channel);
    return make_value_ufresult(-1);
  }
  const int32_t fade = isSkipActive() ? 0 : intArg(args, 2);
  SoundStreamSetVolume(channel, stateMgr().setMusicVolume(channel, intArg(args, 1)), fade);
  return make_zero_ufresult();
}

// (not read, sound): -1 without a sound argument (nothing plays), else 0.
std::unique_ptr<UFResult> UserfuncImpl::uf_sound_start(const Args& args) {
  if (!hasArg(args, 1)) {
    logAtStatement(LOG_WARN, u"sound_start: soundがありません\n");
    return make_value_ufresult(-1);
  }
  if (isSkipActive()) return make_zero_ufresult();
  const std::u16string path = environment() ? environment()->getSoundPath(resourceArg(args, 1)) : std::u16string();
  PlayEffect(kEffectChannel, 0, path, stateMgr().getSoundVolume());
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_sound_stop(const Args&) {
  SoundSfxStop(kEffectChannel);
  return make_zero_ufresult();
}

// (not read, volume)
std::unique_ptr<UFResult> UserfuncImpl::uf_sound_volume(const Args& args) {
  SoundSfxSetVolume(kEffectChannel, stateMgr().setSoundVolume(intArg(args, 1)));
  return make_zero_ufresult();
}

// (group, number)
std::unique_ptr<UFResult> UserfuncImpl::uf_voice_start(const Args& args) {
  startVoice(intArg(args, 0), intArg(args, 1));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_voice_stop(const Args&) {
  SoundSfxStop(kVoiceChannel);
  return make_zero_ufresult();
}

// (group, volume setting): a voice already playing keeps its volume.
std::unique_ptr<UFResult> UserfuncImpl::uf_voice_volume(const Args& args) {
  stateMgr().setVoiceVolumeSetting(intArg(args, 0), intArg(args, 1));
  return make_zero_ufresult();
}

// (counter, value)
std::unique_ptr<UFResult> UserfuncImpl::uf_play_counter(const Args& args) {
  stateMgr().setPlayCounter(intArg(args, 0), intArg(args, 1));
  return make_zero_ufresult();
}

// (group): the group's next voice by its play counter.
std::unique_ptr<UFResult> UserfuncImpl::uf_voice_next(const Args& args) {
  const int32_t group = intArg(args, 0);
  startVoice(group, stateMgr().nextPlayCounter(group));
  return make_zero_ufresult();
}

void UserfuncImpl::startVoice(int32_t group, int32_t number) {
  StateMgr& state = stateMgr();
  // The message log keeps the voice of the page even when skipping passes
  // over it.
  if (state.isUserMode()) setPendingVoice(group, number, state.getVoiceVolumeSetting(group));
  if (isSkipActive()) return;
  const int32_t volume = state.getVoiceVolume(group);
  const std::u16string path = environment() ? environment()->getVoicePath(group, number) : std::u16string();
  PlayEffect(kVoiceChannel, 1, path, volume);
}
