// The half-width to full-width table of the input-box built-in: a computed
// ASCII range with three exceptions, and a lookup for U+FF61..U+FF9F.
#include "userfunc/full_width.h"

#include <array>
#include <cstddef>

namespace {

constexpr char16_t kHalfKanaFirst = u'\uFF61';
constexpr char16_t kHalfKanaLast = u'\uFF9F';

// U+FF61 onwards, one entry per half-width character.
constexpr std::array<char16_t, kHalfKanaLast - kHalfKanaFirst + 1> kKana = {
    // ｡ ｢ ｣ ､ ･
    u'\u3002', u'\u300C', u'\u300D', u'\u3001', u'\u30FB',
    // ｦ
    u'\u30F2',
    // ｧ ｨ ｩ ｪ ｫ ｬ ｭ ｮ ｯ
    u'\u30A1', u'\u30A3', u'\u30A5', u'\u30A7', u'\u30A9', u'\u30E3', u'\u30E5', u'\u30E7',
    u'\u30C3',
    // ｰ
    u'\u30FC',
    // ｱ ｲ ｳ ｴ ｵ
    u'\u30A2', u'\u30A4', u'\u30A6', u'\u30A8', u'\u30AA',
    // ｶ ｷ ｸ ｹ ｺ
    u'\u30AB', u'\u30AD', u'\u30AF', u'\u30B1', u'\u30B3',
    // ｻ ｼ ｽ ｾ ｿ
    u'\u30B5', u'\u30B7', u'\u30B9', u'\u30BB', u'\u30BD',
    // ﾀ ﾁ ﾂ ﾃ ﾄ
    u'\u30BF', u'\u30C1', u'\u30C4', u'\u30C6', u'\u30C8',
    // ﾅ ﾆ ﾇ ﾈ ﾉ
    u'\u30CA', u'\u30CB', u'\u30CC', u'\u30CD', u'\u30CE',
    // ﾊ ﾋ ﾌ ﾍ ﾎ
    u'\u30CF', u'\u30D2', u'\u30D5', u'\u30D8', u'\u30DB',
    // ﾏ ﾐ ﾑ ﾒ ﾓ
    u'\u30DE', u'\u30DF', u'\u30E0', u'\u30E1', u'\u30E2',
    // ﾔ ﾕ ﾖ
    u'\u30E4', u'\u30E6', u'\u30E8',
    // ﾗ ﾘ ﾙ ﾚ ﾛ
    u'\u30E9', u'\u30EA', u'\u30EB', u'\u30EC', u'\u30ED',
    // ﾜ ﾝ
    u'\u30EF', u'\u30F3',
    // ﾞ ﾟ
    u'\u309B', u'\u309C',
};

}  // namespace

char16_t toFullWidthChar(char16_t c) {
  switch (c) {
    case u' ':
    case u'\x7F':
      return u'\u3000';
    case u'"':
      return u'\u201D';
    case u'\'':
      return u'\u2019';
    case u'\\':
      return u'\uFFE5';
    default:
      break;
  }
  if (c >= u'!' && c <= u'~') return static_cast<char16_t>(c - u'!' + u'\uFF01');
  if (c >= kHalfKanaFirst && c <= kHalfKanaLast) return kKana[static_cast<size_t>(c - kHalfKanaFirst)];
  return c;
}

void toFullWidthString(std::u16string& text) {
  for (char16_t& c : text) c = toFullWidthChar(c);
}
