// A movie file read stream by stream: video as BGRA pictures at the movie's
// own size, sound as 16-bit stereo at the rate the caller plays it. Times
// are measured from the earliest first timestamp of the streams (an MPEG
// program stream starts at a non-zero time), so sound and pictures share
// one origin. One thread uses a decoder at a time; the FFmpeg one
// (movie_decoder_ffmpeg.cpp) is the real one, the fake
// (movie_decoder_fake.h) makes pictures for tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct MovieVideoFrame {
  int64_t timeMs = 0;      // when the frame is shown
  int64_t durationMs = 0;  // until the next one (the frame rate's interval)
  std::vector<uint8_t> bgra;  // width x height x 4 bytes, top row first, alpha 255
};

struct MovieSoundBlock {
  // The first sample pair's place: pair n plays at n / audioRate seconds.
  int64_t firstFrame = 0;
  std::vector<int16_t> samples;  // interleaved left, right
};

class MovieDecoder {
 public:
  enum Result : int32_t {
    kVideo = 0,  // *video holds the next frame
    kAudio = 1,  // *sound holds the next block of sound
    kEnd = 2,    // nothing is left of the stream asked for
    kError = 3,  // reading or decoding failed; *error says why
    // The file holds too much of the other stream before the next one of
    // this: read the other stream first.
    kFull = 4,
  };

  virtual ~MovieDecoder() = default;

  // Opens the file (a UTF-8 path). Sound is converted to interleaved
  // 16-bit stereo at audioRate Hz (8000..192000); 0 leaves the sound out.
  // While *stop (may be null) reads true, a read that waits for data gives
  // up at once, so a file that never delivers (a FIFO) cannot hold the
  // thread. False with the reason in *error (may be null) when the file is
  // missing, is no movie, has no video stream or the wait was stopped.
  virtual bool open(const std::string& path, int32_t audioRate, const std::atomic<bool>* stop,
                    std::string* error) = 0;
  // The picture size; 0 before a successful open.
  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  // Whether the movie has a sound stream that nextSound() delivers.
  virtual bool hasAudio() const = 0;
  // The next picture (kVideo), in time order: frame times never go back,
  // and a frame without a timestamp follows the previous one by a frame
  // interval. The sound read on the way is kept for nextSound() up to a
  // limit (kFull beyond it). *video's buffer is reused when it has the size.
  virtual Result nextPicture(MovieVideoFrame* video, std::string* error) = 0;
  // The next block of sound (kAudio). Blocks follow each other without gaps
  // or overlaps; the first starts where the stream's first timestamp puts
  // it (sound before time 0 is dropped). The pictures read on the way are
  // kept for nextPicture() up to a limit (kFull beyond it).
  virtual Result nextSound(MovieSoundBlock* sound, std::string* error) = 0;
  // The first damage met in the file so far that cost pictures or sound
  // but not the movie (a cut-off or broken packet), as the decoding
  // library put it; empty while none was met.
  virtual std::string damage() const { return {}; }
};

// The FFmpeg decoder (libavformat, libavcodec, libswscale, libswresample),
// from the movie module (movie_module.h), loaded on first use; null with
// the reason in *error (may be null) when the module cannot be loaded.
std::unique_ptr<MovieDecoder> CreateFfmpegMovieDecoder(std::string* error = nullptr);

// The plain FFmpeg loop a benchmark measures the decoder against: every
// packet of the file's best video and sound streams decoded (one codec
// thread each), each picture converted to BGRA at its size with libswscale
// and the sound to 16-bit stereo at audioRate with libswresample, nothing
// kept. The number of pictures, or -1 with the reason in *error (also when
// the movie module cannot be loaded).
int64_t DecodeWithFfmpegAlone(const std::string& path, int32_t audioRate, std::string* error);

}  // namespace platform
