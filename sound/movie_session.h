// One playing movie: a decoder thread that opens the file, keeps a few
// pictures decoded ahead and writes the sound into a mixer buffer at the
// place its time gives it, and the clock that decides which picture is due
// (the sound's play position when the movie has sound, else the monotonic
// clock). The clock, and the sound with it, starts once the first picture
// is on the screen, so that no picture is late before the first is seen. Made, asked and destroyed on the main thread; destruction stops
// the thread and waits at most kJoinTimeoutMs for it (a thread stuck in a
// read the system does not let go of is left to finish on its own).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/movie_screen.h"
#include "platform/movie_decoder.h"
#include "sound/sound_buffer.h"

class MovieSession {
 public:
  enum State : int32_t {
    kOpening = 0,  // the thread opens the file and decodes the first pictures
    kRunning = 1,  // decoded far enough ahead: the first picture is due, then the rest in time
    kEnded = 2,    // the last picture's time has passed
    kFailed = 3,   // the file could not be opened or decoded (logged)
  };
  static constexpr int32_t kJoinTimeoutMs = 2000;
  // The clock starts without the first picture shown when the screen has
  // had its turns this long since it was due without showing it (a
  // minimized window draws nothing), or at once when the movie has no
  // picture. A screen that takes no turns (a main thread held up) is
  // waited for: its first turn shows the first picture.
  static constexpr int32_t kFirstPictureWaitMs = 1000;

  // What happened to the pictures so far (for benchmarks).
  struct Stats {
    int64_t decoded = 0;    // pictures the decoder gave
    int64_t presented = 0;  // handed to the screen
    int64_t onTime = 0;     // of those, taken before the next picture was due
    int64_t threadCpuMicros = 0;  // the decoder thread's CPU time, once it has ended
  };

  // Called on the decoder thread when the movie ends or fails (with id).
  using Notify = void (*)(int32_t id);
  // Makes the decoder, on the decoder thread; null with the reason in
  // *error when there is none.
  using DecoderFactory = std::function<std::unique_ptr<platform::MovieDecoder>(std::string* error)>;

  // sound: a stopped 16-bit stereo buffer at audioRate for the movie's
  // sound, or null to play it silent. volume in hundredths of a decibel.
  MovieSession(DecoderFactory makeDecoder, std::string path, int32_t id, std::unique_ptr<SoundBuffer> sound,
               int32_t audioRate, int32_t volume, Notify notify);
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
  // The newest picture that came due since the last call (older due ones
  // are late and dropped); before the clock starts, the first picture.
  bool takeFrame(MovieFrame* frame);
  // The picture taken last is on the screen: the first one starts the
  // clock.
  void pictureShown();
  // The screen had a turn (a frame step), whether or not it drew.
  void screenTurn();
  // Pixels of a picture shown before, for the decoder to fill again; given
  // before start(), pixels of an earlier movie, kept when they have this
  // movie's size.
  void giveBack(std::vector<uint8_t> pixels);
  // The pixels of pictures given back or not yet shown, at most as many
  // and as many bytes as the movie keeps ahead, for the next movie (whose
  // first pictures then need no new memory). The queue is empty afterwards.
  std::vector<std::vector<uint8_t>> takePixels();
  // Milliseconds of movie time until the next decoded picture is due (0
  // when it is due now), or -1 when none is decoded.
  int64_t nextFrameInMs();
  // Milliseconds of movie time played.
  int64_t clockMs();
  Stats stats();

  // Waits until the thread has nothing to do before the clock moves on
  // (pictures and sound far enough ahead, the end decoded, or a failure);
  // false after timeoutMs. For tests that move the clock by hand.
  bool waitIdle(int32_t timeoutMs);

 private:
  struct Core;
  static void run(const std::shared_ptr<Core>& core);

  const int32_t id_;
  // Shared with the thread, which keeps it alive when it outlives the session.
  const std::shared_ptr<Core> core_;
  std::thread thread_;
};
