// Reading the system configuration file: the loader and section dispatcher,
// the entry shapes every section body uses, and the value readers shared by
// the configuration, save-data and layer-state readers. Main thread, at
// start-up.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/format.h"
#include "app/string_util.h"
#include "script/cell.h"

class GameEnvironment;

// Loads, decodes, parses and dispatches the configuration file into the
// environment's records. Logs the reason and returns false on failure.
bool LoadSystemConfig(GameEnvironment* environment, std::u16string_view fileName);

// Walks the top-level list of forms and hands each section to its parser.
// When a section fails, *failedLine (when given) is the line of the entry
// its parser failed on, as far as the parser noted it, else of the section,
// and *failed (when given) names the section and, where its parser noted
// it, the entry.
bool DispatchConfigSections(GameEnvironment* environment, tokenizer::Cell* root, uint32_t* failedLine = nullptr,
                            std::u16string* failed = nullptr);

// Section parsers call this with each link of a body as they come to the
// element it holds, so that a section that fails names the line of the
// entry it failed on. Main thread (kept per thread).
void NoteConfigEntry(const tokenizer::Cell* link);

// "file:line" of the entry noted last, and of the element a link holds, for
// the messages about an entry (LogWriteAt); empty outside a load of a file,
// or when the line is not known. Main thread (kept per thread).
std::u16string ConfigEntryPlace();
std::u16string ConfigPlaceOf(const tokenizer::Cell* link);

// Notes the entry a section parser fails at, for the loader's message (the
// last note of a dispatch counts).
void NoteFailedConfigEntry(const tokenizer::Cell* entry);

// Value readers: true (and out written) only when the key text equals the
// expected key and the value token has the reader's type.
bool ReadEntryInt(std::u16string_view key, const tokenizer::Token* value, std::u16string_view expected,
                  int32_t* out);
bool ReadEntryBool(std::u16string_view key, const tokenizer::Token* value, std::u16string_view expected,
                   bool* out);
bool ReadEntryString(std::u16string_view key, const tokenizer::Token* value, std::u16string_view expected,
                     std::u16string* out);

// "(r g b [a])" as 0xAARRGGBB: components clamped to 0..255, alpha 255 when
// absent. False (out untouched) for fewer than three elements or a first
// three that are not all tokens.
bool ParseColorList(tokenizer::Cell* list, uint32_t* out);

// One entry of a section body, split into its key text and value token.
struct ConfigEntry {
  std::u16string key;
  tokenizer::Token* value = nullptr;
};

// "(key . value)": false (a shape error) when the element is not a list, its
// key is not a symbol or its value is not a token.
bool ReadPairEntry(tokenizer::Cell* element, ConfigEntry* entry);
// "(key value ...)": the same with the second element as the value.
bool ReadListEntry(tokenizer::Cell* element, ConfigEntry* entry);

// The cdr of a pair entry when it is a token, else null.
tokenizer::Token* PairValue(tokenizer::Cell* entry);
// The text of a string token, else the fallback.
std::u16string StringTokenOr(const tokenizer::Cell* cell, std::u16string_view fallback);
// The list from its fourth element on (three cdr steps, each from a cons
// only), else the fallback.
tokenizer::Cell* FourthTailOr(tokenizer::Cell* list, tokenizer::Cell* fallback);
// The number of elements of a proper list (a non-cons tail ends the count).
size_t ListLength(tokenizer::Cell* list);
// The n-th element (0-based), or null past the end.
tokenizer::Cell* ListElement(tokenizer::Cell* list, size_t n);

// Bounded formatting of generated key names (29 and 119 characters).
template <class... A>
std::u16string FormatString30(std::u16string_view format, const A&... args) {
  return FormatCut(30, format, args...);
}
template <class... A>
std::u16string FormatString120(std::u16string_view format, const A&... args) {
  return FormatCut(120, format, args...);
}
