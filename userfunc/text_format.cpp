#include "userfunc/text_format.h"

std::u16string intToWString(int32_t n) { return Format(u"%d", n); }

std::u16string formatCut(size_t room, std::u16string_view format, std::span<const FormatArg> args) {
  std::u16string out = FormatArgs(format, args);
  if (room > 0 && out.size() > room - 1) out.resize(room - 1);
  return out;
}
