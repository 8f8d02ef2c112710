// The sound library's log: each line carries the library's own level,
// chosen where it is logged, and goes to the engine log as kUTFatal ERROR,
// kUTFailure WARN (a failure shows without "-d"), kUTProgress DEBUG and
// kUTDetail TRACE. Any thread.
#pragma once

#include <cstdint>
#include <string_view>

#include "app/log.h"

// The library's levels.
enum UTLogLevelCode : int32_t {
  kUTFatal = 1,     // a worker thread cannot go on
  kUTFailure = 2,   // something asked of the library failed
  kUTProgress = 4,  // progress and what the library decided
  kUTDetail = 8,    // skips and repeats of the worker threads
};

// The engine log level of a library line.
constexpr uint32_t UTLogLevel(UTLogLevelCode level) {
  switch (level) {
    case kUTFatal: return LOG_ERROR;
    case kUTFailure: return LOG_WARN;
    case kUTProgress: return LOG_DEBUG;
    case kUTDetail: return LOG_TRACE;
  }
  return LOG_DEBUG;
}

template <class... A>
void UTLog(UTLogLevelCode level, std::u16string_view format, const A&... args) {
  LogWrite(UTLogLevel(level), format, args...);
}
