// Movie pictures that take real work to encode and decode, for the movie
// benchmarks: moving noise over a gradient, BGRA, the same run after run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<std::vector<uint8_t>> BusyPictures(int32_t width, int32_t height, int32_t count) {
  std::vector<std::vector<uint8_t>> frames;
  uint32_t seed = 12345;
  for (int32_t f = 0; f < count; ++f) {
    std::vector<uint8_t> bgra(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < bgra.size(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      bgra[i] = static_cast<uint8_t>((seed >> 24) / 2 + (i / 4 % size_t(width) + size_t(f) * 8) % 128);
    }
    frames.push_back(std::move(bgra));
  }
  return frames;
}
