#include "userfunc/text_format.h"

#include <algorithm>

#include "app/saturate.h"

NumberInText ScanDecimal(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  NumberInText number;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - u'0'), int64_t{1} << 32);
    number.found = true;
  }
  number.value = SaturateToInt32(negative ? -value : value);
  return number;
}
