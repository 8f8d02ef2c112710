// The glue's calls into the sound library.
#include "sound/sorn_glue.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/os_util.h"

namespace {

constexpr int32_t kMaxStreamVolume = 280;
constexpr int32_t kMaxSfxVolume = 100;

// A file descriptor for the resolved name with the loop mode's options;
// false for an unresolved name or a loop mode other than 0 and 1.
bool Describe(std::u16string_view file, int32_t loopMode, int32_t loopStart, int32_t loopEnd, SoundMediaDesc* desc) {
  if (loopMode != 0 && loopMode != 1) return false;
  std::u16string path = ResolveWithAltSearchPath(file);
  if (path.empty()) return false;
  desc->kind = SoundMediaDesc::kFile;
  desc->path = std::move(path);
  if (loopMode == 1) desc->options.push_back(SoundLoopRegion{1, int64_t{loopStart}, int64_t{loopEnd}});
  return true;
}

}  // namespace

SornSoundGlue* SornSoundGlue::instance() {
  static SornSoundGlue glue;
  return &glue;
}

void SornSoundGlue::startup() {
  SoundVersionInfo version;
  version.major = 3;
  version.minor = 3;
  SoundInitInfo info;
  int32_t result = sorn_init(&version, &info);
  if (result != kSornOk) {
    LogWrite(LOG_TRACE, u"failed to sorn_init(%d)\n", result);
    if (result == kSornVersion) ShowMessageBox(u"sorn.dllに互換性がありません", u"", 0, nullptr);
    return;
  }
  SoundDeviceConfig config;
  config.kind = SoundDeviceConfig::kOutput;
  config.deviceIndex = 0;
  config.format = 5;
  result = sorn_configDevice(&config);
  if (result != kSornOk) {
    LogWrite(LOG_TRACE, u"failed to sorn_configDevice(%d)\n", result);
    return;
  }
  sorn_openDevice(nullptr);
}

void SornSoundGlue::shutdown() { sorn_shutdown(); }

bool SornSoundGlue::getMediaInfo(std::u16string_view file, SoundMediaInfo* info, int32_t loopMode, int32_t loopStart,
                                 int32_t loopEnd) {
  SoundMediaDesc desc;
  return Describe(file, loopMode, loopStart, loopEnd, &desc) && sorn_getMediaInfo(&desc, info) == kSornOk;
}

bool SornSoundGlue::streamOpen(int32_t channel, std::u16string_view file, int32_t loopMode, int32_t loopStart,
                               int32_t loopEnd) {
  SoundMediaDesc desc;
  return Describe(file, loopMode, loopStart, loopEnd, &desc) && sorn_streamOpen(channel, &desc) == kSornOk;
}

bool SornSoundGlue::streamPlayFromMs(int32_t channel, int32_t ms) {
  SoundStreamStatus status;
  int64_t frame = 0;
  if (sorn_streamGetStatus(channel, &status) == kSornOk) frame = int64_t{ms} * status.sampleRate / 1000;
  return sorn_streamPlay(channel, frame) == kSornOk;
}

bool SornSoundGlue::streamStop(int32_t channel, int32_t fadeMs) {
  if (fadeMs > 0) {
    // Faded to silence, the channel staying open.
    sorn_streamFade(channel, -1, 0, fadeMs);
    return true;
  }
  return sorn_streamStop(channel) == kSornOk;
}

bool SornSoundGlue::streamSetVolume(int32_t channel, int32_t volume, int32_t fadeMs) {
  // A volume rule may give more than the library takes: full level then,
  // rather than a refusal that keeps the old volume.
  volume = std::clamp(volume, 0, kMaxStreamVolume);
  if (fadeMs >= 1) {
    sorn_streamFade(channel, -1, volume, fadeMs);
  } else {
    sorn_streamSetVolume(channel, volume);
  }
  return true;
}

bool SornSoundGlue::streamGetPositionMs(int32_t channel, int32_t& position) {
  SoundStreamStatus status;
  if (sorn_streamGetStatus(channel, &status) != kSornOk || status.state != SoundStreamStatus::kPlaying) {
    position = -1;
  } else {
    // Never 0 while playing; a position past what 32 bits hold stays at the
    // largest one rather than wrapping.
    position = static_cast<int32_t>(std::clamp<int64_t>(status.positionMs, 0, INT32_MAX - 1)) + 1;
  }
  return true;
}

bool SornSoundGlue::sfxLoad(int32_t slot, std::u16string_view file) {
  SoundMediaDesc desc;
  return Describe(file, 0, 0, 0, &desc) && sorn_sfxLoad(slot, &desc) == kSornOk;
}

bool SornSoundGlue::sfxPlay(int32_t channel, int32_t slot, int32_t volume) {
  sorn_sfxSetVolume(channel, std::clamp(volume, 0, kMaxSfxVolume));
  return sorn_sfxPlay(channel, slot) == kSornOk;
}

bool SornSoundGlue::sfxStop(int32_t channel) { return sorn_sfxStop(channel) == kSornOk; }

bool SornSoundGlue::sfxSetVolume(int32_t channel, int32_t volume) {
  sorn_sfxSetVolume(channel, std::clamp(volume, 0, kMaxSfxVolume));
  return true;
}

int32_t SornSoundGlue::sfxState(int32_t channel) {
  SoundSfxStatus status;
  if (sorn_sfxGetStatus(channel, &status) != kSornOk) return 0;
  return status.state == 3 ? 1 : status.state == 4 ? 2 : 0;
}
