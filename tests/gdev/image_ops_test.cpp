// The pixel-image operations, byte-exact against values computed by hand:
// corner-to-corner resampling, halving, fills, colour filters, outline
// images, compositing, and size mismatches that never touch a byte.
#include "gdev/image_ops.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using Pixel = std::array<uint8_t, 4>;  // blue, green, red, alpha

RGBAImageRef MakeImage(int32_t width, int32_t height, const std::vector<Pixel>& pixels) {
  std::vector<uint8_t> bytes;
  for (const Pixel& p : pixels) bytes.insert(bytes.end(), p.begin(), p.end());
  EXPECT_EQ(bytes.size(), static_cast<size_t>(width) * height * 4);
  return RGBAImageRef(RGBAImage(0, width, height, std::move(bytes)));
}

Pixel At(const RGBAImageRef& image, int32_t x, int32_t y) {
  const uint8_t* p = image->pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

// Every level but TRACE: a line logged while it lives is a line above TRACE.
struct AboveTrace {
  ScopedLogMask mask{LOG_DEBUG | LOG_WARN};
  LogCapture log;
};

// ---------------------------------------------------------------- resample

TEST(ResampleImage, TwoByTwoToThreeByThreeKeepsCornersAndPutsTheMeanInTheCentre) {
  const Pixel a{10, 20, 30, 40}, b{50, 60, 70, 80}, c{90, 100, 110, 120}, d{131, 141, 151, 255};
  RGBAImageRef source = MakeImage(2, 2, {a, b, c, d});
  RGBAImageRef out;
  ResampleImage(out, source, 3, 3);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->format, 0);
  EXPECT_EQ(out->width, 3);
  EXPECT_EQ(out->height, 3);
  ASSERT_EQ(out->pixels.size(), 36u);
  EXPECT_EQ(At(out, 0, 0), a);
  EXPECT_EQ(At(out, 2, 0), b);
  EXPECT_EQ(At(out, 0, 2), c);
  EXPECT_EQ(At(out, 2, 2), d);
  // (sum x 128 x 128) >> 16 = sum / 4, truncated: 281/4, 321/4, 361/4, 495/4.
  EXPECT_EQ(At(out, 1, 1), (Pixel{70, 80, 90, 123}));
  // Edge midpoints: (p + q) x 128 x 256 >> 16 = (p + q) / 2.
  EXPECT_EQ(At(out, 1, 0), (Pixel{30, 40, 50, 60}));
  EXPECT_EQ(At(out, 0, 1), (Pixel{50, 60, 70, 80}));
  EXPECT_EQ(At(out, 2, 1), (Pixel{90, 100, 110, 167}));
  EXPECT_EQ(At(out, 1, 2), (Pixel{110, 120, 130, 187}));
  // The source is untouched.
  EXPECT_EQ(At(source, 1, 1), d);
}

TEST(ResampleImage, ThreeColumnsToFiveInterpolatesAndOneRowIsReplicated) {
  // u = x * 2, span 4: x=1 -> (0,1) weight 128; x=2 -> 1 exactly; x=3 ->
  // (1,2) weight 128; x=4 -> (1,2) weight 256.
  RGBAImageRef source = MakeImage(3, 1, {{0, 100, 200, 255}, {100, 50, 0, 255}, {200, 0, 100, 0}});
  RGBAImageRef out;
  ResampleImage(out, source, 5, 2);
  ASSERT_EQ(out->width, 5);
  ASSERT_EQ(out->height, 2);
  const std::vector<Pixel> row{
      {0, 100, 200, 255}, {50, 75, 100, 255}, {100, 50, 0, 255}, {150, 25, 50, 127}, {200, 0, 100, 0}};
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(At(out, x, y), row[x]) << x << "," << y;
  }
}

TEST(ResampleImage, OnePixelSourceIsReplicatedAndOnePixelTargetTakesTheFirstPixel) {
  const Pixel p{1, 2, 3, 4};
  RGBAImageRef one = MakeImage(1, 1, {p});
  RGBAImageRef out;
  ResampleImage(out, one, 3, 2);
  ASSERT_EQ(out->pixels.size(), 24u);
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(out, x, y), p);
  }

  RGBAImageRef source = MakeImage(2, 2, {{9, 9, 9, 9}, {50, 60, 70, 80}, {90, 100, 110, 120}, {1, 1, 1, 1}});
  ResampleImage(out, source, 1, 1);
  ASSERT_EQ(out->width, 1);
  ASSERT_EQ(out->height, 1);
  EXPECT_EQ(At(out, 0, 0), (Pixel{9, 9, 9, 9}));

  // A 1-wide target takes column 0 of each row (rows still interpolated).
  ResampleImage(out, source, 1, 3);
  ASSERT_EQ(out->pixels.size(), 12u);
  EXPECT_EQ(At(out, 0, 0), (Pixel{9, 9, 9, 9}));
  EXPECT_EQ(At(out, 0, 1), (Pixel{49, 54, 59, 64}));
  EXPECT_EQ(At(out, 0, 2), (Pixel{90, 100, 110, 120}));

  // A 1-high source is replicated down, a 1-high target takes row 0.
  RGBAImageRef wide = MakeImage(2, 1, {{0, 0, 0, 0}, {200, 100, 50, 254}});
  ResampleImage(out, wide, 3, 4);
  for (int32_t y = 0; y < 4; ++y) EXPECT_EQ(At(out, 1, y), (Pixel{100, 50, 25, 127}));
  ResampleImage(out, source, 2, 1);
  EXPECT_EQ(At(out, 0, 0), (Pixel{9, 9, 9, 9}));
  EXPECT_EQ(At(out, 1, 0), (Pixel{50, 60, 70, 80}));
}

TEST(ResampleImage, NonPositiveTargetGivesAnEmptyImageAndEmptySourceGivesZeros) {
  RGBAImageRef source = MakeImage(1, 1, {{1, 2, 3, 4}});
  RGBAImageRef out;
  for (auto [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-1, 5}, std::pair{-4, -4}}) {
    ResampleImage(out, source, w, h);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, 0);
    EXPECT_EQ(out->height, 0);
    EXPECT_TRUE(out->pixels.empty());
  }

  RGBAImageRef none;
  ResampleImage(out, none, 2, 3);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->width, 2);
  EXPECT_EQ(out->height, 3);
  EXPECT_EQ(out->pixels, std::vector<uint8_t>(24, 0));

  RGBAImageRef empty(RGBAImage(0, 0, 0));
  ResampleImage(out, empty, 3, 1);
  EXPECT_EQ(out->pixels, std::vector<uint8_t>(12, 0));
}

TEST(ImageCap, SizesPastItGiveAWarnAndAnEmptyImageAndTheRunGoesOn) {
  AboveTrace trace;
  RGBAImageRef source = MakeImage(2, 1, {{0, 0, 0, 255}, {200, 100, 50, 255}});
  RGBAImageRef out;
  ResampleImage(out, source, 20000, 20000);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->width, 0);
  EXPECT_EQ(out->height, 0);
  EXPECT_TRUE(out->pixels.empty());
  ASSERT_EQ(trace.log.lines().size(), 1u) << trace.log.all();
  EXPECT_TRUE(trace.log.contains("[WARN ] ")) << trace.log.all();
  EXPECT_TRUE(trace.log.contains("ResampleImage : 画像が大きすぎる(20000 x 20000)")) << trace.log.all();

  // One side past 16384 is enough, however few the bytes; 16384 still goes.
  ResampleImage(out, source, 16385, 1);
  EXPECT_EQ(out->width, 0);
  ResampleImage(out, source, 16384, 1);
  ASSERT_EQ(out->width, 16384);
  EXPECT_EQ(At(out, 16383, 0), (Pixel{200, 100, 50, 255}));

  // An image that claims more pixels than it holds: halving it allocates
  // nothing by that claim.
  RGBAImageRef claims(RGBAImage(0, 40000, 40000, std::vector<uint8_t>{}));
  HalveImage(out, claims);
  EXPECT_EQ(out->width, 0);
  EXPECT_TRUE(out->pixels.empty());
  EXPECT_TRUE(trace.log.contains("HalveImage : 画像が大きすぎる(20000 x 20000)")) << trace.log.all();

  // Every allocation from a size goes through the one check.
  const RGBAImage blank(0, 50000, 50000);
  EXPECT_EQ(blank.width, 0);
  EXPECT_TRUE(blank.pixels.empty());
  EXPECT_TRUE(trace.log.contains("RGBAImage : 画像が大きすぎる(50000 x 50000)")) << trace.log.all();
}

// ------------------------------------------------------------------ halve

TEST(HalveImage, FiveByThreeGivesTwoByOneIgnoringTheLastColumnAndRow) {
  // Column 4 and row 2 hold 255s: any use of them would show.
  const Pixel x{255, 255, 255, 255};
  // clang-format off
  RGBAImageRef source = MakeImage(5, 3, {
      {1, 10, 100, 200}, {2, 20, 101, 201}, {4, 30, 0, 0},   {8, 40, 1, 3},    x,
      {3, 11, 102, 202}, {5, 21, 103, 203}, {16, 50, 2, 255}, {32, 60, 3, 250}, x,
      x,                 x,                 x,               x,                x});
  // clang-format on
  RGBAImageRef out;
  HalveImage(out, source);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->format, 0);
  EXPECT_EQ(out->width, 2);
  EXPECT_EQ(out->height, 1);
  ASSERT_EQ(out->pixels.size(), 8u);
  // (1+2+3+5)>>2 = 2, (10+20+11+21)>>2 = 15, (100+101+102+103)>>2 = 101,
  // (200+201+202+203)>>2 = 201.
  EXPECT_EQ(At(out, 0, 0), (Pixel{2, 15, 101, 201}));
  // (4+8+16+32)>>2 = 15, (30+40+50+60)>>2 = 45, (0+1+2+3)>>2 = 1,
  // (0+3+255+250)>>2 = 127.
  EXPECT_EQ(At(out, 1, 0), (Pixel{15, 45, 1, 127}));
}

TEST(HalveImage, TooSmallSourcesAndOutAsSource) {
  RGBAImageRef out;
  HalveImage(out, RGBAImageRef());
  ASSERT_TRUE(out);
  EXPECT_EQ(out->width, 0);
  EXPECT_TRUE(out->pixels.empty());

  HalveImage(out, MakeImage(1, 3, {{1, 1, 1, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}}));
  EXPECT_EQ(out->width, 0);
  EXPECT_EQ(out->height, 1);
  EXPECT_TRUE(out->pixels.empty());

  RGBAImageRef image = MakeImage(2, 2, {{4, 0, 0, 0}, {8, 0, 0, 0}, {12, 0, 0, 0}, {16, 0, 0, 4}});
  RGBAImageRef shared = image.share();
  HalveImage(image, image);
  ASSERT_EQ(image->width, 1);
  EXPECT_EQ(At(image, 0, 0), (Pixel{10, 0, 0, 1}));
  EXPECT_EQ(shared->width, 2);
}

// ------------------------------------------------------------------- fill

TEST(FillImage, WritesBlueGreenRedAlphaIntoEveryPixel) {
  RGBAImageRef image(RGBAImage(0, 3, 2));
  FillImage(image, 10, 20, 30, 40);
  for (size_t i = 0; i < image->pixels.size(); i += 4) {
    EXPECT_EQ(image->pixels[i], 30);
    EXPECT_EQ(image->pixels[i + 1], 20);
    EXPECT_EQ(image->pixels[i + 2], 10);
    EXPECT_EQ(image->pixels[i + 3], 40);
  }
  // Only the low byte of each int counts.
  FillImage(image, 256 + 1, -1, 0x1234, 0x100);
  EXPECT_EQ(At(image, 2, 1), (Pixel{0x34, 255, 1, 0}));
}

// ----------------------------------------------------------- colour filter

TEST(ApplyColorFilter, GreyOfWhiteIsWhiteAndKeepsAlpha) {
  RGBAImageRef image = MakeImage(2, 1, {{255, 255, 255, 77}, {67, 45, 123, 0}});
  ApplyColorFilter(image, 1);
  EXPECT_EQ(At(image, 0, 0), (Pixel{255, 255, 255, 77}));  // 255.5 clamped
  // 0.3 x 123 + 0.59 x 45 + 0.11 x 67 + 0.5 = 71.32.
  EXPECT_EQ(At(image, 1, 0), (Pixel{71, 71, 71, 0}));
}

TEST(ApplyColorFilter, SepiaOfKnownPixels) {
  // red 123, green 45, blue 67 (single precision):
  //   red   0.3 x 123 + 0.59 x 45 + 0.11 x 67 + 0.5                    = 71.32
  //   green 0.28235295 x 123 + 0.5552941 x 45 + 0.10352941 x 67 + 0.5 = 67.154
  //   blue  0.21176472 x 123 + 0.4164706 x 45 + 0.07764706 x 67 + 0.5 = 50.49
  // white: red 255.5 -> 255; green 0.94117646 x 255 + 0.5 = 240.49998 -> 240;
  //   blue 0.7058824 x 255 + 0.5 = 180.5 -> 180.
  RGBAImageRef image = MakeImage(2, 1, {{67, 45, 123, 200}, {255, 255, 255, 255}});
  ApplyColorFilter(image, 2);
  EXPECT_EQ(At(image, 0, 0), (Pixel{50, 67, 71, 200}));
  EXPECT_EQ(At(image, 1, 0), (Pixel{180, 240, 255, 255}));
}

// ------------------------------------------------------------------- edge

std::vector<Pixel> TransparentWithOneOpaque(int32_t opaqueIndex) {
  std::vector<Pixel> pixels(9, Pixel{9, 9, 9, 0});
  pixels[opaqueIndex] = {1, 2, 3, 255};
  return pixels;
}

std::vector<uint8_t> Alphas(const RGBAImageRef& image) {
  std::vector<uint8_t> alphas;
  for (size_t i = 3; i < image->pixels.size(); i += 4) alphas.push_back(image->pixels[i]);
  return alphas;
}

TEST(MakeEdgeImage, OpaqueCentreOfThreeByThree) {
  RGBAImageRef source = MakeImage(3, 3, TransparentWithOneOpaque(4));
  RGBAImageRef dest(RGBAImage(0, 3, 3));
  MakeEdgeImage(dest, source, 10, 20, 30);
  // Every outer pixel has the centre once among its neighbours: 255 / 2;
  // the centre: 2 x 255 / 2.
  EXPECT_EQ(Alphas(dest), (std::vector<uint8_t>{127, 127, 127, 127, 255, 127, 127, 127, 127}));
  for (int32_t i = 0; i < 9; ++i) {
    EXPECT_EQ(dest->pixels[i * 4], 30);
    EXPECT_EQ(dest->pixels[i * 4 + 1], 20);
    EXPECT_EQ(dest->pixels[i * 4 + 2], 10);
  }
  EXPECT_EQ(Alphas(source), (std::vector<uint8_t>{0, 0, 0, 0, 255, 0, 0, 0, 0}));
}

TEST(MakeEdgeImage, OpaqueCornerCountsClampedNeighboursAgain) {
  // Pixel (0,0): neighbours (-1,-1), (0,-1), (-1,0) clamp onto itself:
  // 3 x 255 + 2 x 255 = 1275 -> 637 -> 255. (1,0) and (0,1) see it twice
  // (510 / 2 = 255), (1,1) once (127); the rest never.
  RGBAImageRef source = MakeImage(3, 3, TransparentWithOneOpaque(0));
  RGBAImageRef dest(RGBAImage(0, 3, 3));
  MakeEdgeImage(dest, source, 0, 0, 0);
  EXPECT_EQ(Alphas(dest), (std::vector<uint8_t>{255, 255, 0, 255, 127, 0, 0, 0, 0}));
}

TEST(MakeEdgeImage, DifferentSizesWriteNothing) {
  AboveTrace quiet;
  RGBAImageRef source = MakeImage(4, 1, {{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}});
  RGBAImageRef sameBytes = MakeImage(2, 2, {{7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}, {7, 7, 7, 7}});
  RGBAImageRef shared = sameBytes.share();
  MakeEdgeImage(sameBytes, source, 1, 1, 1);
  EXPECT_EQ(sameBytes->pixels, std::vector<uint8_t>(16, 7));
  EXPECT_EQ(sameBytes.get(), shared.get());  // not even copied

  RGBAImageRef smaller = MakeImage(1, 1, {{7, 7, 7, 7}});
  MakeEdgeImage(smaller, source, 1, 1, 1);
  EXPECT_EQ(smaller->pixels, std::vector<uint8_t>(4, 7));
  RGBAImageRef bigger(RGBAImage(0, 5, 1));
  MakeEdgeImage(bigger, source, 1, 1, 1);
  EXPECT_EQ(bigger->pixels, std::vector<uint8_t>(20, 0));

  // Width and height agree but the bytes are short of them.
  RGBAImageRef broken(RGBAImage(0, 4, 1, std::vector<uint8_t>(8, 7)));
  MakeEdgeImage(broken, source, 1, 1, 1);
  EXPECT_EQ(broken->pixels, std::vector<uint8_t>(8, 7));
  RGBAImageRef dest(RGBAImage(0, 4, 1));
  MakeEdgeImage(dest, broken, 1, 1, 1);
  EXPECT_EQ(dest->pixels, std::vector<uint8_t>(16, 0));

  RGBAImageRef none;
  MakeEdgeImage(none, source, 1, 1, 1);
  MakeEdgeImage(dest, none, 1, 1, 1);
  EXPECT_FALSE(none);
  EXPECT_EQ(dest->pixels, std::vector<uint8_t>(16, 0));
  EXPECT_TRUE(quiet.log.lines().empty()) << quiet.log.all();
}

// ------------------------------------------------------------------ blend

TEST(BlendImageOver, TransparentSourceLeavesAVisibleDestinationUnchanged) {
  const std::vector<Pixel> dest{{10, 20, 30, 1}, {40, 50, 60, 128}, {70, 80, 90, 255}, {255, 0, 255, 254}};
  RGBAImageRef image = MakeImage(4, 1, dest);
  RGBAImageRef source = MakeImage(4, 1, {{255, 255, 255, 0}, {1, 2, 3, 0}, {0, 0, 0, 0}, {9, 9, 9, 0}});
  BlendImageOver(image, source);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(image, x, 0), dest[x]) << x;
}

TEST(BlendImageOver, OpaqueSourceGivesItsColourWithAlpha255) {
  RGBAImageRef image = MakeImage(3, 1, {{10, 20, 30, 0}, {40, 50, 60, 128}, {70, 80, 90, 255}});
  const std::vector<Pixel> source{{200, 100, 0, 255}, {1, 2, 3, 255}, {255, 255, 255, 255}};
  BlendImageOver(image, MakeImage(3, 1, source));
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(At(image, x, 0), source[x]) << x;
}

TEST(BlendImageOver, PartialAlphasByHand) {
  RGBAImageRef image = MakeImage(3, 1, {{200, 0, 255, 255}, {40, 40, 40, 127}, {5, 6, 7, 0}});
  RGBAImageRef source = MakeImage(3, 1, {{100, 255, 0, 127}, {200, 0, 255, 63}, {50, 60, 70, 99}});
  BlendImageOver(image, source);
  // a' 128, b' 256: o = 256 - 128 + 128 = 256, k = 128 x 256;
  // ((32768 x 200 + (128 x 100 << 8)) / 256) >> 8 = 150; alpha 255.
  EXPECT_EQ(At(image, 0, 0), (Pixel{150, 127, 127, 255}));
  // a' 64, b' 128: o = 128 - 32 + 64 = 160, k = 192 x 128 = 24576;
  // blue ((24576 x 40 + (64 x 200 << 8)) / 160) >> 8 = 104; green
  // (983040 / 160) >> 8 = 24; red ((983040 + 4177920) / 160) >> 8 = 126.
  EXPECT_EQ(At(image, 1, 0), (Pixel{104, 24, 126, 159}));
  // b' 0: o = a' = 100, k = 0: the source colour and alpha.
  EXPECT_EQ(At(image, 2, 0), (Pixel{50, 60, 70, 99}));
}

TEST(BlendImageOver, DifferentByteCountsWriteNothingAndInPlaceWorks) {
  AboveTrace quiet;
  RGBAImageRef image = MakeImage(2, 1, {{1, 2, 3, 4}, {5, 6, 7, 8}});
  RGBAImageRef shared = image.share();
  BlendImageOver(image, MakeImage(3, 1, {{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}}));
  BlendImageOver(image, MakeImage(1, 1, {{0, 0, 0, 255}}));
  BlendImageOver(image, RGBAImageRef());
  EXPECT_EQ(image.get(), shared.get());
  EXPECT_EQ(At(image, 1, 0), (Pixel{5, 6, 7, 8}));
  RGBAImageRef none;
  BlendImageOver(none, image);
  EXPECT_FALSE(none);
  EXPECT_TRUE(quiet.log.lines().empty()) << quiet.log.all();

  // Same byte count, other shape: pixel i over pixel i.
  RGBAImageRef tall = MakeImage(1, 2, {{9, 9, 9, 255}, {0, 0, 0, 0}});
  BlendImageOver(image, tall);
  EXPECT_EQ(At(image, 0, 0), (Pixel{9, 9, 9, 255}));
  EXPECT_EQ(At(image, 1, 0), (Pixel{5, 6, 7, 8}));
  EXPECT_EQ(At(shared, 0, 0), (Pixel{1, 2, 3, 4}));

  // Over itself: an opaque pixel stays; alpha 127 over 127 -> a' = b' = 128,
  // o = 128 - 64 + 128 = 192, k = 128 x 128; colour c: ((16384 c + 32768 c)
  // / 192) >> 8 = c; alpha 191.
  RGBAImageRef self = MakeImage(2, 1, {{1, 2, 3, 255}, {100, 150, 200, 127}});
  BlendImageOver(self, self);
  EXPECT_EQ(At(self, 0, 0), (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(At(self, 1, 0), (Pixel{100, 150, 200, 191}));
}

}  // namespace
