// Loads the movie module (libzep_movie.so) with dlopen on the first movie,
// so that FFmpeg's libraries are not loaded at start-up: an already loaded
// one is used as it is (test programs link it), else the one beside the
// executable. Any thread; the first call loads, later ones reuse the result.
#include <dlfcn.h>

#include "platform/movie_module.h"
#include "platform/process.h"

namespace platform {
namespace {

constexpr char kModuleName[] = "libzep_movie.so";

struct Loaded {
  const MovieModule* module = nullptr;
  std::string error;  // why there is none
};

const Loaded& Load() {
  static const Loaded loaded = [] {
    Loaded l;
    void* handle = dlopen(kModuleName, RTLD_NOW | RTLD_NOLOAD);
    if (!handle) {
      const std::string exe = ExecutablePath();
      const size_t slash = exe.rfind('/');
      const std::string beside = (slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1)) + kModuleName;
      handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) {
      const char* why = dlerror();
      l.error = why ? why : std::string(kModuleName) + ": cannot be loaded";
      return l;
    }
    using Entry = const MovieModule* (*)();
    const auto entry = reinterpret_cast<Entry>(dlsym(handle, "zep_movie_module"));
    const MovieModule* module = entry ? entry() : nullptr;
    if (!module || module->version != kMovieModuleVersion || !module->createDecoder || !module->encodeMpeg ||
        !module->decodeAlone) {
      l.error = std::string(kModuleName) + ": not this engine's movie module";
      return l;
    }
    l.module = module;
    return l;
  }();
  return loaded;
}

}  // namespace

std::unique_ptr<MovieDecoder> CreateFfmpegMovieDecoder(std::string* error) {
  const Loaded& l = Load();
  if (!l.module) {
    if (error) *error = l.error;
    return nullptr;
  }
  return l.module->createDecoder();
}

bool EncodeMpegMovie(const MovieEncodeParams& params, const std::vector<std::vector<uint8_t>>& frames,
                     const std::vector<int16_t>& stereo, std::vector<uint8_t>* out, std::string* error) {
  const Loaded& l = Load();
  if (!l.module) {
    if (error) *error = l.error;
    return false;
  }
  return l.module->encodeMpeg(params, frames, stereo, out, error);
}

int64_t DecodeWithFfmpegAlone(const std::string& path, int32_t audioRate, std::string* error) {
  const Loaded& l = Load();
  if (!l.module) {
    if (error) *error = l.error;
    return -1;
  }
  return l.module->decodeAlone(path, audioRate, error);
}

}  // namespace platform
