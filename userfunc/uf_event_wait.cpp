// Built-ins 4000-4002: wait for input or engine events, give up the rest of
// the frame, switch single application events on or off.
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/userfunc_impl.h"

// (mask, time-out ms (negative: none), skip mode): skip mode 1 passes one
// frame instead of waiting under skip; 3 ends message skip.
std::unique_ptr<UFResult> UserfuncImpl::uf_wait_event(const Args& args) {
  const int32_t mask = intArg(args, 0);
  const int32_t timeout = intArg(args, 1);
  const int32_t skipMode = intArg(args, 2);
  if (skipMode == 1 && isSkipActive()) return make_nextframe_ufresult();
  if (skipMode == 3 && isSkipActive() && stateMgr().isSkipping()) stopSkipForEffect();
  if (timeout < 0) return make_waitforevent_ufresult(mask, -1, -1, nullptr);
  return make_waitforevent_in_ufresult(mask, timeout, nullptr);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_yield(const Args&) { return make_yield_ufresult(); }

// (application event code, flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_enable_app_event(const Args& args) {
  sceneSetAppEventEnabled(intArg(args, 0), flagArg(args, 1));
  return make_zero_ufresult();
}
