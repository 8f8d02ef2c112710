// StateMgr: construction, the run flags, the frame stacks of both modes and
// the hand-off to the presentation restorer. The mode switches themselves
// belong to the scheduler, which calls these in order. Main thread.
#include "gamestate/state_mgr.h"

#include <utility>

#include "app/log.h"
#include "script/script_vm.h"

StateMgr::StateMgr(ScriptVM* machine, GameEnvironment* environment)
    : machine_(machine), environment_(environment), liveMusic_(kMusicChannels) {
  current_.layers.bindToScreen(true);
  // Memory saves live as long as one run of the game.
  settings_.flowMode.eraseMemorySave(-1);
}

uint8_t StateMgr::setSkipping(uint8_t on) {
  uint8_t previous = skip_;
  skip_ = on;
  return previous;
}

uint8_t StateMgr::setAutoMode(uint8_t on) {
  uint8_t previous = auto_;
  auto_ = on;
  return previous;
}

void StateMgr::resetModes(bool full) {
  forceSkip_ = 0;
  skip_ = 0;
  resumeSkip_ = 0;
  auto_ = 0;
  moviePlaying_ = 0;
  if (full) {
    liveMusic_.assign(kMusicChannels, MusicChannelRecord());
    routeID_ = -1;
    lastSPID_ = -1;
  }
}

void StateMgr::setWordVar(int32_t index, int32_t value) {
  if (index < 0 || machine_ == nullptr) return;
  machine_->setWord(index, value);
}

bool StateMgr::pushFrameOn(ScriptVM& machine, bool rewind, int32_t mode) {
  FrameStack& stack = mode != kSystemMode ? userStack_ : systemStack_;
  if (stack.frames.size() >= kMaxSavedFrames) {
    LogWrite(LOG_ERROR, u"呼び出しが深すぎます(scenario=%d, set=%d, sub=%d)\n", machine.scenario(), machine.set(),
             machine.sub());
    return false;
  }
  SavedFrame frame;
  machine.saveFrame(&frame, rewind);
  stack.frames.push_back(std::move(frame));
  return true;
}

bool StateMgr::popFrame(SavedFrame& out) {
  FrameStack& stack = isUserMode() ? userStack_ : systemStack_;
  if (stack.frames.empty()) return false;
  out = std::move(stack.frames.back());
  stack.frames.pop_back();
  return true;
}

void StateMgr::resetUserState() {
  userStack_.clear();
  current_.reset();
}

void StateMgr::applyPresentationState() {
  if (restore_ != nullptr) restore_->apply(*this);
}

bool StateMgr::loadSystemFile() { return fileStore_ == nullptr || fileStore_->load(*this); }

bool StateMgr::initSystemFile() { return fileStore_ == nullptr || fileStore_->loadDefault(*this); }

bool StateMgr::saveSystemFile() {
  if (fileStore_ != nullptr) fileStore_->save(*this);
  return true;
}

std::u16string StateMgr::getPlayString(int32_t n, const std::u16string& fallback) const {
  auto it = current_.pls.find(n);
  return it != current_.pls.end() ? it->second : fallback;
}
