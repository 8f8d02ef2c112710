// The main window's arithmetic: picture rectangles, pointer mapping, the
// window-size table and frame pacing. No window, no clock of its own.
#include "app/window_geometry.h"

#include <algorithm>

namespace {

// Floor division for the pointer mapping (points left of or above the
// picture must not round towards it).
int64_t floorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

int32_t clampTo(int64_t v, int32_t lo, int32_t hi, bool* clamped) {
  if (v < lo) {
    *clamped = true;
    return lo;
  }
  if (v > hi) {
    *clamped = true;
    return hi;
  }
  return static_cast<int32_t>(v);
}

int32_t saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

WindowRect FullscreenPictureRect(int32_t scaling, int32_t logicalW, int32_t logicalH, int32_t displayW,
                                 int32_t displayH) {
  if (scaling == FULLSCREEN_SCALE_STRETCH || logicalW < 1 || logicalH < 1) return {0, 0, displayW, displayH};
  if (scaling == FULLSCREEN_SCALE_CENTER) {
    return {(displayW - logicalW) / 2, (displayH - logicalH) / 2, logicalW, logicalH};
  }
  const int64_t lw = logicalW, lh = logicalH, dw = displayW, dh = displayH;
  if (lh * dw <= lw * dh) {
    const int32_t h = static_cast<int32_t>(dw * lh / lw);
    return {0, (displayH - h) / 2, displayW, h};
  }
  const int32_t w = static_cast<int32_t>(dh * lw / lh);
  return {(displayW - w) / 2, 0, w, displayH};
}

bool MapClientToLogical(const ScreenMapping& m, int32_t* x, int32_t* y) {
  if (m.logicalW < 1 || m.logicalH < 1) return true;
  if (m.fullScreen) {
    if (m.picture.width < 1 || m.picture.height < 1) return true;
    bool clamped = false;
    const int64_t lx = floorDiv((int64_t{*x} - m.picture.x) * m.logicalW, m.picture.width);
    const int64_t ly = floorDiv((int64_t{*y} - m.picture.y) * m.logicalH, m.picture.height);
    *x = clampTo(lx, 0, m.logicalW - 1, &clamped);
    *y = clampTo(ly, 0, m.logicalH - 1, &clamped);
    return !clamped;
  }
  if (m.clientW > 0 && m.clientW != m.logicalW) *x = saturate(floorDiv(int64_t{*x} * m.logicalW, m.clientW));
  if (m.clientH > 0 && m.clientH != m.logicalH) *y = saturate(floorDiv(int64_t{*y} * m.logicalH, m.clientH));
  return true;
}

void MapLogicalToClient(const ScreenMapping& m, int32_t* x, int32_t* y) {
  if (m.logicalW < 1 || m.logicalH < 1) return;
  if (m.fullScreen) {
    *x = saturate(m.picture.x + floorDiv(int64_t{*x} * m.picture.width, m.logicalW));
    *y = saturate(m.picture.y + floorDiv(int64_t{*y} * m.picture.height, m.logicalH));
    return;
  }
  if (m.clientW > 0) *x = saturate(floorDiv(int64_t{*x} * m.clientW, m.logicalW));
  if (m.clientH > 0) *y = saturate(floorDiv(int64_t{*y} * m.clientH, m.logicalH));
}

void MarkUsableEntries(WindowSizeTable* table, int32_t frameW, int32_t frameH, int32_t workW, int32_t workH) {
  for (WindowSizeEntry& e : *table) {
    e.fits = e.width > 0 && e.height > 0 && int64_t{e.width} + frameW <= workW &&
             int64_t{e.height} + frameH <= workH;
    e.usable = e.fits;
  }
}

namespace {

int32_t widestUsable(const WindowSizeTable& table) {
  int32_t best = -1;
  for (int32_t i = 1; i < static_cast<int32_t>(table.size()); ++i) {
    if (table[i].usable && (best < 0 || table[i].width > table[best].width)) best = i;
  }
  return best;
}

}  // namespace

int32_t PickInitialEntry(const WindowSizeTable& table) {
  if (table[0].usable) return 0;
  return widestUsable(table);
}

int32_t PickWindowedEntry(const WindowSizeTable& table, int32_t requested, int32_t previous) {
  if (requested >= 0 && requested < static_cast<int32_t>(table.size()) && table[requested].usable) return requested;
  const int32_t widest = widestUsable(table);
  return widest >= 0 ? widest : previous;
}

int32_t FrameModeFromFlipMethod(std::u16string_view word) {
  if (word == u"nowait") return FRAME_MODE_NOWAIT;
  if (word == u"auto") return FRAME_MODE_AUTO;
  if (word == u"specified") return FRAME_MODE_SPECIFIED;
  return FRAME_MODE_VBLANK;
}

int64_t FrameIntervalMicros(int32_t frameRate) {
  const int64_t rate = std::clamp<int32_t>(frameRate, 1, 1000);
  return (1000000 + rate / 2) / rate;
}

FramePacer::Wait FramePacer::frameWaitTime(int64_t nowMicros, bool foreground, int64_t wakeAtMicros,
                                           bool wanted) const {
  if (framesRun_ < kStartFrames || nextDue_ < 0) return {0, true};
  int64_t due = wanted ? nextDue_ : -1;
  if (wakeAtMicros >= 0 && (due < 0 || wakeAtMicros < due)) due = wakeAtMicros;
  if (due < 0) return {kMaxWaitMs, false};
  const int64_t remaining = due - nowMicros;
  const int64_t remainingMs = remaining > 0 ? (remaining + 999) / 1000 : 0;
  const int32_t minimum = foreground ? 0 : kBackgroundWaitMs;
  if (remaining > 0 && remainingMs >= minimum) {
    return {static_cast<int32_t>(std::min<int64_t>(remainingMs, kMaxWaitMs)), false};
  }
  return {minimum, true};
}

void FramePacer::frameRan(int64_t nowMicros, bool presented, int64_t swapMicros) {
  ++framesRun_;
  if (presented) {
    const bool blocked = swapMicros * 2 >= interval_;
    blockingSwaps_ = blocked ? std::min(blockingSwaps_ + 1, kBlockingSwaps) : 0;
  }
  if (swapPaces() && presented) {
    // The buffer swap waited for the display: the next frame may start now.
    nextDue_ = nowMicros;
    return;
  }
  if (nextDue_ < 0 || nowMicros < nextDue_ || nowMicros - nextDue_ > interval_) {
    nextDue_ = nowMicros + interval_;
  } else {
    nextDue_ += interval_;
  }
}
