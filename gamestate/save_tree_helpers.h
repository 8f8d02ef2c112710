// Small readers and writers that every record of the settings and save file
// shares with the layer state: an atom read back into an APValue, the list
// forms (integer map, string map, sparse variable vector, integer list), the
// walk over a record's (key . value) entries, and a writer that notices when
// the tokenizer runs out of memory. Cells come from and stay with the
// caller's Tokenizer. Readers never log.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "script/ap_value.h"
#include "script/cell.h"
#include "script/tokenizer.h"

// A symbol or string token gives a string value, an integer token an integer
// value, a boolean token a boolean value. False for anything else (null, a
// cons, a lexer-only token); the output is then left as it was.
bool readTaggedCell(const tokenizer::Cell* cell, APValue& out);

// For an entry (key (k . v) ...) whose key is a symbol of exactly the given
// text: clears the map, then adds the pairs in list order (a repeated key
// keeps its last value) and answers true. False without touching the map when
// the entry is not a cons with that symbol at its head. False after clearing
// when an element is not an (integer . integer) pair or the list does not end
// properly; the pairs before it stay in the map.
bool readIntMapEntry(const tokenizer::Cell* entry, std::u16string_view key,
                     std::map<int32_t, int32_t>& out);

// The map as a list of (key . value) integer pairs in ascending key order,
// leaving out every entry whose value is 0. Null (the empty list) when nothing
// is written, and also when the tokenizer runs out of memory.
tokenizer::Cell* writeIntMap(tokenizer::Tokenizer& tk, const std::map<int32_t, int32_t>& map);

// The map as a list of (key . "text") pairs in ascending key order, leaving
// out every entry whose text is empty. Null as for writeIntMap.
tokenizer::Cell* writeStringMap(tokenizer::Tokenizer& tk, const std::map<int32_t, std::u16string>& map);

// readIntMapEntry for (integer . string) pairs; an empty text is kept.
bool readStringMapEntry(const tokenizer::Cell* entry, std::u16string_view key,
                        std::map<int32_t, std::u16string>& out);

// A script machine's variable vector as (index . value) pairs for its
// non-zero elements, ascending index. Null as for writeIntMap.
tokenizer::Cell* writeSparseVector(tokenizer::Tokenizer& tk, const std::vector<int32_t>& vector);

// readIntMapEntry for a sparse vector: the vector is emptied, then each pair
// stores its value at its index, the vector growing to index + 1 with zeros.
// An index outside 0..kMaxScriptIndex - 1 (the machine's cap) is a bad
// element: it and the rest are dropped and the answer is false.
bool readSparseVectorEntry(const tokenizer::Cell* entry, std::u16string_view key, std::vector<int32_t>& out);

// Every element as an integer token, zeros included. Null for an empty
// vector, and when the tokenizer runs out of memory.
tokenizer::Cell* writeIntList(tokenizer::Tokenizer& tk, const std::vector<int32_t>& list);

// readIntMapEntry for an entry (key i j ...) of integer tokens.
bool readIntListEntry(const tokenizer::Cell* entry, std::u16string_view key, std::vector<int32_t>& out);

// Every text as a string token, empty ones included. Null as for writeIntList.
tokenizer::Cell* writeTextList(tokenizer::Tokenizer& tk, const std::vector<std::u16string>& list);

// readIntMapEntry for an entry (key "a" "b" ...) of string tokens.
bool readTextListEntry(const tokenizer::Cell* entry, std::u16string_view key, std::vector<std::u16string>& out);

// The (key . value) entry of a record element: the element when it is a cons
// whose head is a symbol token, else null.
const tokenizer::Cons* recordEntry(const tokenizer::Cell* element);
// The key of an entry that recordEntry accepted.
inline const std::u16string& entryKey(const tokenizer::Cons* entry) {
  return static_cast<const tokenizer::Token*>(entry->car)->text;
}

// Hands each entry of a record's association list to f(entry), in list
// order. False at the first element that is not an entry (a missing head, a
// list or a token other than a symbol as head, an atom) or at an improper
// tail; the entries before it have been handed on. True otherwise.
template <class F>
bool forEachRecordEntry(const tokenizer::Cell* list, F&& f) {
  for (const tokenizer::Cell* c = list; c; c = static_cast<const tokenizer::Cons*>(c)->cdr) {
    if (!tokenizer::isCons(c)) return false;
    const tokenizer::Cons* entry = recordEntry(static_cast<const tokenizer::Cons*>(c)->car);
    if (!entry) return false;
    f(entry);
  }
  return true;
}

// The token when the cell is one of the given type, else null.
const tokenizer::Token* tokenOfType(const tokenizer::Cell* cell, int32_t type);

// Builds trees and remembers whether the tokenizer ever ran out of memory
// (a null result is otherwise the empty list). Writers hand back
// result(list): the list, or null after a failure.
class SaveTreeWriter {
 public:
  explicit SaveTreeWriter(tokenizer::Tokenizer& tk) : tk_(tk) {}
  bool ok() const { return ok_; }
  tokenizer::Cell* result(tokenizer::Cell* list) const { return ok_ ? list : nullptr; }

  tokenizer::Cell* integer(int32_t v) { return check(tk_.makeInt(v)); }
  tokenizer::Cell* boolean(bool v) { return check(tk_.makeBool(v)); }
  tokenizer::Cell* atom(const APValue& v) { return check(tk_.makeToken(v)); }
  tokenizer::Cell* text(std::u16string text) { return check(tk_.makeString(std::move(text))); }
  tokenizer::Cell* cons(tokenizer::Cell* car, tokenizer::Cell* cdr) { return check(tk_.cons(car, cdr)); }
  // ((key . value) . list)
  tokenizer::Cell* pair(tokenizer::Cell* list, std::u16string_view key, tokenizer::Cell* value);
  // A new list with the elements of a proper list in reverse order.
  tokenizer::Cell* reversed(tokenizer::Cell* list);
  // A sub-record built by another writer: never empty, so null means that
  // writer ran out of memory.
  tokenizer::Cell* record(tokenizer::Cell* tree) { return check(tree); }

  // The list forms above.
  tokenizer::Cell* intMap(const std::map<int32_t, int32_t>& map);
  tokenizer::Cell* stringMap(const std::map<int32_t, std::u16string>& map);
  tokenizer::Cell* sparseVector(const std::vector<int32_t>& vector);
  tokenizer::Cell* intList(const std::vector<int32_t>& list);
  tokenizer::Cell* textList(const std::vector<std::u16string>& list);

 private:
  template <class T>
  T* check(T* cell) {
    if (!cell) ok_ = false;
    return cell;
  }

  tokenizer::Tokenizer& tk_;
  bool ok_ = true;
};
