// The PNG codec: every colour type decodes to 4 bytes per pixel in the asked
// order, encoding writes colour type 6 or 2, and broken or oversized input
// fails with 1. Test files are written with libpng directly.
#include "gdev/png_util.h"

#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct PngSpec {
  uint32_t width = 1;
  uint32_t height = 1;
  int bitDepth = 8;
  int colorType = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<png_color> palette;
  Bytes trns;
  bool headerOnly = false;  // stop after IHDR (for size checks)
};

void appendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

bool writeRaw(png_structp png, png_infop info, const PngSpec* spec, png_bytepp rows, Bytes* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, appendBytes, nullptr);
  png_set_IHDR(png, info, spec->width, spec->height, spec->bitDepth, spec->colorType,
               spec->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!spec->palette.empty()) {
    png_set_PLTE(png, info, spec->palette.data(), static_cast<int>(spec->palette.size()));
  }
  if (!spec->trns.empty()) {
    png_set_tRNS(png, info, spec->trns.data(), static_cast<int>(spec->trns.size()), nullptr);
  }
  png_write_info(png, info);
  if (spec->headerOnly) return true;
  if (spec->bitDepth == 16) png_set_swap(png);  // rows below are little-endian
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

// A PNG of the given raw rows (packed as the file stores them, 16-bit samples
// little-endian).
Bytes MakePng(const PngSpec& spec, const std::vector<Bytes>& rows) {
  Bytes out;
  std::vector<png_bytep> pointers;
  for (const Bytes& row : rows) pointers.push_back(const_cast<png_bytep>(row.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = writeRaw(png, info, &spec, pointers.data(), &out);
  png_destroy_write_struct(&png, &info);
  EXPECT_TRUE(ok);
  return out;
}

struct Decoded {
  int32_t code = -1;
  Bytes pixels;
  int32_t width = 0, height = 0, channels = 0;
};

Decoded Decode(const Bytes& png, uint32_t flags) {
  Decoded d;
  d.code = GetPngUtil()->decodeFromMemory(png.data(), png.size(), &d.pixels, &d.width, &d.height,
                                          &d.channels, flags);
  return d;
}

TEST(LibPngUtil, DecodesEveryColourTypeToFourBytesPerPixel) {
  // Pure red, in both byte orders.
  const Bytes red = MakePng({}, {{255, 0, 0}});
  Decoded d = Decode(red, kPngEngineFlags);
  ASSERT_EQ(d.code, 0);
  EXPECT_EQ(d.width, 1);
  EXPECT_EQ(d.height, 1);
  EXPECT_EQ(d.channels, 4);
  EXPECT_EQ(d.pixels, (Bytes{0, 0, 255, 255}));
  EXPECT_EQ(Decode(red, 0).pixels, (Bytes{255, 0, 0, 255}));

  // Palette: tRNS gives the first entry alpha 128 and leaves the second 255;
  // without tRNS everything is opaque.
  PngSpec palette;
  palette.width = 2;
  palette.colorType = PNG_COLOR_TYPE_PALETTE;
  palette.palette = {{255, 0, 0}, {0, 255, 0}};
  palette.trns = {128};
  EXPECT_EQ(Decode(MakePng(palette, {{0, 1}}), kPngBGR).pixels, (Bytes{0, 0, 255, 128, 0, 255, 0, 255}));
  palette.trns.clear();
  EXPECT_EQ(Decode(MakePng(palette, {{1, 0}}), kPngBGR).pixels, (Bytes{0, 255, 0, 255, 0, 0, 255, 255}));

  // 16-bit grey keeps the high bytes in blue, green and red; 1-bit grey
  // expands to 0 and 255.
  PngSpec grey16;
  grey16.width = 2;
  grey16.bitDepth = 16;
  grey16.colorType = PNG_COLOR_TYPE_GRAY;
  EXPECT_EQ(Decode(MakePng(grey16, {{0x34, 0x12, 0xCD, 0xAB}}), kPngBGR).pixels,
            (Bytes{0x12, 0x12, 0x12, 255, 0xAB, 0xAB, 0xAB, 255}));
  PngSpec grey1 = grey16;
  grey1.bitDepth = 1;
  EXPECT_EQ(Decode(MakePng(grey1, {{0x40}}), kPngBGR).pixels, (Bytes{0, 0, 0, 255, 255, 255, 255, 255}));

  // An interlaced RGBA image: every pass lands in place, the bottom-up flag
  // turns the rows over, and libpng's own reader agrees.
  PngSpec rgba;
  rgba.width = 5;
  rgba.height = 6;
  rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  rgba.interlaced = true;
  std::vector<Bytes> rows;
  Bytes expected;
  for (uint32_t y = 0; y < rgba.height; ++y) {
    Bytes row;
    for (uint32_t x = 0; x < rgba.width; ++x) {
      const uint8_t r = uint8_t(40 * x), g = uint8_t(30 * y), b = uint8_t(x + y), a = uint8_t(200 + x);
      row.insert(row.end(), {r, g, b, a});
      expected.insert(expected.end(), {b, g, r, a});
    }
    rows.push_back(row);
  }
  const Bytes interlaced = MakePng(rgba, rows);
  d = Decode(interlaced, kPngBGR);
  ASSERT_EQ(d.code, 0);
  EXPECT_EQ(d.pixels, expected);
  Decoded flipped = Decode(interlaced, kPngBGR | kPngBottomUp);
  ASSERT_EQ(flipped.code, 0);
  EXPECT_TRUE(std::equal(flipped.pixels.begin(), flipped.pixels.begin() + 20, expected.end() - 20));
  Bytes reference;
  int32_t w = 0, h = 0;
  ASSERT_EQ(DecodePngWithImageApi(interlaced.data(), interlaced.size(), &reference, &w, &h), 0);
  EXPECT_EQ(reference, expected);

  // Taller than two bands of rows: every colour type decodes interlaced to
  // the same pixels as not interlaced (the first differing byte is the end).
  PngSpec tall;
  tall.width = 7;
  tall.height = 150;
  uint32_t seed = 7;
  const auto next = [&] { return uint8_t((seed = seed * 1103515245u + 12345u) >> 24); };
  for (const auto& [colorType, bitDepth, samples] :
       {std::tuple{PNG_COLOR_TYPE_GRAY, 2, 1}, {PNG_COLOR_TYPE_RGB, 16, 3}, {PNG_COLOR_TYPE_PALETTE, 8, 1},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 8, 2}, {PNG_COLOR_TYPE_RGB_ALPHA, 8, 4}}) {
    SCOPED_TRACE(colorType);
    tall.colorType = colorType;
    tall.bitDepth = bitDepth;
    tall.palette.clear();
    tall.trns.clear();
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
      for (int i = 0; i < 256; ++i) tall.palette.push_back({next(), next(), next()});
      for (int i = 0; i < 100; ++i) tall.trns.push_back(next());
    }
    std::vector<Bytes> tallRows(tall.height, Bytes((tall.width * samples * bitDepth + 7) / 8));
    for (Bytes& row : tallRows) {
      for (uint8_t& b : row) b = next();
    }
    tall.interlaced = false;
    const Decoded plain = Decode(MakePng(tall, tallRows), kPngBGR);
    tall.interlaced = true;
    const Decoded adam7 = Decode(MakePng(tall, tallRows), kPngBGR);
    ASSERT_EQ(plain.code, 0);
    ASSERT_EQ(adam7.code, 0);
    ASSERT_EQ(plain.pixels.size(), size_t{tall.width} * tall.height * 4);
    ASSERT_EQ(adam7.pixels.size(), plain.pixels.size());
    EXPECT_EQ(std::mismatch(adam7.pixels.begin(), adam7.pixels.end(), plain.pixels.begin()).first - adam7.pixels.begin(),
              std::ssize(plain.pixels));
  }
}

TEST(LibPngUtil, EncodesWithAndWithoutAlpha) {
  // Two BGRA pixels.
  const Bytes pixels{10, 20, 30, 40, 50, 60, 70, 255};
  Bytes png{1, 2, 3};
  ASSERT_EQ(EncodePngToMemory(&png, pixels, 2, 1, 8, true, kPngEngineFlags), 0);
  ASSERT_GT(png.size(), 33u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  // IHDR: width 2, height 1, bit depth 8, colour type 6 (RGBA).
  EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
  EXPECT_EQ(Bytes(png.begin() + 16, png.begin() + 26), (Bytes{0, 0, 0, 2, 0, 0, 0, 1, 8, 6}));
  EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");  // exactly the file
  EXPECT_EQ(Decode(png, kPngBGR).pixels, pixels);

  ASSERT_EQ(EncodePngToMemory(&png, pixels, 2, 1, 8, false, kPngEngineFlags), 0);
  EXPECT_EQ(png[25], 2);  // RGB
  // The file holds red, green, blue of each pixel: libpng's reader, no alpha.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
  image.format = PNG_FORMAT_RGB;
  Bytes rgb(6);
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  EXPECT_EQ(rgb, (Bytes{30, 20, 10, 70, 60, 50}));

  // A noisy image is larger than one 32 KiB step of the memory sink.
  const int32_t side = 200;
  Bytes noise(side * side * 4);
  uint32_t seed = 1;
  for (uint8_t& b : noise) b = uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
  ASSERT_EQ(EncodePngToMemory(&png, noise, side, side, 8, true, kPngBGR), 0);
  EXPECT_GT(png.size(), 65536u);
  EXPECT_EQ(Decode(png, kPngBGR).pixels, noise);

  // Refused: another bit depth, too few pixel bytes, no pixels; the output is
  // emptied.
  LogCapture log;
  png = {1};
  EXPECT_EQ(EncodePngToMemory(&png, pixels, 2, 1, 16, true, kPngBGR), 1);
  EXPECT_TRUE(png.empty());
  png = {1};
  EXPECT_EQ(EncodePngToMemory(&png, pixels, 2, 2, 8, true, kPngBGR), 1);
  EXPECT_TRUE(png.empty());
  EXPECT_EQ(EncodePngToMemory(&png, {}, 0, 0, 8, true, kPngBGR), 1);
  EXPECT_EQ(log.lines().size(), 3u) << log.all();
}

TEST(LibPngUtil, BrokenOrOversizedInputFails) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  const Bytes red = MakePng({}, {{255, 0, 0}});
  const std::string hook = "win32PngUtil::error() : 処理中にエラーが発生(";
  {
    // A memory source shorter than the file: one TRACE line from the hook.
    LogCapture log;
    EXPECT_EQ(Decode(Bytes(red.begin(), red.end() - 10), kPngBGR).code, 1);
    ASSERT_EQ(log.lines().size(), 1u) << log.all();
    EXPECT_TRUE(log.contains(hook + "MemPngIO:read_data)")) << log.all();
  }
  {
    LogCapture log;
    Bytes notPng = red;
    notPng[1] = 'X';
    EXPECT_EQ(Decode(notPng, kPngBGR).code, 1);
    EXPECT_EQ(Decode({}, kPngBGR).code, 1);
    EXPECT_EQ(log.lines().size(), 2u) << log.all();
  }
  // 16385 x 16384 x 4 bytes is one column above 1 GiB, and 20000 x 1 one
  // side past the 16384 of the image cap: refused after the header (which is
  // all the file has), without allocating.
  for (auto [width, height] : {std::pair{16385, 16384}, std::pair{20000, 1}}) {
    LogCapture log;
    PngSpec huge;
    huge.width = width;
    huge.height = height;
    huge.headerOnly = true;
    Bytes header = MakePng(huge, {});
    header.insert(header.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T'});  // where the header ends
    EXPECT_EQ(Decode(header, kPngBGR).code, 1);
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    EXPECT_TRUE(log.contains("LibPngUtil::decode() : 画像が大きすぎる(" + size + ")")) << log.all();
    EXPECT_FALSE(log.contains(hook)) << log.all();
  }

  // With no codec the process-wide wrappers fail.
  PngUtil* old = SetPngUtil(nullptr);
  Bytes pixels{7};
  int32_t w = 0, h = 0, c = 0;
  EXPECT_EQ(DecodePngStream(nullptr, &pixels, &w, &h, &c, kPngBGR), 1);
  EXPECT_EQ(EncodePngToMemory(&pixels, {1, 2, 3, 4}, 1, 1, 8, true, kPngBGR), 1);
  EXPECT_EQ(pixels, Bytes{7});
  SetPngUtil(old);
}

TEST(LibPngUtil, MemorySinkGrowsInWholeStepsAboveTheShortfall) {
  LibPngUtil::MemPngIO sink;
  const Bytes chunk(32768, 9);
  sink.write_data(nullptr, chunk.data(), 1);
  EXPECT_EQ(sink.size(), 32768u);
  sink.write_data(nullptr, chunk.data(), 32767);  // fills exactly
  EXPECT_EQ(sink.size(), 32768u);
  sink.write_data(nullptr, chunk.data(), 32768);  // short by 32768: two steps
  EXPECT_EQ(sink.size(), 98304u);
  EXPECT_EQ(sink.position(), 65536u);
  EXPECT_EQ(sink.data()[65535], 9);
}

}  // namespace
