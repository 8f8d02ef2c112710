// Colour packing, power-of-two sizes and colour blending. Any thread.
#include "scene/gui_util.h"

#include "gdev/gdev.h"

namespace {

uint32_t ToByte(float v) {
  if (!(v > 0.0f)) return 0;  // also NaN
  if (v > 1.0f) v = 1.0f;
  return static_cast<uint32_t>(v * 255.0f) & 0xFFu;
}

}  // namespace

uint32_t packColorARGB(float red, float green, float blue, float alpha) {
  return ToByte(alpha) << 24 | ToByte(red) << 16 | ToByte(green) << 8 | ToByte(blue);
}

int32_t nextPowerOfTwo(int32_t n) { return RoundUpPow2(n); }

void lerpColor(const float a[4], const float b[4], float t, float out[4]) {
  float result[4];
  for (int i = 0; i < 4; ++i) result[i] = a[i] + (b[i] - a[i]) * t;
  for (int i = 0; i < 4; ++i) out[i] = result[i];
}
