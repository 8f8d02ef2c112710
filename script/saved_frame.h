// One saved frame of the script machine: where a set or sub was left and its
// variables. The game state keeps stacks of them.
#pragma once

#include <cstdint>
#include <vector>

struct SavedFrame {
  int32_t scenario = 0;
  int32_t set = -1;
  int32_t sub = -1;
  int32_t scriptfunc = -1;
  int32_t pc = 0;
  std::vector<int32_t> locals;
  std::vector<int32_t> args;
};
