// The hit-test areas and the map that asks them in order. Coordinates come
// from the configuration file and the pointer, so every sum and product is
// formed wider than 32 bits and results are saturated back. Main thread.
#include "scene/hit_test_map.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/saturate.h"
#include "gdev/rgba_image.h"
#include "gdev/texture_manager.h"

namespace {

__extension__ typedef __int128 Wide;


}  // namespace

bool HitTestMap::RectArea::hitTest(int32_t x, int32_t y, int32_t* outId) const {
  if (x < left || x > right || y < top || y > bottom) return false;
  *outId = id;
  return true;
}

void HitTestMap::RectArea::extent(int32_t* x, int32_t* y) const {
  *x = right;
  *y = bottom;
}

bool HitTestMap::CircleArea::hitTest(int32_t x, int32_t y, int32_t* outId) const {
  const int64_t dx = static_cast<int64_t>(x) - centerX;
  const int64_t dy = static_cast<int64_t>(y) - centerY;
  // The box test bounds |dx| and |dy| by the radius (< 2^31), so the squares
  // and their sum fit in 64 bits.
  if (std::abs(dx) > radius || std::abs(dy) > radius) return false;
  const int64_t r = radius;
  if (dx * dx + dy * dy >= r * r) return false;
  *outId = id;
  return true;
}

void HitTestMap::CircleArea::extent(int32_t* x, int32_t* y) const {
  *x = SaturateToInt32(static_cast<int64_t>(centerX) + radius);
  *y = SaturateToInt32(static_cast<int64_t>(centerY) + radius);
}

HitTestMap::PolygonArea::PolygonArea(int32_t id, std::vector<Point> pointList)
    : Area(id), points(std::move(pointList)) {
  for (const Point& p : points) {
    maxX = std::max(maxX, p.x);
    maxY = std::max(maxY, p.y);
  }
}

bool HitTestMap::PolygonArea::hitTest(int32_t x, int32_t y, int32_t* outId) const {
  const size_t count = points.size();
  for (size_t i = 0; i < count; ++i) {
    const Point& a = points[i];
    const Point& b = points[(i + 1) % count];
    // Differences of 32-bit values take 33 bits; their products up to 66.
    const int64_t dx = static_cast<int64_t>(b.x) - a.x;
    const int64_t dy = static_cast<int64_t>(b.y) - a.y;
    const Wide side = static_cast<Wide>(dy) * (static_cast<int64_t>(x) - a.x) -
                      static_cast<Wide>(dx) * (static_cast<int64_t>(y) - a.y);
    if (side > 0) return false;  // on the left of this edge: outside
  }
  *outId = id;
  return true;
}

void HitTestMap::PolygonArea::extent(int32_t* x, int32_t* y) const {
  *x = maxX;
  *y = maxY;
}

HitTestMap::ImageArea::ImageArea(int32_t id, const XGChipConfig::TouchmapArea& d)
    : Area(id),
      pictureName(d.imagePath),
      x(d.areaX),
      y(d.areaY),
      width(d.areaW),
      height(d.areaH),
      sourceX(d.srcX),
      sourceY(d.srcY),
      sourceWidth(d.srcW),
      sourceHeight(d.srcH),
      mode(d.testMode),
      channel(d.channel),
      keyColor(d.color) {}

void HitTestMap::ImageArea::load() {
  picture.reset();
  pictureWidth = 0;
  pictureHeight = 0;
  ZEPTextureRef loaded;
  if (GetTextureManager().getTexture(loaded, pictureName, 1, 3) != 0 || !loaded || !loaded->image()) return;
  picture = std::move(loaded);
  pictureWidth = picture->width();
  pictureHeight = picture->height();

  // A source rectangle that is unset (-1) or reaches past the picture means
  // the whole picture.
  if (sourceX < 0 || static_cast<int64_t>(sourceX) + sourceWidth > pictureWidth || sourceX > pictureWidth ||
      static_cast<int64_t>(sourceY) + sourceHeight > pictureHeight || sourceY > pictureHeight) {
    sourceX = 0;
    sourceY = 0;
    sourceWidth = pictureWidth;
    sourceHeight = pictureHeight;
  }
  if (width < 0) {
    width = sourceWidth;
    height = sourceHeight;
  }
}

bool HitTestMap::ImageArea::hitTest(int32_t px, int32_t py, int32_t* outId) const {
  if (!picture) return false;
  const RGBAImage* image = picture->image().get();
  if (!image) return false;
  const int64_t lx = static_cast<int64_t>(px) - x;
  const int64_t ly = static_cast<int64_t>(py) - y;
  if (lx < 0 || lx >= width || ly < 0 || ly >= height) return false;

  // The point in the picture (width and height are above 0 here).
  const int64_t sx = sourceX + static_cast<int64_t>(sourceWidth) * lx / width;
  const int64_t sy = sourceY + static_cast<int64_t>(sourceHeight) * ly / height;
  const bool inside = sx >= 0 && sy >= 0 && sx < std::min(pictureWidth, image->width) &&
                      sy < std::min(pictureHeight, image->height);
  const uint8_t* pixel =
      inside ? image->pixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)) : nullptr;

  if (mode == XGChipConfig::TouchmapArea::kByChannel) {
    if (channel < 0 || channel > 3 || !pixel) return false;
    const uint8_t value = pixel[channel];
    if (value == 0) return false;
    *outId = id < 0 ? -1 : SaturateToInt32(static_cast<int64_t>(id) + value);
    return true;
  }
  if (!pixel) return false;
  const uint8_t keyRed = static_cast<uint8_t>(keyColor >> 16);
  const uint8_t keyGreen = static_cast<uint8_t>(keyColor >> 8);
  const uint8_t keyBlue = static_cast<uint8_t>(keyColor);
  if (pixel[0] != keyBlue || pixel[1] != keyGreen || pixel[2] != keyRed) return false;
  *outId = id < 0 ? -1 : id;
  return true;
}

void HitTestMap::ImageArea::extent(int32_t* outX, int32_t* outY) const {
  if (!picture) {
    *outX = 0;
    *outY = 0;
    return;
  }
  *outX = SaturateToInt32(static_cast<int64_t>(x) + width);
  *outY = SaturateToInt32(static_cast<int64_t>(y) + height);
}

HitTestMap::HitTestMap(const XGChipConfig::TouchmapConfig& config) {
  using Area = XGChipConfig::TouchmapArea;
  for (const Area& area : config.areas) {
    switch (area.shape) {
      case Area::kCircle:
        addCircle(area.event, area.centerX, area.centerY, area.radius);
        break;
      case Area::kRect:
        addRect(area.event, area.rectX, area.rectY, area.rectW, area.rectH);
        break;
      case Area::kPolygon:
        addPolygon(area.event, area.coords);
        break;
      case Area::kImage:
        addImage(area.event, area);
        break;
      default:  // the reader makes no other shape
        break;
    }
  }
}

void HitTestMap::addRect(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height) {
  areas_.push_back(SharedRef<Area>(new RectArea(id, x, y, SaturateToInt32(static_cast<int64_t>(x) + width),
                                                SaturateToInt32(static_cast<int64_t>(y) + height))));
}

void HitTestMap::addCircle(int32_t id, int32_t centerX, int32_t centerY, int32_t radius) {
  areas_.push_back(SharedRef<Area>(new CircleArea(id, centerX, centerY, radius)));
}

void HitTestMap::addPolygon(int32_t id, const std::vector<int32_t>& coords) {
  std::vector<PolygonArea::Point> points;
  points.reserve(coords.size() / 2);
  for (size_t i = 0; i + 1 < coords.size(); i += 2) points.push_back({coords[i], coords[i + 1]});
  areas_.push_back(SharedRef<Area>(new PolygonArea(id, std::move(points))));
}

void HitTestMap::addImage(int32_t id, const XGChipConfig::TouchmapArea& description) {
  auto* area = new ImageArea(id, description);
  areas_.push_back(SharedRef<Area>(area));
  area->load();
}

bool HitTestMap::hitTest(int32_t x, int32_t y, int32_t* id) const {
  for (const SharedRef<Area>& area : areas_) {
    if (area->hitTest(x, y, id)) break;
  }
  return *id >= 0;
}

void HitTestMap::getExtent(int32_t* width, int32_t* height) const {
  int32_t w = 0;
  int32_t h = 0;
  for (const SharedRef<Area>& area : areas_) {
    int32_t x = 0;
    int32_t y = 0;
    area->extent(&x, &y);
    w = std::max(w, x);
    h = std::max(h, y);
  }
  *width = w;
  *height = h;
}

void HitTestMap::getAreaIds(std::vector<int32_t>* ids) const {
  ids->clear();
  for (const SharedRef<Area>& area : areas_) ids->push_back(area->id);
  std::sort(ids->begin(), ids->end());
  ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
}
