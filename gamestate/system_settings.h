// SystemSettings: what outlives one game and is written with the settings
// file: the system variables (integer and string), the view flags (which
// pictures were seen, which text lines were read) and the flow-mode state
// with the save slots. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "gamestate/flow_mode_state.h"

namespace tokenizer {
class Cell;
class Tokenizer;
}  // namespace tokenizer

// base + offset with 32-bit wrap-around: keys built from numbers a script
// passes (a character, a counter, a scenario) only have to be some key.
inline int32_t OffsetKey(int32_t base, int32_t offset) {
  return static_cast<int32_t>(static_cast<uint32_t>(base) + static_cast<uint32_t>(offset));
}

struct SystemSettings {
  std::map<int32_t, int32_t> sysflagInt;           // absent reads 0
  std::map<int32_t, std::u16string> sysflagString;  // absent reads the caller's default
  // kind -> (id -> byte); kind 1 pictures seen, kind 10000 + s lines read
  // in scenario s.
  std::map<int32_t, std::map<int32_t, uint8_t>> viewFlags;
  FlowModeState flowMode;

  // The file's tree: version, system variables, flow-mode state, view flags
  // (system_settings.cpp).
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk, int32_t version) const;
  // Empties the settings, then reads the tree; false for another version
  // (or none, unless expectedVersion is -1) and a malformed root.
  bool fromTree(const tokenizer::Cell* root, int32_t expectedVersion);

  // The settings file (system_file.cpp): prunes the flow-mode state for the
  // route, prints the tree and writes it through the atomic replace, plain
  // (mode 0) or as an "EENC" (1) or "EENZ" (2) block. False, logged, when
  // anything fails; the previous file is then as it was.
  bool writeFile(std::u16string_view path, int32_t version, int32_t encodeMode, int32_t routeID,
                 bool keepMemorySaves);
  // Reads a plain or encoded file (from the built-in files first when
  // asked); false when it is missing, empty, unparsable or at another
  // version (the last two logged).
  bool readFile(std::u16string_view path, int32_t version, bool builtinsFirst);
};
