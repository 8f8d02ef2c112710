// StateMgr: the system variables and what the engine reads from them (run
// settings, auto wait, the two event masks, volumes), the play counters,
// the view flags and the configuration's constants. The event masks go to
// the scene through its flat commands. Main thread.
#include "gamestate/state_mgr.h"

#include "app/game_environment.h"
#include "gamestate/volume_rules.h"
#include "scene/scene_facade.h"
#include "script/script_vm.h"

namespace {

constexpr int32_t kReadLineKindBase = 10000;
constexpr int32_t kPlayCounterBase = 256;

}  // namespace

int32_t StateMgr::getSysflagInt(int32_t key) const {
  auto it = settings_.sysflagInt.find(key);
  return it != settings_.sysflagInt.end() ? it->second : 0;
}

std::u16string StateMgr::getSysflagString(int32_t key, const std::u16string& fallback) const {
  auto it = settings_.sysflagString.find(key);
  return it != settings_.sysflagString.end() ? it->second : fallback;
}

int32_t StateMgr::getTextOutputSetting() const { return isUserMode() ? sysflagOf(256) : 0; }

int32_t StateMgr::getSkipSetting() const { return isUserMode() ? sysflagOf(257) : 0; }

int32_t StateMgr::getResumeSkipSetting() const { return isUserMode() ? sysflagOf(261) : 0; }

int32_t StateMgr::getAutoWaitMs() const {
  if (!isUserMode()) return -1;
  switch (sysflagOf(260)) {
    case 1: return getFlagConstant(10, 5000);
    case 2: return getFlagConstant(11, 3000);
    case 3: return getFlagConstant(12, 1000);
    default: return -1;
  }
}

void StateMgr::applySkipAutoEventMask() {
  sceneSetAppEventEnabled(1, getSkipSetting() != 0);
  sceneSetAppEventEnabled(29, getAutoWaitMs() > 0);
}

void StateMgr::applySystemEventMask() {
  // Quick save, quick load, save, load, configuration, backlog, restart,
  // quit, erase window, flow mode.
  static constexpr int32_t kSystemEvents[] = {14, 15, 2, 3, 4, 10, 7, 6, 5, 9};
  // Appreciation mode keeps the player away from saving and loading.
  static constexpr int32_t kSaveLoadEvents[] = {14, 15, 2, 3, 4, 9};
  for (int32_t code : kSystemEvents) sceneSetAppEventEnabled(code, true);
  if (sysflagOf(4) == 1) {
    for (int32_t code : kSaveLoadEvents) sceneSetAppEventEnabled(code, false);
  }
}

// ---- Volumes ----

int32_t StateMgr::movieVolume(int32_t v) const {
  return volume::movie([this](int32_t key) { return sysflagOf(key); }, v);
}

int32_t StateMgr::getMusicVolume(int32_t channel) const {
  uint32_t index = static_cast<uint32_t>(channel);
  if (index > 3 || index >= current_.music.size()) return 0;
  return volume::music([this](int32_t key) { return sysflagOf(key); }, current_.music[index].volume);
}

int32_t StateMgr::setMusicVolume(int32_t channel, int32_t v) {
  uint32_t index = static_cast<uint32_t>(channel);
  if (index > 3 || index >= current_.music.size()) return 0;
  current_.music[index].volume = v;
  return volume::music([this](int32_t key) { return sysflagOf(key); }, v);
}

int32_t StateMgr::getSoundVolume() const {
  return volume::sound([this](int32_t key) { return sysflagOf(key); }, current_.soundVolume);
}

int32_t StateMgr::setSoundVolume(int32_t v) {
  current_.soundVolume = v;
  return volume::sound([this](int32_t key) { return sysflagOf(key); }, v);
}

int32_t StateMgr::getVoiceVolumeSetting(int32_t character) const {
  auto it = current_.voiceVolume.find(character);
  return it != current_.voiceVolume.end() ? it->second : 100;
}

int32_t StateMgr::getVoiceVolume(int32_t character) const {
  return volume::voice([this](int32_t key) { return sysflagOf(key); }, character,
                       getVoiceVolumeSetting(character));
}

int32_t StateMgr::setVoiceVolumeSetting(int32_t character, int32_t v) {
  current_.voiceVolume[character] = v;
  return volume::voice([this](int32_t key) { return sysflagOf(key); }, character, v);
}

// ---- Play counters ----

int32_t StateMgr::nextPlayCounter(int32_t n) {
  int32_t& counter = current_.plf[OffsetKey(kPlayCounterBase, n)];
  int32_t value = counter;
  counter = static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
  return value;
}

void StateMgr::setPlayCounter(int32_t n, int32_t v) { current_.plf[OffsetKey(kPlayCounterBase, n)] = v; }

// ---- View flags ----

uint8_t StateMgr::isViewFlagSet(int32_t kind, int32_t id) const {
  auto k = settings_.viewFlags.find(kind);
  if (k == settings_.viewFlags.end()) return 0;
  auto it = k->second.find(id);
  return it != k->second.end() ? it->second : 0;
}

uint8_t StateMgr::setViewFlag(int32_t kind, int32_t id, int32_t value) {
  uint8_t& flag = settings_.viewFlags[kind][id];
  uint8_t previous = flag;
  flag = static_cast<uint8_t>(value);
  return previous;
}

uint8_t StateMgr::isTextRead(int32_t line) const {
  int32_t scenario = machine_ != nullptr ? machine_->scenario() : 0;
  return isViewFlagSet(OffsetKey(kReadLineKindBase, scenario), line);
}

uint8_t StateMgr::markTextRead(int32_t line) {
  int32_t scenario = machine_ != nullptr ? machine_->scenario() : 0;
  return setViewFlag(OffsetKey(kReadLineKindBase, scenario), line, 1);
}

void StateMgr::clearViewFlagKinds(int32_t first, int32_t last) {
  if (last < first) last = first;
  auto& kinds = settings_.viewFlags;
  kinds.erase(kinds.lower_bound(first), kinds.upper_bound(last));
}

// ---- Configuration constants ----

int32_t StateMgr::getFlagConstant(int32_t key, int32_t fallback) const {
  if (environment_ == nullptr) return fallback;
  return LookupIntMap(environment_->constants(), key, fallback);
}

std::u16string StateMgr::getStringConstant(int32_t key, const std::u16string& fallback) const {
  if (environment_ == nullptr) return fallback;
  const auto& constants = environment_->stringConstants();
  auto it = constants.find(key);
  return it != constants.end() ? it->second : fallback;
}
