// The settings file's tree: the root record with the version, the system
// variables, the flow-mode state and the view flags. The root reader is
// strict: a malformed system variable or view flag, or a broken flow-mode
// record, refuses the whole file. Main thread; logs nothing of its own.
#include "gamestate/system_settings.h"

#include "gamestate/save_tree_helpers.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;
namespace key = save_key;

namespace {

// (kind id id ...) per kind, ascending, with the ids whose flag is set.
Cell* writeViewFlags(SaveTreeWriter& w, const std::map<int32_t, std::map<int32_t, uint8_t>>& flags) {
  Cell* list = nullptr;
  for (auto kind = flags.rbegin(); kind != flags.rend(); ++kind) {
    Cell* ids = nullptr;
    for (auto id = kind->second.rbegin(); id != kind->second.rend(); ++id) {
      if (id->second != 0) ids = w.cons(w.integer(id->first), ids);
    }
    list = w.cons(w.cons(w.integer(kind->first), ids), list);
  }
  return list;
}

// Every element must be (kind id ...) of integers in a proper list.
bool readViewFlags(const Cell* list, std::map<int32_t, std::map<int32_t, uint8_t>>& flags) {
  for (const Cell* c = list; c; c = static_cast<const Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c)) return false;
    const Cell* element = static_cast<const Cons*>(c)->car;
    if (!tokenizer::isCons(element)) return false;
    const Token* kind = tokenOfType(static_cast<const Cons*>(element)->car, Token::kInt);
    if (!kind) return false;
    std::map<int32_t, uint8_t>& ids = flags[kind->value];  // a kind without ids stays, as written
    for (const Cell* i = static_cast<const Cons*>(element)->cdr; i; i = static_cast<const Cons*>(i)->cdr) {
      if (!tokenizer::isCons(i)) return false;
      const Token* id = tokenOfType(static_cast<const Cons*>(i)->car, Token::kInt);
      if (!id) return false;
      ids[id->value] = 1;
    }
  }
  return true;
}

// The sysflag record's two maps, added to what the settings hold.
bool readSysflags(const Cell* list, SystemSettings& settings) {
  bool ok = true;
  const bool entries = forEachRecordEntry(list, [&](const Cons* entry) {
    const std::u16string& name = entryKey(entry);
    if (name == key::kSysflagInt) {
      std::map<int32_t, int32_t> read;
      ok = ok && readIntMapEntry(entry, key::kSysflagInt, read);
      for (const auto& [k, v] : read) settings.sysflagInt[k] = v;
    } else if (name == key::kSysflagString) {
      std::map<int32_t, std::u16string> read;
      ok = ok && readStringMapEntry(entry, key::kSysflagString, read);
      for (auto& [k, text] : read) settings.sysflagString[k] = std::move(text);
    }
  });
  return entries && ok;
}

}  // namespace

Cell* SystemSettings::toTree(tokenizer::Tokenizer& tk, int32_t version) const {
  SaveTreeWriter w(tk);
  Cell* sysflag = w.pair(nullptr, key::kSysflagString, w.stringMap(sysflagString));
  sysflag = w.pair(sysflag, key::kSysflagInt, w.intMap(sysflagInt));

  Cell* list = w.pair(nullptr, key::kVersion, w.integer(version));
  list = w.pair(list, key::kSysflag, sysflag);
  list = w.pair(list, key::kFlowmodestate, w.record(flowMode.toTree(tk)));
  list = w.pair(list, key::kResourceViewFlag, writeViewFlags(w, viewFlags));
  return w.result(w.reversed(list));
}

bool SystemSettings::fromTree(const Cell* root, int32_t expectedVersion) {
  sysflagInt.clear();
  sysflagString.clear();
  viewFlags.clear();
  flowMode.clear();

  int32_t version = -1;  // a file without a version reads only where none is expected
  for (const Cell* c = root; c; c = static_cast<const Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c)) return false;
    const Cell* element = static_cast<const Cons*>(c)->car;
    // An atom, an empty list or a list as head is no entry: the file is
    // malformed. A head of another token type is someone else's entry.
    if (!tokenizer::isCons(element)) return false;
    const Cons* entry = static_cast<const Cons*>(element);
    if (!tokenizer::isToken(entry->car)) return false;
    const Token* head = tokenOfType(entry->car, Token::kSymbol);
    if (!head) continue;

    const std::u16string& name = head->text;
    if (name == key::kFlowmodestate) {
      if (!flowMode.fromTree(entry->cdr)) return false;
    } else if (name == key::kVersion) {
      const Token* value = tokenOfType(entry->cdr, Token::kInt);
      version = value ? value->value : 0;
      if (version != expectedVersion) return false;
    } else if (name == key::kSysflag) {
      if (!readSysflags(entry->cdr, *this)) return false;
    } else if (name == key::kResourceViewFlag) {
      if (!readViewFlags(entry->cdr, viewFlags)) return false;
    }
  }
  return version == expectedVersion;
}
