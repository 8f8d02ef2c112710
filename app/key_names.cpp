#include "app/key_names.h"

int32_t systemCommandFromName(std::u16string_view name) {
  struct Word {
    std::u16string_view text;
    int32_t number;
  };
  static constexpr Word kWords[] = {
      {u"qload", 15}, {u"qsave", 14},   {u"load", 3},     {u"save", 2},     {u"backlog", 10}, {u"config", 4},
      {u"quit", 6},   {u"erasewin", 5}, {u"skipmsg", 1}, {u"automsg", 29}, {u"restart", 7},  {u"flowmode", 9},
  };
  for (const Word& w : kWords) {
    if (w.text == name) return w.number;
  }
  return 0;
}

int32_t keyCodeFromName(std::u16string_view name) {
  if (name.size() < 2 || name.size() > 3 || name[0] != u'F') return 0;
  int32_t n = 0;
  for (size_t i = 1; i < name.size(); ++i) {
    if (name[i] < u'0' || name[i] > u'9') return 0;
    n = n * 10 + (name[i] - u'0');
  }
  if (name[1] == u'0' || n < 1 || n > 12) return 0;
  return 111 + n;
}
