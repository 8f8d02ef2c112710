// Speed of the message markup layout: logical lines per second for a
// generated 10,000-line text (kana, kanji, ASCII, ruby, colour codes, "#R"
// breaks) laid out with the sample game's message window 0. The baseline is
// a plain pass that copies every character into a glyph item; "x_copy" is
// the layout's time over the baseline's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstdint>
#include <string>
#include <vector>

#include "app/config_windows.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "platform/utf8.h"
#include "scene/markup_layout.h"

namespace {

// The sample game's story window, read from its configuration file.
Config::MessageWindowConfig sampleWindow0() {
  const std::filesystem::path folder = std::filesystem::path(ZEP_SOURCE_DIR) / "examples" / "sample";
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(folder);
  GameEnvironment env(platform::FromUtf8(folder.string()), {u"."}, {});
  const bool loaded = env.init(u"game.scm");
  std::filesystem::current_path(old);
  if (!loaded || !env.messageWindowTable().count(0)) {
    std::fprintf(stderr, "text_layout_bench: cannot read the sample's message window 0\n");
    std::exit(1);
  }
  return env.messageWindowTable().at(0);
}

std::u16string makeText(int lines) {
  std::u16string text;
  for (int i = 0; i < lines; ++i) {
    switch (i % 4) {
      case 0: text += u"「今日はいい天気ですね。」と$2彼女$Kは言った。"; break;
      case 1: text += u"&RA東京&RSとうきょう&RTの空はVery blue, isn't it? $#ffd700金色$Nの雲が流れていく。"; break;
      case 2: text += u"$ss28大きな文字$Nと$s/2小さな文字、そして$a2縁なし$a1の文字が続く、"
                 u"折り返しの入る長い行になります。「括弧」も（丸括弧）も入ります。"; break;
      default: text += u"ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 あいうえお"; break;
    }
    if (i + 1 < lines) text += u"#R";
  }
  return text;
}

// The baseline: every character into a glyph item, no markup, no wrapping.
std::vector<GlyphItem> copyGlyphs(const std::u16string& text) {
  std::vector<GlyphItem> glyphs;
  glyphs.reserve(text.size());
  for (char16_t c : text) {
    GlyphItem g;
    g.character = c;
    g.step = 1;
    g.color = 0xFFFFFFFFu;
    glyphs.push_back(g);
  }
  return glyphs;
}

void BM_LayoutMessageText(benchmark::State& state) {
  const int lines = 10000;
  const std::u16string text = makeText(lines);
  const Config::MessageWindowConfig config = sampleWindow0();
  double copy = 1e30;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(copyGlyphs(text));
    copy = std::min(copy, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  size_t visual = 0;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    const std::vector<LineLayout> out = layoutMarkupText(text, config);
    visual = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  const double each = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                      static_cast<double>(std::max<int64_t>(1, static_cast<int64_t>(state.iterations())));
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["visual_lines"] = static_cast<double>(visual);
  state.counters["x_copy"] = each / copy;
}
BENCHMARK(BM_LayoutMessageText)->Unit(benchmark::kMillisecond);

// The baseline on its own, for its lines per second.
void BM_CopyBaseline(benchmark::State& state) {
  const int lines = 10000;
  const std::u16string text = makeText(lines);
  for (auto _ : state) benchmark::DoNotOptimize(copyGlyphs(text));
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_CopyBaseline)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Warnings go nowhere: the timings are of the layout alone.
  SetLogLevelMask(0);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
