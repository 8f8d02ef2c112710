// Reading and printing S-expression text of the size of a large scenario.
#include <benchmark/benchmark.h>

#include <string>

#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

std::u16string makeScenario(int statements) {
  std::u16string text = u"(a3:define-set 1\n";
  for (int i = 0; i < statements; ++i) {
    text += u"  (a3:call-user-func -1 \"メッセージの本文です。\" (a3:var word ";
    text += static_cast<char16_t>(u'0' + i % 10);
    text += u") #t 0x1F -42 'sym)\n";
  }
  text += u")\n";
  return text;
}

void BM_ParseScenario(benchmark::State& state) {
  const std::u16string text = makeScenario(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    tokenizer::Tokenizer reader;
    benchmark::DoNotOptimize(reader.parse(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size() * 2));
}
BENCHMARK(BM_ParseScenario)->Arg(100)->Arg(5000);

void BM_PrintScenario(benchmark::State& state) {
  const std::u16string text = makeScenario(static_cast<int>(state.range(0)));
  tokenizer::Tokenizer reader;
  reader.parse(text);
  for (auto _ : state) benchmark::DoNotOptimize(tokenizer::toText(reader.root()));
}
BENCHMARK(BM_PrintScenario)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
