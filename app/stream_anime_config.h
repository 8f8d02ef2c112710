// The definition file of a stream animation ("index.txt" in its folder):
// frame naming and the frame list with per-frame rectangles and wait times.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/ap_value.h"
#include "script/cell.h"

struct StreamAnimeFrame {
  APValue picture;  // a frame number (named by the base name) or a file name
  int32_t x = -1, y = -1, w = -1, h = -1;
  int32_t waitTime = 0;  // milliseconds
};

struct StreamAnimeConfig {
  std::u16string frameBaseName;
  std::u16string frameExtension;
  int32_t digits = 4;  // image-num-digits when the file does not say
  std::vector<StreamAnimeFrame> frames;
  int32_t loopIndex = -1;
};

// Reads the top-level list of "index.txt". False for an entry without a
// symbol key or without a value, a frame url that is neither a number nor a
// string, and a frame wait time that is not a number.
bool ParseStreamAnimeConfig(StreamAnimeConfig* config, tokenizer::Cell* entries);
