// StateMgr: flow mode. Passing a save point records a snapshot on the
// current route after the chart allows the step; returning to a passed
// point branches its route and restores the snapshot; a reset forgets it
// all. Bad data (a lastSPID the chart lacks, a point repeated on a route)
// fails the one operation with a WARN. Main thread.
#include "app/config_flowmode.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "script/script_vm.h"
#include "sound/movie_player.h"

namespace {

constexpr int32_t kStartIcon = 3;
constexpr int32_t kAppreciationMode = 4;

// Whether the chart lets the story reach spid from lastSPID (or start at
// spid when lastSPID < 0); the refusal is logged.
bool chartAllowsStep(const Config::FlowmodeConfig& chart, int32_t lastSPID, int32_t spid) {
  if (lastSPID < 0) {
    const Config::FlowmodeConfig::SavePoint* point = chart.findSavePoint(spid);
    if (!point) {
      LogWrite(LOG_WARN, u"flowmode_pass:定義されていないセーブポイント番号です(spid=%d)\n", spid);
      return false;
    }
    if (!point->incoming.empty()) {
      LogWrite(LOG_WARN, u"flowmode_pass:開始ポイントなのに接続元がある(spid=%d)\n", spid);
      return false;
    }
    if (point->type != kStartIcon) {
      LogWrite(LOG_WARN, u"flowmode_pass:開始ポイントなのにアイコンタイプがstartでない(spid=%d, iconType=%d)\n", spid,
               point->type);
      return false;
    }
    return true;
  }
  const Config::FlowmodeConfig::SavePoint* last = chart.findSavePoint(lastSPID);
  if (!last) {
    // The settings file or an old chart named a point this chart lacks.
    LogWrite(LOG_WARN, u"内部エラー:flowmode_pass:lastSPIDの値が不正です(lastSPID=%d)\n", lastSPID);
    return false;
  }
  if (!last->outgoing.count(spid)) {
    LogWrite(LOG_WARN, u"flowmode_pass:そのような接続はない(lastSPID=%d, currSPID=%d)\n", lastSPID, spid);
    return false;
  }
  return true;
}

}  // namespace

bool StateMgr::flowmode_pass(int32_t spid) {
  if (getSysflagInt(kAppreciationMode) != 0) {
    LogWrite(LOG_TRACE, u"flowmode_pass:鑑賞モードなのでflowmode_pass指示を無視します(%d)\n", spid);
    return true;
  }
  static const Config::FlowmodeConfig kNoChart;
  const Config::FlowmodeConfig& chart = environment_ ? environment_->flowmode() : kNoChart;
  if (!chartAllowsStep(chart, lastSPID_, spid)) return false;
  // A cycle in the chart, or a route from the file that holds the point
  // already, is refused before the layers, the stacks or the ids change.
  if (routeID_ >= 0 && settings_.flowMode.stateIDForSP(routeID_, spid) >= 0) {
    LogWrite(LOG_WARN, u"内部エラー：SPIDは既に経路上にあります(spid=%d)\n", spid);
    return false;
  }

  commitAllLayers();
  // The snapshot resumes after this call: the current frame goes on the
  // stack without rewind for the capture and comes off again.
  const bool pushed = machine_ != nullptr && pushFrame(*machine_, false);
  if (machine_ != nullptr && !pushed) return false;
  SharedRef<SavedGameState> snapshot(new SavedGameState());
  const bool captured = captureGameState(spid, *snapshot);
  if (pushed) {
    FrameStack& stack = isUserMode() ? userStack_ : systemStack_;
    stack.frames.pop_back();
  }
  if (!captured) return false;

  int32_t route = routeID_;
  if (!settings_.flowMode.recordPass(route, spid, std::move(snapshot))) return false;
  routeID_ = route;
  lastSPID_ = spid;
  return true;
}

bool StateMgr::flowmodeLoad(int32_t spid) {
  int32_t route = -1;
  SharedRef<SavedGameState> snapshot;
  if (!settings_.flowMode.findPassState(spid, route, snapshot, false)) return false;
  resetModes(false);
  int32_t ignored = 0;
  movie_stop(ignored);
  routeID_ = route;
  lastSPID_ = spid;
  restoreGameState(*snapshot);
  return true;
}

bool StateMgr::resetFlowMode() {
  settings_.flowMode.clear();
  routeID_ = -1;
  lastSPID_ = -1;
  saveSystemFile();
  return true;
}

int32_t StateMgr::getSavePointRoute(int32_t spid) {
  int32_t route = -1;
  SharedRef<SavedGameState> snapshot;
  if (!settings_.flowMode.findPassState(spid, route, snapshot, true)) return -1;
  return route;
}

bool StateMgr::routeHasSavePoint(int32_t a, int32_t b) const {
  return settings_.flowMode.routeHasStep(routeID_, a, b);
}
