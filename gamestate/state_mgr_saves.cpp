// StateMgr: snapshots of the story, and the ordinary and memory save slots
// that keep them. Ordinary slots live in the flow-mode state and go into the
// settings file; memory slots last one run. Loading restores the state; the
// scheduler re-enters the restored user stack when it next goes back to the
// story. Main thread.
#include "gamestate/state_mgr.h"
#include "script/script_vm.h"
#include "sound/movie_player.h"

bool StateMgr::captureGameState(int32_t spid, SavedGameState& out) {
  out.lastSPID = spid;
  if (machine_) {
    out.bit = machine_->bits();
    out.flag = machine_->flags();
    out.word = machine_->words();
  }
  out.userstack = userStack_;
  out.presentation = current_;
  return true;
}

void StateMgr::restoreGameState(const SavedGameState& state) {
  if (machine_) {
    machine_->bits() = state.bit;
    machine_->flags() = state.flag;
    machine_->words() = state.word;
  }
  userStack_ = state.userstack;
  current_ = state.presentation;
  backup_ = state.presentation;
}

namespace {

bool Store(StateMgr& self, SaveKind kind, int32_t n, const StateMgr::SaveInfo& info) {
  SharedRef<SavedGameState> snapshot(new SavedGameState());
  self.captureGameState(self.getLastSPID(), *snapshot);
  return self.settings().flowMode.storeSave(kind, n, self.getRouteID(), snapshot, info.sceneno, info.comment,
                                            info.savetime);
}

}  // namespace

bool StateMgr::saveToSlot(int32_t n, const SaveInfo& info) { return Store(*this, SaveKind::kOrdinary, n, info); }

bool StateMgr::saveAndWrite(int32_t n, const SaveInfo& info) {
  const bool saved = saveToSlot(n, info);
  // The file is written either way: it holds every other slot too.
  const bool written = writeSystemFile();
  return saved && written;
}

bool StateMgr::memorySave(int32_t n) { return Store(*this, SaveKind::kMemory, n, SaveInfo{}); }

namespace {

bool Load(StateMgr& self, SaveKind kind, int32_t n) {
  int32_t routeID = -1;
  SharedRef<SavedGameState> snapshot;
  int32_t sceneno = 0;
  int32_t savetime = 0;
  std::u16string comment;
  if (!self.settings().flowMode.fetchSave(kind, n, routeID, snapshot, sceneno, comment, savetime, false)) {
    return false;
  }
  self.resetModes(false);
  int32_t ignored = 0;
  movie_stop(ignored);
  self.setRouteID(routeID);
  self.setLastSPID(snapshot->lastSPID);
  self.restoreGameState(*snapshot);
  return true;
}

}  // namespace

bool StateMgr::loadSave(int32_t n) { return Load(*this, SaveKind::kOrdinary, n); }

bool StateMgr::memoryLoad(int32_t n) { return Load(*this, SaveKind::kMemory, n); }

bool StateMgr::getSaveInfo(int32_t n, SaveInfo* out) {
  int32_t routeID = -1;
  SharedRef<SavedGameState> snapshot;
  SaveInfo info;
  if (!settings_.flowMode.fetchSave(SaveKind::kOrdinary, n, routeID, snapshot, info.sceneno, info.comment,
                                    info.savetime, true)) {
    return false;
  }
  if (out) *out = info;
  return true;
}

bool StateMgr::setSaveComment(int32_t n, const std::u16string& text) {
  return settings_.flowMode.setSaveComment(SaveKind::kOrdinary, n, text);
}

bool StateMgr::eraseSave(int32_t n) {
  settings_.flowMode.eraseSave(n);
  return true;
}

bool StateMgr::eraseMemorySave(int32_t n) {
  settings_.flowMode.eraseMemorySave(n);
  return true;
}
