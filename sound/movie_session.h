// One playing movie: a decoder thread that opens the file, keeps a few
// pictures decoded ahead and writes the sound into a mixer buffer, and the
// clock that decides which picture is due (the sound's play position when
// the movie has sound, else the monotonic clock). Made, asked and destroyed
// on the main thread; destruction stops and joins the thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/movie_screen.h"
#include "platform/movie_decoder.h"
#include "sound/sound_buffer.h"

class MovieSession {
 public:
  enum State : int32_t {
    kOpening = 0,  // the thread opens the file and decodes the first pictures
    kRunning = 1,
    kEnded = 2,    // the last picture's time has passed
    kFailed = 3,   // the file could not be opened or decoded (logged)
  };

  // Called on the decoder thread when the movie ends or fails (with id).
  using Notify = void (*)(int32_t id);

  // sound: a stopped 16-bit stereo buffer at audioRate for the movie's
  // sound, or null to play it silent. volume in hundredths of a decibel.
  MovieSession(std::unique_ptr<platform::MovieDecoder> decoder, std::string path, int32_t id,
               std::unique_ptr<SoundBuffer> sound, int32_t audioRate, int32_t volume, Notify notify);
  // Stops the thread (a decode under way finishes its one step) and joins it.
  ~MovieSession();
  MovieSession(const MovieSession&) = delete;
  MovieSession& operator=(const MovieSession&) = delete;

  void start();

  int32_t id() const { return id_; }
  State state();
  // Taken once: true the first time it is asked after the movie ended.
  bool takeEnd();
  void setVolume(int32_t volume);
  // Where the pictures go (w or h below 1: the whole screen).
  void place(int32_t x, int32_t y, int32_t w, int32_t h);
  // The newest picture that came due since the last call.
  bool takeFrame(MovieFrame* frame);
  // Milliseconds of movie time played.
  int64_t clockMs();

  // Waits until the thread has nothing to do before the clock moves on
  // (pictures and sound far enough ahead, the end decoded, or a failure);
  // false after timeoutMs. For tests that move the clock by hand.
  bool waitIdle(int32_t timeoutMs);

 private:
  void run();
  bool open();
  // Under mutex_:
  int64_t clockLocked();
  bool needsMoreLocked();
  void dropPassedFramesLocked(int64_t clock);
  void writeSoundLocked(const std::vector<int16_t>& samples);
  void startPlayingLocked();
  void endLocked(State state);

  const std::unique_ptr<platform::MovieDecoder> decoder_;
  const std::string path_;
  const int32_t id_;
  const std::unique_ptr<SoundBuffer> sound_;
  const int32_t audioRate_;
  const Notify notify_;

  std::mutex mutex_;
  std::condition_variable wake_;  // the thread waits on it for room or the quit
  std::condition_variable idle_;  // waitIdle waits on it
  bool quit_ = false;
  State state_ = kOpening;
  bool endTaken_ = false;
  bool decodeDone_ = false;
  uint64_t idleAsked_ = 0;  // waitIdle's requests
  uint64_t idleSeen_ = 0;   // the last request the thread answered by going idle
  bool withSound_ = false;
  size_t capacity_ = 8;  // pictures kept ahead
  std::deque<platform::MovieVideoFrame> frames_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t x_ = 0, y_ = 0, w_ = 0, h_ = 0;
  int64_t endMs_ = 0;  // the end of the last picture or of the sound decoded
  // Clock.
  bool started_ = false;
  int64_t startMicros_ = 0;
  uint32_t ringBytes_ = 0;
  uint32_t lastCursor_ = 0;
  int64_t played_ = 0;   // sound frames played
  int64_t written_ = 0;  // sound frames written (the ring's write point)
  int64_t decodedSound_ = 0;  // sound frames the decoder gave

  std::thread thread_;
};
