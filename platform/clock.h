// The monotonic clock every engine time value comes from (the wall clock is
// only for the date and time scripts ask for). Any thread.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point (the system's boot), never
// going backwards.
int64_t MonotonicMilliseconds();
// The same clock in microseconds.
int64_t MonotonicMicroseconds();
// CPU time the calling thread has used, in microseconds.
int64_t ThreadCpuMicroseconds();
// Microseconds of the monotonic clock since the program was loaded (before
// main), for start-up measurements.
int64_t MicrosecondsSinceStart();

// Seconds since 1970-01-01 UTC on the wall clock.
int64_t WallClockSeconds();
// The same in microseconds (what a measuring script outside can compare).
int64_t WallClockMicroseconds();

struct CalendarTime {
  int year = 0;    // full calendar year
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local date and time (TZ and the system's zone) of a wall-clock value;
// false when it cannot be converted.
bool LocalCalendarTime(int64_t seconds, CalendarTime* out);

}  // namespace platform
