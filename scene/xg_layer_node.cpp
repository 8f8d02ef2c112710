// XGLayer: pictures, drawing, placement, the animator and VRAM pictures.
// Transitions and flattening are in xg_layer_transition.cpp, pointer input
// in xg_layer_mouse.cpp. Main thread.
#include "scene/xg_layer_node.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/log.h"
#include "app/screen_flags.h"
#include "app/saturate.h"
#include "app/timer.h"
#include "gdev/texture_manager.h"
#include "scene/xg_layer.h"

namespace {

// Animator kinds: 201 moves to the target, 101 shakes about the start; any
// other kind holds the start. The shake steps every 40 ms.
constexpr int32_t kMoveKind = kMotionMoveKind;
constexpr int32_t kShakeKind = 101;
constexpr int64_t kShakeStep = 40;

bool IsWhite(const PlaneState& p) { return p.r >= 1.0f && p.g >= 1.0f && p.b >= 1.0f && p.a >= 1.0f; }

int32_t BlendOf(int32_t composition) { return composition == 1 ? GDEV_BLEND_NORMAL : GDEV_BLEND_ADD; }

GDevRect RectOf(const PlaneState& p) { return GDevRect{p.x0, p.y0, p.x1, p.y1}; }
GDevUV RegionOf(const PlaneState& p) { return GDevUV{p.s0, p.t0, p.s1, p.t1}; }

}  // namespace

bool LayerPicture::isAnime() const { return type == XG_Layer::kStreamAnime; }

ZEPTexture* LayerPicture::firstTexture() const {
  if (!isAnime()) return image.get();
  if (!anime || anime->frames.empty()) return nullptr;
  return anime->frames.front().texture.get();
}

int32_t LayerPicture::width() const {
  const ZEPTexture* texture = firstTexture();
  return texture ? texture->width() : 0;
}

int32_t LayerPicture::height() const {
  const ZEPTexture* texture = firstTexture();
  return texture ? texture->height() : 0;
}

ZEPTexture* XGLayer::PictureSlot::texture() const {
  if (!picture) return nullptr;
  if (!picture->isAnime()) return picture->image.get();
  return player.currentTexture();
}

XGLayer::XGLayer(int32_t handle, int32_t mode, int32_t order, int32_t width, int32_t height)
    : handle_(handle), mode_(mode), order_(order) {
  setBounds(0, 0, width, height);
  state_ = placeRecord(record_);
}

XGLayer::~XGLayer() {
  LogWrite(LOG_TRACE, u"XGLayer---------delete---------(%p)\n", static_cast<const void*>(this));
  releaseCursor();
}

// --- pictures ---

void XGLayer::setComposition(int32_t op) {
  composition_ = isGroup() ? 1 : op;
  markWholeScreen();
}

void XGLayer::setPicture(int32_t which, LayerPictureRef picture) {
  PictureSlot& s = slot(which);
  s.picture = std::move(picture);
  const bool anime = s.picture && s.picture->isAnime();
  s.player.setAnime(anime ? s.picture->anime : StreamAnimeRef());
  // A new animation plays from its start.
  s.pendingCtrl = anime ? 3 : 0;
  s.pendingPosition = 0;
  if (animKind_ == 0) state_ = placeRecord(record_);
  markWholeScreen();
}

void XGLayer::sa_ctrl(int32_t which, int32_t ctrl) {
  if (which == kMain) LogWrite(LOG_TRACE, u"(%p)XGLayer::sa_ctrl(reverve) : ctrl:%d\n", static_cast<const void*>(this), ctrl);
  PictureSlot& s = slot(which);
  if (ctrl == 2 || ctrl == 3) {
    s.pendingCtrl = ctrl;
    s.pendingPosition = 0;
  } else {
    s.pendingCtrl = 1;
    s.pendingPosition = s.player.position(GetTimerManager()->now());
  }
}

void XGLayer::setLoopFlag(int32_t which, bool on) { slot(which).player.setLoop(on); }

bool XGLayer::loopFlag(int32_t which) const { return slot(which).player.loop(); }

int32_t XGLayer::currentFrame(int32_t which) const { return slot(which).player.currentFrame(); }

void XGLayer::advancePictures(int64_t now) {
  for (PictureSlot* s : {&main_, &mask_}) {
    if (!s->picture || !s->picture->isAnime()) continue;
    if (s->pendingCtrl == 2) {
      s->player.stop();
    } else if (s->pendingCtrl != 0) {
      s->player.start(now, s->pendingPosition);
    }
    s->pendingCtrl = 0;
    const int32_t before = s->player.currentFrame();
    if (s->player.update(now) != before) markWholeScreen();
  }
}

// --- placement ---

LayerDrawState XGLayer::placeRecord(const MotionParams& record) const {
  const PictureSlot& m = main_;
  int32_t mainWidth = 1;
  int32_t mainHeight = 1;
  if (mode_ == kVram && vram_) {
    mainWidth = vram_->width();
    mainHeight = vram_->height();
  } else if (m.picture) {
    mainWidth = m.picture->width();
    mainHeight = m.picture->height();
  }
  const int32_t maskWidth = mask_.picture ? mask_.picture->width() : 1;
  const int32_t maskHeight = mask_.picture ? mask_.picture->height() : 1;
  if (mode_ == kPicture || mode_ == kVram) {
    return PlaceRecord(record, mainWidth, mainHeight, maskWidth, maskHeight, width(), height());
  }
  // MOUSE nodes and groups cover the node with the whole picture.
  MotionParams covering = record;
  covering.mainSwitch = 0;
  covering.ix = covering.iy = 0;
  covering.iw = width();
  covering.ih = height();
  covering.tx = -1;
  return PlaceRecord(covering, 1, 1, maskWidth, maskHeight, width(), height());
}

GDevRect XGLayer::placementExtent(int32_t pictureWidth, int32_t pictureHeight, const MotionParams& r) const {
  GDevRect rect;
  GDevUV uv;
  PlacePicture(PlacementInput{r.mainSwitch, pictureWidth > 0 ? pictureWidth : 1, pictureHeight > 0 ? pictureHeight : 1,
                              width(), height(), r.ix, r.iy, r.iw, r.ih, r.tx, r.ty, r.tw, r.th},
               &rect, &uv);
  return rect;
}

// --- drawing ---

bool XGLayer::drawnOffscreen() const { return isGroup() && (!IsWhite(state_.main) || mask_.picture != nullptr); }

void XGLayer::paint(int32_t) {
  if (!isVisible()) return;
  if (transitionState_ == kRunning) {
    drawTransition();
    return;
  }
  if (isGroup()) {
    if (paintChildrenOnly_ || !drawnOffscreen()) {
      GUIComposite::paint(0);
    } else if (offscreen_) {
      drawPicture(offscreen_.get(), true);
    }
    return;
  }
  if (mode_ == kMouse) return;
  ZEPTexture* texture = mode_ == kVram ? vram_.get() : main_.texture();
  if (texture) drawPicture(texture, false);
}

void XGLayer::drawPicture(ZEPTexture* texture, bool premultiplied) {
  const GDevRect rect = RectOf(state_.main);
  const GDevUV uv = RegionOf(state_.main);
  const int32_t blend = BlendOf(composition_);
  const PlaneState& c = state_.main;
  const float alpha = std::clamp(c.a, 0.0f, 1.0f);
  if (ZEPTexture* mask = mask_.texture()) {
    // Masked drawing blends straight alpha: an offscreen picture keeps its
    // opaque pixels right this way (its translucent ones come out darker).
    const float straight[4] = {c.r, c.g, c.b, alpha};
    // The mask multiplies the picture; its region is what of it falls on
    // the main rectangle, its edge pixels held beyond its own rectangle.
    const PlaneState& m = state_.mask;
    const float mw = static_cast<float>(int64_t{m.x1} - m.x0);
    const float mh = static_cast<float>(int64_t{m.y1} - m.y0);
    if (mw == 0.0f || mh == 0.0f) return;
    auto u = [&](int32_t x) { return m.s0 + (static_cast<float>(int64_t{x} - m.x0) / mw) * (m.s1 - m.s0); };
    auto v = [&](int32_t y) { return m.t0 + (static_cast<float>(int64_t{y} - m.y0) / mh) * (m.t1 - m.t0); };
    const GDevUV maskUV{u(rect.x0), v(rect.y0), u(rect.x1), v(rect.y1)};
    DrawTexture2RectEx(rect, uv, maskUV, texture, mask, straight, blend, 0);
    return;
  }
  // A premultiplied picture (rendered offscreen) takes its tint premultiplied.
  const float k = premultiplied ? alpha : 1.0f;
  const float color[4] = {c.r * k, c.g * k, c.b * k, alpha};
  if (IsWhite(c)) {
    DrawTextureRectI(rect, uv, texture, blend, 0, premultiplied ? 1 : 0);
  } else {
    DrawTextureRectColored(rect, uv, color, texture, blend, 0, premultiplied ? 1 : 0);
  }
}

bool XGLayer::prepareDraw(int32_t arg) {
  if (isGroup()) {
    if (!GUIComposite::prepareDraw(arg)) return false;
    if (drawnOffscreen() && transitionState_ != kRunning) {
      paintChildrenOnly_ = true;
      renderInto(&offscreen_, nullptr);
      paintChildrenOnly_ = false;
    }
  }
  if (transitionState_ == kRunning && transitionKind_ == 12) refreshRule();
  return true;
}

// --- animator ---

void XGLayer::startMotion(int32_t kind, int32_t duration, int32_t parameter, const MotionParams& record) {
  if (animKind_ != 0) stopAnimator();
  // A motion that holds the layer leaves the record it is placed by.
  if (!MotionHoldsItsPlace(kind, duration)) record_ = record;
  const LayerDrawState target = placeRecord(record);
  markWholeScreen();
  if (kind == 0 || duration < 1) {
    state_ = target;
    return;
  }
  beginAnimation(kind, duration, parameter, target);
}

void XGLayer::beginAnimation(int32_t kind, int32_t duration, int32_t parameter, const LayerDrawState& target) {
  animKind_ = kind;
  animDuration_ = duration;
  animParameter_ = parameter;
  animFrom_ = state_;
  animTo_ = target;
  animStartPending_ = true;
  // Only an effect gives a shake its amplitude.
  shakeX_ = shakeY_ = 0;
  nextShakeTime_ = 0;
  shakeNegative_ = true;
}

void XGLayer::startEffect(int32_t kind, int32_t duration, int32_t parameter, const int32_t values[8]) {
  if (animKind_ != 0) stopAnimator();
  if (kind == 0 || duration < 1) return;
  beginAnimation(kind, duration, parameter, state_);
  if (kind == kShakeKind) {
    // Directions other than the eight keypad ones do not move.
    int32_t dx = 0;
    int32_t dy = 0;
    KeypadDirection(values[0], &dx, &dy);
    shakeX_ = SaturateToInt32(int64_t{dx} * values[1]);
    shakeY_ = SaturateToInt32(int64_t{dy} * values[1]);
  }
}

void XGLayer::stopAnimator() {
  if (animKind_ == 0) return;
  state_ = animKind_ == kMoveKind ? animTo_ : animFrom_;
  animKind_ = 0;
  animDuration_ = 0;
  markWholeScreen();
}

namespace {

// One shake amplitude at progress t: shrinking as (1 - t)^3, at least one
// pixel while it runs.
int64_t ShakeOffset(int32_t amplitude, float t) {
  const double f = 1.0 - static_cast<double>(t);
  int64_t offset = static_cast<int64_t>(static_cast<double>(amplitude) * f * f * f);
  if (offset == 0 && amplitude != 0 && t > 0.0f) offset = amplitude > 0 ? 1 : -1;
  return offset;
}

}  // namespace

void XGLayer::advanceAnimator(int64_t now) {
  if (animKind_ == 0) return;
  if (animStartPending_) {
    animStart_ = now;
    animStartPending_ = false;
  }
  const int64_t elapsed = std::max<int64_t>(now - animStart_, 0);
  if (elapsed >= animDuration_) {
    stopAnimator();
    return;
  }
  const float t = static_cast<float>(static_cast<double>(elapsed) / animDuration_);
  markWholeScreen();
  if (animKind_ == kMoveKind) {
    const float e = t <= 0.0f ? 0.0f : EaseProgress(animParameter_, t);
    LerpFull(state_.main, animFrom_.main, animTo_.main, e);
    LerpRectRegion(state_.mask, animFrom_.mask, animTo_.mask, e);
    return;
  }
  if (animKind_ != kShakeKind) {
    state_ = animFrom_;
    return;
  }
  // Each step takes the other side, however many frames were dropped.
  if (elapsed < nextShakeTime_) return;
  nextShakeTime_ = SaturateToInt32(elapsed + kShakeStep);
  const int64_t sign = shakeNegative_ ? -1 : 1;
  shakeNegative_ = !shakeNegative_;
  state_ = animFrom_;
  state_.main.offset(sign * ShakeOffset(shakeX_, t), sign * ShakeOffset(shakeY_, t));
}

bool XGLayer::advance(int64_t now) {
  bool running = false;
  if (isGroup()) {
    for (size_t i = 0; i < children().size(); ++i) {
      if (auto* child = dynamic_cast<XGLayer*>(children()[i])) running |= child->advance(now);
    }
  }
  if (mode_ != kMouse) {
    advancePictures(now);
    advanceAnimator(now);
  }
  advanceTransition(now);
  return running || animKind_ != 0 || transitionState_ == kRunning || main_.player.isPlaying() ||
         mask_.player.isPlaying() || main_.pendingCtrl != 0 || mask_.pendingCtrl != 0;
}

// --- VRAM ---

void XGLayer::vramRecordOp(RGBAImageRef* image) {
  if (image && *image) {
    // Take the image itself, so that who holds it draws into this node.
    GetTextureManager().createFromImage(vram_, *image, 1, 3);
  } else {
    if (!vram_) GetTextureManager().createBlank(vram_, width(), height(), 1, 3);
    if (image && vram_) *image = vram_->image();
  }
  if (animKind_ == 0) state_ = placeRecord(record_);
  markWholeScreen();
}

void XGLayer::vramNodeOp() {
  if (!vram_) vramRecordOp(nullptr);
  if (vram_) vram_->bumpRevision();
  markWholeScreen();
}

void XGLayer::vramPut(const RGBAImageRef& image) {
  if (!vram_) vramRecordOp(nullptr);
  if (!vram_ || !image) return;
  RGBAImage* target = vram_->image().getWA();
  const RGBAImage* source = image.get();
  if (!target || !source) return;
  const int32_t w = std::min(target->width, source->width);
  const int32_t h = std::min(target->height, source->height);
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(target->pixel(0, y), source->pixel(0, y), static_cast<size_t>(w) * 4);
  }
  vramNodeOp();
}
