#include "scene/line_layout.h"

#include <algorithm>

int32_t measureTextLines(const LineLayout& line, int32_t rubyPitch, int32_t* topGap) {
  if (line.segments.empty()) {
    int32_t h = line.baseSize + (line.rubySize != 0 ? line.rubySize + rubyPitch : 0);
    if (topGap) *topGap = h;
    return h;
  }
  int32_t full = 0;
  int32_t tallest = 0;
  for (const TextSegment& s : line.segments) {
    int32_t own = s.baseSize + (s.hasRuby() ? s.rubySize + rubyPitch : 0);
    int32_t reserved = own + (!s.hasRuby() && line.rubySize != 0 ? s.rubySize + rubyPitch : 0);
    full = std::max(full, reserved);
    tallest = std::max(tallest, own);
  }
  if (topGap) *topGap = full - tallest;
  return full;
}
