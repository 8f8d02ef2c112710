// A movie file read frame by frame: video as BGRA pictures at the movie's
// own size, sound as 16-bit stereo at the rate the caller plays it. Times
// are milliseconds from the file's first timestamp (an MPEG program stream
// starts at a non-zero time). One thread uses a decoder at a time; the
// FFmpeg one (movie_decoder_ffmpeg.cpp) is the real one, the fake
// (movie_decoder_fake.h) makes pictures for tests.
#pragma once

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

class MovieDecoder {
 public:
  enum Result : int32_t {
    kVideo = 0,  // *video holds the next frame
    kAudio = 1,  // *audio holds the next block of sound
    kEnd = 2,    // nothing is left
    kError = 3,  // decoding failed; *error says why
  };

  virtual ~MovieDecoder() = default;

  // Opens the file (a UTF-8 path). Sound is converted to interleaved
  // 16-bit stereo at audioRate Hz (8000..192000). False with the library's
  // error text in *error (may be null) when the file is missing, is no
  // movie or has no video stream.
  virtual bool open(const std::string& path, int32_t audioRate, std::string* error) = 0;
  // The picture size; 0 before a successful open.
  virtual int32_t width() const = 0;
  virtual int32_t height() const = 0;
  // Whether the movie has a sound stream that next() delivers.
  virtual bool hasAudio() const = 0;
  // Decodes until it has the next video frame or block of sound, in file
  // order. Sound is continuous from time 0: sample n (a left and right pair)
  // plays at n / audioRate seconds, with silence put in where the stream
  // starts late. Frame times never go back; a frame without a timestamp
  // follows the previous one by a frame interval.
  virtual Result next(MovieVideoFrame* video, std::vector<int16_t>* audio, std::string* error) = 0;
};

// The FFmpeg decoder (libavformat, libavcodec, libswscale, libswresample).
std::unique_ptr<MovieDecoder> CreateFfmpegMovieDecoder();

}  // namespace platform
