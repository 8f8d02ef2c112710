// The records of a save as S-expression trees and back: presentation state
// (with its cells, parts and music channels), frames, frame stacks, save
// slots and snapshots. One field table per record gives its keys in writing
// order and drives both directions; each list is built by prepending, so a
// record prints in the reverse of its table unless it is reversed. Main
// thread; readers trust nothing in the tree and never log.
#include "gamestate/save_records.h"

#include <span>

#include "gamestate/layer_state.h"
#include "gamestate/save_tree_helpers.h"
#include "gamestate/state_mgr.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
namespace key = save_key;

namespace {

// One entry of a record: its key and the member it stores (exactly one set).
template <class E>
struct Field {
  std::u16string_view key;
  int32_t E::*integer = nullptr;
  int32_t E::*intFlag = nullptr;   // an integer written as a boolean
  uint8_t E::*byteFlag = nullptr;  // likewise
  APValue E::*value = nullptr;
  std::u16string E::*text = nullptr;
  std::map<int32_t, int32_t> E::*intMap = nullptr;
  std::vector<int32_t> E::*sparse = nullptr;  // a variable vector
  std::vector<int32_t> E::*intList = nullptr;
  std::vector<std::u16string> E::*textList = nullptr;
};

template <class E>
constexpr Field<E> intField(std::u16string_view k, int32_t E::*m) { return {.key = k, .integer = m}; }
template <class E>
constexpr Field<E> boolField(std::u16string_view k, int32_t E::*m) { return {.key = k, .intFlag = m}; }
template <class E>
constexpr Field<E> boolField(std::u16string_view k, uint8_t E::*m) { return {.key = k, .byteFlag = m}; }
template <class E>
constexpr Field<E> valueField(std::u16string_view k, APValue E::*m) { return {.key = k, .value = m}; }
template <class E>
constexpr Field<E> textField(std::u16string_view k, std::u16string E::*m) { return {.key = k, .text = m}; }
template <class E>
constexpr Field<E> intMapField(std::u16string_view k, std::map<int32_t, int32_t> E::*m) {
  return {.key = k, .intMap = m};
}
template <class E>
constexpr Field<E> sparseField(std::u16string_view k, std::vector<int32_t> E::*m) { return {.key = k, .sparse = m}; }
template <class E>
constexpr Field<E> intListField(std::u16string_view k, std::vector<int32_t> E::*m) {
  return {.key = k, .intList = m};
}
template <class E>
constexpr Field<E> textListField(std::u16string_view k, std::vector<std::u16string> E::*m) {
  return {.key = k, .textList = m};
}

using Menu = PresentationState::Menu;
using Msgwin = PresentationState::Msgwin;
using Picture = PresentationState::Picture;
using Fader = PresentationState::Fader;
using Mouse = PresentationState::Mouse;

const Field<Menu> kMenuFields[] = {
    intField(key::kCfgno, &Menu::cfgno),
    boolField(key::kEnable, &Menu::enable),
    boolField(key::kAutohide, &Menu::autohide),
    boolField(key::kShow, &Menu::show),
};

const Field<Msgwin> kMsgwinFields[] = {
    intField(key::kCfgno, &Msgwin::cfgno),       boolField(key::kVisible, &Msgwin::visible),
    textField(key::kText, &Msgwin::text),        intField(key::kKeywait, &Msgwin::keywait),
    intField(key::kPosIndex, &Msgwin::posIndex), intField(key::kPosX, &Msgwin::posX),
    intField(key::kPosY, &Msgwin::posY),         textListField(key::kTexts, &Msgwin::texts),
};

const Field<Picture> kPictureFields[] = {
    valueField(key::kPicno, &Picture::picno), intField(key::kTx, &Picture::tx), intField(key::kTy, &Picture::ty),
    intField(key::kTw, &Picture::tw),         intField(key::kTh, &Picture::th),
};

const Field<Fader> kFaderFields[] = {
    intField(key::kR, &Fader::r),
    intField(key::kG, &Fader::g),
    intField(key::kB, &Fader::b),
    intField(key::kA, &Fader::a),
};

const Field<Mouse> kMouseFields[] = {
    intField(key::kShowflag, &Mouse::showflag),
    valueField(key::kCursor, &Mouse::cursor),
};

const Field<PresentationState> kSoundFields[] = {intField(key::kVolume, &PresentationState::soundVolume)};
const Field<PresentationState> kVoiceFields[] = {intMapField(key::kVoiceVolume, &PresentationState::voiceVolume)};

const Field<MusicChannelRecord> kMusicFields[] = {
    valueField(key::kMusic, &MusicChannelRecord::music),
    intField(key::kVolume, &MusicChannelRecord::volume),
    intField(key::kStartposition, &MusicChannelRecord::startposition),
    intField(key::kLoopsetting, &MusicChannelRecord::loopsetting),
    intField(key::kLoopstart, &MusicChannelRecord::loopstart),
    intField(key::kLoopend, &MusicChannelRecord::loopend),
    intField(key::kLoopnum, &MusicChannelRecord::loopnum),
};

const Field<SavedCell> kCellFields[] = {
    valueField(key::kPicno, &SavedCell::picno), intField(key::kSwitch, &SavedCell::switchNo),
    intField(key::kX, &SavedCell::x),           intField(key::kY, &SavedCell::y),
    intField(key::kW, &SavedCell::w),           intField(key::kH, &SavedCell::h),
    intField(key::kTx, &SavedCell::tx),         intField(key::kTy, &SavedCell::ty),
    intField(key::kTw, &SavedCell::tw),         intField(key::kTh, &SavedCell::th),
    intField(key::kOpacity, &SavedCell::opacity), intField(key::kZorder, &SavedCell::zorder),
};

const Field<SavedParts> kPartsFields[] = {
    intField(key::kPartsNo, &SavedParts::partsNo),
    boolField(key::kVisible, &SavedParts::visible),
    intField(key::kX, &SavedParts::x),
    intField(key::kY, &SavedParts::y),
    valueField(key::kW, &SavedParts::w),
    valueField(key::kH, &SavedParts::h),
    intField(key::kOpacity, &SavedParts::opacity),
    intField(key::kZorder, &SavedParts::zorder),
    intField(key::kKeyorder, &SavedParts::keyorder),
    valueField(key::kAnimationCode, &SavedParts::animationCode),
    valueField(key::kText, &SavedParts::text),
    boolField(key::kEnable, &SavedParts::enable),
    intMapField(key::kEventno, &SavedParts::eventno),
    intMapField(key::kColor, &SavedParts::color),
};

const Field<SaveSlotInfo> kSlotFields[] = {
    intField(key::kSceneno, &SaveSlotInfo::sceneno), intField(key::kSavetime, &SaveSlotInfo::savetime),
    textField(key::kComment, &SaveSlotInfo::comment), intField(key::kStateID, &SaveSlotInfo::stateID),
    intField(key::kRouteID, &SaveSlotInfo::routeID),
};

const Field<SavedGameState> kGameStateFields[] = {
    intField(key::kLastSPID, &SavedGameState::lastSPID),
    sparseField(key::kBit, &SavedGameState::bit),
    sparseField(key::kFlag, &SavedGameState::flag),
    sparseField(key::kWord, &SavedGameState::word),
};

const Field<SavedFrame> kFrameFields[] = {
    intField(key::kSce, &SavedFrame::scenario), intField(key::kSet, &SavedFrame::set),
    intField(key::kSub, &SavedFrame::sub),      intField(key::kScriptFunc, &SavedFrame::scriptfunc),
    intField(key::kPc, &SavedFrame::pc),        intListField(key::kLocal, &SavedFrame::locals),
    intListField(key::kArgs, &SavedFrame::args),
};

const Field<FrameStack> kFrameStackFields[] = {
    intField(key::kAcc, &FrameStack::acc),
    intField(key::kReflag, &FrameStack::reflag),
    intField(key::kNextPrg, &FrameStack::nextPrg),
};

// ---- Writing ----

// Prepends the record's entries to the list in table order.
template <class E>
Cell* writeFields(SaveTreeWriter& w, const E& e, std::span<const Field<E>> fields, Cell* list = nullptr) {
  for (const Field<E>& f : fields) {
    Cell* value = nullptr;
    if (f.integer) {
      value = w.integer(e.*f.integer);
    } else if (f.intFlag) {
      value = w.boolean(e.*f.intFlag != 0);
    } else if (f.byteFlag) {
      value = w.boolean(e.*f.byteFlag != 0);
    } else if (f.value) {
      value = w.atom(e.*f.value);
    } else if (f.text) {
      value = w.text(e.*f.text);
    } else if (f.intMap) {
      value = w.intMap(e.*f.intMap);
    } else if (f.sparse) {
      value = w.sparseVector(e.*f.sparse);
    } else if (f.intList) {
      value = w.intList(e.*f.intList);
    } else if (f.textList) {
      value = w.textList(e.*f.textList);
    }
    list = w.pair(list, f.key, value);
  }
  return list;
}

// (number record) per entry, ascending: prepended from the highest.
template <class V>
Cell* writeNumbered(SaveTreeWriter& w, const std::map<int32_t, V>& map, std::span<const Field<V>> fields) {
  Cell* list = nullptr;
  for (auto it = map.rbegin(); it != map.rend(); ++it) {
    list = w.cons(w.cons(w.integer(it->first), writeFields(w, it->second, fields)), list);
  }
  return list;
}

Cell* writeFrame(SaveTreeWriter& w, const SavedFrame& frame) {
  return w.reversed(writeFields<SavedFrame>(w, frame, kFrameFields));
}

// ---- Reading ----

// The entries of a record into e: a known key takes its value when the
// value has the field's form, other keys are skipped. `other(entry)` sees
// the entries whose key is not in the table. False under the entry rule of
// forEachRecordEntry.
template <class E, class Other>
bool readFields(E& e, const Cell* list, std::span<const Field<E>> fields, Other&& other) {
  return forEachRecordEntry(list, [&](const Cons* entry) {
    const std::u16string& name = entryKey(entry);
    const Cell* v = entry->cdr;
    for (const Field<E>& f : fields) {
      if (name != f.key) continue;
      if (f.integer) {
        if (const Token* t = tokenOfType(v, Token::kInt)) e.*f.integer = t->value;
      } else if (f.intFlag) {
        if (const Token* t = tokenOfType(v, Token::kBool)) e.*f.intFlag = t->value != 0;
      } else if (f.byteFlag) {
        if (const Token* t = tokenOfType(v, Token::kBool)) e.*f.byteFlag = t->value != 0;
      } else if (f.value) {
        readTaggedCell(v, e.*f.value);
      } else if (f.text) {
        if (const Token* t = tokenOfType(v, Token::kString)) e.*f.text = t->text;
      } else if (f.intMap) {
        // A bad pair ends the map; the pairs before it stay.
        readIntMapEntry(entry, f.key, e.*f.intMap);
      } else if (f.sparse) {
        readSparseVectorEntry(entry, f.key, e.*f.sparse);
      } else if (f.intList) {
        readIntListEntry(entry, f.key, e.*f.intList);
      } else if (f.textList) {
        // A broken list is dropped whole: the joined text stands in for it.
        if (!readTextListEntry(entry, f.key, e.*f.textList)) (e.*f.textList).clear();
      }
      return;
    }
    other(entry);
  });
}

template <class E>
bool readFields(E& e, const Cell* list, std::span<const Field<E>> fields) {
  return readFields(e, list, fields, [](const Cons*) {});
}

// Walks a list whose elements are records (the empty list counts as one),
// reading each into a new V that `keep` takes; stops at an element that is
// not a list, at a broken record (dropped) or when `keep` answers false.
template <class V, class Read, class Keep>
void readRecordList(const Cell* list, Read&& read, Keep&& keep) {
  for (const Cell* c = list; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    const Cell* element = static_cast<const Cons*>(c)->car;
    if (element && !tokenizer::isCons(element)) return;
    V record;
    if (!read(record, element) || !keep(std::move(record))) return;
  }
}

// Replaces the map with the list's (number record...) elements; an element
// without an integer head or with a broken record ends it.
template <class V>
void readNumbered(std::map<int32_t, V>& map, const Cell* list, std::span<const Field<V>> fields) {
  map.clear();
  for (const Cell* c = list; tokenizer::isCons(c); c = static_cast<const Cons*>(c)->cdr) {
    const Cell* element = static_cast<const Cons*>(c)->car;
    if (!tokenizer::isCons(element)) return;
    const Cons* item = static_cast<const Cons*>(element);
    const Token* no = tokenOfType(item->car, Token::kInt);
    V record;
    if (!no || !readFields(record, item->cdr, fields)) return;
    map[no->value] = std::move(record);
  }
}

}  // namespace

// ---- PresentationState ----

Cell* PresentationState::toTree(tokenizer::Tokenizer& tk) const {
  SaveTreeWriter w(tk);
  Cell* list = w.pair(nullptr, key::kMenu, writeFields<Menu>(w, menu, kMenuFields));
  list = w.pair(list, key::kMsgwin, writeFields<Msgwin>(w, msgwin, kMsgwinFields));
  list = w.pair(list, key::kPicture, writeFields<Picture>(w, picture, kPictureFields));
  list = w.pair(list, key::kCell, writeNumbered<SavedCell>(w, cell, kCellFields));
  list = w.pair(list, key::kParts, writeNumbered<SavedParts>(w, parts, kPartsFields));
  list = w.pair(list, key::kFader, writeFields<Fader>(w, fader, kFaderFields));
  list = w.pair(list, key::kMouse, w.reversed(writeFields<Mouse>(w, mouse, kMouseFields)));
  Cell* channels = nullptr;
  for (auto it = music.rbegin(); it != music.rend(); ++it) {
    channels = w.cons(writeFields<MusicChannelRecord>(w, *it, kMusicFields), channels);
  }
  list = w.pair(list, key::kMusic, channels);
  list = w.pair(list, key::kSound, writeFields<PresentationState>(w, *this, kSoundFields));
  list = w.pair(list, key::kVoice, writeFields<PresentationState>(w, *this, kVoiceFields));
  list = w.pair(list, key::kLayer, w.record(LayerStateWriter(layers, tk)));
  list = w.pair(list, key::kPlf, w.intMap(plf));
  list = w.pair(list, key::kPls, w.stringMap(pls));
  return w.result(list);
}

bool PresentationState::fromTree(const Cell* list) {
  bool layersRead = true;
  const bool ok = forEachRecordEntry(list, [&](const Cons* entry) {
    const std::u16string& name = entryKey(entry);
    const Cell* v = entry->cdr;
    if (name == key::kMenu) {
      readFields<Menu>(menu, v, kMenuFields);
    } else if (name == key::kMsgwin) {
      readFields<Msgwin>(msgwin, v, kMsgwinFields);
    } else if (name == key::kPicture) {
      readFields<Picture>(picture, v, kPictureFields);
    } else if (name == key::kCell) {
      readNumbered<SavedCell>(cell, v, kCellFields);
    } else if (name == key::kParts) {
      readNumbered<SavedParts>(parts, v, kPartsFields);
    } else if (name == key::kFader) {
      readFields<Fader>(fader, v, kFaderFields);
    } else if (name == key::kMouse) {
      readFields<Mouse>(mouse, v, kMouseFields);
    } else if (name == key::kMusic) {
      music.clear();
      readRecordList<MusicChannelRecord>(
          v, [](MusicChannelRecord& r, const Cell* c) { return readFields<MusicChannelRecord>(r, c, kMusicFields); },
          [&](MusicChannelRecord&& r) {
            music.push_back(std::move(r));
            return true;
          });
    } else if (name == key::kSound) {
      readFields<PresentationState>(*this, v, kSoundFields);
    } else if (name == key::kVoice) {
      readFields<PresentationState>(*this, v, kVoiceFields);
    } else if (name == key::kLayer) {
      layers.clear();
      layersRead = LayerStateReader(layers, v);
    } else if (name == key::kPlf) {
      readIntMapEntry(entry, key::kPlf, plf);
    } else if (name == key::kPls) {
      readStringMapEntry(entry, key::kPls, pls);
    }
  });
  // The music channels are indexed 0..3 everywhere: never fewer or more,
  // also after a broken list.
  music.resize(kMusicChannels);
  return ok && layersRead;
}

// ---- Frames ----

Cell* savedFrameToTree(const SavedFrame& frame, tokenizer::Tokenizer& tk) {
  SaveTreeWriter w(tk);
  return w.result(writeFrame(w, frame));
}

bool savedFrameFromTree(SavedFrame& frame, const Cell* list) {
  return readFields<SavedFrame>(frame, list, kFrameFields);
}

Cell* FrameStack::toTree(tokenizer::Tokenizer& tk) const {
  SaveTreeWriter w(tk);
  Cell* list = writeFields<FrameStack>(w, *this, kFrameStackFields);
  Cell* stack = nullptr;
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) stack = w.cons(writeFrame(w, *it), stack);
  list = w.pair(list, key::kStack, stack);
  return w.result(w.reversed(list));
}

bool FrameStack::fromTree(const Cell* list) {
  return readFields<FrameStack>(*this, list, kFrameStackFields, [&](const Cons* entry) {
    if (entryKey(entry) != key::kStack) return;
    frames.clear();
    readRecordList<SavedFrame>(entry->cdr, savedFrameFromTree, [&](SavedFrame&& frame) {
      // No stack deeper than the machine can push.
      if (frames.size() >= StateMgr::kMaxSavedFrames) return false;
      frames.push_back(std::move(frame));
      return true;
    });
  });
}

// ---- Save slots and snapshots ----

Cell* SaveSlotInfo::toTree(tokenizer::Tokenizer& tk) const {
  SaveTreeWriter w(tk);
  return w.result(writeFields<SaveSlotInfo>(w, *this, kSlotFields));
}

bool SaveSlotInfo::fromTree(const Cell* list) { return readFields<SaveSlotInfo>(*this, list, kSlotFields); }

Cell* SavedGameState::toTree(tokenizer::Tokenizer& tk) const {
  SaveTreeWriter w(tk);
  Cell* list = writeFields<SavedGameState>(w, *this, kGameStateFields);
  list = w.pair(list, key::kUserstack, w.record(userstack.toTree(tk)));
  list = w.pair(list, key::kZepstate, w.record(presentation.toTree(tk)));
  return w.result(list);
}

bool SavedGameState::fromTree(const Cell* list) {
  return readFields<SavedGameState>(*this, list, kGameStateFields, [&](const Cons* entry) {
    const std::u16string& name = entryKey(entry);
    if (name == key::kUserstack) {
      userstack.fromTree(entry->cdr);
    } else if (name == key::kZepstate) {
      presentation.fromTree(entry->cdr);
    }
  });
}
