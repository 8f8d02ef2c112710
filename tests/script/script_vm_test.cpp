// The script machine: every operation run from small scenario texts
// (arithmetic and comparison, control flow and labels, variables and frames,
// calls), hand-built units for what no form produces, and the unit cache.
#include "script/script_vm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "app/game_environment.h"
#include "app/log.h"
#include "platform/utf8.h"
#include "script/scenario_compiler.h"
#include "tests/support/test_support.h"

namespace {

std::u16string N(int64_t v) { return platform::FromUtf8(std::to_string(v)); }

std::string show(const APValue& v) {
  if (v.isBool()) return v.flag ? "#t" : "#f";
  if (v.isInt()) return std::to_string(v.ivalue);
  return '"' + platform::ToUtf8(v.svalue) + '"';
}

bool logged(const LogCapture& log, const std::string& level, const std::string& text) {
  for (const std::string& line : log.lines()) {
    if (line.rfind(level, 0) == 0 && line.find(text) != std::string::npos) return true;
  }
  return false;
}

// "Mk" in a statement list stands for a statement that appends the digit k
// to acc, so acc tells which marked statements ran, in order.
std::u16string expandMarks(std::u16string_view text) {
  std::u16string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'M' && i + 1 < text.size()) {
      out += u"(a3:eval-noeffect (a3:assign-acc (a3:bop-add (a3:bop-mul (a3:idref-acc) 10) ";
      out += text[++i];
      out += u")))";
    } else {
      out += text[i];
    }
  }
  return out;
}

ConstInt* intNode(CompiledUnit* unit, int32_t value) {
  ConstInt* node = unit->make<ConstInt>();
  node->value = value;
  return node;
}

class ScriptVMTest : public testing::Test {
 protected:
  ~ScriptVMTest() override { SetLogLevelMask(oldMask_); }

  // Caches the unit as a new set of scenario 3 and enters it at statement 0.
  int32_t enterUnit(std::unique_ptr<CompiledUnit> unit) {
    const int32_t set = nextSet_++;
    vm_.cache().insert(CompiledUnitCache::kSet, 3, set, std::move(unit));
    return vm_.exec_set(3, set, 0);
  }
  int32_t enter(std::u16string_view statements, int32_t locals = 0) {
    const std::u16string text = u"(a3:define-set (0 " + N(locals) + u") " + expandMarks(statements) + u")";
    auto unit = CompileScenarioText(text, 0, -1, u"test");
    EXPECT_NE(unit, nullptr) << platform::ToUtf8(text);
    return unit ? enterUnit(std::move(unit)) : 0;
  }
  // Runs the statements to a stop; the state (-1 when not entered).
  int32_t run(std::u16string_view statements, int32_t locals = 0) {
    if (enter(statements, locals) != 1) return -1;
    vm_.run();
    return vm_.state();
  }
  std::string eval(std::u16string_view expression) {
    if (run(u"(a3:eval " + std::u16string(expression) + u")") != ScriptVM::kFinished) return "<not run>";
    return show(vm_.result());
  }

  std::vector<std::string> pendingArgs() {
    std::vector<std::string> out;
    for (const APValue& v : vm_.pendingArgs()) out.push_back(show(v));
    return out;
  }

  uint32_t oldMask_ = GetLogLevelMask();
  ScriptVM vm_{nullptr};
  LogCapture log_;
  int32_t nextSet_ = 1;
};

// --- Arithmetic and comparison ---

TEST_F(ScriptVMTest, ArithmeticWrapsInThirtyTwoBitsAndDividesTowardZero) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:bop-add 2147483647 1)", "-2147483648"}, {u"(a3:bop-sub -2147483648 1)", "2147483647"},
      {u"(a3:bop-mul 65536 65536)", "0"}, {u"(a3:bop-mul 7 -6)", "-42"},
      {u"(a3:bop-div 7 -2)", "-3"}, {u"(a3:bop-mod 7 -2)", "1"},
      {u"(a3:bop-mod -7 2)", "-1"}, {u"(a3:bop-div -2147483648 -1)", "-2147483648"},
      {u"(a3:bop-mod -2147483648 -1)", "0"}, {u"(a3:bop-div 9 -1)", "-9"},
      {u"(a3:bop-div 5 0)", "0"}, {u"(a3:bop-mod 5 0)", "0"},
      {u"(a3:bop-div 5 #t)", "0"},  // a non-integer counts as 0
      {u"(a3:bop-add \"3\" 4)", "4"}, {u"(a3:minus 5)", "-5"},
      {u"(a3:minus -2147483648)", "-2147483648"}, {u"(a3:bitwise-not 0)", "-1"},
      {u"(a3:bitwise-not #t)", "-1"}, {u"(a3:boolean-not 0)", "1"},
      {u"(a3:boolean-not \"\")", "1"}, {u"(a3:boolean-not \"a\")", "0"},
      {u"(a3:boolean-not #f)", "1"}, {u"(a3:bop-shift-left 1 33)", "2"},
      {u"(a3:bop-shift-left 1 31)", "-2147483648"}, {u"(a3:bop-shift-right -16 2)", "-4"},
      {u"(a3:bop-shift-right -1 60)", "-1"}, {u"(a3:bop-shift-right-unsigned -1 28)", "15"},
      {u"(a3:bop-shift-right-unsigned -16 32)", "-16"}, {u"(a3:bop-bit-and 12 10)", "8"},
      {u"(a3:bop-bit-or 12 10)", "14"}, {u"(a3:bop-bit-xor 12 10)", "6"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(eval(text), expected) << platform::ToUtf8(text);
}

TEST_F(ScriptVMTest, ComparisonsEqualityLogicAndThreeOp) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:bop-less? 1 2)", "1"},         {u"(a3:bop-less? 2 2)", "0"},
      {u"(a3:bop-less? -1 0)", "1"},        {u"(a3:bop-great? 3 2)", "1"},
      {u"(a3:bop-great? 2 2)", "0"},        {u"(a3:bop-great? \"a\" -1)", "1"},
      {u"(a3:bop-less-equal? 2 2)", "1"},   {u"(a3:bop-less-equal? 3 2)", "0"},
      {u"(a3:bop-great-equal? 2 2)", "1"},  {u"(a3:bop-great-equal? 1 2)", "0"},
      {u"(a3:bop-equal? 1 #t)", "0"},       {u"(a3:bop-equal? 0 #f)", "0"},
      {u"(a3:bop-equal? 2 2)", "1"},        {u"(a3:bop-equal? \"ab\" \"ab\")", "1"},
      {u"(a3:bop-equal? \"ab\" \"b\")", "0"}, {u"(a3:bop-equal? #t #t)", "1"},
      {u"(a3:bop-not-equal? 1 #t)", "1"},   {u"(a3:bop-not-equal? 2 2)", "0"},
      {u"(a3:bop-logical-and 1 \"x\")", "1"}, {u"(a3:bop-logical-and 1 0)", "0"},
      {u"(a3:bop-logical-and 0 1)", "0"},   {u"(a3:bop-logical-or 0 \"\")", "0"},
      {u"(a3:bop-logical-or 0 #t)", "1"},   {u"(a3:bop-logical-or 5 0)", "1"},
      {u"(a3:bop-logical-xor 1 \"a\")", "0"}, {u"(a3:bop-logical-xor 1 0)", "1"},
      {u"(a3:bop-logical-xor #f \"\")", "0"},
      {u"(a3:three-op \"\" 1 2)", "2"},     {u"(a3:three-op 3 \"yes\" 2)", "\"yes\""},
      {u"(a3:three-op #f 1 #t)", "#t"},     {u"\"text\"", "\"text\""},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(eval(text), expected) << platform::ToUtf8(text);
}

TEST_F(ScriptVMTest, OperandOrderShortCircuitsAndZeroDivisors) {
  SetLogLevelMask(LOG_DEBUG | LOG_WARN);
  // acc after the expression: which operands ran, and in which order.
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"(a3:bop-sub (a3:assign-acc 6) (a3:assign-acc 2))", 2},
      {u"(a3:bop-div (a3:assign-acc 6) (a3:assign-acc 2))", 6},  // divisor first
      {u"(a3:bop-mod (a3:assign-acc 6) (a3:assign-acc 4))", 6},
      {u"(a3:bop-div (a3:assign-acc 9) 0)", 0},                  // dividend skipped
      {u"(a3:bop-mod (a3:assign-acc 9) 0)", 0},
      {u"(a3:bop-logical-and 0 (a3:assign-acc 5))", 0},
      {u"(a3:bop-logical-or 1 (a3:assign-acc 5))", 0},
      {u"(a3:bop-logical-and 1 (a3:assign-acc 5))", 5},
      {u"(a3:bop-logical-xor 1 (a3:assign-acc 5))", 5},
      {u"(a3:three-op 0 (a3:assign-acc 1) (a3:assign-acc 2))", 2},
  };
  for (const auto& [text, acc] : cases) {
    vm_.setAcc(0);
    eval(text);
    EXPECT_EQ(vm_.acc(), acc) << platform::ToUtf8(text);
  }
  EXPECT_EQ(eval(u"(a3:bop-div (a3:assign-acc 6) (a3:assign-acc 2))"), "3");
  EXPECT_TRUE(logged(log_, "[DEBUG]", "ゼロ除算をしました")) << log_.all();
  EXPECT_TRUE(logged(log_, "[DEBUG]", "ゼロ剰余算をしました")) << log_.all();
}

// --- Control flow and labels ---

TEST_F(ScriptVMTest, BranchesSwitchesAndLoopsFollowTheirLabels) {
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"M1 (a3:goto 1) M2 (a3:label 1) M3", 13},
      {u"(a3:eval 1) (a3:if 1) M2 (a3:label 1) M3", 3},
      {u"(a3:eval \"\") (a3:if 1) M2 (a3:label 1) M3", 23},
      {u"(a3:eval #f) (a3:if 1) M2 (a3:label 1) M3", 23},
      {u"(a3:eval 0) (a3:ifnot 1) M2 (a3:label 1) M3", 3},
      {u"(a3:eval \"x\") (a3:ifnot 1) M2 (a3:label 1) M3", 23},
      // Label 0 sits on statement 0.
      {u"(a3:label 0) M1 (a3:eval (a3:bop-less? (a3:idref-acc) 100)) (a3:if 0) M2", 1112},
      {u"M1 (a3:return 1 2) M2", 1},  // arguments ignored
  };
  for (const auto& [text, trace] : cases) {
    vm_.setAcc(0);
    EXPECT_EQ(run(text), ScriptVM::kFinished) << platform::ToUtf8(text);
    EXPECT_EQ(vm_.acc(), trace) << platform::ToUtf8(text);
  }
  const std::u16string table =
      u"(a3:switch (0 10) (2 20) (default 30)) (a3:label 10) M1 (a3:goto 99) (a3:label 20) M2 (a3:goto 99) "
      u"(a3:label 30) M3 (a3:label 99)";
  const std::pair<const char16_t*, int32_t> keys[] = {{u"2", 2}, {u"0", 1}, {u"7", 3}, {u"\"2\"", 1}, {u"#t", 1}};
  for (const auto& [key, trace] : keys) {
    vm_.setAcc(0);
    EXPECT_EQ(run(u"(a3:eval " + std::u16string(key) + u") " + table), ScriptVM::kFinished);
    EXPECT_EQ(vm_.acc(), trace) << platform::ToUtf8(key);
  }
}

TEST_F(ScriptVMTest, JumpToAnUndefinedLabelIsReportedAndTheRunGoesOn) {
  const char16_t* cases[] = {
      u"M1 (a3:goto 7) M2 (a3:label 5) M3",    // inside the table, never defined
      u"M1 (a3:goto 500) M2 (a3:label 5) M3",  // beyond the table
      u"M1 (a3:goto 0) M2 M3",                 // no table at all
      u"M1 (a3:eval 0) (a3:switch (default 4)) M2 M3",
  };
  for (const char16_t* text : cases) {
    SCOPED_TRACE(platform::ToUtf8(text));
    vm_.setAcc(0);
    log_.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(run(text), ScriptVM::kFinished);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(vm_.acc(), 123);
    EXPECT_NE(err.find("[デバッグメッセージ] jumpのとび先がlabelではない\n"), std::string::npos) << err;
    EXPECT_TRUE(logged(log_, "[ERROR]", "")) << log_.all();
  }
}

TEST_F(ScriptVMTest, JumpTargetsAtTheEndOrOnOtherStatements) {
  // A label in the middle: pc goes past it.
  ASSERT_EQ(enter(u"(a3:goto 1) M1 (a3:label 1) M2"), 1);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  EXPECT_EQ(vm_.pc(), 3);
  // A label on the last statement: pc lands on the label itself.
  ASSERT_EQ(enter(u"(a3:goto 4) M1 (a3:label 4)"), 1);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  EXPECT_EQ(vm_.pc(), 2);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kFinished);
  EXPECT_EQ(vm_.acc(), 0);

  // A table entry naming a statement that is no label: reported, and that
  // statement runs next.
  auto unit = std::make_unique<CompiledUnit>();
  SGoto* go = unit->make<SGoto>();
  SEval* first = unit->make<SEval>();
  first->child = intNode(unit.get(), 5);
  SEval* second = unit->make<SEval>();
  second->child = intNode(unit.get(), 6);
  unit->statements = {go, first, second};
  unit->labels = {1};
  ASSERT_EQ(enterUnit(std::move(unit)), 1);
  testing::internal::CaptureStderr();
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[デバッグメッセージ] jumpのとび先がlabelではない"), std::string::npos) << err;
  EXPECT_EQ(vm_.pc(), 1);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  EXPECT_EQ(show(vm_.result()), "5");
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kRunning);
  EXPECT_EQ(show(vm_.result()), "6");
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kFinished);
}

TEST_F(ScriptVMTest, JumpSetsTheNextScenarioAndUnknownOperationCodesAreLogged) {
  EXPECT_EQ(run(u"(a3:jump 42) M1"), ScriptVM::kFinished);
  EXPECT_EQ(vm_.nextScenario(), 42);
  EXPECT_EQ(vm_.acc(), 1);
  EXPECT_EQ(run(u"(a3:jump \"s\")"), ScriptVM::kFinished);
  EXPECT_EQ(vm_.nextScenario(), -1);

  auto unit = std::make_unique<CompiledUnit>();
  SEval* eval = unit->make<SEval>();
  eval->child = unit->make<SReturn>();  // a statement node used as an expression
  unit->statements = {intNode(unit.get(), 1), eval};
  ASSERT_EQ(enterUnit(std::move(unit)), 1);
  vm_.run();
  EXPECT_EQ(vm_.state(), ScriptVM::kFinished);
  EXPECT_EQ(show(vm_.result()), "#f");
  EXPECT_TRUE(logged(log_, "[ERROR]", "execStatement:不正なオペコード(2)")) << log_.all();
  EXPECT_TRUE(logged(log_, "[ERROR]", "evalExpression:不正なオペコード(10)")) << log_.all();
}

// --- Variables and frames ---

TEST_F(ScriptVMTest, RegistersIncrementWrapAndTheSceneNumberReads) {
  SetLogLevelMask(LOG_TRACE | LOG_WARN);
  EXPECT_EQ(eval(u"(a3:assign-acc 2147483647)"), "2147483647");
  EXPECT_EQ(eval(u"(a3:pre-incr-acc)"), "-2147483648");
  EXPECT_EQ(eval(u"(a3:pre-decr-acc)"), "2147483647");
  EXPECT_EQ(eval(u"(a3:idref-acc)"), "2147483647");
  EXPECT_EQ(eval(u"(a3:assign-acc \"x\")"), "0");
  EXPECT_EQ(eval(u"(a3:assign-reflag 7)"), "7");
  EXPECT_TRUE(logged(log_, "[TRACE]", "reflag = 7")) << log_.all();
  EXPECT_EQ(eval(u"(a3:pre-incr-reflag)"), "8");
  EXPECT_EQ(eval(u"(a3:pre-decr-reflag)"), "7");
  EXPECT_EQ(eval(u"(a3:idref-reflag)"), "7");
  EXPECT_EQ(vm_.reflag(), 7);
  EXPECT_EQ(eval(u"(a3:idref-sce)"), "3");
}

TEST_F(ScriptVMTest, GlobalArraysGrowOnDemandUpToTheCap) {
  SetLogLevelMask(LOG_DEBUG | LOG_WARN);
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:assign-bit 1000 1)", "1"}, {u"(a3:assign-flag 2 -9)", "-9"}, {u"(a3:assign-word 0 \"x\")", "0"},
      {u"(a3:idref-bit 1000)", "1"}, {u"(a3:idref-bit 1001)", "0"},  {u"(a3:idref-flag 2)", "-9"},
      {u"(a3:idref-flag -1)", "0"},  {u"(a3:idref-word 5)", "0"},    {u"(a3:pre-incr-word 3)", "1"},
      {u"(a3:pre-incr-word 3)", "2"}, {u"(a3:pre-decr-flag 4)", "-1"}, {u"(a3:pre-decr-bit 0)", "-1"},
      {u"(a3:pre-incr-bit 0)", "0"},  {u"(a3:assign-bit -1 5)", "0"}, {u"(a3:pre-incr-flag -1)", "0"},
      {u"(a3:pre-decr-word -2)", "0"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(eval(text), expected) << platform::ToUtf8(text);
  EXPECT_TRUE(logged(log_, "[DEBUG]", "bit(1000) = 1")) << log_.all();
  EXPECT_TRUE(logged(log_, "[DEBUG]", "flag(2) = -9")) << log_.all();
  EXPECT_TRUE(logged(log_, "[DEBUG]", "word(3) = 2")) << log_.all();
  EXPECT_EQ(vm_.flags(), (std::vector<int32_t>{0, 0, -9, 0, -1}));
  EXPECT_EQ(vm_.words(), (std::vector<int32_t>{0, 0, 0, 2}));
  EXPECT_EQ(vm_.bits().size(), 1001u);

  // Up to 65536 entries; a larger index is logged and ignored.
  EXPECT_EQ(eval(u"(a3:assign-word 65535 4)"), "4");
  EXPECT_EQ(vm_.words().size(), 65536u);
  log_.clear();
  for (const char16_t* text : {u"(a3:assign-word 65536 4)", u"(a3:pre-incr-bit 70000)", u"(a3:pre-decr-flag 65536)"}) {
    EXPECT_EQ(eval(text), "0") << platform::ToUtf8(text);
  }
  vm_.setWord(-1, 5);
  EXPECT_EQ(vm_.words().size(), 65536u);
  EXPECT_EQ(vm_.bits().size(), 1001u);
  EXPECT_EQ(vm_.flags().size(), 5u);
  EXPECT_EQ(log_.lines().size(), 3u) << log_.all();
  EXPECT_TRUE(logged(log_, "[WARN ]", "")) << log_.all();
}

TEST_F(ScriptVMTest, LocalsAndArgumentsReportBadIndexes) {
  ASSERT_EQ(run(u"(a3:eval-noeffect (a3:assign-local 1 7)) (a3:eval (a3:pre-incr-local 1))", 2), ScriptVM::kFinished);
  EXPECT_EQ(vm_.locals(), (std::vector<int32_t>{0, 8}));
  EXPECT_TRUE(log_.lines().empty()) << log_.all();

  struct Case {
    const char16_t* text;
    const char* value;
    const char* message;  // logged at ERROR
    std::vector<int32_t> locals;
    std::vector<int32_t> args;
  };
  const Case cases[] = {
      {u"(a3:idref-local 2)", "0", "idref:不正なローカル変数インデックス(2)", {0, 0}, {}},
      {u"(a3:idref-argument 0)", "0", "idref:不正な引数インデックス(0)", {0, 0}, {}},
      {u"(a3:assign-local 3 9)", "9", "assign:不正なローカル変数インデックス(3)", {0, 0, 0, 9}, {}},
      {u"(a3:assign-local -1 9)", "0", "assign:不正なローカル変数インデックス(-1)", {0, 0}, {}},
      {u"(a3:assign-argument 1 4)", "4", "assign:不正な引数インデックス(1)", {0, 0}, {0, 4}},
      {u"(a3:assign-argument -3 4)", "0", "assign:不正な引数インデックス(-3)", {0, 0}, {}},
      {u"(a3:pre-incr-local 2)", "0", "incr:不正なローカル変数インデックス(2)", {0, 0}, {}},
      {u"(a3:pre-incr-argument 0)", "0", "incr:不正な引数インデックスです(0)", {0, 0}, {}},
      {u"(a3:pre-decr-local -1)", "0", "decr:不正なローカル変数インデックスです(-1)", {0, 0}, {}},
      {u"(a3:pre-decr-argument 0)", "0", "decr:不正な引数インデックスです(0)", {0, 0}, {}},
      {u"(a3:assign-local 65536 1)", "0", "assign:不正なローカル変数インデックス(65536)", {0, 0}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::ToUtf8(c.text));
    log_.clear();
    ASSERT_EQ(run(u"(a3:eval " + std::u16string(c.text) + u")", 2), ScriptVM::kFinished);
    EXPECT_EQ(show(vm_.result()), c.value);
    EXPECT_TRUE(logged(log_, "[ERROR]", c.message)) << log_.all();
    EXPECT_EQ(vm_.locals(), c.locals);
    EXPECT_EQ(vm_.args(), c.args);
  }
  EXPECT_TRUE(logged(log_, "[WARN ]", "")) << log_.all();  // the 65536 one

  ASSERT_EQ(run(u"(a3:eval-noeffect (a3:assign-argument 0 5)) (a3:eval (a3:pre-decr-argument 0))"),
            ScriptVM::kFinished);
  EXPECT_EQ(show(vm_.result()), "4");
}

TEST_F(ScriptVMTest, EnteringAFrameChecksTheStartAndResetsVariables) {
  ASSERT_EQ(run(u"(a3:eval-noeffect (a3:assign-argument 0 1)) (a3:eval-noeffect (a3:assign-local 4 1))", 1),
            ScriptVM::kFinished);
  const int32_t set = nextSet_ - 1;
  ASSERT_EQ(vm_.exec_set(3, set, 0), 1);
  EXPECT_EQ(vm_.locals(), (std::vector<int32_t>{0}));
  EXPECT_TRUE(vm_.args().empty());

  // A start past the end or before the start, an unknown set or sub: nothing changes.
  vm_.execStatement();
  for (const auto& [number, pc] : {std::pair{set, 3}, std::pair{set, -1}, std::pair{99, 0}}) {
    EXPECT_EQ(vm_.exec_set(3, number, pc), 0);
  }
  EXPECT_EQ(vm_.exec_sub(3, set, 0), 0);
  EXPECT_EQ(vm_.exec_scriptfunc(3, 1, 0, {}), 0);
  EXPECT_EQ(std::make_pair(vm_.pc(), vm_.args().size()), std::make_pair(1, size_t{1}));

  // At the end: 2, the state as it was.
  vm_.setState(ScriptVM::kPendingCall);
  EXPECT_EQ(vm_.exec_set(3, set, 2), 2);
  EXPECT_EQ(vm_.state(), ScriptVM::kPendingCall);
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kFinished);
}

TEST_F(ScriptVMTest, SavedFramesComeBackWithLocalsAndArguments) {
  ASSERT_EQ(run(u"(a3:eval-noeffect (a3:assign-local 1 7)) (a3:eval-noeffect (a3:assign-argument 0 4)) "
                u"(a3:call-user-func 1) M5",
                2),
            ScriptVM::kPendingCall);
  SavedFrame frame, rewound;
  vm_.saveFrame(&frame, false);
  vm_.saveFrame(&rewound, true);
  EXPECT_EQ(std::tie(frame.scenario, frame.set, frame.sub, frame.scriptfunc, frame.pc, rewound.pc),
            std::make_tuple(3, nextSet_ - 1, -1, -1, 3, 2));
  EXPECT_EQ(frame.locals, (std::vector<int32_t>{0, 7}));
  EXPECT_EQ(frame.args, (std::vector<int32_t>{4}));

  ASSERT_EQ(run(u"(a3:eval 1)"), ScriptVM::kFinished);  // another frame
  EXPECT_EQ(vm_.restore_frame(frame), 1);
  EXPECT_EQ(std::make_tuple(vm_.scenario(), vm_.set(), vm_.pc()), std::make_tuple(3, frame.set, 3));
  EXPECT_EQ(vm_.locals(), frame.locals);
  EXPECT_EQ(vm_.args(), frame.args);
  vm_.run();
  EXPECT_EQ(vm_.state(), ScriptVM::kFinished);
  EXPECT_EQ(vm_.acc(), 5);

  EXPECT_EQ(vm_.restore_frame(rewound), 1);
  vm_.run();
  EXPECT_EQ(vm_.state(), ScriptVM::kPendingCall);  // the call again

  frame.pc = 4;  // at the end
  EXPECT_EQ(vm_.restore_frame(frame), 2);
  EXPECT_EQ(vm_.args(), frame.args);

  // A sub frame.
  auto sub = CompileScenarioText(u"(a3:define-sub (6 1) (a3:eval 1))", -1, 6, u"test");
  ASSERT_NE(sub, nullptr);
  vm_.cache().insert(CompiledUnitCache::kSub, 3, 6, std::move(sub));
  const SavedFrame subFrame{3, -1, 6, -1, 0, {9}, {8}};
  EXPECT_EQ(vm_.restore_frame(subFrame), 1);
  EXPECT_EQ(std::make_pair(vm_.set(), vm_.sub()), std::make_pair(-1, 6));
  EXPECT_EQ(vm_.locals(), (std::vector<int32_t>{9}));
  EXPECT_EQ(vm_.args(), (std::vector<int32_t>{8}));

  // No frame kind, or a script function (which does not exist): nothing changes.
  for (const SavedFrame& bad : {SavedFrame{3, -1, -1, -1, 0, {}, {}}, SavedFrame{3, -1, -1, 2, 0, {}, {}},
                                SavedFrame{3, frame.set, -1, -1, 9, {}, {}}}) {
    EXPECT_EQ(vm_.restore_frame(bad), 0);
    EXPECT_EQ(vm_.sub(), 6);
    EXPECT_EQ(vm_.args(), (std::vector<int32_t>{8}));
  }
}

// --- Calls ---

TEST_F(ScriptVMTest, CallsStopTheMachineWithAPendingCall) {
  ASSERT_EQ(enter(u"(a3:call-user-func 5 1 \"a\" #t) (a3:call-user-func) (a3:call-user-func \"x\" 2) "
                  u"(a3:send-string wait-w 3) (a3:call-far 4 (a3:bop-add 1 1)) (a3:call-sub 7)"),
            1);
  // Built-in calls: the number (-2 when missing or not an integer) and the arguments.
  const std::pair<int32_t, std::vector<std::string>> calls[] = {
      {5, {"1", "\"a\"", "#t"}}, {-2, {}}, {-2, {"2"}}, {-1, {"-3", "3"}}};
  for (const auto& [number, args] : calls) {
    vm_.run();
    ASSERT_EQ(vm_.state(), ScriptVM::kPendingCall);
    EXPECT_EQ(vm_.pendingKind(), ScriptVM::kBuiltin);
    EXPECT_EQ(vm_.pendingNumber(), number);
    EXPECT_EQ(pendingArgs(), args);
  }
  vm_.run();
  EXPECT_EQ(std::make_tuple(vm_.state(), vm_.pendingKind(), vm_.farScenario(), vm_.callSub()),
            std::make_tuple(3, 2, 4, 2));
  vm_.run();
  EXPECT_EQ(std::make_tuple(vm_.state(), vm_.pendingKind(), vm_.callSub()), std::make_tuple(3, 3, 7));
  vm_.run();
  EXPECT_EQ(vm_.state(), ScriptVM::kFinished);
}

// The scheduler enters the target of a far or sub call through the machine:
// a sub that cannot run never leaves the call pending.
TEST_F(ScriptVMTest, PendingCallsEnterTheirTargetOrStopCleanly) {
  vm_.cache().insert(CompiledUnitCache::kSub, 3, 6, CompileScenarioText(u"(a3:define-sub (6 1) (a3:eval 9))", -1, 6, u"t"));
  vm_.cache().insert(CompiledUnitCache::kSub, 3, 7, CompileScenarioText(u"(a3:define-sub (7 0))", -1, 7, u"t"));
  ASSERT_EQ(enter(u"(a3:call-sub 6) (a3:call-sub 7) (a3:call-sub 8)"), 1);
  vm_.run();
  ASSERT_EQ(vm_.state(), ScriptVM::kPendingCall);
  EXPECT_EQ(vm_.enterPendingCall(), 1);  // a sub with statements runs
  EXPECT_EQ(std::make_tuple(vm_.sub(), vm_.set(), vm_.state()), std::make_tuple(6, -1, 1));
  EXPECT_EQ(vm_.locals().size(), 1u);

  ASSERT_EQ(enter(u"(a3:call-sub 7)"), 1);
  vm_.run();
  EXPECT_EQ(vm_.enterPendingCall(), 2);  // an empty sub returns at once
  EXPECT_EQ(vm_.state(), ScriptVM::kFinished);

  // No environment: scenario 3's sub 8 cannot be loaded.
  ASSERT_EQ(enter(u"(a3:call-sub 8)"), 1);
  vm_.run();
  EXPECT_EQ(vm_.enterPendingCall(), 0);
  EXPECT_EQ(vm_.state(), ScriptVM::kError);

  ASSERT_EQ(enter(u"(a3:call-far 3 6)"), 1);
  vm_.run();
  EXPECT_EQ(vm_.enterPendingCall(), 1);
  EXPECT_EQ(std::make_tuple(vm_.scenario(), vm_.sub()), std::make_tuple(3, 6));
}

TEST_F(ScriptVMTest, BadCallTargetsStopWithAnError) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:call-far -1 2)", "call_far:不正なPRG番号/SUB番号(prgno=-1, subno=2)"},
      {u"(a3:call-far 1 \"s\")", "call_far:不正なPRG番号/SUB番号(prgno=1, subno=-1)"},
      {u"(a3:call-sub -3)", "call:不正なSUB番号(subno=-3)"},
      {u"(a3:call-sub #t)", "call:不正なSUB番号(subno=-1)"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(platform::ToUtf8(text));
    EXPECT_EQ(run(std::u16string(text) + u" M1"), ScriptVM::kError);
    EXPECT_TRUE(logged(log_, "[WARN ]", message)) << log_.all();
    EXPECT_EQ(vm_.pendingKind(), ScriptVM::kNone);
  }
  EXPECT_EQ(vm_.acc(), 0);
}

TEST_F(ScriptVMTest, ScriptFunctionCallFromAHandBuiltUnit) {
  auto unit = std::make_unique<CompiledUnit>();
  SCallScriptFunc* call = unit->make<SCallScriptFunc>();
  ConstString* text = unit->make<ConstString>();
  text->value = u"引数";
  call->exprs = {intNode(unit.get(), 9), text, intNode(unit.get(), -4)};
  unit->statements = {call};
  ASSERT_EQ(enterUnit(std::move(unit)), 1);
  vm_.run();
  EXPECT_EQ(vm_.state(), ScriptVM::kPendingCall);
  EXPECT_EQ(vm_.pendingKind(), ScriptVM::kScriptFunc);
  EXPECT_EQ(vm_.pendingNumber(), 9);
  EXPECT_EQ(pendingArgs(), (std::vector<std::string>{"\"引数\"", "-4"}));
  EXPECT_EQ(vm_.execStatement(), ScriptVM::kFinished);
}

// --- The unit cache ---

// Scenario 1 holds sets 1..12 (set n has n locals and evaluates n) and sub 1.
class UnitCacheTest : public testing::Test {
 protected:
  UnitCacheTest() {
    env_.resource().script = {u"scene", u"s", 4, u"scm"};
    std::string text = "(a3:define-sub (1 0) (a3:eval 100))\n";
    for (int n = 1; n <= 12; ++n) {
      text += "(a3:define-set (" + std::to_string(n) + " " + std::to_string(n) + ") (a3:eval " +
              std::to_string(n) + "))\n";
    }
    file_ = dir_.write("scene/s0001.scm", text);
  }
  ~UnitCacheTest() override { SetLogLevelMask(oldMask_); }

  bool cached(int32_t set) { return vm_.cache().contains(CompiledUnitCache::kSet, 1, set); }

  uint32_t oldMask_ = GetLogLevelMask();
  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  GameEnvironment env_{platform::FromUtf8(dir_.path().string()), {}, {}};
  std::filesystem::path file_;
  ScriptVM vm_{&env_};
  LogCapture log_;
};

TEST_F(UnitCacheTest, MissesAddAndHitsEvictTheOldestDownToTen) {
  SetLogLevelMask(LOG_TRACE | LOG_WARN);
  for (int32_t n = 1; n <= 11; ++n) ASSERT_EQ(vm_.exec_set(1, n, 0), 1) << n;
  EXPECT_TRUE(logged(log_, "[TRACE]", "loadSet(1, 3) numLocals(3)")) << log_.all();
  EXPECT_EQ(vm_.locals().size(), 11u);
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 11u);  // a miss does not evict

  ASSERT_EQ(vm_.exec_set(1, 1, 0), 1);  // a hit makes set 1 the newest
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 10u);
  EXPECT_TRUE(cached(1));
  EXPECT_FALSE(cached(2));
  EXPECT_TRUE(cached(3));
  ASSERT_EQ(vm_.exec_set(1, 12, 0), 1);
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 11u);
  ASSERT_EQ(vm_.exec_set(1, 12, 0), 1);
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 10u);
  EXPECT_FALSE(cached(3));
  EXPECT_TRUE(cached(4));

  // Cached units need no file; the others do.
  std::filesystem::remove(file_);
  log_.clear();
  ASSERT_EQ(vm_.exec_set(1, 4, 0), 1);
  vm_.run();
  EXPECT_EQ(show(vm_.result()), "4");
  EXPECT_EQ(vm_.exec_set(1, 2, 0), 0);
  EXPECT_TRUE(logged(log_, "[WARN ]", "シナリオファイルが見つからない(scene/s0001.scm)")) << log_.all();
  EXPECT_EQ(vm_.set(), 4);
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 10u);
}

TEST_F(UnitCacheTest, SubsAreCachedApartAndFailedLoadsAddNothing) {
  ASSERT_EQ(vm_.exec_sub(1, 1, 0), 1);
  EXPECT_EQ(std::make_pair(vm_.set(), vm_.sub()), std::make_pair(-1, 1));
  vm_.run();
  EXPECT_EQ(show(vm_.result()), "100");
  EXPECT_EQ(vm_.exec_set(1, 99, 0), 0);
  EXPECT_EQ(vm_.exec_sub(1, 2, 0), 0);
  EXPECT_TRUE(logged(log_, "[WARN ]", "シナリオファイルの解析に失敗(scene/s0001.scm)")) << log_.all();
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSub), 1u);
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 0u);
}

TEST_F(UnitCacheTest, TheRunningUnitIsNeverEvicted) {
  ASSERT_EQ(vm_.exec_set(1, 1, 0), 1);
  for (int32_t n = 2; n <= 11; ++n) ASSERT_NE(vm_.cache().get(CompiledUnitCache::kSet, 1, n, vm_.unit()), nullptr);
  ASSERT_NE(vm_.cache().get(CompiledUnitCache::kSet, 1, 5, vm_.unit()), nullptr);  // a hit
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 10u);
  EXPECT_TRUE(cached(1));  // the oldest, but running
  EXPECT_FALSE(cached(2));
  vm_.run();
  EXPECT_EQ(show(vm_.result()), "1");

  // Once another unit runs, set 1 is just the oldest.
  ASSERT_EQ(vm_.exec_set(1, 6, 0), 1);
  ASSERT_NE(vm_.cache().get(CompiledUnitCache::kSet, 1, 12, vm_.unit()), nullptr);
  ASSERT_EQ(vm_.exec_set(1, 12, 0), 1);
  EXPECT_FALSE(cached(1));
  EXPECT_EQ(vm_.cache().size(CompiledUnitCache::kSet), 10u);
}

}  // namespace
