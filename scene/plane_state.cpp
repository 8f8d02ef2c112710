#include "scene/plane_state.h"

#include <algorithm>

#include "app/saturate.h"
#include "gdev/zep_texture.h"

namespace {


int32_t LerpInt(int32_t a, int32_t b, float e) {
  if (a == b) return a;
  const double v = static_cast<double>(a) + (static_cast<double>(b) - a) * e + 0.5;
  if (v >= 2147483647.0) return 2147483647;
  if (v <= -2147483648.0) return -2147483647 - 1;
  return static_cast<int32_t>(v);
}

float LerpFloat(float a, float b, float e) { return a + (b - a) * e; }

}  // namespace

void PlaneState::setRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  x0 = left;
  y0 = top;
  x1 = right;
  y1 = bottom;
}

void PlaneState::setColor(float red, float green, float blue, float alpha) {
  useColor = true;
  r = red;
  g = green;
  b = blue;
  a = alpha;
}

void PlaneState::offset(int64_t dx, int64_t dy) {
  // Held first, so that no sum below can overflow.
  dx = std::clamp<int64_t>(dx, -(int64_t{1} << 32), int64_t{1} << 32);
  dy = std::clamp<int64_t>(dy, -(int64_t{1} << 32), int64_t{1} << 32);
  x0 = SaturateToInt32(x0 + dx);
  x1 = SaturateToInt32(x1 + dx);
  y0 = SaturateToInt32(y0 + dy);
  y1 = SaturateToInt32(y1 + dy);
}

float EaseProgress(int32_t easing, float t) {
  const double d = t;
  if (easing == 1) return static_cast<float>(1.0 - (1.0 - d) * (1.0 - d) * (1.0 - d));
  if (easing == 2) return static_cast<float>(d * d * d);
  return t;
}

void LerpRectRegion(PlaneState& plane, const PlaneState& from, const PlaneState& to, float e) {
  plane.x0 = LerpInt(from.x0, to.x0, e);
  plane.y0 = LerpInt(from.y0, to.y0, e);
  plane.x1 = LerpInt(from.x1, to.x1, e);
  plane.y1 = LerpInt(from.y1, to.y1, e);
  plane.s0 = LerpFloat(from.s0, to.s0, e);
  plane.t0 = LerpFloat(from.t0, to.t0, e);
  plane.s1 = LerpFloat(from.s1, to.s1, e);
  plane.t1 = LerpFloat(from.t1, to.t1, e);
}

void LerpFull(PlaneState& plane, const PlaneState& from, const PlaneState& to, float e) {
  LerpRectRegion(plane, from, to, e);
  plane.r = LerpFloat(from.r, to.r, e);
  plane.g = LerpFloat(from.g, to.g, e);
  plane.b = LerpFloat(from.b, to.b, e);
  plane.a = LerpFloat(from.a, to.a, e);
}

void KeypadDirection(int32_t code, int32_t* dx, int32_t* dy) {
  static constexpr int8_t kX[10] = {0, -1, 0, 1, -1, 0, 1, -1, 0, 1};
  static constexpr int8_t kY[10] = {0, 1, 1, 1, 0, 0, 0, -1, -1, -1};
  const bool known = code >= 1 && code <= 9;
  *dx = known ? kX[code] : 0;
  *dy = known ? kY[code] : 0;
}

void SetRegionFromSource(PlaneState& plane, int32_t x, int32_t y, int32_t w, int32_t h, const ZEPTexture* picture) {
  if (x < 0) {
    plane.s0 = plane.t0 = 0.0f;
    plane.s1 = plane.t1 = 1.0f;
    return;
  }
  const double width = picture && picture->width() > 0 ? picture->width() : 1.0;
  const double height = picture && picture->height() > 0 ? picture->height() : 1.0;
  plane.s0 = static_cast<float>(x / width);
  plane.t0 = static_cast<float>(y / height);
  plane.s1 = static_cast<float>((static_cast<double>(x) + w) / width);
  plane.t1 = static_cast<float>((static_cast<double>(y) + h) / height);
}
