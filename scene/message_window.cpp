// MessageWindow3: building from a configuration, text, slides, the
// hidden-by-user mode and the window's buttons.
#include "scene/message_window.h"

#include <algorithm>
#include <cmath>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/game_environment.h"
#include "app/input_target.h"
#include "app/key_names.h"
#include "app/screen_flags.h"
#include "gdev/texture_manager.h"
#include "scene/app_event_table.h"
#include "scene/gui_color_rect.h"
#include "scene/gui_root.h"
#include "scene/markup_layout.h"
#include "scene/text_area.h"
#include "scene/window_common.h"
#include "scene/xg_base.h"

namespace {

constexpr int32_t kDefaultWidth = 800;
constexpr int32_t kDefaultHeight = 600;
constexpr uint32_t kWhite = 0xFFFFFFFFu;

int32_t NotNegative(int32_t v) { return v < 0 ? 0 : v; }

// The window's 21 colour codes: 0..19 from the game's colour table where it
// has them, the rest (and code 20, the default text colour) white.
std::vector<uint32_t> WindowColors() {
  std::vector<uint32_t> colors(kMarkupColorCount, kWhite);
  if (GameEnvironment* env = GetGameEnvironment()) {
    const Config::ColorTable& table = env->colorTable();
    for (size_t i = 0; i + 1 < colors.size() && i < table.size(); ++i) colors[i] = table[i];
  }
  return colors;
}

}  // namespace

void MessageWindow3_local::MyXGChip::onClicked() { owner_->onChipClicked(event_); }

MessageWindow3::MessageWindow3(XGBase* owner) : owner_(owner), timer_(this, &MessageWindow3::tickMove) {
  panel_ = new Panel;
  panel_->setBounds(0, 0, kDefaultWidth, kDefaultHeight);
  addChild(panel_);
  build(kDefaultWidth, kDefaultHeight);
}

MessageWindow3::~MessageWindow3() {
  timer_.stop();
  if (hiddenByUser_ && GetKeyListener() == this) SetKeyListener(previousKeyListener_);
}

void MessageWindow3::onChildRemoved(GUIComponent* child) {
  if (child == panel_) panel_ = nullptr;
}

void MessageWindow3::setConfig(const Config::MessageWindowConfig* config) {
  config_ = config ? *config : Config::MessageWindowConfig{};
  const GUIComponent* component = ComponentOf(owner_);
  const bool sized = component && component->width() >= 1 && component->height() >= 1;
  build(sized ? component->width() : kDefaultWidth, sized ? component->height() : kDefaultHeight);
}

void MessageWindow3::build(int32_t width, int32_t height) {
  if (config_.colorTable.size() != kMarkupColorCount) config_.colorTable = WindowColors();
  endSlide();
  setHiddenByUser(false);
  previousKeyListener_ = nullptr;
  for (auto* list : {&chips_, &hiddenChips_}) {
    for (MessageWindow3_local::MyXGChip* chip : *list) delete chip;
    list->clear();
  }
  if (!panel_) return;

  setBounds(0, 0, width, height);
  x_ = NotNegative(config_.windowX);
  y_ = NotNegative(config_.windowY);
  width_ = NotNegative(config_.windowWidth);
  height_ = NotNegative(config_.windowHeight);
  startX_ = targetX_ = x_;
  startY_ = targetY_ = y_;
  panel_->setBounds(x_, y_, width_, height_);

  // A window without a picture or shading of its own shows none, rather
  // than the previous window's stretched to its size.
  background_.reset();
  if (!config_.bgImageUrl.empty()) {
    ZEPTextureRef image;
    if (GetTextureManager().getTexture(image, config_.bgImageUrl, 1, 3) == 0) background_ = image;
  }
  if (amikake_) amikake_->setVisible(config_.taBgAmikake);
  if (config_.taBgAmikake) {
    if (!amikake_) {
      amikake_ = new GUIColorRect;
      panel_->addChild(amikake_);
    }
    SetRectColor(amikake_, config_.taBgColor);
    amikake_->setDrawEnabled(std::clamp(config_.taBgColor.a, 0, 255) > 1);
    amikake_->setBounds(0, 0, width_, height_);
  }
  if (!area_) {
    area_ = new TextArea3;
    panel_->addChild(area_);
  }
  area_->setBounds(NotNegative(config_.taOffsetX), NotNegative(config_.taOffsetY), NotNegative(config_.taWidth),
                   NotNegative(config_.taHeight));
  panel_->raiseChild(area_);
  area_->setup(config_.taLineNum, config_.taLinePitch, config_.taRubyLinePitch,
               {0, config_.displaySpeedLow, config_.displaySpeedMiddle, config_.displaySpeedHigh},
               config_.keywaitIconParts[0].get(), config_.keywaitIconParts[1].get(), config_.keywaitIconPosX,
               config_.keywaitIconPosY);
  charsPerLine_ = config_.taCharsPerLine >= 4 && config_.taCharsPerLine <= 99 ? config_.taCharsPerLine : 46;
  makeChips(config_.controlPoints, false);
  makeChips(config_.hiddenControlPoints, true);
  GUIChangedFlag = 1;
}

void MessageWindow3::makeChips(const std::vector<Config::ControlPointConfig>& entries, bool hiddenMode) {
  for (const Config::ControlPointConfig& entry : entries) {
    if (entry.partsNo < 0) continue;  // a number the file skipped
    const int32_t event = hiddenMode ? systemCommandFromName(entry.event) : ChipEventFromName(entry.event);
    auto* chip = new MessageWindow3_local::MyXGChip(this, event);
    PlaceControlPointChip(panel_, chip, entry, !hiddenMode);
    (hiddenMode ? hiddenChips_ : chips_).push_back(chip);
  }
}

void MessageWindow3::draw() {
  if (!background_ || hiddenByUser_) return;
  const GDevRectF rect{static_cast<float>(x_), static_cast<float>(y_), static_cast<float>(x_ + width_),
                       static_cast<float>(y_ + height_)};
  DrawTextureRect(rect, GDevUV{0.0f, 0.0f, 1.0f, 1.0f}, background_.get(), GDEV_BLEND_NORMAL, 0, 0);
}

bool MessageWindow3::paintExtent(ScreenArea* area) {
  *area = isDrawable() ? ScreenArea{x_, y_, x_ + width_, y_ + height_} : ScreenArea{};
  return true;
}

bool MessageWindow3::onMouseButton(const MouseEvent&, bool pressed) {
  if (!hiddenByUser_) return false;
  // The click that brings the window back does nothing else.
  if (pressed) setHiddenByUser(false);
  return true;
}

void MessageWindow3::setText(std::u16string_view text, int32_t speed) {
  if (!area_) return;
  text_ = text;
  area_->setLines(layoutMarkupText(text_, config_));
  shown_.push_back(LaidOutText{std::clamp(config_.taFontSize, kMarkupMinFontSize, kMarkupMaxFontSize),
                               std::clamp(config_.taRubyFontSize, kMarkupMinFontSize, kMarkupMaxFontSize),
                               area_->getLines()});
  if (speed < 1) area_->revealAll();
  else area_->startReveal(speed);
}

void MessageWindow3::clearText() {
  if (area_) area_->clear();
  text_.clear();
  shown_.clear();
}

void MessageWindow3::presetPosition(int32_t preset, int32_t x, int32_t y, int32_t* outX, int32_t* outY) const {
  *outX = x;
  *outY = y;
  Config::GetRange(config_, preset, outX, outY);
}

void MessageWindow3::placeAt(int32_t x, int32_t y) {
  if (x != x_ || y != y_) {
    // The background picture is drawn at the window's place.
    markOwnPaint();
    x_ = x;
    y_ = y;
    markOwnPaint();
  }
  if (panel_) panel_->setPosition(x_, y_);
}

void MessageWindow3::endSlide() {
  if (!timer_.isRunning()) return;
  startX_ = targetX_;
  startY_ = targetY_;
  timer_.stop();
  placeAt(targetX_, targetY_);
}

void MessageWindow3::setPosition(int32_t preset, int32_t x, int32_t y) {
  endSlide();
  int32_t px = 0, py = 0;
  presetPosition(preset, x, y, &px, &py);
  startX_ = targetX_ = px;
  startY_ = targetY_ = py;
  placeAt(px, py);
}

void MessageWindow3::moveTo(int32_t preset, int32_t x, int32_t y, int32_t, int32_t duration, int32_t easing) {
  endSlide();
  startX_ = x_;
  startY_ = y_;
  presetPosition(preset, x, y, &targetX_, &targetY_);
  easing_ = easing;
  timer_.duration = duration;
  timer_.looping = false;
  timer_.start();
  tickMove(0.0f);
}

void MessageWindow3::tickMove(float t) {
  if (t >= 1.0f) {
    timer_.stop();
    placeAt(targetX_, targetY_);
    return;
  }
  const float e = SlideEasing(t, easing_);
  placeAt(SlideCoordinate(startX_, targetX_, e), SlideCoordinate(startY_, targetY_, e));
}

void MessageWindow3::setHiddenByUser(bool hidden) {
  if (hidden == hiddenByUser_) return;
  markOwnPaint();
  hiddenByUser_ = hidden;
  markOwnPaint();
  for (MessageWindow3_local::MyXGChip* chip : hiddenChips_) chip->setVisible(hidden);
  // What the player reads goes out of the way; the panel and the window
  // stay, so a click anywhere brings everything back.
  for (MessageWindow3_local::MyXGChip* chip : chips_) chip->setVisible(!hidden);
  if (area_) area_->setVisible(!hidden);
  if (amikake_) amikake_->setVisible(!hidden);
  if (hidden) {
    if (GetKeyListener() != this) {
      previousKeyListener_ = GetKeyListener();
      SetKeyListener(this);
    }
    MyGUIRoot::setModalLayer(owner_, true);
  } else {
    if (GetKeyListener() == this) SetKeyListener(previousKeyListener_);
    previousKeyListener_ = nullptr;
    MyGUIRoot::setModalLayer(owner_, false);
  }
}

void MessageWindow3::onChipClicked(int32_t event) {
  if (event < 0) {
    setHiddenByUser(!hiddenByUser_);
    return;
  }
  if (event == 0) return;
  setHiddenByUser(false);
  if (isAppEventEnabled(event)) PostEvent(std::make_unique<AppEvent>(event, 0));
}

void MessageWindow3::setChipEventEnabled(int32_t code, bool enabled) {
  for (auto* list : {&chips_, &hiddenChips_}) {
    for (MessageWindow3_local::MyXGChip* chip : *list) {
      if (chip->event() == code) chip->setEnabled(enabled);
    }
  }
}
