// The sample game's opening movie, drawn and synthesised with integer
// arithmetic and encoded by the platform's MPEG-1 writer, so a run makes the
// committed file again byte for byte.
#include "tools/sample_movie.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/movie_encoder.h"
#include "tools/sample_files.h"

namespace {

constexpr int32_t kToneHz = 440;
constexpr int64_t kToneLevel = 8000;
constexpr int64_t kFadeFrames = kSampleMovieSoundRate / 100;  // 10 ms

// sin(2 pi phase / 2^32) x 32767 by Bhaskara's rational approximation on
// each half turn (within 0.2 % of full scale).
int64_t Sine(uint32_t phase) {
  const bool negative = phase >= (1u << 31);
  const int64_t p = (phase % (1u << 31)) >> 16;  // 0..32767 over half a turn
  constexpr int64_t n = 32768;
  const int64_t q = p * (n - p);
  const int64_t value = 16 * q * 32767 / (5 * n * n - 4 * q);
  return negative ? -value : value;
}

std::vector<uint8_t> Picture(int32_t frame) {
  std::vector<uint8_t> bgra(size_t(kSampleMovieWidth) * kSampleMovieHeight * 4);
  for (int32_t y = 0; y < kSampleMovieHeight; ++y) {
    for (int32_t x = 0; x < kSampleMovieWidth; ++x) {
      SampleMovieColor c{0, 0, 0};
      if (y < kSampleMovieCellRows) {
        const int32_t cell = x / kSampleMovieCellWidth;
        if (cell < kSampleMovieCells && (frame >> cell) & 1) c = {255, 255, 255};
      } else {
        c = kSampleMovieBars[std::min(x / kSampleMovieBarWidth, kSampleMovieBarCount - 1)];
      }
      uint8_t* p = &bgra[(size_t(y) * kSampleMovieWidth + size_t(x)) * 4];
      p[0] = c.b;
      p[1] = c.g;
      p[2] = c.r;
      p[3] = 255;
    }
  }
  return bgra;
}

std::vector<int16_t> Tone() {
  constexpr int64_t frames = kSampleMovieSoundRate;  // one second
  const uint32_t step = uint32_t((uint64_t(kToneHz) << 32) / uint64_t(kSampleMovieSoundRate));
  std::vector<int16_t> pcm(size_t(frames) * 2);
  for (int64_t f = 0; f < frames; ++f) {
    const int64_t fade = std::min({f, frames - 1 - f, kFadeFrames});
    const int64_t value = Sine(uint32_t(uint64_t(step) * uint64_t(f))) * kToneLevel / 32767 * fade / kFadeFrames;
    pcm[size_t(f) * 2] = int16_t(value);
    pcm[size_t(f) * 2 + 1] = int16_t(value);
  }
  return pcm;
}

}  // namespace

int32_t SampleMovieFrameNumber(const uint8_t* bgra, int32_t stride, int32_t x, int32_t y) {
  int32_t number = 0;
  for (int32_t cell = 0; cell < kSampleMovieCells; ++cell) {
    const int32_t cx = x + cell * kSampleMovieCellWidth + kSampleMovieCellWidth / 2;
    const int32_t cy = y + kSampleMovieCellRows / 2;
    const uint8_t* p = bgra + ptrdiff_t(cy) * stride + ptrdiff_t(cx) * 4;
    if (p[0] + p[1] + p[2] >= 3 * 128) number |= 1 << cell;
  }
  return number;
}

bool WriteSampleMovie(const std::filesystem::path& outDir) {
  const std::filesystem::path target = outDir / kSampleMoviePath;
  std::vector<std::vector<uint8_t>> pictures;
  for (int32_t i = 0; i < kSampleMovieFrames; ++i) pictures.push_back(Picture(i));
  platform::MovieEncodeParams params;
  params.width = kSampleMovieWidth;
  params.height = kSampleMovieHeight;
  params.framesPerSecond = kSampleMovieFramesPerSecond;
  params.audioRate = kSampleMovieSoundRate;
  std::vector<uint8_t> movie;
  std::string reason;
  if (!platform::EncodeMpegMovie(params, pictures, Tone(), &movie, &reason)) {
    std::fprintf(stderr, "make_sample_art: cannot encode %s: %s\n", target.c_str(), reason.c_str());
    return false;
  }
  return WriteSampleFile(target, std::string(movie.begin(), movie.end()));
}
