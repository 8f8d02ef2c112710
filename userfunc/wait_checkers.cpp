// The checkers behind the wait makers of UserfuncImpl: each sees every event
// of its wait, ends it (running its finalizer) or turns it into another
// wait, which then takes the finalizer over. Main thread.
#include "userfunc/wait_checkers.h"

#include <algorithm>

#include "app/log.h"
#include "app/timer.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "sound/sound_glue.h"
#include "userfunc/text_format.h"
#include "userfunc/userfunc_impl.h"

bool isInputDown(const VMEvent& event) {
  if (event.code == 40) {
    const KeyEvent* key = EventAs<KeyEvent>(event.event.get());
    return key && key->action == KeyEvent::kDown;
  }
  if (event.code == 41) {
    const MouseEvent* mouse = EventAs<MouseEvent>(event.event.get());
    return mouse && (mouse->action & MouseEvent::kPress) != 0;
  }
  return false;
}

int32_t parameterOf(const VMEvent& event) { return event.event ? event.event->parameter() : event.param; }

bool isInputUp(const VMEvent& event) {
  if (event.code == 40) {
    const KeyEvent* key = EventAs<KeyEvent>(event.event.get());
    return !key || key->action != KeyEvent::kDown;
  }
  if (event.code == 41) {
    const MouseEvent* mouse = EventAs<MouseEvent>(event.event.get());
    return mouse && (mouse->action & MouseEvent::kRelease) != 0;
  }
  return false;
}

namespace {

int64_t now() { return GetTimerManager()->now(); }

// now + ms; a negative ms gives a deadline already in the past.
int64_t deadlineAfter(int32_t ms) { return now() + ms; }

// A wait with a deadline needs the frame that passes it, whether or not
// anything else runs a frame before (the main loop otherwise sleeps until
// input comes): asked for once, when the deadline is set. A negative
// deadline is none.
void wakeAfter(int64_t deadline) {
  if (deadline >= 0) GetTimerManager()->requestWake(deadline + 1);
}

// How often a wait looks at a sound channel it waits to fall idle: the
// sound output tells the main loop nothing when a sound ends.
constexpr int64_t kSoundLookMs = 50;

void lookAtSoundsSoon() { GetTimerManager()->requestWake(now() + kSoundLookMs); }

void showKeyWait(StateMgr& state, int32_t icon) {
  state.setSavedMsgwinKeywait(icon);
  sceneMsg_setKeyWaitIcon(icon);
}

void clearKeyWait(StateMgr& state) { showKeyWait(state, -1); }

bool textDisplaying() {
  bool displaying = false;
  sceneMsg_isTextDisplaying(&displaying);
  return displaying;
}

int32_t sfxState(int32_t channel) {
  int32_t state = 0;
  SoundSfxGetState(channel, state);
  return state;
}

class WaitChecker : public Checker {
 protected:
  WaitChecker(UserfuncImpl& owner, std::unique_ptr<WaitFinalizer> finalizer)
      : owner_(owner), finalizer_(std::move(finalizer)) {}

  StateMgr& state() const { return owner_.stateMgr(); }

  // Runs the finalizer (once) and ends the wait with the value.
  std::unique_ptr<UFResult> endWith(int32_t value) {
    if (std::unique_ptr<WaitFinalizer> finalizer = std::move(finalizer_)) finalizer->finish();
    return UserfuncImpl::make_value_ufresult(value);
  }
  // Hands the finalizer to the wait that replaces this one.
  std::unique_ptr<WaitFinalizer> takeFinalizer() { return std::move(finalizer_); }

  UserfuncImpl& owner_;
  std::unique_ptr<WaitFinalizer> finalizer_;
};

class ToNextOkChecker : public WaitChecker {
 public:
  ToNextOkChecker(UserfuncImpl& owner, int64_t deadline, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), deadline_(deadline) {
    wakeAfter(deadline_);
  }

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (owner_.isSkipActive() || event.code == 16 || now() > deadline_) return endWith(0);
    return nullptr;
  }

 private:
  int64_t deadline_;
};

class ForceWaitChecker : public WaitChecker {
 public:
  ForceWaitChecker(UserfuncImpl& owner, int64_t deadline, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), deadline_(deadline) {
    wakeAfter(deadline_);
  }

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (state().isForceSkip() || now() > deadline_) return endWith(0);
    if (isInputDown(event)) {
      armed_ = true;
    } else if (armed_ && isInputUp(event)) {
      armed_ = false;
      state().setSkipping(0);
      state().setResumeSkip(0);
    }
    return nullptr;
  }

 private:
  int64_t deadline_;
  bool armed_ = false;
};

class KeyWaitChecker : public WaitChecker {
 public:
  KeyWaitChecker(UserfuncImpl& owner, int32_t icon, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), icon_(icon) {}

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (owner_.isSkipActive()) {
      sceneMsg_finishText();
      SoundSfxStop(UserfuncImpl::kVoiceChannel);
      clearKeyWait(state());
      return endWith(0);
    }
    if (owner_.isAutoActive()) return owner_.make_autowait_ufresult(icon_, owner_.autoWaitMs(), takeFinalizer());
    if (event.code == 16) {
      SoundSfxStop(UserfuncImpl::kVoiceChannel);
      clearKeyWait(state());
      return endWith(0);
    }
    return nullptr;
  }

 private:
  int32_t icon_;
};

class KeyOrTextDoneChecker : public WaitChecker {
 public:
  KeyOrTextDoneChecker(UserfuncImpl& owner, int32_t icon, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), icon_(icon) {}

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (owner_.isSkipActive()) {
      sceneMsg_finishText();
      SoundSfxStop(UserfuncImpl::kVoiceChannel);
      return endWith(0);
    }
    if (owner_.isAutoActive()) return owner_.make_autowait_ufresult(icon_, owner_.autoWaitMs(), takeFinalizer());
    if (event.code == 16) {
      sceneMsg_finishText();
      SoundSfxStop(UserfuncImpl::kVoiceChannel);
      return owner_.make_keywait_ufresult(icon_, takeFinalizer());
    }
    if (!textDisplaying() || event.code == 23) return owner_.make_keywait_ufresult(icon_, takeFinalizer());
    return nullptr;
  }

 private:
  int32_t icon_;
};

// The auto-mode waits: a press then a release leaves auto mode and turns the
// wait into a key wait.
class AutoChecker : public WaitChecker {
 protected:
  AutoChecker(UserfuncImpl& owner, int32_t icon, int32_t ms, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), icon_(icon), ms_(ms) {}

  // True when the player's press and release ended auto mode.
  bool leftAutoByInput(const VMEvent& event) {
    if (isInputDown(event)) {
      armed_ = true;
    } else if (armed_ && isInputUp(event)) {
      state().setAutoMode(0);
      clearKeyWait(state());
      return true;
    }
    return false;
  }

  int32_t icon_;
  int32_t ms_;
  bool armed_ = false;
};

class AutoWaitChecker : public AutoChecker {
 public:
  AutoWaitChecker(UserfuncImpl& owner, int32_t icon, int32_t ms, std::unique_ptr<WaitFinalizer> finalizer)
      : AutoChecker(owner, icon, ms, std::move(finalizer)) {}

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (owner_.isSkipActive()) {
      state().setAutoMode(0);
      sceneMsg_finishText();
      clearKeyWait(state());
      return endWith(0);
    }
    if (!textDisplaying() || event.code == 23) {
      return owner_.make_autowait_after_ufresult(icon_, ms_, takeFinalizer());
    }
    if (leftAutoByInput(event)) return owner_.make_keywait_ufresult(icon_, takeFinalizer());
    return nullptr;
  }
};

class AutoWaitAfterChecker : public AutoChecker {
 public:
  AutoWaitAfterChecker(UserfuncImpl& owner, int32_t icon, int32_t ms, int64_t deadline,
                       std::unique_ptr<WaitFinalizer> finalizer)
      : AutoChecker(owner, icon, ms, std::move(finalizer)), deadline_(deadline) {
    if (deadline_ < 0) {
      lookAtSoundsSoon();
    } else {
      wakeAfter(deadline_);
    }
  }

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (owner_.isSkipActive()) {
      state().setAutoMode(0);
      clearKeyWait(state());
      return endWith(0);
    }
    if (leftAutoByInput(event)) return owner_.make_keywait_ufresult(icon_, takeFinalizer());
    if (deadline_ < 0 && (event.code == 26 || sfxState(UserfuncImpl::kVoiceChannel) == 0)) {
      // The voice has ended: a short pause before the next line.
      showKeyWait(state(), icon_ + 2);
      deadline_ = now() + 100;
      wakeAfter(deadline_);
    }
    if (deadline_ < 0) {
      lookAtSoundsSoon();
    } else if (now() > deadline_) {
      clearKeyWait(state());
      return endWith(0);
    }
    return nullptr;
  }

 private:
  int64_t deadline_;  // negative while the voice plays
};

int32_t maskBitOf(int32_t code) {
  switch (code) {
    case 16: return 0x1;
    case 18: return 0x2;
    case 17: return 0x4;
    case 30: return 0x8;
    case 20: return 0x10;
    case 21: return 0x20;
    case 22: return 0x40;
    case 23: return 0x80;
    case 28: return 0x100;
    case 24: return 0x200;
    case 25: return 0x400;
    case 26: return 0x800;
    case 27: return 0x1000;
    case 40: return 0x2000;
    case 41: return 0x4000;
    case 42: return 0x8000;
    case 44: return 0x10000;
    default: return 0;
  }
}

// (key code x 4) + 0x10000, plus 1 for a press.
int32_t keyValue(const VMEvent& event) {
  const KeyEvent* key = EventAs<KeyEvent>(event.event.get());
  const uint32_t code = key ? key->virtualKey : 0;
  return static_cast<int32_t>(code * 4u + 0x10000u + (isInputDown(event) ? 1u : 0u));
}

// (((wheel step + 612) x 16 + button) x 16 + action; the step is the wheel
// distance / 10, at least 1 in magnitude, within -100..100; 0 without wheel.
int32_t mouseValue(const VMEvent& event) {
  const MouseEvent* mouse = EventAs<MouseEvent>(event.event.get());
  if (!mouse) return 0;
  int32_t step = 0;
  if (mouse->wheel != 0) {
    step = mouse->wheel / 10;
    if (step == 0) step = mouse->wheel > 0 ? 1 : -1;
    step = std::clamp(step, -100, 100);
  }
  return ((step + 612) * 16 + (mouse->button & 0xF)) * 16 + (mouse->action & 0xF);
}

class WaitForEventChecker : public WaitChecker {
  static constexpr int32_t kSoundBits = 0x400 | 0x800;  // the effect and voice channels fall idle

 public:
  WaitForEventChecker(UserfuncImpl& owner, int32_t mask, int64_t deadline, std::unique_ptr<WaitFinalizer> finalizer)
      : WaitChecker(owner, std::move(finalizer)), mask_(mask), deadline_(deadline) {
    wakeAfter(deadline_);
    if (mask_ & kSoundBits) lookAtSoundsSoon();
  }

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    StateMgr& s = state();
    if (!(mask_ & 0x2) && isInputDown(event)) {
      s.setSkipping(0);
      s.setResumeSkip(0);
    }
    if ((mask_ & 0x3) && s.isUserMode() && (s.isSkipping() || s.isForceSkip())) return endWith(16);
    if (mask_ == 0 && s.isForceSkip()) return endWith(18);
    if ((mask_ & 0x100) && !faderWaitStatus1(nullptr)) return endWith(28);
    if ((mask_ & 0x8000) && !faderWaitStatus2(nullptr)) return endWith(42);
    if ((mask_ & 0x800) && sfxState(UserfuncImpl::kVoiceChannel) == 0) return UserfuncImpl::make_value_ufresult(26);
    if ((mask_ & 0x400) && sfxState(UserfuncImpl::kEffectChannel) == 0) return UserfuncImpl::make_value_ufresult(25);

    const int32_t bit = maskBitOf(event.code);
    if (!(bit & mask_)) {
      if (deadline_ >= 0 && now() > deadline_) return endWith(0);
      if (mask_ & kSoundBits) lookAtSoundsSoon();
      return nullptr;
    }
    LogWrite(LOG_TRACE, u"Event occured!!(e:%d mask:%d)\n", bit, mask_);
    int32_t value = 0;
    switch (event.code) {
      case 16: case 18: case 20: case 21: case 22: case 23: case 24: case 25: case 26:
        value = event.code;
        break;
      case 17:
      case 44:
        if (const AppEvent* app = EventAs<AppEvent>(event.event.get())) value = ScanDecimal(app->text).value;
        break;
      case 30:
        if (const SelectedEvent* selected = EventAs<SelectedEvent>(event.event.get())) {
          value = ScanDecimal(selected->text).value;
        }
        break;
      case 40:
        value = keyValue(event);
        break;
      case 41:
        value = mouseValue(event);
        break;
      case 27:
        if (parameterOf(event) != owner_.movieId()) {
          LogWrite(LOG_DEBUG, u"MOVIEDONE : ignored(%d,%d)\n", parameterOf(event), owner_.movieId());
          return nullptr;
        }
        value = 27;
        break;
      case 28:
        // Both faders report code 28 and their fade ids count apart: only
        // fader 1 itself having finished ends a fader-1 wait.
        if (parameterOf(event) != owner_.lastFade1Id() || faderWaitStatus1(nullptr)) {
          LogWrite(LOG_DEBUG, u"ignored(%d,%d)\n", parameterOf(event), owner_.lastFade1Id());
          return nullptr;
        }
        value = 28;
        break;
      case 42:
        if (parameterOf(event) != owner_.lastFade2Id()) {
          LogWrite(LOG_DEBUG, u"ignored(%d,%d)\n", parameterOf(event), owner_.lastFade2Id());
          return nullptr;
        }
        value = 42;
        break;
      default:
        break;
    }
    return endWith(value);
  }

 private:
  int32_t mask_;
  int64_t deadline_;  // negative: none
};

}  // namespace

std::unique_ptr<UFResult> UserfuncImpl::makeresult_tonext_ok(int32_t ms, std::unique_ptr<WaitFinalizer> finalizer) {
  return make_wait_ufresult(std::make_unique<ToNextOkChecker>(*this, deadlineAfter(ms), std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::makeresult_forcewait(int32_t ms, std::unique_ptr<WaitFinalizer> finalizer) {
  return make_wait_ufresult(std::make_unique<ForceWaitChecker>(*this, deadlineAfter(ms), std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_keywait_ufresult(int32_t icon, std::unique_ptr<WaitFinalizer> finalizer) {
  showKeyWait(stateMgr(), icon);
  return make_wait_ufresult(std::make_unique<KeyWaitChecker>(*this, icon, std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_autowait_ufresult(int32_t icon, int32_t ms,
                                                               std::unique_ptr<WaitFinalizer> finalizer) {
  showKeyWait(stateMgr(), icon + 2);
  return make_wait_ufresult(std::make_unique<AutoWaitChecker>(*this, icon, ms, std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_autowait_after_ufresult(int32_t icon, int32_t ms,
                                                                     std::unique_ptr<WaitFinalizer> finalizer) {
  showKeyWait(stateMgr(), icon + 2);
  const int64_t deadline = sfxState(UserfuncImpl::kVoiceChannel) == 0 ? deadlineAfter(ms) : -1;
  return make_wait_ufresult(
      std::make_unique<AutoWaitAfterChecker>(*this, icon, ms, deadline, std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_key_or_textdone_wait_ufresult(int32_t icon,
                                                                           std::unique_ptr<WaitFinalizer> finalizer) {
  return make_wait_ufresult(std::make_unique<KeyOrTextDoneChecker>(*this, icon, std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_waitforevent_ufresult(int32_t mask, int32_t deadlineLow,
                                                                   int32_t deadlineHigh,
                                                                   std::unique_ptr<WaitFinalizer> finalizer) {
  const int64_t deadline = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(deadlineHigh)) << 32) |
                                                static_cast<uint32_t>(deadlineLow));
  return make_wait_ufresult(std::make_unique<WaitForEventChecker>(*this, mask, deadline, std::move(finalizer)));
}

std::unique_ptr<UFResult> UserfuncImpl::make_waitforevent_in_ufresult(int32_t mask, int32_t ms,
                                                                      std::unique_ptr<WaitFinalizer> finalizer) {
  const uint64_t deadline = static_cast<uint64_t>(deadlineAfter(ms));
  return make_waitforevent_ufresult(mask, static_cast<int32_t>(deadline & 0xFFFFFFFFu),
                                    static_cast<int32_t>(deadline >> 32), std::move(finalizer));
}
