// Built-ins 2040-2044: the menu's configuration, its enable flag (kept for
// saves, nothing on screen), auto-hide mode, and showing or hiding it. The
// menu records of the presentation state are written in every run mode; an
// auto-hide request (2044) is the menu's own affair and is not recorded.
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/scene_config.h"
#include "userfunc/userfunc_impl.h"

// (configuration number)
std::unique_ptr<UFResult> UserfuncImpl::uf_menu_config(const Args& args) {
  const int32_t n = intArg(args, 0);
  stateMgr().setSavedMenuCfgno(n);
  setMenuConfig(n);
  return make_zero_ufresult();
}

// (enable flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_menu_enable(const Args& args) {
  const bool on = flagArg(args, 0);
  stateMgr().setSavedMenuEnable(on);
  sceneMenu_setUnusedFlag(on);
  return make_zero_ufresult();
}

// (auto-hide flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_menu_autohide(const Args& args) {
  const bool on = flagArg(args, 0);
  stateMgr().setSavedMenuAutohide(on);
  sceneMenu_setAutoHide(on);
  return make_zero_ufresult();
}

// (show flag, animated flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_menu_show(const Args& args) {
  const bool show = flagArg(args, 0);
  stateMgr().setSavedMenuShow(show);
  sceneMenu_show(show, flagArg(args, 1), false);
  return make_zero_ufresult();
}

// (open flag, animated flag): opens or closes the strip as the pointer
// would; nothing while auto-hide mode is off.
std::unique_ptr<UFResult> UserfuncImpl::uf_menu_autohide_show(const Args& args) {
  sceneMenu_show(flagArg(args, 0), flagArg(args, 1), true);
  return make_zero_ufresult();
}
