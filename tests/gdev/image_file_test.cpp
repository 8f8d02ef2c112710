// Image files: plain and encoded PNG files load into BGRA images, files of
// the wrong size are refused before decoding, and the writer replaces its
// target through a temporary file that a failure never leaves behind.
#include "gdev/image_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/ee_codec.h"
#include "app/game_environment.h"
#include "gdev/png_util.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::u16string U16(const fs::path& path) { return platform::FromUtf8(path.string()); }

// A 3 x 2 BGRA image with partial alpha.
RGBAImage Sample() {
  Bytes bytes;
  for (uint8_t i = 0; i < 6; ++i) bytes.insert(bytes.end(), {uint8_t(i * 40), uint8_t(i + 1), 200, uint8_t(100 + i)});
  return RGBAImage(0, 3, 2, std::move(bytes));
}

std::string EncodedPng(const RGBAImage& image) {
  Bytes png;
  EXPECT_EQ(EncodePngToMemory(&png, image.pixels, image.width, image.height, 8, true, kPngEngineFlags), 0);
  return std::string(png.begin(), png.end());
}

class ImageFileTest : public testing::Test {
 protected:
  // Loads through LoadImageFile; the pixels when it succeeds.
  int32_t load(const fs::path& path, RGBAImageRef* image) {
    int32_t w = -1, h = -1;
    const int32_t code = LoadImageFile(U16(path), image, 0, &w, &h);
    if (code == 0) {
      EXPECT_EQ(w, (*image)->width);
      EXPECT_EQ(h, (*image)->height);
    }
    return code;
  }

  TempDir dir_;
};

TEST_F(ImageFileTest, LoadsPlainAndEncodedFiles) {
  const RGBAImage sample = Sample();
  const std::string png = EncodedPng(sample);
  Bytes block;
  for (bool zip : {false, true}) {
    block.clear();
    EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(png.data()), png.size(), zip);
    const fs::path path = dir_.write(zip ? "z.png" : "e.png", std::string(block.begin(), block.end()));
    RGBAImageRef image;
    ASSERT_EQ(load(path, &image), 0) << path;
    EXPECT_EQ(image->format, 0);
    EXPECT_EQ(image->pixels, sample.pixels);
  }

  // A plain file, found through the extra search folder by a relative name.
  dir_.write("img/bg001.png", png);
  SetAltResourceSearchPath(U16(dir_.path()));
  RGBAImageRef image;
  int32_t w = 0, h = 0;
  const int32_t code = LoadImageFile(u"img/bg001.png", &image, 0, &w, &h);
  SetAltResourceSearchPath(u"");
  ASSERT_EQ(code, 0);
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(image->pixels, sample.pixels);
  EXPECT_EQ(LoadImageFile(u"img/missing.png", &image, 0, &w, &h), 1);
}

TEST_F(ImageFileTest, RefusesBadFilesAndLeavesTheHandleAlone) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  const std::string png = EncodedPng(Sample());
  RGBAImageRef untouched(RGBAImage(0, 1, 1));
  const RGBAImage* before = untouched.get();
  LogCapture log;

  // Too small to hold a signature, or empty: no decoder runs, nothing logged.
  EXPECT_EQ(load(dir_.write("seven.png", png.substr(0, 7)), &untouched), 1);
  EXPECT_EQ(load(dir_.write("empty.png", ""), &untouched), 1);
  EXPECT_EQ(load(dir_.path() / "absent.png", &untouched), 1);
  EXPECT_TRUE(log.lines().empty()) << log.all();

  // A valid PNG padded (sparse) to 1 GiB still loads; one byte more is refused
  // although its PNG data are the same.
  const fs::path big = dir_.write("big.png", png);
  fs::resize_file(big, kMaxImageFileSize);
  Bytes pixels;
  int32_t w = 0, h = 0, c = 0;
  EXPECT_EQ(LoadImageFileCore(U16(big), &pixels, &w, &h, &c, kPngEngineFlags), 0);
  fs::resize_file(big, kMaxImageFileSize + 1);
  EXPECT_EQ(LoadImageFileCore(U16(big), &pixels, &w, &h, &c, kPngEngineFlags), 1);
  EXPECT_TRUE(log.lines().empty()) << log.all();

  // Another start goes through the encoded-block stream and fails there.
  EXPECT_EQ(load(dir_.write("gif.png", "GIF89a" + png), &untouched), 1);
  EXPECT_EQ(load(dir_.write("een.png", "EENCxxxx" + png), &untouched), 1);

  // A truncated PNG fails in the decoder with the hook's line.
  EXPECT_EQ(load(dir_.write("cut.png", png.substr(0, png.size() - 20)), &untouched), 1);
  EXPECT_TRUE(log.contains("win32PngUtil::error() : 処理中にエラーが発生(ZEPInputStreamPngIO::read_data)"))
      << log.all();
  EXPECT_EQ(untouched.get(), before);
}

TEST_F(ImageFileTest, SaveReplacesTheTargetAndRoundTrips) {
  ScopedLogMask mask(LOG_TRACE | LOG_WARN);
  const RGBAImageRef sample(Sample());
  const fs::path path = dir_.path() / "cap.png";
  dir_.write("cap.png", "old contents");
  {
    LogCapture log;
    ASSERT_EQ(SaveImageFile(U16(path), sample, true, false), 0);
    EXPECT_TRUE(log.contains("encoding ")) << log.all();
    EXPECT_TRUE(log.contains("writing  ")) << log.all();
  }
  EXPECT_EQ(ReadAll(path).substr(1, 3), "PNG");
  RGBAImageRef loaded;
  ASSERT_EQ(load(path, &loaded), 0);
  EXPECT_EQ(loaded->pixels, sample->pixels);

  // Encoded and without alpha: an "EENC" block of a colour-type-2 PNG.
  ASSERT_EQ(SaveImageFile(U16(path), sample, false, true), 0);
  const std::string block = ReadAll(path);
  EXPECT_EQ(block.substr(0, 4), "EENC");
  Bytes png;
  ASSERT_EQ(DecodeEEBuffer(&png, reinterpret_cast<const uint8_t*>(block.data()), block.size()),
            EEDecodeResult::kDecoded);
  EXPECT_EQ(png[25], 2);
  ASSERT_EQ(load(path, &loaded), 0);
  for (size_t i = 0; i < sample->pixels.size(); ++i) {
    EXPECT_EQ(loaded->pixels[i], i % 4 == 3 ? 255 : sample->pixels[i]) << i;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);

  // Failures: no folder to write in, a target that cannot be replaced (a
  // folder), nothing to encode. Existing targets stay; no temporary is left.
  LogCapture log;
  EXPECT_EQ(SaveImageFile(U16(dir_.path() / "no/such.png"), sample, true, false), 1);
  EXPECT_TRUE(log.contains("ファイルの書き込みオープンに失敗(")) << log.all();
  fs::create_directories(dir_.path() / "folder.png" / "inside");
  EXPECT_EQ(SaveImageFile(U16(dir_.path() / "folder.png"), sample, true, false), 1);
  EXPECT_TRUE(log.contains("ファイルの書き込みに失敗(")) << log.all();
  EXPECT_TRUE(fs::is_directory(dir_.path() / "folder.png" / "inside"));
  EXPECT_EQ(SaveImageFile(U16(path), RGBAImageRef(), true, false), 1);
  EXPECT_EQ(SaveImageFile(U16(path), RGBAImageRef(RGBAImage(0, 2, 2, Bytes(4))), true, false), 1);
  EXPECT_EQ(ReadAll(path), block);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 2);
}

}  // namespace
