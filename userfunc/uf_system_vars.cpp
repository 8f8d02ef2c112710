// Built-ins 4100-4132: the saved string variables, the system variables,
// the configuration constants and the view flags, as thin accessors of the
// game state.
#include "gamestate/state_mgr.h"
#include "userfunc/userfunc_impl.h"

// (key, text): only a string is stored as given; anything else stores the
// empty text.
std::unique_ptr<UFResult> UserfuncImpl::uf_set_play_string(const Args& args) {
  stateMgr().setPlayString(intArg(args, 0), stringOnlyArg(args, 1));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_get_sysflag_int(const Args& args) {
  return make_value_ufresult(stateMgr().getSysflagInt(intArg(args, 0)));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_set_sysflag_int(const Args& args) {
  stateMgr().setSysflagInt(intArg(args, 0), intArg(args, 1));
  return make_zero_ufresult();
}

// (key, target string variable)
std::unique_ptr<UFResult> UserfuncImpl::uf_get_sysflag_string(const Args& args) {
  stateMgr().setPlayString(intArg(args, 1), stateMgr().getSysflagString(intArg(args, 0), u""));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_set_sysflag_string(const Args& args) {
  stateMgr().setSysflagString(intArg(args, 0), getStringArg(args, 1));
  return make_zero_ufresult();
}

// (key, default)
std::unique_ptr<UFResult> UserfuncImpl::uf_get_flag_constant(const Args& args) {
  return make_value_ufresult(stateMgr().getFlagConstant(intArg(args, 0), intArg(args, 1)));
}

// (key, target string variable)
std::unique_ptr<UFResult> UserfuncImpl::uf_get_string_constant(const Args& args) {
  stateMgr().setPlayString(intArg(args, 1), stateMgr().getStringConstant(intArg(args, 0), u""));
  return make_zero_ufresult();
}

// (kind, id) -> 1 when set, else 0
std::unique_ptr<UFResult> UserfuncImpl::uf_is_view_flag_set(const Args& args) {
  return make_value_ufresult(stateMgr().isViewFlagSet(intArg(args, 0), intArg(args, 1)) != 0 ? 1 : 0);
}

// (kind, id, flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_set_view_flag(const Args& args) {
  stateMgr().setViewFlag(intArg(args, 0), intArg(args, 1), flagArg(args, 2) ? 1 : 0);
  return make_zero_ufresult();
}

// (first kind, last kind)
std::unique_ptr<UFResult> UserfuncImpl::uf_clear_view_flags(const Args& args) {
  stateMgr().clearViewFlagKinds(intArg(args, 0), intArg(args, 1));
  return make_zero_ufresult();
}
