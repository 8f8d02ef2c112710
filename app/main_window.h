// The engine's one top-level window: creation with the graphics device,
// windowed and full-screen presentation, the pointer policy (shown, hidden,
// auto-hidden, confined, custom cursors), the message pump and the paced
// frame step (timers, pointer leave, render, texture sweep), and the window
// functions scripts call. Main thread only; the pump and the frame step
// refuse re-entry.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "app/config_records.h"
#include "app/window_geometry.h"

class Event;
class GDev;
struct SDL_Window;

// What the main window needs of the scene. The scene registers itself with
// SetMainWindowScene and leaves with DetachScene.
class MainWindowScene {
 public:
  virtual ~MainWindowScene() = default;
  // An input event made from window input (logical coordinates): the scene's
  // own handler sees it first, then the GUI root routes it.
  virtual void dispatchInput(const Event& event) = 0;
  // Once per drawn frame, before the device scene begins.
  virtual void updateRoot() = 0;
  virtual bool isRootVisible() const = 0;
  // Paints the GUI root; blending context, projection and a pushed matrix
  // are set up around it.
  virtual void paintRoot(GDev* device) = 0;
  // The colour the screen is cleared to, 0xRRGGBB.
  virtual uint32_t clearColor() const = 0;
  // True when what the root draws first covers the whole screen opaquely,
  // so the screen need not be cleared before it.
  virtual bool coversScreen() const { return false; }
  // The effective pointer file changed (empty: the system arrow).
  virtual void cursorFileChanged(std::u16string_view file) = 0;
  // The engine placed the pointer at this logical point.
  virtual void movePointer(int32_t x, int32_t y) {
    (void)x;
    (void)y;
  }
};

// --- creation and lifetime ---
// Makes the window (hidden until ShowMainWindow) at the first usable
// window-size entry, then the graphics device on it. title is the window
// title and the caption of the failure box; cursorFile the default pointer
// (empty: the system arrow); windowSizes entries 1..9 give the other
// windowed sizes (width = right, height = bottom). False after a box saying
// why.
bool CreateMainWindow(int32_t logicalWidth, int32_t logicalHeight, int32_t frameMode, int32_t frameRate,
                      bool resizable, std::u16string_view title, std::u16string_view cursorFile,
                      const std::array<Config::Rect, 10>& windowSizes);
// Releases the cursors, the graphics device and the window (at shutdown,
// after the scene is detached).
void DestroyMainWindow();
bool MainWindowExists();

void SetMainWindowScene(MainWindowScene* scene);
// Clears the scene pointer (shutdown).
void DetachScene();

// --- pump and frame ---
// -1 while a pump runs (re-entry); otherwise PumpMessages.
int32_t PumpMessagesGuarded(int32_t mode, bool skipPump);
// Mode 0 waits until the frame is due, handling window input meanwhile, and
// runs it; mode 1 handles waiting input and runs a frame at once (which
// presents a change only when a frame interval has passed since the last
// present); mode 2 waits but runs no frame (0). skipPump runs the frame
// without handling input. -1 once the quit flag is set.
int32_t PumpMessages(int32_t mode, bool skipPump);
// One frame: timers, pointer leave, render, and every 300th step the
// texture-cache sweep. A frame that is not due presents only when a frame
// interval has passed since the last present; the change waits otherwise.
// 0 (also for a nested call, which does nothing).
int32_t FrameStep(bool frameDue);
// Draws the whole scene into the screen buffer at once, without timers or
// a present: what a frame that draws everything would put there (tests and
// benchmarks hold it against the frames the frame step draws). False
// without a device, or when the scene could not be drawn.
bool DrawWholeSceneNow();

// The quit flag ends the pump; a close request sets it while no scene exists.
void SetQuitFlag();
bool IsQuitFlagSet();

// --- presentation ---
void ApplyScreenMode(bool fullScreen, int32_t entry, bool keepPosition = false);
void ShowMainWindow(bool show);
// Records whether the user may close the game. A close request still posts
// AppEvent 6: the window cannot tell the close button from Alt+F4.
void EnableCloseMenu(bool allow);
bool IsCloseMenuEnabled();
// Windowed: fullScreen false, mode 0 (the last windowed entry) or 10 + i
// (entry i); full screen: fullScreen true. False for an entry that does not
// exist or does not fit the desktop. A request made while the window is in
// the background waits for its next activation (and still answers true).
bool SetScreenMode(bool fullScreen, int32_t mode);
// Maps a rectangle of the logical screen onto the window's client area.
WindowRect ScaleRectForFullscreen(const WindowRect& rect);
bool IsFullScreen();

// --- pointer ---
// Confines the pointer to the window while it is in the foreground.
void SetClipCursor(bool on);
bool GetClipCursor();
// 0 hidden, 1 shown, 2 shown on activity and hidden after 5 s without.
void SetCursorMode(int32_t mode);
void SetCursorPosLogical(int32_t x, int32_t y);
struct LogicalPoint {
  int32_t x = 0;
  int32_t y = 0;
};
LogicalPoint GetCursorPosLogical();
bool IsLeftButtonDown();
bool IsRightButtonDown();
// Client pixels to logical pixels; false when a full-screen point lay
// outside the picture and was clamped.
bool ClientToLogical(int32_t* x, int32_t* y);
// Pointer files by slot: 0 default, 1 override, 2 owned by a component
// (cleared only by its owner, or by a call without owner). The effective
// file is the override, else the owned one, else the default.
void SetCursorImage(std::u16string_view file, int32_t slot, const void* owner);

// Sets the device's 2-D projection.
void SetProjectionOrtho2D(float left, float top, float right, float bottom);

// --- window functions of the scripts ---
bool SetWindowTitle(std::u16string_view text);
// 0 windowed at the last windowed entry, 1 full screen, 10..19 windowed at
// entry 0..9; other values false.
bool ChangeScreenMode(int32_t mode);
// 1 in full screen, else 10 + the current window-size entry.
bool GetScreenMode(int32_t* mode);
// Shows and restores the window and asks for input focus.
bool BringMainWindowToFront();

// --- state for the scene, the movie player and tests ---
SDL_Window* GetMainWindowHandle();
int32_t GetLogicalWidth();
int32_t GetLogicalHeight();
// Frames whose picture was drawn, of them those drawn only where the screen
// changed, and frame steps run.
int64_t GetRenderedFrameCount();
int64_t GetPartialFrameCount();
int64_t GetFrameStepCount();
const FramePacer& GetFramePacer();
