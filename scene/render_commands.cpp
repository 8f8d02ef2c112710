// What each render command does to the table and to the layer nodes when
// its queue is committed. Main thread.
#include "scene/render_commands.h"

#include <algorithm>
#include <cmath>

#include "gdev/gdev.h"
#include "gdev/image_ops.h"
#include "scene/scene_facade.h"

namespace {

// The node of an entry of a table bound to the screen, or -1.
int32_t NodeOf(const LayerTable& table, int32_t node) { return table.boundToScreen() ? node : -1; }

template <class Entry>
void SetMaskPicture(const LayerTable& table, Entry& e, int32_t picture, int32_t edge) {
  if (picture >= 0) {
    e.maskPictureNo = picture;
    e.maskPictureEdge = edge;
  } else {
    e.maskPictureNo = -1;
  }
  e.maskSACtrl = -1;
  e.maskSALoop = true;
  const int32_t node = NodeOf(table, e.node);
  if (node < 0) return;
  sceneLayer_setPicture(node, 2, e.maskPictureNo);
  sceneLayer_loopFlagMask(node, true);
  sceneLayer_motion(node, 0, 0, 0, e.motionParams);
}

// The VRAM picture of the layer, fetched from its node before the first
// change.
RGBAImageRef* VramOf(const LayerTable& table, LayerEntry& layer) {
  const int32_t node = NodeOf(table, layer.node);
  if (!layer.vramImage && node >= 0) sceneLayer_vramRecordOp(node, &layer.vramImage);
  return layer.vramImage ? &layer.vramImage : nullptr;
}

void RefreshVram(const LayerTable& table, const LayerEntry& layer) {
  const int32_t node = NodeOf(table, layer.node);
  if (node >= 0) sceneLayer_vramNodeOp(node);
}

int32_t Round(float v) { return static_cast<int32_t>(std::floor(v + 0.5f)); }

}  // namespace

template <int Variant>
void RCSetMaskOp<Variant>::apply(LayerTable& table, int32_t group) {
  auto set = [&](auto& e) {
    e.maskOp = op_;
    if (const int32_t node = NodeOf(table, e.node); node >= 0) sceneLayer_setMaskOp(node, op_);
  };
  if constexpr (Variant == 1) {
    if (LayerEntry* layer = table.findLayer(target())) set(*layer);
  } else if (GroupEntry* g = table.findGroup(group)) {
    set(*g);
  }
}

template <int Variant>
void RCSetMaskPicture<Variant>::apply(LayerTable& table, int32_t group) {
  if constexpr (Variant == 1) {
    if (LayerEntry* layer = table.findLayer(target())) SetMaskPicture(table, *layer, picture_, edge_);
  } else if (GroupEntry* g = table.findGroup(group)) {
    SetMaskPicture(table, *g, picture_, edge_);
  }
}

void RCSingleSetPicture::apply(LayerTable& table, int32_t) {
  LayerEntry* layer = table.findLayer(target());
  if (!layer) return;
  if (picture_ >= 0) {
    layer->mainPictureNo = picture_;
    layer->mainSACtrl = -1;
    layer->mainSALoop = true;
  } else {
    layer->mainPictureNo = -1;
  }
  const int32_t node = NodeOf(table, layer->node);
  if (node < 0) return;
  sceneLayer_setPicture(node, 1, layer->mainPictureNo);
  sceneLayer_loopFlagMain(node, true);
  sceneLayer_motion(node, 0, 0, 0, layer->motionParams);
}

void RCVramClear::apply(LayerTable& table, int32_t) {
  LayerEntry* layer = table.findLayer(target());
  if (!layer) return;
  if (RGBAImageRef* image = VramOf(table, *layer)) {
    auto byte = [](int32_t v) { return std::clamp(v, 0, 255); };
    FillImage(*image, byte(color_[0]), byte(color_[1]), byte(color_[2]), byte(color_[3]));
    RefreshVram(table, *layer);
  }
}

void RCVramDrawPicture::apply(LayerTable& table, int32_t) {
  LayerEntry* layer = table.findLayer(target());
  if (!layer) return;
  RGBAImageRef* image = VramOf(table, *layer);
  if (image && DrawPictureIntoVram(*image, record_)) RefreshVram(table, *layer);
}

void RCVramModify::apply(LayerTable& table, int32_t) {
  LayerEntry* layer = table.findLayer(target());
  if (!layer) return;
  if (RGBAImageRef* image = VramOf(table, *layer)) {
    ApplyColorFilter(*image, record_[0]);
    RefreshVram(table, *layer);
  }
}

namespace {

// Where a stream-animation setting (control or loop flag) is kept and sent.
template <class Value>
struct AnimeSetting {
  Value LayerEntry::*layerMain;
  Value LayerEntry::*layerMask;
  Value GroupEntry::*groupMask;
  bool (*main)(int32_t handle, Value value);
  bool (*mask)(int32_t handle, Value value);
};

const AnimeSetting<int32_t> kControl{&LayerEntry::mainSACtrl, &LayerEntry::maskSACtrl, &GroupEntry::maskSACtrl,
                                     sceneLayer_saCtrlMain, sceneLayer_saCtrlMask};
const AnimeSetting<bool> kLoopFlag{&LayerEntry::mainSALoop, &LayerEntry::maskSALoop, &GroupEntry::maskSALoop,
                                   sceneLayer_loopFlagMain, sceneLayer_loopFlagMask};

// The setting goes to whichever picture of the layer (mask first) or of the
// group (its mask only) is the command's; any other picture changes nothing.
template <int Variant, class Value>
void ApplyAnimeSetting(LayerTable& table, int32_t layerNo, int32_t groupNo, int32_t picture, Value value,
                       const AnimeSetting<Value>& setting) {
  if (picture < 0) return;
  if constexpr (Variant == 1) {
    LayerEntry* layer = table.findLayer(layerNo);
    if (!layer) return;
    const int32_t node = NodeOf(table, layer->node);
    if (picture == layer->maskPictureNo) {
      layer->*setting.layerMask = value;
      if (node >= 0) setting.mask(node, value);
    } else if (picture == layer->mainPictureNo) {
      layer->*setting.layerMain = value;
      if (node >= 0) setting.main(node, value);
    }
  } else if (GroupEntry* g = table.findGroup(groupNo); g && picture == g->maskPictureNo) {
    // Kept in the group's record as well, so that a save carries it.
    g->*setting.groupMask = value;
    if (const int32_t node = NodeOf(table, g->node); node >= 0) setting.mask(node, value);
  }
}

}  // namespace

template <int Variant>
void RCSACtrl<Variant>::apply(LayerTable& table, int32_t group) {
  ApplyAnimeSetting<Variant>(table, target(), group, picture_, ctrl_, kControl);
}

template <int Variant>
void RCSALoopFlag<Variant>::apply(LayerTable& table, int32_t group) {
  ApplyAnimeSetting<Variant>(table, target(), group, picture_, flag_, kLoopFlag);
}

namespace {

// The layer's extent under a record, from its main picture.
bool ExtentOf(const LayerEntry& layer, const MotionParams& record, GDevRect* extent) {
  return sceneLayer_placementExtent(extent, layer.mainPictureNo, record);
}

// Moves and scales every member of the group by the change of the
// reference layer's rectangle.
void MoveMembers(LayerTable& table, GroupEntry& group, int32_t referenceNo, int32_t kind, int32_t duration,
                 int32_t parameter, int32_t mask, const MotionParams& record) {
  const bool keep = !MotionHoldsItsPlace(kind, duration);
  LayerEntry* reference = table.findLayer(referenceNo);
  // The layer the script named; once it has left, the first member.
  if (!reference || reference->groupNo != group.no) {
    reference = group.members.empty() ? nullptr : table.findLayer(group.members.front());
  }
  if (!reference) return;
  const MotionParams updated = MergeMotionParams(reference->motionParams, record, mask);
  const MotionParams& now = reference->motionParams;
  if (updated.ix == now.ix && updated.iy == now.iy && updated.iw == now.iw && updated.ih == now.ih) return;
  GDevRect before;
  GDevRect after;
  if (!ExtentOf(*reference, now, &before) || !ExtentOf(*reference, updated, &after)) return;
  const float oldWidth = static_cast<float>(int64_t{before.x1} - before.x0);
  const float oldHeight = static_cast<float>(int64_t{before.y1} - before.y0);
  if (oldWidth == 0.0f || oldHeight == 0.0f) return;
  const float sx = static_cast<float>(int64_t{after.x1} - after.x0) / oldWidth;
  const float sy = static_cast<float>(int64_t{after.y1} - after.y0) / oldHeight;
  const float ox = static_cast<float>(after.x0) - sx * static_cast<float>(before.x0);
  const float oy = static_cast<float>(after.y0) - sy * static_cast<float>(before.y0);
  std::vector<LayerEntry*> order;
  for (const int32_t no : group.members) {
    if (LayerEntry* member = table.findLayer(no); member && member != reference) order.push_back(member);
  }
  order.push_back(reference);
  for (LayerEntry* member : order) {
    GDevRect extent;
    if (!ExtentOf(*member, member->motionParams, &extent)) continue;
    const int32_t x = Round(static_cast<float>(extent.x0) * sx + ox);
    const int32_t y = Round(static_cast<float>(extent.y0) * sy + oy);
    const int32_t w = static_cast<int32_t>(static_cast<float>(int64_t{extent.x1} - extent.x0) * sx);
    const int32_t h = static_cast<int32_t>(static_cast<float>(int64_t{extent.y1} - extent.y0) * sy);
    MotionParams moved = member->motionParams;
    sceneLayer_placementInverse(&moved, member->mainPictureNo, moved.mainSwitch,
                                GDevRect{x, y, static_cast<int32_t>(int64_t{x} + w), static_cast<int32_t>(int64_t{y} + h)});
    if (keep) member->motionParams = moved;
    if (const int32_t node = NodeOf(table, member->node); node >= 0) {
      sceneLayer_motion(node, kind, duration, parameter, moved);
    }
  }
}

}  // namespace

template <int Variant>
void RCMotion<Variant>::apply(LayerTable& table, int32_t group) {
  if constexpr (Variant == 1) {
    LayerEntry* layer = table.findLayer(target());
    if (!layer) return;
    const int32_t node = NodeOf(table, layer->node);
    if (motionKind_ < 0) {
      if (node >= 0) sceneLayer_stopAnimator(node);
      return;
    }
    const MotionParams moved = MergeMotionParams(layer->motionParams, record_, mask_);
    if (!MotionHoldsItsPlace(motionKind_, duration_)) layer->motionParams = moved;
    if (node >= 0) sceneLayer_motion(node, motionKind_, duration_, parameter_, moved);
  } else {
    GroupEntry* g = table.findGroup(group);
    if (!g) return;
    const int32_t node = NodeOf(table, g->node);
    if (motionKind_ < 0) {
      if (node >= 0) sceneLayer_stopAnimator(node);
      return;
    }
    MoveMembers(table, *g, reference_, motionKind_, duration_, parameter_, mask_, record_);
    // The members' rectangles moved on their own; the group keeps its own.
    const MotionParams moved = MergeMotionParams(g->motionParams, record_, mask_ & ~0x6);
    if (!MotionHoldsItsPlace(motionKind_, duration_)) g->motionParams = moved;
    if (node >= 0) sceneLayer_motion(node, motionKind_, duration_, parameter_, moved);
  }
}

template <int Variant>
void RCEffect<Variant>::apply(LayerTable& table, int32_t group) {
  int32_t node = -1;
  if constexpr (Variant == 1) {
    if (LayerEntry* layer = table.findLayer(target())) node = NodeOf(table, layer->node);
  } else if (GroupEntry* g = table.findGroup(group)) {
    node = NodeOf(table, g->node);
  }
  if (node < 0) return;
  if (effectKind_ < 0) {
    sceneLayer_stopAnimator(node);
  } else {
    sceneLayer_effect(node, effectKind_, duration_, parameter_, values_);
  }
}

template <int Variant>
void RCVisible<Variant>::apply(LayerTable& table, int32_t group) {
  auto set = [&](auto& e) {
    e.visible = on_;
    if (const int32_t node = NodeOf(table, e.node); node >= 0) sceneLayer_setVisible(node, on_);
  };
  if constexpr (Variant == 1) {
    if (LayerEntry* layer = table.findLayer(target())) set(*layer);
  } else if (GroupEntry* g = table.findGroup(group)) {
    set(*g);
  }
}

template class RCSetMaskOp<1>;
template class RCSetMaskOp<2>;
template class RCSetMaskPicture<1>;
template class RCSetMaskPicture<2>;
template class RCSACtrl<1>;
template class RCSACtrl<2>;
template class RCSALoopFlag<1>;
template class RCSALoopFlag<2>;
template class RCMotion<1>;
template class RCMotion<2>;
template class RCEffect<1>;
template class RCEffect<2>;
template class RCVisible<1>;
template class RCVisible<2>;

bool DrawPictureIntoVram(RGBAImageRef& image, const VramDrawRecord& r) {
  RGBAImageRef picture;
  if (!sceneLayer_getPictureImage(r[0], &picture) || !picture || !image) return false;
  const RGBAImage* source = picture.get();
  // The source rectangle, within the picture.
  int64_t sx0 = 0, sy0 = 0, sx1 = source->width, sy1 = source->height;
  if (r[5] >= 0) {
    sx0 = std::clamp<int64_t>(r[5], 0, source->width);
    sy0 = std::clamp<int64_t>(r[6], 0, source->height);
    sx1 = std::clamp<int64_t>(int64_t{r[5]} + r[7], sx0, source->width);
    sy1 = std::clamp<int64_t>(int64_t{r[6]} + r[8], sy0, source->height);
  }
  const int64_t sw = sx1 - sx0;
  const int64_t sh = sy1 - sy0;
  if (sw < 1 || sh < 1) return true;
  const int64_t dw = r[3] < 1 || r[4] < 1 ? sw : r[3];
  const int64_t dh = r[3] < 1 || r[4] < 1 ? sh : r[4];
  RGBAImage* target = image.getWA();
  if (!target) return false;
  // Only the part of the destination on the image is visited.
  const int64_t x0 = std::max<int64_t>(r[1], 0);
  const int64_t y0 = std::max<int64_t>(r[2], 0);
  const int64_t x1 = std::min<int64_t>(int64_t{r[1]} + dw, target->width);
  const int64_t y1 = std::min<int64_t>(int64_t{r[2]} + dh, target->height);
  const bool over = r[9] == 1;
  int32_t multiplier[4];  // blue, green, red, alpha
  const int32_t order[4] = {13, 12, 11, 14};
  for (int32_t c = 0; c < 4; ++c) multiplier[c] = std::clamp(r[static_cast<size_t>(order[c])], 0, 255);
  for (int64_t y = y0; y < y1; ++y) {
    const int64_t py = sy0 + (y - r[2]) * sh / dh;
    uint8_t* out = target->pixel(static_cast<int32_t>(x0), static_cast<int32_t>(y));
    for (int64_t x = x0; x < x1; ++x, out += 4) {
      const int64_t px = sx0 + (x - r[1]) * sw / dw;
      const uint8_t* in = source->pixel(static_cast<int32_t>(px), static_cast<int32_t>(py));
      int32_t s[4];
      for (int32_t c = 0; c < 4; ++c) s[c] = in[c] * multiplier[c] / 255;
      if (!over) {
        for (int32_t c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(s[c]);
        continue;
      }
      const int32_t a = s[3];
      for (int32_t c = 0; c < 3; ++c) out[c] = static_cast<uint8_t>((s[c] * a + out[c] * (255 - a)) / 255);
      out[3] = static_cast<uint8_t>(a + out[3] * (255 - a) / 255);
    }
  }
  return true;
}
