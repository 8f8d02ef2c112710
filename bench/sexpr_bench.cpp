// Reading and printing S-expression text of the size of a large scenario.
//
// Rates are in bytes of the source file (CP932, as games store it) and in
// statements (the forms inside the sets). BM_ParseFile is the loaders' whole
// path, bytes to tree; BM_ParseText reads text already decoded. Both carry
// their baselines, timed in the same program on the same bytes: a plain pass
// over the bytes ("x_scan") and the CP932 decode of the whole file alone
// ("x_decode"), each the reader's time over the baseline's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/string_util.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

struct Scenario {
  std::string bytes;   // CP932
  int64_t statements = 0;
};

std::u16string decimal(int n) {
  const std::string s = std::to_string(n);
  return std::u16string(s.begin(), s.end());
}

// Sets of messages, waits, built-in calls, variable arithmetic and branches,
// as games write them, up to `size` bytes.
Scenario makeScenario(size_t size) {
  Scenario out;
  out.bytes = "; generated scenario\n";
  for (int n = 0; out.bytes.size() < size; ++n) {
    const std::u16string lines[] = {
        u"(a3:eval-noeffect (a3:assign-local 0 0))",
        u"(a3:call-user-func 2010 0 \"bg012\" 500)",
        u"(a3:label 0)",
        u"(a3:send-string \"「今日はいい天気ですね。どこかへ出かけましょうか」\" " + decimal(n * 2) + u")",
        u"(a3:send-string wait-w 0)",
        u"(a3:send-string \"彼女はそう言って、窓の外を眺めた。\" " + decimal(n * 2 + 1) + u")",
        u"(a3:send-string wait-e 0)",
        u"(a3:call-user-func -1 \"メッセージの本文です。\" (a3:var word 3) #t 0x1F -42 'sym) ; note",
        u"(a3:eval-noeffect (a3:assign-word 12 (a3:bop-add (a3:idref-word 12) 1)))",
        u"(a3:eval (a3:bop-less? (a3:idref-local 0) 3))",
        u"(a3:if 0)",
        u"(a3:eval (a3:idref-flag 105))",
        u"(a3:switch (0 1) (1 2) (default 3))",
        u"(a3:label 1)",
        u"(a3:call-far 12 3)",
        u"(a3:label 2)",
        u"(a3:jump " + decimal(n + 1) + u")",
    };
    std::u16string set = u"(a3:define-set (" + decimal(n) + u" 2)\n";
    for (const std::u16string& line : lines) set += u"  " + line + u"\n";
    set += u")\n";
    out.bytes += WStringToMultiByte(set);
    out.statements += static_cast<int64_t>(std::size(lines));
  }
  return out;
}

const Scenario& scenarioOf(int64_t mebibytes) {
  static Scenario small = makeScenario(size_t{1} << 20);
  static Scenario large = makeScenario(size_t{8} << 20);
  return mebibytes <= 1 ? small : large;
}

// The loaders' path from the file's bytes to the tree: parseFile(bytes)
// where the reader has it, else decoding the whole file first.
template <class Reader>
bool readBytes(Reader& reader, std::string_view bytes) {
  if constexpr (requires { reader.parseFile(bytes); }) {
    return reader.parseFile(bytes);
  } else {
    return reader.parse(MultiByteToWString(bytes.data(), bytes.size()));
  }
}

// Seconds per call of `work`: the fastest of a few runs.
template <class F>
double secondsPer(F&& work) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// Baseline 1: one plain pass over the bytes (counting the parentheses).
int64_t scanBytes(std::string_view bytes) {
  int64_t depth = 0;
  for (char c : bytes) depth += (c == '(') - (c == ')');
  return depth;
}

// Baseline 2: the CP932 decode alone.
std::u16string decodeBytes(std::string_view bytes) { return MultiByteToWString(bytes.data(), bytes.size()); }

// Rates per source byte and per statement, and the time per iteration over
// each baseline's.
template <class Loop>
void runAgainstBaselines(benchmark::State& state, const Scenario& scenario, Loop&& loop) {
  const std::string_view bytes = scenario.bytes;
  const double scan = secondsPer([&] { benchmark::DoNotOptimize(scanBytes(bytes)); });
  const double decode = secondsPer([&] { benchmark::DoNotOptimize(decodeBytes(bytes)); });
  const auto start = std::chrono::steady_clock::now();
  loop();
  const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                      static_cast<double>(std::max<int64_t>(1, static_cast<int64_t>(state.iterations())));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  state.counters["statements/s"] = benchmark::Counter(static_cast<double>(scenario.statements),
                                                      benchmark::Counter::kIsIterationInvariantRate);
  state.counters["x_scan"] = each / scan;
  state.counters["x_decode"] = each / decode;
}

void BM_ScanBaseline(benchmark::State& state) {
  const Scenario& scenario = scenarioOf(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(scanBytes(scenario.bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scenario.bytes.size()));
}
BENCHMARK(BM_ScanBaseline)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_DecodeBaseline(benchmark::State& state) {
  const Scenario& scenario = scenarioOf(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(decodeBytes(scenario.bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scenario.bytes.size()));
}
BENCHMARK(BM_DecodeBaseline)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_ParseFile(benchmark::State& state) {
  const Scenario& scenario = scenarioOf(state.range(0));
  runAgainstBaselines(state, scenario, [&] {
    for (auto _ : state) {
      tokenizer::Tokenizer reader;
      if (!readBytes(reader, scenario.bytes)) state.SkipWithError("the scenario did not parse");
      benchmark::DoNotOptimize(reader.root());
    }
  });
}
BENCHMARK(BM_ParseFile)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_ParseText(benchmark::State& state) {
  const Scenario& scenario = scenarioOf(state.range(0));
  const std::u16string text = decodeBytes(scenario.bytes);
  runAgainstBaselines(state, scenario, [&] {
    for (auto _ : state) {
      tokenizer::Tokenizer reader;
      if (!reader.parse(text)) state.SkipWithError("the scenario did not parse");
      benchmark::DoNotOptimize(reader.root());
    }
  });
}
BENCHMARK(BM_ParseText)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_PrintScenario(benchmark::State& state) {
  const Scenario& scenario = scenarioOf(state.range(0));
  tokenizer::Tokenizer reader;
  reader.parse(decodeBytes(scenario.bytes));
  for (auto _ : state) benchmark::DoNotOptimize(tokenizer::toText(reader.root()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(scenario.bytes.size()));
}
BENCHMARK(BM_PrintScenario)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
