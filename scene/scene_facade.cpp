#include "scene/scene_facade.h"

#include "scene/line_layout.h"

namespace {

SceneFacade* g_facade = nullptr;

}  // namespace

SceneFacade* SetSceneFacade(SceneFacade* facade) {
  SceneFacade* previous = g_facade;
  g_facade = facade;
  return previous;
}

bool sceneMsg_isTextDisplaying(bool* displaying) {
  *displaying = g_facade && g_facade->msgIsTextDisplaying();
  return true;
}

bool sceneMsg_finishText() {
  if (g_facade) g_facade->msgFinishText();
  return true;
}

bool sceneMsg_setKeyWaitIcon(int32_t n) {
  if (g_facade) g_facade->msgSetKeyWaitIcon(n);
  return true;
}

bool sceneMsg_setPosition(int32_t n, int32_t x, int32_t y) {
  if (g_facade) g_facade->msgSetPosition(n, x, y);
  return true;
}

bool sceneMsg_showText(std::u16string_view text, int32_t mode) {
  if (g_facade) g_facade->msgShowText(text, mode);
  return true;
}

bool sceneMsg_clearText() {
  if (g_facade) g_facade->msgClearText();
  return true;
}

bool sceneMsg_getTextLines(std::vector<LaidOutText>* out) {
  out->clear();
  if (g_facade) g_facade->msgGetTextLines(out);
  return true;
}

bool sceneMsg_setVisible(bool on) {
  if (g_facade) g_facade->msgSetVisible(on);
  return true;
}

bool sceneMsg_moveTo(int32_t n, int32_t x, int32_t y, int32_t kind, int32_t duration, int32_t easing) {
  if (g_facade) g_facade->msgMoveTo(n, x, y, kind, duration, easing);
  return true;
}

bool sceneBG_changePicture(int32_t kind, std::u16string_view picture, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight, int32_t duration, int32_t direction,
                           int32_t easing, int32_t fade, int32_t extra) {
  if (g_facade) {
    g_facade->bgChangePicture(kind, picture, sourceX, sourceY, sourceWidth, sourceHeight, duration, direction,
                              easing, fade, extra);
  }
  return true;
}

bool sceneBG_effect(int32_t kind, int32_t duration, int32_t p1, int32_t p2, int32_t p3) {
  if (g_facade) g_facade->bgEffect(kind, duration, p1, p2, p3);
  return true;
}

bool sceneBG_move(int32_t kind, int32_t sourceX, int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                  int32_t duration, int32_t ignored, int32_t easing, int32_t, int32_t) {
  if (g_facade) g_facade->bgMove(kind, sourceX, sourceY, sourceWidth, sourceHeight, duration, ignored, easing);
  return true;
}

bool sceneBG_finishEffect() {
  if (g_facade) g_facade->bgFinishEffect();
  return true;
}

bool sceneFG_changeCell(int32_t cell, int32_t kind, std::u16string_view picture, const CellFields& fields,
                        int32_t duration, int32_t direction, int32_t easing, int32_t fade, int32_t distance) {
  if (g_facade) g_facade->fgChangeCell(cell, kind, picture, fields, duration, direction, easing, fade, distance);
  return true;
}

bool sceneFG_cellEffect(int32_t cell, int32_t kind, int32_t duration, int32_t p1, int32_t easing, int32_t p3,
                        int32_t p4) {
  if (g_facade) g_facade->fgCellEffect(cell, kind, duration, p1, easing, p3, p4);
  return true;
}

bool sceneFG_moveCell(int32_t cell, int32_t kind, const CellFields& fields, int32_t duration, int32_t ignored,
                      int32_t easing, int32_t, int32_t) {
  if (g_facade) g_facade->fgMoveCell(cell, kind, fields, duration, ignored, easing);
  return true;
}

bool sceneFG_removeCell(int32_t cell) {
  if (g_facade) g_facade->fgRemoveCell(cell);
  return true;
}

bool sceneFG_removeAllCells() {
  if (g_facade) g_facade->fgRemoveAllCells();
  return true;
}

bool sceneFG_finishCellEffect(int32_t cell) {
  if (g_facade) g_facade->fgFinishCellEffect(cell);
  return true;
}

bool sceneSetAppEventEnabled(int32_t code, bool on) {
  if (g_facade) g_facade->setAppEventEnabled(code, on);
  return true;
}

bool sceneMenu_setUnusedFlag(bool) { return true; }

bool sceneMenu_setAutoHide(bool on) {
  if (g_facade) g_facade->menuSetAutoHide(on);
  return true;
}

bool sceneMenu_show(bool visible, bool animated, bool byAutoHide) {
  if (g_facade) g_facade->menuShow(visible, animated, byAutoHide);
  return true;
}

SceneFacade* CurrentSceneFacade() { return g_facade; }

static bool faderWaitStatus(int32_t fader, int32_t* parameter) {
  int32_t p = 0;
  const bool fading = g_facade && g_facade->faderIsFading(fader, &p);
  if (parameter) *parameter = p;
  return fading;
}

bool faderWaitStatus1(int32_t* parameter) { return faderWaitStatus(1, parameter); }
bool faderWaitStatus2(int32_t* parameter) { return faderWaitStatus(2, parameter); }
