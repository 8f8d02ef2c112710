// The calling protocol of numbered built-in functions: every built-in
// returns a UFResult that tells the scheduler what to do next (store a value,
// raise an event, yield a frame, or wait on a Checker that sees every event
// until the wait ends). Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "script/ap_value.h"
#include "script/vm_event.h"

class WaitFinalizer;
struct UFResult;

// Decides on every event whether a wait goes on.
class Checker {
 public:
  virtual ~Checker() = default;
  // Null keeps waiting; a result ends the wait and is handled like a
  // built-in's result. followUp starts as code -1; setting it queues that
  // event at the front.
  virtual std::unique_ptr<UFResult> check(const UFResult& current, const VMEvent& event, VMEvent& followUp) = 0;
};

// Completes an interrupted action; runs at most once, when a wait ends
// normally or is cut short.
class WaitFinalizer {
 public:
  virtual ~WaitFinalizer() = default;
  virtual bool finish() = 0;
};

struct UFResult {
  enum Kind : int32_t {
    kValue = 1,           // store the value
    kValueAndEvent = 2,   // store the value, then handle the location as an event (code 8 ends the run)
    kValueThenYield = 3,  // store the value, run one frame and yield
    kWait = 4,            // wait on the checker
    kYield = 5,           // run one frame and yield, no value
  };

  int32_t kind = kValue;
  int32_t value = 0;
  std::unique_ptr<Checker> checker;  // kWait only
  VMEvent location;                  // code -1 when none
};

class UserfuncBase {
 public:
  virtual ~UserfuncBase() = default;
  // Null for a number no built-in has (logged), which ends the run.
  virtual std::unique_ptr<UFResult> call(int32_t number, const vector_mtus<APValue>& args) = 0;
};

// Every built-in function number, family by family.
std::span<const int32_t> AllBuiltinNumbers();
