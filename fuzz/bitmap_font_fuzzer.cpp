// Fuzzes the bitmap-font sheets: the input gives a pixel size, a margin, a
// text and the four sheet files of that size (plain, or encoded blocks when
// they start so), each as given or padded to whole rows of cells, and with
// its header marked as a 4-bit BMP or as given. A renderer that loads must
// draw the text into an image of its line height plus the margins, every
// pixel in the text colour.
//   byte 0: size 2..41; byte 1: margin (low 2 bits), mark (bit 6), pad (bit 7);
//   bytes 2-9: the sheets' lengths (16-bit little-endian); then the text
//   (UTF-16 little-endian, up to 32 units) in what is left after the sheets.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/log.h"
#include "fuzz/fuzz_folder.h"
#include "gdev/glyph_renderer.h"
#include "platform/utf8.h"

namespace {

constexpr size_t kHeaderBytes = 10;
constexpr size_t kSheetHeaderBytes = 118;

size_t le16(const uint8_t* p) { return size_t{p[0]} | size_t{p[1]} << 8; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  MakeFuzzFolder("bitmap-font");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderBytes) return 0;
  const int32_t pixels = 2 + data[0] % 40;
  const int32_t margin = data[1] & 3;
  const bool pad = (data[1] & 0x80) != 0;
  const bool mark = (data[1] & 0x40) != 0;
  size_t at = kHeaderBytes;
  BitmapCreateParams params;
  std::array<std::u16string, 4>& paths = params.sheets[pixels];
  for (int k = 0; k < 4; ++k) {
    const size_t length = std::min(le16(data + 2 + 2 * k), size - at);
    std::vector<uint8_t> sheet(data + at, data + at + length);
    at += length;
    if (pad && sheet.size() >= kSheetHeaderBytes) {
      // Whole rows of 16 cells: (cell width / 2) x 16 bytes a pixel row.
      const size_t cellRow = static_cast<size_t>(k == 3 ? pixels / 2 : pixels) * 8 * static_cast<size_t>(pixels);
      const size_t body = sheet.size() - kSheetHeaderBytes;
      sheet.resize(kSheetHeaderBytes + (body + cellRow - 1) / cellRow * cellRow, 0x5A);
    }
    if (mark && sheet.size() >= kSheetHeaderBytes) {
      // "BM", and 4 bits a pixel in the information header.
      sheet[0] = 'B', sheet[1] = 'M', sheet[28] = 4, sheet[29] = 0;
    }
    const std::string name = "sheet" + std::to_string(k) + ".bmp";
    paths[static_cast<size_t>(k)] = platform::FromUtf8(WriteFuzzFile(name, sheet.data(), sheet.size()).string());
  }
  std::unique_ptr<FontRenderer> renderer;
  if (!MakeBitmapFontFactory()->create(params, &renderer)) return 0;

  std::u16string text;
  for (; at + 1 < size && text.size() < 32; at += 2) text.push_back(static_cast<char16_t>(le16(data + at)));
  TextRenderParams style;
  style.size = pixels;
  style.color = 0x123456;
  style.margin = margin;
  RGBAImageRef image;
  renderer->render(image, style, text, 0);
  if (!image) abort();
  const int32_t line = renderer->adjustSize(pixels);
  if (line != pixels || image->height != (text.empty() ? pixels : line + 2 * margin)) abort();
  for (size_t i = 0; !text.empty() && i < image->pixels.size(); i += 4) {
    if (image->pixels[i] != 0x56 || image->pixels[i + 1] != 0x34 || image->pixels[i + 2] != 0x12) abort();
  }
  return 0;
}
