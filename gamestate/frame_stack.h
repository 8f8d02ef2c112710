// FrameStack: saved machine frames (newest last) with the three registers
// that stood when the stack's owner was left.
#pragma once

#include <cstdint>
#include <vector>

#include "script/saved_frame.h"

struct FrameStack {
  std::vector<SavedFrame> frames;
  int32_t acc = 0;
  int32_t reflag = 0;
  int32_t nextPrg = -1;

  void clear() { *this = FrameStack(); }
};
