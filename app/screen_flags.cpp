// The process-wide bytes of screen_flags.h and the changed areas of the
// screen. Main thread.
#include "app/screen_flags.h"

#include <algorithm>
#include <array>

uint8_t GUIChangedFlag = kScreenChanged;
uint8_t MoviePlayingFlag = 0;

namespace {

// Two areas are drawn as one when that redraws at most this many pixels
// more than drawing them apart (a pass over the scene costs about that).
constexpr int64_t kMergeSlack = 4096;

struct Areas {
  std::array<ScreenArea, kMaxScreenAreas> list{};
  size_t count = 0;
};

Areas& areas() {
  static Areas instance;
  return instance;
}

int64_t AreaOf(const ScreenArea& a) {
  return a.empty() ? 0 : (int64_t{a.x1} - a.x0) * (int64_t{a.y1} - a.y0);
}

// The pixels drawing a and b as one would add.
int64_t MergeCost(const ScreenArea& a, const ScreenArea& b) {
  return AreaOf(UnionOf(a, b)) - AreaOf(a) - AreaOf(b);
}

void RemoveAt(Areas& kept, size_t i) {
  kept.list[i] = kept.list[kept.count - 1];
  --kept.count;
}

}  // namespace

ScreenArea UnionOf(const ScreenArea& a, const ScreenArea& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return ScreenArea{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

void MarkScreenArea(const ScreenArea& area) {
  if (area.empty()) return;
  Areas& kept = areas();
  if (GUIChangedFlag == kScreenUnchanged) kept.count = 0;  // cleared by hand since
  if (GUIChangedFlag != kScreenChanged) GUIChangedFlag = kScreenAreasChanged;
  ScreenArea added = area;
  // Whatever the new area comes close to joins it, and so on.
  for (size_t i = 0; i < kept.count;) {
    if (MergeCost(kept.list[i], added) <= kMergeSlack) {
      added = UnionOf(added, kept.list[i]);
      RemoveAt(kept, i);
      i = 0;
    } else {
      ++i;
    }
  }
  if (kept.count == kMaxScreenAreas) {
    // Full: the pair that grows least is drawn as one.
    size_t best = 0;
    int64_t bestCost = MergeCost(kept.list[0], added);
    for (size_t i = 1; i < kept.count; ++i) {
      const int64_t cost = MergeCost(kept.list[i], added);
      if (cost < bestCost) {
        bestCost = cost;
        best = i;
      }
    }
    added = UnionOf(added, kept.list[best]);
    RemoveAt(kept, best);
  }
  kept.list[kept.count++] = added;
}

bool ChangedScreenAreas(const ScreenArea** list, size_t* count) {
  Areas& kept = areas();
  if (GUIChangedFlag != kScreenAreasChanged || kept.count == 0) return false;
  *list = kept.list.data();
  *count = kept.count;
  return true;
}

void ClearScreenChanges() {
  areas().count = 0;
  GUIChangedFlag = kScreenUnchanged;
}
