// GUITextLine3: rendering a line's segments and drawing revealed fractions.
#include "scene/gui_text_line3.h"

#include <algorithm>
#include <cmath>

#include "gdev/glyph_renderer.h"
#include "gdev/image_ops.h"
#include "gdev/texture_manager.h"

namespace {

bool HasOutline(const GlyphItem& g) { return (g.edgeColor >> 24) != 0; }

// The outline image of a rendered run: the dilated coverage, coloured per
// glyph cell. Cells of glyphs without an outline stay clear.
RGBAImageRef MakeOutline(const RGBAImageRef& text, std::span<const GlyphItem> glyphs, int32_t margin) {
  const GlyphItem* first = nullptr;
  bool allOutlined = true;
  bool oneColor = true;
  for (const GlyphItem& g : glyphs) {
    if (!HasOutline(g)) {
      allOutlined = false;
      continue;
    }
    if (!first) first = &g;
    else if ((g.edgeColor & 0xFFFFFFu) != (first->edgeColor & 0xFFFFFFu)) oneColor = false;
  }
  if (!first) return {};
  RGBAImageRef edge(RGBAImage(0, text->width, text->height));
  MakeEdgeImage(edge, text, (first->edgeColor >> 16) & 0xFF, (first->edgeColor >> 8) & 0xFF,
                first->edgeColor & 0xFF);
  if (allOutlined && oneColor) return edge;

  RGBAImage* image = edge.getWA();
  if (!image || image->pixels.empty()) return edge;
  ForEachTextCell(
      *image, margin, glyphs.size(), [&](size_t i) { return glyphs[i].character; },
      [&](size_t i, int32_t left, int32_t right) {
        const GlyphItem& g = glyphs[i];
        for (int32_t y = 0; y < image->height; ++y) {
          uint8_t* p = image->pixel(left, y);
          for (int32_t x = left; x < right; ++x, p += 4) {
            if (!HasOutline(g)) {
              p[3] = 0;
              continue;
            }
            p[0] = g.edgeColor & 0xFF;
            p[1] = (g.edgeColor >> 8) & 0xFF;
            p[2] = (g.edgeColor >> 16) & 0xFF;
          }
        }
      });
  return edge;
}

// Share of the first `count` glyphs in the cells of all of them.
float CellFraction(std::span<const GlyphItem> glyphs, size_t count) {
  int32_t all = CountTextCells(glyphs);
  if (all <= 0) return 0.0f;
  return static_cast<float>(CountTextCells(glyphs.first(std::min(count, glyphs.size())))) /
         static_cast<float>(all);
}

void DrawPair(const ZEPTextureRef& edge, const ZEPTextureRef& text, const GDevRectF& rect, const GDevUV& uv) {
  if (edge) DrawTextureRect(rect, uv, edge.get(), GDEV_BLEND_NORMAL, 0, 0);
  if (text) DrawTextureRect(rect, uv, text.get(), GDEV_BLEND_NORMAL, 0, 0);
}

// The parameters a run of glyphs is measured and rendered with.
TextRenderParams GlyphRunParams(int32_t size, int32_t margin) {
  TextRenderParams params;
  params.size = size;
  params.margin = margin;
  return params;
}

}  // namespace

void RenderGlyphTextures(std::span<const GlyphItem> glyphs, int32_t size, int32_t margin, ZEPTextureRef* text,
                         ZEPTextureRef* edge) {
  text->reset();
  edge->reset();
  RGBAImageRef image;
  DrawTextRun(image, GlyphRunParams(size, margin), glyphs, 0);
  if (!image || image->width <= 0 || image->height <= 0) return;
  GetTextureManager().createFromImage(*text, image, 1, 3);
  RGBAImageRef outline = MakeOutline(image, glyphs, margin);
  if (outline) GetTextureManager().createFromImage(*edge, outline, 1, 3);
}

namespace {

// The size of the texture RenderGlyphTextures makes; 0 x 0 for none.
void MeasureGlyphs(std::span<const GlyphItem> glyphs, int32_t size, int32_t margin, int32_t* width,
                   int32_t* height) {
  if (glyphs.empty() || !MeasureTextRun(GlyphRunParams(size, margin), glyphs, width, height) || *width <= 0 ||
      *height <= 0) {
    *width = 0;
    *height = 0;
  }
}

int32_t WidthOf(const ZEPTextureRef& t) { return t ? t->width() : 0; }
int32_t HeightOf(const ZEPTextureRef& t) { return t ? t->height() : 0; }

}  // namespace

void GUITextLine3::setLine(const LineLayout& line) {
  clear();
  segments_ = line.segments;
  totalSteps_ = 0;
  pieces_.reserve(segments_.size());
  for (const TextSegment& s : segments_) {
    totalSteps_ += s.stepLength();
    SegmentTexture piece;
    MeasureGlyphs(s.base, s.baseSize, 0, &piece.baseTextureWidth, &piece.baseTextureHeight);
    if (s.hasRuby()) MeasureGlyphs(s.ruby, s.rubySize, 1, &piece.rubyTextureWidth, &piece.rubyTextureHeight);
    pieces_.push_back(std::move(piece));
  }
  pending_ = !pieces_.empty();
  placePieces();
  markOwnPaint();
}

void GUITextLine3::placePieces() {
  float pen = 0.0f;
  int32_t height = 0;
  for (size_t i = 0; i < segments_.size() && i < pieces_.size(); ++i) {
    const TextSegment& s = segments_[i];
    SegmentTexture& piece = pieces_[i];
    piece.x = pen;
    // A texture that cannot be made (or has no height) gives a piece that
    // takes no room and draws nothing.
    piece.baseWidth = piece.baseTextureHeight > 0 ? static_cast<float>(s.baseSize) *
                                                        static_cast<float>(piece.baseTextureWidth) /
                                                        static_cast<float>(piece.baseTextureHeight)
                                                  : 0.0f;
    piece.rubyWidth = piece.rubyTextureHeight > 2 ? static_cast<float>(s.rubySize) *
                                                        static_cast<float>(piece.rubyTextureWidth - 2) /
                                                        static_cast<float>(piece.rubyTextureHeight - 2)
                                                  : 0.0f;
    // Ruby wider than its base hangs over the neighbours.
    piece.advance = piece.baseWidth;
    pen += piece.advance;
    height = std::max(height, s.baseSize + (s.hasRuby() ? rubyPitch_ + s.rubySize : 0));
  }
  setSize(static_cast<int32_t>(std::floor(pen + 0.5f)), height);
}

void GUITextLine3::render() {
  pending_ = false;
  bool moved = false;
  for (size_t i = 0; i < segments_.size() && i < pieces_.size(); ++i) {
    const TextSegment& s = segments_[i];
    SegmentTexture& piece = pieces_[i];
    RenderGlyphTextures(s.base, s.baseSize, 0, &piece.base, &piece.baseEdge);
    if (s.hasRuby()) RenderGlyphTextures(s.ruby, s.rubySize, 1, &piece.ruby, &piece.rubyEdge);
    const SegmentTexture measured = piece;
    piece.baseTextureWidth = WidthOf(piece.base);
    piece.baseTextureHeight = HeightOf(piece.base);
    piece.rubyTextureWidth = WidthOf(piece.ruby);
    piece.rubyTextureHeight = HeightOf(piece.ruby);
    moved = moved || piece.baseTextureWidth != measured.baseTextureWidth ||
            piece.baseTextureHeight != measured.baseTextureHeight ||
            piece.rubyTextureWidth != measured.rubyTextureWidth ||
            piece.rubyTextureHeight != measured.rubyTextureHeight;
  }
  if (!moved) return;
  markOwnPaint();
  placePieces();
  markOwnPaint();
}

bool GUITextLine3::prepareDraw(int32_t) {
  if (pending_) render();
  return true;
}

void GUITextLine3::setVisibleCount(int32_t n) {
  n = n >= 0 && n < totalSteps_ ? n : -1;
  if (n == visible_) return;
  const int32_t was = visible_;
  visible_ = n;
  // A reveal that goes on changes only what its steps add; anything else
  // (fewer steps, the line shown whole again) the whole line.
  if (was >= 0 && (n < 0 || n > was)) {
    markRevealed(was, n < 0 ? totalSteps_ : n);
  } else {
    markOwnPaint();
  }
}

void GUITextLine3::markRevealed(int32_t from, int32_t to) {
  const float h = static_cast<float>(height());
  ScreenArea area{};
  // One pixel more on each side, as paintExtent has.
  const auto add = [&area](float x0, float y0, float x1, float y1) {
    area = UnionOf(area, ScreenArea{static_cast<int32_t>(std::floor(x0)) - 1, static_cast<int32_t>(std::floor(y0)) - 1,
                                    static_cast<int32_t>(std::ceil(x1)) + 1, static_cast<int32_t>(std::ceil(y1)) + 1});
  };
  int32_t done = 0;
  for (size_t i = 0; i < segments_.size() && i < pieces_.size() && done < to; ++i) {
    const TextSegment& s = segments_[i];
    const SegmentTexture& piece = pieces_[i];
    const int32_t length = s.stepLength();
    if (done + length > from) {
      // Where the drawn part of the base ends after `steps` of its steps.
      const auto end = [&](int32_t steps) {
        if (steps <= 0) return piece.x;
        if (steps >= length) return piece.x + piece.baseWidth;
        return piece.x + piece.baseWidth * CellFraction(s.base, static_cast<size_t>(steps));
      };
      if (piece.baseTextureHeight > 0) add(end(from - done), h - static_cast<float>(s.baseSize), end(to - done), h);
      if (piece.rubyTextureHeight > 2) {
        const float scale = static_cast<float>(s.rubySize) / static_cast<float>(piece.rubyTextureHeight - 2);
        const float left = std::floor((piece.baseWidth - (piece.rubyWidth + 2.0f * scale)) * 0.5f + piece.x);
        const float top = std::floor(h - static_cast<float>(rubyPitch_ + s.rubySize + s.baseSize) - scale);
        add(left, top, left + piece.rubyWidth + 2.0f * scale, top + static_cast<float>(s.rubySize) + 2.0f * scale);
      }
    }
    done += length;
  }
  if (!area.empty()) markLocal(area);
}

void GUITextLine3::clear() {
  markOwnPaint();
  segments_.clear();
  pieces_.clear();
  pending_ = false;
  totalSteps_ = 0;
  visible_ = -1;
  setSize(1, 1);
}

bool GUITextLine3::paintExtent(ScreenArea* area) {
  *area = ScreenArea{};
  const float h = static_cast<float>(height());
  // One pixel more on each side than the rectangles drawn.
  const auto add = [area](float x0, float y0, float x1, float y1) {
    *area = UnionOf(*area, ScreenArea{static_cast<int32_t>(std::floor(x0)) - 1, static_cast<int32_t>(std::floor(y0)) - 1,
                                      static_cast<int32_t>(std::ceil(x1)) + 1, static_cast<int32_t>(std::ceil(y1)) + 1});
  };
  for (size_t i = 0; i < segments_.size() && i < pieces_.size(); ++i) {
    const TextSegment& s = segments_[i];
    const SegmentTexture& piece = pieces_[i];
    if (piece.baseTextureHeight > 0) add(piece.x, h - static_cast<float>(s.baseSize), piece.x + piece.baseWidth, h);
    if (piece.rubyTextureHeight <= 2) continue;
    const float scale = static_cast<float>(s.rubySize) / static_cast<float>(piece.rubyTextureHeight - 2);
    const float left = std::floor((piece.baseWidth - (piece.rubyWidth + 2.0f * scale)) * 0.5f + piece.x);
    const float top = std::floor(h - static_cast<float>(rubyPitch_ + s.rubySize + s.baseSize) - scale);
    add(left, top, left + piece.rubyWidth + 2.0f * scale, top + static_cast<float>(s.rubySize) + 2.0f * scale);
  }
  return true;
}

void GUITextLine3::draw() {
  // Drawn without the frame's preparation (into a texture).
  if (pending_) render();
  // -1 compared unsigned never stops the walk.
  const uint32_t visible = static_cast<uint32_t>(visible_);
  uint32_t done = 0;
  for (size_t i = 0; i < segments_.size() && i < pieces_.size(); ++i) {
    const TextSegment& s = segments_[i];
    const uint32_t length = static_cast<uint32_t>(s.stepLength());
    if (done + length > visible) {
      drawSegment(s, pieces_[i], static_cast<int32_t>(visible - done));
      return;
    }
    drawSegment(s, pieces_[i], -1);
    done += length;
  }
}

// Draws the first `steps` steps of a segment (-1: all of it).
void GUITextLine3::drawSegment(const TextSegment& s, const SegmentTexture& piece, int32_t steps) {
  const float h = static_cast<float>(height());
  if (piece.base && steps != 0) {
    const float part = steps < 0 ? 1.0f : CellFraction(s.base, static_cast<size_t>(steps));
    const GDevRectF rect{piece.x, h - static_cast<float>(s.baseSize), piece.x + piece.baseWidth * part, h};
    DrawPair(piece.baseEdge, piece.base, rect, GDevUV{0.0f, 0.0f, part, 1.0f});
  }
  if (!piece.ruby || piece.rubyTextureHeight <= 2 || steps == 0) return;
  // The ruby texture has a one-pixel border, scaled with it.
  const float scale = static_cast<float>(s.rubySize) / static_cast<float>(piece.rubyTextureHeight - 2);
  const float left = std::floor((piece.baseWidth - (piece.rubyWidth + 2.0f * scale)) * 0.5f + piece.x);
  const float top =
      std::floor(h - static_cast<float>(rubyPitch_ + s.rubySize + s.baseSize) - scale);
  float width = piece.rubyWidth + 2.0f * scale;
  float u = 1.0f;
  if (steps >= 0) {
    const float part = CellFraction(s.ruby, static_cast<size_t>(steps));
    width = scale + piece.rubyWidth * part;
    const float tw = static_cast<float>(piece.rubyTextureWidth);
    u = (1.0f + part * (tw - 2.0f)) / tw;
  }
  const GDevRectF rect{left, top, left + width, top + static_cast<float>(s.rubySize) + 2.0f * scale};
  DrawPair(piece.rubyEdge, piece.ruby, rect, GDevUV{0.0f, 0.0f, u, 1.0f});
}
