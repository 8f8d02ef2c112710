// XGLayer: flattening a node with its children into a picture, and the
// transitions between two flattened looks. Main thread, outside the frame's
// device scene (flattening renders into textures of its own).
#include <algorithm>
#include <cstdint>

#include "app/log.h"
#include "app/screen_flags.h"
#include "app/timer.h"
#include "gdev/texture_manager.h"
#include "scene/render_to_texture.h"
#include "scene/xg_layer_node.h"

namespace {

// Kind 12: a pixel changes once the transition's progress passes its rule
// grey level, fading in over this share of the grey range, so t = 0 shows
// the before image everywhere and t = 1 the after image everywhere.
constexpr float kRuleSoftBand = 1.0f / 16.0f;

// A render over transparent black holds premultiplied colour; pictures
// (VRAM pictures, captures written to files) hold straight alpha.
void Unpremultiply(RGBAImageRef* image) {
  RGBAImage* pixels = image->getWA();
  if (!pixels) return;
  for (size_t i = 0; i + 3 < pixels->pixels.size(); i += 4) {
    uint8_t* p = &pixels->pixels[i];
    const int32_t a = p[3];
    if (a == 0 || a == 255) continue;
    for (int32_t c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(std::min(255, (p[c] * 255 + a / 2) / a));
  }
}

bool IsRunningKind(int32_t kind) { return kind == 10 || kind == 11 || kind == 12 || (kind >= 20 && kind <= 24); }

}  // namespace

bool XGLayer::renderInto(ZEPTextureRef* texture, RGBAImageRef* captured) {
  if (!*texture || (*texture)->width() != width() || (*texture)->height() != height()) {
    GetTextureManager().createBlank(*texture, width(), height(), 1, 3);
  }
  if (!*texture) return false;
  return RenderToTexture(this, texture, captured != nullptr, captured, 0);
}

bool XGLayer::fold_all(int32_t target, RGBAImageRef* out) {
  LogWrite(LOG_TRACE, u"XGLayer::fold_all(%p)\n", static_cast<const void*>(this));
  switch (target) {
    case -2:
    case -3: {
      // A new texture each time: the one kept before may still be drawn.
      ZEPTextureRef& kept = target == -2 ? before_ : after_;
      kept.reset();
      prepareDraw(0);
      return renderInto(&kept, nullptr);
    }
    case -4: {
      if (transitionState_ == kRunning) finishTransition();
      prepareDraw(0);
      ZEPTextureRef scratch;
      RGBAImageRef image;
      const bool ok = renderInto(&scratch, &image) && image;
      if (ok) Unpremultiply(&image);
      if (out) *out = ok ? image : RGBAImageRef();
      return ok;
    }
    default:
      return false;
  }
}

int32_t XGLayer::startTransition(int32_t kind, int32_t duration, int32_t parameter, LayerPictureRef rule,
                                 const int32_t values[8]) {
  std::copy(values, values + 8, transitionValues_);
  // Kind 13 needs a device capability ours does not report; it, unknown
  // kinds, a rule transition without a rule picture and a duration below 1
  // change at once.
  if (!IsRunningKind(kind) || duration < 1 || (kind == 12 && !rule)) {
    finishTransition();
    return 0;
  }
  transitionState_ = kRunning;
  transitionKind_ = kind;
  transitionDuration_ = duration;
  transitionParameter_ = parameter;
  transitionT_ = 0.0f;
  transitionStartPending_ = true;
  rule_ = PictureSlot();
  rule_.picture = std::move(rule);
  if (rule_.picture && rule_.picture->isAnime()) {
    // A rule animation spans the whole transition.
    rule_.player.setAnime(rule_.picture->anime);
    rule_.player.setLoop(false);
    rule_.player.setPlayDuration(duration);
  }
  markWholeScreen();
  return 1;
}

void XGLayer::finishTransition() {
  transitionState_ = kShown;
  transitionKind_ = 0;
  transitionT_ = 0.0f;
  transitionStartPending_ = false;
  before_.reset();
  after_.reset();
  rule_ = PictureSlot();
  ruleAlpha_.reset();
  markWholeScreen();
}

void XGLayer::advanceTransition(int64_t now) {
  if (transitionState_ != kRunning) return;
  if (transitionStartPending_) {
    transitionStart_ = now;
    transitionStartPending_ = false;
    if (rule_.picture && rule_.picture->isAnime()) rule_.player.start(now, 0);
  }
  const int64_t elapsed = std::max<int64_t>(now - transitionStart_, 0);
  if (elapsed >= transitionDuration_) {
    finishTransition();
    return;
  }
  transitionT_ = static_cast<float>(static_cast<double>(elapsed) / transitionDuration_);
  if (rule_.picture && rule_.picture->isAnime()) rule_.player.update(now);
  markWholeScreen();
}

void XGLayer::refreshRule() {
  ZEPTexture* rule = rule_.texture();
  if (!rule || !rule->image()) return;
  const RGBAImage* grey = rule->image().get();
  if (!ruleAlpha_ || ruleAlpha_->width() != grey->width || ruleAlpha_->height() != grey->height) {
    GetTextureManager().createBlank(ruleAlpha_, grey->width, grey->height, 1, 3);
    if (!ruleAlpha_) return;
  }
  uint8_t alphaOf[256];
  const float edge = transitionT_ * (1.0f + kRuleSoftBand);
  for (int32_t level = 0; level < 256; ++level) {
    const float a = std::clamp((edge - static_cast<float>(level) / 255.0f) / kRuleSoftBand, 0.0f, 1.0f);
    alphaOf[level] = static_cast<uint8_t>(a * 255.0f + 0.5f);
  }
  RGBAImage* out = ruleAlpha_->image().getWA();
  if (!out) return;
  const size_t count = static_cast<size_t>(grey->width) * static_cast<size_t>(grey->height);
  const uint8_t* in = grey->pixels.data();
  uint8_t* dst = out->pixels.data();
  for (size_t i = 0; i < count; ++i, in += 4, dst += 4) {
    const int32_t level = (in[0] + in[1] + in[2]) / 3;
    dst[0] = dst[1] = dst[2] = 255;
    dst[3] = alphaOf[level];
  }
  ruleAlpha_->bumpRevision();
}

void XGLayer::drawTransition() {
  const int32_t w = width();
  const int32_t h = height();
  const GDevRect whole{0, 0, w, h};
  const GDevUV all{0.0f, 0.0f, 1.0f, 1.0f};
  const int32_t blend = composition_ == 1 ? GDEV_BLEND_NORMAL : GDEV_BLEND_ADD;
  ZEPTexture* before = before_.get();
  ZEPTexture* after = after_.get();
  const float t = transitionT_;
  const float e = transitionKind_ == 11 || transitionKind_ == 12 ? t : EaseProgress(transitionParameter_, t);
  // Both images are flattened renders: premultiplied.
  auto image = [&](ZEPTexture* texture, const GDevRect& rect, float alpha) {
    if (!texture || alpha <= 0.0f) return;
    if (alpha >= 1.0f) {
      DrawTextureRectI(rect, all, texture, blend, 0, 1);
    } else {
      const float color[4] = {alpha, alpha, alpha, alpha};
      DrawTextureRectColored(rect, all, color, texture, blend, 0, 1);
    }
  };
  const auto shift = [&](int64_t dx, int64_t dy) {
    return GDevRect{static_cast<int32_t>(dx), static_cast<int32_t>(dy), static_cast<int32_t>(dx + w),
                    static_cast<int32_t>(dy + h)};
  };
  const int64_t ox = static_cast<int64_t>(static_cast<float>(w) * e);
  const int64_t oy = static_cast<int64_t>(static_cast<float>(h) * e);
  switch (transitionKind_) {
    case 10:
      if (before && after) {
        DrawCrossFade(whole, all, whole, all, before, after, e, blend, 0);
      } else {
        image(after ? after : before, whole, 1.0f);
      }
      break;
    case 11:
      // The after image comes in over the first half, then the before image
      // goes out under it.
      image(before, whole, std::min(2.0f * (1.0f - t), 1.0f));
      image(after, whole, std::min(2.0f * t, 1.0f));
      break;
    case 12:
      if (before && after && ruleAlpha_) {
        DrawRuleFade(whole, all, whole, all, whole, all, before, after, ruleAlpha_.get(), blend, 0);
      } else {
        image(before, whole, 1.0f);
      }
      break;
    // 20..23 push the after image in from the left, the right, the top and
    // the bottom, the before image going out ahead of it.
    case 20:
      image(before, shift(ox, 0), 1.0f);
      image(after, shift(ox - w, 0), 1.0f);
      break;
    case 21:
      image(before, shift(-ox, 0), 1.0f);
      image(after, shift(w - ox, 0), 1.0f);
      break;
    case 22:
      image(before, shift(0, oy), 1.0f);
      image(after, shift(0, oy - h), 1.0f);
      break;
    case 23:
      image(before, shift(0, -oy), 1.0f);
      image(after, shift(0, h - oy), 1.0f);
      break;
    case 24: {
      // The after image grows from the centre over the before image.
      image(before, whole, 1.0f);
      const int32_t x0 = static_cast<int32_t>((w - ox) / 2);
      const int32_t y0 = static_cast<int32_t>((h - oy) / 2);
      image(after, GDevRect{x0, y0, static_cast<int32_t>(x0 + ox), static_cast<int32_t>(y0 + oy)}, 1.0f);
      break;
    }
    default:
      image(after, whole, 1.0f);
      break;
  }
}
