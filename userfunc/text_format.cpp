#include "userfunc/text_format.h"

std::u16string intToWString(int32_t n) { return Format(u"%d", n); }
