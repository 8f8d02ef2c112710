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

// One second of a sine of hz appended to pcm, its phase going on from the
// sound before; faded in and out over 10 ms when fade is set.
void AppendTone(int32_t hz, bool fade, std::vector<int16_t>* pcm) {
  constexpr int64_t frames = kSampleMovieSoundRate;
  const uint32_t step = uint32_t((uint64_t(hz) << 32) / uint64_t(kSampleMovieSoundRate));
  const int64_t at = int64_t(pcm->size() / 2);
  for (int64_t f = 0; f < frames; ++f) {
    const int64_t level = fade ? std::min({f, frames - 1 - f, kFadeFrames}) : kFadeFrames;
    const int64_t value =
        Sine(uint32_t(uint64_t(step) * uint64_t(at + f))) * kToneLevel / 32767 * level / kFadeFrames;
    pcm->push_back(int16_t(value));
    pcm->push_back(int16_t(value));
  }
}

std::vector<int16_t> Tone() {
  std::vector<int16_t> pcm;
  AppendTone(kToneHz, true, &pcm);
  return pcm;
}

bool WriteMovie(const std::filesystem::path& target, const platform::MovieEncodeParams& params,
                const std::vector<std::vector<uint8_t>>& pictures, const std::vector<int16_t>& sound) {
  std::vector<uint8_t> movie;
  std::string reason;
  if (!platform::EncodeMpegMovie(params, pictures, sound, &movie, &reason)) {
    std::fprintf(stderr, "make_sample_art: cannot encode %s: %s\n", target.c_str(), reason.c_str());
    return false;
  }
  return WriteSampleFile(target, std::string(movie.begin(), movie.end()));
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
  std::vector<std::vector<uint8_t>> pictures;
  for (int32_t i = 0; i < kSampleMovieFrames; ++i) pictures.push_back(Picture(i));
  platform::MovieEncodeParams params;
  params.width = kSampleMovieWidth;
  params.height = kSampleMovieHeight;
  params.framesPerSecond = kSampleMovieFramesPerSecond;
  params.audioRate = kSampleMovieSoundRate;
  return WriteMovie(outDir / kSampleMoviePath, params, pictures, Tone());
}

bool WriteTestMovies(const std::filesystem::path& outDir) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int32_t i = 0; i < kTestMovieFrames; ++i) {
    pictures.emplace_back(size_t(kTestMovieWidth) * kTestMovieHeight * 4, uint8_t(i * 4));
  }
  std::vector<int16_t> sound;
  for (const int32_t hz : kTestMovieToneHz) AppendTone(hz, false, &sound);
  platform::MovieEncodeParams params;
  params.width = kTestMovieWidth;
  params.height = kTestMovieHeight;
  params.framesPerSecond = 25;
  params.audioRate = kSampleMovieSoundRate;
  params.videoBitRate = 100000;
  params.audioBitRate = 96000;
  return WriteMovie(outDir / kTestMovieName, params, pictures, sound);
}
