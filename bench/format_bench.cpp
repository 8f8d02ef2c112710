// The formatter behind every log line and path.
#include <benchmark/benchmark.h>

#include <string>

#include "app/format.h"

namespace {

void BM_FormatPath(benchmark::State& state) {
  const std::u16string folder = u"image/bg";
  for (auto _ : state) {
    benchmark::DoNotOptimize(Format(u"%s/%s%0*d.%s", folder, u"bg", 4, 123, u"png"));
  }
}
BENCHMARK(BM_FormatPath);

void BM_FormatLogLine(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        Format(u"[%5s] [%010u] GDev::setViewport() : failed(%08x)\n", u"WARN ", 123456u, -2005530516));
  }
}
BENCHMARK(BM_FormatLogLine);

}  // namespace

BENCHMARK_MAIN();
