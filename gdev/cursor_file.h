// Cursor and icon files (.cur, .ico and animated .ani) decoded from bytes in
// memory into BGRA frames with their sizes, the hotspot and the frame rate.
// Owns no file access and no textures (the texture manager makes those).
// Pure functions: the main thread calls them, any thread may.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

// One picture of a cursor: width x height x 4 bytes (blue, green, red,
// alpha), rows top to bottom. Frames of one animated cursor may differ in
// size.
struct CursorFrame {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

struct CursorRecord {
  int32_t width = 0;   // pixels, of the last frame read
  int32_t height = 0;
  int32_t rate = 0;      // display time of one frame in 1/60 s; 1 for a static file
  int32_t hotspotX = 0;  // pixels from the top-left corner
  int32_t hotspotY = 0;
  std::vector<CursorFrame> frames;  // in stored order; never empty after a successful decode
};

// Decodes a whole file: "RIFF" data as an animated cursor, anything else as a
// static icon or cursor. On false the record is left empty.
bool DecodeCursorFile(std::span<const uint8_t> data, CursorRecord* out);

// Decodes the first image of a static icon (type 1, hotspot 0, 0) or cursor
// (type 2) file. The outputs are written only on success.
bool DecodeCursorImage(std::span<const uint8_t> data, int32_t* width, int32_t* height, int32_t* hotspotX,
                       int32_t* hotspotY, std::vector<uint8_t>* pixels);
