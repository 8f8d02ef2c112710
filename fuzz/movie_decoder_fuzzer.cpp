// Fuzzes the FFmpeg movie decoder over a file this target writes (the
// decoder reads files, not memory): any bytes opened, then pictures and
// sound pulled in turn to the end; nothing may end the process, and the
// decoder's contract holds (pictures of the movie's size in time order,
// sound blocks that follow each other).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

#include "platform/movie_decoder.h"

namespace {

// The file of this run, removed at exit.
struct TempFile {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("zep_movie_fuzzer_" + std::to_string(std::random_device()()) + ".mpg"))
          .string();
  ~TempFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
};

const std::string& FilePath() {
  static const TempFile file;
  return file.path;
}

// Steps of decoding per input, so that a long movie does not slow the run.
constexpr int kMaxSteps = 400;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::ofstream(FilePath(), std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), std::streamsize(size));
  const std::unique_ptr<platform::MovieDecoder> decoder = platform::CreateFfmpegMovieDecoder();
  if (!decoder->open(FilePath(), 44100, nullptr, nullptr)) return 0;
  const size_t pictureBytes = size_t(decoder->width()) * size_t(decoder->height()) * 4;
  if (pictureBytes == 0) std::abort();
  platform::MovieVideoFrame picture;
  platform::MovieSoundBlock block;
  int64_t lastTime = -1, soundEnd = -1;
  bool picturesOver = false, soundOver = false;
  for (int step = 0; step < kMaxSteps && !(picturesOver && soundOver); ++step) {
    const bool sound = !soundOver && (picturesOver || step % 2 == 1);
    if (sound) {
      switch (decoder->nextSound(&block, nullptr)) {
        case platform::MovieDecoder::kAudio:
          if (block.samples.size() % 2 != 0 || block.firstFrame < 0) std::abort();
          if (soundEnd >= 0 && block.firstFrame != soundEnd) std::abort();
          soundEnd = block.firstFrame + int64_t(block.samples.size() / 2);
          break;
        case platform::MovieDecoder::kFull: break;
        case platform::MovieDecoder::kVideo: std::abort();
        default: soundOver = true; break;
      }
    } else {
      switch (decoder->nextPicture(&picture, nullptr)) {
        case platform::MovieDecoder::kVideo:
          if (picture.bgra.size() != pictureBytes || picture.timeMs < lastTime) std::abort();
          lastTime = picture.timeMs;
          break;
        case platform::MovieDecoder::kFull: break;
        case platform::MovieDecoder::kAudio: std::abort();
        default: picturesOver = true; break;
      }
    }
  }
  return 0;
}
