// Built-ins 2070-2072 and 2150-2152: clear, fade and finish the two
// full-screen faders. Fader 1's colour is recorded for saves (user mode
// only), fader 2's is not. A fade the script waits for ends when the fader
// stops fading, or on the confirm input unless the wait is forced; its
// finalizer always leaves the fader at its target colour.
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "userfunc/finalizers.h"
#include "userfunc/userfunc_impl.h"

namespace {

struct FaderOps {
  bool (*start)(int32_t r, int32_t g, int32_t b, int32_t a, int32_t time, int32_t parameter);
  bool (*finish)();
  int32_t (UserfuncImpl::*nextId)();
  int32_t waitBit;  // the event-wait mask bit "this fader no longer fades"
};

constexpr FaderOps kFader1{faderStart1, faderFinish1, &UserfuncImpl::nextFade1Id, 0x100};
constexpr FaderOps kFader2{faderStart2, faderFinish2, &UserfuncImpl::nextFade2Id, 0x8000};
constexpr int32_t kConfirmBit = 0x1;

// (red, green, blue, alpha 0..255, time ms, wait mode): the fade, fitted to
// the skip state. Under skip a mode 0 or 1 fade shows its end colour at
// once (a timed one still lets a frame pass); a forced one (2, 3) waits and
// ends message skip. A timed fade carries the fader's next id, others 0.
std::unique_ptr<UFResult> Fade(UserfuncImpl& self, const FaderOps& fader, const UserfuncImpl::Args& args) {
  const int32_t r = UserfuncImpl::intArg(args, 0), g = UserfuncImpl::intArg(args, 1);
  const int32_t b = UserfuncImpl::intArg(args, 2), a = UserfuncImpl::intArg(args, 3);
  const int32_t time = UserfuncImpl::intArg(args, 4);
  const UserfuncImpl::WaitFit fit = self.fitWaitMode(UserfuncImpl::intArg(args, 5), time > 0);
  if (fit.stopSkip) self.stopSkipForEffect();
  const bool immediate = fit.atOnce || time < 1;
  const int32_t id = time > 0 ? (self.*fader.nextId)() : 0;
  fader.start(r, g, b, a, time, id);
  if (immediate) {
    fader.finish();
    return fit.yield ? UserfuncImpl::make_nextframe_ufresult() : UserfuncImpl::make_zero_ufresult();
  }
  const int32_t mask = fader.waitBit | (fit.mode == 2 ? 0 : kConfirmBit);
  return self.make_waitforevent_ufresult(mask, -1, -1, Make_GenericCallFinalizer(fader.finish));
}

}  // namespace

std::unique_ptr<UFResult> UserfuncImpl::uf_fader1_clear(const Args&) {
  stateMgr().clearSavedFader();
  faderClear1();
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fader1_fade(const Args& args) {
  // A negative time leaves the fader transparent: a load must not bring
  // the colour back.
  if (intArg(args, 4) < 0) {
    stateMgr().clearSavedFader();
  } else {
    stateMgr().setSavedFader(intArg(args, 0), intArg(args, 1), intArg(args, 2), intArg(args, 3));
  }
  return Fade(*this, kFader1, args);
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fader1_finish(const Args&) {
  faderFinish1();
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fader2_clear(const Args&) {
  faderClear2();
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_fader2_fade(const Args& args) { return Fade(*this, kFader2, args); }

std::unique_ptr<UFResult> UserfuncImpl::uf_fader2_finish(const Args&) {
  faderFinish2();
  return make_zero_ufresult();
}
