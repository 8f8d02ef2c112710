// TextArea3: the message window's stack of text lines. It takes the laid-out
// lines of a text, reveals them one step per timer period, places the
// key-wait icons after the revealed text (or at a fixed point) and posts
// AppEvent 23 when everything is shown. Main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/gui_component.h"
#include "scene/line_layout.h"
#include "scene/my_timer.h"

namespace XGChipConfig {
class ConfigBase;
}  // namespace XGChipConfig

class GUITextLine3;
class XGChip;

class TextArea3 : public GUIComposite {
 public:
  // Lines of one area: at least one, at most this many.
  static constexpr int32_t kMaxLines = 256;

  // Both icons hidden at (0, 0), no lines.
  TextArea3();
  ~TextArea3() override;

  // Rebuilds the lines (line count clamped to 1..256 with a WARN) and sets
  // the pitches, the milliseconds per step of each speed number and the
  // key-wait icons (parts may be null: that icon stays empty).
  void setup(int32_t lineCount, int32_t linePitch, int32_t rubyPitch, std::vector<int32_t> speeds,
             const XGChipConfig::ConfigBase* icon1, const XGChipConfig::ConfigBase* icon2, int32_t iconX,
             int32_t iconY);
  // Clears, then shows the first lines (those beyond the line count are
  // dropped), stacked from the top.
  void setLines(const std::vector<LineLayout>& layouts);
  // Reveals from the start at the speed's milliseconds per step (50 for a
  // speed number out of range). Nothing to reveal: done at once, no event.
  void startReveal(int32_t speed);
  void revealAll();
  bool isDisplaying() const { return timer_.isRunning(); }
  // show false hides both icons. Flags bit 0: at the fixed position, else
  // after the revealed text; bit 1: the second icon.
  void showKeyWaitIcon(bool show, int32_t flags);
  void clear();
  // The shown lines up to the first free one, with their places.
  std::vector<LaidOutLine> getLines() const;

  int32_t lineCount() const { return static_cast<int32_t>(lines_.size()); }
  GUITextLine3* line(int32_t i) const { return lines_[static_cast<size_t>(i)]; }
  XGChip* keyWaitIcon(int32_t i) const { return i == 0 ? icon1_ : icon2_; }
  int32_t revealed() const { return revealed_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  struct Step {
    int32_t line;
    int32_t offset;
    bool pastEnd;
  };
  Step locate(int32_t step) const;
  void onRevealStep(float progress);

  std::vector<GUITextLine3*> lines_;
  XGChip* icon1_ = nullptr;
  XGChip* icon2_ = nullptr;
  int32_t iconX_ = 0;
  int32_t iconY_ = 0;
  int32_t linePitch_ = 0;
  int32_t rubyPitch_ = 0;
  std::vector<LineLayout> layouts_;
  std::vector<int32_t> tops_;     // of each line's room (its ruby room included)
  std::vector<int32_t> heights_;  // full height of each line's room
  int32_t revealed_ = 0;
  std::vector<int32_t> lengths_;  // steps per line; -1 from the first free line on
  std::vector<int32_t> shown_;
  std::vector<int32_t> speeds_;
  MyTimer<TextArea3> timer_;
};
