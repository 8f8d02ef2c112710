// The least-recently-used cache of compiled units, one map per kind (sets,
// subs, script functions). A miss loads and adds; a hit evicts down to the
// capacity, oldest first, but never the unit the machine is running.
// Main thread (offer takes what another thread loaded).
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "app/log.h"
#include "script/code.h"

class GameEnvironment;

class CompiledUnitCache {
 public:
  enum Kind { kSet = 0, kSub = 1, kScriptFunc = 2 };

  CompiledUnitCache(const GameEnvironment* environment, size_t capacity = 10)
      : environment_(environment), capacity_(capacity) {}

  // The unit of (scenario, number), loaded on a miss; null when it cannot be
  // loaded. `running` is kept whatever its age. `caller`: the place of the
  // statement that asks for it, for the loader's messages (LoadCompiledUnit).
  CompiledUnit* get(Kind kind, int32_t scenario, int32_t number, const CompiledUnit* running,
                    std::u16string_view caller = {});

  // Puts a unit in the cache as if it had been loaded (tests and tools).
  void insert(Kind kind, int32_t scenario, int32_t number, std::unique_ptr<CompiledUnit> unit);
  // A load done ahead (on another thread): the next miss of (scenario,
  // number) takes this result, null for a failed load, instead of loading,
  // and writes the lines the load logged at that moment.
  void offer(Kind kind, int32_t scenario, int32_t number, std::unique_ptr<CompiledUnit> unit,
             HeldLog log);

  size_t size(Kind kind) const { return tables_[kind].units.size(); }
  bool contains(Kind kind, int32_t scenario, int32_t number) const {
    return tables_[kind].units.count({scenario, number}) != 0;
  }

 private:
  using Key = std::pair<int32_t, int32_t>;
  struct Table {
    std::map<Key, std::unique_ptr<CompiledUnit>> units;
    std::list<Key> order;  // oldest first
  };
  struct Offered {
    std::unique_ptr<CompiledUnit> unit;
    HeldLog log;
  };

  const GameEnvironment* environment_;
  size_t capacity_;
  Table tables_[3];
  std::map<Key, Offered> offered_[3];
};
