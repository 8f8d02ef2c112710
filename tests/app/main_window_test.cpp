// The main window's arithmetic without a display: full-screen picture
// rectangles, pointer mapping, the window-size table, frame modes and the
// frame pacer driven by a hand-moved clock.
#include <gtest/gtest.h>

#include <vector>

#include "app/window_geometry.h"
#include "tests/support/test_support.h"

TEST(WindowGeometry, FullscreenPictureKeepsAspectCentresOrStretches) {
  EXPECT_EQ(FullscreenPictureRect(0, 800, 600, 1920, 1080), (WindowRect{240, 0, 1440, 1080}));
  EXPECT_EQ(FullscreenPictureRect(0, 800, 600, 1280, 1024), (WindowRect{0, 32, 1280, 960}));
  // Same aspect: the whole display.
  EXPECT_EQ(FullscreenPictureRect(3, 800, 600, 1024, 768), (WindowRect{0, 0, 1024, 768}));
  EXPECT_EQ(FullscreenPictureRect(FULLSCREEN_SCALE_CENTER, 800, 600, 1920, 1080), (WindowRect{560, 240, 800, 600}));
  EXPECT_EQ(FullscreenPictureRect(FULLSCREEN_SCALE_STRETCH, 800, 600, 1920, 1080), (WindowRect{0, 0, 1920, 1080}));
  // A broken logical size never divides by zero.
  EXPECT_EQ(FullscreenPictureRect(0, 0, 600, 1920, 1080), (WindowRect{0, 0, 1920, 1080}));
}

TEST(WindowGeometry, MapsClientAndLogicalBothWays) {
  ScreenMapping windowed;
  windowed.clientW = 1600;
  windowed.clientH = 1200;
  int32_t x = 801, y = 1199;
  EXPECT_TRUE(MapClientToLogical(windowed, &x, &y));
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 599);
  MapLogicalToClient(windowed, &x, &y);
  EXPECT_EQ(x, 800);
  EXPECT_EQ(y, 1198);

  ScreenMapping full;
  full.fullScreen = true;
  full.picture = FullscreenPictureRect(0, 800, 600, 1920, 1080);
  x = 240 + 720;
  y = 540;
  EXPECT_TRUE(MapClientToLogical(full, &x, &y));
  EXPECT_EQ(x, 400);
  EXPECT_EQ(y, 300);
  // In the black border left of the picture: clamped to the edge.
  x = 239;
  y = 0;
  EXPECT_FALSE(MapClientToLogical(full, &x, &y));
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  x = 1919;
  y = 1079;
  EXPECT_FALSE(MapClientToLogical(full, &x, &y));
  EXPECT_EQ(x, 799);
  EXPECT_EQ(y, 599);
  x = 400;
  y = 300;
  MapLogicalToClient(full, &x, &y);
  EXPECT_EQ(x, 960);
  EXPECT_EQ(y, 540);
}

TEST(WindowGeometry, WindowSizeTableChoosesFittingEntries) {
  WindowSizeTable table{};
  table[0] = {1280, 1024};
  table[1] = {1024, 768};
  table[2] = {1152, 864};
  table[3] = {1152, 700};
  table[4] = {2560, 1440};
  // A 1280 x 1000 work area with a 10 x 30 frame.
  MarkUsableEntries(&table, 10, 30, 1280, 1000);
  EXPECT_FALSE(table[0].usable);
  EXPECT_TRUE(table[1].usable);
  EXPECT_TRUE(table[2].usable);
  EXPECT_TRUE(table[3].fits);
  EXPECT_FALSE(table[4].usable);
  EXPECT_FALSE(table[5].usable);  // not configured
  // The widest usable entry, the first of equal widths.
  EXPECT_EQ(PickInitialEntry(table), 2);
  EXPECT_EQ(PickWindowedEntry(table, 1, 2), 1);
  EXPECT_EQ(PickWindowedEntry(table, 4, 1), 2);
  EXPECT_EQ(PickWindowedEntry(table, 42, 1), 2);

  MarkUsableEntries(&table, 0, 0, 640, 480);
  EXPECT_EQ(PickInitialEntry(table), -1);
  EXPECT_EQ(PickWindowedEntry(table, 1, 3), 3);
  EXPECT_EQ(PickWindowedEntry(table, 1, -1), -1);
}

TEST(WindowGeometry, FrameModesAndIntervals) {
  EXPECT_EQ(FrameModeFromFlipMethod(u"vblank"), FRAME_MODE_VBLANK);
  EXPECT_EQ(FrameModeFromFlipMethod(u"nowait"), FRAME_MODE_NOWAIT);
  EXPECT_EQ(FrameModeFromFlipMethod(u"auto"), FRAME_MODE_AUTO);
  EXPECT_EQ(FrameModeFromFlipMethod(u"specified"), FRAME_MODE_SPECIFIED);
  EXPECT_EQ(FrameModeFromFlipMethod(u"VBlank"), FRAME_MODE_VBLANK);
  EXPECT_EQ(FrameModeFromFlipMethod(u"Specified"), FRAME_MODE_VBLANK);
  EXPECT_EQ(FrameModeFromFlipMethod(u""), FRAME_MODE_VBLANK);

  EXPECT_EQ(FrameIntervalMicros(60), 16667);
  EXPECT_EQ(FrameIntervalMicros(30), 33333);
  // Rates from a broken configuration never divide by zero.
  EXPECT_EQ(FrameIntervalMicros(0), 1000000);
  EXPECT_EQ(FrameIntervalMicros(-5), 1000000);
  EXPECT_EQ(FrameIntervalMicros(1000000), 1000);
}

namespace {

// Runs the pump's loop on a hand-moved clock: waits as told, runs the frame
// when due; returns the clock (ms) at which each frame ran.
std::vector<int64_t> runFrames(FramePacer& pacer, ManualClock& clock, int frames, bool foreground = true) {
  std::vector<int64_t> ranAt;
  int guard = 0;
  while (static_cast<int>(ranAt.size()) < frames && ++guard < 100000) {
    const FramePacer::Wait wait = pacer.frameWaitTime(clock.now() * 1000, foreground);
    clock.ms += wait.timeoutMs;
    if (!wait.due) continue;
    pacer.frameRan(clock.now() * 1000, false);
    ranAt.push_back(clock.now());
  }
  return ranAt;
}

}  // namespace

TEST(FramePacer, SixtyFramesASecondOnAMillisecondClock) {
  ManualClock clock(5000);
  FramePacer pacer;
  pacer.configure(FrameIntervalMicros(60), false);

  // The first frames run at once.
  std::vector<int64_t> ranAt = runFrames(pacer, clock, FramePacer::kStartFrames);
  EXPECT_EQ(ranAt, (std::vector<int64_t>{5000, 5000, 5000}));

  std::vector<int64_t> due;
  int64_t previousDue = pacer.nextDue();
  for (int i = 0; i < 120; ++i) {
    runFrames(pacer, clock, 1);
    due.push_back(pacer.nextDue() - previousDue);
    previousDue = pacer.nextDue();
  }
  for (int64_t step : due) EXPECT_EQ(step, 16667);
  // 120 frames took two seconds (whole-millisecond pacing would take 2040 ms).
  EXPECT_NEAR(static_cast<double>(clock.now() - 5000), 2000.0, 1.0);
  // No wait is ever spent spinning: a frame not yet due waits at least 1 ms.
  const FramePacer::Wait wait = pacer.frameWaitTime(clock.now() * 1000, true);
  EXPECT_TRUE(wait.due || wait.timeoutMs >= 1);

  // A stall of several intervals: one frame at once, then pacing restarts
  // from that frame instead of catching up with a burst.
  clock.ms += 100;
  const int64_t stallEnd = clock.now();
  EXPECT_TRUE(pacer.frameWaitTime(stallEnd * 1000, true).due);
  pacer.frameRan(stallEnd * 1000, false);
  EXPECT_EQ(pacer.nextDue(), stallEnd * 1000 + 16667);
  const FramePacer::Wait next = pacer.frameWaitTime(stallEnd * 1000, true);
  EXPECT_FALSE(next.due);
  EXPECT_EQ(next.timeoutMs, 17);
}

TEST(FramePacer, BackgroundWakeCapAndDisplayPacedFrames) {
  FramePacer background;
  background.configure(FrameIntervalMicros(60), true);
  for (int i = 0; i < FramePacer::kStartFrames; ++i) background.frameRan(0, false);
  // In the background a frame due soon still waits the background minimum.
  FramePacer::Wait wait = background.frameWaitTime(10000, false);
  EXPECT_TRUE(wait.due);
  EXPECT_EQ(wait.timeoutMs, FramePacer::kBackgroundWaitMs);

  FramePacer slow;
  slow.configure(FrameIntervalMicros(1), false);
  for (int i = 0; i < FramePacer::kStartFrames; ++i) slow.frameRan(0, false);
  // Long waits are cut into pieces so input is seen.
  wait = slow.frameWaitTime(0, false);
  EXPECT_FALSE(wait.due);
  EXPECT_EQ(wait.timeoutMs, FramePacer::kMaxWaitMs);
  // A wake cap brings the frame forward.
  wait = slow.frameWaitTime(0, true, 5000);
  EXPECT_FALSE(wait.due);
  EXPECT_EQ(wait.timeoutMs, 5);
  EXPECT_TRUE(slow.frameWaitTime(0, true, 0).due);

  // Once swaps are seen to wait for the display, a presented frame lets the
  // next start at once; an idle one (nothing presented) is paced by the
  // interval.
  FramePacer display;
  display.configure(FrameIntervalMicros(60), true);
  for (int i = 0; i < FramePacer::kBlockingSwaps; ++i) display.frameRan(3000000, true, 9000);
  EXPECT_TRUE(display.swapPaces());
  EXPECT_TRUE(display.frameWaitTime(3000100, true).due);
  display.frameRan(3000100, false);
  EXPECT_FALSE(display.frameWaitTime(3000200, true).due);
  EXPECT_EQ(display.nextDue(), 3016667);
}

// A swap interval the driver accepted but that does not block (Xvfb with
// software rendering, some compositors) leaves every frame to the clock: a
// scene that changes every frame presents at the configured rate.
TEST(FramePacer, SwapsThatDoNotBlockArePacedByTheClock) {
  ManualClock clock(1000);
  FramePacer pacer;
  pacer.configure(FrameIntervalMicros(60), true);
  int presented = 0;
  while (clock.ms < 2000) {
    const FramePacer::Wait wait = pacer.frameWaitTime(clock.now() * 1000, true);
    clock.ms += wait.timeoutMs;
    if (!wait.due) continue;
    pacer.frameRan(clock.now() * 1000, true, 300);
    ++presented;
    clock.ms += 1;  // drawing and the swap
  }
  EXPECT_FALSE(pacer.swapPaces());
  EXPECT_LE(presented, 60 + FramePacer::kStartFrames);
  EXPECT_GE(presented, 58);
  // A short swap among blocking ones hands pacing back to the clock.
  for (int i = 0; i < FramePacer::kBlockingSwaps; ++i) pacer.frameRan(clock.now() * 1000, true, 9000);
  EXPECT_TRUE(pacer.swapPaces());
  pacer.frameRan(clock.now() * 1000, true, 300);
  EXPECT_FALSE(pacer.swapPaces());
}
