// Writes small MPEG-1 movies into memory, for the sample game's generator
// (tools/make_sample_art) and nothing at run time. The same input gives the
// same bytes, run after run. Any one thread; no state kept between calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct MovieEncodeParams {
  int32_t width = 320, height = 240, framesPerSecond = 25;  // a rate MPEG-1 knows (24, 25, 30, 50, 60)
  int32_t audioRate = 44100;  // of the stereo 16-bit input: 32000, 44100, 48000 or half of one
  int32_t videoBitRate = 400000, audioBitRate = 128000;  // bits per second
};

// Encodes an MPEG-1 program stream (muxer "mpeg"): MPEG-1 video from BGRA
// frames (width x height x 4 bytes each, top row first, alpha ignored) at
// framesPerSecond, and MP2 sound from interleaved 16-bit stereo samples
// (left, right) at audioRate; an empty `stereo` makes a movie without sound.
// The whole file goes to *out. False with the reason in *error (may be null)
// for a bad size, a frame of the wrong length, an encoder failure or a movie
// module (movie_module.h) that cannot be loaded.
bool EncodeMpegMovie(const MovieEncodeParams& params, const std::vector<std::vector<uint8_t>>& frames,
                     const std::vector<int16_t>& stereo, std::vector<uint8_t>* out, std::string* error);

}  // namespace platform
