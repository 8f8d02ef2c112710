// Lines per second while force skip runs through a story: 10,000 text lines
// through the text built-in, each with its "wait-e", in a game run by the
// real controller and the main window's own pump and frame step, paced as in
// a game (the offscreen driver when there is no display: frames at the
// configured rate), with force skip held as the player's key holds it. The
// baseline is what skipping cannot leave out: laying the same lines out for
// the message log; "x_layout" is the run's time over the baseline's. The
// goal is 10,000 lines in under a second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/game_environment.h"
#include "app/main_window.h"
#include "app/screen_flags.h"
#include "app/string_util.h"
#include "gamestate/state_mgr.h"
#include "platform/utf8.h"
#include "scene/markup_layout.h"
#include "scene/scene_facade.h"
#include "scene/scene_setup.h"
#include "script/app_controller.h"

namespace {

constexpr int kLines = 10000;

// The main window's pump, with force skip held as the player's key holds it
// (events the frame brings may end it).
class SkippingPump : public FramePump {
 public:
  int32_t pumpFrame(int32_t mode, bool skipPump) override {
    ++pumps;
    if (state) state->setForceSkip(1);
    // A run that stops skipping would wait for a click that never comes.
    if (pumps > 2 * kLines + 100) return -1;
    return MainWindowFramePump()->pumpFrame(mode, skipPump);
  }
  bool quitRequested() const override {
    return pumps > 2 * kLines + 100 || MainWindowFramePump()->quitRequested();
  }
  StateMgr* state = nullptr;
  int pumps = 0;
};

// A game of one story: kLines lines, each shown and waited for.
std::filesystem::path WriteGame() {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zep-skip-bench";
  std::filesystem::create_directories(dir / "scene");
  std::ofstream(dir / "game.scm")
      << "(:system (:mutex-name . \"zep-skip-bench\"))\n"
         "(:resource (:script-basedir \"scene\") (:script-basename \"scene\") (:script-num-digits 4)\n"
         "  (:script-extension \"scm\") (:font-0-type 0) (:font-0-name \"IPAGothic\"))\n"
         "(:window (:window-width 800) (:window-height 600))\n"
         "(:message-window (entryMap (0 (window-position-x . 20) (window-position-y . 410)\n"
         "  (window-width . 760) (window-height . 176) (ta-offset-x . 28) (ta-offset-y . 24)\n"
         "  (ta-width . 704) (ta-height . 132) (ta-bg-amikake . #t) (ta-font-size . 24)\n"
         "  (ta-linenum . 4) (ta-chars-per-line . 56) (ta-ruby-font-size . 10) (ta-ruby-line-pitch . 2))))\n";
  std::ofstream(dir / "scene" / "scene9010.scm") << "(a3:define-set (0 0) (a3:call-user-func 6002 1 0))\n";
  // Scenario files are in the game's code page.
  const std::string line = WStringToMultiByte(u"川辺の祭りの夜、$2提灯$Nの灯が流れていく。");
  std::ofstream story(dir / "scene" / "scene0001.scm", std::ios::binary);
  story << "(a3:define-set (0 0)\n  (a3:call-user-func 2020 0)\n  (a3:call-user-func 2021 1)\n";
  for (int i = 0; i < kLines; ++i) {
    story << "  (a3:send-string \"" << line << i << "\" " << i << ")\n"
          << "  (a3:send-string wait-e " << i << ")\n";
  }
  story << "  (a3:call-user-func 6000))\n";
  return dir;
}

void BM_ForceSkipThroughText(benchmark::State& state) {
  if (!getenv("DISPLAY") && !getenv("WAYLAND_DISPLAY")) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  const std::filesystem::path dir = WriteGame();
  const std::filesystem::path old = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  GameEnvironment env(platform::FromUtf8(dir.string()), {u"."}, {});
  SkippingPump pump;
  double runSeconds = 0, baseSeconds = 0;
  int64_t drawn = 0;
  {
    AppController controller(&env, &pump);
    if (!env.init(u"game.scm") || !controller.init()) {
      state.SkipWithError("the game did not start");
      std::filesystem::current_path(old);
      return;
    }
    pump.state = &controller.state();
    for (auto _ : state) {
      const int64_t drawnBefore = GetRenderedFrameCount();
      auto start = std::chrono::steady_clock::now();
      const bool ended = controller.run();
      runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      drawn = GetRenderedFrameCount() - drawnBefore;
      // One pump a line and the ending: anything else means skipping stopped.
      if (!ended || pump.pumps < kLines || pump.pumps > kLines + 10) {
        state.SkipWithError("the story did not skip through to its end");
        break;
      }

      // The same lines laid out, as the message log keeps them.
      const Config::MessageWindowConfig& window = env.messageWindowTable().at(0);
      size_t lines = 0;
      start = std::chrono::steady_clock::now();
      for (int i = 0; i < kLines; ++i) {
        lines += layoutMarkupText(u"川辺の祭りの夜、$2提灯$Nの灯が流れていく。" + intToWString(i), window).size();
      }
      baseSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      benchmark::DoNotOptimize(lines);
    }
  }
  std::filesystem::current_path(old);
  state.counters["lines_per_s"] = kLines / runSeconds;
  state.counters["pumps"] = pump.pumps;
  state.counters["frames_drawn"] = static_cast<double>(drawn);
  state.counters["x_layout"] = baseSeconds > 0 ? runSeconds / baseSeconds : 0;
}
BENCHMARK(BM_ForceSkipThroughText)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
