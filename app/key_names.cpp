#include "app/key_names.h"

#include "app/format.h"

namespace {

struct Word {
  std::u16string_view text;
  int32_t number;
};

// Searched in this order.
constexpr Word kWords[] = {
    {u"qload", 15}, {u"qsave", 14},   {u"load", 3},     {u"save", 2},     {u"backlog", 10}, {u"config", 4},
    {u"quit", 6},   {u"erasewin", 5}, {u"skipmsg", 1}, {u"automsg", 29}, {u"restart", 7},  {u"flowmode", 9},
};

}  // namespace

int32_t systemCommandFromName(std::u16string_view name) {
  for (const Word& w : kWords) {
    if (w.text == name) return w.number;
  }
  return 0;
}

std::u16string_view systemCommandName(int32_t number) {
  for (const Word& w : kWords) {
    if (w.number == number) return w.text;
  }
  return {};
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

std::u16string keyNameFromCode(int32_t code) {
  if (code >= 112 && code <= 123) return Format(u"F%d", code - 111);
  return Format(u"%d", code);
}
