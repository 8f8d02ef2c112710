// Pictures through the real app_w: a cell is made and given an effect that
// only logs, a background that does not exist is named, a parts image of an
// unknown resource kind is refused, a broken pointer file is named in one
// WARN, a huge removal range and an immediate fade pass, and the story still
// runs to its end. PNG files that declare
// sizes they do not hold are refused without their memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/support/app_w_run.h"

namespace {

// One PNG chunk: its length as declared (the data may be shorter), type,
// data and the CRC of type and data.
std::string Chunk(const std::string& type, const std::string& data, uint32_t declared) {
  std::string out;
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(declared >> shift);
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : type + data) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  crc ^= 0xFFFFFFFFu;
  out += type + data;
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(crc >> shift);
  return out;
}

// The signature and the header of an 8-bit RGBA image.
std::string PngHead(uint32_t width, uint32_t height) {
  std::string header;
  for (const uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) header += static_cast<char>(v >> shift);
  }
  header += std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header, 13);
}

TEST_F(AppWRun, RefusedPicturesAndPartsLogAndTheStoryGoesOn) {
  writeGame(mutex_, "");
  dir_.write("broken.cur", std::string("\0\0\2\0\1\0", 6));
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 8001 \"broken.cur\")\n"
             "  (a3:call-user-func 2010 1 \"#200,60,70\" 0 10 20 64 64 -1 0 0 0 255 0 0 0 0)\n"
             "  (a3:call-user-func 2011 1 100 300 0 0 0 0 0)\n"
             "  (a3:call-user-func 2000 \"image/none.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 2135 0 \"x.png\" 0 7 0 0 0 0 0)\n"
             "  (a3:call-user-func 2054 0 2147483647)\n"
             "  (a3:call-user-func 2071 0 0 0 255 0 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("-d game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("未実装(cell_effect, FOFI)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("画像が読み込めない(image/none.png)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("submenu_P_image: resourceNumSelが範囲外(7)"), std::string::npos) << result.output;
  const std::string warnLine = "[WARN ] ";
  const size_t warned = result.output.find("カーソルファイルが読み込めない(broken.cur)");
  ASSERT_NE(warned, std::string::npos) << result.output;
  EXPECT_EQ(result.output.compare(result.output.rfind('\n', warned) + 1, warnLine.size(), warnLine), 0) << result.output;
  EXPECT_EQ(result.output.find("カーソルファイルが読み込めない", warned + 1), std::string::npos) << result.output;
}

// A text chunk that declares 2 GB, and a 16000 x 16000 image whose data
// stop after a few bytes: each is refused at once, the process never near
// the gigabytes they declare (measured against the same game showing
// nothing, as sanitizer builds start larger).
TEST_F(AppWRun, PngSizesThatTheFileDoesNotHoldAreRefusedWithoutTheirMemory) {
  writeGame(mutex_, "");
  const std::string tail(100, '\0');
  dir_.write("text.png", PngHead(1, 1) + Chunk("tEXt", tail, 0x7FFFFFF0u).substr(0, 108));
  dir_.write("image.png", PngHead(16000, 16000) + Chunk("IDAT", std::string("\x78\x9c", 2) + tail, 0x7FFFFFF0u).substr(0, 110));
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2000 \"text.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 2000 \"image.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("画像が読み込めない(text.png)"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("画像が読み込めない(image.png)"), std::string::npos) << result.output;

  dir_.write("scene/scene0001.scm", "(a3:define-set (0 0) (a3:call-user-func 6000))\n");
  const platform::ProcessResult baseline = run("game.scm", "SDL_VIDEODRIVER=offscreen");
  ASSERT_EQ(baseline.exitCode, 0) << baseline.output;
  EXPECT_GT(baseline.peakResidentKb, 0);
  // Under AddressSanitizer the image's reserved, untouched buffer still
  // costs its shadow: an eighth of its size.
#if defined(__SANITIZE_ADDRESS__)
  constexpr long kShadowKb = 16000L * 16000 * 4 / 8 / 1024;
#else
  constexpr long kShadowKb = 0;
#endif
  EXPECT_LT(result.peakResidentKb, baseline.peakResidentKb + 100 * 1024 + kShadowKb);
}

// An interlaced PNG of 74 bytes that declares 16000 x 16000 pixels: refused
// with a WARN naming it, the process far below the gigabyte the image would
// take, and the story goes on to its end.
TEST_F(AppWRun, AnInterlacedPngDeclaringAHugeImageIsRefusedSmall) {
  writeGame(mutex_, "");
  std::filesystem::copy_file(ZEP_SOURCE_DIR "/tests/fixtures/interlaced_16k_74bytes.png", dir_.path() / "big.png");
  dir_.write("scene/scene9010.scm", "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n");
  dir_.write("scene/scene0001.scm",
             "(a3:define-set (0 0)\n"
             "  (a3:call-user-func 2000 \"big.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 2000 \"none.png\" -1 0 0 0 0 0 0)\n"
             "  (a3:call-user-func 6000))\n");
  const platform::ProcessResult result = run("game.scm", "SDL_VIDEODRIVER=offscreen");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("[WARN ]"), std::string::npos);
  EXPECT_NE(result.output.find("画像が読み込めない(big.png)"), std::string::npos) << result.output;
  // The statement after it ran.
  EXPECT_NE(result.output.find("画像が読み込めない(none.png)"), std::string::npos) << result.output;
#if defined(__SANITIZE_ADDRESS__)
  // The reserved, untouched buffer still costs its shadow: an eighth of it.
  EXPECT_LT(result.peakResidentKb, 300 * 1024 + 16000L * 16000 * 4 / 8 / 1024) << "peak resident size in KiB";
#else
  EXPECT_LT(result.peakResidentKb, 300 * 1024) << "peak resident size in KiB";
#endif
}

}  // namespace
