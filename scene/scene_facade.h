// The scene commands the rest of the engine uses: flat functions over the
// one scene, so built-ins and the game state hold no screen object. The
// scene installs its SceneFacade at set-up; without one (before start-up, in
// tools without a screen) commands do nothing and queries report nothing
// running. Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct LaidOutText;

namespace Config {
struct MenuConfigEntry;
struct MessageWindowConfig;
struct SelectWindow;
}  // namespace Config

// The eleven fields of a foreground cell, as scripts give and saves keep
// them: anchor code, x, y, width, height, source x, y, width, height,
// opacity, z-order.
using CellFields = std::array<int32_t, 11>;

class SceneFacade {
 public:
  virtual ~SceneFacade() = default;

  // Background.
  virtual void bgChangePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                               int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                               int32_t easing, int32_t fade, int32_t extra) {
    (void)kind, (void)picture, (void)sourceX, (void)sourceY, (void)sourceWidth, (void)sourceHeight;
    (void)duration, (void)direction, (void)easing, (void)fade, (void)extra;
  }
  virtual void bgEffect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) {
    (void)kind, (void)duration, (void)p1, (void)p2, (void)p3;
  }
  virtual void bgMove(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                      int32_t duration, int32_t ignored, int32_t easing) {
    (void)kind, (void)sourceX, (void)sourceY, (void)sourceWidth, (void)sourceHeight, (void)duration;
    (void)ignored, (void)easing;
  }
  virtual void bgFinishEffect() {}

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
  // Foreground cells. A change makes the cell when it does not exist; the
  // others leave a missing cell alone.
  virtual void fgChangeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                            int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance) {
    (void)cell, (void)kind, (void)picture, (void)fields, (void)duration, (void)direction, (void)easing;
    (void)fade, (void)distance;
  }
  virtual void fgCellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                            int32_t p4) {
    (void)cell, (void)kind, (void)duration, (void)p1, (void)easing, (void)p3, (void)p4;
  }
  virtual void fgMoveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                          int32_t easing) {
    (void)cell, (void)kind, (void)fields, (void)duration, (void)ignored, (void)easing;
  }
  virtual void fgFinishCellEffect(int32_t cell) = 0;
  virtual void fgRemoveCell(int32_t cell) { (void)cell; }
  virtual void fgRemoveAllCells() {}
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
  // Choice list 0 filled from the configuration with one item per
  // (identifier, text), the flag stored, shown, and given the keys.
  virtual void selectShow(const Config::SelectWindow& config, int32_t flag,
                          const std::vector<std::pair<std::u16string, std::u16string>>& choices, bool cancelAllowed) {
    (void)config;
    (void)flag;
    (void)choices;
    (void)cancelAllowed;
  }
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
// The background: a picture change with a transition (kinds 0, 10, 20-23),
// an effect (100 flash, 101 shake), a move of the framed part (201), and the
// end of whatever runs.
bool sceneBG_changePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                           int32_t easing, int32_t fade, int32_t extra);
bool sceneBG_effect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3);
bool sceneBG_move(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                  int32_t duration, int32_t ignored, int32_t easing, int32_t extra1, int32_t extra2);
bool sceneBG_finishEffect();
// Foreground cell n: changed (made when missing), given an effect, moved,
// its effect ended, removed; or every cell removed.
bool sceneFG_changeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                        int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance);
bool sceneFG_cellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                        int32_t p4);
bool sceneFG_moveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                      int32_t easing, int32_t extra1, int32_t extra2);
bool sceneFG_finishCellEffect(int32_t cell);
bool sceneFG_removeCell(int32_t cell);
bool sceneFG_removeAllCells();
bool sceneSetAppEventEnabled(int32_t code, bool on);

// The menu window. The unused flag is accepted and has no effect.
bool sceneMenu_setUnusedFlag(bool on);
bool sceneMenu_setAutoHide(bool on);
bool sceneMenu_show(bool visible, bool animated, bool byAutoHide);

// Whether fader 1 (2) is fading, and the parameter of its running fade.
bool faderWaitStatus1(int32_t* parameter);
bool faderWaitStatus2(int32_t* parameter);
