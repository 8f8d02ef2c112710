// Monotonic clock over clock_gettime(CLOCK_MONOTONIC).
#include "platform/clock.h"

#include <time.h>

namespace platform {

int64_t MonotonicMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace platform
