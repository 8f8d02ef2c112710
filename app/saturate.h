// Values worked out in 64 bits (script coordinates, sizes, sums) held to the
// 32-bit range. Pure, any thread.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

inline int32_t SaturateToInt32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
