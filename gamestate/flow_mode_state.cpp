// The flow-mode state's operations and its record in the settings file. Ids
// read from the file are range-checked so that new ids never overflow; data
// that contradicts itself fails the one operation with a WARN, never the
// process.
#include "gamestate/flow_mode_state.h"

#include <set>

#include "app/log.h"
#include "gamestate/save_tree_helpers.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
namespace key = save_key;

namespace {

bool validID(int32_t id) { return id >= 0 && id <= FlowModeState::kMaxID; }

template <class M>
int32_t newID(const M& map) {
  if (map.empty() || map.rbegin()->first < 0) return 0;
  const int32_t largest = map.rbegin()->first;
  if (largest < FlowModeState::kMaxID) return largest + 1;
  int32_t next = 0;
  for (const auto& [id, value] : map) {
    if (id < next) continue;
    if (id != next) break;
    ++next;
  }
  return next;
}

void warnOnRoute(int32_t spid) { LogWrite(LOG_WARN, u"内部エラー：SPIDは既に経路上にあります(spid=%d)\n", spid); }

// Hands each element of a list to take(element) while it answers true; an
// improper tail ends the walk.
template <class Take>
void forEachElement(const Cell* list, Take&& take) {
  for (const Cell* c = list; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    if (!take(static_cast<const Cons*>(c)->car)) return;
  }
}

bool intPair(const Cell* element, int32_t& a, int32_t& b) {
  if (!tokenizer::isCons(element)) return false;
  const Cons* pair = static_cast<const Cons*>(element);
  const Token* first = tokenOfType(pair->car, Token::kInt);
  const Token* second = tokenOfType(pair->cdr, Token::kInt);
  if (!first || !second) return false;
  a = first->value;
  b = second->value;
  return true;
}

// The number and record of a (number record...) element, else false.
bool numberedRecord(const Cell* element, int32_t& number, const Cell*& record) {
  if (!tokenizer::isCons(element)) return false;
  const Cons* item = static_cast<const Cons*>(element);
  const Token* no = tokenOfType(item->car, Token::kInt);
  if (!no) return false;
  number = no->value;
  record = item->cdr;
  return true;
}

// (number . record) per entry, ascending.
template <class V, class Make>
Cell* writeNumbered(SaveTreeWriter& w, const std::map<int32_t, V>& map, Make&& make) {
  Cell* list = nullptr;
  for (auto it = map.rbegin(); it != map.rend(); ++it) {
    Cell* record = make(it->second);
    if (record) list = w.cons(w.cons(w.integer(it->first), record), list);
  }
  return list;
}

}  // namespace

void FlowModeState::clear() {
  routePerSPMap.clear();
  routeMap.clear();
  stateMap.clear();
  saveData.clear();
  memorySaves.clear();
}

int32_t FlowModeState::newRouteID() const { return newID(routeMap); }
int32_t FlowModeState::newStateID() const { return newID(stateMap); }

bool FlowModeState::onRoute(int32_t route, int32_t spid) const {
  auto it = routeMap.find(route);
  if (it == routeMap.end()) return false;
  for (const auto& step : it->second) {
    if (step.first == spid) return true;
  }
  return false;
}

bool FlowModeState::appendToRoute(int32_t route, int32_t spid, int32_t stateID) {
  if (onRoute(route, spid)) {
    warnOnRoute(spid);
    return false;
  }
  routeMap[route].emplace_back(spid, stateID);
  return true;
}

int32_t FlowModeState::stateIDForSP(int32_t route, int32_t spid) const {
  auto it = routeMap.find(route);
  if (it == routeMap.end()) return -1;
  for (const auto& [point, stateID] : it->second) {
    if (point == spid) return stateID;
  }
  return -1;
}

std::pair<int32_t, int32_t> FlowModeState::routeAt(int32_t route, int32_t index) const {
  auto it = routeMap.find(route);
  if (it == routeMap.end() || index < 0 || static_cast<size_t>(index) >= it->second.size()) return {-1, -1};
  return it->second[static_cast<size_t>(index)];
}

bool FlowModeState::routeHasStep(int32_t routeID, int32_t a, int32_t b) const {
  auto it = routeMap.find(routeID);
  if (it == routeMap.end() || it->second.size() < 2) return false;
  const Route& steps = it->second;
  for (size_t i = 0; i + 1 < steps.size(); ++i) {
    if (steps[i].first == a) return steps[i + 1].first == b;
  }
  return false;
}

bool FlowModeState::recordPass(int32_t& routeID, int32_t spid, SharedRef<SavedGameState> snapshot) {
  if (!snapshot) return false;
  const int32_t route = routeID < 0 ? newRouteID() : routeID;
  // Checked before anything changes: a cycle in the chart, or a route read
  // from a file that repeats the point, must not leave half a pass behind.
  if (onRoute(route, spid)) {
    warnOnRoute(spid);
    return false;
  }
  const int32_t stateID = newStateID();
  snapshot->lastSPID = spid;
  stateMap[stateID] = std::move(snapshot);
  appendToRoute(route, spid, stateID);
  routePerSPMap[spid] = route;
  routeID = route;
  return true;
}

bool FlowModeState::findPassState(int32_t spid, int32_t& routeID, SharedRef<SavedGameState>& snapshot, bool keep) {
  auto point = routePerSPMap.find(spid);
  if (point == routePerSPMap.end()) return false;
  const int32_t recorded = point->second;
  // The recorded route is checked before it is branched, so a failure
  // leaves no copy behind; the copy holds the same first element for spid.
  if (!routeMap.count(recorded)) {
    LogWrite(LOG_WARN, u"内部エラー：最終ポイントに記録された経路がない(spid=%d)\n", spid);
    return false;
  }
  const int32_t stateID = stateIDForSP(recorded, spid);
  if (stateID < 0) {
    LogWrite(LOG_WARN, u"内部エラー：経路にセーブポイントがない(routeID=%d, spid=%d)\n", recorded, spid);
    return false;
  }
  auto state = stateMap.find(stateID);
  if (state == stateMap.end() || !state->second) {
    LogWrite(LOG_WARN, u"内部エラー：状態マップにデータがない(routeID=%d, stateID)=%d\n", recorded, stateID);
    return false;
  }
  int32_t route = recorded;
  if (!keep) {
    if (!copyRoute(recorded, route, spid)) return false;
    for (const auto& step : routeMap[route]) routePerSPMap[step.first] = route;
  }
  routeID = route;
  snapshot = state->second;
  return true;
}

bool FlowModeState::copyRoute(int32_t source, int32_t& routeID, int32_t lastSPID) {
  if (source < 0) {
    routeID = -1;
    return true;
  }
  auto it = routeMap.find(source);
  if (it == routeMap.end()) {
    LogWrite(LOG_ERROR, u"copyRoute:存在しない経路IDです(%d)\n", source);
    return false;
  }
  // The source holds each point once, so the copy does too.
  Route copy;
  for (const auto& step : it->second) {
    copy.push_back(step);
    if (lastSPID >= 0 && step.first == lastSPID) break;
  }
  const int32_t id = newRouteID();
  routeMap[id] = std::move(copy);
  routeID = id;
  return true;
}

std::map<int32_t, SaveSlotInfo>& FlowModeState::slots(SaveKind kind) {
  return kind == SaveKind::kMemory ? memorySaves : saveData;
}

bool FlowModeState::storeSave(SaveKind kind, int32_t n, int32_t routeID, SharedRef<SavedGameState> snapshot,
                              int32_t sceneno, const std::u16string& comment, int32_t savetime) {
  if (!snapshot) return false;
  int32_t route = -1;
  if (!copyRoute(routeID, route, -1)) return false;
  const int32_t stateID = newStateID();
  stateMap[stateID] = std::move(snapshot);
  slots(kind)[n] = SaveSlotInfo{sceneno, comment, savetime, stateID, route};
  return true;
}

bool FlowModeState::fetchSave(SaveKind kind, int32_t n, int32_t& routeID, SharedRef<SavedGameState>& snapshot,
                              int32_t& sceneno, std::u16string& comment, int32_t& savetime, bool keep) {
  const std::map<int32_t, SaveSlotInfo>& map = slots(kind);
  auto it = map.find(n);
  if (it == map.end()) return false;
  const SaveSlotInfo& slot = it->second;
  // A file may name a state it does not hold: such a slot can be neither
  // loaded nor shown.
  auto state = stateMap.find(slot.stateID);
  if (state == stateMap.end() || !state->second) {
    LogWrite(LOG_WARN, u"セーブデータの状態がありません(slot=%d, stateID=%d)\n", n, slot.stateID);
    return false;
  }
  int32_t route = -1;
  if (!copyRoute(slot.routeID, route, -1)) return false;
  if (!keep && route >= 0) {
    for (const auto& step : routeMap[route]) routePerSPMap[step.first] = route;
  }
  routeID = route;
  snapshot = state->second;
  sceneno = slot.sceneno;
  comment = slot.comment;
  savetime = slot.savetime;
  return true;
}

bool FlowModeState::setSaveComment(SaveKind kind, int32_t n, const std::u16string& text) {
  std::map<int32_t, SaveSlotInfo>& map = slots(kind);
  auto it = map.find(n);
  if (it == map.end()) return false;
  it->second.comment = text;
  return true;
}

void FlowModeState::eraseSave(int32_t n) {
  if (n < 0) {
    saveData.clear();
  } else {
    saveData.erase(n);
  }
}

void FlowModeState::eraseMemorySave(int32_t n) {
  if (n < 0) {
    memorySaves.clear();
  } else {
    memorySaves.erase(n);
  }
}

void FlowModeState::prune(int32_t currentRouteID, bool keepMemorySaves) {
  std::set<int32_t> liveRoutes;
  std::set<int32_t> liveStates;
  auto mark = [&](int32_t route) {
    if (route < 0 || !liveRoutes.insert(route).second) return;
    for (const auto& [spid, stateID] : routeMap[route]) {
      if (stateID >= 0) liveStates.insert(stateID);
    }
  };
  auto markSlots = [&](const std::map<int32_t, SaveSlotInfo>& map) {
    for (const auto& [n, slot] : map) {
      mark(slot.routeID);
      liveStates.insert(slot.stateID);
    }
  };
  mark(currentRouteID);
  for (const auto& [spid, route] : routePerSPMap) mark(route);
  markSlots(saveData);
  if (keepMemorySaves) {
    markSlots(memorySaves);
  } else {
    memorySaves.clear();
  }

  std::map<int32_t, Route> routes;
  for (int32_t id : liveRoutes) routes[id] = std::move(routeMap[id]);
  std::map<int32_t, SharedRef<SavedGameState>> states;
  for (int32_t id : liveStates) {
    auto it = stateMap.find(id);
    if (it != stateMap.end()) states.emplace(id, it->second);
  }
  routeMap.swap(routes);
  stateMap.swap(states);
}

// ---- Tree ----

Cell* FlowModeState::toTree(tokenizer::Tokenizer& tk) const {
  SaveTreeWriter w(tk);
  Cell* perSP = nullptr;
  for (auto it = routePerSPMap.rbegin(); it != routePerSPMap.rend(); ++it) {
    perSP = w.cons(w.cons(w.integer(it->first), w.integer(it->second)), perSP);
  }
  Cell* routes = writeNumbered(w, routeMap, [&](const Route& route) {
    Cell* steps = nullptr;
    for (auto it = route.rbegin(); it != route.rend(); ++it) {
      steps = w.cons(w.cons(w.integer(it->first), w.integer(it->second)), steps);
    }
    return w.pair(nullptr, key::kStateIDPerSPList, steps);
  });
  Cell* states = writeNumbered(w, stateMap, [&](const SharedRef<SavedGameState>& state) -> Cell* {
    return state ? w.record(state->toTree(tk)) : nullptr;
  });
  Cell* slotList = writeNumbered(w, saveData, [&](const SaveSlotInfo& slot) { return w.record(slot.toTree(tk)); });

  Cell* list = w.pair(nullptr, key::kRoutePerSPMap, perSP);
  list = w.pair(list, key::kRouteMap, routes);
  list = w.pair(list, key::kStateMap, states);
  list = w.pair(list, key::kSaveData, slotList);
  return w.result(w.reversed(list));
}

bool FlowModeState::readRoute(int32_t id, const Cell* record) {
  routeMap[id].clear();
  const bool ok = forEachRecordEntry(record, [&](const Cons* entry) {
    if (entryKey(entry) != key::kStateIDPerSPList) return;
    routeMap[id].clear();
    forEachElement(entry->cdr, [&](const Cell* element) {
      int32_t spid = 0, stateID = 0;
      if (!intPair(element, spid, stateID) || !validID(stateID)) return false;
      // A route that repeats a point would break every walk along it: like
      // any bad element, the repetition ends the route, and the WARN tells.
      return appendToRoute(id, spid, stateID);
    });
  });
  if (!ok) routeMap.erase(id);
  return ok;
}

bool FlowModeState::fromTree(const Cell* list) {
  return forEachRecordEntry(list, [&](const Cons* entry) {
    const std::u16string& name = entryKey(entry);
    const Cell* v = entry->cdr;
    if (name == key::kRoutePerSPMap) {
      routePerSPMap.clear();
      forEachElement(v, [&](const Cell* element) {
        int32_t spid = 0, route = 0;
        if (!intPair(element, spid, route) || !validID(route)) return false;
        routePerSPMap[spid] = route;
        return true;
      });
    } else if (name == key::kRouteMap) {
      routeMap.clear();
      forEachElement(v, [&](const Cell* element) {
        int32_t id = 0;
        const Cell* record = nullptr;
        if (!numberedRecord(element, id, record) || !validID(id)) return false;
        return readRoute(id, record);
      });
    } else if (name == key::kStateMap) {
      stateMap.clear();
      forEachElement(v, [&](const Cell* element) {
        int32_t id = 0;
        const Cell* record = nullptr;
        if (!numberedRecord(element, id, record) || !validID(id)) return false;
        SharedRef<SavedGameState> state = MakeSharedRef<SavedGameState>();
        if (!state->fromTree(record)) return false;
        stateMap[id] = std::move(state);
        return true;
      });
    } else if (name == key::kSaveData) {
      saveData.clear();
      forEachElement(v, [&](const Cell* element) {
        int32_t n = 0;
        const Cell* record = nullptr;
        SaveSlotInfo slot;
        if (!numberedRecord(element, n, record) || !slot.fromTree(record)) return false;
        // -1 is "none"; a slot saved before any pass has no route.
        if (slot.routeID < -1 || slot.routeID > kMaxID || slot.stateID < -1 || slot.stateID > kMaxID) return false;
        saveData[n] = std::move(slot);
        return true;
      });
    }
  });
}
