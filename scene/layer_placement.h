// Where a layer's picture goes: the placement rule that turns a switch word,
// a picture size, a reference size and script values into a drawing
// rectangle and a texture region, its inverse, and the layer node's drawing
// state the animator steps through. Pure functions, any thread.
#pragma once

#include <cstdint>

#include "gdev/gdev.h"
#include "scene/motion_params.h"
#include "scene/plane_state.h"

struct PlacementInput {
  int32_t switchWord = 80;
  int32_t pictureWidth = 1;  // 1 x 1 without a picture
  int32_t pictureHeight = 1;
  int32_t referenceWidth = 0;
  int32_t referenceHeight = 0;
  int32_t x = 0, y = 0;            // position
  int32_t width = 0, height = 0;   // size in the switch's units
  int32_t sourceX = -1, sourceY = 0, sourceWidth = 0, sourceHeight = 0;
};

// The switch in two-bit fields: bits 6-7 (4-5) the width (height) unit, 1
// of the picture's size / 1024, 2 of the reference's / 1024, else pixels;
// bits 0-1 (2-3) the anchor, 1 the reference's far edge, 2 its middle;
// bits 8-9 (10-11) the alignment, 1 takes off the whole size, 2 half of it.
// Worked out in 64 bits and held to the 32-bit range. The region is the
// whole picture when sourceX < 0; a negative width (height) mirrors it.
void PlacePicture(const PlacementInput& in, GDevRect* rect, GDevUV* region);

// Position and size that give the rectangle under the switch (sizes are
// made positive). A unit whose divisor is 0 leaves that axis' size and
// position as `in` has them.
void PlacementInverse(const PlacementInput& in, const GDevRect& rect, int32_t* x, int32_t* y, int32_t* width,
                      int32_t* height);

// A node's drawing state: the main picture's rectangle, region and colour
// (r, g, b, a in 0..1; useColor is not read), and the mask picture's
// rectangle and region.
struct LayerDrawState {
  PlaneState main;
  PlaneState mask;
  bool operator==(const LayerDrawState& other) const;
};

// The state a record gives a node of the reference size: the main picture
// by main-switch, I and T; the mask by mask-switch, MI and MT, placed in the
// node (mask-system 0), inside the main rectangle (1) or equal to it with
// the whole picture (2); the colour MC / 255, each MC held to 0..255. Sizes
// of 0 stand for 1 x 1.
LayerDrawState PlaceRecord(const MotionParams& record, int32_t mainWidth, int32_t mainHeight, int32_t maskWidth,
                           int32_t maskHeight, int32_t referenceWidth, int32_t referenceHeight);
