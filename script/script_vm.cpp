#include "script/script_vm.h"

#include "app/game_environment.h"
#include "app/log.h"
#include "script/scenario_compiler.h"
#include "script/tokenizer.h"

namespace {

// 32-bit two's-complement arithmetic without signed overflow.
int32_t wrap(uint32_t v) { return static_cast<int32_t>(v); }
uint32_t u(int32_t v) { return static_cast<uint32_t>(v); }

void logFrameEntry(const char16_t* format, int32_t scenario, int32_t number, int32_t pc) {
  if (!IsLogLevelEnabled(LOG_TRACE)) return;
  LogWrite(LOG_TRACE, u"----------------------------------\n");
  LogWrite(LOG_TRACE, format, scenario, number, pc);
  LogWrite(LOG_TRACE, u"----------------------------------\n");
}

}  // namespace

ScriptVM::ScriptVM(const GameEnvironment* environment) : cache_(environment, 10) {}

int32_t ScriptVM::enter(CompiledUnitCache::Kind kind, int32_t scenario, int32_t number, int32_t pc,
                        std::u16string_view caller) {
  CompiledUnit* unit = cache_.get(kind, scenario, number, unit_, caller);
  if (!unit || pc < 0 || static_cast<size_t>(pc) > unit->statements.size()) return 0;
  scenario_ = scenario;
  unit_ = unit;
  set_ = kind == CompiledUnitCache::kSet ? number : -1;
  sub_ = kind == CompiledUnitCache::kSub ? number : -1;
  scriptfunc_ = -1;
  pc_ = pc;
  locals_.assign(static_cast<size_t>(unit->numLocals), 0);
  args_.clear();
  if (static_cast<size_t>(pc) == unit->statements.size()) return 2;
  state_ = kRunning;
  return 1;
}

int32_t ScriptVM::exec_set(int32_t scenario, int32_t set, int32_t pc) {
  logFrameEntry(u"exec_set(%d, %d, %d)\n", scenario, set, pc);
  return enter(CompiledUnitCache::kSet, scenario, set, pc);
}

int32_t ScriptVM::exec_sub(int32_t scenario, int32_t sub, int32_t pc) {
  logFrameEntry(u"exec_sub(%d, %d, %d)\n", scenario, sub, pc);
  return enter(CompiledUnitCache::kSub, scenario, sub, pc);
}

int32_t ScriptVM::exec_scriptfunc(int32_t scenario, int32_t number, int32_t pc, const std::vector<int32_t>&) {
  logFrameEntry(u"exec_scriptfunc(%d, %d, %d)\n", scenario, number, pc);
  LogWrite(LOG_TRACE, u"loadScriptFunc(%d, %d)\n", scenario, number);
  return 0;
}

std::u16string ScriptVM::statementPlace() const {
  if (!unit_ || pc_ < 1 || unit_->path.empty()) return std::u16string();
  return tokenizer::PlaceText(unit_->path, {unit_->lineOf(static_cast<size_t>(pc_) - 1), 0});
}

int32_t ScriptVM::enterPendingCall() {
  int32_t result = 0;
  if (pendingKind_ == kFar || pendingKind_ == kSub) {
    const int32_t scenario = pendingKind_ == kFar ? farScenario_ : scenario_;
    logFrameEntry(u"exec_sub(%d, %d, %d)\n", scenario, callSub_, 0);
    result = enter(CompiledUnitCache::kSub, scenario, callSub_, 0, statementPlace());
  }
  if (result == 0) {
    state_ = kError;
  } else if (result == 2) {
    state_ = kFinished;
  }
  return result;
}

int32_t ScriptVM::restore_frame(const SavedFrame& f) {
  LogWrite(LOG_TRACE, u"restore_frame\n");
  int32_t result;
  if (f.set >= 0) {
    result = exec_set(f.scenario, f.set, f.pc);
  } else if (f.sub >= 0) {
    result = exec_sub(f.scenario, f.sub, f.pc);
  } else if (f.scriptfunc >= 0) {
    result = exec_scriptfunc(f.scenario, f.scriptfunc, f.pc, f.args);
  } else {
    return 0;
  }
  if (result == 1 || result == 2) {
    scenario_ = f.scenario;
    set_ = f.set;
    sub_ = f.sub;
    scriptfunc_ = f.scriptfunc;
    pc_ = f.pc;
    locals_ = f.locals;
    args_ = f.args;
  }
  return result;
}

void ScriptVM::saveFrame(SavedFrame* out, bool rewind) const {
  out->scenario = scenario_;
  out->set = set_;
  out->sub = sub_;
  out->scriptfunc = scriptfunc_;
  out->pc = rewind ? pc_ - 1 : pc_;
  out->locals = locals_;
  out->args = args_;
}

void ScriptVM::setReflag(int32_t value) {
  reflag_ = value;
  LogWrite(LOG_TRACE, u"reflag = %d\n", value);
}

void ScriptVM::setWord(int32_t index, int32_t value) {
  if (int32_t* slot = globalSlot(word_, index)) {
    LogWrite(LOG_DEBUG, u"word(%d) = %d\n", index, value);
    *slot = value;
  }
}

int32_t* ScriptVM::globalSlot(std::vector<int32_t>& array, int32_t index) {
  if (index < 0) return nullptr;
  if (index >= kMaxScriptIndex) {
    LogWriteAt(LOG_WARN, statementPlace(), u"変数の番号が大きすぎます(%d)\n", index);
    return nullptr;
  }
  if (static_cast<size_t>(index) >= array.size()) array.resize(static_cast<size_t>(index) + 1, 0);
  return &array[static_cast<size_t>(index)];
}

std::vector<int32_t>& ScriptVM::globalArray(int32_t opcode) {
  switch ((opcode - IDRefBit::kOpcode) % 7) {
    case 0: return bit_;
    case 1: return flag_;
    default: return word_;
  }
}

const char16_t* ScriptVM::globalName(int32_t opcode) const {
  switch ((opcode - IDRefBit::kOpcode) % 7) {
    case 0: return u"bit(%d) = %d\n";
    case 1: return u"flag(%d) = %d\n";
    default: return u"word(%d) = %d\n";
  }
}

void ScriptVM::takeCall(const CallCode* call, int32_t kind) {
  pendingArgs_.clear();
  if (call->exprs.empty()) {
    pendingNumber_ = -2;  // a number no built-in has: the call fails as unknown
  } else {
    const APValue number = evalExpression(call->exprs[0]);
    pendingNumber_ = number.isInt() ? number.ivalue : -2;
    for (size_t i = 1; i < call->exprs.size(); ++i) pendingArgs_.push_back(evalExpression(call->exprs[i]));
  }
  pendingKind_ = kind;
}

void ScriptVM::jumpTo(int32_t label) {
  const std::vector<int32_t>& labels = unit_->labels;
  const int32_t target = (label >= 0 && static_cast<size_t>(label) < labels.size()) ? labels[static_cast<size_t>(label)] : -1;
  if (target < 0) {
    // Not a label of this unit: report it and go on with the next statement.
    ShowDebugMessageBox(u"jumpのとび先がlabelではない");
    LogWriteAt(LOG_ERROR, statementPlace(), u"jump:未定義のラベルです(%d)\n", label);
    return;
  }
  const size_t count = unit_->statements.size();
  if (static_cast<size_t>(target) + 1 >= count) {
    pc_ = target;
  } else if (unit_->statements[static_cast<size_t>(target)]->opcode == SLabel::kOpcode) {
    pc_ = target + 1;
  } else {
    ShowDebugMessageBox(u"jumpのとび先がlabelではない");
    pc_ = target;
  }
}

int32_t ScriptVM::execStatement() {
  if (!unit_ || pc_ < 0 || static_cast<size_t>(pc_) >= unit_->statements.size()) return kFinished;
  const Code* statement = unit_->statements[static_cast<size_t>(pc_)];
  if (!statement) return kFinished;
  ++pc_;
  switch (statement->opcode) {
    case SEval::kOpcode:
      result_ = evalExpression(static_cast<const OneChildCode*>(statement)->child);
      return kRunning;
    case SEvalNE::kOpcode:
      evalExpression(static_cast<const OneChildCode*>(statement)->child);
      return kRunning;
    case SCallUserfunc::kOpcode:
      takeCall(static_cast<const CallCode*>(statement), kBuiltin);
      return kPendingCall;
    case SCallFar::kOpcode: {
      const auto* call = static_cast<const TwoChildCode*>(statement);
      const APValue s = evalExpression(call->left);
      const APValue n = evalExpression(call->right);
      const int32_t scenario = s.isInt() ? s.ivalue : -1;
      const int32_t sub = n.isInt() ? n.ivalue : -1;
      if (scenario < 0 || sub < 0) {
        LogWriteAt(LOG_WARN, statementPlace(), u"call_far:不正なPRG番号/SUB番号(prgno=%d, subno=%d)\n", scenario,
                   sub);
        return kError;
      }
      farScenario_ = scenario;
      callSub_ = sub;
      pendingKind_ = kFar;
      return kPendingCall;
    }
    case SCallSub::kOpcode: {
      const APValue n = evalExpression(static_cast<const OneChildCode*>(statement)->child);
      const int32_t sub = n.isInt() ? n.ivalue : -1;
      if (sub < 0) {
        LogWriteAt(LOG_WARN, statementPlace(), u"call:不正なSUB番号(subno=%d)\n", sub);
        return kError;
      }
      callSub_ = sub;
      pendingKind_ = kSub;
      return kPendingCall;
    }
    case SJump::kOpcode: {
      const APValue v = evalExpression(static_cast<const OneChildCode*>(statement)->child);
      nextScenario_ = v.isInt() ? v.ivalue : -1;
      return kRunning;
    }
    case SReturn::kOpcode:
      return kFinished;
    case SGoto::kOpcode:
      jumpTo(static_cast<const LabelCode*>(statement)->label);
      return kRunning;
    case SIf::kOpcode:
      if (result_.isTrue()) jumpTo(static_cast<const LabelCode*>(statement)->label);
      return kRunning;
    case SIfNot::kOpcode:
      if (!result_.isTrue()) jumpTo(static_cast<const LabelCode*>(statement)->label);
      return kRunning;
    case SSwitch::kOpcode: {
      const auto* sw = static_cast<const SSwitch*>(statement);
      const auto it = sw->cases.find(intOf(result_));
      jumpTo(it != sw->cases.end() ? it->second : sw->defaultLabel);
      return kRunning;
    }
    case SLabel::kOpcode:
      return kRunning;
    case SCallScriptFunc::kOpcode:
      takeCall(static_cast<const CallCode*>(statement), kScriptFunc);
      return kPendingCall;
    default:
      LogWriteAt(LOG_ERROR, statementPlace(), u"execStatement:不正なオペコード(%d)\n", statement->opcode);
      return kRunning;
  }
}

void ScriptVM::run() {
  int32_t r = kRunning;
  for (int32_t n = 0; n < kSliceStatements && r == kRunning; ++n) {
    r = execStatement();
    ++statementsRun_;
  }
  state_ = r;
}

APValue ScriptVM::evalExpression(const Code* node) {
  if (!node) return APValue(false);
  const int32_t op = node->opcode;
  const auto one = [node] { return static_cast<const OneChildCode*>(node)->child; };
  const auto two = [node] { return static_cast<const TwoChildCode*>(node); };
  switch (op) {
    case ConstBool::kOpcode: return APValue(static_cast<const ConstBool*>(node)->value);
    case ConstInt::kOpcode: return APValue(static_cast<const ConstInt*>(node)->value);
    case ConstString::kOpcode: return APValue(static_cast<const ConstString*>(node)->value);
    case EUMinus::kOpcode: return APValue(wrap(0u - u(evalInt(one()))));
    case EUBitwiseNot::kOpcode: return APValue(~evalInt(one()));
    case EULogicalNot::kOpcode: return APValue(evalExpression(one()).isTrue() ? 0 : 1);
    case EBDiv::kOpcode:
    case EBMod::kOpcode: {
      const int32_t b = evalInt(two()->right);
      if (b == 0) {
        if (IsLogLevelEnabled(LOG_DEBUG)) {
          LogWriteAt(LOG_DEBUG, statementPlace(), op == EBDiv::kOpcode ? u"ゼロ除算をしました\n" : u"ゼロ剰余算をしました\n");
        }
        return APValue(0);
      }
      const int32_t a = evalInt(two()->left);
      if (b == -1) return APValue(op == EBDiv::kOpcode ? wrap(0u - u(a)) : 0);  // INT_MIN / -1 wraps
      return APValue(op == EBDiv::kOpcode ? a / b : a % b);
    }
    case EBLogicalAnd::kOpcode:
      if (!evalExpression(two()->left).isTrue()) return APValue(0);
      return APValue(evalExpression(two()->right).isTrue() ? 1 : 0);
    case EBLogicalOr::kOpcode:
      if (evalExpression(two()->left).isTrue()) return APValue(1);
      return APValue(evalExpression(two()->right).isTrue() ? 1 : 0);
    case EBEqual::kOpcode:
    case EBNotEqual::kOpcode:
    case EBLogicalXor::kOpcode: {
      const APValue a = evalExpression(two()->left);
      const APValue b = evalExpression(two()->right);
      if (op == EBLogicalXor::kOpcode) return APValue(a.isTrue() != b.isTrue() ? 1 : 0);
      return APValue((a == b) == (op == EBEqual::kOpcode) ? 1 : 0);
    }
    case EThreeOp::kOpcode: {
      const auto* t = static_cast<const ThreeChildCode*>(node);
      return evalExpression(evalExpression(t->condition).isTrue() ? t->thenCode : t->elseCode);
    }
    case IDRefAcc::kOpcode: return APValue(acc_);
    case IDRefReflag::kOpcode: return APValue(reflag_);
    case IDRefSce::kOpcode: return APValue(scenario_);
    case IDRefBit::kOpcode:
    case IDRefFlag::kOpcode:
    case IDRefWord::kOpcode: {
      const int32_t i = evalInt(one());
      const std::vector<int32_t>& array = globalArray(op);
      return APValue(i >= 0 && static_cast<size_t>(i) < array.size() ? array[static_cast<size_t>(i)] : 0);
    }
    case IDRefLocal::kOpcode:
    case IDRefArgument::kOpcode: {
      const int32_t i = evalInt(one());
      const std::vector<int32_t>& array = op == IDRefLocal::kOpcode ? locals_ : args_;
      if (i < 0 || static_cast<size_t>(i) >= array.size()) {
        LogWriteAt(LOG_ERROR, statementPlace(),
                   op == IDRefLocal::kOpcode ? u"idref:不正なローカル変数インデックス(%d)\n"
                                             : u"idref:不正な引数インデックス(%d)\n",
                   i);
        return APValue(0);
      }
      return APValue(array[static_cast<size_t>(i)]);
    }
    case AssignAcc::kOpcode:
      acc_ = evalInt(one());
      return APValue(acc_);
    case AssignReflag::kOpcode:
      setReflag(evalInt(one()));
      return APValue(reflag_);
    case AssignBit::kOpcode:
    case AssignFlag::kOpcode:
    case AssignWord::kOpcode: {
      const int32_t i = evalInt(two()->left);
      const int32_t v = evalInt(two()->right);
      int32_t* slot = globalSlot(globalArray(op), i);
      if (!slot) return APValue(0);
      LogWrite(LOG_DEBUG, globalName(op), i, v);
      *slot = v;
      return APValue(v);
    }
    case AssignLocal::kOpcode:
    case AssignArgument::kOpcode: {
      const int32_t i = evalInt(two()->left);
      const int32_t v = evalInt(two()->right);
      std::vector<int32_t>& array = op == AssignLocal::kOpcode ? locals_ : args_;
      if (i < 0 || static_cast<size_t>(i) >= array.size()) {
        LogWriteAt(LOG_ERROR, statementPlace(),
                   op == AssignLocal::kOpcode ? u"assign:不正なローカル変数インデックス(%d)\n"
                                              : u"assign:不正な引数インデックス(%d)\n",
                   i);
        if (i < 0) return APValue(0);
        if (i >= kMaxScriptIndex) {
          LogWriteAt(LOG_WARN, statementPlace(), u"変数の番号が大きすぎます(%d)\n", i);
          return APValue(0);
        }
        array.resize(static_cast<size_t>(i) + 1, 0);
      }
      array[static_cast<size_t>(i)] = v;
      return APValue(v);
    }
    case PreincrAcc::kOpcode: acc_ = wrap(u(acc_) + 1u); return APValue(acc_);
    case PredecrAcc::kOpcode: acc_ = wrap(u(acc_) - 1u); return APValue(acc_);
    case PreincrReflag::kOpcode: setReflag(wrap(u(reflag_) + 1u)); return APValue(reflag_);
    case PredecrReflag::kOpcode: setReflag(wrap(u(reflag_) - 1u)); return APValue(reflag_);
    case PreincrBit::kOpcode:
    case PreincrFlag::kOpcode:
    case PreincrWord::kOpcode:
    case PredecrBit::kOpcode:
    case PredecrFlag::kOpcode:
    case PredecrWord::kOpcode: {
      const int32_t i = evalInt(one());
      int32_t* slot = globalSlot(globalArray(op), i);
      if (!slot) return APValue(0);
      *slot = wrap(u(*slot) + (op <= PreincrWord::kOpcode ? 1u : 0xFFFFFFFFu));
      LogWrite(LOG_DEBUG, globalName(op), i, *slot);
      return APValue(*slot);
    }
    case PreincrLocal::kOpcode:
    case PreincrArgument::kOpcode:
    case PredecrLocal::kOpcode:
    case PredecrArgument::kOpcode: {
      const int32_t i = evalInt(one());
      const bool local = op == PreincrLocal::kOpcode || op == PredecrLocal::kOpcode;
      const bool incr = op == PreincrLocal::kOpcode || op == PreincrArgument::kOpcode;
      std::vector<int32_t>& array = local ? locals_ : args_;
      if (i < 0 || static_cast<size_t>(i) >= array.size()) {
        const char16_t* message = incr ? (local ? u"incr:不正なローカル変数インデックス(%d)\n" : u"incr:不正な引数インデックスです(%d)\n")
                                       : (local ? u"decr:不正なローカル変数インデックスです(%d)\n" : u"decr:不正な引数インデックスです(%d)\n");
        LogWriteAt(LOG_ERROR, statementPlace(), message, i);
        return APValue(0);
      }
      int32_t& slot = array[static_cast<size_t>(i)];
      slot = wrap(u(slot) + (incr ? 1u : 0xFFFFFFFFu));
      return APValue(slot);
    }
    default:
      break;
  }
  if (op >= EBAdd::kOpcode && op <= EBBitXor::kOpcode) {
    const int32_t a = evalInt(two()->left);
    const int32_t b = evalInt(two()->right);
    switch (op) {
      case EBAdd::kOpcode: return APValue(wrap(u(a) + u(b)));
      case EBSub::kOpcode: return APValue(wrap(u(a) - u(b)));
      case EBMul::kOpcode: return APValue(wrap(u(a) * u(b)));
      case EBShiftLeft::kOpcode: return APValue(wrap(u(a) << (b & 31)));
      case EBShiftRight::kOpcode: return APValue(a >> (b & 31));
      case EBShiftRightUnsigned::kOpcode: return APValue(wrap(u(a) >> (b & 31)));
      case EBLess::kOpcode: return APValue(a < b ? 1 : 0);
      case EBGreat::kOpcode: return APValue(a > b ? 1 : 0);
      case EBLessEqual::kOpcode: return APValue(a <= b ? 1 : 0);
      case EBGreatEqual::kOpcode: return APValue(a >= b ? 1 : 0);
      case EBBitAnd::kOpcode: return APValue(a & b);
      case EBBitOr::kOpcode: return APValue(a | b);
      case EBBitXor::kOpcode: return APValue(a ^ b);
      default: break;
    }
  }
  LogWriteAt(LOG_ERROR, statementPlace(), u"evalExpression:不正なオペコード(%d)\n", op);
  return APValue(false);
}
