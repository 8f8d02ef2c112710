// The monotonic clock every engine time value comes from (the wall clock is
// only for the date and time scripts ask for). Any thread.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary fixed point (the system's boot), never
// going backwards.
int64_t MonotonicMilliseconds();

}  // namespace platform
