// The main window's process-wide state record, shared by main_window.cpp
// (creation, presentation, pointer, script functions) and frame_step.cpp
// (pump, window input, frame), and input_box_window.cpp (the drawn input
// box). Not for other files. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "platform/window.h"

namespace main_window_local {

struct State {
  SDL_Window* window = nullptr;
  uint32_t windowId = 0;
  std::u16string title;
  bool hasWindowManager = true;

  int32_t logicalW = 800;
  int32_t logicalH = 600;
  int32_t frameMode = FRAME_MODE_VBLANK;
  int32_t frameRate = 60;
  FramePacer pacer;

  WindowSizeTable sizes{};
  int32_t currentEntry = -1;
  int32_t previousEntry = -1;   // the last entry used windowed
  int32_t clientX = 0;          // client origin and size while windowed
  int32_t clientY = 0;
  int32_t clientW = 0;
  int32_t clientH = 0;

  bool fullScreen = false;
  int32_t fullScreenScaling = 0;  // FULLSCREEN_SCALE_* or fit
  WindowRect picture;             // where the picture lies in the client area
  bool requestFullScreen = false;
  int32_t requestEntry = -1;
  bool restorePending = false;
  bool applyingScreenMode = false;

  bool resizable = false;
  bool allowClose = true;
  bool focused = false;

  // Pointer.
  bool pointerVisible = true;
  int32_t pointerMode = 2;
  int64_t lastPointerActivity = 0;  // timer clock, ms
  int32_t lastClientX = 0;
  int32_t lastClientY = 0;
  int32_t lastLogicalX = 0;
  int32_t lastLogicalY = 0;
  bool pointerInside = false;
  bool pointerLeft = false;
  bool leftDown = false;
  bool rightDown = false;
  bool clipCursor = false;
  std::vector<bool> clipSavedForBoxes;

  // Pointer files and the pictures made from the effective one.
  std::u16string cursorSlots[3];
  const void* cursorOwner = nullptr;
  std::u16string effectiveCursor;
  bool cursorApplied = false;  // effectiveCursor has been loaded (or tried)
  std::vector<std::unique_ptr<platform::ColorCursor>> cursorFrames;
  int32_t cursorRate = 1;  // 1/60 s per frame
  int64_t cursorStart = 0;
  size_t cursorShown = 0;

  // Frames.
  int64_t renderedFrames = 0;
  // Of them, drawn only where the screen changed.
  int64_t partialFrames = 0;
  // The screen buffer holds something other than the scene's last frame
  // (a movie's pictures): the next frame draws the whole screen.
  bool wholeScreenNext = true;
  int64_t framesSinceMeasure = 0;
  float measuredFps = 0.0f;
  int64_t measureStart = -1;
  int32_t frameSteps = 0;
  int64_t stepCount = 0;
  int64_t lastRenderMicros = 0;
  int64_t lastPresentMicros = -1;
  // Window input was handled since the last frame: the next one is due.
  bool inputSinceFrame = false;
  // Asked to be shown before its first picture: shown with that picture.
  bool showPending = false;
  bool quit = false;
  bool pumping = false;
  bool stepping = false;

  MainWindowScene* scene = nullptr;
};

State& state();

// Shared between the two files.
bool isForeground();
ScreenMapping mapping();
void markPointerActivity();
void applyClip();
void autoHidePointer();
void handleWindowEvent(const platform::WindowEvent& event);
// While a modal box of the engine's is open: hands the main window the
// events that say how it is shown (exposure, size, focus, moves, minimise
// and restore) and refreshes the device; false for any other event (input
// waits for the box to close).
bool passWindowStateEvent(const platform::WindowEvent& event);
void stepCursorAnimation(int64_t nowMs);
// Full screen: the client size, the picture and the device's window size
// become those of the size the window really has.
void followWindowSize();
// When the animated pointer shows its next picture (timer ms), or -1.
int64_t nextCursorFrameAt(int64_t nowMs);
// Shows the window now (logs the start-up line).
void showWindowNow();
int64_t nowMs();

}  // namespace main_window_local
