// The scene commands the rest of the engine uses: flat functions over the
// one scene, so built-ins and the game state hold no screen object. The
// scene installs its SceneFacade at set-up; without one (before start-up, in
// tools without a screen) commands do nothing and queries report nothing
// running. Main thread.
#pragma once

#include <cstdint>

class SceneFacade {
 public:
  virtual ~SceneFacade() = default;

  // Message window.
  virtual bool msgIsTextDisplaying() = 0;
  virtual void msgFinishText() = 0;
  virtual void msgSetKeyWaitIcon(int32_t kind) = 0;
  virtual void msgSetPosition(int32_t preset, int32_t x, int32_t y) = 0;
  // Foreground cells.
  virtual void fgFinishCellEffect(int32_t cell) = 0;
  // The enable mask of application events.
  virtual void setAppEventEnabled(int32_t code, bool on) = 0;
  // Whether fader 1 or 2 is fading; *parameter := the running fade's
  // parameter.
  virtual bool faderIsFading(int32_t fader, int32_t* parameter) = 0;
};

// Installs the scene's facade (null removes it); returns the previous one.
SceneFacade* SetSceneFacade(SceneFacade* facade);

bool sceneMsg_isTextDisplaying(bool* displaying);
// Reveals the whole message text at once.
bool sceneMsg_finishText();
// n >= 0 shows key-wait icon n after the revealed text; n < 0 hides it.
bool sceneMsg_setKeyWaitIcon(int32_t n);
// Places the window at preset n, or at (x, y) when n < 0, ending a move.
bool sceneMsg_setPosition(int32_t n, int32_t x, int32_t y);
bool sceneFG_finishCellEffect(int32_t cell);
bool sceneSetAppEventEnabled(int32_t code, bool on);

// Whether fader 1 (2) is fading, and the parameter of its running fade.
bool faderWaitStatus1(int32_t* parameter);
bool faderWaitStatus2(int32_t* parameter);
