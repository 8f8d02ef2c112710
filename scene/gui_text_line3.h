// GUITextLine3: one laid-out line of the message window, drawn segment by
// segment with ruby above the base text and revealed step by step. Each
// segment is rendered to textures once, when the line is set; a reveal only
// changes how much of them is drawn. Main thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/line_layout.h"

// What a line keeps of one segment: where it lies and its textures (each
// possibly empty: a segment whose texture could not be made draws nothing).
struct SegmentTexture {
  float x = 0.0f;  // left edge in the line
  float advance = 0.0f;
  float baseWidth = 0.0f;
  float rubyWidth = 0.0f;
  ZEPTextureRef base;
  ZEPTextureRef baseEdge;
  ZEPTextureRef ruby;
  ZEPTextureRef rubyEdge;
};

// Renders glyphs at one size into a text texture and, when any of them has
// an outline, an outline texture in the glyphs' edge colours (glyphs
// without an outline get none). Both come out empty when nothing can be
// drawn.
void RenderGlyphTextures(std::span<const GlyphItem> glyphs, int32_t size, int32_t margin, ZEPTextureRef* text,
                         ZEPTextureRef* edge);

class GUITextLine3 : public GUIComponent {
 public:
  bool isDrawable() override { return !pieces_.empty(); }
  void draw() override;
  // Every piece's base and ruby rectangles, shown or not.
  bool paintExtent(ScreenArea* area) override;

  // Renders the line's segments; everything becomes visible.
  void setLine(const LineLayout& line);
  // Shows the first n reveal steps; n outside 0..total steps - 1 shows all.
  void setVisibleCount(int32_t n);
  // No segments, everything visible, size 1 x 1.
  void clear();

  // Pixels between the ruby and the base text; set before setLine.
  void setRubyPitch(int32_t pitch) { rubyPitch_ = pitch; }
  int32_t rubyPitch() const { return rubyPitch_; }
  int32_t visibleCount() const { return visible_; }
  int32_t totalSteps() const { return totalSteps_; }
  const std::vector<TextSegment>& segments() const { return segments_; }
  const std::vector<SegmentTexture>& pieces() const { return pieces_; }

 private:
  void drawSegment(const TextSegment& segment, const SegmentTexture& piece, int32_t steps);

  int32_t visible_ = -1;  // -1 shows all
  std::vector<TextSegment> segments_;
  std::vector<SegmentTexture> pieces_;
  int32_t rubyPitch_ = 0;
  int32_t totalSteps_ = 0;
};
