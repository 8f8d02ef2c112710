// Glyph renderers: the system font on the pinned IPAGothic file (sizes, colour
// bytes, cells, fallback, the once-only CreateFont report), a taller face
// held inside its cell at the em and baseline its cell height gives, the
// report of a missing family, bitmap fonts from
// sheets made here (size selection, nibble-to-alpha, CP932 cells, missing
// glyphs, encoded and broken sheets), the slot table and DrawTextRun.
#include "gdev/glyph_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "platform/font_match.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

const char kIpaGothic[] = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const char kDejaVuSans[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

uint8_t Alpha(const RGBAImageRef& image, int32_t x, int32_t y) { return image->pixel(x, y)[3]; }

// Largest alpha in columns [x0, x1) and rows [y0, y1).
uint8_t MaxAlpha(const RGBAImageRef& image, int32_t x0, int32_t x1, int32_t y0, int32_t y1) {
  uint8_t best = 0;
  for (int32_t y = y0; y < y1; ++y)
    for (int32_t x = x0; x < x1; ++x) best = std::max(best, Alpha(image, x, y));
  return best;
}

bool ColourBytesAre(const RGBAImageRef& image, uint8_t blue, uint8_t green, uint8_t red) {
  for (size_t i = 0; i < image->pixels.size(); i += 4) {
    if (image->pixels[i] != blue || image->pixels[i + 1] != green || image->pixels[i + 2] != red) return false;
  }
  return true;
}

std::unique_ptr<FontRenderer> PinnedSystemFont(const std::u16string& file = u"") {
  GDICreateParams params;
  params.fontFile = file.empty() ? platform::FromUtf8(kIpaGothic) : file;
  std::unique_ptr<FontRenderer> renderer;
  EXPECT_TRUE(MakeSystemFontFactory()->create(params, &renderer));
  return renderer;
}

class SystemFontTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kIpaGothic)) GTEST_SKIP() << "fonts-ipafont-gothic is not installed";
  }
};

TEST_F(SystemFontTest, DrawsOnCellsInTheTextColourWithClearMargins) {
  std::unique_ptr<FontRenderer> font = PinnedSystemFont();
  RGBAImageRef image;
  font->render(image, {0, 20, static_cast<int32_t>(0xFF123456), 0, 2}, u"AB", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 24);
  EXPECT_EQ(image->height, 24);
  EXPECT_TRUE(ColourBytesAre(image, 0x56, 0x34, 0x12));  // top byte ignored
  EXPECT_GT(MaxAlpha(image, 2, 12, 2, 22), 0);           // A
  EXPECT_GT(MaxAlpha(image, 12, 22, 2, 22), 0);          // B
  EXPECT_EQ(MaxAlpha(image, 0, 24, 0, 2), 0);
  EXPECT_EQ(MaxAlpha(image, 0, 24, 22, 24), 0);
  EXPECT_EQ(font->adjustSize(20), 20);

  // Below 16, drawn directly; glyphs sit on their own cells.
  font->render(image, {0, 12, 0xFFFFFF, 0, 0}, u"A\u3000", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 18);
  EXPECT_GT(MaxAlpha(image, 0, 6, 0, 12), 0);
  EXPECT_EQ(MaxAlpha(image, 6, 18, 0, 12), 0);
  font->render(image, {0, 12, 0xFFFFFF, 0, 0}, u"\u3000A", 0);
  EXPECT_EQ(MaxAlpha(image, 0, 12, 0, 12), 0);
  EXPECT_GT(MaxAlpha(image, 12, 18, 0, 12), 0);

  // Odd sizes at the doubled path keep the width rule.
  font->render(image, {0, 17, 0, 0, 1}, u"Aあ", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3 * 17 / 2 + 2);
  EXPECT_EQ(image->height, 19);
  EXPECT_GT(MaxAlpha(image, 9, 26, 1, 18), 0);

  // Glyphs drawn before at another size (kept by the renderer) come out as
  // a fresh renderer draws them.
  for (int32_t size : {12, 20, 33}) {
    RGBAImageRef fresh;
    PinnedSystemFont()->render(fresh, {0, size, 0xFFFFFF, 0, 1}, u"Aあ", 0);
    font->render(image, {0, size, 0xFFFFFF, 0, 1}, u"Aあ", 0);
    ASSERT_TRUE(image && fresh);
    EXPECT_EQ(image->pixels, fresh->pixels) << size;
  }

  // Empty text is one ideographic space; nothing drawable is no image.
  font->render(image, {0, 20, 0, 0, 0}, u"", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 20);
  EXPECT_EQ(image->height, 20);
  EXPECT_EQ(MaxAlpha(image, 0, 20, 0, 20), 0);
  for (TextRenderParams bad : {TextRenderParams{0, 0, 0, 0, 2}, TextRenderParams{0, -5, 0, 0, 0},
                               TextRenderParams{0, 20, 0, 0, -20}, TextRenderParams{0, 3000, 0, 0, 0}}) {
    image = RGBAImageRef(RGBAImage(0, 1, 1));
    font->render(image, bad, u"ABCDEFGHIJ", 0);
    EXPECT_FALSE(image) << bad.size << " " << bad.margin;
  }
}

TEST_F(SystemFontTest, MatchesFacesByNameAndFallsBackForMissingGlyphs) {
  // The default face name goes through fontconfig and must find kana.
  std::unique_ptr<FontRenderer> byName;
  ASSERT_TRUE(MakeSystemFontFactory()->create(GDICreateParams{}, &byName));
  RGBAImageRef image;
  byName->render(image, {0, 24, 0xFFFFFF, 0, 0}, u"あ", 0);
  ASSERT_TRUE(image);
  EXPECT_GT(MaxAlpha(image, 0, 24, 0, 24), 0);

  // Armenian is not in IPAGothic: another installed face draws it, if any.
  std::unique_ptr<FontRenderer> pinned = PinnedSystemFont();
  pinned->render(image, {0, 24, 0xFFFFFF, 0, 0}, u"\u0531", 0);
  ASSERT_TRUE(image);
  const bool installed = !platform::MatchFontFileForChar({"IPAGothic"}, "ja", 0x531).path.empty();
  EXPECT_EQ(MaxAlpha(image, 0, image->width, 0, image->height) > 0, installed);

  // Parameters of the wrong kind are refused.
  std::unique_ptr<FontRenderer> none;
  EXPECT_FALSE(MakeSystemFontFactory()->create(BitmapCreateParams{}, &none));
  EXPECT_FALSE(none);
}

TEST_F(SystemFontTest, ASizeIsACellHeightThatHoldsTallFacesWhole) {
  // DejaVu Sans reaches 1.16 em from ascent to descent; IPAGothic exactly 1.
  struct Face {
    const char* file;
    double ascent;  // of the cell
  };
  for (const Face& face : {Face{kIpaGothic, 1802.0 / 2048}, Face{kDejaVuSans, 1901.0 / 2384}}) {
    if (!std::filesystem::exists(face.file)) continue;
    std::unique_ptr<FontRenderer> font = PinnedSystemFont(platform::FromUtf8(face.file));
    for (int32_t size : {12, 24, 33, 64}) {
      SCOPED_TRACE(std::string(face.file) + " " + std::to_string(size));
      const int32_t m = 3;
      RGBAImageRef image;
      font->render(image, {0, size, 0xFFFFFF, 0, m}, u"Agy", 0);
      ASSERT_TRUE(image);
      EXPECT_EQ(MaxAlpha(image, 0, image->width, 0, m), 0);
      EXPECT_EQ(MaxAlpha(image, 0, image->width, m + size, image->height), 0);
      // The descenders of g and y are drawn below the baseline.
      const int32_t baseline = m + static_cast<int32_t>(std::lround(size * face.ascent));
      for (int32_t cell : {1, 2}) {
        EXPECT_GT(MaxAlpha(image, m + cell * size / 2, m + (cell + 1) * size / 2, baseline, m + size), 0) << cell;
      }
    }
  }
}

// The mapping itself, on DejaVu Sans (2048 units an em, ascent 1901, descent
// 483, so a cell of 2384 units): the em is s x 2048 / 2384 pixels and the
// baseline s x 1901 / 2384 below the margin. "A" stands on the baseline row
// and the descender of "g" (426 units) ends where that em puts it, inside
// the cell. Sizes drawn directly and doubled.
TEST_F(SystemFontTest, ACellHeightMapsToTheEmAndBaselineOfTheFace) {
  if (!std::filesystem::exists(kDejaVuSans)) GTEST_SKIP() << "fonts-dejavu-core is not installed";
  std::unique_ptr<FontRenderer> font = PinnedSystemFont(platform::FromUtf8(kDejaVuSans));
  const int32_t m = 3;
  for (int32_t size : {12, 64}) {
    SCOPED_TRACE(size);
    RGBAImageRef image;
    font->render(image, {0, size, 0xFFFFFF, 0, m}, u"Ag", 0);
    ASSERT_TRUE(image);
    const auto lowestInkRow = [&](int32_t x0, int32_t x1) {
      int32_t row = -1;
      for (int32_t y = 0; y < image->height; ++y) {
        if (MaxAlpha(image, x0, x1, y, y + 1) > 0) row = y;
      }
      return row;
    };
    const int32_t baseline = m + static_cast<int32_t>(std::lround(size * 1901.0 / 2384));
    EXPECT_EQ(lowestInkRow(m, m + size / 2), baseline - 1);
    const double descender = size * 426.0 / 2384;  // 426 units of an em of s x 2048 / 2384 pixels
    EXPECT_NEAR(lowestInkRow(m + size / 2, m + size) + 1, baseline + descender, 1.0);
  }
}

TEST(SystemFont, AMissingFamilyIsReportedOncePerProcessWithTheFaceUsed) {
  LogCapture log;
  RGBAImageRef image;
  for (const char16_t* name : {u"Zep Missing Family", u"Zep Missing Family", u""}) {
    GDICreateParams params;
    params.faceName = name;
    std::unique_ptr<FontRenderer> font;
    ASSERT_TRUE(MakeSystemFontFactory()->create(params, &font));
    font->render(image, {0, 20, 0xFFFFFF, 0, 0}, u"A", 0);
  }
  std::vector<std::string> warnings;
  for (const std::string& line : log.lines()) {
    if (line.find("WARN") != std::string::npos) warnings.push_back(line);
  }
  ASSERT_EQ(warnings.size(), 1u) << log.all();
  EXPECT_NE(warnings[0].find("<Zep Missing Family>"), std::string::npos) << warnings[0];
  if (!platform::MatchFontFile({"IPAGothic"}, "ja").path.empty() && std::filesystem::exists(kIpaGothic)) {
    EXPECT_NE(warnings[0].find("<IPAGothic>"), std::string::npos) << warnings[0];
  }
}

TEST(SystemFont, AFaceThatCannotBeOpenedIsReportedOnceAndDrawsBlank) {
  LogCapture log;
  std::unique_ptr<FontRenderer> font = PinnedSystemFont(u"/nonexistent/font.ttf");
  RGBAImageRef image;
  for (int i = 0; i < 3; ++i) {
    font->render(image, {0, 20, 0xFFFFFF, 0, 2}, u"AB", 0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 24);
    EXPECT_EQ(MaxAlpha(image, 0, 24, 0, 24), 0);
  }
  const auto reports = std::count_if(log.lines().begin(), log.lines().end(), [](const std::string& line) {
    return line.find("failed to CreateFont") != std::string::npos && line.find("ERROR") != std::string::npos;
  });
  EXPECT_EQ(reports, 1) << log.all();
}

// ------------------------------------------------------------ bitmap fonts

// The alpha of each 4-bit value.
constexpr uint8_t kAlphaOf[16] = {0, 31, 47, 63, 79, 95, 111, 128, 143, 159, 175, 191, 207, 223, 239, 255};

// The nibble of pixel (x, y) of cell `index` (row x 16 + column) in sheet k.
uint8_t Nibble(int k, int index, int x, int y) { return static_cast<uint8_t>((k * 5 + index + x + 3 * y) % 16); }

// The 118-byte header of a 4-bit BMP: "BM", file size, data offset, a
// 40-byte information header (width, height, 1 plane, bits a pixel) and 16
// colours.
std::string SheetHeader(int32_t width, int32_t height, uint32_t offset = 118, uint16_t bits = 4) {
  std::string h(118, '\0');
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) h[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
  };
  h[0] = 'B', h[1] = 'M';
  put(2, static_cast<uint32_t>(118 + width / 2 * height), 4), put(10, offset, 4), put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4), put(22, static_cast<uint32_t>(height), 4), put(26, 1, 2), put(28, bits, 2);
  return h;
}

// A 4-bit sheet: its header, then cellRows rows of 16 cells, bottom-up.
std::string MakeSheet(int size, int k, int cellRows) {
  const int cw = k == 3 ? size / 2 : size;
  const int rowBytes = 8 * cw;
  const int rows = cellRows * size;
  std::string bytes = SheetHeader(16 * cw, rows);
  for (int i = 0; i < rows; ++i) {
    const int y = rows - 1 - i;
    std::string row(static_cast<size_t>(rowBytes), '\0');
    for (int px = 0; px < 16 * cw; ++px) {
      const uint8_t v = Nibble(k, (y / size) * 16 + px / cw, px % cw, y % size);
      row[static_cast<size_t>(px / 2)] = static_cast<char>(row[static_cast<size_t>(px / 2)] | (px % 2 ? v : v << 4));
    }
    bytes += row;
  }
  return bytes;
}

// Sheets of sizes 32 and 64: all of 32..127, sheet 0 down to row 18 (あ),
// sheets 1 and 2 one row of cells each.
BitmapCreateParams WriteFont(const TempDir& dir, int asciiRows = 6) {
  BitmapCreateParams params;
  for (int size : {32, 64}) {
    const int rows[4] = {19, 1, 1, asciiRows};
    for (int k = 0; k < 4; ++k) {
      const std::string name = std::to_string(k) + "_" + std::to_string(size) + ".bmp";
      params.sheets[size][static_cast<size_t>(k)] =
          platform::FromUtf8(dir.write(name, MakeSheet(size, k, rows[k])).string());
    }
  }
  return params;
}

std::unique_ptr<FontRenderer> MakeBitmap(const BitmapCreateParams& params) {
  std::unique_ptr<FontRenderer> renderer;
  if (!MakeBitmapFontFactory()->create(params, &renderer)) return nullptr;
  return renderer;
}

// True when the cell drawn at (left, top) carries sheet k's cell `index`.
bool HasCell(const RGBAImageRef& image, int left, int top, int k, int index, int width, int size) {
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < width; ++x)
      if (Alpha(image, left + x, top + y) != kAlphaOf[Nibble(k, index, x, y)]) return false;
  return true;
}

TEST(BitmapFont, SelectsASizeAndCopiesCellsAsAlpha) {
  TempDir dir;
  std::unique_ptr<FontRenderer> font = MakeBitmap(WriteFont(dir));
  ASSERT_TRUE(font);
  EXPECT_EQ(font->adjustSize(20), 32);
  EXPECT_EQ(font->adjustSize(33), 64);
  EXPECT_EQ(font->adjustSize(100), 64);

  RGBAImageRef image;
  font->render(image, {0, 20, 0x123456, 0, 2}, u"AB", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 36);
  EXPECT_EQ(image->height, 36);
  EXPECT_TRUE(ColourBytesAre(image, 0x56, 0x34, 0x12));
  EXPECT_TRUE(HasCell(image, 2, 2, 3, 'A' - 32, 16, 32));
  EXPECT_TRUE(HasCell(image, 18, 2, 3, 'B' - 32, 16, 32));
  EXPECT_EQ(MaxAlpha(image, 0, 36, 0, 2), 0);
  // Cell 'A' - 32 = 33 of sheet 3, pixel (x, 0) has nibble (15 + 33 + x) % 16 = x.
  EXPECT_EQ(Nibble(3, 33, 7, 0), 7);
  EXPECT_EQ(Alpha(image, 2 + 7, 2), 128);
  EXPECT_EQ(Alpha(image, 2 + 15, 2), 255);
  EXPECT_EQ(Alpha(image, 2 + 0, 2), 0);

  // Two-byte characters through CP932: あ (0x82A0, row 18) and ～ (0x8160, row 2).
  font->render(image, {0, 100, 0, 0, 0}, u"あ～", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 128);
  EXPECT_EQ(image->height, 64);
  EXPECT_TRUE(HasCell(image, 0, 0, 0, 18 * 16, 64, 64));
  EXPECT_TRUE(HasCell(image, 64, 0, 0, 2 * 16, 64, 64));

  // Half-width katakana has no cell: a 2-cell blank.
  font->render(image, {0, 32, 0, 0, 0}, u"ｶA", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 48);
  EXPECT_EQ(MaxAlpha(image, 0, 32, 0, 32), 0);
  EXPECT_TRUE(HasCell(image, 32, 0, 3, 'A' - 32, 16, 32));

  // Empty text: requested size square of zero bytes; no size: no image.
  font->render(image, {0, 20, 0xFFFFFF, 0, 3}, u"", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 20);
  EXPECT_EQ(image->height, 20);
  EXPECT_TRUE(std::all_of(image->pixels.begin(), image->pixels.end(), [](uint8_t b) { return b == 0; }));
  font->render(image, {0, 0, 0, 0, 0}, u"A", 0);
  EXPECT_FALSE(image);
}

TEST(BitmapFont, CellsOutsideTheSheetAndEncodedSheets) {
  TempDir dir;
  // Only rows 32..63 of the half-width sheet: 'A' has no cell.
  std::unique_ptr<FontRenderer> font = MakeBitmap(WriteFont(dir, 2));
  ASSERT_TRUE(font);
  RGBAImageRef image;
  font->render(image, {0, 32, 0, 0, 0}, u"0A", 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 16 + 32);
  EXPECT_TRUE(HasCell(image, 0, 0, 3, '0' - 32, 16, 32));
  EXPECT_EQ(MaxAlpha(image, 16, 48, 0, 32), 0);

  // An "EENC" sheet reads like the plain one.
  BitmapCreateParams params = WriteFont(dir);
  const std::string plain = MakeSheet(32, 3, 6);
  std::vector<uint8_t> block;
  EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), false);
  ASSERT_EQ(std::string(block.begin(), block.begin() + 4), "EENC");
  params.sheets[32][3] =
      platform::FromUtf8(dir.write("enc.bmp", std::string(block.begin(), block.end())).string());
  font = MakeBitmap(params);
  ASSERT_TRUE(font);
  font->render(image, {0, 32, 0, 0, 0}, u"A", 0);
  EXPECT_TRUE(HasCell(image, 0, 0, 3, 'A' - 32, 16, 32));

  // √ has two cells in sheet 0: 0x81E3 (row 10, column 3) and the later
  // 0x8795 (row 77, column 5), which wins only where its row is loaded.
  for (int rows : {78, 77}) {
    BitmapCreateParams twice;
    for (int k = 0; k < 4; ++k) {
      const std::string name = "twice" + std::to_string(rows) + "_" + std::to_string(k) + ".bmp";
      twice.sheets[4][static_cast<size_t>(k)] =
          platform::FromUtf8(dir.write(name, MakeSheet(4, k, k == 0 ? rows : 1)).string());
    }
    font = MakeBitmap(twice);
    ASSERT_TRUE(font);
    font->render(image, {0, 4, 0, 0, 0}, u"√", 0);
    ASSERT_TRUE(image);
    EXPECT_TRUE(HasCell(image, 0, 0, 0, rows == 78 ? 77 * 16 + 5 : 10 * 16 + 3, 4, 4)) << rows;
  }
}

TEST(BitmapFont, ABrokenSheetFailsTheWholeFont) {
  TempDir dir;
  const BitmapCreateParams good = WriteFont(dir);
  std::vector<uint8_t> block;
  const std::string plain = MakeSheet(32, 3, 6);
  EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(plain.data()), plain.size(), false);
  block.push_back(0);  // a block whose body does not decode
  const std::string png(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(192, '\x11'));
  const std::string brokenSheets[] = {
      MakeSheet(64, 3, 1).substr(0, 117),                               // shorter than the header
      SheetHeader(512, 65) + std::string(256 * 65, 0),                  // 65 pixel rows: not whole cell rows
      std::string(),                                                    // nothing to read
      std::string(block.begin(), block.end()),                          // a block that does not decode
      png,                                                              // not a BMP
      SheetHeader(512, 64, 118, 8) + std::string(256 * 64, 0),          // 8 bits a pixel
      SheetHeader(0, 0),                                                // no cell row at all
      MakeSheet(64, 3, 2).substr(0, 118 + 256 * 74),                    // cut short in its second cell row
  };
  for (const std::string& bytes : brokenSheets) {
    BitmapCreateParams params = good;
    params.sheets[64][3] = platform::FromUtf8(dir.write("broken.bmp", bytes).string());
    LogCapture log;
    EXPECT_FALSE(MakeBitmap(params)) << bytes.size();
    EXPECT_TRUE(log.contains("failed to load sheet 3 of size 64: " + dir.path().string() + "/broken.bmp (error"))
        << log.all();
  }
  // A width, height or data offset that disagrees with the sheet: one WARN
  // naming the file, and the sheet reads as its size and length say.
  const std::string rows = MakeSheet(32, 3, 6).substr(118);
  for (const std::string& header : {SheetHeader(0, 0), SheetHeader(256, -192), SheetHeader(256, 192, 54)}) {
    BitmapCreateParams params = good;
    params.sheets[32][3] = platform::FromUtf8(dir.write("odd.bmp", header + rows).string());
    LogCapture log;
    std::unique_ptr<FontRenderer> font = MakeBitmap(params);
    ASSERT_TRUE(font);
    EXPECT_EQ(std::count_if(log.lines().begin(), log.lines().end(),
                            [](const std::string& line) { return line.find("odd.bmp declares") != std::string::npos; }),
              1)
        << log.all();
    EXPECT_TRUE(log.contains("read as 256 x 192 from byte 118")) << log.all();
    RGBAImageRef image;
    font->render(image, {0, 32, 0, 0, 0}, u"A", 0);
    EXPECT_TRUE(HasCell(image, 0, 0, 3, 'A' - 32, 16, 32));
  }
  BitmapCreateParams missing = good;
  missing.sheets[32][1] = u"/nonexistent/1s.bmp";
  EXPECT_FALSE(MakeBitmap(missing));
  BitmapCreateParams tiny = good;
  tiny.sheets[1] = good.sheets.at(32);  // half-width cells of 0 pixels
  EXPECT_FALSE(MakeBitmap(tiny));
  EXPECT_FALSE(MakeBitmap(BitmapCreateParams{}));
  std::unique_ptr<FontRenderer> none;
  EXPECT_FALSE(MakeBitmapFontFactory()->create(GDICreateParams{}, &none));
}

// ------------------------------------------------------- table and runs

// Draws every cell solid (alpha 255) in the requested colour; remembers what
// it was asked.
class FakeRenderer : public FontRenderer {
 public:
  FakeRenderer(int32_t fixedSize, int* deaths = nullptr) : fixedSize_(fixedSize), deaths_(deaths) {}
  ~FakeRenderer() override {
    if (deaths_) ++*deaths_;
  }
  void render(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text, int32_t extra) override {
    last = params;
    lastText = std::u16string(text);
    lastExtra = extra;
    const int32_t s = adjustSize(params.size);
    int32_t cells = 0;
    for (char16_t c : text) cells += CellsOf(c);
    const int32_t m = params.margin;
    RGBAImage image(0, cells * s / 2 + 2 * m, s + 2 * m);
    for (int32_t y = 0; y < image.height; ++y) {
      for (int32_t x = 0; x < image.width; ++x) {
        uint8_t* p = image.pixel(x, y);
        p[0] = params.color & 0xFF;
        p[1] = (params.color >> 8) & 0xFF;
        p[2] = (params.color >> 16) & 0xFF;
        p[3] = (x >= m && y >= m && x < image.width - m && y < image.height - m) ? 255 : 0;
      }
    }
    out = RGBAImageRef(std::move(image));
  }
  int32_t adjustSize(int32_t size) const override { return fixedSize_ ? fixedSize_ : size; }

  TextRenderParams last;
  std::u16string lastText;
  int32_t lastExtra = 0;

 private:
  int32_t fixedSize_;
  int* deaths_;
};

TEST(FontRendererTable, SlotsFallBackToSlotZeroAndOwnTheirRenderers) {
  FontRendererTable table;
  RGBAImageRef image(RGBAImage(0, 1, 1));
  RenderTextImage(table, image, {3, 20, 0, 0, 0}, u"A", 0);
  EXPECT_FALSE(image);  // nothing at all

  int deaths = 0;
  EXPECT_FALSE(table.set(16, std::make_unique<FakeRenderer>(0, &deaths)));
  EXPECT_FALSE(table.set(-1, std::make_unique<FakeRenderer>(0, &deaths)));
  EXPECT_EQ(deaths, 2);
  ASSERT_TRUE(table.set(0, std::make_unique<FakeRenderer>(0, &deaths)));
  auto* three = new FakeRenderer(0, &deaths);
  ASSERT_TRUE(table.set(3, std::unique_ptr<FontRenderer>(three)));
  EXPECT_TRUE(table.has(3));
  EXPECT_FALSE(table.has(4));
  EXPECT_FALSE(table.has(16));
  EXPECT_EQ(table.get(-1), nullptr);
  EXPECT_EQ(table.get(99), nullptr);

  auto* zero = static_cast<FakeRenderer*>(table.get(0));
  RenderTextImage(table, image, {3, 20, 7, 0, 0}, u"A", 11);
  EXPECT_EQ(three->lastText, u"A");
  EXPECT_EQ(three->lastExtra, 11);
  for (int32_t slot : {5, 16, -1}) {
    RenderTextImage(table, image, {slot, 20, 7, 0, 0}, u"B", 0);
    EXPECT_EQ(zero->lastText, u"B");
    zero->lastText.clear();
  }
  ASSERT_TRUE(image);

  // A failed creation keeps the slot; a successful one replaces (and deletes) it.
  EXPECT_FALSE(table.createBitmapRenderer(3, BitmapCreateParams{}));
  EXPECT_EQ(table.get(3), three);
  EXPECT_FALSE(table.createGDIRenderer(16, GDICreateParams{}));
  ASSERT_TRUE(table.createGDIRenderer(3, GDICreateParams{}));
  EXPECT_EQ(deaths, 3);
  EXPECT_NE(table.get(3), nullptr);
  table.clear();
  EXPECT_EQ(deaths, 4);
  EXPECT_FALSE(table.has(0));
}

TEST(GlyphBlit, CopiesRowsClippedToTheDestination) {
  RGBAImage dest(0, 6, 5);
  RGBAImage glyph(0, 4, 4);
  for (size_t i = 0; i < glyph.pixels.size(); ++i) glyph.pixels[i] = static_cast<uint8_t>(i + 1);
  const RGBAImageRef ref(glyph);
  BlitGlyph(dest, -2, -1, 4, ref);  // top-left corner hangs out
  EXPECT_EQ(dest.pixel(0, 0)[0], glyph.pixel(2, 1)[0]);
  EXPECT_EQ(dest.pixel(1, 2)[3], glyph.pixel(3, 3)[3]);
  EXPECT_EQ(dest.pixel(2, 0)[0], 0);
  BlitGlyph(dest, 4, 3, 2, ref);  // bottom-right, only 2 rows asked
  EXPECT_EQ(dest.pixel(5, 4)[1], glyph.pixel(1, 1)[1]);
  EXPECT_EQ(dest.pixel(4, 3)[0], glyph.pixel(0, 0)[0]);
  BlitGlyph(dest, 2, 1, 1, ref);  // one row only
  EXPECT_EQ(dest.pixel(2, 1)[0], glyph.pixel(0, 0)[0]);
  EXPECT_EQ(dest.pixel(2, 2)[0], 0);
  BlitGlyph(dest, 100, -100, 4, ref);
  BlitGlyph(dest, 0, 0, 99, RGBAImageRef());
  EXPECT_EQ(dest.pixels.size(), 6u * 5 * 4);
}

TEST(DrawTextRun, OneFontColoursEachCellAndMixedFontsShareALine) {
  FontRendererTable table;
  auto* gothic = new FakeRenderer(0);
  auto* bitmap = new FakeRenderer(32);
  table.set(0, std::unique_ptr<FontRenderer>(gothic));
  table.set(2, std::unique_ptr<FontRenderer>(bitmap));
  const std::vector<GlyphItem> oneFont = {
      {u'A', 5, 1, 0xFF0000FF, 0xAA000001}, {u'あ', 5, 1, 0xFF00FF00, 0}, {u'b', 5, 1, 0xFFFF0000, 0}};
  EXPECT_EQ(CountTextCells(oneFont), 4);

  RGBAImageRef image;
  DrawTextRun(table, image, {9, 20, 0, 0, 1}, oneFont, 42);  // slot 5 is empty: slot 0 draws
  ASSERT_TRUE(image);
  EXPECT_EQ(gothic->lastText, u"Aあb");
  EXPECT_EQ(gothic->last.color, static_cast<int32_t>(0xFF0000FF));
  EXPECT_EQ(gothic->last.edge, static_cast<int32_t>(0xAA000001));
  EXPECT_EQ(gothic->lastExtra, 42);
  ASSERT_EQ(image->width, 42);
  const uint8_t* a = image->pixel(1 + 9, 5);
  const uint8_t* kana = image->pixel(11 + 19, 5);
  const uint8_t* b = image->pixel(31, 20);
  EXPECT_EQ((std::vector<int>{a[0], a[1], a[2], a[3]}), (std::vector<int>{0xFF, 0, 0, 255}));
  EXPECT_EQ((std::vector<int>{kana[0], kana[1], kana[2], kana[3]}), (std::vector<int>{0, 0xFF, 0, 255}));
  EXPECT_EQ((std::vector<int>{b[0], b[1], b[2], b[3]}), (std::vector<int>{0, 0, 0xFF, 255}));
  EXPECT_EQ(image->pixel(31, 0)[0], 0xFF);  // the top margin row keeps the first colour
  EXPECT_EQ(image->pixel(31, 0)[3], 0);

  // Two fonts: a common line of the larger size (32), each glyph on its cell,
  // bottoms aligned.
  const std::vector<GlyphItem> mixed = {{u'A', 0, 1, 0xFF0000FF, 0}, {u'あ', 2, 1, 0xFF00FF00, 0}};
  DrawTextRun(table, image, {0, 20, 0, 0, 0}, mixed, 0);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 16 * 3);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(Alpha(image, 5, 11), 0);    // above the size-20 glyph
  EXPECT_EQ(Alpha(image, 5, 12), 255);  // its top row
  EXPECT_EQ(image->pixel(5, 31)[0], 0xFF);
  EXPECT_EQ(MaxAlpha(image, 10, 16, 0, 32), 0);  // its cell is 16 wide, the glyph 10
  EXPECT_EQ(Alpha(image, 16, 0), 255);
  EXPECT_EQ(image->pixel(47, 31)[1], 0xFF);

  // Nothing to draw with, or nothing to draw.
  FontRendererTable empty;
  image = RGBAImageRef(RGBAImage(0, 1, 1));
  DrawTextRun(empty, image, {0, 20, 0, 0, 0}, oneFont, 0);
  EXPECT_FALSE(image);
  image = RGBAImageRef(RGBAImage(0, 1, 1));
  DrawTextRun(table, image, {0, 20, 0, 0, 0}, std::vector<GlyphItem>{}, 0);
  EXPECT_FALSE(image);
}

}  // namespace

namespace {

// Measuring gives the size of the image rendering makes, or none for none.
void ExpectMeasureMatchesRender(FontRenderer& font, const std::vector<std::u16string>& texts) {
  for (int32_t size : {0, 10, 15, 16, 24, 33, 100}) {
    for (int32_t margin : {0, 1, 2}) {
      for (const std::u16string& text : texts) {
        const TextRenderParams params{0, size, 0xFFFFFF, 0, margin};
        RGBAImageRef image;
        font.render(image, params, text, 0);
        int32_t w = -1, h = -1;
        const bool measured = font.measure(params, text, &w, &h);
        ASSERT_EQ(measured, static_cast<bool>(image)) << size << " " << margin << " " << text.size();
        if (!image) continue;
        EXPECT_EQ(w, image->width) << size << " " << margin << " " << text.size();
        EXPECT_EQ(h, image->height) << size << " " << margin << " " << text.size();
      }
    }
  }
}

}  // namespace

TEST(MeasureText, SystemAndBitmapFontsAndMixedRunsMeasureWhatTheyDraw) {
  const std::vector<std::u16string> texts = {u"", u"A", u"あいう", u"Aあｶ～", u"Ab1"};
  if (std::filesystem::exists(kIpaGothic)) {
    std::unique_ptr<FontRenderer> system = PinnedSystemFont();
    ASSERT_TRUE(system);
    ExpectMeasureMatchesRender(*system, texts);
  }
  TempDir dir;
  std::unique_ptr<FontRenderer> bitmap = MakeBitmap(WriteFont(dir));
  ASSERT_TRUE(bitmap);
  ExpectMeasureMatchesRender(*bitmap, texts);

  FontRendererTable table;
  table.set(0, std::unique_ptr<FontRenderer>(new FakeRenderer(0)));
  table.set(2, std::unique_ptr<FontRenderer>(new FakeRenderer(32)));
  for (const std::vector<GlyphItem>& items : {std::vector<GlyphItem>{{u'A', 0, 1, 0, 0}, {u'あ', 2, 1, 0, 0}},
                                              std::vector<GlyphItem>{{u'b', 2, 1, 0, 0}},
                                              std::vector<GlyphItem>{}}) {
    RGBAImageRef image;
    DrawTextRun(table, image, {0, 20, 0, 0, 1}, items, 0);
    int32_t w = -1, h = -1;
    ASSERT_EQ(MeasureTextRun(table, {0, 20, 0, 0, 1}, items, &w, &h), static_cast<bool>(image));
    if (image) {
      EXPECT_EQ(std::make_pair(w, h), std::make_pair(image->width, image->height));
    }
  }
}
