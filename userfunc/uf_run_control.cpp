// Built-ins 6000-6003 and 6007: steer the run. Each answers 0 and hands the
// scheduler an event: end the run (8), enter a system script (50), restore
// the saved system frames (51), return from a system script (52, or 53
// keeping a way back), or any code the scheduler knows.
#include "app/log.h"
#include "userfunc/userfunc_impl.h"

std::unique_ptr<UFResult> UserfuncImpl::make_runcontrol_ufresult(int32_t code, int32_t parameter) {
  auto r = std::make_unique<UFResult>();
  r->kind = UFResult::kValueAndEvent;
  r->value = 0;
  r->location.code = code;
  r->location.param = parameter;
  return r;
}

std::unique_ptr<UFResult> UserfuncImpl::uf_sys_quit(const Args&) {
  LogWrite(LOG_TRACE, u"sys_quit : 終了します\n");
  return make_runcontrol_ufresult(8, 0);
}

// (script number)
std::unique_ptr<UFResult> UserfuncImpl::uf_sys_call(const Args& args) {
  return make_runcontrol_ufresult(50, intArg(args, 0));
}

// (story scenario, or -1 to resume the story; keep-a-way-back flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_sys_return(const Args& args) {
  return make_runcontrol_ufresult(intArg(args, 1) != 0 ? 53 : 52, intArg(args, 0));
}

// (event code, parameter)
std::unique_ptr<UFResult> UserfuncImpl::uf_sys_raise(const Args& args) {
  return make_runcontrol_ufresult(intArg(args, 0), intArg(args, 1));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_sys_resume_saved(const Args&) { return make_runcontrol_ufresult(51, 0); }
