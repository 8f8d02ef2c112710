// The sound library's log: its lines carry the library's own levels (1
// fatal thread conditions, 4 progress and errors, 8 skips and repeats) and
// go to the engine log as 1 ERROR, 8 TRACE and 4 DEBUG, except the level-4
// lines whose text says that something failed, which are WARN, so that a
// failure shows without "-d". Any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/log.h"

// The engine log level of a library line.
constexpr uint32_t UTLogLevel(int32_t level, std::u16string_view format) {
  if (level <= 1) return LOG_ERROR;
  if (level >= 8) return LOG_TRACE;
  return format.find(u"fail") != std::u16string_view::npos ? LOG_WARN : LOG_DEBUG;
}

template <class... A>
void UTLog(int32_t level, std::u16string_view format, const A&... args) {
  LogWrite(UTLogLevel(level, format), format, args...);
}
