// Built-ins 2020-2023 and 2026: the message window's configuration,
// visibility, the end of the current message, a saved string shown as a
// message, and moving the window. What a save must restore is recorded in
// the presentation state (user mode only); the window is reached through
// the scene facade.
#include <limits>

#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/finalizers.h"
#include "userfunc/scene_config.h"
#include "userfunc/userfunc_impl.h"

// (configuration number, default -1): ends the message, so that the next
// "clear" logs again, and switches the window.
std::unique_ptr<UFResult> UserfuncImpl::uf_msgwin_config(const Args& args) {
  const int32_t n = intArg(args, 0, -1);
  logAndClearText(0);
  if (lastLoggedLineId_ > std::numeric_limits<int32_t>::min()) --lastLoggedLineId_;
  StateMgr& state = stateMgr();
  state.setSavedMsgwinCfgno(n);
  state.setSavedMsgwinPos(0, 0, 0);
  setMsgwinConfig(n);
  return make_zero_ufresult();
}

// (visible)
std::unique_ptr<UFResult> UserfuncImpl::uf_msgwin_visible(const Args& args) {
  const int32_t visible = intArg(args, 0);
  stateMgr().setSavedMsgwinVisible(visible);
  sceneMsg_setVisible(visible != 0);
  return make_zero_ufresult();
}

// (string-variable number or text, line id): shown like a line of text;
// nothing without an argument.
std::unique_ptr<UFResult> UserfuncImpl::uf_msgwin_show_string(const Args& args) {
  if (!hasArg(args, 0)) return make_zero_ufresult();
  const APValue& source = args[0];
  if (!source.isInt() || source.ivalue < 0) return uf_text(args);
  Args text;
  text.push_back(APValue(stateMgr().getPlayString(source.ivalue, u"")));
  if (args.size() > 1) text.push_back(args[1]);
  return uf_text(text);
}

// (clear mode)
std::unique_ptr<UFResult> UserfuncImpl::uf_msgwin_clear(const Args& args) {
  logAndClearText(intArg(args, 0));
  return make_zero_ufresult();
}

// (preset, x, y, movement kind, duration ms, wait mode, easing): kind 0
// places the window at once, any other kind slides it.
std::unique_ptr<UFResult> UserfuncImpl::uf_msgwin_move(const Args& args) {
  const int32_t preset = intArg(args, 0);
  const int32_t x = intArg(args, 1);
  const int32_t y = intArg(args, 2);
  int32_t kind = intArg(args, 3);
  int32_t duration = intArg(args, 4);
  int32_t mode = intArg(args, 5);
  const int32_t easing = intArg(args, 6);
  stateMgr().setSavedMsgwinPos(preset, x, y);

  if (kind == 0 || duration < 1) kind = duration = 0;
  bool yield = false;
  if (normalizeWaitMode(mode, kind, duration, yield)) stopSkipForEffect();
  if (kind != 0 && duration >= 1) {
    sceneMsg_moveTo(preset, x, y, kind, duration, easing);
    return make_modewait_ufresult(mode, duration, yield, Make_MsgwinSetposFinishFinalizer(preset, x, y));
  }
  sceneMsg_setPosition(preset, x, y);
  return yield ? make_nextframe_ufresult() : make_zero_ufresult();
}
