// What the markup layout hands to the text lines: runs of glyphs in one font
// and size with optional ruby (TextSegment), the segments of one visual line
// (LineLayout), lines as a text area placed them (LaidOutLine, LaidOutText),
// and the measure of a line's height with its ruby. Plain values, copied
// freely. Any thread.
#pragma once

#include <cstdint>
#include <vector>

#include "gdev/glyph_renderer.h"

// A run of glyphs sharing font and size; colours may differ per glyph. Base
// and ruby are revealed side by side, so the run takes as many reveal steps
// as the longer of the two.
struct TextSegment {
  int32_t baseSize = 0;  // font size in pixels
  std::vector<GlyphItem> base;
  int32_t rubySize = 0;
  std::vector<GlyphItem> ruby;  // empty without ruby

  bool hasRuby() const { return !ruby.empty(); }
  int32_t stepLength() const {
    return static_cast<int32_t>(base.size() > ruby.size() ? base.size() : ruby.size());
  }
};

// One visual line, segments left to right.
struct LineLayout {
  int32_t baseSize = 0;
  int32_t rubySize = 0;
  std::vector<TextSegment> segments;
};

// A line as placed in a text area: the top and the full height of its room,
// the ruby room included whether or not the line has ruby (a line without
// ruby is drawn that room lower), and the line itself. So a text's lines
// measure alike with and without ruby.
struct LaidOutLine {
  int32_t top = 0;
  int32_t height = 0;
  LineLayout line;
};

// One text as the message window laid it out: its font and ruby sizes and
// its lines, top to bottom.
struct LaidOutText {
  int32_t fontSize = 0;
  int32_t rubyFontSize = 0;
  std::vector<LaidOutLine> lines;
};

// Height of one line with ruby pitch p: each segment is as tall as its base
// size, plus its ruby size + p when it has ruby; a line that has a ruby size
// keeps room for ruby above segments without it. Returns the full height H
// and sets *topGap to H minus the tallest segment's own height, the room
// above the tallest text. A line without segments is H = base size (+ ruby
// size + p with a ruby size) with the whole height as gap.
int32_t measureTextLines(const LineLayout& line, int32_t rubyPitch, int32_t* topGap);
