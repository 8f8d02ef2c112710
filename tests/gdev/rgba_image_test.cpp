// Shared pixel images: copies of a handle are one image, share() gives a
// second image over the same pixels that separates on the first write.
#include <gtest/gtest.h>

#include "gdev/rgba_image.h"
#include "tests/support/test_support.h"

namespace {

TEST(RGBAImageRef, WritesThroughASharedImageCopyOnceAndLeaveTheOtherAlone) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  LogCapture log;
  RGBAImageRef a(RGBAImage(0, 2, 1, std::vector<uint8_t>{1, 2, 3, 255, 5, 6, 7, 255}));
  RGBAImageRef sameImage = a;
  // Copies of one handle are one logical image: writing does not separate.
  sameImage.getWA()->pixels[0] = 9;
  EXPECT_TRUE(log.lines().empty()) << log.all();
  EXPECT_EQ(a->pixels[0], 9);

  RGBAImageRef shared = a.share();
  EXPECT_EQ(shared.get(), a.get());
  shared.getWA()->pixels[0] = 42;
  shared.getWA()->pixels[1] = 43;
  ASSERT_EQ(log.lines().size(), 1u) << log.all();
  EXPECT_TRUE(log.contains("getWA::copy")) << log.all();
  EXPECT_EQ(a->pixels[0], 9);
  EXPECT_EQ(sameImage->pixels[0], 9);
  EXPECT_EQ(shared->pixels[1], 43);

  // The original keeps its pixels when every sharer of the copy goes.
  shared.reset();
  a.reset();
  EXPECT_EQ(sameImage->pixels[0], 9);
  EXPECT_FALSE(a);
}

TEST(RGBAImageRef, AlphaKindAndTakingPixelsOver) {
  std::vector<uint8_t> bytes(4 * 5, 255);
  RGBAImage image(0, 5, 1, std::move(bytes));
  EXPECT_TRUE(bytes.empty());
  RGBAImageRef ref(std::move(image));
  EXPECT_EQ(ref.alphaKind(), 1);
  ref.getWA()->pixel(4, 0)[3] = 254;
  EXPECT_EQ(ref.alphaKind(), 3);
  EXPECT_EQ(RGBAImage(0, 3, 2).pixels.size(), 24u);

  // Pixels read eight at a time and the rest one by one: any pixel's alpha
  // counts, no colour byte does.
  for (int32_t lower = -1; lower < 17; ++lower) {
    SCOPED_TRACE(lower);
    RGBAImageRef wide(RGBAImage(0, 17, 1));
    for (int32_t x = 0; x < 17; ++x) wide.getWA()->pixel(x, 0)[3] = x == lower ? 254 : 255;
    EXPECT_EQ(wide.alphaKind(), lower < 0 ? 1 : 3);
  }
}

}  // namespace
