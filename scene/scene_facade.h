// The scene commands the rest of the engine uses: flat functions over the
// one scene, so built-ins and the game state hold no screen object. The
// scene installs its SceneFacade at set-up; without one (before start-up, in
// tools without a screen) commands do nothing and queries report nothing
// running. Main thread.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

struct LaidOutText;

namespace Config {
struct MenuConfigEntry;
struct MessageWindowConfig;
}  // namespace Config

class SceneFacade {
 public:
  virtual ~SceneFacade() = default;

  // Message window.
  virtual bool msgIsTextDisplaying() = 0;
  virtual void msgFinishText() = 0;
  virtual void msgSetKeyWaitIcon(int32_t kind) = 0;
  virtual void msgSetPosition(int32_t preset, int32_t x, int32_t y) = 0;
  virtual void msgShowText(std::u16string_view text, int32_t mode) {
    (void)text;
    (void)mode;
  }
  virtual void msgClearText() {}
  virtual void msgGetTextLines(std::vector<LaidOutText>* out) { (void)out; }
  virtual void msgSetVisible(bool on) { (void)on; }
  virtual void msgMoveTo(int32_t preset, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) {
    (void)preset;
    (void)x;
    (void)y;
    (void)kind;
    (void)duration;
    (void)easing;
  }
  // Foreground cells.
  virtual void fgFinishCellEffect(int32_t cell) = 0;
  // The enable mask of application events.
  virtual void setAppEventEnabled(int32_t code, bool on) = 0;
  // Whether fader 1 or 2 is fading; *parameter := the running fade's
  // parameter.
  virtual bool faderIsFading(int32_t fader, int32_t* parameter) = 0;

  // The windows that follow configurations. Until a window exists in the
  // scene these do nothing.
  // Menu: a null entry gives the default menu.
  virtual void menuSetConfig(const Config::MenuConfigEntry* entry) { (void)entry; }
  virtual void menuSetAutoHide(bool on) { (void)on; }
  virtual void menuShow(bool visible, bool animated, bool byAutoHide) {
    (void)visible;
    (void)animated;
    (void)byAutoHide;
  }
  // Message window: null gives a window without configuration.
  virtual void msgSetConfig(const Config::MessageWindowConfig* config) { (void)config; }
  // Applies the whole application-event mask to the windows' buttons again.
  virtual void applyAppEventMask() {}
  // Choice list 0: emptied and hidden; the GUI root takes the keys again.
  virtual void selectClear() {}
};

// Installs the scene's facade (null removes it); returns the previous one.
SceneFacade* SetSceneFacade(SceneFacade* facade);
// The installed facade, or null.
SceneFacade* CurrentSceneFacade();

bool sceneMsg_isTextDisplaying(bool* displaying);
// Reveals the whole message text at once.
bool sceneMsg_finishText();
// n >= 0 shows key-wait icon n after the revealed text; n < 0 hides it.
bool sceneMsg_setKeyWaitIcon(int32_t n);
// Places the window at preset n, or at (x, y) when n < 0, ending a move.
bool sceneMsg_setPosition(int32_t n, int32_t x, int32_t y);
// Lays out a message text with its markup and starts revealing it; mode is
// the display speed (below 1: all at once).
bool sceneMsg_showText(std::u16string_view text, int32_t mode);
// Clears the message text (and the texts kept since the last clear).
bool sceneMsg_clearText();
// *out := the texts shown since the last clear, as laid out.
bool sceneMsg_getTextLines(std::vector<LaidOutText>* out);
// Shows or hides the message layer.
bool sceneMsg_setVisible(bool on);
// Slides the window to preset n, or to (x, y) when n < 0, over duration ms
// with easing 0 linear, 1 ease-out, other ease-in; kind is not read.
bool sceneMsg_moveTo(int32_t n, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing);
bool sceneFG_finishCellEffect(int32_t cell);
bool sceneSetAppEventEnabled(int32_t code, bool on);

// The menu window. The unused flag is accepted and has no effect.
bool sceneMenu_setUnusedFlag(bool on);
bool sceneMenu_setAutoHide(bool on);
bool sceneMenu_show(bool visible, bool animated, bool byAutoHide);

// Whether fader 1 (2) is fading, and the parameter of its running fade.
bool faderWaitStatus1(int32_t* parameter);
bool faderWaitStatus2(int32_t* parameter);
