// The MOUSE side of XGLayer: hit testing through the node's touch map,
// per-area pointer files, AppEvent 44 numbers for hover, press, release,
// click and move, and the auto-move counters that measure how far the
// pointer travels over an area. Draws nothing. Main thread.
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/log.h"
#include "app/saturate.h"
#include "app/string_util.h"
#include "scene/app_event_table.h"
#include "scene/xg_layer_node.h"

namespace {

constexpr int32_t kAllAreas = -1;

// Auto-move: only ctrl 2 counts; cond says which buttons must be held.
constexpr int32_t kAutoMoveCounting = 2;
constexpr int32_t kCondNoButton = 2;
constexpr int32_t kCondAnyButton = 3;
constexpr int32_t kCondLeft = 4;
constexpr int32_t kCondRight = 5;

LayerPointerHooks g_hooks;

bool LeftDown() { return g_hooks.leftDown && g_hooks.leftDown(); }
bool RightDown() { return g_hooks.rightDown && g_hooks.rightDown(); }

bool ConditionHolds(int32_t cond) {
  switch (cond) {
    case kCondNoButton:
      return !LeftDown() && !RightDown();
    case kCondAnyButton:
      return LeftDown() || RightDown();
    case kCondLeft:
      return LeftDown();
    case kCondRight:
      return RightDown();
    default:
      return true;
  }
}

}  // namespace

LayerPointerHooks SetLayerPointerHooks(const LayerPointerHooks& hooks) {
  const LayerPointerHooks previous = g_hooks;
  g_hooks = hooks;
  return previous;
}

bool XGLayer::hitTestPrecise(int32_t x, int32_t y) {
  if (mode_ != kMouse || !isVisible() || !map_) return false;
  int32_t id = -1;
  if (!map_->hitTest(x, y, &id)) return false;
  hitArea_ = id;
  // Moving from one area straight into another keeps the node hovered, so
  // no hover events come; the new area takes over the pointer file and the
  // numbers posted from now on.
  if (GetHoveredComponent() == this && id != currentArea_) enterArea(id);
  return true;
}

void XGLayer::post(int64_t number) const {
  PostEvent(std::make_unique<AppEvent>(AppEventCode::kLayerMouse, intToWString(SaturateToInt32(number)), 0));
}

void XGLayer::enterArea(int32_t area) {
  currentArea_ = area;
  areaOffset_ = area;
  if (area < 0) {
    releaseCursor();
    return;
  }
  auto it = areaCursors_.find(area);
  if (it == areaCursors_.end()) it = areaCursors_.find(kAllAreas);
  if (it == areaCursors_.end() || !g_hooks.setCursor) {
    releaseCursor();
    return;
  }
  g_hooks.setCursor(it->second, this);
  ownsCursor_ = true;
}

void XGLayer::releaseCursor() {
  if (!ownsCursor_) return;
  ownsCursor_ = false;
  if (g_hooks.setCursor) g_hooks.setCursor(u"", this);
}

void XGLayer::onHover(const MouseEvent& event, bool entered) {
  if (mode_ != kMouse) return;
  const int32_t number = itemEvents_[kHoverEvent];
  if (entered) {
    enterArea(hitArea_);
    // Travel is measured from where the pointer came in, not from where it
    // was last seen before it left.
    lastX_ = event.x;
    lastY_ = event.y;
    toLocal(&lastX_, &lastY_);
    if (number > 0) post(int64_t{number} + currentArea_);
    return;
  }
  if (number > 0) post(int64_t{number} + 1 + areaOffset_);
  enterArea(-1);
  areaOffset_ = 0;
}

bool XGLayer::onMouseButton(const MouseEvent& event, bool pressed) {
  if (mode_ != kMouse) return false;
  // Every button is the node's: none goes on to the parents.
  if (pressed) {
    SetMouseCapture(this);
    const int32_t number = itemEvents_[kPressEvent];
    if (number > 0) post(int64_t{number} + (areaOffset_ >= 0 ? areaOffset_ : 0));
    return true;
  }
  if (GetMouseCapture() != this) return true;
  SetMouseCapture(nullptr);
  int32_t x = event.x;
  int32_t y = event.y;
  toLocal(&x, &y);
  // Let go off every area, the numbers carry the offset that leaving left.
  if (!contains(x, y)) return true;
  for (const int32_t type : {kReleaseEvent, kClickEvent}) {
    if (itemEvents_[type] > 0) post(int64_t{itemEvents_[type]} + areaOffset_);
  }
  return true;
}

void XGLayer::onMouseMove(const MouseEvent& event) {
  if (mode_ != kMouse) return;
  const int32_t number = itemEvents_[kMoveEvent];
  if (number > 0 && areaOffset_ >= 0) post(int64_t{number} + areaOffset_);
  int32_t x = event.x;
  int32_t y = event.y;
  toLocal(&x, &y);
  countTravel(x, y);
}

void XGLayer::countTravel(int32_t x, int32_t y) {
  const int64_t dx = static_cast<int64_t>(x) - lastX_;
  const int64_t dy = static_cast<int64_t>(y) - lastY_;
  lastX_ = x;
  lastY_ = y;
  // The area's own record counts; an area without one counts in the record
  // for every area (-1) when there is one.
  auto it = autoMoves_.find(currentArea_);
  if (it == autoMoves_.end()) it = autoMoves_.find(kAllAreas);
  if (it == autoMoves_.end()) return;
  AutoMove& record = it->second;
  // A unit below one pixel would count without end; it counts nothing.
  if (record.ctrl != kAutoMoveCounting || record.unit < 1 || !ConditionHolds(record.cond)) return;
  record.distance += static_cast<float>(std::hypot(static_cast<double>(dx), static_cast<double>(dy)));
  const float units = std::floor(record.distance / static_cast<float>(record.unit));
  if (units < 1.0f) return;
  record.distance -= units * static_cast<float>(record.unit);
  const double total = static_cast<double>(record.counter) + units;
  record.counter = total >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                 : static_cast<int32_t>(total);
}

void XGLayer::setHitTestMap(const XGChipConfig::TouchmapConfig* config) {
  map_ = config ? std::make_unique<HitTestMap>(*config) : nullptr;
  areaCursors_.clear();
  releaseCursor();
}

void XGLayer::setAreaCursor(int32_t area, std::u16string_view file) {
  if (area < 0) {
    areaCursors_.clear();
    area = kAllAreas;
  }
  if (file.empty()) {
    areaCursors_.erase(area);
  } else {
    areaCursors_[area] = std::u16string(file);
  }
  // The pointer over a changed area shows the change at once.
  if (currentArea_ >= 0 && (area == kAllAreas || area == currentArea_)) enterArea(currentArea_);
}

bool XGLayer::hitTest_setItemEventNumber(int32_t type, int32_t number) {
  if (type < kHoverEvent || type > kMoveEvent) {
    LogWrite(LOG_WARN, u"XGLayer::hitTest_setItemEventNumber :不正なイベントタイプ(%d)\n", type);
    return false;
  }
  itemEvents_[type] = number;
  return true;
}

void XGLayer::setAutoMove(int32_t area, int32_t ctrl, int32_t cond, int32_t unit, int32_t current) {
  // A record for one area replaces the one for every area; the one for
  // every area replaces the others and keeps its own count.
  if (area < 0) {
    area = kAllAreas;
    for (auto it = autoMoves_.begin(); it != autoMoves_.end();) {
      it = it->first == kAllAreas ? std::next(it) : autoMoves_.erase(it);
    }
  } else {
    autoMoves_.erase(kAllAreas);
  }
  AutoMove& record = autoMoves_[area];
  record.ctrl = ctrl;
  record.cond = cond;
  record.unit = unit;
  if (current >= 0) record.counter = current;
}

bool XGLayer::getAutoMoveCount(int32_t area, int32_t* count) const {
  const auto it = autoMoves_.find(area < 0 ? kAllAreas : area);
  if (it == autoMoves_.end()) return false;
  if (count) *count = it->second.counter;
  return true;
}

void XGLayer::getLastMousePosition(int32_t* x, int32_t* y) const {
  if (x) *x = lastX_;
  if (y) *y = lastY_;
}
