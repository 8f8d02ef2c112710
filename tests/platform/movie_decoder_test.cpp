// The FFmpeg movie decoder against the sample game's committed movie (every
// frame in order at its time, its number and colour bars read back from the
// pixels, and its second of sound), and against files that are no movie.
#include "platform/movie_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_movie.h"

namespace {

using platform::MovieDecoder;

constexpr int32_t kRate = 44100;

TEST(MovieDecoderFfmpeg, DecodesEveryFrameAndTheSoundOfTheSampleMovie) {
  const std::unique_ptr<MovieDecoder> decoder = platform::CreateFfmpegMovieDecoder();
  std::string error;
  ASSERT_TRUE(
      decoder->open(std::string(ZEP_SOURCE_DIR) + "/examples/sample/" + kSampleMoviePath, kRate, nullptr, &error))
      << error;
  ASSERT_EQ(decoder->width(), kSampleMovieWidth);
  ASSERT_EQ(decoder->height(), kSampleMovieHeight);
  EXPECT_TRUE(decoder->hasAudio());

  const int32_t stride = kSampleMovieWidth * 4;
  const int64_t frameMs = 1000 / kSampleMovieFramesPerSecond;
  platform::MovieVideoFrame frame;
  int32_t frames = 0;
  MovieDecoder::Result result = MovieDecoder::kError;
  for (int32_t guard = 0; guard < 10000; ++guard) {
    result = decoder->nextPicture(&frame, &error);
    if (result != MovieDecoder::kVideo) break;
    ASSERT_EQ(frame.bgra.size(), size_t(stride) * kSampleMovieHeight);
    EXPECT_NEAR(frame.timeMs, frames * frameMs, 1) << "frame " << frames;
    EXPECT_EQ(SampleMovieFrameNumber(frame.bgra.data(), stride, 0, 0), frames);
    for (int32_t bar = 0; bar < kSampleMovieBarCount; ++bar) {
      const uint8_t* p = &frame.bgra[size_t((kSampleMovieHeight + kSampleMovieCellRows) / 2) * stride +
                                     size_t(bar * kSampleMovieBarWidth + kSampleMovieBarWidth / 2) * 4];
      const SampleMovieColor want = kSampleMovieBars[bar];
      EXPECT_NEAR(p[2], want.r, 24) << "frame " << frames << " bar " << bar;
      EXPECT_NEAR(p[1], want.g, 24) << "frame " << frames << " bar " << bar;
      EXPECT_NEAR(p[0], want.b, 24) << "frame " << frames << " bar " << bar;
      EXPECT_EQ(p[3], 255);
    }
    ++frames;
  }
  EXPECT_EQ(result, MovieDecoder::kEnd) << error;
  EXPECT_EQ(frames, kSampleMovieFrames);

  // The sound, held back while the pictures were read, in blocks that
  // follow each other.
  platform::MovieSoundBlock block;
  std::vector<int16_t> sound;
  while ((result = decoder->nextSound(&block, &error)) == MovieDecoder::kAudio) {
    EXPECT_EQ(block.firstFrame, int64_t(sound.size() / 2));
    sound.insert(sound.end(), block.samples.begin(), block.samples.end());
  }
  EXPECT_EQ(result, MovieDecoder::kEnd) << error;

  const size_t pairs = sound.size() / 2;
  EXPECT_GE(pairs, size_t(kRate * 9 / 10));
  EXPECT_LE(pairs, size_t(kRate * 11 / 10));
  int32_t peak = 0;
  for (const int16_t s : sound) peak = std::max(peak, std::abs(int32_t(s)));
  EXPECT_GT(peak, 4000);
}

TEST(MovieDecoderFfmpeg, RefusesMissingAndGarbageFiles) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::string garbage(64 * 1024, '\0');
  uint32_t seed = 12345;
  for (char& c : garbage) {
    seed = seed * 1103515245u + 12345u;
    c = char(seed >> 24);
  }
  for (const std::filesystem::path& path : {dir.path() / "missing.mpg", dir.write("garbage.mpg", garbage)}) {
    const std::unique_ptr<MovieDecoder> decoder = platform::CreateFfmpegMovieDecoder();
    std::string error;
    EXPECT_FALSE(decoder->open(path.string(), kRate, nullptr, &error)) << path;
    EXPECT_FALSE(error.empty()) << path;
    EXPECT_EQ(decoder->width(), 0);
    platform::MovieVideoFrame frame;
    EXPECT_EQ(decoder->nextPicture(&frame, &error), MovieDecoder::kError);
  }
}

}  // namespace
