// Monotonic clock over clock_gettime(CLOCK_MONOTONIC); the wall clock and
// local time over time() and localtime_r().
#include "platform/clock.h"

#include <time.h>

namespace platform {

int64_t MonotonicMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

int64_t MonotonicMicroseconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

int64_t ThreadCpuMicroseconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

namespace {
// Taken while the program is loaded, before main.
const int64_t g_loadedAt = MonotonicMicroseconds();
}  // namespace

int64_t MicrosecondsSinceStart() { return MonotonicMicroseconds() - g_loadedAt; }

int64_t WallClockSeconds() { return static_cast<int64_t>(time(nullptr)); }

int64_t WallClockMicroseconds() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool LocalCalendarTime(int64_t seconds, CalendarTime* out) {
  const time_t t = static_cast<time_t>(seconds);
  if (static_cast<int64_t>(t) != seconds) return false;
  tzset();
  tm local{};
  if (!localtime_r(&t, &local)) return false;
  out->year = local.tm_year + 1900;
  out->month = local.tm_mon + 1;
  out->day = local.tm_mday;
  out->hour = local.tm_hour;
  out->minute = local.tm_min;
  out->second = local.tm_sec;
  return true;
}

}  // namespace platform
