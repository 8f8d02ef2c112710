// Two process-wide bytes the frame step reads: GUIChangedFlag (set by every
// change of what the scene shows; the frame step draws a new frame only while
// it is set and clears it after drawing) and MoviePlayingFlag (set by the
// movie player while a movie plays: the scene is not drawn, only the movie's
// pictures over the kept screen, and Alt+Enter raises no event). Beside them
// the areas of the screen that changed, so that a frame redraws only those.
// Main thread.
#pragma once

#include <cstddef>
#include <cstdint>

// GUIChangedFlag values. A writer that cannot tell where its change lies
// sets kScreenChanged (the whole screen is drawn again); MarkScreenArea sets
// kScreenAreasChanged, which never lowers kScreenChanged.
enum : uint8_t { kScreenUnchanged = 0, kScreenChanged = 1, kScreenAreasChanged = 2 };

extern uint8_t GUIChangedFlag;
extern uint8_t MoviePlayingFlag;

// A rectangle of the logical screen by two corners: x0 <= x < x1, y0 <= y < y1.
struct ScreenArea {
  int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x1 <= x0 || y1 <= y0; }
  bool operator==(const ScreenArea&) const = default;
};

// The smallest rectangle holding both (an empty one adds nothing).
ScreenArea UnionOf(const ScreenArea& a, const ScreenArea& b);

// The screen changed inside the area (logical pixels); empty areas are
// ignored. The areas kept since the last drawn frame are merged so that at
// most kMaxScreenAreas remain.
constexpr size_t kMaxScreenAreas = 4;
void MarkScreenArea(const ScreenArea& area);
// The whole screen is to be drawn again.
inline void MarkScreenChanged() { GUIChangedFlag = kScreenChanged; }

// What the next frame must draw: false when it must draw the whole screen
// (or nothing changed); true with the kept areas (1..kMaxScreenAreas).
// Areas kept while the flag was cleared by hand do not count.
bool ChangedScreenAreas(const ScreenArea** areas, size_t* count);
// Forgets the kept areas and clears GUIChangedFlag (a frame was drawn).
void ClearScreenChanges();
