// GUITextLine3: rendering a line's segments and drawing revealed fractions.
#include "scene/gui_text_line3.h"

#include <algorithm>
#include <cmath>

#include "app/screen_flags.h"
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

}  // namespace

void RenderGlyphTextures(std::span<const GlyphItem> glyphs, int32_t size, int32_t margin, ZEPTextureRef* text,
                         ZEPTextureRef* edge) {
  text->reset();
  edge->reset();
  TextRenderParams params;
  params.size = size;
  params.margin = margin;
  RGBAImageRef image;
  DrawTextRun(image, params, glyphs, 0);
  if (!image || image->width <= 0 || image->height <= 0) return;
  GetTextureManager().createFromImage(*text, image, 1, 3);
  RGBAImageRef outline = MakeOutline(image, glyphs, margin);
  if (outline) GetTextureManager().createFromImage(*edge, outline, 1, 3);
}

void GUITextLine3::setLine(const LineLayout& line) {
  clear();
  segments_ = line.segments;
  totalSteps_ = 0;
  float pen = 0.0f;
  int32_t height = 0;
  pieces_.reserve(segments_.size());
  for (const TextSegment& s : segments_) {
    totalSteps_ += s.stepLength();
    SegmentTexture piece;
    RenderGlyphTextures(s.base, s.baseSize, 0, &piece.base, &piece.baseEdge);
    if (s.hasRuby()) RenderGlyphTextures(s.ruby, s.rubySize, 1, &piece.ruby, &piece.rubyEdge);
    piece.x = pen;
    // A texture that could not be made (or has no height) gives a piece
    // that takes no room and draws nothing.
    if (piece.base && piece.base->height() > 0) {
      piece.baseWidth = static_cast<float>(s.baseSize) * static_cast<float>(piece.base->width()) /
                        static_cast<float>(piece.base->height());
    }
    if (piece.ruby && piece.ruby->height() > 2) {
      piece.rubyWidth = static_cast<float>(s.rubySize) * static_cast<float>(piece.ruby->width() - 2) /
                        static_cast<float>(piece.ruby->height() - 2);
    }
    // Ruby wider than its base hangs over the neighbours.
    piece.advance = piece.baseWidth;
    pen += piece.advance;
    height = std::max(height, s.baseSize + (s.hasRuby() ? rubyPitch_ + s.rubySize : 0));
    pieces_.push_back(std::move(piece));
  }
  setSize(static_cast<int32_t>(std::floor(pen + 0.5f)), height);
  markOwnPaint();
}

void GUITextLine3::setVisibleCount(int32_t n) {
  n = n >= 0 && n < totalSteps_ ? n : -1;
  if (n == visible_) return;
  visible_ = n;
  markOwnPaint();
}

void GUITextLine3::clear() {
  markOwnPaint();
  segments_.clear();
  pieces_.clear();
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
    if (piece.base) add(piece.x, h - static_cast<float>(s.baseSize), piece.x + piece.baseWidth, h);
    if (!piece.ruby || piece.ruby->height() <= 2) continue;
    const float scale = static_cast<float>(s.rubySize) / static_cast<float>(piece.ruby->height() - 2);
    const float left = std::floor((piece.baseWidth - (piece.rubyWidth + 2.0f * scale)) * 0.5f + piece.x);
    const float top = std::floor(h - static_cast<float>(rubyPitch_ + s.rubySize + s.baseSize) - scale);
    add(left, top, left + piece.rubyWidth + 2.0f * scale, top + static_cast<float>(s.rubySize) + 2.0f * scale);
  }
  return true;
}

void GUITextLine3::draw() {
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
  if (!piece.ruby || piece.ruby->height() <= 2 || steps == 0) return;
  // The ruby texture has a one-pixel border, scaled with it.
  const float scale = static_cast<float>(s.rubySize) / static_cast<float>(piece.ruby->height() - 2);
  const float left = std::floor((piece.baseWidth - (piece.rubyWidth + 2.0f * scale)) * 0.5f + piece.x);
  const float top =
      std::floor(h - static_cast<float>(rubyPitch_ + s.rubySize + s.baseSize) - scale);
  float width = piece.rubyWidth + 2.0f * scale;
  float u = 1.0f;
  if (steps >= 0) {
    const float part = CellFraction(s.ruby, static_cast<size_t>(steps));
    width = scale + piece.rubyWidth * part;
    const float tw = static_cast<float>(piece.ruby->width());
    u = (1.0f + part * (tw - 2.0f)) / tw;
  }
  const GDevRectF rect{left, top, left + width, top + static_cast<float>(s.rubySize) + 2.0f * scale};
  DrawPair(piece.rubyEdge, piece.ruby, rect, GDevUV{0.0f, 0.0f, u, 1.0f});
}
