// The main window's arithmetic, kept free of any window and clock so tests
// need no display: the full-screen picture rectangle, client <-> logical
// pointer mapping, the window-size table and which entries fit the desktop,
// the frame interval and the frame pacer. Pure: any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

struct WindowRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const WindowRect&) const = default;
};

// Full-screen scaling modes; any other value keeps the aspect ratio.
enum : int32_t {
  FULLSCREEN_SCALE_CENTER = 1,   // the logical size, centred
  FULLSCREEN_SCALE_STRETCH = 2,  // the whole display
};

// Where the game's picture lies on a display of displayW x displayH.
WindowRect FullscreenPictureRect(int32_t scaling, int32_t logicalW, int32_t logicalH, int32_t displayW,
                                 int32_t displayH);

// How window pixels relate to the logical screen.
struct ScreenMapping {
  int32_t logicalW = 800;
  int32_t logicalH = 600;
  bool fullScreen = false;
  int32_t clientW = 800;  // windowed: the client size the picture is stretched over
  int32_t clientH = 600;
  WindowRect picture;     // full screen: the picture on the display
};

// Client (window) pixels to logical pixels. Full screen: points outside the
// picture are clamped to it and the result is false. Windowed: scaled by
// logical / client size; always true.
bool MapClientToLogical(const ScreenMapping& mapping, int32_t* x, int32_t* y);
// The reverse, for placing the pointer.
void MapLogicalToClient(const ScreenMapping& mapping, int32_t* x, int32_t* y);

// One entry of the window-size table: entry 0 is the logical size, 1..9
// come from the configuration (0 x 0 when not configured).
struct WindowSizeEntry {
  int32_t width = 0;
  int32_t height = 0;
  bool fits = false;    // its outer size fits the desktop work area
  bool usable = false;  // it can be chosen
};
using WindowSizeTable = std::array<WindowSizeEntry, 10>;

// Marks each entry with a positive size usable when its client size plus
// the window frame fits the work area on both axes.
void MarkUsableEntries(WindowSizeTable* table, int32_t frameW, int32_t frameH, int32_t workW, int32_t workH);
// Entry 0 when usable, else the widest usable entry of 1..9 (the first of
// equal widths); -1 when none is.
int32_t PickInitialEntry(const WindowSizeTable& table);
// The requested entry when it exists and is usable, else the widest usable
// entry of 1..9, else the previous windowed entry (-1 when that is unset).
int32_t PickWindowedEntry(const WindowSizeTable& table, int32_t requested, int32_t previous);

// Frame modes: the ":flip-method" words.
enum : int32_t {
  FRAME_MODE_NOWAIT = 0,
  FRAME_MODE_VBLANK = 1,
  FRAME_MODE_AUTO = 2,
  FRAME_MODE_SPECIFIED = 3,
};
// "vblank" 1, "nowait" 0, "auto" 2, "specified" 3 (exact words); any
// other word, the empty one included, 1.
int32_t FrameModeFromFlipMethod(std::u16string_view word);

// Microseconds between frames at this rate (frames per second), rounded to
// the nearest microsecond; a rate below 1 counts as 1, above 1000 as 1000.
int64_t FrameIntervalMicros(int32_t frameRate);

// When frames fall due. Due times are kept in microseconds and advanced by
// the interval, so the average rate is exact even on a millisecond clock; a
// due time more than one interval behind restarts from the current time (no
// burst of frames after a stall).
//
// The display paces presented frames only where it is seen to: with
// swapMayPace (the swap interval was accepted and the frame mode lets the
// display pace), once kBlockingSwaps presented frames in a row spent at
// least half an interval in the buffer swap, a frame that presented a new
// picture lets the next one start at once. Everywhere else (a driver that
// ignores the swap interval, a compositor that does not block) every frame
// is paced by the interval, so a changing scene never spins.
class FramePacer {
 public:
  static constexpr int32_t kBackgroundWaitMs = 50;  // least wait before a background frame
  // Longest single wait while nothing is due. Quit signals and pushed events
  // end a wait themselves; this only bounds how long anything else that
  // changed without telling the loop goes unseen.
  static constexpr int32_t kMaxWaitMs = 1000;
  static constexpr int32_t kStartFrames = 3;        // the first frames run at once
  static constexpr int32_t kBlockingSwaps = 3;      // swaps seen to block before the display paces

  struct Wait {
    int32_t timeoutMs = 0;  // how long to wait for input
    bool due = false;       // the frame runs after that wait
  };

  void configure(int64_t intervalMicros, bool swapMayPace) {
    interval_ = intervalMicros < 1 ? 1 : intervalMicros;
    swapMayPace_ = swapMayPace;
    blockingSwaps_ = 0;
  }
  int64_t interval() const { return interval_; }
  // The display paces presented frames now.
  bool swapPaces() const { return swapMayPace_ && blockingSwaps_ >= kBlockingSwaps; }

  // The wait before the next frame at nowMicros. wanted: something needs
  // the next frame at the interval (a changed scene, an animation, input
  // handled since the last frame); otherwise the frame is due only at
  // wakeAtMicros, and never while that is negative (the wait then lasts
  // kMaxWaitMs and the caller asks again). wakeAtMicros >= 0 also brings a
  // wanted frame forward. foreground: the minimum wait is 0, else
  // kBackgroundWaitMs (a frame due sooner still waits that long).
  Wait frameWaitTime(int64_t nowMicros, bool foreground, int64_t wakeAtMicros = -1, bool wanted = true) const;
  // A frame ran at nowMicros; presented: it showed a new picture, whose
  // buffer swap took swapMicros.
  void frameRan(int64_t nowMicros, bool presented, int64_t swapMicros = 0);

  int64_t nextDue() const { return nextDue_; }  // -1 before the first frame
  int64_t framesRun() const { return framesRun_; }

 private:
  int64_t interval_ = 1;
  bool swapMayPace_ = false;
  int32_t blockingSwaps_ = 0;
  int64_t nextDue_ = -1;
  int64_t framesRun_ = 0;
};
