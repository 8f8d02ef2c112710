// A movie decoder for tests: pictures of one flat colour each and an
// optional tone, made from a script instead of a file, with an optional
// delay per result to stand in for a slow decoder. No FFmpeg, no files;
// one thread uses it at a time, like the real one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/movie_decoder.h"

namespace platform {

struct FakeMovieScript {
  int32_t width = 64;
  int32_t height = 48;
  int32_t frames = 25;
  int32_t frameMs = 40;
  int32_t audioMs = 0;        // length of a 1 kHz tone at level 8000, 0: no sound stream
  int32_t decodeDelayMs = 0;  // sleeps this long before each result (a slow decoder)
  std::string refuseOpen;     // when not empty, open fails with this text
};

// The colour frame i is filled with, 0xAARRGGBB (alpha FF), different for
// every i in 0..255.
uint32_t FakeMovieColor(int32_t frame);

// Frame i comes at i * frameMs for frameMs; sound in 20 ms blocks from time
// 0 at the rate given to open (none at rate 0); each stream then answers
// kEnd. The path given to open is ignored.
std::unique_ptr<MovieDecoder> CreateFakeMovieDecoder(const FakeMovieScript& script);

}  // namespace platform
