// The renderer table, the slot fallback of RenderTextImage, the cell count,
// the clipped glyph blit and DrawTextRun (one- and mixed-font runs). The
// renderers themselves live in font_renderer_system.cpp and
// font_renderer_bitmap.cpp. Main thread.
#include "gdev/glyph_renderer.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool ValidSlot(int32_t slot) { return slot >= 0 && slot < kFontRendererSlots; }

// The slot's renderer, else slot 0's, else null.
FontRenderer* ResolveRenderer(const FontRendererTable& table, int32_t slot) {
  if (FontRenderer* renderer = table.get(slot)) return renderer;
  return table.get(0);
}

bool HasPixels(const RGBAImage* image) {
  return image && image->width > 0 && image->height > 0 &&
         image->pixels.size() >= static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 4;
}

// Writes the items' colours into the blue, green and red bytes of their cells
// (alpha kept): cells of (height - 2m) / 2 pixels below code 128, twice that
// otherwise, from column m, rows m to the bottom.
void ColourCells(RGBAImage& image, std::span<const GlyphItem> items, int32_t margin) {
  if (!HasPixels(&image)) return;
  const int32_t top = std::max(margin, 0);
  ForEachTextCell(
      image, margin, items.size(), [&](size_t i) { return items[i].character; },
      [&](size_t i, int32_t left, int32_t right) {
        const uint32_t color = items[i].color;
        for (int32_t y = top; y < image.height; ++y) {
          uint8_t* p = image.pixel(left, y);
          for (int32_t x = left; x < right; ++x, p += 4) {
            p[0] = color & 0xFF;
            p[1] = (color >> 8) & 0xFF;
            p[2] = (color >> 16) & 0xFF;
          }
        }
      });
}

}  // namespace

bool FontRenderer::measure(const TextRenderParams& params, std::u16string_view text, int32_t* width,
                           int32_t* height) {
  RGBAImageRef image;
  render(image, params, text, 0);
  if (!image) return false;
  *width = image->width;
  *height = image->height;
  return true;
}

FontRenderer* FontRendererTable::get(int32_t slot) const {
  return ValidSlot(slot) ? slots_[static_cast<size_t>(slot)].get() : nullptr;
}

bool FontRendererTable::createGDIRenderer(int32_t slot, const GDICreateParams& params) {
  if (!ValidSlot(slot)) return false;
  std::unique_ptr<FontRenderer> renderer;
  if (!MakeSystemFontFactory()->create(params, &renderer)) return false;
  return set(slot, std::move(renderer));
}

bool FontRendererTable::createBitmapRenderer(int32_t slot, const BitmapCreateParams& params) {
  if (!ValidSlot(slot)) return false;
  std::unique_ptr<FontRenderer> renderer;
  if (!MakeBitmapFontFactory()->create(params, &renderer)) return false;
  return set(slot, std::move(renderer));
}

bool FontRendererTable::set(int32_t slot, std::unique_ptr<FontRenderer> renderer) {
  if (!ValidSlot(slot)) return false;
  slots_[static_cast<size_t>(slot)] = std::move(renderer);
  return true;
}

void FontRendererTable::clear() {
  for (auto& slot : slots_) slot.reset();
}

FontRendererTable& GetFontRendererTable() {
  static FontRendererTable table;
  return table;
}

void RenderTextImage(FontRendererTable& table, RGBAImageRef& out, const TextRenderParams& params,
                     std::u16string_view text, int32_t extra) {
  FontRenderer* renderer = ResolveRenderer(table, params.font);
  if (!renderer) {
    out.reset();
    return;
  }
  renderer->render(out, params, text, extra);
}

void RenderTextImage(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text,
                     int32_t extra) {
  RenderTextImage(GetFontRendererTable(), out, params, text, extra);
}

int32_t CountTextCells(std::span<const GlyphItem> items) {
  int32_t cells = 0;
  for (const GlyphItem& item : items) cells += CellsOf(item.character);
  return cells;
}

void BlitGlyph(RGBAImage& dest, int32_t x, int32_t y, int32_t rows, const RGBAImageRef& glyph) {
  const RGBAImage* source = glyph.get();
  if (!HasPixels(source) || !HasPixels(&dest)) return;
  const int64_t rowCount = std::min(rows, source->height);
  // Source columns [sx0, sx1) and rows [sy0, sy1) that land inside dest.
  const int64_t sx0 = std::max<int64_t>(0, -static_cast<int64_t>(x));
  const int64_t sx1 = std::min<int64_t>(source->width, static_cast<int64_t>(dest.width) - x);
  const int64_t sy0 = std::max<int64_t>(0, -static_cast<int64_t>(y));
  const int64_t sy1 = std::min<int64_t>(rowCount, static_cast<int64_t>(dest.height) - y);
  if (sx0 >= sx1 || sy0 >= sy1) return;
  const size_t bytes = static_cast<size_t>(sx1 - sx0) * 4;
  for (int64_t sy = sy0; sy < sy1; ++sy) {
    std::memcpy(dest.pixel(static_cast<int32_t>(x + sx0), static_cast<int32_t>(y + sy)),
                source->pixel(static_cast<int32_t>(sx0), static_cast<int32_t>(sy)), bytes);
  }
}

void DrawTextRun(FontRendererTable& table, RGBAImageRef& out, const TextRenderParams& params,
                 std::span<const GlyphItem> items, int32_t extra) {
  if (items.empty()) {
    out.reset();
    return;
  }
  const uint8_t firstFont = items.front().font;
  const bool oneFont =
      std::all_of(items.begin(), items.end(), [&](const GlyphItem& item) { return item.font == firstFont; });

  if (oneFont) {
    FontRenderer* renderer = ResolveRenderer(table, firstFont);
    if (!renderer) {
      out.reset();
      return;
    }
    std::u16string text;
    text.reserve(items.size());
    for (const GlyphItem& item : items) text.push_back(static_cast<char16_t>(item.character));
    TextRenderParams run = params;
    run.font = firstFont;
    run.color = static_cast<int32_t>(items.front().color);
    run.edge = static_cast<int32_t>(items.front().edgeColor);
    renderer->render(out, run, text, extra);
    // The renderer drew all of it in the first item's colour.
    const uint32_t rgb = items.front().color & 0xFFFFFFu;
    const bool oneColour =
        std::all_of(items.begin(), items.end(), [&](const GlyphItem& item) { return (item.color & 0xFFFFFFu) == rgb; });
    if (oneColour) return;
    if (RGBAImage* image = out ? out.getWA() : nullptr) ColourCells(*image, items, params.margin);
    return;
  }

  // Several fonts: a common line of the largest size the fonts draw.
  int32_t size = 0;
  bool found = false;
  for (size_t i = 0; i < items.size(); ++i) {
    FontRenderer* renderer = ResolveRenderer(table, items[i].font);
    if (!renderer) continue;
    found = true;
    size = std::max(size, renderer->adjustSize(params.size));
  }
  const int64_t margin = params.margin;
  const int64_t width = static_cast<int64_t>(size / 2) * CountTextCells(items) + 2 * margin;
  const int64_t height = static_cast<int64_t>(size) + 2 * margin;
  if (!found || size < 1 || width <= 0 || height <= 0 || width * height > kMaxTextImagePixels ||
      !ImageSizeWithinCap(u"DrawTextRun", width, height)) {
    out.reset();
    return;
  }
  RGBAImage image(0, static_cast<int32_t>(width), static_cast<int32_t>(height));
  // Each glyph image carries its own margin: it is placed so that its cell
  // starts at the pen, with its bottom on the image's bottom.
  int64_t pen = margin;
  for (const GlyphItem& item : items) {
    RGBAImageRef glyph;
    DrawTextRun(table, glyph, params, std::span<const GlyphItem>(&item, 1), extra);
    if (glyph) {
      const int64_t gx = pen - margin;
      const int64_t gy = height - glyph->height;
      if (gx < width && gy < height) {
        BlitGlyph(image, static_cast<int32_t>(gx), static_cast<int32_t>(gy), glyph->height, glyph);
      }
    }
    pen += item.character < 128 ? size / 2 : size;
    if (pen - margin >= width) break;
  }
  out = RGBAImageRef(std::move(image));
}

void DrawTextRun(RGBAImageRef& out, const TextRenderParams& params, std::span<const GlyphItem> items,
                 int32_t extra) {
  DrawTextRun(GetFontRendererTable(), out, params, items, extra);
}

bool MeasureTextRun(FontRendererTable& table, const TextRenderParams& params, std::span<const GlyphItem> items,
                    int32_t* width, int32_t* height) {
  if (items.empty()) return false;
  const uint8_t firstFont = items.front().font;
  const bool oneFont =
      std::all_of(items.begin(), items.end(), [&](const GlyphItem& item) { return item.font == firstFont; });
  if (oneFont) {
    FontRenderer* renderer = ResolveRenderer(table, firstFont);
    if (!renderer) return false;
    std::u16string text;
    text.reserve(items.size());
    for (const GlyphItem& item : items) text.push_back(static_cast<char16_t>(item.character));
    TextRenderParams run = params;
    run.font = firstFont;
    return renderer->measure(run, text, width, height);
  }
  // As DrawTextRun lays several fonts out.
  int32_t size = 0;
  bool found = false;
  for (const GlyphItem& item : items) {
    FontRenderer* renderer = ResolveRenderer(table, item.font);
    if (!renderer) continue;
    found = true;
    size = std::max(size, renderer->adjustSize(params.size));
  }
  const int64_t w = static_cast<int64_t>(size / 2) * CountTextCells(items) + 2 * int64_t{params.margin};
  const int64_t h = static_cast<int64_t>(size) + 2 * int64_t{params.margin};
  if (!found || size < 1 || w <= 0 || h <= 0 || w * h > kMaxTextImagePixels) return false;
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

bool MeasureTextRun(const TextRenderParams& params, std::span<const GlyphItem> items, int32_t* width,
                    int32_t* height) {
  return MeasureTextRun(GetFontRendererTable(), params, items, width, height);
}
