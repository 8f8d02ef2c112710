// GUITextLine3: one laid-out line of the message window, drawn segment by
// segment with ruby above the base text and revealed step by step. Setting
// a line measures its segments; each is rendered to textures once, when the
// line is first drawn (a line replaced before that, as skipping does, is
// never rendered); a reveal only changes how much of them is drawn, and
// marks only what its new steps add as changed. Main thread.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/line_layout.h"

// What a line keeps of one segment: where it lies, the sizes of its
// textures (measured, then as rendered) and the textures (each possibly
// empty: a segment whose texture could not be made draws nothing).
struct SegmentTexture {
  float x = 0.0f;  // left edge in the line
  float advance = 0.0f;
  float baseWidth = 0.0f;
  float rubyWidth = 0.0f;
  int32_t baseTextureWidth = 0, baseTextureHeight = 0;
  int32_t rubyTextureWidth = 0, rubyTextureHeight = 0;
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
  // Renders the segments when they are not yet.
  bool prepareDraw(int32_t arg) override;
  void draw() override;
  // Every piece's base and ruby rectangles, shown or not.
  bool paintExtent(ScreenArea* area) override;

  // Takes the line and measures its segments (rendered when first drawn);
  // everything becomes visible.
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
  // The segments' textures have been made.
  bool isRendered() const { return !pending_; }

 private:
  void drawSegment(const TextSegment& segment, const SegmentTexture& piece, int32_t steps);
  // Marks what steps from..to - 1 add to the drawing: the base text between
  // where the two counts end, and the ruby of each segment they touch.
  void markRevealed(int32_t from, int32_t to);
  // Places the pieces side by side from their texture sizes and takes the
  // line's size.
  void placePieces();
  // Makes the textures; a size other than the measured one (a renderer's
  // cap) moves the pieces.
  void render();

  int32_t visible_ = -1;  // -1 shows all
  std::vector<TextSegment> segments_;
  std::vector<SegmentTexture> pieces_;
  int32_t rubyPitch_ = 0;
  int32_t totalSteps_ = 0;
  bool pending_ = false;  // measured, not yet rendered
};
