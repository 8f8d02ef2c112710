// ScriptVM: runs compiled scenario units one statement at a time. It holds
// the script-visible variables, the current frame, the pending call that the
// scheduler performs (it never calls built-in functions itself) and the
// cache of compiled units. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ap_value.h"
#include "script/code.h"
#include "script/compiled_unit_cache.h"
#include "script/saved_frame.h"

class GameEnvironment;

class ScriptVM {
 public:
  enum State : int32_t { kIdle = 0, kRunning = 1, kFinished = 2, kPendingCall = 3, kError = 4 };
  enum PendingKind : int32_t { kNone = 0, kBuiltin = 1, kFar = 2, kSub = 3, kScriptFunc = 4 };

  explicit ScriptVM(const GameEnvironment* environment);

  // Enter a frame: 0 failure (nothing changes), 1 running, 2 already at the end.
  int32_t exec_set(int32_t scenario, int32_t set, int32_t pc);
  int32_t exec_sub(int32_t scenario, int32_t sub, int32_t pc);
  // The place ("file:line") of the statement being run: the one before pc,
  // which a pending call or a waiting built-in still is. Empty when the
  // unit keeps no places (not made from a file) or no statement ran yet.
  std::u16string statementPlace() const;
  // Script functions do not exist: logs and gives 0.
  int32_t exec_scriptfunc(int32_t scenario, int32_t number, int32_t pc, const std::vector<int32_t>& args);
  // Enters the target of the pending far or sub call (the scheduler has saved
  // the calling frame): 1 running; 2 the sub has no statements, so the call
  // returns at once (state finished); 0 it cannot be loaded (the loader has
  // logged why; state error). Never leaves a call pending that cannot run.
  int32_t enterPendingCall();
  // Re-enters a saved frame with its locals and arguments.
  int32_t restore_frame(const SavedFrame& frame);
  void saveFrame(SavedFrame* out, bool rewind) const;

  // One statement: 1 continue, 2 finished, 3 pending call, 4 error.
  int32_t execStatement();
  // Runs statements while they continue and keeps the last result as state,
  // at most kSliceStatements of them: the state is still running when the
  // slice ran out, and the caller decides whether the window needs a turn.
  static constexpr int32_t kSliceStatements = 2048;
  void run();
  // Statements executed since the machine was made.
  uint64_t statementsRun() const { return statementsRun_; }
  APValue evalExpression(const Code* node);

  // Variables. Indexes from script data are capped (kMaxScriptIndex):
  // beyond it a WARN is logged and nothing is stored.
  void setWord(int32_t index, int32_t value);
  void setReflag(int32_t value);
  int32_t acc() const { return acc_; }
  void setAcc(int32_t value) { acc_ = value; }
  int32_t reflag() const { return reflag_; }
  int32_t nextScenario() const { return nextScenario_; }
  void setNextScenario(int32_t scenario) { nextScenario_ = scenario; }
  std::vector<int32_t>& bits() { return bit_; }
  std::vector<int32_t>& flags() { return flag_; }
  std::vector<int32_t>& words() { return word_; }
  const std::vector<int32_t>& locals() const { return locals_; }
  const std::vector<int32_t>& args() const { return args_; }
  const APValue& result() const { return result_; }

  // The frame.
  int32_t scenario() const { return scenario_; }
  int32_t set() const { return set_; }
  int32_t sub() const { return sub_; }
  int32_t scriptfunc() const { return scriptfunc_; }
  int32_t pc() const { return pc_; }
  const CompiledUnit* unit() const { return unit_; }

  int32_t state() const { return state_; }
  void setState(int32_t state) { state_ = state; }

  // The pending call (read in state 3).
  int32_t pendingKind() const { return pendingKind_; }
  int32_t pendingNumber() const { return pendingNumber_; }
  vector_mtus<APValue>& pendingArgs() { return pendingArgs_; }
  int32_t farScenario() const { return farScenario_; }
  int32_t callSub() const { return callSub_; }

  CompiledUnitCache& cache() { return cache_; }

 private:
  // `caller`: the place of the call statement that enters the unit, for the
  // loader's messages.
  int32_t enter(CompiledUnitCache::Kind kind, int32_t scenario, int32_t number, int32_t pc,
                std::u16string_view caller = {});
  void jumpTo(int32_t label);
  void takeCall(const CallCode* call, int32_t kind);
  static int32_t intOf(const APValue& v) { return v.isInt() ? v.ivalue : 0; }
  int32_t evalInt(const Code* node) { return intOf(evalExpression(node)); }
  // bit, flag and word: index from script data, grown on demand.
  int32_t* globalSlot(std::vector<int32_t>& array, int32_t index);
  const char16_t* globalName(int32_t opcode) const;
  std::vector<int32_t>& globalArray(int32_t opcode);

  APValue result_;
  std::vector<int32_t> locals_;
  std::vector<int32_t> args_;
  int32_t scenario_ = 0;
  int32_t nextScenario_ = -1;
  int32_t acc_ = 0;
  int32_t reflag_ = 0;
  std::vector<int32_t> bit_;
  std::vector<int32_t> flag_;
  std::vector<int32_t> word_;
  int32_t set_ = -1;
  int32_t sub_ = -1;
  int32_t scriptfunc_ = -1;
  CompiledUnit* unit_ = nullptr;
  int32_t pc_ = -1;
  int32_t state_ = kIdle;
  int32_t pendingKind_ = kNone;
  int32_t pendingNumber_ = -2;
  vector_mtus<APValue> pendingArgs_;
  int32_t farScenario_ = -1;
  int32_t callSub_ = -1;
  uint64_t statementsRun_ = 0;
  CompiledUnitCache cache_;
};
