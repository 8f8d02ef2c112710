// XG_FG and its cells: placement by anchor code, the timed picture changes
// and moves of each cell, and the child order that follows the z-order.
// Sizes and offsets come from scripts, so they are worked out in 64 bits and
// held to the 32-bit range before they are stored. Main thread.
#include "scene/xg_fg.h"

#include <algorithm>
#include <iterator>

#include "app/log.h"
#include "app/saturate.h"
#include "app/screen_flags.h"
#include "gdev/texture_manager.h"

namespace {

int32_t ClampOpacity(int32_t v) { return std::clamp<int32_t>(v, 0, 255); }

PlaneState WithColor(PlaneState plane, float alpha) {
  plane.setColor(1.0f, 1.0f, 1.0f, alpha);
  return plane;
}

// One axis of a placement: the anchor puts the start on the layer (0 at its
// start, 1 at its end, 2 at its middle), the origin takes the size off
// (1 all of it, 2 half of it).
void PlaceAxis(int32_t anchor, int32_t origin, int64_t pos, int64_t layerSize, int64_t size, int32_t* start,
               int32_t* end) {
  int64_t v = pos;
  if (anchor == 1) v += layerSize;
  if (anchor == 2) v += layerSize / 2;
  if (origin == 1) v -= size;
  if (origin == 2) v -= size / 2;
  *start = SaturateToInt32(v);
  *end = SaturateToInt32(v + size);
}

// A size mode: 1 scales by the picture's size, 2 by the layer's, in 1024ths.
int64_t ScaledSize(int32_t mode, int32_t size, int64_t pictureSize, int64_t layerSize) {
  if (mode == 1) return pictureSize * size / 1024;
  if (mode == 2) return layerSize * size / 1024;
  return size;
}

bool IsTransition(int32_t kind) {
  return kind == XG_FG::FGCell::kCrossFade || kind == XG_FG::FGCell::kTwoPhaseFade ||
         kind == XG_FG::FGCell::kSlideIn || kind == XG_FG::FGCell::kPush;
}

}  // namespace

// --- XG_FG::FGCell ---

XG_FG::FGCell::FGCell(XG_FG* owner, int32_t number) : owner_(owner), number_(number) {
  if (owner_) setBounds(0, 0, owner_->width(), owner_->height());
}

XG_FG::FGCell::~FGCell() {
  timer_.stop();
  if (owner_) owner_->forget(this);
}

PlaneState XG_FG::FGCell::place(const Placement& placement, const ZEPTexture* picture) const {
  const int64_t layerWidth = owner_ ? owner_->width() : 0;
  const int64_t layerHeight = owner_ ? owner_->height() : 0;
  const int64_t pictureWidth = picture ? picture->width() : 1;
  const int64_t pictureHeight = picture ? picture->height() : 1;
  const int32_t c = placement.anchor;
  const int64_t w = ScaledSize((c >> 6) & 3, placement.width, pictureWidth, layerWidth);
  const int64_t h = ScaledSize((c >> 4) & 3, placement.height, pictureHeight, layerHeight);

  PlaneState plane;
  PlaceAxis(c & 3, (c >> 8) & 3, placement.x, layerWidth, w < 0 ? -w : w, &plane.x0, &plane.x1);
  PlaceAxis((c >> 2) & 3, (c >> 10) & 3, placement.y, layerHeight, h < 0 ? -h : h, &plane.y0, &plane.y1);
  SetRegionFromSource(plane, placement.sourceX, placement.sourceY, placement.sourceWidth, placement.sourceHeight,
                      picture);
  if (w < 0) std::swap(plane.s0, plane.s1);
  if (h < 0) std::swap(plane.t0, plane.t1);
  return plane;
}

void XG_FG::FGCell::setZOrder(int32_t zOrder) {
  zOrder_ = zOrder;
  if (owner_) owner_->sortCells();
}

void XG_FG::FGCell::changePicture(int32_t kind, std::u16string_view picture, const Placement& placement,
                                  int32_t opacity, int32_t zOrder, int32_t duration, int32_t direction,
                                  int32_t easing, bool fade, int32_t distance) {
  markWholeScreen();
  finishEffect();
  ZEPTextureRef incoming;
  GetTextureManager().getTexture(incoming, picture, 1, 3);
  if (duration < 1 || !IsTransition(kind)) kind = kNone;
  kind_ = kind;
  duration_ = duration;
  easing_ = easing;
  const PlaneState placed = place(placement, incoming.get());

  if (kind == kNone) {
    drawMode_ = 1;
    pictureA_ = std::move(incoming);
    pictureB_.reset();
    planeA_ = WithoutColor(placed);
    target_ = planeA_;
    opacity_ = opacityFrom_ = opacityTo_ = ClampOpacity(opacity);
    setZOrder(zOrder);
    return;
  }

  drawMode_ = 2;
  pictureB_ = std::move(incoming);
  if (kind == kCrossFade || kind == kTwoPhaseFade) {
    aStart_ = WithColor(planeA_, 1.0f);
    aEnd_ = WithColor(planeA_, 0.0f);
    bStart_ = WithColor(placed, 0.0f);
    bEnd_ = WithColor(placed, 1.0f);
  } else {
    int32_t dx = 0;
    int32_t dy = 0;
    KeypadDirection(direction, &dx, &dy);
    aStart_ = aEnd_ = planeA_;
    bEnd_ = placed;
    bStart_ = placed;
    bStart_.offset(int64_t{dx} * distance, int64_t{dy} * distance);
    if (kind == kPush) aEnd_.offset(-int64_t{dx} * distance, -int64_t{dy} * distance);
    if (fade) {
      aStart_ = WithColor(aStart_, 1.0f);
      aEnd_ = WithColor(aEnd_, 0.0f);
      bStart_ = WithColor(bStart_, 0.0f);
      bEnd_ = WithColor(bEnd_, 1.0f);
    } else {
      aStart_ = WithoutColor(aStart_);
      aEnd_ = WithoutColor(aEnd_);
      bStart_ = WithoutColor(bStart_);
      bEnd_ = WithoutColor(bEnd_);
    }
  }
  target_ = bEnd_;
  startTimed(opacity);
  setZOrder(zOrder);
}

// From the current opacity to the given one over the stored duration: the
// planes at progress 0, then the timer.
void XG_FG::FGCell::startTimed(int32_t opacity) {
  opacityFrom_ = opacity_;
  opacityTo_ = ClampOpacity(opacity);
  tick(0.0f);
  timer_.duration = duration_;
  timer_.looping = false;
  timer_.start();
}

void XG_FG::FGCell::startMove(int32_t kind, const Placement& placement, int32_t opacity, int32_t zOrder,
                              int32_t duration, int32_t, int32_t easing, int32_t, int32_t) {
  finishEffect();
  markWholeScreen();
  duration_ = duration;
  easing_ = easing;
  const PlaneState placed = WithoutColor(place(placement, pictureA_.get()));
  if (duration >= 1 && kind == kMove) {
    kind_ = kMove;
    setZOrder(zOrder);
    drawMode_ = 1;
    aStart_ = WithoutColor(planeA_);
    aEnd_ = placed;
    target_ = aEnd_;
    startTimed(opacity);
    return;
  }
  kind_ = kNone;
  drawMode_ = 1;
  planeA_ = placed;
  target_ = planeA_;
  opacity_ = opacityFrom_ = opacityTo_ = ClampOpacity(opacity);
  setZOrder(zOrder);
}

void XG_FG::FGCell::cell_effect(int32_t kind, int32_t duration, int32_t, int32_t easing, int32_t, int32_t) {
  finishEffect();
  if (duration < 1) return;
  duration_ = duration;
  easing_ = easing;
  if (kind == kFadeOutIn) LogWrite(LOG_DEBUG, u"未実装(cell_effect, FOFI)\n");
  if (kind == kShake) LogWrite(LOG_DEBUG, u"未実装(cell_effect, SHAKE)\n");
  // Neither runs, so neither may stay the cell's kind: a later finish would
  // apply an end state that was never set.
  kind_ = kNone;
}

void XG_FG::FGCell::finishEffect() {
  timer_.stop();
  if (!IsTransition(kind_) && kind_ != kMove && kind_ != kFadeOutIn && kind_ != kShake) return;
  if (IsTransition(kind_)) pictureA_ = pictureB_;
  planeA_ = target_;
  opacity_ = opacityTo_;
  planeA_.useColor = false;
  planeB_.useColor = false;
  drawMode_ = 1;
  kind_ = kNone;
  pictureB_.reset();
  markWholeScreen();
}

void XG_FG::FGCell::tick(float t) {
  if (t >= 1.0f) {
    finishEffect();
    return;
  }
  markWholeScreen();
  if (((kind_ >= 10 && kind_ <= 99) || kind_ == kMove) && t == 0.0f) {
    planeA_ = aStart_;
    planeB_ = bStart_;
    opacity_ = opacityFrom_;
    return;
  }
  const float e = EaseProgress(easing_, t);
  switch (kind_) {
    case kCrossFade:
      LerpFull(planeA_, aStart_, aEnd_, e);
      LerpFull(planeB_, bStart_, bEnd_, e);
      break;
    case kTwoPhaseFade:
      // The new picture fades in over the old one, then the old one fades out.
      if (t < 0.5f) {
        planeA_ = aStart_;
        LerpFull(planeB_, bStart_, bEnd_, EaseProgress(easing_, 2.0f * t));
      } else {
        LerpFull(planeA_, aStart_, aEnd_, EaseProgress(easing_, 2.0f * (t - 0.5f)));
        planeB_ = bEnd_;
      }
      break;
    case kSlideIn:
    case kPush:
      if (bStart_.useColor) {
        LerpFull(planeA_, aStart_, aEnd_, e);
        LerpFull(planeB_, bStart_, bEnd_, e);
      } else {
        LerpRectRegion(planeA_, aStart_, aEnd_, e);
        LerpRectRegion(planeB_, bStart_, bEnd_, e);
      }
      break;
    case kMove:
      LerpRectRegion(planeA_, aStart_, aEnd_, e);
      break;
    default:
      return;
  }
  const double v = opacityFrom_ + (static_cast<double>(opacityTo_) - opacityFrom_) * e + 0.5;
  opacity_ = static_cast<int32_t>(std::clamp(v, 0.0, 255.0));
}

void XG_FG::FGCell::draw() {
  switch (drawMode_) {
    case 2:
      drawPlane(planeA_, pictureA_);
      drawPlane(planeB_, pictureB_);
      break;
    case 3:
      drawPlane(planeB_, pictureB_);
      drawPlane(planeA_, pictureA_);
      break;
    default:
      drawPlane(planeA_, pictureA_);
      break;
  }
}

void XG_FG::FGCell::drawPlane(const PlaneState& plane, const ZEPTextureRef& picture) {
  if (!picture) return;
  const GDevRect rect{plane.x0, plane.y0, plane.x1, plane.y1};
  const GDevUV uv{plane.s0, plane.t0, plane.s1, plane.t1};
  const float share = static_cast<float>(ClampOpacity(opacity_)) / 255.0f;
  if (!plane.useColor && opacity_ >= 255) {
    DrawTextureRectI(rect, uv, picture.get(), GDEV_BLEND_NORMAL, 0, 0);
    return;
  }
  float color[4] = {1.0f, 1.0f, 1.0f, share};
  if (plane.useColor) {
    color[0] = plane.r;
    color[1] = plane.g;
    color[2] = plane.b;
    color[3] = plane.a * share;
  }
  DrawTextureRectColored(rect, uv, color, picture.get(), GDEV_BLEND_NORMAL, 0, 0);
}

// --- XG_FG ---

XG_FG::XG_FG(int32_t width, int32_t height) {
  setBounds(0, 0, width, height);
  removeAllCells();
}

XG_FG::~XG_FG() { removeAllCells(); }

XG_FG::FGCell* XG_FG::getCell(int32_t number, bool create) {
  if (auto found = cellMap_.find(number); found != cellMap_.end()) return found->second;
  if (!create) return nullptr;
  auto* cell = new FGCell(this, number);
  addChild(cell);
  cellMap_.emplace(number, cell);
  order_.push_back(cell);
  sortCells();
  return cell;
}

void XG_FG::removeCell(int32_t number) {
  auto found = cellMap_.find(number);
  if (found == cellMap_.end()) return;
  FGCell* cell = found->second;
  forget(cell);
  removeChild(cell);
  cell->owner_ = nullptr;
  delete cell;
}

void XG_FG::removeAllCells() {
  while (!cellMap_.empty()) removeCell(cellMap_.begin()->first);
}

void XG_FG::finishCellEffect(int32_t number) {
  if (FGCell* cell = getCell(number, false)) cell->finishEffect();
}

void XG_FG::sortCells() {
  std::vector<FGCell*> sorted = order_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const FGCell* a, const FGCell* b) { return a->zOrder() < b->zOrder(); });
  for (FGCell* cell : sorted) raiseChild(cell);
}

void XG_FG::forget(const FGCell* cell) {
  std::erase(order_, cell);
  for (auto it = cellMap_.begin(); it != cellMap_.end();) {
    it = it->second == cell ? cellMap_.erase(it) : std::next(it);
  }
}

void XG_FG::onChildRemoved(GUIComponent* child) {
  // A cell that a caller took out of the tree is the caller's now: it leaves
  // the map and the order list and no longer refers to the layer. (A cell
  // being deleted has already left them in its destructor.)
  for (FGCell* cell : order_) {
    if (static_cast<GUIComponent*>(cell) != child) continue;
    forget(cell);
    cell->owner_ = nullptr;
    return;
  }
}
