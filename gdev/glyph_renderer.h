// Glyph renderers: text parameters and glyph items, the renderer and factory
// interfaces (system fonts, bitmap-font sheets), the process-wide table of 16
// renderers, and the functions that turn a string or a run of glyph items
// into an RGBAImage (colour bytes = text colour, alpha = coverage). No device
// and no textures here. Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "gdev/rgba_image.h"

// What a caller asks of a renderer.
struct TextRenderParams {
  int32_t font = 0;    // slot of the renderer table
  int32_t size = 0;    // pixel height of a line; below 1 gives an empty image
  int32_t color = 0;   // 0xRRGGBB; the top byte is ignored
  int32_t edge = 0;    // edge settings of the caller (outline colour); not read by the renderers
  int32_t margin = 0;  // empty border on every side, in pixels
};

// One laid-out character of the message layout; copied by value.
struct GlyphItem {
  uint16_t character = 0;  // UTF-16 code unit
  uint8_t font = 0;        // slot of the renderer table
  uint8_t step = 0;        // characters per reveal step in the low 4 bits
  uint32_t color = 0;      // 0xAARRGGBB; the renderers use the red, green and blue bytes
  uint32_t edgeColor = 0;  // 0xAARRGGBB; alpha 0 means no outline. Passed on as the edge value.
};

// Half-width cells of one code unit: 1 below 128, else 2.
inline int32_t CellsOf(char16_t c) { return c < 128 ? 1 : 2; }

// Base of the creation parameters of every renderer kind.
class FontRendererCreateParams {
 public:
  virtual ~FontRendererCreateParams() = default;
};

// A system font, found by face name (fontconfig). An empty face name means the
// default face.
class GDICreateParams : public FontRendererCreateParams {
 public:
  std::u16string faceName;
  // When not empty, this font file (and face index) is used instead of the
  // face that the name matches; tests pin their font this way. Glyphs the
  // file lacks still fall back to matched faces.
  std::u16string fontFile;
  int32_t faceIndex = 0;
};

// Bitmap-font sheets: pixel size -> the four sheet files (sheets 0 to 3).
class BitmapCreateParams : public FontRendererCreateParams {
 public:
  std::map<int32_t, std::array<std::u16string, 4>> sheets;
};

class FontRenderer {
 public:
  virtual ~FontRenderer() = default;
  // out := the string drawn with the parameters' size, colour and margin; an
  // empty handle when nothing can be drawn (size below 1, an absurd size).
  // `extra` is passed through from the caller; no renderer reads it.
  virtual void render(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text,
                      int32_t extra) = 0;
  // The size of the image render makes of the text with these parameters,
  // without drawing it; false when it would make none (a size past the
  // image cap may still be refused by render). The default renders.
  virtual bool measure(const TextRenderParams& params, std::u16string_view text, int32_t* width, int32_t* height);
  // The line height the renderer actually draws for a requested size.
  virtual int32_t adjustSize(int32_t size) const = 0;
};

class FontRendererFactory {
 public:
  virtual ~FontRendererFactory() = default;
  // False when the parameters are of the wrong kind or the renderer cannot be
  // made; *out is set only on success.
  virtual bool create(const FontRendererCreateParams& params, std::unique_ptr<FontRenderer>* out) = 0;
};

// A factory of system-font renderers (FreeType faces found through
// fontconfig). Its renderers share the factory's font library, which lives as
// long as the factory or any of them; each renderer keeps its own faces with
// one sized instance per pixel size.
std::unique_ptr<FontRendererFactory> MakeSystemFontFactory();
// Looks up what a system-font renderer of this face (empty: the default
// face) looks up before it first draws, so that the answers are ready when
// it does. Any thread; the start-up calls it while the window is made.
void LookUpSystemFontFace(std::u16string_view faceName);
// A factory of bitmap-font renderers (sheets are read and decoded in create).
std::unique_ptr<FontRendererFactory> MakeBitmapFontFactory();

constexpr int32_t kFontRendererSlots = 16;

// 16 slots of renderers, all empty at first; the table owns its renderers.
class FontRendererTable {
 public:
  // The renderer of a slot; null for an empty slot or one outside 0..15.
  FontRenderer* get(int32_t slot) const;
  bool has(int32_t slot) const { return get(slot) != nullptr; }
  // Makes a renderer with a factory of its own and puts it in the slot,
  // replacing (and deleting) the old one. False for a slot outside 0..15 or
  // when the factory fails; the slot then keeps what it had.
  bool createGDIRenderer(int32_t slot, const GDICreateParams& params);
  bool createBitmapRenderer(int32_t slot, const BitmapCreateParams& params);
  // Puts a ready renderer in the slot (false outside 0..15).
  bool set(int32_t slot, std::unique_ptr<FontRenderer> renderer);
  // Empties every slot.
  void clear();

 private:
  std::array<std::unique_ptr<FontRenderer>, kFontRendererSlots> slots_;
};

// The process-wide table that the configured fonts fill at start-up.
FontRendererTable& GetFontRendererTable();

// Renders with the slot of the parameters' font number; an empty or
// out-of-range slot uses slot 0; when slot 0 is empty as well, out becomes an
// empty handle.
void RenderTextImage(FontRendererTable& table, RGBAImageRef& out, const TextRenderParams& params,
                     std::u16string_view text, int32_t extra);
void RenderTextImage(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text,
                     int32_t extra);

// Walks the cells of `count` characters in an image rendered with `margin`:
// half of (height - 2 x margin) pixels per half-width cell, from the margin
// on. charAt(i) gives the i-th character; cell(i, left, right) gets the
// columns of its cell clipped to the image, for every cell that starts
// inside it.
template <class CharAt, class Cell>
void ForEachTextCell(const RGBAImage& image, int32_t margin, size_t count, CharAt charAt, Cell cell) {
  const int64_t half = (static_cast<int64_t>(image.height) - 2 * static_cast<int64_t>(margin)) / 2;
  if (half <= 0 || image.width <= 0) return;
  int64_t x = margin;
  for (size_t i = 0; i < count && x < image.width; ++i) {
    const int64_t width = CellsOf(static_cast<char16_t>(charAt(i))) * half;
    const int64_t left = x < 0 ? 0 : x;
    const int64_t right = x + width < image.width ? x + width : image.width;
    if (left < right) cell(i, static_cast<int32_t>(left), static_cast<int32_t>(right));
    x += width;
  }
}

// Sum of the half-width cells of the items' characters.
int32_t CountTextCells(std::span<const GlyphItem> items);

// Copies `rows` rows of the glyph image (its full width, top rows first) to
// (x, y) of the destination. Whatever falls outside the destination, or
// beyond the glyph's own rows, is left out.
void BlitGlyph(RGBAImage& dest, int32_t x, int32_t y, int32_t rows, const RGBAImageRef& glyph);

// Draws a run of glyph items with the caller's size and margin (the params'
// font, colour and edge are taken from the items). One font number: the run
// is rendered as one string in the first item's font, colour and edge value,
// then each item's colour is written into its cell. Several font numbers:
// each item is rendered alone and placed on a common line of the largest
// adjusted size, bottoms aligned. out becomes an empty handle for no items or
// when no renderer exists.
void DrawTextRun(FontRendererTable& table, RGBAImageRef& out, const TextRenderParams& params,
                 std::span<const GlyphItem> items, int32_t extra);
// The size of the image DrawTextRun makes of the items, without drawing it;
// false when it would make none.
bool MeasureTextRun(FontRendererTable& table, const TextRenderParams& params, std::span<const GlyphItem> items,
                    int32_t* width, int32_t* height);
bool MeasureTextRun(const TextRenderParams& params, std::span<const GlyphItem> items, int32_t* width,
                    int32_t* height);
void DrawTextRun(RGBAImageRef& out, const TextRenderParams& params, std::span<const GlyphItem> items,
                 int32_t extra);

// Shared by the renderers: a text image must stay below this many pixels
// (also at the doubled size the system font draws at) and within the image
// cap of ImageSizeWithinCap (a WARN past it); larger requests give an empty
// handle.
constexpr int64_t kMaxTextImagePixels = int64_t{1} << 22;
