// Render commands per second through a commit: 64 layers in 8 groups, each
// layer with 16 queued commands (visibility, mask operation, motion) that
// commitAllLayers applies to the headless layer component. The baseline
// makes the same node changes by calling the scene commands directly, with
// no table and no queue; "x_direct" is the commit's time over the
// baseline's.
#include <benchmark/benchmark.h>

#include <chrono>

#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "scene/xg_layer.h"

namespace {

constexpr int32_t kLayers = 64;
constexpr int32_t kGroups = 8;
constexpr int32_t kCommandsPerLayer = 16;

class HeadlessLayers : public SceneFacade {
 public:
  bool msgIsTextDisplaying() override { return false; }
  void msgFinishText() override {}
  void msgSetKeyWaitIcon(int32_t) override {}
  void msgSetPosition(int32_t, int32_t, int32_t) override {}
  void fgFinishCellEffect(int32_t) override {}
  void setAppEventEnabled(int32_t, bool) override {}
  bool faderIsFading(int32_t, int32_t*) override { return false; }
  XG_Layer* layerComponent() override { return &layer; }

  XG_Layer layer{800, 600};
};

MotionParams RecordFor(int32_t i) {
  MotionParams record;
  record.ix = i;
  record.iy = i / 2;
  return record;
}

// The queued changes of one pass, on every layer.
void QueueCommands(StateMgr& state) {
  for (int32_t layer = 1; layer <= kLayers; ++layer) {
    for (int32_t i = 0; i < kCommandsPerLayer; ++i) {
      switch (i % 3) {
        case 0: state.gl_visible(1, layer, i % 2 == 0); break;
        case 1: state.gl_mask(1, layer, 1 + i % 2); break;
        default: state.gl_motion(1, layer, 0, 0, 0, 0x6, RecordFor(i)); break;
      }
    }
  }
}

double DirectSeconds(StateMgr& state) {
  const auto start = std::chrono::steady_clock::now();
  for (const auto& [no, layer] : state.layerTable().layers) {
    for (int32_t i = 0; i < kCommandsPerLayer; ++i) {
      switch (i % 3) {
        case 0: sceneLayer_setVisible(layer->node, i % 2 == 0); break;
        case 1: sceneLayer_setMaskOp(layer->node, 1 + i % 2); break;
        default: sceneLayer_motion(layer->node, 0, 0, 0, RecordFor(i)); break;
      }
    }
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_CommitAllLayers(benchmark::State& bench) {
  HeadlessLayers scene;
  SceneFacade* previous = SetSceneFacade(&scene);
  {
    StateMgr state(nullptr, nullptr);
    state.setMode(StateMgr::kUserMode);
    for (int32_t layer = 1; layer <= kLayers; ++layer) state.gl_configure(layer, 1, 0, 0);
    // Eight layers to a group.
    for (int32_t layer = 1; layer <= kLayers; ++layer) {
      if ((layer - 1) % (kLayers / kGroups) != 0) state.gl_single_link(layer - 1, layer);
    }
    double commit = 0.0;
    double direct = 0.0;
    for (auto _ : bench) {
      bench.PauseTiming();
      QueueCommands(state);
      bench.ResumeTiming();
      const auto start = std::chrono::steady_clock::now();
      state.commitAllLayers();
      commit += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      bench.PauseTiming();
      direct += DirectSeconds(state);
      bench.ResumeTiming();
    }
    const double commands = static_cast<double>(bench.iterations()) * kLayers * kCommandsPerLayer;
    bench.counters["commands_per_s"] = commands / commit;
    bench.counters["x_direct"] = direct > 0.0 ? commit / direct : 0.0;
  }
  SetSceneFacade(previous);
}
BENCHMARK(BM_CommitAllLayers)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
