// Built-ins 5000-5201: measure, compare, join and format texts into the
// saved string variables, read the wall clock and turn it into a date, and
// the scripts' random numbers.
#include <algorithm>

#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "platform/clock.h"
#include "userfunc/text_format.h"
#include "userfunc/userfunc_impl.h"

namespace {

// Widths beyond the 64-character room can only be cut away again.
constexpr int32_t kMaxFormatWidth = 64;

}  // namespace

// (text) -> its length in UTF-16 units
std::unique_ptr<UFResult> UserfuncImpl::uf_string_length(const Args& args) {
  return make_value_ufresult(lengthOf(getStringArg(args, 0)));
}

// (a, b) -> 0 equal, -1 a first, 1 b first (unit order, then length)
std::unique_ptr<UFResult> UserfuncImpl::uf_string_compare(const Args& args) {
  const std::u16string a = getStringArg(args, 0);
  const std::u16string b = getStringArg(args, 1);
  LogWrite(LOG_DEBUG, u"string_compare([%s], [%s])\n", a, b);
  const int c = a.compare(b);
  return make_value_ufresult(c < 0 ? -1 : c > 0 ? 1 : 0);
}

// (target, up to five pieces): an integer piece of -1 ends the list.
std::unique_ptr<UFResult> UserfuncImpl::uf_string_concat(const Args& args) {
  std::u16string joined;
  for (size_t i = 1; i <= 5; ++i) {
    if (args[i].isInt() && args[i].ivalue == -1) break;
    joined += getStringArg(args, i);
  }
  stateMgr().setPlayString(intArg(args, 0), joined);
  return make_value_ufresult(lengthOf(joined));
}

// (target, value, width, mode): 0 plain, 1 zero-padded, 2 right-aligned,
// 3 left-aligned; any other mode gives "0".
std::unique_ptr<UFResult> UserfuncImpl::uf_format_number(const Args& args) {
  const int32_t value = intArg(args, 1);
  const int32_t width = std::clamp(intArg(args, 2), -kMaxFormatWidth, kMaxFormatWidth);
  const int32_t mode = intArg(args, 3);
  const char16_t* format = mode == 0 ? u"%d" : mode == 1 ? u"%0*d" : mode == 2 ? u"%*d" : mode == 3 ? u"%-*d" : nullptr;
  const std::u16string text = !format ? std::u16string(1, u'0')
                              : mode == 0 ? formatW64(format, value)
                                          : formatW64(format, width, value);
  stateMgr().setPlayString(intArg(args, 0), text);
  return make_value_ufresult(lengthOf(text));
}

// (target, clock value in seconds since 1970, mode) -> the local date. The
// value is 5100's, 32 bits without sign: one past 2038 reads as negative.
std::unique_ptr<UFResult> UserfuncImpl::uf_format_date(const Args& args) {
  const int32_t target = intArg(args, 0);
  platform::CalendarTime t;
  if (!platform::LocalCalendarTime(static_cast<uint32_t>(intArg(args, 1)), &t)) {
    stateMgr().setPlayString(target, u"");
    return make_zero_ufresult();
  }
  std::u16string text;
  switch (intArg(args, 2)) {
    case 0: text = formatW64(u"%2d/%2d", t.month, t.day); break;
    case 1: text = formatW64(u"%2d/%2d/%2d:%02d", t.month, t.day, t.hour, t.minute); break;
    case 2: text = formatW64(u"%4d/%2d/%2d", t.year, t.month, t.day); break;
    default: text = formatW64(u"%4d/%2d/%2d/%2d:%02d", t.year, t.month, t.day, t.hour, t.minute); break;
  }
  stateMgr().setPlayString(target, text);
  return make_value_ufresult(lengthOf(text));
}

// The wall clock in seconds since 1970, cut to 32 bits.
std::unique_ptr<UFResult> UserfuncImpl::uf_clock(const Args&) {
  return make_value_ufresult(static_cast<int32_t>(static_cast<uint32_t>(platform::WallClockSeconds())));
}

// (n) -> a number in 0..|n|-1 (0 for n of 0, 1 or -1); the seed always
// advances.
std::unique_ptr<UFResult> UserfuncImpl::uf_random(const Args& args) {
  const int32_t n = intArg(args, 0);
  uint32_t seed = static_cast<uint32_t>(setting_) * 69069u;
  if (static_cast<int32_t>(seed) <= 0) seed = 0u - seed;
  setting_ = static_cast<int32_t>(seed);
  if (n == 0 || n == 1 || n == -1) return make_zero_ufresult();
  return make_value_ufresult((setting_ >> 8) % n);
}

// (seed): kept when an integer of at least 8000, else 13013.
std::unique_ptr<UFResult> UserfuncImpl::uf_random_seed(const Args& args) {
  const int32_t seed = intArg(args, 0, 13013);
  setting_ = seed >= 8000 ? seed : 13013;
  return make_zero_ufresult();
}
