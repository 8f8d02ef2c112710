// The system-font glyph renderer on FreeType: faces found through fontconfig
// (platform/font_match.h) with the families [configured face, "IPAGothic"],
// language "ja", monospaced; a size is a cell height (a face whose ascent
// plus descent exceeds its em is scaled down to fit it, and no ink leaves
// the cell); glyphs placed on the engine's half-width cells; coverage
// becomes alpha. Sizes of 16 and more are drawn at twice the size and
// halved. Drawn glyphs are kept by size and character. Main thread.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/log.h"
#include "gdev/glyph_renderer.h"
#include "gdev/image_ops.h"
#include "platform/font_match.h"
#include "platform/utf8.h"

namespace {

constexpr char16_t kDefaultFace[] = u"ＭＳ ゴシック";
constexpr char kFallbackFamily[] = "IPAGothic";
constexpr char kLanguage[] = "ja";
constexpr char16_t kIdeographicSpace = 0x3000;
// From this size on, text is drawn at twice the size and halved.
constexpr int32_t kDoubleFromSize = 16;

// One FreeType library, shared by a factory and every renderer it made.
class FreeTypeLibrary {
 public:
  FreeTypeLibrary() {
    if (FT_Init_FreeType(&library_) != 0) library_ = nullptr;
  }
  ~FreeTypeLibrary() {
    if (library_) FT_Done_FreeType(library_);
  }
  FreeTypeLibrary(const FreeTypeLibrary&) = delete;
  FreeTypeLibrary& operator=(const FreeTypeLibrary&) = delete;

  FT_Library get() const { return library_; }

 private:
  FT_Library library_ = nullptr;
};

// An open face with one sized instance per pixel size (made once, reused).
class Face {
 public:
  Face(FT_Face face, std::string path, int index) : face_(face), path_(std::move(path)), index_(index) {}
  ~Face() { FT_Done_Face(face_); }  // frees the sizes as well
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  static std::unique_ptr<Face> open(FT_Library library, const std::string& path, int index) {
    FT_Face face = nullptr;
    if (!library || path.empty() || FT_New_Face(library, path.c_str(), index, &face) != 0) return nullptr;
    return std::make_unique<Face>(face, path, index);
  }

  FT_Face get() const { return face_; }
  bool is(const std::string& path, int index) const { return path_ == path && index_ == index; }
  bool hasGlyph(char32_t c) const { return FT_Get_Char_Index(face_, c) != 0; }

  // Makes the instance for cell height s current: the face is scaled so
  // that its ascent plus descent fills s pixels when that exceeds its em;
  // false when the face cannot be sized so.
  bool activate(int32_t s) {
    auto it = sizes_.find(s);
    if (it == sizes_.end()) {
      FT_Size size = nullptr;
      if (FT_New_Size(face_, &size) != 0) return false;
      if (FT_Activate_Size(size) != 0 || !scaleTo(s)) {
        FT_Done_Size(size);
        return false;
      }
      sizes_.emplace(s, size);
      return true;
    }
    return FT_Activate_Size(it->second) == 0;
  }

  // Pixels from the top of the cell to the baseline at cell height s.
  int32_t ascent(int32_t s) const {
    if (face_->units_per_EM > 0) {
      return static_cast<int32_t>(std::lround(static_cast<double>(s) * face_->ascender / cellUnits()));
    }
    return static_cast<int32_t>(face_->size->metrics.ascender >> 6);  // bitmap-only face
  }

 private:
  // Font units of one cell: the em, or ascent plus descent when larger.
  double cellUnits() const {
    const double extent = static_cast<double>(face_->ascender) - face_->descender;
    return std::max<double>(face_->units_per_EM, extent);
  }

  bool scaleTo(int32_t s) {
    if (face_->units_per_EM == 0) return FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(s)) == 0;
    // The em in 26.6 pixels: exactly s for a face whose extent is its em.
    const auto em = static_cast<FT_F26Dot6>(std::lround(64.0 * s * face_->units_per_EM / cellUnits()));
    return FT_Set_Char_Size(face_, 0, std::max<FT_F26Dot6>(em, 1), 72, 72) == 0;
  }

  FT_Face face_;
  std::string path_;
  int index_;
  std::map<int32_t, FT_Size> sizes_;
};

// A glyph as FreeType drew it: 8-bit coverage and its placement.
struct GlyphBitmap {
  std::vector<uint8_t> alpha;  // rows x width
  int32_t width = 0;
  int32_t rows = 0;
  int32_t left = 0;     // from the pen to the first column
  int32_t top = 0;      // from the baseline up to the first row
  int32_t advance = 0;  // whole pixels
  bool drawn = false;   // false: FreeType failed; nothing to draw

  // Takes the slot's bitmap in whichever pixel mode it came.
  static GlyphBitmap from(const FT_GlyphSlot slot) {
    GlyphBitmap g;
    const FT_Bitmap& bitmap = slot->bitmap;
    g.width = static_cast<int32_t>(bitmap.width);
    g.rows = static_cast<int32_t>(bitmap.rows);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.advance = static_cast<int32_t>(slot->advance.x >> 6);
    g.drawn = true;
    g.alpha.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
    uint8_t* out = g.alpha.data();
    for (unsigned row = 0; row < bitmap.rows; ++row) {
      const unsigned char* src = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
      for (unsigned col = 0; col < bitmap.width; ++col) {
        switch (bitmap.pixel_mode) {
          case FT_PIXEL_MODE_GRAY:
            *out = src[col];
            break;
          case FT_PIXEL_MODE_MONO:
            *out = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            break;
          case FT_PIXEL_MODE_BGRA:
            *out = src[col * 4 + 3];
            break;
          default:
            *out = 0;
            break;
        }
        ++out;
      }
    }
    return g;
  }
};

// An 8-bit coverage buffer of exactly the image's size; writes are clipped.
struct Coverage {
  Coverage(int32_t w, int32_t h) : width(w), height(h), alpha(static_cast<size_t>(w) * static_cast<size_t>(h)) {}

  // Keeps the stronger coverage where glyphs overlap. Only the rows from
  // cellTop to cellBottom (exclusive) are drawn.
  void draw(const GlyphBitmap& glyph, int64_t left, int64_t top, int64_t cellTop, int64_t cellBottom) {
    const int64_t x0 = std::max<int64_t>(left, 0);
    const int64_t x1 = std::min<int64_t>(left + glyph.width, width);
    const int64_t y0 = std::max<int64_t>({top, cellTop, 0});
    const int64_t y1 = std::min<int64_t>({top + glyph.rows, cellBottom, height});
    if (x0 >= x1) return;
    const size_t count = static_cast<size_t>(x1 - x0);
    for (int64_t y = y0; y < y1; ++y) {
      const uint8_t* src = glyph.alpha.data() + static_cast<size_t>(y - top) * static_cast<size_t>(glyph.width) +
                           static_cast<size_t>(x0 - left);
      uint8_t* dst = alpha.data() + static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x0);
      for (size_t i = 0; i < count; ++i) dst[i] = std::max(dst[i], src[i]);
    }
  }

  // Each 2x2 block averaged (rounded down); an odd last column or row is
  // left out. The same as halving the coloured image, whose colour bytes
  // are one value throughout.
  Coverage halved() const {
    Coverage half(width / 2, height / 2);
    uint8_t* o = half.alpha.data();
    for (int32_t y = 0; y < half.height; ++y) {
      const uint8_t* upper = alpha.data() + static_cast<size_t>(2 * y) * static_cast<size_t>(width);
      const uint8_t* lower = upper + width;
      for (int32_t x = 0; x < half.width; ++x) {
        *o++ = static_cast<uint8_t>((upper[2 * x] + upper[2 * x + 1] + lower[2 * x] + lower[2 * x + 1]) >> 2);
      }
    }
    return half;
  }

  int32_t width;
  int32_t height;
  std::vector<uint8_t> alpha;
};

// Drawn glyphs by cell height and character. Text repeats its characters, and a
// skipped story draws line after line: FreeType draws each glyph once. Past
// the byte cap the cache starts again empty.
class GlyphCache {
 public:
  const GlyphBitmap* find(int32_t size, char32_t c) const {
    auto it = glyphs_.find(key(size, c));
    return it == glyphs_.end() ? nullptr : &it->second;
  }
  const GlyphBitmap& add(int32_t size, char32_t c, GlyphBitmap glyph) {
    if (bytes_ + glyph.alpha.size() > kCapBytes) {
      glyphs_.clear();
      bytes_ = 0;
    }
    bytes_ += glyph.alpha.size();
    return glyphs_.insert_or_assign(key(size, c), std::move(glyph)).first->second;
  }

 private:
  static constexpr size_t kCapBytes = size_t{4} << 20;
  static uint64_t key(int32_t size, char32_t c) { return (static_cast<uint64_t>(size) << 32) | c; }

  std::unordered_map<uint64_t, GlyphBitmap> glyphs_;
  size_t bytes_ = 0;
};

// The families a face name is looked up as: the name, then the fallback.
std::vector<std::string> FamiliesOf(std::u16string_view faceName) {
  return {platform::ToUtf8(faceName), kFallbackFamily};
}

class SystemFontImpl : public FontRenderer {
 public:
  SystemFontImpl(const GDICreateParams& params, std::shared_ptr<FreeTypeLibrary> library)
      : params_(params), library_(std::move(library)) {
    if (params_.faceName.empty()) params_.faceName = kDefaultFace;
    families_ = FamiliesOf(params_.faceName);
  }

  void render(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text, int32_t) override {
    const std::u16string_view shown = text.empty() ? std::u16string_view(&kIdeographicSpace, 1) : text;
    const bool doubled = params.size >= kDoubleFromSize;
    const int64_t s = doubled ? 2 * static_cast<int64_t>(params.size) : params.size;
    const int64_t m = doubled ? 2 * static_cast<int64_t>(params.margin) : params.margin;
    int64_t width = 0, height = 0;
    if (!drawnSize(params, shown, &width, &height) || !ImageSizeWithinCap(u"SystemFontImpl::render", width, height)) {
      out.reset();
      return;
    }
    Coverage drawn(static_cast<int32_t>(width), static_cast<int32_t>(height));
    drawText(drawn, static_cast<int32_t>(s), static_cast<int32_t>(m), shown);
    const Coverage coverage = doubled ? drawn.halved() : std::move(drawn);

    const uint32_t color = static_cast<uint32_t>(params.color);
    const uint8_t blue = color & 0xFF, green = (color >> 8) & 0xFF, red = (color >> 16) & 0xFF;
    RGBAImage image(0, coverage.width, coverage.height);
    uint8_t* p = image.pixels.data();
    for (uint8_t a : coverage.alpha) {
      p[0] = blue;
      p[1] = green;
      p[2] = red;
      p[3] = a;
      p += 4;
    }
    out = RGBAImageRef(std::move(image));
  }

  bool measure(const TextRenderParams& params, std::u16string_view text, int32_t* width, int32_t* height) override {
    const std::u16string_view shown = text.empty() ? std::u16string_view(&kIdeographicSpace, 1) : text;
    int64_t w = 0, h = 0;
    if (!drawnSize(params, shown, &w, &h)) return false;
    // A doubled drawing is halved.
    if (params.size >= kDoubleFromSize) {
      w /= 2;
      h /= 2;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
  }

  int32_t adjustSize(int32_t size) const override { return size; }

 private:
  // The size the text is drawn at (twice the image's from kDoubleFromSize
  // on); false when nothing is drawn.
  static bool drawnSize(const TextRenderParams& params, std::u16string_view shown, int64_t* width, int64_t* height) {
    int64_t cells = 0;
    for (char16_t c : shown) cells += CellsOf(c);
    const bool doubled = params.size >= kDoubleFromSize;
    const int64_t s = doubled ? 2 * static_cast<int64_t>(params.size) : params.size;
    const int64_t m = doubled ? 2 * static_cast<int64_t>(params.margin) : params.margin;
    *width = cells * s / 2 + 2 * m;
    *height = s + 2 * m;
    return params.size >= 1 && *width > 0 && *height > 0 && *width * *height <= kMaxTextImagePixels;
  }

  // Draws the glyphs of the text on their cells at cell height s with margin m.
  void drawText(Coverage& coverage, int32_t s, int32_t m, std::u16string_view text) {
    Face* primary = primaryFace();
    if (!primary || !primary->activate(s)) {
      reportOnce(&reportedCreateFont_, u"failed to CreateFont", s);
      return;
    }
    const int64_t baseline = static_cast<int64_t>(m) + primary->ascent(s);
    int64_t cellsBefore = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      const char16_t unit = text[i];
      const int64_t left = m + cellsBefore * s / 2;
      const int64_t cellWidth = m + (cellsBefore + CellsOf(unit)) * s / 2 - left;
      cellsBefore += CellsOf(unit);
      char32_t c = unit;
      if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
          text[i + 1] <= 0xDFFF) {
        // A pair draws one glyph on the first unit's cell; the second cell stays empty.
        c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        cellsBefore += CellsOf(text[i + 1]);
        ++i;
      } else if (unit >= 0xD800 && unit <= 0xDFFF) {
        continue;  // an unpaired surrogate draws nothing
      }
      const GlyphBitmap* glyph = glyphFor(primary, s, c);
      if (!glyph || !glyph->drawn) continue;
      // Centred on its cell: a monospaced face's advance fills the cell exactly.
      const int64_t origin = left + (cellWidth - glyph->advance) / 2;
      coverage.draw(*glyph, origin + glyph->left, baseline - glyph->top, m, int64_t{m} + s);
    }
  }

  // The glyph of c at em size s, from the cache or drawn now; null when no
  // face has it or its face cannot be sized.
  const GlyphBitmap* glyphFor(Face* primary, int32_t s, char32_t c) {
    if (const GlyphBitmap* known = glyphs_.find(s, c)) return known;
    Face* face = faceFor(primary, c);
    if (!face) return nullptr;
    if (!face->activate(s)) {
      reportOnce(&reportedCreateFont_, u"failed to CreateFont", s);
      return nullptr;
    }
    FT_Face ft = face->get();
    const FT_UInt index = FT_Get_Char_Index(ft, c);
    FT_Error error = FT_Load_Glyph(ft, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_NORMAL);
    if (error != 0) error = FT_Load_Glyph(ft, index, FT_LOAD_DEFAULT | FT_LOAD_COLOR);
    if (error == 0 && ft->glyph->format != FT_GLYPH_FORMAT_BITMAP) {
      error = FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL);
    }
    if (error != 0) {
      reportOnce(&reportedTextOut_, u"failed to textout", s);
      return &glyphs_.add(s, c, GlyphBitmap{});
    }
    return &glyphs_.add(s, c, GlyphBitmap::from(ft->glyph));
  }

  // The configured face, opened on first use (the pinned file or the match).
  Face* primaryFace() {
    if (!primaryTried_) {
      primaryTried_ = true;
      platform::FontFile file;
      if (!params_.fontFile.empty()) {
        file.path = platform::ToUtf8(params_.fontFile);
        file.index = params_.faceIndex;
      } else {
        file = platform::MatchFontFile(families_, kLanguage);
      }
      primary_ = Face::open(library_->get(), file.path, file.index);
      if (primary_) {
        LogWrite(LOG_DEBUG, u"SystemFontImpl: face <%s> is %s(%d)\n", params_.faceName,
                 platform::FromUtf8(file.path), file.index);
      }
      if (params_.fontFile.empty()) reportMissingFamily();
    }
    return primary_.get();
  }

  // A configured family that is not installed is reported once per process
  // with the face drawn instead. The default face stands for the fallback
  // family by design and is never reported.
  void reportMissingFamily() const {
    if (params_.faceName == kDefaultFace || platform::FontFamilyInstalled(families_.front())) return;
    static std::set<std::u16string> reported;  // main thread
    if (!reported.insert(params_.faceName).second) return;
    const char* used = primary_ && primary_->get()->family_name ? primary_->get()->family_name : "";
    LogWrite(LOG_WARN, u"SystemFontImpl: face <%s> is not installed; drawn with <%s>\n", params_.faceName,
             platform::FromUtf8(used));
  }

  // The face that draws c: the configured one, else another matching face
  // that has the glyph; null when none has it. Answers are remembered.
  Face* faceFor(Face* primary, char32_t c) {
    if (primary->hasGlyph(c)) return primary;
    auto known = fallbackFor_.find(c);
    if (known != fallbackFor_.end()) return known->second;
    Face* found = nullptr;
    const platform::FontFile file = platform::MatchFontFileForChar(families_, kLanguage, c);
    if (!file.path.empty() && !primary->is(file.path, file.index)) {
      for (const auto& face : fallbacks_) {
        if (face->is(file.path, file.index)) found = face.get();
      }
      if (!found) {
        if (std::unique_ptr<Face> face = Face::open(library_->get(), file.path, file.index)) {
          found = face.get();
          fallbacks_.push_back(std::move(face));
        }
      }
      if (found && !found->hasGlyph(c)) found = nullptr;
    }
    fallbackFor_.emplace(c, found);
    return found;
  }

  void reportOnce(bool* reported, std::u16string_view what, int32_t size) {
    if (*reported) return;
    *reported = true;
    LogWrite(LOG_ERROR, u"SystemFontImpl::render() : %s (face <%s>, size %d)\n", std::u16string(what),
             params_.faceName, size);
  }

  GDICreateParams params_;
  std::vector<std::string> families_;
  std::shared_ptr<FreeTypeLibrary> library_;  // outlives the faces below
  bool primaryTried_ = false;
  std::unique_ptr<Face> primary_;
  std::vector<std::unique_ptr<Face>> fallbacks_;
  std::unordered_map<char32_t, Face*> fallbackFor_;
  GlyphCache glyphs_;
  bool reportedCreateFont_ = false;
  bool reportedTextOut_ = false;
};

class SystemFontFactoryImpl : public FontRendererFactory {
 public:
  bool create(const FontRendererCreateParams& params, std::unique_ptr<FontRenderer>* out) override {
    const auto* gdi = dynamic_cast<const GDICreateParams*>(&params);
    if (!gdi) return false;
    if (!library_) {
      auto library = std::make_shared<FreeTypeLibrary>();
      if (!library->get()) {
        LogWrite(LOG_ERROR, u"SystemFontFactoryImpl::create() : failed to FT_Init_FreeType\n");
        return false;
      }
      library_ = std::move(library);
    }
    *out = std::make_unique<SystemFontImpl>(*gdi, library_);
    return true;
  }

 private:
  std::shared_ptr<FreeTypeLibrary> library_;  // made on the first create
};

}  // namespace

void LookUpSystemFontFace(std::u16string_view faceName) {
  if (faceName.empty()) faceName = kDefaultFace;
  const std::vector<std::string> families = FamiliesOf(faceName);
  platform::MatchFontFile(families, kLanguage);
  // What reportMissingFamily asks.
  if (faceName != kDefaultFace) platform::FontFamilyInstalled(families.front());
}

std::unique_ptr<FontRendererFactory> MakeSystemFontFactory() { return std::make_unique<SystemFontFactoryImpl>(); }
