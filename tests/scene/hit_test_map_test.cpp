// Hit-test maps: the edges of each shape, polygon winding, area order and
// the map's answer, extents and ids, picture areas read from a PNG written
// to the test's folder, and maps built from a touch-map configuration.
#include "scene/hit_test_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "gdev/image_file.h"
#include "gdev/texture_manager.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

// The id the map answers for a point, starting from -1; -2 when its answer
// disagrees with the sign of the id.
int32_t Probe(const HitTestMap& map, int32_t x, int32_t y) {
  int32_t id = -1;
  const bool hit = map.hitTest(x, y, &id);
  if (hit != (id >= 0)) return -2;
  return id;
}

using Size = std::pair<int32_t, int32_t>;

// The map's extent (width, height).
Size Extent(const HitTestMap& map) {
  Size e{-7, -7};
  map.getExtent(&e.first, &e.second);
  return e;
}

TEST(HitTestMap, RectangleAndCircleEdges) {
  HitTestMap rect;
  rect.addRect(1, 10, 10, 5, 5);  // covers 10..15 both ways
  EXPECT_EQ(Probe(rect, 15, 15), 1);
  EXPECT_EQ(Probe(rect, 10, 10), 1);
  EXPECT_EQ(Probe(rect, 16, 15), -1);
  EXPECT_EQ(Probe(rect, 9, 12), -1);
  EXPECT_EQ(Extent(rect), Size(15, 15));

  HitTestMap circle;
  circle.addCircle(3, 0, 0, 10);
  EXPECT_EQ(Probe(circle, 10, 0), -1);  // on the circle: outside
  EXPECT_EQ(Probe(circle, 9, 0), 3);
  EXPECT_EQ(Probe(circle, 8, 8), -1);  // inside the box, outside the circle
  // That miss left the id alone, so a later area answers.
  circle.addRect(4, 0, 0, 10, 10);
  EXPECT_EQ(Probe(circle, 8, 8), 4);
  EXPECT_EQ(Probe(circle, 5, 5), 3);

  // A negative radius never hits; extreme values neither overflow nor hit
  // wrongly.
  HitTestMap extreme;
  extreme.addCircle(1, 0, 0, -5);
  EXPECT_EQ(Probe(extreme, 0, 0), -1);
  extreme.addCircle(2, kMin, kMin, kMax);
  EXPECT_EQ(Probe(extreme, kMax, kMax), -1);
  EXPECT_EQ(Probe(extreme, -1, kMin), -1);  // exactly the radius away
  EXPECT_EQ(Probe(extreme, -2, kMin), 2);
  extreme.addRect(3, kMax - 1, kMax - 1, kMax, kMax);  // right edge saturates
  EXPECT_EQ(Probe(extreme, kMax, kMax), 3);
  EXPECT_EQ(Extent(extreme), Size(kMax, kMax));
}

TEST(HitTestMap, PolygonWindingAndEdges) {
  HitTestMap clockwise;
  clockwise.addPolygon(5, {0, 0, 10, 0, 10, 10, 0, 10});  // TL, TR, BR, BL on screen
  EXPECT_EQ(Probe(clockwise, 5, 5), 5);
  EXPECT_EQ(Probe(clockwise, 0, 5), 5);    // on an edge
  EXPECT_EQ(Probe(clockwise, 10, 10), 5);  // on a corner
  EXPECT_EQ(Probe(clockwise, 11, 5), -1);

  HitTestMap counter;
  counter.addPolygon(5, {0, 0, 0, 10, 10, 10, 10, 0});  // the same square the other way round
  EXPECT_EQ(Probe(counter, 5, 5), -1);
  EXPECT_EQ(Probe(counter, 0, 5), -1);

  // A trailing odd value is dropped. Extents never go below 0.
  HitTestMap triangle;
  triangle.addPolygon(7, {-10, -10, -1, -1, -10, -1, 99});
  EXPECT_EQ(Probe(triangle, -8, -2), 7);
  EXPECT_EQ(Probe(triangle, -2, -8), -1);
  EXPECT_EQ(Extent(triangle), Size(0, 0));
  HitTestMap empty;  // no points: everything is inside
  empty.addPolygon(8, {});
  EXPECT_EQ(Probe(empty, -1000, 123456), 8);

  // Corners at the ends of the 32-bit range: the edge products need more
  // than 64 bits and must still give the right side.
  HitTestMap hugeTriangle;
  hugeTriangle.addPolygon(9, {kMin, kMin, kMax, kMax, kMin, kMax});
  EXPECT_EQ(Probe(hugeTriangle, kMin, kMax), 9);
  EXPECT_EQ(Probe(hugeTriangle, kMax, kMin), -1);
}

TEST(HitTestMap, OrderAnswerExtentAndIds) {
  HitTestMap map;
  EXPECT_EQ(Probe(map, 0, 0), -1);  // no areas
  int32_t id = 42;
  EXPECT_TRUE(map.hitTest(0, 0, &id));  // a miss keeps the caller's id
  EXPECT_EQ(id, 42);

  map.addRect(2, 0, 0, 20, 20);
  map.addRect(1, 10, 10, 20, 20);
  map.addRect(-1, 40, 40, 5, 5);
  map.addRect(6, 40, 40, 5, 5);
  map.addCircle(2, 100, 50, 3);
  EXPECT_EQ(Probe(map, 15, 15), 2);  // overlap: the first added wins
  EXPECT_EQ(Probe(map, 25, 25), 1);
  // A hit with a negative id ends the search and answers false.
  id = -1;
  EXPECT_FALSE(map.hitTest(42, 42, &id));
  EXPECT_EQ(id, -1);

  EXPECT_EQ(Extent(map), Size(103, 53));
  std::vector<int32_t> ids{99};
  map.getAreaIds(&ids);
  EXPECT_EQ(ids, (std::vector<int32_t>{-1, 1, 2, 6}));
}

class HitTestImageTest : public ::testing::Test {
 protected:
  HitTestImageTest() : old_(SetTimerManager(&clock)) {
    // 4 x 2 pixels, bytes blue, green, red, alpha.
    const std::vector<uint8_t> bytes{
        7,  0,  0,   255, 0, 9, 0, 255, 1, 2, 3, 0,   0, 0, 0, 255,  // row 0
        20, 30, 200, 255, 0, 0, 0, 0,   5, 5, 5, 255, 0, 0, 0, 255,  // row 1
    };
    path = platform::FromUtf8((dir.path() / "mask.png").string());
    EXPECT_EQ(SaveImageFile(path, RGBAImageRef(RGBAImage(0, 4, 2, bytes)), true, false), 0);
  }
  ~HitTestImageTest() override {
    GetTextureManager().finalize();
    SetTimerManager(old_);
  }

  // A channel-mask area at (100, 50) of the given size (-1: the source's)
  // over the given source rectangle (-1 each: the whole picture).
  XGChipConfig::TouchmapArea maskArea(int32_t channel, std::vector<int32_t> source = {-1, -1, -1, -1},
                                      int32_t width = -1, int32_t height = -1) const {
    XGChipConfig::TouchmapArea a;
    a.shape = XGChipConfig::TouchmapArea::kImage;
    a.imagePath = path;
    a.areaX = 100, a.areaY = 50, a.areaW = width, a.areaH = height;
    a.srcX = source[0], a.srcY = source[1], a.srcW = source[2], a.srcH = source[3];
    a.channel = channel;
    return a;
  }

  ManualClock clock;
  TempDir dir;
  std::u16string path;

 private:
  TimerManager* old_;
};

TEST_F(HitTestImageTest, ChannelMaskAreas) {
  HitTestMap map;
  map.addImage(100, maskArea(0));  // blue
  EXPECT_EQ(Probe(map, 100, 50), 107);
  EXPECT_EQ(Probe(map, 101, 50), -1);  // blue byte 0
  EXPECT_EQ(Probe(map, 102, 50), 101);
  EXPECT_EQ(Probe(map, 100, 51), 120);
  EXPECT_EQ(Probe(map, 104, 50), -1);  // right of the area
  EXPECT_EQ(Extent(map), Size(104, 52));

  HitTestMap others;
  others.addImage(10, maskArea(1));  // green
  others.addImage(20, maskArea(3));  // alpha: asked where green is 0
  EXPECT_EQ(Probe(others, 101, 50), 19);
  EXPECT_EQ(Probe(others, 100, 50), 275);

  // Channel numbers outside 0..3 never hit; a negative id reports -1.
  HitTestMap bad;
  bad.addImage(100, maskArea(4));
  bad.addImage(100, maskArea(-1));
  EXPECT_EQ(Probe(bad, 100, 50), -1);
  HitTestMap negative;
  negative.addImage(-5, maskArea(0));
  negative.addRect(1, 100, 50, 10, 10);
  int32_t id = -1;
  EXPECT_FALSE(negative.hitTest(100, 50, &id));
  EXPECT_EQ(id, -1);
  EXPECT_EQ(Probe(negative, 101, 50), 1);  // mask miss: the rectangle answers
}

TEST_F(HitTestImageTest, ColourKeySourceRectanglesAndMissingPictures) {
  XGChipConfig::TouchmapArea key = maskArea(0);
  key.testMode = XGChipConfig::TouchmapArea::kByColor;
  key.color = 0x00C81E14;  // red 200, green 30, blue 20; alpha ignored
  HitTestMap map;
  map.addImage(3, key);
  EXPECT_EQ(Probe(map, 100, 51), 3);
  EXPECT_EQ(Probe(map, 100, 50), -1);

  // A source rectangle past the right edge means the whole picture.
  HitTestMap whole;
  whole.addImage(0, maskArea(0, {2, 0, 3, 2}));
  const auto* area = static_cast<const HitTestMap::ImageArea*>(whole.areas()[0].get());
  EXPECT_EQ(area->sourceX, 0);
  EXPECT_EQ(area->sourceWidth, 4);
  EXPECT_EQ(area->width, 4);
  EXPECT_EQ(area->height, 2);
  EXPECT_EQ(Probe(whole, 100, 50), 7);

  // A source rectangle that fits is scaled onto the area: columns 1..2 of
  // row 0 spread over 4 x 2 screen pixels.
  HitTestMap zoom;
  zoom.addImage(0, maskArea(1, {1, 0, 2, 1}, 4, 2));
  EXPECT_EQ(Probe(zoom, 100, 50), 9);
  EXPECT_EQ(Probe(zoom, 101, 51), 9);
  EXPECT_EQ(Probe(zoom, 102, 50), 2);
  EXPECT_EQ(Probe(zoom, 103, 51), 2);
  EXPECT_EQ(Probe(zoom, 104, 50), -1);

  // A source rectangle starting above the picture reads outside it: a miss,
  // never a read out of bounds.
  HitTestMap outside;
  outside.addImage(0, maskArea(0, {0, -1, 4, 2}));
  EXPECT_EQ(Probe(outside, 100, 50), -1);
  EXPECT_EQ(Probe(outside, 100, 51), 7);

  // No picture: no hit and no extent.
  XGChipConfig::TouchmapArea missing = maskArea(0);
  missing.imagePath = platform::FromUtf8((dir.path() / "none.png").string());
  HitTestMap none;
  none.addImage(1, missing);
  EXPECT_EQ(Probe(none, 100, 50), -1);
  EXPECT_EQ(Extent(none), Size(0, 0));
}

TEST_F(HitTestImageTest, BuiltFromTouchmapConfiguration) {
  using Area = XGChipConfig::TouchmapArea;
  XGChipConfig::TouchmapConfig config;
  Area circle, rect, poly, image = maskArea(0);
  circle.shape = Area::kCircle, circle.event = 1;
  circle.centerX = 20, circle.centerY = 20, circle.radius = 5;
  rect.shape = Area::kRect, rect.event = 2, rect.rectW = 30, rect.rectH = 30;
  poly.shape = Area::kPolygon, poly.event = 3, poly.coords = {40, 0, 50, 0, 50, 10};
  image.event = 200;
  config.areas = {circle, rect, poly, image};

  HitTestMap map(config);
  ASSERT_EQ(map.areas().size(), 4u);
  EXPECT_EQ(Probe(map, 20, 20), 1);
  EXPECT_EQ(Probe(map, 1, 1), 2);
  EXPECT_EQ(Probe(map, 49, 1), 3);
  EXPECT_EQ(Probe(map, 100, 50), 207);
  std::vector<int32_t> ids;
  map.getAreaIds(&ids);
  EXPECT_EQ(ids, (std::vector<int32_t>{1, 2, 3, 200}));
  EXPECT_EQ(Extent(map), Size(104, 52));
}

}  // namespace
