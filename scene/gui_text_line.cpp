// GUITextLine: rendering a plain string and drawing it.
#include "scene/gui_text_line.h"

#include <algorithm>
#include <cmath>

#include "gdev/image_ops.h"
#include "gdev/texture_manager.h"

GUITextLine::GUITextLine() {
  params_.font = 0;
  params_.size = 24;
  params_.color = static_cast<int32_t>(0xFFFFFFFFu);
  colors_.fill(0xFFFFFFFFu);
}

void GUITextLine::setString(std::u16string_view text, bool withEdge) {
  std::vector<Glyph> glyphs;
  glyphs.reserve(text.size());
  for (char16_t c : text) glyphs.emplace_back(c, 0u);
  setGlyphs(std::move(glyphs), false, withEdge);
}

void GUITextLine::setGlyphs(std::vector<Glyph> glyphs, bool colourise, bool withEdge) {
  markOwnPaint();
  glyphs_ = std::move(glyphs);
  text_.reset();
  edge_.reset();
  std::u16string text;
  text.reserve(glyphs_.size());
  for (const Glyph& g : glyphs_) text.push_back(static_cast<char16_t>(g.first));

  RGBAImageRef image;
  RenderTextImage(image, params_, text, 0);
  if (image && colourise && image->width > 0 && image->height > 0) {
    RGBAImage* pixels = image.getWA();
    ForEachTextCell(
        *pixels, params_.margin, glyphs_.size(), [&](size_t i) { return glyphs_[i].first; },
        [&](size_t i, int32_t left, int32_t right) {
          // Codes 32..52 name the table's entries; 0 (and anything else) the last.
          const uint32_t code = glyphs_[i].second;
          const uint32_t color =
              code >= 32 && code - 32 < kColorCount ? colors_[code - 32] : colors_[kColorCount - 1];
          for (int32_t y = 0; y < pixels->height; ++y) {
            uint8_t* p = pixels->pixel(left, y);
            for (int32_t x = left; x < right; ++x, p += 4) {
              p[0] = color & 0xFF;
              p[1] = (color >> 8) & 0xFF;
              p[2] = (color >> 16) & 0xFF;
            }
          }
        });
  }
  if (image && image->width > 0 && image->height > 0) {
    GetTextureManager().createFromImage(text_, image, 1, 3);
    if (withEdge && params_.margin >= 1) {
      const uint32_t e = static_cast<uint32_t>(params_.edge);
      RGBAImageRef outline(RGBAImage(0, image->width, image->height));
      MakeEdgeImage(outline, image, (e >> 16) & 0xFF, (e >> 8) & 0xFF, e & 0xFF);
      GetTextureManager().createFromImage(edge_, outline, 1, 3);
    }
  }
  // No texture (or one without height) takes no room.
  if (text_ && text_->height() > 0) {
    const double scale = static_cast<double>(params_.size) / text_->height();
    setSize(static_cast<int32_t>(std::floor(text_->width() * scale + 0.5)),
            static_cast<int32_t>(std::floor(text_->height() * scale + 0.5)));
  } else {
    setSize(0, 0);
  }
  markOwnPaint();
}

void GUITextLine::setRevealPosition(int32_t x) {
  if (reveal_ == x) return;
  reveal_ = x;
  markOwnPaint();
}

void GUITextLine::draw() {
  if (!text_ || text_->width() <= 0) return;
  float w = static_cast<float>(width());
  float u = 1.0f;
  if (reveal_ >= 0) {
    u = std::min(1.0f, static_cast<float>(reveal_) / static_cast<float>(text_->width()));
    w = std::floor(w * u + 0.5f);
  }
  const GDevRectF rect{0.0f, 0.0f, w, static_cast<float>(height())};
  const GDevUV uv{0.0f, 0.0f, u, 1.0f};
  if (edge_) DrawTextureRect(rect, uv, edge_.get(), GDEV_BLEND_NORMAL, 0, 0);
  DrawTextureRect(rect, uv, text_.get(), GDEV_BLEND_NORMAL, 0, 0);
}
