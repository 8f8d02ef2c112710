#include "scene/line_break.h"

#include <string_view>

namespace {

constexpr std::u16string_view kNotAtStart =
    u"、。，．・？！゛゜ヽヾゝゞ々ー）］｝」』】》ぁぃぅぇぉゃゅょっ!),.:;?]}｡｣､･ｰﾞﾟｧｨｩｪｫｬｭｮｯ”";
constexpr std::u16string_view kNotAtEnd = u"（［｛「『【《([{｢“";
static_assert(kNotAtStart.size() == 57 && kNotAtEnd.size() == 12);

}  // namespace

bool isKinsokuChar(char16_t c, int32_t list) {
  std::u16string_view chars = list == kNotAtLineStart ? kNotAtStart : list == kNotAtLineEnd ? kNotAtEnd : u"";
  return chars.find(c) != std::u16string_view::npos;
}

namespace {

int32_t decide(int32_t limit, int32_t allowance, int32_t x, int32_t w, char16_t c, char16_t n, int32_t wn,
               char16_t nn, int32_t wnn) {
  if (x + w >= limit && isKinsokuChar(c, kNotAtLineEnd)) return 2;
  if (x + w + wn > limit && isKinsokuChar(c, kNotAtLineEnd)) return 2;
  if (wn > 0 && x + w + wn > limit && isKinsokuChar(n, kNotAtLineStart)) {
    if (wnn != 0 && isKinsokuChar(nn, kNotAtLineStart)) return 2;
    if (x + w > limit) return 2;
    return x + w + wn <= limit + allowance ? 1 : 2;
  }
  if (x + w > limit) return 2;
  if (x + w == limit) return 3;
  return 0;
}

}  // namespace

int32_t decideLineBreak(int32_t limit, int32_t allowance, int32_t x, int32_t w, char16_t c, char16_t n,
                        int32_t wn, char16_t nn, int32_t wnn) {
  int32_t r = decide(limit, allowance, x, w, c, n, wn, nn, wnn);
  // The first glyph of a line is always placed: an oversized glyph or a
  // leading opening bracket ends its own line instead of leaving one empty.
  if (r == 2 && x == 0) return x + w >= limit ? 3 : 0;
  return r;
}
