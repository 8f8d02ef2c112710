// The movie module's entry: the table of its FFmpeg decoder and encoder.
// Everything else in the module is hidden (built with hidden visibility).
#include "platform/movie_module.h"

extern "C" __attribute__((visibility("default"))) const platform::MovieModule* zep_movie_module() {
  static const platform::MovieModule table{platform::kMovieModuleVersion, &platform::movie_module::CreateDecoder,
                                           &platform::movie_module::EncodeMpeg,
                                           &platform::movie_module::DecodeAlone};
  return &table;
}
