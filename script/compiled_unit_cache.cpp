#include "script/compiled_unit_cache.h"

#include <algorithm>

#include "app/game_environment.h"
#include "app/log.h"
#include "script/scenario_compiler.h"

CompiledUnit* CompiledUnitCache::get(Kind kind, int32_t scenario, int32_t number, const CompiledUnit* running,
                                     std::u16string_view caller) {
  Table& table = tables_[kind];
  const Key key{scenario, number};
  const auto found = table.units.find(key);
  if (found != table.units.end()) {
    table.order.remove(key);
    table.order.push_back(key);
    CompiledUnit* unit = found->second.get();
    // Evict the oldest down to the capacity, skipping the running unit.
    auto it = table.order.begin();
    while (table.order.size() > capacity_ && it != table.order.end()) {
      auto victim = table.units.find(*it);
      if (victim != table.units.end() && victim->second.get() == running) {
        ++it;
        continue;
      }
      if (victim != table.units.end()) table.units.erase(victim);
      it = table.order.erase(it);
    }
    return unit;
  }
  std::unique_ptr<CompiledUnit> unit;
  if (auto ahead = offered_[kind].find(key); ahead != offered_[kind].end()) {
    ahead->second.log.replay();
    unit = std::move(ahead->second.unit);
    offered_[kind].erase(ahead);
  } else {
    if (kind == kScriptFunc || !environment_) return nullptr;
    unit = LoadCompiledUnit(*environment_, scenario, kind == kSet ? number : -1, kind == kSub ? number : -1, caller);
  }
  if (!unit) return nullptr;
  LogWrite(LOG_TRACE, kind == kSet ? u"loadSet(%d, %d) numLocals(%d)\n" : u"loadSub(%d, %d) numLocals(%d)\n",
           scenario, number, unit->numLocals);
  CompiledUnit* raw = unit.get();
  insert(kind, scenario, number, std::move(unit));
  return raw;
}

void CompiledUnitCache::offer(Kind kind, int32_t scenario, int32_t number, std::unique_ptr<CompiledUnit> unit,
                              HeldLog log) {
  offered_[kind][{scenario, number}] = Offered{std::move(unit), std::move(log)};
}

void CompiledUnitCache::insert(Kind kind, int32_t scenario, int32_t number, std::unique_ptr<CompiledUnit> unit) {
  Table& table = tables_[kind];
  const Key key{scenario, number};
  table.order.remove(key);
  table.order.push_back(key);
  table.units[key] = std::move(unit);
}
