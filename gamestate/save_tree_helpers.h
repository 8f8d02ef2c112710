// Small readers and writers that every record of the settings and save file
// shares with the layer state: an atom read back into an APValue, and the
// integer map stored as a list of (key . value) pairs. Cells come from and
// stay with the caller's Tokenizer.
#pragma once

#include <cstdint>
#include <map>
#include <string_view>

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
