// MotionParams: the 23-integer placement record of a script layer or group
// ("main-switch", "I-x" .. "MC-a"): where the main picture goes and which
// part of it, the same for the mask picture, and the colour. The member
// defaults are those of every new layer and group. Pure data.
#pragma once

#include <array>
#include <cstdint>

struct MotionParams {
  int32_t mainSwitch = 80;
  int32_t ix = 0, iy = 0, iw = 1024, ih = 1024;
  int32_t tx = -1, ty = 0, tw = 0, th = 0;
  int32_t maskSystem = 0;
  int32_t maskSwitch = 80;
  int32_t mix = 0, miy = 0, miw = 1024, mih = 1024;
  int32_t mtx = -1, mty = 0, mtw = 0, mth = 0;
  int32_t mcR = 255, mcG = 255, mcB = 255, mcA = 255;

  static constexpr size_t kCount = 23;
  // The fields in record order, and back.
  std::array<int32_t, kCount> values() const {
    return {mainSwitch, ix, iy, iw, ih, tx, ty, tw, th, maskSystem, maskSwitch, mix,
            miy,        miw, mih, mtx, mty, mtw, mth, mcR, mcG, mcB, mcA};
  }
  static MotionParams fromValues(const std::array<int32_t, kCount>& v) {
    MotionParams p;
    int32_t* fields[kCount] = {&p.mainSwitch, &p.ix,  &p.iy,  &p.iw,  &p.ih,  &p.tx,         &p.ty,  &p.tw,
                               &p.th,         &p.maskSystem, &p.maskSwitch, &p.mix, &p.miy, &p.miw, &p.mih,
                               &p.mtx,        &p.mty, &p.mtw, &p.mth, &p.mcR, &p.mcG, &p.mcB, &p.mcA};
    for (size_t i = 0; i < kCount; ++i) *fields[i] = v[i];
    return p;
  }
  bool operator==(const MotionParams&) const = default;
};

// Motion kind 201 moves a layer to its record over the time; kind 0, or a
// time below 1, places it there at once. Any other kind holds the layer
// where it was drawn and brings it back there at its end: such a motion
// never becomes the layer's record, so what a save, a rebuild or a new
// picture places is what the screen showed.
inline constexpr int32_t kMotionMoveKind = 201;
inline bool MotionHoldsItsPlace(int32_t kind, int32_t duration) {
  return kind != 0 && kind != kMotionMoveKind && duration >= 1;
}
