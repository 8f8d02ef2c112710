// The message pump and the frame step of the main window: window input
// turned into the engine's events, the paced wait for the next frame, and
// one frame (timers, pointer leave, render, texture sweep). Main thread; the
// pump and the frame step refuse re-entry.
#include <algorithm>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/log.h"
#include "app/main_window.h"
#include "app/main_window_state.h"
#include "app/movie_overlay.h"
#include "app/movie_screen.h"
#include "app/screen_flags.h"
#include "app/timer.h"
#include "gdev/gdev_factory.h"
#include "gdev/texture_manager.h"
#include "platform/clock.h"
#include "platform/memory.h"

namespace main_window_local {

namespace {

constexpr uint32_t kVkReturn = 13;
constexpr uint32_t kVkAlt = 18;
constexpr uint32_t kVkF10 = 121;
constexpr int32_t kSweepPeriod = 300;

void dispatchInput(const Event& event) {
  if (MainWindowScene* scene = state().scene) scene->dispatchInput(event);
}

// Keys typed with Alt held are the window's own (menu keys): only F10 and
// the release of Alt+Enter mean something to the engine.
void handleKey(const platform::WindowEvent& e) {
  const bool down = e.kind == platform::WindowEvent::kKeyDown;
  const bool alt = (e.modifiers & platform::WindowEvent::kAlt) != 0 || e.virtualKey == kVkAlt;
  if (alt && e.virtualKey != kVkF10) {
    if (!down && e.virtualKey == kVkReturn && !MoviePlayingFlag) {
      PostEvent(std::make_unique<AppEvent>(AppEvent::kToggleScreenMode, 0));
    }
    return;
  }
  if (e.virtualKey == 0) return;
  KeyEvent key;
  key.virtualKey = e.virtualKey;
  key.action = down ? KeyEvent::kDown : KeyEvent::kUp;
  if (e.modifiers & platform::WindowEvent::kShift) key.modifiers |= KeyEvent::kShift;
  if (e.modifiers & platform::WindowEvent::kCtrl) key.modifiers |= KeyEvent::kCtrl;
  key.repeat = e.repeat ? 1 : 0;
  dispatchInput(key);
}

void handleMouse(const platform::WindowEvent& e) {
  State& s = state();
  markPointerActivity();
  s.pointerInside = true;
  s.pointerLeft = false;
  s.lastClientX = e.x;
  s.lastClientY = e.y;
  int32_t x = e.x, y = e.y;
  MapClientToLogical(mapping(), &x, &y);
  s.lastLogicalX = x;
  s.lastLogicalY = y;

  int32_t action = MouseEvent::kMove;
  int32_t button = MouseEvent::kNone;
  int32_t wheel = 0;
  switch (e.kind) {
    case platform::WindowEvent::kMouseMove:
      break;
    case platform::WindowEvent::kMouseDown:
    case platform::WindowEvent::kMouseUp: {
      const bool down = e.kind == platform::WindowEvent::kMouseDown;
      if (e.button == platform::WindowEvent::kLeft) {
        s.leftDown = down;
        button = MouseEvent::kLeft;
      } else if (e.button == platform::WindowEvent::kRight) {
        s.rightDown = down;
        button = MouseEvent::kRight;
      } else {
        return;  // middle and extra buttons only count as activity
      }
      action = down ? MouseEvent::kPress : MouseEvent::kRelease;
      break;
    }
    case platform::WindowEvent::kMouseWheel:
      action = MouseEvent::kWheel;
      wheel = e.wheel;
      break;
    default:
      return;
  }
  dispatchInput(MouseEvent(x, y, action, button, wheel, 0));
}

// A close request is the close button (the window cannot tell it from
// Alt+F4): the game decides, or, with no game running, the engine ends.
void handleCloseRequest() {
  State& s = state();
  if (s.quit) return;
  if (s.scene) {
    PostEvent(std::make_unique<AppEvent>(AppEvent::kClose, 0));
  } else {
    s.quit = true;
  }
}

void handleFocusGained() {
  State& s = state();
  s.focused = true;
  if (s.requestFullScreen && !s.fullScreen) {
    LogWrite(LOG_TRACE, u"request restore fullscreen\n");
    s.restorePending = true;
  }
  if (s.restorePending && !platform::IsWindowMinimized(s.window)) {
    s.restorePending = false;
    if (s.requestFullScreen) {
      LogWrite(LOG_TRACE, u"restore fullscreen\n");
      ApplyScreenMode(true, 0);
      LogWrite(LOG_TRACE, u"restore fullscreen ok\n");
    } else {
      ApplyScreenMode(false, s.requestEntry);
    }
  }
  applyClip();
  markPointerActivity();
}

void handleFocusLost() {
  State& s = state();
  // Focus that has already come back (the engine's own message box took it
  // for a while) is no deactivation.
  if (s.window && platform::WindowHasInputFocus(s.window)) return;
  s.focused = false;
  platform::ConfinePointer(s.window, false);
  if (s.fullScreen) {
    LogWrite(LOG_TRACE, u"restore org mode\n");
    LogWrite(LOG_TRACE, u"restore org mode ok\n");
  }
  if (s.requestFullScreen) {
    s.restorePending = true;
    platform::MinimizeWindow(s.window);
  }
  PostEvent(std::make_unique<AppEvent>(AppEvent::kDeactivated, 0));
}

// The event carries the size SDL asked for, which a window manager may not
// have granted (or, without one, nobody): the window's real size counts.
void handleResized(const platform::WindowEvent& e) {
  State& s = state();
  if (GDevFactory::device) GDevFactory::device->refreshWindow();
  GUIChangedFlag = 1;
  if (e.x <= 0 || e.y <= 0 || platform::IsWindowMinimized(s.window)) return;
  int32_t width = 0, height = 0;
  platform::GetClientSize(s.window, &width, &height);
  if (width <= 0 || height <= 0) return;
  if (s.fullScreen) {
    if (width != s.clientW || height != s.clientH) followWindowSize();
    LogWrite(LOG_TRACE, u"WM_SIZE(%d, %d) (cs:%d,%d)\n", width, height, s.clientW, s.clientH);
    return;
  }
  s.clientW = width;
  s.clientH = height;
  s.picture = {0, 0, width, height};
  // A sizing border may not make the window smaller than its entry.
  if (s.resizable && s.currentEntry >= 0) {
    const WindowSizeEntry& entry = s.sizes[s.currentEntry];
    if (width < entry.width || height < entry.height) {
      platform::SetClientSize(s.window, entry.width, entry.height);
      s.clientW = entry.width;
      s.clientH = entry.height;
      s.picture = {0, 0, entry.width, entry.height};
    }
  }
  LogWrite(LOG_TRACE, u"WM_SIZE(%d, %d) (cs:%d,%d)\n", width, height, s.clientW, s.clientH);
}

// Draws the scene (black without one) into the device's screen buffer,
// inside the device's screen clip; the root has been updated.
bool drawScene(GDev* device) {
  State& s = state();
  MainWindowScene* scene = s.scene;
  if (!device->impl_beginScene(nullptr)) return false;
  device->setViewport(0, 0, s.logicalW, s.logicalH);
  const uint32_t rgb = scene ? scene->clearColor() : 0;
  const float color[4] = {static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
                          static_cast<float>((rgb >> 8) & 0xFF) / 255.0f, static_cast<float>(rgb & 0xFF) / 255.0f,
                          1.0f};
  const bool covered = scene && scene->isRootVisible() && scene->coversScreen();
  if (!covered) device->clearRegion(GDEV_CLEAR_TARGET | GDEV_CLEAR_WHOLE, 0, 0, s.logicalW, s.logicalH, color);
  device->setMatrixTexture_Ident();
  if (scene && scene->isRootVisible()) {
    device->setBlendingContext(0, BLENDINGCONTEXT_BOTH);
    device->setMatrixProj_Ortho2D(0.0f, 0.0f, static_cast<float>(s.logicalW), static_cast<float>(s.logicalH));
    device->pushMatrix();
    scene->paintRoot(device);
    device->popMatrix();
  }
  return device->impl_endScene(false, nullptr);
}

// Parts of the screen changed since the last frame past which a frame draws
// the whole screen: one pass over it costs less.
constexpr int64_t kWholeScreenShare = 70;  // percent

// Draws what changed since the last drawn frame: the changed areas (each a
// pass with the device's clip on it), or the whole screen. *drewAny false:
// nothing of the screen changed after all (every area lay off it).
bool drawChanges(GDev* device, bool* drewAny) {
  State& s = state();
  *drewAny = true;
  if (s.scene) s.scene->updateRoot();
  const ScreenArea* areas = nullptr;
  size_t count = 0;
  bool partial = !s.wholeScreenNext && ChangedScreenAreas(&areas, &count);
  GDevArea clips[kMaxScreenAreas];
  size_t clipCount = 0;
  int64_t pixels = 0;
  for (size_t i = 0; partial && i < count; ++i) {
    const int32_t x0 = std::max(areas[i].x0, 0), y0 = std::max(areas[i].y0, 0);
    const int32_t x1 = std::min(areas[i].x1, s.logicalW), y1 = std::min(areas[i].y1, s.logicalH);
    if (x1 <= x0 || y1 <= y0) continue;
    clips[clipCount++] = GDevArea{x0, y0, x1 - x0, y1 - y0};
    pixels += int64_t{x1 - x0} * (y1 - y0);
  }
  if (partial && clipCount == 0) {
    *drewAny = false;
    return false;
  }
  if (partial && pixels * 100 >= int64_t{s.logicalW} * s.logicalH * kWholeScreenShare) partial = false;
  if (partial) {
    bool drawn = true;
    for (size_t i = 0; i < clipCount && partial; ++i) {
      partial = device->setScreenClip(&clips[i]);
      if (partial) drawn = drawScene(device) && drawn;
    }
    device->setScreenClip(nullptr);
    if (partial) {
      ++s.partialFrames;
      return drawn;
    }
  }
  // The device keeps no whole frame to mend (or much changed): all of it.
  const bool drawn = drawScene(device);
  if (drawn) s.wholeScreenNext = false;
  return drawn;
}

// One render step; true when a new picture went to the window, whose
// buffer swap took *swapMicros.
bool renderStep(int64_t now, bool frameDue, int64_t* swapMicros) {
  State& s = state();
  // Frames that run at once (a yield, a skipped line) can come far faster
  // than the screen shows them: such a frame presents only when a frame
  // interval has passed since the last present, and a change it leaves
  // waits for the next frame.
  if (!frameDue && s.lastPresentMicros >= 0 && now * 1000 - s.lastPresentMicros < s.pacer.interval()) return false;
  s.lastRenderMicros = now * 1000;
  if (s.fullScreen && !isForeground()) return false;
  GDev* device = GDevFactory::device;
  bool presented = false;
  bool moviePicture = false;
  if (MoviePlayingFlag) {
    // The scene waits; the movie's pictures go over the kept screen.
    ClearScreenChanges();
    if (device && DrawMovieOverlay(device, s.logicalW, s.logicalH)) {
      s.wholeScreenNext = true;
      s.lastPresentMicros = now * 1000;
      presented = moviePicture = true;
    }
  } else if (GUIChangedFlag && device) {
    bool drewAny = true;
    if (drawChanges(device, &drewAny)) {
      ReleaseMovieOverlay(device);
      s.lastPresentMicros = now * 1000;
      ++s.renderedFrames;
      presented = true;
    }
    if (presented || !drewAny) ClearScreenChanges();
  }
  const bool first = presented && s.renderedFrames == 1 && !MoviePlayingFlag;
  if (presented && s.showPending) showWindowNow();
  ++s.framesSinceMeasure;
  if (device) {
    // Windowed, the picture fills the window; full screen, its rectangle.
    const GDevArea dest = s.fullScreen ? GDevArea{s.picture.x, s.picture.y, s.picture.width, s.picture.height}
                                       : GDevArea{0, 0, 0, 0};
    const int64_t swapStart = platform::MonotonicMicroseconds();
    device->impl_swapBuffers(GDevArea{0, 0, 0, 0}, dest);
    *swapMicros = platform::MonotonicMicroseconds() - swapStart;
    if (first) {
      // Start-up measurements read this line (elapsed and wall-clock time).
      LogWrite(LOG_DEBUG, u"first frame presented: %I64d us after start (wall clock %I64d us)\n",
               platform::MicrosecondsSinceStart(), platform::WallClockMicroseconds());
      // What start-up allocated only for a while (the shader compiler's
      // work, the configuration's cells) goes back to the system.
      platform::ReleaseFreedMemory();
    }
    device->afterSwap();
    device->validateScreen();
  }
  if (moviePicture) {
    if (MovieScreen* movie = GetMovieScreen()) movie->pictureShown();
  }
  if (s.measureStart < 0) s.measureStart = now;
  if (now - s.measureStart >= 1000) {
    s.measuredFps = static_cast<float>(s.framesSinceMeasure) * 1000.0f / static_cast<float>(now - s.measureStart);
    s.framesSinceMeasure = 0;
    s.measureStart = now;
  }
  return presented;
}

// The pointer left the client area since the last frame: the scene sees
// one move at the nearest edge point.
void checkPointerLeave() {
  State& s = state();
  if (!s.pointerInside || !s.pointerLeft) return;
  int32_t x = 0, y = 0;
  platform::GetPointerPosition(s.window, &x, &y);
  x = std::clamp(x, 0, std::max(s.clientW - 1, 0));
  y = std::clamp(y, 0, std::max(s.clientH - 1, 0));
  MapClientToLogical(mapping(), &x, &y);
  s.pointerInside = false;
  s.pointerLeft = false;
  s.lastLogicalX = x;
  s.lastLogicalY = y;
  if (s.scene) s.scene->dispatchInput(MouseEvent(x, y, MouseEvent::kMove, MouseEvent::kNone, 0, 0));
}

}  // namespace

bool passWindowStateEvent(const platform::WindowEvent& e) {
  using K = platform::WindowEvent;
  switch (e.kind) {
    case K::kExposed:
    case K::kResized:
    case K::kFocusGained:
    case K::kFocusLost:
    case K::kMoved:
    case K::kMinimized:
    case K::kMaximized:
    case K::kRestored:
      handleWindowEvent(e);
      if (GDevFactory::device) GDevFactory::device->refreshWindow();
      return true;
    default:
      return false;
  }
}

void handleWindowEvent(const platform::WindowEvent& e) {
  State& s = state();
  if (e.windowId != 0 && e.windowId != s.windowId) return;
  using K = platform::WindowEvent;
  if (e.kind != K::kNone) s.inputSinceFrame = true;
  switch (e.kind) {
    case K::kCloseRequest:
      handleCloseRequest();
      break;
    case K::kQuitRequest:
      s.quit = true;
      break;
    case K::kFocusGained:
      handleFocusGained();
      break;
    case K::kFocusLost:
      handleFocusLost();
      break;
    case K::kExposed:
      if (GDevFactory::device) GDevFactory::device->refreshWindow();
      GUIChangedFlag = 1;
      if (s.fullScreen) FrameStep(false);
      break;
    case K::kMoved:
      LogWrite(LOG_TRACE, u"WM_MOVE[%d,%d]\n", e.x, e.y);
      if (!s.fullScreen) {
        s.clientX = e.x;
        s.clientY = e.y;
      }
      break;
    case K::kResized:
      handleResized(e);
      break;
    case K::kRestored:
    case K::kMaximized:
      // A full-screen restore that waited for the window to come back.
      if (s.restorePending && isForeground()) handleFocusGained();
      break;
    case K::kPointerEntered:
      s.pointerLeft = false;
      markPointerActivity();
      break;
    case K::kPointerLeft:
      s.pointerLeft = true;
      break;
    case K::kMouseMove:
    case K::kMouseDown:
    case K::kMouseUp:
    case K::kMouseWheel:
      handleMouse(e);
      break;
    case K::kKeyDown:
    case K::kKeyUp:
      handleKey(e);
      break;
    case K::kMovieNotice:
      if (MovieScreen* movie = GetMovieScreen()) movie->onGraphEvent(e.x);
      break;
    case K::kMinimized:
    case K::kTextInput:  // only the input box reads typed text
    case K::kNone:
      break;
  }
}

}  // namespace main_window_local

using namespace main_window_local;

int32_t PumpMessagesGuarded(int32_t mode, bool skipPump) {
  State& s = state();
  if (s.pumping) return -1;
  s.pumping = true;
  const int32_t result = PumpMessages(mode, skipPump);
  s.pumping = false;
  return result;
}

namespace {

// Whether the next frame is wanted at the interval: the scene changed, an
// animation runs, input came, a movie plays. *wakeAtMicros: the soonest
// other time a frame is needed (a timer's end, a wait's deadline, the
// pointer's auto-hide, the animated pointer's next picture), or -1.
bool nextFrameNeed(int64_t* wakeAtMicros) {
  State& s = state();
  const TimerManager* timers = GetTimerManager();
  const int64_t now = nowMs();
  int64_t wake = -1;
  const auto consider = [&wake](int64_t ms) {
    if (ms >= 0 && (wake < 0 || ms * 1000 < wake)) wake = ms * 1000;
  };
  consider(timers->nextWake());
  if (s.pointerMode == 2 && s.pointerVisible) consider(s.lastPointerActivity + 5001);
  consider(nextCursorFrameAt(now));
  // A movie's next picture is drawn when it is due, not a frame later.
  if (MovieScreen* movie = MoviePlayingFlag ? GetMovieScreen() : nullptr) {
    if (const int64_t in = movie->nextFrameInMs(); in >= 0) consider(now + in);
  }
  *wakeAtMicros = wake;
  return GUIChangedFlag || s.inputSinceFrame || MoviePlayingFlag || timers->animating();
}

}  // namespace

int32_t PumpMessages(int32_t mode, bool skipPump) {
  State& s = state();
  autoHidePointer();
  if (s.quit) return -1;
  if (!skipPump) {
    const int64_t steps = s.stepCount;
    for (;;) {
      FramePacer::Wait wait{0, true};
      if (mode != 1) {
        int64_t wakeAt = -1;
        const bool wanted = nextFrameNeed(&wakeAt);
        wait = s.pacer.frameWaitTime(nowMs() * 1000, isForeground(), wakeAt, wanted);
      }
      platform::WindowEvent event;
      if (platform::WaitWindowEvent(wait.timeoutMs, &event)) handleWindowEvent(event);
      while (platform::PollWindowEvent(&event)) handleWindowEvent(event);
      // A frame that ran inside the wait (an exposed full-screen window
      // draws at once) served the wakes asked for so far: the caller looks
      // at what it brought now, not after the next idle wait.
      if (wait.due || s.quit || s.stepCount != steps) break;
    }
    if (s.quit) return -1;
  }
  if (mode == 2) return 0;
  return FrameStep(mode != 1);
}

bool DrawWholeSceneNow() {
  State& s = state();
  GDev* device = GDevFactory::device;
  if (!device || s.stepping) return false;
  if (s.scene) s.scene->updateRoot();
  return drawScene(device);
}

int32_t FrameStep(bool frameDue) {
  State& s = state();
  if (s.stepping) return 0;
  s.stepping = true;
  s.inputSinceFrame = false;
  GetTimerManager()->dispatch();
  checkPointerLeave();
  const int64_t now = nowMs();
  stepCursorAnimation(now);
  bool presented = false;
  int64_t swapMicros = 0;
  if (!s.window || !platform::IsWindowMinimized(s.window)) presented = renderStep(now, frameDue, &swapMicros);
  if (MovieScreen* movie = GetMovieScreen()) movie->frameStepped();
  // The pacer moves on every step, so a minimised window does not spin.
  s.pacer.frameRan(now * 1000, presented, swapMicros);
  ++s.stepCount;
  if (++s.frameSteps >= kSweepPeriod) {
    s.frameSteps = 0;
    GetTextureManager().finalize();
  }
  s.stepping = false;
  return 0;
}
