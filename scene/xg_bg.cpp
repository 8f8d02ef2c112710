// XG_BG: the picture changes and their transitions, the flash, the shake,
// the move and the drawing of the two planes.
#include "scene/xg_bg.h"

#include <algorithm>
#include <cmath>

#include "app/screen_flags.h"
#include "gdev/gdev_factory.h"
#include "gdev/texture_manager.h"

namespace {

constexpr int32_t kShakePeriod = 40;  // ms between two shake steps
// The farthest a shake moves the picture, in pixels either way.
constexpr int32_t kShakeLimit = 1 << 24;

bool IsTransition(int32_t kind) {
  return kind == XG_BG::kCrossFade || (kind >= XG_BG::kSlideIn && kind <= XG_BG::kGrowShrink);
}

// A texture with pixels to show; an empty handle or a 0 x 0 image is none.
bool HasPixels(const ZEPTextureRef& picture) { return picture && picture->width() > 0 && picture->height() > 0; }

// The rectangle with one axis or both pressed flat against an edge: dx -1
// the left, +1 the right, dy -1 the top, +1 the bottom; (0, 0) the centre.
void Collapse(PlaneState& plane, int32_t dx, int32_t dy, int32_t w, int32_t h) {
  if (dx == 0 && dy == 0) {
    plane.setRect(w / 2, h / 2, w / 2, h / 2);
    return;
  }
  if (dx != 0) plane.x0 = plane.x1 = dx < 0 ? 0 : w;
  if (dy != 0) plane.y0 = plane.y1 = dy < 0 ? 0 : h;
}

}  // namespace

XG_BG::XG_BG(int32_t width, int32_t height) : timer_(this, &XG_BG::tick) { setBounds(0, 0, width, height); }

void XG_BG::draw() {
  switch (drawMode_) {
    case kAThenB:
      drawPlane(planeA_, pictureA_);
      drawPlane(planeB_, pictureB_);
      break;
    case kBThenA:
      drawPlane(planeB_, pictureB_);
      drawPlane(planeA_, pictureA_);
      break;
    default:
      drawPlane(planeA_, pictureA_);
      break;
  }
}

bool XG_BG::coversOpaquely() const {
  if (drawMode_ != kPlaneA || planeA_.useColor || planeA_.x0 > 0 || planeA_.y0 > 0 || planeA_.x1 < width() ||
      planeA_.y1 < height()) {
    return false;
  }
  if (!HasPixels(pictureA_)) return true;
  const GDevTexture* texture = pictureA_->deviceTexture();
  return texture && texture->samplesOpaque();
}

void XG_BG::drawPlane(const PlaneState& plane, const ZEPTextureRef& picture) {
  const GDevRect rect{plane.x0, plane.y0, plane.x1, plane.y1};
  if (!HasPixels(picture)) {
    // A plane without a picture is filled with its tint, else opaque black.
    const float tint[4] = {plane.r, plane.g, plane.b, plane.a};
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (GDev* device = GDevFactory::device) device->fillRect(rect, plane.useColor ? tint : black, GDEV_BLEND_NORMAL, 0);
    return;
  }
  const GDevUV uv{plane.s0, plane.t0, plane.s1, plane.t1};
  if (plane.useColor) {
    const float color[4] = {plane.r, plane.g, plane.b, plane.a};
    DrawTextureRectColored(rect, uv, color, picture.get(), GDEV_BLEND_NORMAL, 0, 0);
  } else {
    DrawTextureRectI(rect, uv, picture.get(), GDEV_BLEND_NORMAL, 0, 0);
  }
}

void XG_BG::changePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                          int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                          int32_t easing, bool fade, int32_t /*unused*/) {
  finishEffect();
  if (duration < 1) kind = kNone;
  ZEPTextureRef loaded;
  if (GetTextureManager().getTexture(loaded, picture, 1, 3) != 0) loaded.reset();
  duration_ = duration;
  easing_ = easing;

  const bool axisOnly = direction == 2 || direction == 4 || direction == 6 || direction == 8;
  if (!IsTransition(kind) || ((kind == kPush || kind == kGrowShrink) && !axisOnly)) kind = kNone;
  const int32_t w = width();
  const int32_t h = height();

  if (kind == kNone) {
    kind_ = kNone;
    drawMode_ = kPlaneA;
    pictureA_ = std::move(loaded);
    pictureB_.reset();
    planeA_ = PlaneState{};
    planeA_.setRect(0, 0, w, h);
    SetRegionFromSource(planeA_, sourceX, sourceY, sourceWidth, sourceHeight, pictureA_.get());
    target_ = planeA_;
    markWholeScreen();
    return;
  }

  kind_ = kind;
  drawMode_ = kAThenB;
  pictureB_ = std::move(loaded);
  aStart_ = aEnd_ = WithoutColor(planeA_);
  bEnd_ = PlaneState{};
  bEnd_.setRect(0, 0, w, h);
  SetRegionFromSource(bEnd_, sourceX, sourceY, sourceWidth, sourceHeight, pictureB_.get());
  bStart_ = bEnd_;
  int32_t dx = 0;
  int32_t dy = 0;
  KeypadDirection(direction, &dx, &dy);
  switch (kind) {
    case kSlideIn:
    case kPush:
      bStart_.offset(dx * w, dy * h);
      if (kind == kPush) aEnd_.offset(-dx * w, -dy * h);
      break;
    case kGrow:
    case kGrowShrink:
      Collapse(bStart_, dx, dy, w, h);
      if (kind == kGrowShrink) Collapse(aEnd_, -dx, -dy, w, h);
      break;
    default:
      break;
  }
  if (kind == kCrossFade || (fade && (kind == kSlideIn || kind == kGrow))) {
    bStart_.setColor(1.0f, 1.0f, 1.0f, 0.0f);
    bEnd_.setColor(1.0f, 1.0f, 1.0f, 1.0f);
  }
  target_ = bEnd_;
  tick(0.0f);
  target_.useColor = false;
  timer_.duration = duration;
  timer_.start();
}

void XG_BG::startEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) {
  finishEffect();
  if (duration < 1) return;
  if (kind == kFlash) {
    kind_ = kFlash;
    drawMode_ = kAThenB;
    const auto channel = [](int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    pictureB_ = MakeColorTexture(channel(p1), channel(p2), channel(p3), 255);
    planeB_ = PlaneState{};
    planeB_.setRect(0, 0, width(), height());
    planeB_.setColor(1.0f, 1.0f, 1.0f, 0.0f);
  } else if (kind == kShake && p1 >= 1 && p1 <= 9 && p1 != 5) {
    kind_ = kShake;
    drawMode_ = kPlaneA;
    nextShakeTime_ = 0;
    shakeSide_ = false;
    int32_t dx = 0;
    int32_t dy = 0;
    KeypadDirection(p1, &dx, &dy);
    const int32_t magnitude = std::clamp(p2, -kShakeLimit, kShakeLimit);
    shakeX_ = dx * magnitude;
    shakeY_ = dy * magnitude;
  } else {
    return;
  }
  duration_ = duration;
  target_ = WithoutColor(planeA_);
  tick(0.0f);
  timer_.duration = duration;
  timer_.start();
}

void XG_BG::startMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                      int32_t duration, int32_t /*ignored*/, int32_t easing) {
  finishEffect();
  if (duration < 1 || kind == kNone) {
    kind_ = kNone;
    drawMode_ = kPlaneA;
    pictureB_.reset();
    planeA_ = PlaneState{};
    planeA_.setRect(0, 0, width(), height());
    SetRegionFromSource(planeA_, sourceX, sourceY, sourceWidth, sourceHeight, pictureA_.get());
    target_ = planeA_;
    timer_.stop();
    markWholeScreen();
    return;
  }
  if (kind != kMove) return;
  kind_ = kMove;
  duration_ = duration;
  easing_ = easing;
  drawMode_ = kPlaneA;
  planeA_.useColor = false;
  aStart_ = aEnd_ = planeA_;
  SetRegionFromSource(aEnd_, sourceX, sourceY, sourceWidth, sourceHeight, pictureA_.get());
  target_ = aEnd_;
  tick(0.0f);
  timer_.duration = duration;
  timer_.start();
}

void XG_BG::finishEffect() {
  timer_.stop();
  if (IsTransition(kind_) && !(pictureA_ == pictureB_)) pictureA_ = pictureB_;
  planeA_ = target_;
  planeA_.useColor = false;
  planeB_.useColor = false;
  drawMode_ = kPlaneA;
  kind_ = kNone;
  pictureB_.reset();
  markWholeScreen();
}

void XG_BG::tick(float t) {
  if (t >= 1.0f) {
    finishEffect();
    return;
  }
  markWholeScreen();
  if (t == 0.0f && ((kind_ >= 10 && kind_ <= 99) || kind_ == kMove)) {
    planeA_ = aStart_;
    planeB_ = bStart_;
    return;
  }
  const float e = EaseProgress(easing_, t);
  switch (kind_) {
    case kCrossFade:
      LerpFull(planeB_, bStart_, bEnd_, e);
      break;
    case kSlideIn:
    case kGrow:
      if (bStart_.useColor) {
        LerpFull(planeB_, bStart_, bEnd_, e);
      } else {
        LerpRectRegion(planeB_, bStart_, bEnd_, e);
      }
      break;
    case kPush:
    case kGrowShrink:
      LerpRectRegion(planeA_, aStart_, aEnd_, e);
      LerpRectRegion(planeB_, bStart_, bEnd_, e);
      break;
    case kFlash:
      planeB_.setColor(1.0f, 1.0f, 1.0f, t < 0.5f ? 2.0f * t : 2.0f - 2.0f * t);
      break;
    case kShake: {
      const int32_t elapsed = static_cast<int32_t>(static_cast<float>(duration_) * t);
      if (elapsed < nextShakeTime_) break;
      nextShakeTime_ = elapsed + kShakePeriod;
      const double rest = 1.0 - static_cast<double>(t);
      const float f = static_cast<float>(rest * rest * rest);
      int32_t dx = static_cast<int32_t>(static_cast<float>(shakeX_) * f);
      int32_t dy = static_cast<int32_t>(static_cast<float>(shakeY_) * f);
      // However faint the shake has become, it moves by a pixel to its end.
      if (f < 1.0f) {
        if (shakeX_ != 0 && dx == 0) dx = 1;
        if (shakeY_ != 0 && dy == 0) dy = 1;
      }
      if (!shakeSide_) {
        dx = -dx;
        dy = -dy;
      }
      shakeSide_ = !shakeSide_;
      planeA_.setRect(target_.x0, target_.y0, target_.x1, target_.y1);
      planeA_.offset(dx, dy);
      break;
    }
    case kMove:
      LerpRectRegion(planeA_, aStart_, aEnd_, e);
      break;
    default:
      break;
  }
}
