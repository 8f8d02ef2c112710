// MenuWindow: layout from a :menu entry, the slides in and out, auto-hide
// mode driven by the pointer and by a check once a second, and the buttons.
#include "scene/menu_window.h"

#include <algorithm>
#include <memory>

#include "app/event.h"
#include "app/event_queue.h"
#include "app/input_target.h"
#include "app/screen_flags.h"
#include "gdev/texture_manager.h"
#include "scene/app_event_table.h"
#include "scene/gui_color_rect.h"
#include "scene/gui_image.h"
#include "scene/window_common.h"

namespace {

constexpr int32_t kDefaultWidth = 800;
constexpr int32_t kDefaultHeight = 600;

MenuWindow::PointerSource g_pointerSource = nullptr;

}  // namespace

void MenuWindow_local::MyXGChip::onClicked() { owner_->onChipClicked(event_); }

void MenuWindow_local::MyXGChip::onHover(const MouseEvent& event, bool entered) {
  XGChip::onHover(event, entered);
  if (!entered) owner_->onChipLeft(event);
}

void MenuWindow::AutoHideCheckTimer::onTimer(float progress) {
  const bool wrapped = progress < last_;
  last_ = progress;
  if (wrapped) owner_->checkAutoHide();
}

MenuWindow::PointerSource MenuWindow::setPointerSource(PointerSource source) {
  const PointerSource previous = g_pointerSource;
  g_pointerSource = source;
  return previous;
}

MenuWindow::MenuWindow(XGBase* owner) : owner_(owner), timer_(this, &MenuWindow::step), check_(this) {
  panel_ = new MenuWindow_local::Panel;
  panel_->setBounds(0, 0, kDefaultWidth, kDefaultHeight);
  addChild(panel_);
  image_ = new GUIImage;
  panel_->addChild(image_);
  setConfig(kDefaultWidth, kDefaultHeight, Config::MenuConfigEntry{});
  check_.duration = kAutoHideCheckMs;
  check_.looping = true;
  check_.start();
}

MenuWindow::~MenuWindow() {
  timer_.stop();
  check_.stop();
}

void MenuWindow::onChildRemoved(GUIComponent* child) {
  if (child != panel_) return;
  // What the panel holds leaves with it.
  panel_ = nullptr;
  image_ = nullptr;
  color_ = nullptr;
  chips_.clear();
}

void MenuWindow::setConfig(int32_t width, int32_t height, const Config::MenuConfigEntry& config) {
  config_ = config;
  // The layout puts any position code but left, top and bottom at the right
  // edge; the strip follows it there.
  if (config_.position < Config::MenuConfigEntry::kLeft || config_.position > Config::MenuConfigEntry::kBottom) {
    config_.position = Config::MenuConfigEntry::kRight;
  }
  layout(width, height);
  shown_ = false;
  slide(false, false, 0);
}

void MenuWindow::layout(int32_t width, int32_t height) {
  pending_ = false;
  suppressed_ = false;
  finishSlide();
  for (MenuWindow_local::MyXGChip* chip : chips_) delete chip;
  chips_.clear();

  const int32_t m = std::max(config_.menuWidth, 0);
  switch (config_.position) {
    case Config::MenuConfigEntry::kLeft:
      shownRect_ = {0, 0, m, height};
      hiddenRect_ = {-m, 0, m, height};
      break;
    case Config::MenuConfigEntry::kTop:
      shownRect_ = {0, 0, width, m};
      hiddenRect_ = {0, -m, width, m};
      break;
    case Config::MenuConfigEntry::kBottom:
      shownRect_ = {0, height - m, width, m};
      hiddenRect_ = {0, height, width, m};
      break;
    default:
      shownRect_ = {width - m, 0, m, height};
      hiddenRect_ = {width, 0, m, height};
      break;
  }
  setBounds(0, 0, width, height);
  x_ = fromX_ = toX_ = shownRect_.x;
  y_ = fromY_ = toY_ = shownRect_.y;
  width_ = shownRect_.width;
  height_ = shownRect_.height;
  if (!panel_) return;
  panel_->setBounds(x_, y_, width_, height_);

  background_.reset();
  if (!config_.bgImageUrl.empty()) {
    ZEPTextureRef image;
    if (GetTextureManager().getTexture(image, config_.bgImageUrl, 1, 3) == 0) background_ = image;
  }
  if (image_) {
    image_->setImage(background_);
    if (background_) image_->setBounds(0, 0, background_->width(), background_->height());
    else image_->setBounds(0, 0, 1, 1);
  }
  const bool colored = config_.bgColor.a > 0;
  if (colored && !color_) {
    color_ = new GUIColorRect;
    panel_->addChild(color_);
  }
  if (color_) {
    // A menu without a colour of its own shows none, rather than the
    // previous menu's.
    if (colored) SetRectColor(color_, config_.bgColor);
    color_->setDrawEnabled(colored);
    color_->setBounds(0, 0, width_, height_);
  }

  for (const Config::ControlPointConfig& point : config_.controlPoints) {
    if (point.partsNo < 0 || !point.parts) continue;
    auto* chip = new MenuWindow_local::MyXGChip(this, ChipEventFromName(point.event));
    PlaceControlPointChip(panel_, chip, point, true);
    chips_.push_back(chip);
  }
  GUIChangedFlag = 1;
}

bool MenuWindow::inStrip(int32_t x, int32_t y, bool wide) const {
  const int64_t strip = std::max(wide ? config_.menuWidth : config_.sensorWidth, 0);
  switch (config_.position) {
    case Config::MenuConfigEntry::kLeft:
      return x < strip;
    case Config::MenuConfigEntry::kRight:
      return x > width() - strip;
    case Config::MenuConfigEntry::kTop:
      return y < strip;
    case Config::MenuConfigEntry::kBottom:
      return y > height() - strip;
    default:
      return false;
  }
}

bool MenuWindow::pointerInStrip() const {
  if (!g_pointerSource) return false;
  int32_t x = 0;
  int32_t y = 0;
  g_pointerSource(&x, &y);
  toLocal(&x, &y);
  return inStrip(x, y, true);
}

void MenuWindow::placePanel() {
  if (panel_) panel_->setPosition(x_, y_);
}

void MenuWindow::finishSlide() {
  if (!timer_.isRunning()) return;
  x_ = fromX_ = toX_;
  y_ = fromY_ = toY_;
  timer_.stop();
  placePanel();
}

void MenuWindow::slide(bool toShown, bool animated, int32_t ms) {
  finishSlide();
  const Rect& target = toShown ? shownRect_ : hiddenRect_;
  toX_ = target.x;
  toY_ = target.y;
  if (animated) {
    fromX_ = x_;
    fromY_ = y_;
    easing_ = 1;
    timer_.duration = std::max(ms, 0);
    timer_.looping = false;
    timer_.start();
    step(0.0f);
    return;
  }
  x_ = fromX_ = toX_;
  y_ = fromY_ = toY_;
  placePanel();
}

void MenuWindow::step(float t) {
  if (t >= 1.0f) {
    x_ = toX_;
    y_ = toY_;
    timer_.stop();
    placePanel();
    return;
  }
  const float e = SlideEasing(t, easing_);
  x_ = SlideCoordinate(fromX_, toX_, e);
  y_ = SlideCoordinate(fromY_, toY_, e);
  placePanel();
}

void MenuWindow::show(bool visible, bool animated, bool byAutoHide, int32_t ms) {
  if (byAutoHide) {
    if (!autoHide_) return;
    if (!open_) {
      if (visible) {
        pending_ = true;
        open_ = true;
      }
      slide(visible, animated, ms);
    } else if (!visible) {
      suppressed_ = true;
      open_ = false;
      slide(false, animated, ms);
    } else {
      slide(true, animated, ms);
    }
    return;
  }
  shown_ = visible;
  if (!visible || !autoHide_) {
    slide(visible, animated, ms);
    return;
  }
  open_ = pointerInStrip();
  slide(open_, animated, ms);
}

void MenuWindow::setAutoHide(bool on) {
  autoHide_ = on;
  pending_ = false;
  suppressed_ = false;
  if (shown_ && on) {
    open_ = pointerInStrip();
    slide(open_, true, kPointerSlideMs);
  } else {
    slide(shown_, true, kPointerSlideMs);
  }
}

void MenuWindow::setChipEventEnabled(int32_t code, bool on) {
  for (MenuWindow_local::MyXGChip* chip : chips_) {
    if (chip->event() == code) chip->setEnabled(on);
  }
}

void MenuWindow::onChipClicked(int32_t event) {
  if (event < 1 || !isAppEventEnabled(event)) return;
  PostEvent(std::make_unique<AppEvent>(event, 0));
  if (!autoHide_) return;
  // Out of the way at once, and not back under the pointer that clicked.
  if (open_) suppressed_ = true;
  open_ = false;
  slide(false, false, 0);
}

void MenuWindow::onChipLeft(const MouseEvent& event) {
  if (!suppressed_) return;
  // A button is the target while the pointer is on it, so the window never
  // sees the pointer leave when it goes from the clicked button straight to
  // a point outside the sensor; that is leaving the menu all the same.
  int32_t x = event.x;
  int32_t y = event.y;
  toLocal(&x, &y);
  if (!hitTestPrecise(x, y)) suppressed_ = false;
}

bool MenuWindow::hitTestPrecise(int32_t x, int32_t y) {
  if (!shown_) return false;
  return inStrip(x, y, autoHide_ ? open_ : true);
}

void MenuWindow::onHover(const MouseEvent& event, bool entered) {
  if (suppressed_) {
    if (!entered) suppressed_ = false;
    return;
  }
  int32_t x = event.x;
  int32_t y = event.y;
  toLocal(&x, &y);
  // Leaving the window for one of its own buttons is no leaving.
  const bool inside = entered || hitTestPrecise(x, y);
  if (shown_ && autoHide_ && inside != open_) {
    open_ = inside;
    slide(inside, true, kPointerSlideMs);
  }
}

bool MenuWindow::onMouseButton(const MouseEvent&, bool) { return !suppressed_ && shown_ && (!autoHide_ || open_); }

bool MenuWindow::onMouseWheel(const MouseEvent&) { return !suppressed_ && shown_ && (!autoHide_ || open_); }

void MenuWindow::onMouseMove(const MouseEvent&) { pending_ = false; }

void MenuWindow::checkAutoHide() {
  if (!autoHideCheckDue()) return;
  for (GUIComponent* c = GetMouseTarget(); c; c = c->parent()) {
    if (c == this) return;
  }
  open_ = false;
  slide(false, true, kPointerSlideMs);
}
