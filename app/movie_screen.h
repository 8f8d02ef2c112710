// What the main window needs of the movie player, which installs itself at
// start-up: the newest picture to draw over the kept screen while a movie
// plays, the movie's end notification handed over on the main thread, and
// the release when the scene is detached. Without an installed player a
// set movie flag only stops the scene from being drawn. Main thread.
#pragma once

#include <cstdint>
#include <vector>

struct MovieFrame {
  std::vector<uint8_t> bgra;  // width x height x 4, top row first
  int32_t width = 0;
  int32_t height = 0;
  uint32_t revision = 0;  // counts the movie's pictures handed out
  // Where the picture goes on the logical screen (scaled to fit); a width
  // or height below 1 means the whole screen.
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};

class MovieScreen {
 public:
  virtual ~MovieScreen() = default;
  // The newest picture that came due since the last call, moved into
  // *frame; false when none did or no movie plays.
  virtual bool takeFrame(MovieFrame* frame) = 0;
  // Milliseconds until the next picture is due (0: now), or -1 when none
  // is waiting.
  virtual int64_t nextFrameInMs() = 0;
  // The picture taken last has been presented (the first one starts the
  // movie's clock).
  virtual void pictureShown() = 0;
  // A frame step ran, drawn or not (a minimized window draws nothing):
  // the first picture's wait counts only the screen's turns, so a main
  // thread held up does not lose the movie's start.
  virtual void frameStepped() = 0;
  // Hands back the pixels of a picture no longer needed, for a later one.
  virtual void giveBack(std::vector<uint8_t> pixels) = 0;
  // The player's thread said it has news (the movie's end) for the movie
  // with this id.
  virtual void onGraphEvent(int64_t parameter) = 0;
  // Stops and forgets the movie.
  virtual void releaseAll() = 0;
};

void SetMovieScreen(MovieScreen* screen);
MovieScreen* GetMovieScreen();
