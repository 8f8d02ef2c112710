// Peak memory of reading scenario and configuration files: the bytes the
// program holds at its highest point while a file of N MB is loaded (read,
// decoded, parsed and, for a scenario, one set compiled), per byte of the
// file. The baseline is a plain copy of the file's bytes (1 byte per byte);
// "x_copy" is the load's peak over the baseline's.
//
// Every operator new and delete of this program is counted (malloc calls of
// C libraries are not); the peak is taken above what was held when the load
// began.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "app/config_reader.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "platform/utf8.h"
#include "script/scenario_compiler.h"

// ---------------------------------------------------------------------------
// Counting allocator: each block carries its size in a header.

namespace {

std::atomic<int64_t> g_current{0};
std::atomic<int64_t> g_peak{0};

constexpr size_t kHeader = alignof(std::max_align_t);

void* countedAlloc(size_t size) {
  void* raw = std::malloc(size + kHeader);
  if (!raw) return nullptr;
  *static_cast<size_t*>(raw) = size;
  const int64_t now = g_current.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed) +
                      static_cast<int64_t>(size);
  int64_t peak = g_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
  return static_cast<char*>(raw) + kHeader;
}

void countedFree(void* p) {
  if (!p) return;
  void* raw = static_cast<char*>(p) - kHeader;
  g_current.fetch_sub(static_cast<int64_t>(*static_cast<size_t*>(raw)), std::memory_order_relaxed);
  std::free(raw);
}

}  // namespace

void* operator new(size_t size) {
  void* p = countedAlloc(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, size_t) noexcept { countedFree(p); }
void operator delete[](void* p, size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {

// Bytes held at the highest point while `work` runs, above what was held
// before it.
template <class F>
int64_t peakOf(F&& work) {
  const int64_t before = g_current.load();
  g_peak.store(before);
  work();
  return g_peak.load() - before;
}

// Scenario text as games write it: many sets of messages, waits, built-in
// calls, variable arithmetic and branches (CP932 bytes).
std::string makeScenario(size_t bytes) {
  const std::u16string set =
      u"(a3:define-set (%d 2)\n"
      u"  (a3:eval-noeffect (a3:assign-local 0 0))\n"
      u"  (a3:call-user-func 2010 0 \"bg012\" 500)\n"
      u"  (a3:label 0)\n"
      u"  (a3:send-string \"「今日はいい天気ですね。どこかへ出かけましょうか」\" %d)\n"
      u"  (a3:send-string wait-w 0)\n"
      u"  (a3:send-string \"彼女はそう言って、窓の外を眺めた。\" %d)\n"
      u"  (a3:send-string wait-e 0)\n"
      u"  (a3:call-user-func 4000 1 -1 0)\n"
      u"  (a3:eval-noeffect (a3:assign-word 12 (a3:bop-add (a3:idref-word 12) 1)))\n"
      u"  (a3:eval (a3:bop-less? (a3:idref-local 0) 3))\n"
      u"  (a3:if 0)\n"
      u"  (a3:eval (a3:idref-flag 105))\n"
      u"  (a3:switch (0 1) (1 2) (default 3))\n"
      u"  (a3:label 1)\n"
      u"  (a3:call-far 12 3)\n"
      u"  (a3:label 2)\n"
      u"  (a3:label 3)\n"
      u"  (a3:jump %d))\n";
  std::string text = "; generated scenario\n";
  for (int n = 0; text.size() < bytes; ++n) {
    text += WStringToMultiByte(Format(set, n, n * 2, n * 2 + 1, n + 1));
  }
  return text;
}

// Configuration text: the sections a game writes, repeated.
std::string makeConfig(size_t bytes) {
  const std::string block =
      "(:product-info (:author-name . \"作者の名前\") (:product-name . \"ゲームの名前\")\n"
      "  (:savedata-usage . 1) (:savedata-version . 3))\n"
      "(:system (:mutex-name . \"game-mutex\") (:texture-cache-num . 60) (:texture-cache-purge-timelimit . 20))\n"
      "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
      "  (:script-extension \"scm\") (:image-basedir \"image\") (:image-basename \"bg\") (:image-num-digits 3))\n"
      "(:window (:window-title \"ゲームの名前\") (:window-width 800) (:window-height 600))\n"
      "(:color-table (1 . (255 255 255)) (2 . (0 0 0 128)))\n";
  std::string text = "; generated configuration\n";
  while (text.size() < bytes) text += block;
  return text;
}

class GameFolder {
 public:
  GameFolder() {
    path_ = std::filesystem::temp_directory_path() / ("zep-reader-bench-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(path_);
  }
  ~GameFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::filesystem::path write(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void report(benchmark::State& state, int64_t peak, int64_t copyPeak, size_t fileSize) {
  state.counters["peak_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
  state.counters["bytes_per_byte"] = static_cast<double>(peak) / static_cast<double>(fileSize);
  state.counters["x_copy"] = static_cast<double>(peak) / static_cast<double>(copyPeak);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fileSize));
}

// Baseline: the bytes of the file copied once.
int64_t copyPeak(const std::string& bytes) {
  return peakOf([&] {
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    benchmark::DoNotOptimize(copy.data());
  });
}

void BM_CopyBaseline(benchmark::State& state) {
  const std::string bytes = makeScenario(static_cast<size_t>(state.range(0)) << 20);
  int64_t peak = 0;
  for (auto _ : state) peak = copyPeak(bytes);
  report(state, peak, peak, bytes.size());
}
BENCHMARK(BM_CopyBaseline)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

// Scenario n of the environment is folder/scene<nnnn>.scm.
void findScenariosIn(GameEnvironment& env, const GameFolder& folder) {
  Config::NamingRule& rule = env.resource().script;
  rule.baseDir = platform::FromUtf8(folder.path().string());
  rule.baseName = u"scene";
  rule.digits = 4;
  rule.extension = u"scm";
}

// One set from the middle of the file, through the scenario loader.
void BM_LoadScenarioSet(benchmark::State& state) {
  SetLogLevelMask(0);
  GameFolder folder;
  const std::string bytes = makeScenario(static_cast<size_t>(state.range(0)) << 20);
  folder.write("scene0001.scm", bytes);
  GameEnvironment env(u"/bench", {}, {});
  findScenariosIn(env, folder);
  const int32_t middle = static_cast<int32_t>(bytes.size() / 1000 / 2);
  int64_t peak = 0;
  for (auto _ : state) {
    peak = peakOf([&] {
      std::unique_ptr<CompiledUnit> unit = LoadCompiledUnit(env, 1, middle, -1);
      if (!unit) state.SkipWithError("the set did not load");
      benchmark::DoNotOptimize(unit.get());
    });
  }
  report(state, peak, copyPeak(bytes), bytes.size());
}
BENCHMARK(BM_LoadScenarioSet)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

// The whole file as one set: the compiled unit is as large as it gets.
void BM_CompileOneLargeSet(benchmark::State& state) {
  SetLogLevelMask(0);
  std::string bytes = "(a3:define-set (7 2)\n";
  const std::string body = makeScenario(static_cast<size_t>(state.range(0)) << 20);
  // The statements of every generated set, inside one set.
  for (size_t at = 0; (at = body.find("\n  (", at)) != std::string::npos;) {
    const size_t end = body.find('\n', at + 1);
    std::string line = body.substr(at + 1, end - at - 1);
    if (line.size() > 2 && line.back() == ')' && line.compare(line.size() - 2, 2, "))") == 0 &&
        line.find("a3:jump") != std::string::npos) {
      line.pop_back();
    }
    bytes += line;
    bytes += '\n';
    at = end;
  }
  bytes += ")\n";
  GameFolder folder;
  folder.write("scene0002.scm", bytes);
  GameEnvironment env(u"/bench", {}, {});
  findScenariosIn(env, folder);
  int64_t peak = 0;
  for (auto _ : state) {
    peak = peakOf([&] {
      std::unique_ptr<CompiledUnit> unit = LoadCompiledUnit(env, 2, 7, -1);
      if (!unit) state.SkipWithError("the set did not load");
      benchmark::DoNotOptimize(unit.get());
    });
  }
  report(state, peak, copyPeak(bytes), bytes.size());
}
BENCHMARK(BM_CompileOneLargeSet)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

void BM_LoadConfig(benchmark::State& state) {
  SetLogLevelMask(0);
  GameFolder folder;
  const std::string bytes = makeConfig(static_cast<size_t>(state.range(0)) << 20);
  const std::filesystem::path file = folder.write("game.scm", bytes);
  int64_t peak = 0;
  for (auto _ : state) {
    GameEnvironment env(u"/bench", {}, {});
    peak = peakOf([&] {
      if (!LoadSystemConfig(&env, platform::FromUtf8(file.string()))) state.SkipWithError("the file did not load");
    });
  }
  report(state, peak, copyPeak(bytes), bytes.size());
}
BENCHMARK(BM_LoadConfig)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
