// FlowModeState: the routes through the save points the story passed, the
// snapshots recorded there, and the save slots (ordinary ones, written with
// the settings file, and memory ones, never written). Main thread. Data that
// contradicts itself is logged at WARN and fails the one operation.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/shared_ref.h"
#include "gamestate/save_records.h"

enum class SaveKind : int32_t { kOrdinary = 0, kMemory = 1 };

struct FlowModeState {
  // Route and state ids are 0..kMaxID, so "largest + 1" never overflows and
  // every id written reads back; -1 stands for none.
  static constexpr int32_t kMaxID = INT32_MAX - 1;

  // (spid, stateID) in passing order, first the point the route began at.
  // A save point occurs at most once on a route.
  using Route = std::vector<std::pair<int32_t, int32_t>>;

  std::map<int32_t, int32_t> routePerSPMap;  // spid -> route last recorded or re-entered
  std::map<int32_t, Route> routeMap;
  std::map<int32_t, SharedRef<SavedGameState>> stateMap;  // never a null handle
  std::map<int32_t, SaveSlotInfo> saveData;
  std::map<int32_t, SaveSlotInfo> memorySaves;

  // Empties all five maps.
  void clear();

  // 0 for an empty map, else the largest id + 1; the smallest unused id when
  // the largest is kMaxID.
  int32_t newRouteID() const;
  int32_t newStateID() const;

  // Appends (spid, stateID) to the route, creating it when absent. False,
  // with a WARN and nothing changed, when the spid is already on it.
  bool appendToRoute(int32_t route, int32_t spid, int32_t stateID);
  // The stateID of the first element with that spid, else -1.
  int32_t stateIDForSP(int32_t route, int32_t spid) const;
  // The element at that index, (-1, -1) outside the route.
  std::pair<int32_t, int32_t> routeAt(int32_t route, int32_t index) const;
  // True when the route has an element with spid a that is not its last and
  // the element after the first such one has spid b.
  bool routeHasStep(int32_t routeID, int32_t a, int32_t b) const;

  // Records passing spid with the snapshot (its lastSPID := spid) on
  // routeID, beginning a new route when routeID < 0 and handing its id back.
  // False when the snapshot is null; false with a WARN when the spid is
  // already on the route. Nothing changes then, routeID included.
  bool recordPass(int32_t& routeID, int32_t spid, SharedRef<SavedGameState> snapshot);
  // The snapshot recorded where spid was last passed. With keep, routeID is
  // that route; without, it is a new copy of that route up to and including
  // spid, and every point on the copy maps to it. False when spid has no
  // record; false with a WARN when the record names a missing route or
  // state. Outputs and maps change only on success.
  bool findPassState(int32_t spid, int32_t& routeID, SharedRef<SavedGameState>& snapshot, bool keep);
  // Copies the source route under a new id, whole (lastSPID < 0) or up to
  // and including lastSPID. A source < 0 gives -1 and true; a source that
  // does not exist is logged at ERROR and false.
  bool copyRoute(int32_t source, int32_t& routeID, int32_t lastSPID);

  // Stores a save into slot n with a private copy of routeID's route and a
  // new state id. False when the route cannot be copied or the snapshot is
  // null; nothing changes then.
  bool storeSave(SaveKind kind, int32_t n, int32_t routeID, SharedRef<SavedGameState> snapshot, int32_t sceneno,
                 const std::u16string& comment, int32_t savetime);
  // Reads slot n: routeID is a fresh copy of the slot's route (-1 when the
  // slot has none), and without keep every point on the copy maps to it.
  // False when the slot is empty or its route cannot be copied; false with
  // a WARN when the slot names a state the map lacks. Outputs and maps
  // change only on success.
  bool fetchSave(SaveKind kind, int32_t n, int32_t& routeID, SharedRef<SavedGameState>& snapshot, int32_t& sceneno,
                 std::u16string& comment, int32_t& savetime, bool keep);
  // False, creating nothing, when the slot is empty.
  bool setSaveComment(SaveKind kind, int32_t n, const std::u16string& text);
  // Erases slot n; n < 0 erases every slot of that map.
  void eraseSave(int32_t n);
  void eraseMemorySave(int32_t n);

  // Keeps only the routes reachable from the current route, routePerSPMap
  // and the slots, and the states those routes and slots hold. Without
  // keepMemorySaves the memory saves are erased and reach nothing.
  void prune(int32_t currentRouteID, bool keepMemorySaves);

  // ((routePerSPMap ...) (routeMap ...) (stateMap ...) (saveData ...)); the
  // memory saves are never written. Null when the tokenizer runs out of
  // memory.
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk) const;
  // Reads the entries the record names into the maps (each map is emptied
  // when its entry appears). False only when an element is not an entry
  // with a symbol key. A bad element (a wrong form, an id outside
  // 0..kMaxID, a save point repeated on a route) ends its list.
  bool fromTree(const tokenizer::Cell* list);

 private:
  bool onRoute(int32_t route, int32_t spid) const;
  std::map<int32_t, SaveSlotInfo>& slots(SaveKind kind);
  // One route record into routeMap[id]; false (the route dropped) when an
  // element is not an entry.
  bool readRoute(int32_t id, const tokenizer::Cell* record);
};
