// MenuWindow: the strip of command buttons (save, load, skip, ...) that
// slides in from one edge of the screen. A full-screen composite that takes
// the pointer only over its strip; the panel holding the background and the
// buttons is the part that moves. In auto-hide mode the strip opens while
// the pointer is over the sensor along its edge and closes once the pointer
// has left it. Built from one :menu entry by its owner, the menu layer.
// Main thread.
#pragma once

#include <cstdint>
#include <vector>

#include "app/config_windows.h"
#include "app/timer.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/my_timer.h"
#include "scene/xg_chip.h"

class GUIColorRect;
class GUIImage;
class XGBase;

class MenuWindow;

namespace MenuWindow_local {

// The part that slides: the background and the buttons.
class Panel : public ::Panel {};

// A menu button: a click hands its event number to the window.
class MyXGChip : public XGChip {
 public:
  MyXGChip(MenuWindow* owner, int32_t eventNumber) : owner_(owner), event_(eventNumber) {}
  void onClicked() override;
  // Leaving tells the window too.
  void onHover(const MouseEvent& event, bool entered) override;
  int32_t event() const { return event_; }

 private:
  MenuWindow* owner_;
  int32_t event_;
};

}  // namespace MenuWindow_local

class MenuWindow : public GUIComposite {
 public:
  struct Rect {
    int32_t x = 0, y = 0, width = 0, height = 0;
  };

  // Reads the pointer's position on the logical screen. The scene set-up
  // installs the main window's; with none the pointer counts as outside
  // the menu. Returns the previous one.
  using PointerSource = void (*)(int32_t* x, int32_t* y);
  static PointerSource setPointerSource(PointerSource source);

  // The auto-hide check runs once a period of this many milliseconds; the
  // slides the pointer starts take kPointerSlideMs.
  static constexpr int32_t kAutoHideCheckMs = 1000;
  static constexpr int32_t kPointerSlideMs = 250;

  // Laid out for 800 x 600 with the default configuration, hidden.
  explicit MenuWindow(XGBase* owner);
  ~MenuWindow() override;

  // Copies the configuration, lays the window out over (0, 0, width,
  // height) with new buttons, and puts it out of sight at once (not shown).
  void setConfig(int32_t width, int32_t height, const Config::MenuConfigEntry& config);
  // byAutoHide: a request of auto-hide mode (ignored while it is off) that
  // opens or closes the strip; otherwise shows or hides the menu. A slide
  // takes ms when animated, else the panel jumps (ending a running slide).
  void show(bool visible, bool animated, bool byAutoHide, int32_t ms);
  // Auto-hide on: a shown menu opens or closes as the pointer is over its
  // strip or not; off: it slides to where the shown flag puts it.
  void setAutoHide(bool on);
  // Enables or disables the buttons that raise this event.
  void setChipEventEnabled(int32_t code, bool on);
  // A button's event: n >= 1 is posted when enabled in the mask, and in
  // auto-hide mode the menu then goes out of the way at once; others
  // (cascade, none) do nothing.
  void onChipClicked(int32_t event);
  // The pointer left a button for the event's point.
  void onChipLeft(const MouseEvent& event);

  // The window takes the pointer over its strip only (none while hidden).
  bool hitTestPrecise(int32_t x, int32_t y) override;
  void onHover(const MouseEvent& event, bool entered) override;
  // Clicks and the wheel over an open menu go no further.
  bool onMouseButton(const MouseEvent& event, bool pressed) override;
  bool onMouseWheel(const MouseEvent& event) override;
  void onMouseMove(const MouseEvent& event) override;

  XGBase* owner() const { return owner_; }
  const Config::MenuConfigEntry& config() const { return config_; }
  Panel* panel() const { return panel_; }
  const std::vector<MenuWindow_local::MyXGChip*>& chips() const { return chips_; }
  const Rect& shownRect() const { return shownRect_; }
  const Rect& hiddenRect() const { return hiddenRect_; }
  bool isShown() const { return shown_; }
  bool autoHide() const { return autoHide_; }
  // Auto-hide mode: the strip is slid in.
  bool isOpen() const { return open_; }
  bool isSliding() const { return timer_.isRunning(); }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  // A looping timer reports progress in [0, 1) and never its period's end:
  // a period has passed when the progress falls back.
  class AutoHideCheckTimer : public Timer {
   public:
    explicit AutoHideCheckTimer(MenuWindow* owner) : owner_(owner) { everyFrame = false; }
    void onTimer(float progress) override;
    // Only an open auto-hide menu has anything to check.
    bool wantsFrames() const override { return owner_->autoHideCheckDue(); }

   private:
    MenuWindow* owner_;
    float last_ = 0.0f;
  };

  bool autoHideCheckDue() const { return shown_ && autoHide_ && open_ && !suppressed_ && !pending_; }
  void layout(int32_t width, int32_t height);
  // Over the strip along the menu's edge: the menu's width when wide, else
  // the sensor's (window coordinates).
  bool inStrip(int32_t x, int32_t y, bool wide) const;
  bool pointerInStrip() const;
  void slide(bool toShown, bool animated, int32_t ms);
  void finishSlide();
  void step(float t);
  void placePanel();
  void checkAutoHide();

  XGBase* owner_;
  Config::MenuConfigEntry config_;
  int32_t x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  int32_t fromX_ = 0, fromY_ = 0, toX_ = 0, toY_ = 0;
  int32_t easing_ = 1;
  Rect shownRect_;
  Rect hiddenRect_;
  MenuWindow_local::Panel* panel_ = nullptr;
  ZEPTextureRef background_;
  GUIImage* image_ = nullptr;
  GUIColorRect* color_ = nullptr;
  std::vector<MenuWindow_local::MyXGChip*> chips_;
  bool shown_ = false;
  bool autoHide_ = false;
  bool open_ = false;
  // Opened by the program: the check leaves it open until the pointer moves.
  bool pending_ = false;
  // Closed under the pointer: it stays closed until the pointer leaves.
  bool suppressed_ = false;
  MyTimer<MenuWindow> timer_;
  AutoHideCheckTimer check_;
};
