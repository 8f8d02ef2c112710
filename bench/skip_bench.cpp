// Lines per second while force skip runs through a story: 10,000 text lines
// through the text built-in, each with its "wait-e", in a game run by the
// real controller, each line followed by one unpaced frame of the message
// window on the device (offscreen driver when there is no display). The
// baseline is the same number of those frames with the window's text
// changed by hand, without the script; "x_frames" is the run's time over
// the baseline's. The goal is 10,000 lines in under a second.
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
#include "scene/scene_facade.h"
#include "scene/scene_setup.h"
#include "script/app_controller.h"

namespace {

constexpr int kLines = 10000;

// Every pump call runs one frame at once, as the main window's pump does for
// a skipped line, with force skip held as the player's key holds it (events
// the frame brings may end it).
class UnpacedPump : public FramePump {
 public:
  int32_t pumpFrame(int32_t, bool) override {
    ++frames;
    if (state) state->setForceSkip(1);
    // A run that stops skipping would wait for a click that never comes.
    if (frames > 2 * kLines + 100) return -1;
    return PumpMessages(1, false);
  }
  bool quitRequested() const override { return frames > 2 * kLines + 100; }
  StateMgr* state = nullptr;
  int frames = 0;
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
  UnpacedPump pump;
  double runSeconds = 0, baseSeconds = 0;
  {
    AppController controller(&env, &pump);
    if (!env.init(u"game.scm") || !controller.init()) {
      state.SkipWithError("the game did not start");
      std::filesystem::current_path(old);
      return;
    }
    pump.state = &controller.state();
    for (auto _ : state) {
      auto start = std::chrono::steady_clock::now();
      const bool ended = controller.run();
      runSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      // One frame a line and the ending: anything else means skipping stopped.
      if (!ended || pump.frames < kLines || pump.frames > kLines + 10) {
        state.SkipWithError("the story did not skip through to its end");
        break;
      }

      // The same frames, the window's text set directly.
      start = std::chrono::steady_clock::now();
      for (int i = 0; i < pump.frames; ++i) {
        sceneMsg_showText(u"川辺の祭りの夜、提灯の灯が流れていく。", 0);
        PumpMessages(1, false);
      }
      baseSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
  }
  std::filesystem::current_path(old);
  state.counters["lines_per_s"] = kLines / runSeconds;
  state.counters["frames"] = pump.frames;
  state.counters["x_frames"] = baseSeconds > 0 ? runSeconds / baseSeconds : 0;
}
BENCHMARK(BM_ForceSkipThroughText)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
