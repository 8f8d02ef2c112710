// Japanese line breaking: the characters that may not start a line (closing
// brackets, small kana, punctuation) and those that may not end one (opening
// brackets), and the decision where a visual line ends. Pure functions.
#pragma once

#include <cstdint>

enum KinsokuList : int32_t {
  kNotAtLineStart = 0,
  kNotAtLineEnd = 1,
};

bool isKinsokuChar(char16_t c, int32_t list);

// What to do with character c at x (advance w) on a line of limit L with a
// hang allowance A, given the next character n (advance wn, 0 when absent)
// and the one after it nn (wnn):
//   0 place c and go on;
//   1 place c and n (n hangs into the allowance) and end the line;
//   2 end the line before c;
//   3 place c and end the line.
// At x = 0 the glyph is always placed, so no visual line comes out empty.
int32_t decideLineBreak(int32_t limit, int32_t allowance, int32_t x, int32_t w, char16_t c, char16_t n,
                        int32_t wn, char16_t nn, int32_t wnn);
