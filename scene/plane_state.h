// The picture planes of the background and of the foreground cells: where a
// plane draws (a screen rectangle), which part of its picture (a texture
// region in fractions of the image), and an optional tint; the easing curves
// and interpolations their effects step through, the keypad direction codes
// and the source-rectangle rule. Pure functions, main thread.
#pragma once

#include <cstdint>

class ZEPTexture;

struct PlaneState {
  // Destination rectangle: left, top, right, bottom in pixels.
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 1;
  int32_t y1 = 1;
  // Texture region: left, top, right, bottom as fractions of the image.
  float s0 = 0.0f;
  float t0 = 0.0f;
  float s1 = 1.0f;
  float t1 = 1.0f;
  // When set, the picture is tinted by (r, g, b, a), or the rectangle filled
  // with it when the plane has no picture.
  bool useColor = false;
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;

  void setRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  // Use colour with (r, g, b, a).
  void setColor(float red, float green, float blue, float alpha);
  // The rectangle moved by (dx, dy), held to the 32-bit range.
  void offset(int64_t dx, int64_t dy);
};

// The plane without its tint.
inline PlaneState WithoutColor(PlaneState plane) {
  plane.useColor = false;
  return plane;
}

// Progress through easing 0 linear, 1 ease-out (1 - (1 - t)^3), 2 ease-in
// (t^3); any other easing is linear. Computed in double precision.
float EaseProgress(int32_t easing, float t);

// The rectangle and region of `from` towards `to` at e: each rectangle
// integer becomes the integer part of a + (b - a) e + 0.5 (unchanged when
// a = b), each region float a + (b - a) e. The plane's use-colour flag and
// colour stay as they are.
void LerpRectRegion(PlaneState& plane, const PlaneState& from, const PlaneState& to, float e);
// The same, and the four colour floats as well.
void LerpFull(PlaneState& plane, const PlaneState& from, const PlaneState& to, float e);

// Keypad direction: 1 (-1, +1), 2 (0, +1), 3 (+1, +1), 4 (-1, 0), 6 (+1, 0),
// 7 (-1, -1), 8 (0, -1), 9 (+1, -1); 5 and every other code (0, 0).
void KeypadDirection(int32_t code, int32_t* dx, int32_t* dy);

// The texture region of a source rectangle: the whole image when x < 0,
// else (x / W, y / H, (x + w) / W, (y + h) / H) with the picture's size
// (1 x 1 without a picture).
void SetRegionFromSource(PlaneState& plane, int32_t x, int32_t y, int32_t w, int32_t h, const ZEPTexture* picture);
