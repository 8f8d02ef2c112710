// HitTestMap: turns a point into an area number for touch-map parts and
// mouse layers. Areas (rectangles, circles, convex polygons, picture masks)
// are asked in the order they were added; the first that contains the point
// answers. Built once from a touch-map configuration, read-only afterwards.
// Main thread (image areas load their picture through the texture manager).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/chip_config.h"
#include "app/shared_ref.h"
#include "gdev/zep_texture.h"

class HitTestMap {
 public:
  class Area {
   public:
    explicit Area(int32_t id) : id(id) {}
    virtual ~Area() = default;
    // True when the point is inside; *outId then receives the number this
    // area reports (a negative number means "inside, but no event"). A miss
    // leaves *outId alone.
    virtual bool hitTest(int32_t x, int32_t y, int32_t* outId) const = 0;
    // The largest x and y the area reaches; sizes the map.
    virtual void extent(int32_t* x, int32_t* y) const = 0;

    int32_t id;
  };

  // Bounds included on all four sides.
  class RectArea : public Area {
   public:
    RectArea(int32_t id, int32_t left, int32_t top, int32_t right, int32_t bottom)
        : Area(id), left(left), top(top), right(right), bottom(bottom) {}
    bool hitTest(int32_t x, int32_t y, int32_t* outId) const override;
    void extent(int32_t* x, int32_t* y) const override;

    int32_t left, top, right, bottom;
  };

  // Strictly inside: a point at exactly the radius misses. A negative radius
  // never hits.
  class CircleArea : public Area {
   public:
    CircleArea(int32_t id, int32_t centerX, int32_t centerY, int32_t radius)
        : Area(id), centerX(centerX), centerY(centerY), radius(radius) {}
    bool hitTest(int32_t x, int32_t y, int32_t* outId) const override;
    void extent(int32_t* x, int32_t* y) const override;

    int32_t centerX, centerY, radius;
  };

  // A convex polygon whose points run clockwise on screen (y downward): the
  // inside is on the right of every edge, edges included. Listed the other
  // way round, a polygon that encloses any area contains no point at all.
  // No points: every point is inside.
  class PolygonArea : public Area {
   public:
    struct Point {
      int32_t x, y;
    };
    PolygonArea(int32_t id, std::vector<Point> points);
    bool hitTest(int32_t x, int32_t y, int32_t* outId) const override;
    void extent(int32_t* x, int32_t* y) const override;

    std::vector<Point> points;
    int32_t maxX = 0;  // largest point coordinates, not below 0
    int32_t maxY = 0;
  };

  // A rectangle on screen that samples a picture (or part of it, scaled to
  // the rectangle). Mode 0: a non-zero byte of one channel (0 blue, 1 green,
  // 2 red, 3 alpha) is a hit reporting id + that byte; any other mode: a
  // pixel whose red, green and blue equal the key colour's is a hit
  // reporting id. With a negative id a hit reports -1.
  class ImageArea : public Area {
   public:
    ImageArea(int32_t id, const XGChipConfig::TouchmapArea& description);
    // Loads the picture by name and settles the source rectangle and the
    // size. Without a picture the area never hits.
    void load();
    bool hitTest(int32_t x, int32_t y, int32_t* outId) const override;
    void extent(int32_t* x, int32_t* y) const override;

    std::u16string pictureName;
    int32_t x, y, width, height;
    int32_t sourceX, sourceY, sourceWidth, sourceHeight;
    int32_t mode;
    int32_t channel;
    uint32_t keyColor;  // ARGB, alpha ignored
    ZEPTextureRef picture;
    int32_t pictureWidth = 0;
    int32_t pictureHeight = 0;
  };

  HitTestMap() = default;
  // The areas of a touch-map part, in their listed order; each reports its
  // event number.
  explicit HitTestMap(const XGChipConfig::TouchmapConfig& config);

  // Covers width + 1 by height + 1 pixels: right = x + width, bottom =
  // y + height.
  void addRect(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height);
  void addCircle(int32_t id, int32_t centerX, int32_t centerY, int32_t radius);
  // x0, y0, x1, y1, ...; a trailing odd value is ignored.
  void addPolygon(int32_t id, const std::vector<int32_t>& coords);
  // Loads the picture at once.
  void addImage(int32_t id, const XGChipConfig::TouchmapArea& description);

  // Asks the areas in order; the first hit ends the search and writes *id.
  // True when *id ends up >= 0: with no hit *id keeps what the caller gave,
  // so callers pass -1.
  bool hitTest(int32_t x, int32_t y, int32_t* id) const;
  // Largest extent over all areas, from (0, 0).
  void getExtent(int32_t* width, int32_t* height) const;
  // Distinct area ids, ascending.
  void getAreaIds(std::vector<int32_t>* ids) const;

  const std::vector<SharedRef<Area>>& areas() const { return areas_; }

 private:
  std::vector<SharedRef<Area>> areas_;
};
