// What the movie module (libzep_movie.so, the FFmpeg decoder and encoder
// built beside app_w) hands to platform/'s loader (movie_module_loader.cpp):
// one table of entry points, asked for once through zep_movie_module(). Only
// the module and the loader include this; everyone else calls the functions
// of movie_decoder.h and movie_encoder.h, which load the module on first
// use. Built by the same compiler and standard library as the engine, so C++
// types cross the boundary as they are.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/movie_decoder.h"
#include "platform/movie_encoder.h"

namespace platform {

// Bumped whenever the table or a type it uses changes.
inline constexpr uint32_t kMovieModuleVersion = 1;

struct MovieModule {
  uint32_t version = kMovieModuleVersion;
  std::unique_ptr<MovieDecoder> (*createDecoder)() = nullptr;
  bool (*encodeMpeg)(const MovieEncodeParams& params, const std::vector<std::vector<uint8_t>>& frames,
                     const std::vector<int16_t>& stereo, std::vector<uint8_t>* out, std::string* error) = nullptr;
  int64_t (*decodeAlone)(const std::string& path, int32_t audioRate, std::string* error) = nullptr;
};

// The module's side (movie_decoder_ffmpeg.cpp, movie_encoder_ffmpeg.cpp).
namespace movie_module {
std::unique_ptr<MovieDecoder> CreateDecoder();
bool EncodeMpeg(const MovieEncodeParams& params, const std::vector<std::vector<uint8_t>>& frames,
                const std::vector<int16_t>& stereo, std::vector<uint8_t>* out, std::string* error);
int64_t DecodeAlone(const std::string& path, int32_t audioRate, std::string* error);
}  // namespace movie_module

}  // namespace platform

// The module's one exported symbol.
extern "C" const platform::MovieModule* zep_movie_module();
