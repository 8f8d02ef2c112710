// The layer table written into and read back from save data. One field
// table per entry type gives each record's keys in writing order and drives
// both directions. Main thread.
#include "gamestate/layer_state.h"

#include <climits>
#include <memory>
#include <span>
#include <string>

#include "app/log.h"
#include "gamestate/save_tree_helpers.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
namespace key = layer_state_key;

namespace {

// One pair of a record: its key and the member it stores (exactly one set).
template <class E>
struct Field {
  constexpr Field(std::u16string_view k, int32_t E::*m) : key(k), integer(m) {}
  constexpr Field(std::u16string_view k, bool E::*m) : key(k), flag(m) {}
  constexpr Field(std::u16string_view k, APValue E::*m) : key(k), value(m) {}
  constexpr Field(std::u16string_view k, MotionParams E::*m) : key(k), motion(m) {}
  constexpr Field(std::u16string_view k, std::map<int32_t, int32_t> E::*m) : key(k), events(m) {}
  constexpr Field(std::u16string_view k, std::map<int32_t, APValue> E::*m) : key(k), cursors(m) {}
  constexpr Field(std::u16string_view k, std::map<int32_t, AutoMoveRecord> E::*m) : key(k), autoMoves(m) {}

  std::u16string_view key;
  int32_t E::*integer = nullptr;
  bool E::*flag = nullptr;
  APValue E::*value = nullptr;
  MotionParams E::*motion = nullptr;
  std::map<int32_t, int32_t> E::*events = nullptr;
  std::map<int32_t, APValue> E::*cursors = nullptr;
  std::map<int32_t, AutoMoveRecord> E::*autoMoves = nullptr;
};

const Field<PictureEntry> kPictureFields[] = {
    {key::kType, &PictureEntry::type},     {key::kNo, &PictureEntry::no},
    {key::kUrl, &PictureEntry::url},       {key::kNumsel, &PictureEntry::numsel},
    {key::kLayer, &PictureEntry::layer},
};

const Field<LayerEntry> kLayerFields[] = {
    {key::kNo, &LayerEntry::no},
    {key::kGroupNo, &LayerEntry::groupNo},
    {key::kMode, &LayerEntry::mode},
    {key::kVramWidth, &LayerEntry::vramWidth},
    {key::kVramHeight, &LayerEntry::vramHeight},
    {key::kOrder, &LayerEntry::order},
    {key::kVisible, &LayerEntry::visible},
    {key::kCompositeOp, &LayerEntry::compositeOp},
    {key::kMotionParams, &LayerEntry::motionParams},
    {key::kMainPictureNo, &LayerEntry::mainPictureNo},
    {key::kMainSACtrl, &LayerEntry::mainSACtrl},
    {key::kMainSALoop, &LayerEntry::mainSALoop},
    {key::kMaskOp, &LayerEntry::maskOp},
    {key::kMaskPictureNo, &LayerEntry::maskPictureNo},
    {key::kMaskPictureEdge, &LayerEntry::maskPictureEdge},
    {key::kMaskSACtrl, &LayerEntry::maskSACtrl},
    {key::kMaskSALoop, &LayerEntry::maskSALoop},
    {key::kHitTestParts, &LayerEntry::hitTestParts},
    {key::kHitTestEventNo, &LayerEntry::hitTestEventNo},
    {key::kHitTestAutoCursorMap, &LayerEntry::hitTestAutoCursorMap},
    {key::kHitTestAMMode, &LayerEntry::hitTestAMMode},
    {key::kHitTestAMMap, &LayerEntry::hitTestAMMap},
};

const Field<GroupEntry> kGroupFields[] = {
    {key::kNo, &GroupEntry::no},
    {key::kVisible, &GroupEntry::visible},
    {key::kCompositeOp, &GroupEntry::compositeOp},
    {key::kMotionParams, &GroupEntry::motionParams},
    {key::kMaskOp, &GroupEntry::maskOp},
    {key::kMaskPictureNo, &GroupEntry::maskPictureNo},
    {key::kMaskPictureEdge, &GroupEntry::maskPictureEdge},
    {key::kMaskSACtrl, &GroupEntry::maskSACtrl},
    {key::kMaskSALoop, &GroupEntry::maskSALoop},
};

const Field<AutoMoveRecord> kAutoMoveFields[] = {
    {key::kHitTestAMCtrl, &AutoMoveRecord::ctrl},
    {key::kHitTestAMCond, &AutoMoveRecord::cond},
    {key::kHitTestAMUnit, &AutoMoveRecord::unit},
    {key::kHitTestAMCurrent, &AutoMoveRecord::current},
};

// ---- Writing ----

using TreeWriter = SaveTreeWriter;

Cell* writeMotion(TreeWriter& w, const MotionParams& motion) {
  const auto values = motion.values();
  Cell* record = nullptr;
  for (size_t i = 0; i < values.size(); ++i) record = w.pair(record, key::kMotion[i], w.integer(values[i]));
  return record;
}

// (number . cell) per entry, ascending: prepended from the highest.
template <class V, class F>
Cell* writeNumbered(TreeWriter& w, const std::map<int32_t, V>& map, F&& writeOne) {
  Cell* list = nullptr;
  for (auto it = map.rbegin(); it != map.rend(); ++it) {
    list = w.cons(w.cons(w.integer(it->first), writeOne(it->second)), list);
  }
  return list;
}

template <class E>
Cell* writeRecord(TreeWriter& w, const E& e, std::span<const Field<E>> fields) {
  Cell* record = nullptr;
  for (const Field<E>& f : fields) {
    Cell* value = nullptr;
    if (f.integer) {
      value = w.integer(e.*f.integer);
    } else if (f.flag) {
      value = w.boolean(e.*f.flag);
    } else if (f.value) {
      value = w.atom(e.*f.value);
    } else if (f.motion) {
      value = writeMotion(w, e.*f.motion);
    } else if (f.events) {
      // Every pair, a 0 event number included, so that what was read is
      // written again unchanged.
      value = writeNumbered(w, e.*f.events, [&](int32_t event) { return w.integer(event); });
    } else if (f.cursors) {
      value = writeNumbered(w, e.*f.cursors, [&](const APValue& cursor) { return w.atom(cursor); });
    } else if (f.autoMoves) {
      value = writeNumbered(w, e.*f.autoMoves, [&](const AutoMoveRecord& r) {
        return writeRecord<AutoMoveRecord>(w, r, kAutoMoveFields);
      });
    }
    record = w.pair(record, f.key, value);
  }
  return record;
}

template <class E>
Cell* writeEntries(TreeWriter& w, const std::map<int32_t, std::unique_ptr<E>>& map,
                   std::span<const Field<E>> fields) {
  return writeNumbered(w, map, [&](const std::unique_ptr<E>& e) { return writeRecord(w, *e, fields); });
}

template <class E>
void reportQueued(const std::map<int32_t, std::unique_ptr<E>>& map) {
  for (const auto& [no, entry] : map) {
    if (!entry->queue.empty()) {
      LogWrite(LOG_ERROR, u"予約コマンドが残っています(%d)\n", static_cast<int32_t>(entry->queue.size()));
    }
  }
}

// ---- Reading ----

const Token* intToken(const Cell* c) {
  const Token* t = tokenizer::isToken(c) ? static_cast<const Token*>(c) : nullptr;
  return t && t->type == Token::kInt ? t : nullptr;
}

// The pair (key . value) of a record element, or null when the element is
// not a cons whose car is a symbol.
const Cons* keyedPair(const Cell* element) {
  if (!tokenizer::isCons(element)) return nullptr;
  const Cons* pair = static_cast<const Cons*>(element);
  const Token* k = tokenizer::isToken(pair->car) ? static_cast<const Token*>(pair->car) : nullptr;
  return k && k->type == Token::kSymbol ? pair : nullptr;
}

const std::u16string& keyOf(const Cons* pair) { return static_cast<const Token*>(pair->car)->text; }

// Calls f(number, cdr) for each (integer . x) element of a list, skipping
// other elements; f answers false to stop. An improper tail ends the walk.
template <class F>
void forEachNumbered(const Cell* list, F&& f) {
  for (const Cell* c = list; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    const Cell* element = static_cast<const Cons*>(c)->car;
    if (!tokenizer::isCons(element)) continue;
    const Cons* item = static_cast<const Cons*>(element);
    const Token* no = intToken(item->car);
    if (no && !f(no->value, item->cdr)) return;
  }
}

// The motion pairs over the record's present values; elements that are not
// (known key . integer) are skipped.
void readMotion(const Cell* list, MotionParams& motion) {
  auto values = motion.values();
  for (const Cell* c = list; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    const Cons* pair = keyedPair(static_cast<const Cons*>(c)->car);
    const Token* v = pair ? intToken(pair->cdr) : nullptr;
    if (!v) continue;
    for (size_t i = 0; i < values.size(); ++i) {
      if (keyOf(pair) == key::kMotion[i]) values[i] = v->value;
    }
  }
  motion = MotionParams::fromValues(values);
}

template <class E>
bool readRecord(E& e, const Cell* record, std::span<const Field<E>> fields);

template <class E>
void readField(E& e, const Field<E>& f, const Cons* pair) {
  const Cell* v = pair->cdr;
  if (f.integer) {
    if (const Token* t = intToken(v)) e.*f.integer = t->value;
  } else if (f.flag) {
    const Token* t = tokenizer::isToken(v) ? static_cast<const Token*>(v) : nullptr;
    if (t && t->type == Token::kBool) e.*f.flag = t->value != 0;
  } else if (f.value) {
    readTaggedCell(v, e.*f.value);
  } else if (f.motion) {
    readMotion(v, e.*f.motion);
  } else if (f.events) {
    // A malformed element ends the map; the pairs before it stay.
    readIntMapEntry(pair, f.key, e.*f.events);
  } else if (f.cursors) {
    auto& cursors = e.*f.cursors;
    cursors.clear();
    forEachNumbered(v, [&](int32_t area, const Cell* atom) {
      APValue cursor;
      if (readTaggedCell(atom, cursor)) cursors[area] = std::move(cursor);
      return true;
    });
  } else if (f.autoMoves) {
    auto& moves = e.*f.autoMoves;
    moves.clear();
    forEachNumbered(v, [&](int32_t area, const Cell* list) {
      AutoMoveRecord move;
      if (readRecord<AutoMoveRecord>(move, list, kAutoMoveFields)) moves[area] = move;
      return true;
    });
  }
}

// The pairs of a record into e. False when an element is not a pair with a
// symbol key or the list does not end properly.
template <class E>
bool readRecord(E& e, const Cell* record, std::span<const Field<E>> fields) {
  for (const Cell* c = record; c; c = static_cast<const Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c)) return false;
    const Cons* pair = keyedPair(static_cast<const Cons*>(c)->car);
    if (!pair) return false;
    for (const Field<E>& f : fields) {
      if (keyOf(pair) == f.key) {
        readField(e, f, pair);
        break;
      }
    }
  }
  return true;
}

// The motion record of an entry read from save data: a pair left out reads
// as 0, but both switches as 80.
MotionParams readStartMotion() {
  std::array<int32_t, MotionParams::kCount> values{};
  values[0] = 80;   // main-switch
  values[10] = 80;  // mask-switch
  return MotionParams::fromValues(values);
}

std::unique_ptr<PictureEntry> freshEntry(int32_t, const PictureEntry*) { return std::make_unique<PictureEntry>(); }

std::unique_ptr<LayerEntry> freshEntry(int32_t no, const LayerEntry*) {
  auto layer = std::make_unique<LayerEntry>();
  layer->order = no;
  layer->motionParams = readStartMotion();
  return layer;
}

std::unique_ptr<GroupEntry> freshEntry(int32_t, const GroupEntry*) {
  auto group = std::make_unique<GroupEntry>();
  group->motionParams = readStartMotion();
  return group;
}

// Replaces the map's entries with those of the list. Numbers below
// `lowest` are skipped; a broken record ends the list.
template <class E>
void readEntries(std::map<int32_t, std::unique_ptr<E>>& map, const Cell* list, std::span<const Field<E>> fields,
                 int32_t lowest = INT32_MIN) {
  map.clear();
  forEachNumbered(list, [&](int32_t no, const Cell* record) {
    if (no < lowest) return true;
    std::unique_ptr<E> entry = freshEntry(no, static_cast<const E*>(nullptr));
    if (!readRecord(*entry, record, fields)) return false;
    entry->no = no;
    map[no] = std::move(entry);
    return true;
  });
}

}  // namespace

Cell* LayerStateWriter(const LayerTable& table, tokenizer::Tokenizer& tk) {
  reportQueued(table.layers);
  reportQueued(table.groups);

  TreeWriter w(tk);
  Cell* top = w.pair(nullptr, key::kPicture, writeEntries<PictureEntry>(w, table.pictures, kPictureFields));
  top = w.pair(top, key::kLayer, writeEntries<LayerEntry>(w, table.layers, kLayerFields));
  top = w.pair(top, key::kGroup, writeEntries<GroupEntry>(w, table.groups, kGroupFields));
  return w.ok() ? top : nullptr;
}

bool LayerStateReader(LayerTable& table, const Cell* list) {
  bool ok = true;
  for (const Cell* c = list; c; c = static_cast<const Cons*>(c)->cdr) {
    const Cons* entry = tokenizer::isCons(c) ? keyedPair(static_cast<const Cons*>(c)->car) : nullptr;
    if (!entry) {
      ok = false;
      break;
    }
    const std::u16string& name = keyOf(entry);
    if (name == key::kPicture) {
      readEntries<PictureEntry>(table.pictures, entry->cdr, kPictureFields);
    } else if (name == key::kLayer) {
      readEntries<LayerEntry>(table.layers, entry->cdr, kLayerFields);
    } else if (name == key::kGroup) {
      // -1 is a layer's "no group": a group under a negative number could
      // never be told apart from it.
      readEntries<GroupEntry>(table.groups, entry->cdr, kGroupFields, 0);
    }
  }

  if (table.groups.empty()) {
    table.nextGroupNo = 1;
  } else {
    const int32_t highest = table.groups.rbegin()->first;
    table.nextGroupNo = highest < INT32_MAX ? highest + 1 : INT32_MAX;
  }
  table.rebuildMemberLists();
  return ok;
}
