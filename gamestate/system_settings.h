// SystemSettings: what outlives one game and is written with the settings
// file: the system variables (integer and string) and the view flags (which
// pictures were seen, which text lines were read). Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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
};
