// The sound library's log: its lines (levels 1 fatal thread conditions, 4
// progress and errors, 8 skips and repeats) go to the engine log at DEBUG,
// so that "-d" shows them. Any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/log.h"

template <class... A>
void UTLog(int32_t level, std::u16string_view format, const A&... args) {
  (void)level;
  LogWrite(LOG_DEBUG, format, args...);
}
