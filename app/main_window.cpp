// The main window: creation with the graphics device, windowed and
// full-screen presentation, the pointer policy and custom cursors, and the
// window functions scripts call. Input, pump and frame are in
// frame_step.cpp. Main thread.
#include "app/main_window.h"

#include <algorithm>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "app/main_window_state.h"
#include "app/movie_screen.h"
#include "app/os_util.h"
#include "app/screen_flags.h"
#include "app/timer.h"
#include "gdev/cursor_file.h"
#include "gdev/gdev_factory.h"
#include "platform/clock.h"
#include "platform/gl_window.h"
#include "platform/message_box.h"
#include "platform/utf8.h"

namespace main_window_local {

State& state() {
  static State s;
  return s;
}

int64_t nowMs() { return GetTimerManager()->now(); }

bool isForeground() {
  const State& s = state();
  return s.focused || !s.hasWindowManager;
}

ScreenMapping mapping() {
  const State& s = state();
  ScreenMapping m;
  m.logicalW = s.logicalW;
  m.logicalH = s.logicalH;
  m.fullScreen = s.fullScreen;
  m.clientW = s.clientW;
  m.clientH = s.clientH;
  m.picture = s.picture;
  return m;
}

void applyClip() {
  State& s = state();
  if (s.window) platform::ConfinePointer(s.window, s.clipCursor && isForeground());
}

void markPointerActivity() {
  State& s = state();
  s.lastPointerActivity = nowMs();
  if (s.pointerMode == 2 && !s.pointerVisible) {
    s.pointerVisible = true;
    platform::SetPointerVisible(true);
  }
}

void autoHidePointer() {
  State& s = state();
  if (s.pointerMode == 2 && s.pointerVisible && nowMs() - s.lastPointerActivity > 5000) {
    s.pointerVisible = false;
    platform::SetPointerVisible(false);
  }
}

int64_t nextCursorFrameAt(int64_t now) {
  State& s = state();
  if (s.cursorFrames.size() < 2) return -1;
  const int64_t frameMs = int64_t{s.cursorRate} * 1000 / 60;
  if (frameMs <= 0) return -1;
  const int64_t elapsed = std::max<int64_t>(now - s.cursorStart, 0);
  return s.cursorStart + (elapsed / frameMs + 1) * frameMs;
}

void showWindowNow() {
  State& s = state();
  s.showPending = false;
  platform::ShowWindow(s.window, true);
  LogWrite(LOG_DEBUG, u"window shown: %I64d us after start (wall clock %I64d us)\n", platform::MicrosecondsSinceStart(),
           platform::WallClockMicroseconds());
}

void stepCursorAnimation(int64_t now) {
  State& s = state();
  if (s.cursorFrames.size() < 2) return;
  const int64_t frameMs = int64_t{s.cursorRate} * 1000 / 60;
  const int64_t elapsed = now - s.cursorStart;
  const size_t index = frameMs > 0 && elapsed > 0 ? static_cast<size_t>((elapsed / frameMs) % s.cursorFrames.size()) : 0;
  if (index != s.cursorShown) {
    s.cursorShown = index;
    platform::UseCursor(s.cursorFrames[index].get());
  }
}

void followWindowSize() {
  State& s = state();
  int32_t width = 0, height = 0;
  platform::GetClientSize(s.window, &width, &height);
  if (width < 1 || height < 1) {
    width = s.logicalW;
    height = s.logicalH;
  }
  s.clientW = width;
  s.clientH = height;
  s.picture = FullscreenPictureRect(s.fullScreenScaling, s.logicalW, s.logicalH, width, height);
  if (GDevFactory::device) GDevFactory::device->setWindowSize(width, height, s.logicalW, s.logicalH);
}

}  // namespace main_window_local

using namespace main_window_local;

namespace {

constexpr char16_t kCreateFailed[] = u"メインウィンドウの作成に失敗しました。\n\n原因：";

void showBox(std::u16string_view text, std::u16string_view caption) {
  int32_t button = 0;
  ShowMessageBox(text, caption, platform::MB_OK, &button);
}

// Message boxes let the pointer out of the window while they are open.
void messageBoxPointerHook(bool opening) {
  State& s = state();
  if (opening) {
    s.clipSavedForBoxes.push_back(s.clipCursor);
    SetClipCursor(false);
    GUIChangedFlag = 1;
    if (GDevFactory::device) GDevFactory::device->refreshWindow();
  } else if (!s.clipSavedForBoxes.empty()) {
    const bool saved = s.clipSavedForBoxes.back();
    s.clipSavedForBoxes.pop_back();
    SetClipCursor(saved);
  }
}

// Recomputes which window-size entries fit the desktop.
void refreshUsableEntries() {
  State& s = state();
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  platform::GetWindowFrame(s.window, &left, &top, &right, &bottom);
  platform::DesktopRect work;
  if (!platform::GetWorkArea(s.window, &work)) {
    // No desktop to measure against: every configured size may be used.
    work.width = work.height = INT32_MAX / 2;
  }
  MarkUsableEntries(&s.sizes, left + right, top + bottom, work.width, work.height);
}

// Client size and, unless kept, position for a window-size entry: centred in
// the work area when the window fits, else at its top-left corner.
void placeWindow(int32_t entry, bool keepPosition) {
  State& s = state();
  const WindowSizeEntry& e = s.sizes[entry];
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  platform::GetWindowFrame(s.window, &left, &top, &right, &bottom);
  const int32_t outerW = e.width + left + right;
  const int32_t outerH = e.height + top + bottom;
  platform::SetClientSize(s.window, e.width, e.height);
  if (!keepPosition) {
    platform::DesktopRect work;
    int32_t x = 0, y = 0;
    if (platform::GetWorkArea(s.window, &work)) {
      x = work.x;
      y = work.y;
      if (outerW <= work.width && outerH <= work.height) {
        x += (work.width - outerW) / 2;
        y += (work.height - outerH) / 2;
      }
    }
    LogWrite(LOG_TRACE, u"winpos (%d, %d)\n", x, y);
    LogWrite(LOG_TRACE, u"winsize (%d, %d)\n", outerW, outerH);
    platform::SetClientPosition(s.window, x + left, y + top);
    s.clientX = x + left;
    s.clientY = y + top;
  }
  s.clientW = e.width;
  s.clientH = e.height;
}

// False when the file cannot be had; a file that is there but does not
// decode as a cursor is named in a WARN (a game without the default
// cursor's file just keeps the arrow).
bool loadCursorRecord(std::u16string_view file, CursorRecord* record) {
  std::vector<uint8_t> bytes;
  bool loaded = false;
  if (GameEnvironment* env = GetGameEnvironment()) {
    loaded = env->loadResource(&bytes, file, true, true);
  } else {
    loaded = LoadFileBytes(&bytes, file, true);
  }
  if (!loaded) return false;
  if (DecodeCursorFile(bytes, record) && !record->frames.empty()) return true;
  LogWrite(LOG_WARN, u"SetCursorImage : カーソルファイルが読み込めない(%s)\n", std::u16string(file));
  return false;
}

// Loads the effective pointer file and shows it (or the system arrow).
void applyEffectiveCursor() {
  State& s = state();
  std::u16string file = !s.cursorSlots[1].empty() ? s.cursorSlots[1]
                        : !s.cursorSlots[2].empty() ? s.cursorSlots[2]
                                                   : s.cursorSlots[0];
  if (s.cursorApplied && file == s.effectiveCursor) return;
  s.cursorApplied = true;
  s.effectiveCursor = file;
  if (s.scene) s.scene->cursorFileChanged(file);
  std::vector<std::unique_ptr<platform::ColorCursor>> frames;
  CursorRecord record;
  if (!file.empty() && s.window) {
    if (loadCursorRecord(file, &record)) {
      for (const CursorFrame& f : record.frames) {
        if (f.pixels.size() != size_t(f.width) * size_t(f.height) * 4) continue;
        if (auto cursor = platform::ColorCursor::create(f.width, f.height, f.pixels.data(), record.hotspotX,
                                                        record.hotspotY)) {
          frames.push_back(std::move(cursor));
        }
      }
    }
    if (frames.empty()) LogWrite(LOG_TRACE, u"SetCursorImage : cannot load the cursor(%s)\n", file);
  }
  // The new picture goes up before the old ones are freed.
  platform::UseCursor(frames.empty() ? nullptr : frames.front().get());
  s.cursorFrames = std::move(frames);
  s.cursorRate = record.rate > 0 ? record.rate : 1;
  s.cursorStart = nowMs();
  s.cursorShown = 0;
}

}  // namespace

// ------------------------------------------------------------ creation

bool CreateMainWindow(int32_t logicalWidth, int32_t logicalHeight, int32_t frameMode, int32_t frameRate,
                      bool resizable, std::u16string_view title, std::u16string_view cursorFile,
                      const std::array<Config::Rect, 10>& windowSizes) {
  State& s = state();
  if (s.window) return false;
  s.title = std::u16string(title);
  s.logicalW = logicalWidth > 0 ? logicalWidth : 800;
  s.logicalH = logicalHeight > 0 ? logicalHeight : 600;
  s.frameMode = frameMode;
  s.frameRate = frameRate;
  s.resizable = resizable;
  s.sizes = {};
  s.sizes[0].width = s.logicalW;
  s.sizes[0].height = s.logicalH;
  for (size_t i = 1; i < windowSizes.size(); ++i) {
    s.sizes[i].width = windowSizes[i].right;
    s.sizes[i].height = windowSizes[i].bottom;
  }

  auto fail = [&](std::u16string_view reason) {
    showBox(std::u16string(kCreateFailed) + std::u16string(reason), s.title);
    return false;
  };

  platform::PrepareMainWindowHints();
  std::string why;
  s.window = platform::CreateGLWindow(title, s.logicalW, s.logicalH, true, &why);
  if (!s.window) {
    LogWrite(LOG_ERROR, u"CreateWindow に失敗しました(%s)\n", platform::FromUtf8(why));
    return fail(u"CreateWindow に失敗しました。");
  }
  s.windowId = platform::WindowId(s.window);
  s.hasWindowManager = platform::VideoDriverHasWindowManager();
  // The configured rate paces every frame until the device is made (and
  // then frame mode 3, idle frames, and every frame whose swap does not wait).
  s.pacer = FramePacer();
  s.pacer.configure(FrameIntervalMicros(frameRate), false);

  refreshUsableEntries();
  const int32_t entry = PickInitialEntry(s.sizes);
  if (entry < 0) {
    platform::DesktopRect work;
    platform::GetWorkArea(s.window, &work);
    LogWrite(LOG_ERROR, u"スクリーンサイズ不足(%d,%d)\n", work.width, work.height);
    platform::DestroyGLWindow(s.window);
    s.window = nullptr;
    return fail(u"画面の解像度が不足しています。");
  }
  s.currentEntry = s.previousEntry = s.requestEntry = entry;
  s.fullScreen = s.requestFullScreen = false;
  platform::SetWindowResizable(s.window, resizable);
  placeWindow(entry, false);
  s.picture = {0, 0, s.clientW, s.clientH};
  platform::SetMessageBoxOwner(s.window);
  SetMessageBoxPointerHook(&messageBoxPointerHook);
  s.lastPointerActivity = nowMs();
  s.quit = false;

  s.cursorSlots[0] = std::u16string(cursorFile);
  applyEffectiveCursor();

  GDevInitParams params;
  params.vblank = frameMode == FRAME_MODE_VBLANK;
  params.window = s.window;
  if (GDevFactory::initialize(1) != 0 || GDevFactory::device->init(params) != 0) {
    LogWrite(LOG_TRACE, u"GDevの初期化に失敗\n");
    showBox(GDevStartupErrorText(), s.title);
    DestroyMainWindow();
    return false;
  }
  LogWrite(LOG_TRACE, u"GDev初期化OK\n");
  // The display may pace presented frames where the swap waits for its
  // vertical blank: the driver accepted the swap interval, and the frame
  // step still watches that swaps really block.
  s.pacer.configure(FrameIntervalMicros(frameRate), frameMode != FRAME_MODE_SPECIFIED && s.hasWindowManager &&
                                                        GDevFactory::device->swapIntervalAccepted());
  GDevFactory::device->setWindowSize(s.clientW, s.clientH, s.logicalW, s.logicalH);
  GUIChangedFlag = 1;
  return true;
}

void DestroyMainWindow() {
  State& s = state();
  if (!s.window) return;
  s.scene = nullptr;
  platform::UseCursor(nullptr);
  s.cursorFrames.clear();
  s.effectiveCursor.clear();
  for (std::u16string& slot : s.cursorSlots) slot.clear();
  platform::ConfinePointer(s.window, false);
  GDevFactory::destroy();
  SetMessageBoxPointerHook(nullptr);
  platform::SetMessageBoxOwner(nullptr);
  platform::DestroyGLWindow(s.window);
  // The next window starts from a fresh record (tests make several).
  s = State();
}

bool MainWindowExists() { return state().window != nullptr; }

void SetMainWindowScene(MainWindowScene* scene) {
  state().scene = scene;
  if (scene) scene->cursorFileChanged(state().effectiveCursor);
}

void DetachScene() {
  state().scene = nullptr;
  if (MovieScreen* movie = GetMovieScreen()) movie->releaseAll();
}

void SetQuitFlag() { state().quit = true; }
bool IsQuitFlagSet() { return state().quit; }

// ------------------------------------------------------------ presentation

void ApplyScreenMode(bool fullScreen, int32_t entry, bool keepPosition) {
  State& s = state();
  if (!s.window || s.applyingScreenMode) return;
  s.applyingScreenMode = true;
  GUIChangedFlag = 0;
  GDev* device = GDevFactory::device;
  if (fullScreen) {
    platform::SetWindowFullscreen(s.window, true);
    s.fullScreen = true;
    s.clientX = s.clientY = 0;
    // The picture fits the size the window has now: a window manager grants
    // the display's size later (a size change that follows it) or not at
    // all, and without one the window keeps its size.
    followWindowSize();
    platform::ShowWindow(s.window, true);
  } else {
    platform::SetWindowFullscreen(s.window, false);
    s.fullScreen = false;
    refreshUsableEntries();
    const int32_t chosen = PickWindowedEntry(s.sizes, entry, s.previousEntry);
    if (chosen < 0) {
      s.applyingScreenMode = false;
      showBox(u"画面の解像度が不足しています。", s.title);
      showBox(u"アプリケーションを終了します", s.title);
      // The run ends as a quit does (settings written, threads ended), not
      // through exit() under threads that still run.
      s.quit = true;
      return;
    }
    s.currentEntry = s.previousEntry = chosen;
    placeWindow(chosen, keepPosition);
    if (device) device->setWindowSize(s.clientW, s.clientH, s.logicalW, s.logicalH);
    s.picture = {0, 0, s.clientW, s.clientH};
  }
  if (device) device->refreshWindow();
  GUIChangedFlag = 1;
  s.applyingScreenMode = false;
}

void ShowMainWindow(bool show) {
  State& s = state();
  if (!show) {
    s.showPending = false;
    platform::ShowWindow(s.window, false);
    return;
  }
  GUIChangedFlag = 1;
  // A window is never shown before it has a picture: a game that ends at
  // once shows none.
  if (s.renderedFrames == 0) {
    s.showPending = true;
  } else {
    showWindowNow();
  }
}

void EnableCloseMenu(bool allow) { state().allowClose = allow; }
bool IsCloseMenuEnabled() { return state().allowClose; }

bool SetScreenMode(bool fullScreen, int32_t mode) {
  State& s = state();
  if (!s.window) return false;
  int32_t entry = 0;
  if (!fullScreen) {
    entry = mode == 0 ? s.previousEntry : mode - 10;
    if (!s.requestFullScreen && entry == s.requestEntry) return true;
    if (entry < 0 || entry >= static_cast<int32_t>(s.sizes.size())) return false;
    refreshUsableEntries();
    if (!s.sizes[entry].usable) return false;
  }
  s.requestFullScreen = fullScreen;
  if (!fullScreen) s.requestEntry = entry;
  if (isForeground()) {
    s.restorePending = false;
    ApplyScreenMode(fullScreen, entry);
  } else {
    s.restorePending = true;
  }
  return true;
}

WindowRect ScaleRectForFullscreen(const WindowRect& rect) {
  const ScreenMapping m = mapping();
  int32_t x0 = rect.x, y0 = rect.y, x1 = rect.x + rect.width, y1 = rect.y + rect.height;
  MapLogicalToClient(m, &x0, &y0);
  MapLogicalToClient(m, &x1, &y1);
  return {x0, y0, x1 - x0, y1 - y0};
}

bool IsFullScreen() { return state().fullScreen; }

// ------------------------------------------------------------ pointer

void SetClipCursor(bool on) {
  state().clipCursor = on;
  applyClip();
}

bool GetClipCursor() { return state().clipCursor; }

void SetCursorMode(int32_t mode) {
  State& s = state();
  s.pointerMode = mode;
  const bool visible = mode != 0;
  if (visible != s.pointerVisible) {
    s.pointerVisible = visible;
    platform::SetPointerVisible(visible);
  }
  if (mode == 2) s.lastPointerActivity = nowMs();
}

void SetCursorPosLogical(int32_t x, int32_t y) {
  State& s = state();
  int32_t cx = x, cy = y;
  MapLogicalToClient(mapping(), &cx, &cy);
  platform::WarpPointer(s.window, cx, cy);
  s.lastClientX = cx;
  s.lastClientY = cy;
  s.lastLogicalX = x;
  s.lastLogicalY = y;
  if (s.scene) s.scene->movePointer(x, y);
}

LogicalPoint GetCursorPosLogical() {
  State& s = state();
  // Inside the window the last input position is exact on every display
  // server; outside it only the desktop position can tell.
  if (!s.window || s.pointerInside) return {s.lastLogicalX, s.lastLogicalY};
  int32_t x = 0, y = 0;
  platform::GetPointerPosition(s.window, &x, &y);
  ClientToLogical(&x, &y);
  return {x, y};
}

bool IsLeftButtonDown() { return state().leftDown; }
bool IsRightButtonDown() { return state().rightDown; }

bool ClientToLogical(int32_t* x, int32_t* y) { return MapClientToLogical(mapping(), x, y); }

void SetCursorImage(std::u16string_view file, int32_t slot, const void* owner) {
  State& s = state();
  if (slot == 0 || slot == 1) {
    s.cursorSlots[slot] = std::u16string(file);
  } else if (slot == 2) {
    if (!file.empty()) {
      s.cursorSlots[2] = std::u16string(file);
      s.cursorOwner = owner;
    } else if (!owner || owner == s.cursorOwner) {
      s.cursorSlots[2].clear();
      s.cursorOwner = nullptr;
    }
  } else {
    return;
  }
  applyEffectiveCursor();
}

void SetProjectionOrtho2D(float left, float top, float right, float bottom) {
  if (GDevFactory::device) GDevFactory::device->setMatrixProj_Ortho2D(left, top, right, bottom);
}

// ------------------------------------------------------------ script functions

bool SetWindowTitle(std::u16string_view text) {
  State& s = state();
  s.title = std::u16string(text);
  platform::SetWindowTitleText(s.window, text);
  return true;
}

bool ChangeScreenMode(int32_t mode) {
  if (mode == 0) return SetScreenMode(false, 0);
  if (mode == 1) return SetScreenMode(true, 0);
  if (mode >= 10 && mode <= 19) return SetScreenMode(false, mode);
  return false;
}

bool GetScreenMode(int32_t* mode) {
  const State& s = state();
  *mode = s.fullScreen ? 1 : 10 + s.currentEntry;
  return true;
}

bool BringMainWindowToFront() {
  platform::RaiseWindow(state().window);
  return true;
}

SDL_Window* GetMainWindowHandle() { return state().window; }
int32_t GetLogicalWidth() { return state().logicalW; }
int32_t GetLogicalHeight() { return state().logicalH; }
int64_t GetRenderedFrameCount() { return state().renderedFrames; }
int64_t GetPartialFrameCount() { return state().partialFrames; }
int64_t GetFrameStepCount() { return state().stepCount; }
const FramePacer& GetFramePacer() { return state().pacer; }
