// Part configurations of ":parts": the records a chip is built from (image,
// button, animation, text, touch map). They are read once at start-up and
// then shared read-only through SharedRef by the parts layers, message
// windows, menus and script layers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace XGChipConfig {

enum Kind : int32_t {
  kImage = 1,
  kButton = 2,
  kAnimation = 3,
  kText = 4,
  kTouchmap = 5,
};

class ConfigBase {
 public:
  explicit ConfigBase(int32_t kind) : kind(kind) {}
  virtual ~ConfigBase() = default;

  int32_t kind;
  int32_t width = -1;  // -1: not given
  int32_t height = -1;
};

class ImageConfig : public ConfigBase {
 public:
  ImageConfig() : ConfigBase(kImage) {}

  std::u16string path;  // resolved
  // Source rectangle in picture pixels; -1 each when not given.
  int32_t x = -1;
  int32_t y = -1;
  int32_t w = -1;
  int32_t h = -1;
};

struct ButtonPicture {
  std::u16string path;
  int32_t x = -1;
  int32_t y = -1;
  int32_t w = -1;
  int32_t h = -1;
};

// Pictures 0..3: normal, hover, pressed, disabled.
class ButtonConfig : public ConfigBase {
 public:
  ButtonConfig() : ConfigBase(kButton), pictures(4) {}

  std::vector<ButtonPicture> pictures;
  int32_t extra = 0;  // not set by the configuration
};

struct AnimationFrame {
  std::u16string path;
  int32_t x = -1;
  int32_t y = -1;
  int32_t w = -1;
  int32_t h = -1;
  int32_t waitTime = 0;  // milliseconds
};

class AnimationConfig : public ConfigBase {
 public:
  AnimationConfig() : ConfigBase(kAnimation) {}

  bool loop = true;
  std::vector<AnimationFrame> frames;
  int32_t extra = 0;  // not set by the configuration
};

class TextConfig : public ConfigBase {
 public:
  TextConfig() : ConfigBase(kText) {}

  int32_t fontSize = 16;
  uint32_t color = 0xFFFFFFFFu;  // ARGB
  int32_t font = 0;              // not set by the configuration
  std::u16string text;
};

struct TouchmapArea {
  enum Shape : int32_t { kNone = 0, kCircle = 1, kRect = 2, kPolygon = 3, kImage = 4 };
  enum TestMode : int32_t { kByChannel = 0, kByColor = 1 };

  int32_t shape = kNone;
  int32_t event = 0;
  // Rectangle shape.
  int32_t rectX = 0;
  int32_t rectY = 0;
  int32_t rectW = 0;
  int32_t rectH = 0;
  // Circle shape.
  int32_t centerX = 0;
  int32_t centerY = 0;
  int32_t radius = 0;
  // Image shape: the picture, where the area lies (x, y, width, height; a
  // negative width takes the source size) and the part of the picture it
  // samples (-1 each: the whole picture).
  std::u16string imagePath;
  int32_t areaX = 0;
  int32_t areaY = 0;
  int32_t areaW = -1;
  int32_t areaH = -1;
  int32_t srcX = -1;
  int32_t srcY = -1;
  int32_t srcW = -1;
  int32_t srcH = -1;
  int32_t testMode = kByChannel;
  // Byte of a pixel stored blue, green, red, alpha: 0 b, 1 g, 2 r, 3 a.
  int32_t channel = 1;
  uint32_t color = 0;  // ARGB; compared without alpha
  // Polygon shape: x0, y0, x1, y1, ...
  std::vector<int32_t> coords;
};

class TouchmapConfig : public ConfigBase {
 public:
  TouchmapConfig() : ConfigBase(kTouchmap) {}

  std::vector<TouchmapArea> areas;
};

}  // namespace XGChipConfig
