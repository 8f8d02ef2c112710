// Helpers shared by the save-data and layer-state trees: tagged atoms, the
// list forms and the entry walk, read without trusting the tree's shape.
#include "gamestate/save_tree_helpers.h"

#include "script/scenario_compiler.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

const Token* tokenOf(const Cell* c) {
  return tokenizer::isToken(c) ? static_cast<const Token*>(c) : nullptr;
}

const Token* intTokenOf(const Cell* c) {
  const Token* t = tokenOf(c);
  return (t && t->type == Token::kInt) ? t : nullptr;
}

// For an entry (key e1 e2 ...) whose key is a symbol of exactly the given
// text: clear(), then take(element) for each element while it answers true.
// False without calling clear() when the entry is someone else's; false
// after a refused element or an improper tail.
template <class Clear, class Take>
bool readListEntry(const Cell* entry, std::u16string_view key, Clear&& clear, Take&& take) {
  if (!tokenizer::isCons(entry)) return false;
  const Cons* head = static_cast<const Cons*>(entry);
  const Token* name = tokenOf(head->car);
  if (!name || !name->isSymbol(key)) return false;

  clear();
  for (const Cell* c = head->cdr; c; c = static_cast<const Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c)) return false;  // an improper tail
    if (!take(static_cast<const Cons*>(c)->car)) return false;
  }
  return true;
}

// The two integers of an (integer . integer) element.
bool intPair(const Cell* element, int32_t& key, int32_t& value) {
  if (!tokenizer::isCons(element)) return false;
  const Cons* pair = static_cast<const Cons*>(element);
  const Token* k = intTokenOf(pair->car);
  const Token* v = intTokenOf(pair->cdr);
  if (!k || !v) return false;
  key = k->value;
  value = v->value;
  return true;
}

// Prepends one cell per written element to the list, walking the container
// from its last element so that the list ends in ascending order. Null when
// a cell could not be made.
template <class It, class Make>
Cell* prependAll(tokenizer::Tokenizer& tk, It first, It last, Make&& make) {
  Cell* list = nullptr;
  for (It it = last; it != first;) {
    --it;
    bool skip = false;
    Cell* element = make(*it, skip);
    if (skip) continue;
    Cons* link = element ? tk.cons(element, list) : nullptr;
    if (!link) return nullptr;
    list = link;
  }
  return list;
}

}  // namespace

bool readTaggedCell(const Cell* cell, APValue& out) {
  const Token* t = tokenOf(cell);
  if (!t) return false;
  switch (t->type) {
    case Token::kSymbol:
    case Token::kString:
      out = APValue(t->text);
      return true;
    case Token::kInt:
      out = APValue(t->value);
      return true;
    case Token::kBool:
      out = APValue(t->value != 0);
      return true;
    default:
      return false;
  }
}

bool readIntMapEntry(const Cell* entry, std::u16string_view key, std::map<int32_t, int32_t>& out) {
  return readListEntry(
      entry, key, [&] { out.clear(); },
      [&](const Cell* element) {
        int32_t k = 0, v = 0;
        if (!intPair(element, k, v)) return false;
        out[k] = v;
        return true;
      });
}

Cell* writeIntMap(tokenizer::Tokenizer& tk, const std::map<int32_t, int32_t>& map) {
  return prependAll(tk, map.begin(), map.end(), [&](const auto& e, bool& skip) -> Cell* {
    skip = e.second == 0;
    if (skip) return nullptr;
    Token* k = tk.makeInt(e.first);
    Token* v = tk.makeInt(e.second);
    return (k && v) ? tk.cons(k, v) : nullptr;
  });
}

Cell* writeStringMap(tokenizer::Tokenizer& tk, const std::map<int32_t, std::u16string>& map) {
  return prependAll(tk, map.begin(), map.end(), [&](const auto& e, bool& skip) -> Cell* {
    skip = e.second.empty();
    if (skip) return nullptr;
    Token* k = tk.makeInt(e.first);
    Token* v = tk.makeString(e.second);
    return (k && v) ? tk.cons(k, v) : nullptr;
  });
}

bool readStringMapEntry(const Cell* entry, std::u16string_view key, std::map<int32_t, std::u16string>& out) {
  return readListEntry(
      entry, key, [&] { out.clear(); },
      [&](const Cell* element) {
        if (!tokenizer::isCons(element)) return false;
        const Cons* pair = static_cast<const Cons*>(element);
        const Token* k = intTokenOf(pair->car);
        const Token* v = tokenOfType(pair->cdr, Token::kString);
        if (!k || !v) return false;
        out[k->value] = v->text;
        return true;
      });
}

Cell* writeSparseVector(tokenizer::Tokenizer& tk, const std::vector<int32_t>& vector) {
  Cell* list = nullptr;
  for (size_t i = vector.size(); i-- > 0;) {
    if (vector[i] == 0) continue;
    Token* k = tk.makeInt(static_cast<int32_t>(i));
    Token* v = tk.makeInt(vector[i]);
    Cons* pair = (k && v) ? tk.cons(k, v) : nullptr;
    Cons* link = pair ? tk.cons(pair, list) : nullptr;
    if (!link) return nullptr;
    list = link;
  }
  return list;
}

bool readSparseVectorEntry(const Cell* entry, std::u16string_view key, std::vector<int32_t>& out) {
  return readListEntry(
      entry, key, [&] { out.clear(); },
      [&](const Cell* element) {
        int32_t index = 0, value = 0;
        if (!intPair(element, index, value) || index < 0 || index >= kMaxScriptIndex) return false;
        if (static_cast<size_t>(index) >= out.size()) out.resize(static_cast<size_t>(index) + 1, 0);
        out[static_cast<size_t>(index)] = value;
        return true;
      });
}

Cell* writeIntList(tokenizer::Tokenizer& tk, const std::vector<int32_t>& list) {
  return prependAll(tk, list.begin(), list.end(), [&](int32_t v, bool&) -> Cell* { return tk.makeInt(v); });
}

bool readIntListEntry(const Cell* entry, std::u16string_view key, std::vector<int32_t>& out) {
  return readListEntry(
      entry, key, [&] { out.clear(); },
      [&](const Cell* element) {
        const Token* v = intTokenOf(element);
        if (!v) return false;
        out.push_back(v->value);
        return true;
      });
}

Cell* writeTextList(tokenizer::Tokenizer& tk, const std::vector<std::u16string>& list) {
  return prependAll(tk, list.begin(), list.end(),
                    [&](const std::u16string& text, bool&) -> Cell* { return tk.makeString(text); });
}

bool readTextListEntry(const Cell* entry, std::u16string_view key, std::vector<std::u16string>& out) {
  return readListEntry(
      entry, key, [&] { out.clear(); },
      [&](const Cell* element) {
        const Token* v = tokenOfType(element, Token::kString);
        if (!v) return false;
        out.push_back(v->text);
        return true;
      });
}

const Cons* recordEntry(const Cell* element) {
  if (!tokenizer::isCons(element)) return nullptr;
  const Cons* entry = static_cast<const Cons*>(element);
  return tokenOfType(entry->car, Token::kSymbol) ? entry : nullptr;
}

const Token* tokenOfType(const Cell* cell, int32_t type) {
  const Token* t = tokenOf(cell);
  return (t && t->type == type) ? t : nullptr;
}

// ---- SaveTreeWriter ----

Cell* SaveTreeWriter::pair(Cell* list, std::u16string_view key, Cell* value) {
  return cons(cons(check(tk_.makeSymbol(std::u16string(key))), value), list);
}

Cell* SaveTreeWriter::reversed(Cell* list) {
  Cell* out = nullptr;
  for (Cell* c = list; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    out = cons(static_cast<Cons*>(c)->car, out);
  }
  return out;
}

namespace {

bool anyNonZero(const std::map<int32_t, int32_t>& map) {
  for (const auto& [k, v] : map) {
    if (v != 0) return true;
  }
  return false;
}

}  // namespace

// Each list form is null both when it is empty and when it failed; only
// the second counts as a failure.
Cell* SaveTreeWriter::intMap(const std::map<int32_t, int32_t>& map) {
  Cell* list = writeIntMap(tk_, map);
  if (!list && anyNonZero(map)) ok_ = false;
  return list;
}

Cell* SaveTreeWriter::stringMap(const std::map<int32_t, std::u16string>& map) {
  Cell* list = writeStringMap(tk_, map);
  if (!list) {
    for (const auto& [k, text] : map) {
      if (!text.empty()) ok_ = false;
    }
  }
  return list;
}

Cell* SaveTreeWriter::sparseVector(const std::vector<int32_t>& vector) {
  Cell* list = writeSparseVector(tk_, vector);
  if (!list) {
    for (int32_t v : vector) {
      if (v != 0) ok_ = false;
    }
  }
  return list;
}

Cell* SaveTreeWriter::intList(const std::vector<int32_t>& list) {
  Cell* out = writeIntList(tk_, list);
  if (!out && !list.empty()) ok_ = false;
  return out;
}

Cell* SaveTreeWriter::textList(const std::vector<std::u16string>& list) {
  Cell* out = writeTextList(tk_, list);
  if (!out && !list.empty()) ok_ = false;
  return out;
}
