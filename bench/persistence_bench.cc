// Saving and loading 100,000 channels, and what a channel takes in memory:
//
//   Save_PrcCall / Load_PrcCall   procedure-call channels bound to Math/Add
//                                 (three parameters, links plugged)
//   Save_Value / Load_Value       plain "Value" channels (baseline)
//   Memory_PrcCall / Memory_Native   heap bytes per channel of an Add scene
//
// Saving builds the file in memory (the engine's saver) and loading reads
// it back the way a host does: one new channel per record, then its
// LoadChannel. Writing the bytes to disk is left out: it measures the disk.
// Loaded channels are destroyed outside the timing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_support.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"

namespace bench {
namespace {

constexpr size_t kChannels = 100000;
constexpr int kRounds = 5;

template <class Channel>
std::vector<uint8_t> SaveAll(const std::vector<Channel>& channels, const GUID& type) {
  ZyrFileSaver saver;
  for (const auto& channel : channels) {
    saver.BeginChannel(type);
    channel->SaveChannel(saver);
    saver.EndChannel();
  }
  return saver.RecordCount() == channels.size() ? saver.Bytes() : std::vector<uint8_t>();
}

// Loads every record of `file` into a new channel from `make`; false when
// a record is refused.
template <class Make, class Channel>
bool LoadAll(const std::vector<uint8_t>& file, Make make, std::vector<Channel>& loaded) {
  ZyrFileLoader loader;
  if (!loader.Open(file)) return false;
  GUID type;
  while (loader.NextChannel(&type)) {
    loaded.push_back(make());
    if (!loaded.back()->LoadChannel(loader, nullptr)) return false;
  }
  return !loader.HasError();
}

void Report(benchmark::State& state, size_t fileBytes) {
  state.counters["channels/s"] = benchmark::Counter(
      static_cast<double>(kChannels), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB/s"] = benchmark::Counter(static_cast<double>(fileBytes) / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
  state.counters["bytes/channel"] = static_cast<double>(fileBytes) / kChannels;
}

GUID PrcCallType() { return guid::FromString(guid::kPrcCallChannelType); }
GUID ValueType() { return guid::FromString(guid::kFloatChannelType); }

std::vector<std::unique_ptr<Ubo_ValueChannel>> Values() {
  std::vector<std::unique_ptr<Ubo_ValueChannel>> values;
  values.reserve(kChannels);
  for (size_t i = 0; i < kChannels; ++i) values.push_back(NewValue(static_cast<float>(i)));
  return values;
}

void Save_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  AddScene scene(kChannels, &MakeBoundAddCall);
  size_t fileBytes = 0;
  for (auto _ : state) fileBytes = SaveAll(scene.Channels(), PrcCallType()).size();
  if (fileBytes == 0) state.SkipWithError("saving failed");
  Report(state, fileBytes);
}
BENCHMARK(Save_PrcCall)->Iterations(kRounds)->Unit(benchmark::kMillisecond);

void Save_Value(benchmark::State& state) {
  const auto values = Values();
  size_t fileBytes = 0;
  for (auto _ : state) fileBytes = SaveAll(values, ValueType()).size();
  if (fileBytes == 0) state.SkipWithError("saving failed");
  Report(state, fileBytes);
}
BENCHMARK(Save_Value)->Iterations(kRounds)->Unit(benchmark::kMillisecond);

// Times loading `file` into new channels of kind Channel; `loaded` checks
// what came back.
template <class Channel, class Check>
void LoadInto(benchmark::State& state, const std::vector<uint8_t>& file, Check loadedWell) {
  bool loadedAll = !file.empty();
  for (auto _ : state) {
    std::vector<std::unique_ptr<Channel>> loaded;
    loaded.reserve(kChannels);
    loadedAll &= LoadAll(file, [] { return std::make_unique<Channel>(); }, loaded);
    state.PauseTiming();
    loadedAll &= loaded.size() == kChannels && loadedWell(*loaded.back());
    loaded.clear();
    state.ResumeTiming();
  }
  if (!loadedAll) state.SkipWithError("loading failed");
  Report(state, file.size());
}

void Load_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  std::vector<uint8_t> file;
  {
    AddScene scene(kChannels, &MakeBoundAddCall);
    file = SaveAll(scene.Channels(), PrcCallType());
  }
  LoadInto<Ubo_VanticPrcCall>(state, file, [](Ubo_VanticPrcCall& channel) {
    return channel.GetChildCreationCount() == 3;
  });
}
BENCHMARK(Load_PrcCall)->Iterations(kRounds)->Unit(benchmark::kMillisecond);

void Load_Value(benchmark::State& state) {
  LoadInto<Ubo_ValueChannel>(state, SaveAll(Values(), ValueType()), [](Ubo_ValueChannel& channel) {
    return channel._value == static_cast<float>(kChannels - 1);
  });
}
BENCHMARK(Load_Value)->Iterations(kRounds)->Unit(benchmark::kMillisecond);

// Heap bytes each channel of a 100,000-channel Add scene takes, bound,
// wired and evaluated once (its children not counted).
void Memory(benchmark::State& state, AddScene::MakeChannel make, size_t objectSize) {
  QuietEngine quiet;
  AddScene scene(kChannels, make);
  for (auto _ : state) benchmark::DoNotOptimize(scene.ChannelBytes());
  if (!scene.Computed()) state.SkipWithError("the scene does not compute");
  state.counters["bytes/channel"] = static_cast<double>(scene.ChannelBytes()) / kChannels;
  state.counters["sizeof"] = static_cast<double>(objectSize);
}

void Memory_PrcCall(benchmark::State& state) {
  Memory(state, &MakeBoundAddCall, sizeof(Ubo_VanticPrcCall));
}
BENCHMARK(Memory_PrcCall)->Iterations(1)->Unit(benchmark::kMillisecond);

void Memory_Native(benchmark::State& state) {
  Memory(state, &MakeNativeAdd, sizeof(NativeAddChannel));
}
BENCHMARK(Memory_Native)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
