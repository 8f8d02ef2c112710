// The bitmap-font glyph renderer: per pixel size four 4-bit sheets of 16
// cells a row (read whole, plain or as an encoded block), one process-wide
// code table from UTF-16 code unit to candidate cells, and rendering by
// nibble copies into the alpha of an image in the text colour. Main thread.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "gdev/glyph_renderer.h"
#include "platform/codepage.h"

namespace {

// File header, information header and 16-colour table of a 4-bit sheet:
// where its pixel rows begin.
constexpr size_t kSheetHeaderBytes = 118;
constexpr int32_t kCellsPerRow = 16;
constexpr size_t kCodeUnits = 0x10000;
// 4-bit value -> alpha (note 128, not 127, at 7).
constexpr std::array<uint8_t, 16> kAlpha = {0, 31, 47, 63, 79, 95, 111, 128, 143, 159, 175, 191, 207, 223, 239, 255};

enum SheetError { kSheetOk = 0, kSheetUnreadable = 1, kSheetMalformed = 2 };

// One sheet: pixel rows top-down, two pixels a byte (high nibble = left).
struct Sheet {
  std::vector<uint8_t> bytes;
  int32_t cellWidth = 0;
  int32_t cellHeight = 0;
  size_t rowBytes = 0;
  size_t rows = 0;  // pixel rows, a whole number of cell rows

  // Where cell (row, column) starts: the byte of its top pixel row and its
  // first pixel within that row (cells are addressed by pixel, so an odd cell
  // width still finds its cells). False when the cell lies outside the
  // loaded rows.
  bool locate(int32_t row, int32_t column, uint32_t* offset, uint32_t* pixel) const {
    if (row < 0 || column < 0 || column >= kCellsPerRow) return false;
    if ((static_cast<size_t>(row) + 1) * static_cast<size_t>(cellHeight) > rows) return false;
    *offset = static_cast<uint32_t>(static_cast<size_t>(row) * static_cast<size_t>(cellHeight) * rowBytes);
    *pixel = static_cast<uint32_t>(column) * static_cast<uint32_t>(cellWidth);
    return true;
  }
};

// Where a code unit's glyph lives in one size: its sheet, the first pixel of
// the cell within its rows and the byte of the cell's top row.
struct CodeEntry {
  int8_t sheet = -1;  // -1: no glyph
  uint32_t pixel = 0;
  uint32_t offset = 0;
};

// A cell that may hold a code unit's glyph.
struct CellRef {
  uint8_t sheet;
  uint8_t row;  // at most 11 + 15 x 12 = 191
  uint8_t column;
};

// Every code unit's candidate cells in table order: sheet 3 for 32..127,
// then the two-byte Shift-JIS codes of sheets 2, 1 and 0 (lead x 256 + trail,
// trail 0x40 or more) that CP932 turns into one character. The same for
// every size of every bitmap font, so it is built once per process (about
// 150 KB) instead of a 65,536-entry table per size.
class CodeTable {
 public:
  static const CodeTable& get() {
    static const CodeTable table;
    return table;
  }

  // The candidates of c, in table order.
  std::span<const CellRef> cells(char16_t c) const {
    return std::span<const CellRef>(cells_.data() + first_[c], first_[c + 1u] - first_[c]);
  }

 private:
  CodeTable() {
    std::vector<std::pair<char16_t, CellRef>> list;
    for (int32_t c = 32; c < 128; ++c) {
      list.push_back({static_cast<char16_t>(c),
                      {3, static_cast<uint8_t>((c - 32) / 16), static_cast<uint8_t>((c - 32) % 16)}});
    }
    struct Range {
      uint8_t sheet;
      uint16_t first;
      uint16_t last;
      uint8_t baseLead;
    };
    constexpr Range kRanges[] = {{2, 0xE000, 0xEFFF, 0xE0}, {1, 0x9000, 0x9FFF, 0x90}, {0, 0x8140, 0x8FFF, 0x81}};
    for (const Range& range : kRanges) {
      for (uint32_t code = range.first; code <= range.last; ++code) {
        const uint8_t lead = static_cast<uint8_t>(code >> 8);
        const uint8_t trail = static_cast<uint8_t>(code & 0xFF);
        if (trail < 0x40) continue;
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const std::u16string unit = platform::DecodeCP932(std::string_view(bytes, 2));
        if (unit.size() != 1 || unit[0] == 0xFFFD) continue;
        list.push_back({unit[0],
                        {range.sheet, static_cast<uint8_t>((trail - 0x40) / 16 + (lead - range.baseLead) * 12),
                         static_cast<uint8_t>(trail % 16)}});
      }
    }
    // Counting sort by code unit; a stable fill keeps table order. At most
    // 96 + 3 x 16 x 192 cells, so 16-bit starts suffice.
    first_.assign(kCodeUnits + 1, 0);
    for (const auto& entry : list) ++first_[entry.first + 1u];
    for (size_t c = 0; c < kCodeUnits; ++c) first_[c + 1] = static_cast<uint16_t>(first_[c + 1] + first_[c]);
    cells_.resize(list.size());
    std::vector<uint16_t> next(first_.begin(), first_.end() - 1);
    for (const auto& entry : list) cells_[next[entry.first]++] = entry.second;
  }

  std::vector<uint16_t> first_;  // kCodeUnits + 1 starts into cells_
  std::vector<CellRef> cells_;
};

struct SizeRecord {
  int32_t size = 0;
  std::array<Sheet, 4> sheets;

  // The glyph of c in this size: of its candidate cells the last one that
  // lies within its sheet's loaded rows (a later assignment replaces an
  // earlier one); sheet -1 when none does.
  CodeEntry find(char16_t c) const {
    const std::span<const CellRef> cells = CodeTable::get().cells(c);
    for (size_t i = cells.size(); i-- > 0;) {
      const CellRef& cell = cells[i];
      CodeEntry entry;
      if (sheets[cell.sheet].locate(cell.row, cell.column, &entry.offset, &entry.pixel)) {
        entry.sheet = static_cast<int8_t>(cell.sheet);
        return entry;
      }
    }
    return CodeEntry{};
  }
};

uint32_t le16(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// Reads sheet k of size s: cells s x s (sheets 0 to 2) or s / 2 x s (sheet
// 3). The file must be a 4-bit BMP ("BM", 4 bits a pixel) whose pixel rows,
// after its 118-byte header, are whole rows of cells, at least one. Its
// width, height and data offset are not needed to read it: when they
// disagree with the sheet, one WARN names the file and the sheet is read
// all the same.
SheetError LoadSheet(const std::u16string& path, int32_t s, int k, Sheet* sheet) {
  std::vector<uint8_t> bytes;
  // Decodes an encoded block; an empty file or a block of nothing is unreadable.
  if (!LoadFileBytes(&bytes, path, false) || bytes.empty()) return kSheetUnreadable;
  if (bytes.size() < kSheetHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M' || le16(&bytes[28]) != 4) {
    return kSheetMalformed;
  }
  sheet->cellWidth = k == 3 ? s / 2 : s;
  sheet->cellHeight = s;
  sheet->rowBytes = static_cast<size_t>(kCellsPerRow) * static_cast<size_t>(sheet->cellWidth) / 2;
  const size_t data = bytes.size() - kSheetHeaderBytes;
  sheet->rows = data / sheet->rowBytes;
  if (sheet->rows == 0 || sheet->rows % static_cast<size_t>(sheet->cellHeight) != 0) return kSheetMalformed;
  const int64_t width = static_cast<int32_t>(le32(&bytes[18]));
  const int64_t height = static_cast<int32_t>(le32(&bytes[22]));
  const uint32_t offset = le32(&bytes[10]);
  const int64_t sheetWidth = int64_t{kCellsPerRow} * sheet->cellWidth;
  if (width != sheetWidth || height != static_cast<int64_t>(sheet->rows) || offset != kSheetHeaderBytes) {
    LogWrite(LOG_WARN, u"BitmapFactoryImpl::create() : sheet %s declares %I64d x %I64d pixels from byte %u; read as %I64d x %I64d from byte %d\n",
             path, width, height, offset, sheetWidth, static_cast<int64_t>(sheet->rows),
             static_cast<int32_t>(kSheetHeaderBytes));
  }
  // Stored bottom-up; kept top-down.
  sheet->bytes.resize(sheet->rows * sheet->rowBytes);
  for (size_t r = 0; r < sheet->rows; ++r) {
    const uint8_t* src = bytes.data() + kSheetHeaderBytes + (sheet->rows - 1 - r) * sheet->rowBytes;
    std::copy(src, src + sheet->rowBytes, sheet->bytes.begin() + static_cast<ptrdiff_t>(r * sheet->rowBytes));
  }
  return kSheetOk;
}

class BitmapImpl : public FontRenderer {
 public:
  explicit BitmapImpl(std::map<int32_t, SizeRecord> records) : records_(std::move(records)) {}

  void render(RGBAImageRef& out, const TextRenderParams& params, std::u16string_view text, int32_t) override {
    if (params.size < 1) {
      out.reset();
      return;
    }
    if (text.empty()) {
      const int64_t side = params.size;
      if (side * side > kMaxTextImagePixels) {
        out.reset();
      } else {
        out = RGBAImageRef(RGBAImage(0, params.size, params.size));
      }
      return;
    }
    const SizeRecord& record = select(params.size);
    const int32_t s = record.size;
    std::vector<CodeEntry> glyphs;
    glyphs.reserve(text.size());
    for (char16_t c : text) glyphs.push_back(record.find(c));
    const int64_t m = params.margin;
    int64_t width = 0, height = 0;
    if (!imageSize(params, text, glyphs, &width, &height) ||
        !ImageSizeWithinCap(u"BitmapImpl::render", width, height)) {
      out.reset();
      return;
    }
    RGBAImage image(0, static_cast<int32_t>(width), static_cast<int32_t>(height));
    const uint32_t color = static_cast<uint32_t>(params.color);
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
      image.pixels[i] = color & 0xFF;
      image.pixels[i + 1] = (color >> 8) & 0xFF;
      image.pixels[i + 2] = (color >> 16) & 0xFF;
    }
    int64_t pen = m;
    for (const CodeEntry& entry : glyphs) {
      if (entry.sheet < 0) {
        pen += s;  // no glyph: an empty full-width cell
        continue;
      }
      const Sheet& sheet = record.sheets[static_cast<size_t>(entry.sheet)];
      drawCell(image, sheet, entry, pen, m);
      pen += sheet.cellWidth;
    }
    out = RGBAImageRef(std::move(image));
  }

  bool measure(const TextRenderParams& params, std::u16string_view text, int32_t* width, int32_t* height) override {
    if (params.size < 1) return false;
    if (text.empty()) {
      if (int64_t{params.size} * params.size > kMaxTextImagePixels) return false;
      *width = *height = params.size;
      return true;
    }
    std::vector<CodeEntry> glyphs;
    glyphs.reserve(text.size());
    const SizeRecord& record = select(params.size);
    for (char16_t c : text) glyphs.push_back(record.find(c));
    int64_t w = 0, h = 0;
    if (!imageSize(params, text, glyphs, &w, &h)) return false;
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
  }

  int32_t adjustSize(int32_t size) const override { return select(size).size; }

 private:
  // The image of the text's glyphs: half-width cells for the characters
  // below 128 the sheets have, full cells for the rest; false when too big.
  bool imageSize(const TextRenderParams& params, std::u16string_view text, const std::vector<CodeEntry>& glyphs,
                 int64_t* width, int64_t* height) const {
    const int32_t s = select(params.size).size;
    int64_t cells = 0;
    for (size_t i = 0; i < text.size(); ++i) cells += (glyphs[i].sheet >= 0 && text[i] < 128) ? 1 : 2;
    *width = static_cast<int64_t>(s / 2) * cells + 2 * int64_t{params.margin};
    *height = static_cast<int64_t>(s) + 2 * int64_t{params.margin};
    return *width > 0 && *height > 0 && *width * *height <= kMaxTextImagePixels;
  }

  // The smallest size at least the request, else the largest.
  const SizeRecord& select(int32_t size) const {
    auto it = records_.lower_bound(size);
    if (it == records_.end()) --it;
    return it->second;
  }

  // Copies one cell's nibbles into the alpha at (left, top), clipped.
  static void drawCell(RGBAImage& image, const Sheet& sheet, const CodeEntry& cell, int64_t left, int64_t top) {
    for (int32_t r = 0; r < sheet.cellHeight; ++r) {
      const int64_t y = top + r;
      if (y < 0 || y >= image.height) continue;
      const uint8_t* row = sheet.bytes.data() + cell.offset + static_cast<size_t>(r) * sheet.rowBytes;
      for (int32_t x = 0; x < sheet.cellWidth; ++x) {
        const int64_t dx = left + x;
        if (dx < 0 || dx >= image.width) continue;
        const uint32_t px = cell.pixel + static_cast<uint32_t>(x);
        const uint8_t byte = row[px / 2];
        const uint8_t v = (px % 2 == 0) ? byte >> 4 : byte & 0x0F;
        image.pixel(static_cast<int32_t>(dx), static_cast<int32_t>(y))[3] = kAlpha[v];
      }
    }
  }

  std::map<int32_t, SizeRecord> records_;  // never empty
};

class BitmapFactoryImpl : public FontRendererFactory {
 public:
  bool create(const FontRendererCreateParams& params, std::unique_ptr<FontRenderer>* out) override {
    const auto* bitmap = dynamic_cast<const BitmapCreateParams*>(&params);
    if (!bitmap) return false;
    if (bitmap->sheets.empty()) {
      LogWrite(LOG_WARN, u"BitmapFactoryImpl::create() : no sizes\n");
      return false;
    }
    CodeTable::get();  // made at start-up, not on the first render
    std::map<int32_t, SizeRecord> records;
    for (const auto& [size, paths] : bitmap->sheets) {
      SizeRecord& record = records[size];
      record.size = size;
      for (int k = 0; k < 4; ++k) {
        // A half-width cell needs a size of at least 2.
        const SheetError error =
            size < 2 ? kSheetMalformed : LoadSheet(paths[static_cast<size_t>(k)], size, k, &record.sheets[k]);
        if (error != kSheetOk) {
          LogWrite(LOG_WARN, u"BitmapFactoryImpl::create() : failed to load sheet %d of size %d: %s (error %d)\n",
                   k, size, paths[static_cast<size_t>(k)], static_cast<int32_t>(error));
          return false;
        }
      }
    }
    *out = std::make_unique<BitmapImpl>(std::move(records));
    return true;
  }
};

}  // namespace

std::unique_ptr<FontRendererFactory> MakeBitmapFontFactory() { return std::make_unique<BitmapFactoryImpl>(); }
