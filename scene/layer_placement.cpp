// The placement rule of the script layers and its inverse. Pure.
#include "scene/layer_placement.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/saturate.h"

namespace {

int64_t Size(int32_t unit, int64_t value, int64_t picture, int64_t reference) {
  switch (unit) {
    case 1: return value * picture / 1024;
    case 2: return value * reference / 1024;
    default: return value;
  }
}

int64_t Anchor(int32_t anchor, int64_t reference) {
  switch (anchor) {
    case 1: return reference;
    case 2: return reference / 2;
    default: return 0;
  }
}

int64_t Alignment(int32_t alignment, int64_t extent) {
  switch (alignment) {
    case 1: return extent;
    case 2: return extent / 2;
    default: return 0;
  }
}

int32_t Field(int32_t word, int32_t shift) { return (word >> shift) & 3; }

}  // namespace

void PlacePicture(const PlacementInput& in, GDevRect* rect, GDevUV* region) {
  const int32_t s = in.switchWord;
  const int64_t w = SaturateToInt32(Size(Field(s, 6), in.width, in.pictureWidth, in.referenceWidth));
  const int64_t h = SaturateToInt32(Size(Field(s, 4), in.height, in.pictureHeight, in.referenceHeight));
  const int64_t absW = std::llabs(w);
  const int64_t absH = std::llabs(h);
  const int64_t x = SaturateToInt32(int64_t{in.x} + Anchor(Field(s, 0), in.referenceWidth) -
                                    Alignment(Field(s, 8), absW));
  const int64_t y = SaturateToInt32(int64_t{in.y} + Anchor(Field(s, 2), in.referenceHeight) -
                                    Alignment(Field(s, 10), absH));
  *rect = GDevRect{static_cast<int32_t>(x), static_cast<int32_t>(y), SaturateToInt32(x + absW),
                   SaturateToInt32(y + absH)};
  GDevUV uv{0.0f, 0.0f, 1.0f, 1.0f};
  if (in.sourceX >= 0) {
    const float pw = static_cast<float>(in.pictureWidth == 0 ? 1 : in.pictureWidth);
    const float ph = static_cast<float>(in.pictureHeight == 0 ? 1 : in.pictureHeight);
    uv = GDevUV{static_cast<float>(in.sourceX) / pw, static_cast<float>(in.sourceY) / ph,
                static_cast<float>(int64_t{in.sourceX} + in.sourceWidth) / pw,
                static_cast<float>(int64_t{in.sourceY} + in.sourceHeight) / ph};
  }
  if (w < 0) std::swap(uv.u0, uv.u1);
  if (h < 0) std::swap(uv.v0, uv.v1);
  *region = uv;
}

namespace {

// One axis of the inverse: false (nothing written) when the unit divides by 0.
bool InverseAxis(int32_t unit, int32_t anchor, int32_t alignment, int64_t low, int64_t high, int64_t picture,
                 int64_t reference, int32_t* position, int32_t* size) {
  const int64_t extent = high - low;
  int64_t value = extent;
  if (unit == 1 || unit == 2) {
    const int64_t divisor = unit == 1 ? picture : reference;
    if (divisor == 0) return false;
    value = extent * 1024 / divisor;
  }
  *size = SaturateToInt32(value);
  *position = SaturateToInt32(low - Anchor(anchor, reference) + Alignment(alignment, std::llabs(extent)));
  return true;
}

}  // namespace

void PlacementInverse(const PlacementInput& in, const GDevRect& rect, int32_t* x, int32_t* y, int32_t* width,
                      int32_t* height) {
  const int32_t s = in.switchWord;
  *x = in.x;
  *y = in.y;
  *width = in.width;
  *height = in.height;
  InverseAxis(Field(s, 6), Field(s, 0), Field(s, 8), rect.x0, rect.x1, in.pictureWidth, in.referenceWidth, x, width);
  InverseAxis(Field(s, 4), Field(s, 2), Field(s, 10), rect.y0, rect.y1, in.pictureHeight, in.referenceHeight, y,
              height);
}

bool LayerDrawState::operator==(const LayerDrawState& other) const {
  auto same = [](const PlaneState& a, const PlaneState& b) {
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1 && a.s0 == b.s0 && a.t0 == b.t0 &&
           a.s1 == b.s1 && a.t1 == b.t1 && a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
  };
  return same(main, other.main) && same(mask, other.mask);
}

namespace {

void Apply(PlaneState& plane, const GDevRect& rect, const GDevUV& uv) {
  plane.setRect(rect.x0, rect.y0, rect.x1, rect.y1);
  plane.s0 = uv.u0;
  plane.t0 = uv.v0;
  plane.s1 = uv.u1;
  plane.t1 = uv.v1;
}

}  // namespace

LayerDrawState PlaceRecord(const MotionParams& r, int32_t mainWidth, int32_t mainHeight, int32_t maskWidth,
                           int32_t maskHeight, int32_t referenceWidth, int32_t referenceHeight) {
  LayerDrawState state;
  GDevRect rect;
  GDevUV uv;
  PlacePicture(PlacementInput{r.mainSwitch, mainWidth > 0 ? mainWidth : 1, mainHeight > 0 ? mainHeight : 1,
                              referenceWidth, referenceHeight, r.ix, r.iy, r.iw, r.ih, r.tx, r.ty, r.tw, r.th},
               &rect, &uv);
  Apply(state.main, rect, uv);
  auto unit = [](int32_t byte) { return static_cast<float>(std::clamp(byte, 0, 255)) / 255.0f; };
  state.main.r = unit(r.mcR);
  state.main.g = unit(r.mcG);
  state.main.b = unit(r.mcB);
  state.main.a = unit(r.mcA);
  const GDevRect main = rect;
  if (r.maskSystem == 2) {
    Apply(state.mask, main, GDevUV{0.0f, 0.0f, 1.0f, 1.0f});
    return state;
  }
  const bool inside = r.maskSystem == 1;
  PlacePicture(PlacementInput{r.maskSwitch, maskWidth > 0 ? maskWidth : 1, maskHeight > 0 ? maskHeight : 1,
                              inside ? main.x1 - main.x0 : referenceWidth, inside ? main.y1 - main.y0 : referenceHeight,
                              r.mix, r.miy, r.miw, r.mih, r.mtx, r.mty, r.mtw, r.mth},
               &rect, &uv);
  if (inside) {
    rect = GDevRect{SaturateToInt32(int64_t{rect.x0} + main.x0), SaturateToInt32(int64_t{rect.y0} + main.y0),
                    SaturateToInt32(int64_t{rect.x1} + main.x0), SaturateToInt32(int64_t{rect.y1} + main.y0)};
  }
  Apply(state.mask, rect, uv);
  return state;
}
