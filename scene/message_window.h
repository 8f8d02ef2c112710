// MessageWindow3: the window that shows the story's text. A full-screen
// composite that draws the configured background over a panel at the
// window's place; the panel holds the shaded text background, the text area
// and the window's buttons. The panel slides between positions, and a
// hidden-by-user mode puts the window out of the player's way until the next
// click. Built from one :message-window entry. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/config_windows.h"
#include "gdev/zep_texture.h"
#include "scene/gui_component.h"
#include "scene/line_layout.h"
#include "scene/my_timer.h"
#include "scene/window_common.h"
#include "scene/xg_chip.h"

class GUIColorRect;
class TextArea3;
class XGBase;

class MessageWindow3;

namespace MessageWindow3_local {

// A window button: a click runs its event number through the window.
class MyXGChip : public XGChip {
 public:
  MyXGChip(MessageWindow3* owner, int32_t eventNumber) : owner_(owner), event_(eventNumber) {}
  void onClicked() override;
  int32_t event() const { return event_; }

 private:
  MessageWindow3* owner_;
  int32_t event_;
};

}  // namespace MessageWindow3_local

class MessageWindow3 : public GUIComposite {
 public:
  // The number a button's event name "*cascade*0" stands for.
  static constexpr int32_t kCascadeEvent = kChipCascadeEvent;

  // Built for 800 x 600 with the default configuration.
  explicit MessageWindow3(XGBase* owner);
  ~MessageWindow3() override;

  bool isDrawable() override { return static_cast<bool>(background_) && !hiddenByUser_; }
  void draw() override;
  // The background picture, at the window's place.
  bool paintExtent(ScreenArea* area) override;
  bool hitTestPrecise(int32_t, int32_t) override { return hiddenByUser_; }
  bool onMouseButton(const MouseEvent& event, bool pressed) override;

  // Copies the configuration (null: the default one) and builds the window
  // for the owner's size (800 x 600 while it has none).
  void setConfig(const Config::MessageWindowConfig* config);
  // Lays out the text and reveals it; speed below 1 shows it all at once.
  void setText(std::u16string_view text, int32_t speed);
  // Clears the text and the texts kept since the last clear.
  void clearText();
  // The texts shown since the last clear, as laid out.
  const std::vector<LaidOutText>& shownTexts() const { return shown_; }

  // Preset < 0: (x, y); 0 or one without a position: the configured place;
  // k: the k-th preset. setPosition goes at once (ending a slide), moveTo
  // slides over duration ms with easing 0 linear, 1 ease-out, other ease-in.
  void setPosition(int32_t preset, int32_t x, int32_t y);
  void moveTo(int32_t preset, int32_t x, int32_t y, int32_t ignored, int32_t duration, int32_t easing);
  void tickMove(float t);
  bool isMoving() const { return timer_.isRunning(); }

  void setHiddenByUser(bool hidden);
  bool hiddenByUser() const { return hiddenByUser_; }
  // A button's event: < 0 toggles hidden-by-user mode; >= 1 leaves it and
  // posts the event when enabled; 0 nothing.
  void onChipClicked(int32_t event);
  // Enables or disables the buttons that raise this event.
  void setChipEventEnabled(int32_t code, bool enabled);

  TextArea3* textArea() const { return area_; }
  Panel* panel() const { return panel_; }
  const Config::MessageWindowConfig& config() const { return config_; }
  int32_t charsPerLine() const { return charsPerLine_; }
  const std::vector<MessageWindow3_local::MyXGChip*>& shownChips() const { return chips_; }
  const std::vector<MessageWindow3_local::MyXGChip*>& hiddenModeChips() const { return hiddenChips_; }

 protected:
  void onChildRemoved(GUIComponent* child) override;

 private:
  void build(int32_t width, int32_t height);
  void presetPosition(int32_t preset, int32_t x, int32_t y, int32_t* outX, int32_t* outY) const;
  void endSlide();
  // Moves the window (its background and panel) to (x, y).
  void placeAt(int32_t x, int32_t y);
  void makeChips(const std::vector<Config::ControlPointConfig>& entries, bool hiddenMode);

  XGBase* owner_;
  Config::MessageWindowConfig config_;
  int32_t x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  int32_t startX_ = 0, startY_ = 0, targetX_ = 0, targetY_ = 0;
  int32_t easing_ = 0;
  int32_t charsPerLine_ = 44;
  Panel* panel_ = nullptr;
  ZEPTextureRef background_;
  TextArea3* area_ = nullptr;
  GUIColorRect* amikake_ = nullptr;
  std::vector<MessageWindow3_local::MyXGChip*> chips_;
  std::vector<MessageWindow3_local::MyXGChip*> hiddenChips_;
  bool hiddenByUser_ = false;
  GUIComponent* previousKeyListener_ = nullptr;
  std::u16string text_;
  std::vector<LaidOutText> shown_;
  MyTimer<MessageWindow3> timer_;
};
