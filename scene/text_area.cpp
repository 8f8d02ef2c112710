// TextArea3: lines, reveal steps and key-wait icons.
#include "scene/text_area.h"

#include <algorithm>

#include "app/log.h"
#include "app/screen_flags.h"
#include "scene/app_event_table.h"
#include "scene/gui_text_line3.h"
#include "scene/xg_chip.h"

namespace {

constexpr int32_t kDefaultStepMs = 50;

}  // namespace

TextArea3::TextArea3() : timer_(this, &TextArea3::onRevealStep) {
  // Steps happen when a period ends: no frame is needed between them.
  timer_.everyFrame = false;
  icon1_ = new XGChip;
  icon2_ = new XGChip;
  for (XGChip* icon : {icon1_, icon2_}) {
    icon->setVisible(false);
    addChild(icon);
  }
}

TextArea3::~TextArea3() { timer_.stop(); }

void TextArea3::onChildRemoved(GUIComponent* child) {
  if (child == icon1_) icon1_ = nullptr;
  if (child == icon2_) icon2_ = nullptr;
  lines_.erase(std::remove(lines_.begin(), lines_.end(), child), lines_.end());
}

void TextArea3::setup(int32_t lineCount, int32_t linePitch, int32_t rubyPitch, std::vector<int32_t> speeds,
                      const XGChipConfig::ConfigBase* icon1, const XGChipConfig::ConfigBase* icon2, int32_t iconX,
                      int32_t iconY) {
  // A line count from the configuration: none would leave the reveal
  // nothing to walk, and millions would make as many components.
  if (lineCount < 1 || lineCount > kMaxLines) {
    LogWrite(LOG_WARN, u"TextArea3::setup : 行数が範囲外です(%d)\n", lineCount);
    lineCount = std::clamp(lineCount, 1, kMaxLines);
  }
  linePitch_ = linePitch;
  rubyPitch_ = rubyPitch;
  timer_.stop();
  while (!lines_.empty()) delete lines_.back();  // leaves the list through onChildRemoved
  for (int32_t i = 0; i < lineCount; ++i) {
    auto* line = new GUITextLine3;
    addChild(line);
    lines_.push_back(line);
  }
  // The icons stay above the lines.
  if (icon1_) raiseChild(icon1_);
  if (icon2_) raiseChild(icon2_);
  layouts_.assign(static_cast<size_t>(lineCount), LineLayout{});
  tops_.assign(static_cast<size_t>(lineCount), 0);
  heights_.assign(static_cast<size_t>(lineCount), 0);
  lengths_.assign(static_cast<size_t>(lineCount) + 1, -1);
  shown_.assign(static_cast<size_t>(lineCount) + 1, 0);
  revealed_ = 0;
  speeds_ = std::move(speeds);
  if (icon1 && icon1_) icon1_->config(false, 0, 0, 255, icon1);
  if (icon2 && icon2_) icon2_->config(false, 0, 0, 255, icon2);
  iconX_ = iconX;
  iconY_ = iconY;
  GUIChangedFlag = 1;
}

void TextArea3::setLines(const std::vector<LineLayout>& layouts) {
  clear();
  const size_t count = lines_.size();
  for (size_t i = 0; i < count && i < layouts.size(); ++i) layouts_[i] = layouts[i];
  int32_t y = 0;
  for (size_t i = 0; i < count; ++i) {
    GUITextLine3* line = lines_[i];
    line->setRubyPitch(rubyPitch_);
    line->setLine(layouts_[i]);
    int32_t gap = 0;
    const int32_t h = measureTextLines(layouts_[i], rubyPitch_, &gap);
    lengths_[i] = i < layouts.size() ? line->totalSteps() : -1;
    line->setPosition(0, y + gap);
    tops_[i] = y;
    heights_[i] = h;
    y += linePitch_ + h;
  }
}

TextArea3::Step TextArea3::locate(int32_t step) const {
  int32_t sum = 0;
  int32_t last = -1;
  for (size_t i = 0; i < lengths_.size() && lengths_[i] >= 0; ++i) {
    if (sum + lengths_[i] > step) return Step{static_cast<int32_t>(i), step - sum, false};
    sum += lengths_[i];
    last = static_cast<int32_t>(i);
  }
  if (last < 0) return Step{0, 0, true};
  return Step{last, lengths_[static_cast<size_t>(last)], true};
}

void TextArea3::startReveal(int32_t speed) {
  showKeyWaitIcon(false, 0);
  revealed_ = 0;
  for (size_t i = 0; i < lines_.size() && lengths_[i] >= 0; ++i) {
    lines_[i]->setVisibleCount(0);
    shown_[i] = 0;
  }
  if (locate(revealed_).pastEnd) {
    timer_.stop();
    return;
  }
  timer_.duration =
      speed > 0 && speed < static_cast<int32_t>(speeds_.size()) ? speeds_[static_cast<size_t>(speed)] : kDefaultStepMs;
  // A negative speed from the configuration would never end a step: 0 is
  // one step a frame.
  if (timer_.duration < 0) timer_.duration = 0;
  timer_.looping = false;
  timer_.start();
}

void TextArea3::onRevealStep(float progress) {
  if (progress < 1.0f) return;
  const Step at = locate(revealed_);
  if (at.pastEnd) {
    revealAll();
    PostAppEvent(AppEventCode::kTextShown);
    return;
  }
  lines_[static_cast<size_t>(at.line)]->setVisibleCount(at.offset + 1);
  shown_[static_cast<size_t>(at.line)] = at.offset;
  ++revealed_;
  timer_.start();
}

void TextArea3::revealAll() {
  timer_.stop();
  int32_t sum = 0;
  for (size_t i = 0; i < lines_.size() && lengths_[i] >= 0; ++i) {
    lines_[i]->setVisibleCount(-1);
    shown_[i] = lengths_[i];
    sum += lengths_[i];
  }
  revealed_ = sum;
}

void TextArea3::clear() {
  timer_.stop();
  for (size_t i = 0; i < lines_.size(); ++i) {
    lines_[i]->clear();
    layouts_[i] = LineLayout{};
    lengths_[i] = -1;
    shown_[i] = 0;
  }
  revealed_ = 0;
  showKeyWaitIcon(false, 0);
}

void TextArea3::showKeyWaitIcon(bool show, int32_t flags) {
  if (icon1_) icon1_->setVisible(false);
  if (icon2_) icon2_->setVisible(false);
  XGChip* icon = flags & 2 ? icon2_ : icon1_;
  if (!show || !icon) return;
  int32_t x = iconX_;
  int32_t y = iconY_;
  if (!(flags & 1) && !lines_.empty()) {
    const GUITextLine3* line = lines_[static_cast<size_t>(locate(revealed_).line)];
    x = line->x() + line->width();
    y = line->y();
    if (line->width() >= 2) y += (line->height() - icon->height()) / 2;
  }
  icon->setPosition(x, y);
  icon->setVisible(true);
}

std::vector<LaidOutLine> TextArea3::getLines() const {
  std::vector<LaidOutLine> out;
  for (size_t i = 0; i < lines_.size() && lengths_[i] >= 0; ++i) {
    out.push_back(LaidOutLine{tops_[i], heights_[i], layouts_[i]});
  }
  return out;
}
