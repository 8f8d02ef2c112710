// Compile and run speed of the script engine: statements per second for a
// generated 10,000-line scenario (and bytes of its source, CP932 as games
// store it), and for an arithmetic loop.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "app/log.h"
#include "app/string_util.h"
#include "script/scenario_compiler.h"
#include "script/script_vm.h"
#include "script/tokenizer.h"

namespace {

std::u16string makeScenario(int lines) {
  std::u16string text = u"(a3:define-set (1 4)\n";
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0: text += u"  (a3:eval (a3:assign-word 3 (a3:bop-add (a3:idref-word 3) 7)))\n"; break;
      case 1: text += u"  (a3:send-string \"本文のテキストです\" 12)\n"; break;
      case 2: text += u"  (a3:eval (a3:bop-logical-and (a3:bop-less? (a3:idref-local 0) 10) #t))\n"; break;
      default: text += u"  (a3:call-user-func 4000 1 \"arg\")\n"; break;
    }
  }
  text += u")\n";
  return text;
}

// Baseline: reading the same text into cells alone ("x_parse" is the
// compile's time over the read's).
void BM_CompileScenario(benchmark::State& state) {
  const int lines = 10000;
  const std::u16string text = makeScenario(lines);
  double parse = 1e30;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    tokenizer::Tokenizer reader;
    benchmark::DoNotOptimize(reader.parse(text));
    parse = std::min(parse, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    std::unique_ptr<CompiledUnit> unit = CompileScenarioText(text, 1, -1, u"bench");
    benchmark::DoNotOptimize(unit.get());
  }
  const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                      static_cast<double>(std::max<int64_t>(1, static_cast<int64_t>(state.iterations())));
  state.counters["statements/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["x_parse"] = each / parse;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(WStringToMultiByte(text).size()));
}
BENCHMARK(BM_CompileScenario)->Unit(benchmark::kMillisecond);

// A loop of 6 statements per turn: compare, branch, two assignments,
// increment, jump back.
void BM_RunArithmeticLoop(benchmark::State& state) {
  const std::u16string text =
      u"(a3:define-set (1 2)"
      u" (a3:eval (a3:assign-local 0 0))"
      u" (a3:label 1)"
      u" (a3:eval (a3:bop-less? (a3:idref-local 0) " + std::u16string(u"10000") + u"))"
      u" (a3:ifnot 2)"
      u" (a3:eval-noeffect (a3:assign-local 1 (a3:bop-mod (a3:bop-mul (a3:idref-local 0) 31) 7)))"
      u" (a3:eval-noeffect (a3:assign-word 5 (a3:bop-add (a3:idref-word 5) (a3:idref-local 1))))"
      u" (a3:eval-noeffect (a3:pre-incr-local 0))"
      u" (a3:goto 1)"
      u" (a3:label 2))";
  int64_t statements = 0;
  for (auto _ : state) {
    ScriptVM vm(nullptr);
    vm.cache().insert(CompiledUnitCache::kSet, 1, 1, CompileScenarioText(text, 1, -1, u"bench"));
    vm.exec_set(1, 1, 0);
    while (vm.execStatement() == ScriptVM::kRunning) ++statements;
  }
  state.counters["statements/s"] = benchmark::Counter(static_cast<double>(statements), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunArithmeticLoop)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  SetLogLevelMask(0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
