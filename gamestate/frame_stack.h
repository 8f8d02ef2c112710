// FrameStack: saved machine frames (newest last) with the three registers
// that stood when the stack's owner was left.
#pragma once

#include <cstdint>
#include <vector>

#include "script/saved_frame.h"

namespace tokenizer {
class Cell;
class Tokenizer;
}  // namespace tokenizer

struct FrameStack {
  std::vector<SavedFrame> frames;
  int32_t acc = 0;
  int32_t reflag = 0;
  int32_t nextPrg = -1;

  void clear() { *this = FrameStack(); }

  // ((acc . n) (reflag . n) (next-prg . n) (stack frame ...)), the frames
  // bottom first. Null when the tokenizer runs out of memory.
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk) const;
  // Fills the registers the tree names; "stack" replaces the frames, and a
  // broken frame (or one past the machine's depth limit) ends them. False
  // only when an element is not an entry with a symbol key. Never logs.
  bool fromTree(const tokenizer::Cell* list);
};
