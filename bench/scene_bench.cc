// One frame of a scene of 1,000,000 Add channels (case 7), a binary of its
// own because the scene takes gigabytes: run one case per process (see
// run.sh) so that the peak resident size belongs to that case.
//
//   Scene_PrcCall   procedure-call channels bound to Math/Add
//   Scene_NativeTyped  the hand-written Add channel telling each child by
//                   its exact type (baseline)
//   Scene_Native    the same checking each child with dynamic_cast
//
// Each channel reads two of a pool of 1,024 inputs and writes its own
// output. A frame moves the render count on and calls every channel, as a
// host does. Counters: heap bytes of the channels, per channel, and the
// process's peak resident size. SCENE_CHANNELS=N in the environment makes
// a scene of N channels instead (the scale benchmark, scale_bench.py,
// compares the runner's frame with these at its own sizes).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

#include "bench/bench_support.h"

namespace bench {
namespace {

size_t SceneChannels() {
  const char* text = std::getenv("SCENE_CHANNELS");
  const unsigned long long n = text ? std::strtoull(text, nullptr, 10) : 0;
  return n > 0 && n <= 10'000'000 ? static_cast<size_t>(n) : 1'000'000;
}

void Scene(benchmark::State& state, AddScene::MakeChannel make) {
  QuietEngine quiet;
  const size_t kSceneChannels = SceneChannels();
  const auto start = std::chrono::steady_clock::now();
  AddScene scene(kSceneChannels, make);
  const std::chrono::duration<double> built = std::chrono::steady_clock::now() - start;
  for (auto _ : state) scene.Frame();
  if (!scene.Computed()) state.SkipWithError("the scene does not compute");
  state.counters["channels"] = static_cast<double>(kSceneChannels);
  state.counters["build_s"] = built.count();
  state.counters["channel_MB"] = static_cast<double>(scene.ChannelBytes()) / 1e6;
  state.counters["bytes/channel"] = static_cast<double>(scene.ChannelBytes()) / kSceneChannels;
  state.counters["peak_RSS_MB"] = static_cast<double>(PeakResidentBytes()) / 1e6;
}

void Scene_PrcCall(benchmark::State& state) { Scene(state, &MakeBoundAddCall); }
BENCHMARK(Scene_PrcCall)->Iterations(5)->Unit(benchmark::kMillisecond);

void Scene_NativeTyped(benchmark::State& state) { Scene(state, &MakeNativeAddTyped); }
BENCHMARK(Scene_NativeTyped)->Iterations(5)->Unit(benchmark::kMillisecond);

void Scene_Native(benchmark::State& state) { Scene(state, &MakeNativeAdd); }
BENCHMARK(Scene_Native)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
