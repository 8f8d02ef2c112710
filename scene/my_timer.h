// MyTimer: the timer a component holds as a member; each frame's tick goes
// to one method of its owner. Made, run and destroyed on the main thread
// (the timer manager refuses any other).
#pragma once

#include "app/timer.h"

template <class Owner>
class MyTimer : public Timer {
 public:
  // step may be null: the timer then only keeps time and asks for no
  // frame.
  using Step = void (Owner::*)(float progress);

  using Wanted = bool (Owner::*)() const;

  MyTimer(Owner* owner, Step step) : owner_(owner), step_(step) { everyFrame = step != nullptr; }

  void onTimer(float progress) override {
    if (step_) (owner_->*step_)(progress);
  }
  // A timer without a step asks for no frame; one with wantedWhen only
  // while the owner says its steps are seen.
  bool wantsFrames() const override { return step_ && (!wanted_ || (owner_->*wanted_)()); }
  void wantedWhen(Wanted wanted) { wanted_ = wanted; }

 private:
  Owner* owner_;
  Step step_;
  Wanted wanted_ = nullptr;
};
