// The finalizers of waits: each completes, at once, the action a wait was
// watching, when the wait ends or is cut short. Owned by the wait's checker
// and run at most once. Main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "script/userfunc_base.h"

class StateMgr;

// Calls a function without arguments (ends a fade or an effect at once).
std::unique_ptr<WaitFinalizer> Make_GenericCallFinalizer(std::function<bool()> function);
// Ends the running effect of foreground cell n.
std::unique_ptr<WaitFinalizer> Make_CellFinishFinalizer(int32_t cell);
// Places the message window at preset n, or at (x, y) when n < 0.
std::unique_ptr<WaitFinalizer> Make_MsgwinSetposFinishFinalizer(int32_t preset, int32_t x, int32_t y);

// Marks a text line read when its wait ends.
class WriteTextMarkFinalizer : public WaitFinalizer {
 public:
  WriteTextMarkFinalizer(StateMgr* state, int32_t line) : state_(state), line_(line) {}
  bool finish() override;

 private:
  StateMgr* state_;
  int32_t line_;
};

// Stops a music (stream) channel at once.
class SOStreamStopFinalizer : public WaitFinalizer {
 public:
  explicit SOStreamStopFinalizer(int32_t channel) : channel_(channel) {}
  bool finish() override;

 private:
  int32_t channel_;
};
