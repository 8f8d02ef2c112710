// Laying out one page of the flow chart as grid tiles: save-point icons and,
// for each visible connection, a run of line, corner and arrow tiles. Nothing
// is drawn here; every tile goes to the caller's callback.
#include <cstdint>
#include <cstdlib>

#include "app/config_flowmode.h"
#include "app/log.h"

namespace Config {

namespace {

using SavePoint = FlowmodeConfig::SavePoint;

// Chart coordinates farther out than this are refused, so that every
// coordinate, offset and difference below stays within 32 bits.
constexpr int64_t kChartLimit = int64_t{1} << 14;

bool InChart(int64_t v) { return v >= -kChartLimit && v <= kChartLimit; }

// The vertical part of a route that ends on the target's column: a line
// towards the target and the arrow entering it from below or above.
void DrawVerticalToTarget(const FlowmodeConfig::DrawCallback& callback, int32_t column, int32_t fromY,
                          int32_t targetY) {
  if (targetY <= fromY) {
    DrawVerticalRun(callback, column, targetY + 2, fromY);
    DrawSingleTile(callback, column, targetY + 1, FlowmodeConfig::kTileArrowFromBelow);
  } else {
    DrawVerticalRun(callback, column, fromY + 1, targetY - 1);
    DrawSingleTile(callback, column, targetY - 1, FlowmodeConfig::kTileArrowFromAbove);
  }
}

}  // namespace

bool DrawHorizontalRun(const FlowmodeConfig::DrawCallback& callback, int32_t row, int32_t fromX, int32_t toX) {
  for (int32_t x = fromX; x < toX; ++x) {
    if (!DrawSingleTile(callback, x, row, FlowmodeConfig::kTileHorizontal)) return false;
  }
  return true;
}

bool DrawVerticalRun(const FlowmodeConfig::DrawCallback& callback, int32_t column, int32_t fromY, int32_t toY) {
  for (int32_t y = fromY; y < toY; ++y) {
    if (!DrawSingleTile(callback, column, y, FlowmodeConfig::kTileVertical)) return false;
  }
  return true;
}

bool DrawSingleTile(const FlowmodeConfig::DrawCallback& callback, int32_t x, int32_t y, int32_t kind) {
  // Without a drawing function there is nothing to draw; a run would only
  // walk its cells, so it ends at once.
  if (!callback.drawTile) return false;
  return callback.drawTile(callback.context, x, y, kind, 0, nullptr);
}

bool FlowmodeConfig::drawPage(int32_t page, int32_t columnsPerPage, const DrawCallback& callback) const {
  if (callback.drawTile) {
    for (const auto& [number, point] : spMap) {
      if (point.page == page) callback.drawTile(callback.context, point.x, point.y, kTileIcon, number, &point);
    }
  }
  // Each (source, destination) pair occurs once among the outgoing maps, so
  // every connection is visited once.
  for (const auto& [number, point] : spMap) {
    for (const auto& [destination, connection] : point.outgoing) {
      const SavePoint* target = findSavePoint(destination);
      if (!target) continue;
      if (point.page != page && target->page != page) continue;
      if (callback.isRouteVisible && !callback.isRouteVisible(callback.context, number, destination)) continue;
      drawRoute(connection, page, columnsPerPage, callback);
    }
  }
  return true;
}

bool FlowmodeConfig::drawRoute(const Connection& connection, int32_t page, int32_t columnsPerPage,
                               const DrawCallback& callback) const {
  const SavePoint* source = findSavePoint(connection.from);
  const SavePoint* target = findSavePoint(connection.to);
  if (!source || !target) return false;

  auto chartX = [&](const SavePoint& p) {
    return (int64_t{p.page} - page) * columnsPerPage + p.x;
  };
  const int64_t chart[4] = {chartX(*source), source->y, chartX(*target), target->y};
  for (int64_t v : chart) {
    if (!InChart(v)) {
      LogWrite(LOG_ERROR, u"フローモードエラー：座標が範囲外です(%d to %d)\n", connection.from, connection.to);
      return false;
    }
  }
  const int32_t xA = static_cast<int32_t>(chart[0]);
  const int32_t yA = static_cast<int32_t>(chart[1]);
  const int32_t xB = static_cast<int32_t>(chart[2]);
  const int32_t yB = static_cast<int32_t>(chart[3]);
  const int32_t dx = std::abs(xB - xA);
  const int32_t dy = std::abs(yB - yA);

  if (dx < 2 && dy < 2) {
    LogWrite(LOG_ERROR, u"フローモードエラー：アイコンが隣接しています(%d:(%d,%d) %d:(%d,%d))\n", connection.from,
             xA, yA, connection.to, xB, yB);
    return false;
  }
  if (yA == yB) {
    DrawHorizontalRun(callback, yA, xA + 1, xB - 1);
    DrawSingleTile(callback, xB - 1, yA, kTileArrowFromLeft);
    return true;
  }
  if (xA == xB) {
    DrawVerticalToTarget(callback, xA, yA, yB);
    return true;
  }

  int32_t dir = connection.outDir;
  if (dx == 1 && dir != 6) {
    LogWrite(LOG_WARN, u"フローモード警告：右から出発しないと繋げません。右にします。(%d to %d, dir:%d)\n",
             connection.from, connection.to, dir);
    dir = 6;
  }
  bool verticalFirst = dir != 6;
  if (dy == 1) {
    // One row apart: a horizontal start would put the arrow on its own
    // corner, so the route always leaves vertically.
    if (yB < yA && dir != 8) {
      LogWrite(LOG_WARN, u"フローモード警告：上から出発しないと繋げません。上にします。(%d to %d, dir:%d)\n",
               connection.from, connection.to, dir);
    } else if (yB > yA && dir != 2) {
      LogWrite(LOG_WARN, u"フローモード警告：下から出発しないと繋げません。下にします。(%d to %d, dir:%d)\n",
               connection.from, connection.to, dir);
    }
    verticalFirst = true;
  }

  if (!verticalFirst) {
    DrawHorizontalRun(callback, yA, xA + 1, xB);
    DrawSingleTile(callback, xB, yA, yA < yB ? kTileCornerRightThenDown : kTileCornerRightThenUp);
    DrawVerticalToTarget(callback, xB, yA, yB);
  } else {
    DrawVerticalRun(callback, xA, (yA < yB ? yA : yB) + 1, yA < yB ? yB : yA);
    DrawSingleTile(callback, xA, yB, yA < yB ? kTileCornerDownThenRight : kTileCornerUpThenRight);
    DrawHorizontalRun(callback, yB, xA + 1, xB - 1);
    DrawSingleTile(callback, xB - 1, yB, kTileArrowFromLeft);
  }
  return true;
}

}  // namespace Config
