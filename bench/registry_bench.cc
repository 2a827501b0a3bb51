// Binding and modes against the framework's own work:
//
//   Bind_UpdatePrc/n        UpdatePrc of a bound channel to another of n
//                           registered procedures (same parameters, so the
//                           links are kept), with its reports and renaming
//   Bind_GetProcedure/n     the framework's lookup alone (baseline)
//   Modes_PrepareModesList  PrepareModesList for an owner class of 10,000
//                           procedures
//   Modes_GetProceduresList the framework's listing alone (baseline)
//
// The n procedures are spread over owner classes of 100 each and named
// after their number; each iteration binds to the next of 4,096 picked at
// random, so the lookups do not all hit one cached entry.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"

namespace bench {
namespace {

constexpr size_t kProceduresPerOwner = 100;
constexpr size_t kPicks = 4096;
constexpr size_t kModeCount = 10000;

struct Name {
  std::string owner;
  std::string name;
};

Name NameOf(size_t i) {
  return Name{"Owner" + std::to_string(i / kProceduresPerOwner), "Procedure" + std::to_string(i)};
}

// Makes the registry hold exactly `count` procedures NameOf(0 .. count-1),
// registering them only when it holds something else. Procedures removed
// stay allocated by the framework, so the set is kept between runs of the
// same case rather than made again.
void HoldProcedures(size_t count) {
  static size_t held = SIZE_MAX;
  if (held == count && Procedures().Count() == count) return;
  Procedures().RemoveAll();
  const VarList params = AddParams();
  for (size_t i = 0; i < count; ++i) {
    const Name n = NameOf(i);
    Procedures().RegisterFunction(n.owner, n.name, true, params, &AddBody);
  }
  held = count;
}

// Owner class "Big" with kModeCount procedures, and nothing else.
void HoldOneLargeOwner() {
  static bool held = false;
  if (held && Procedures().Count() == kModeCount) return;
  Procedures().RemoveAll();
  const VarList params = AddParams();
  for (size_t i = 0; i < kModeCount; ++i) {
    Procedures().RegisterFunction("Big", "Procedure" + std::to_string(i), true, params, &AddBody);
  }
  held = true;
}

std::vector<Name> Picks(size_t count) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<size_t> pick(0, count - 1);
  std::vector<Name> picks;
  picks.reserve(kPicks);
  for (size_t i = 0; i < kPicks; ++i) picks.push_back(NameOf(pick(random)));
  return picks;
}

void Bind_UpdatePrc(benchmark::State& state) {
  QuietEngine quiet;
  const size_t count = static_cast<size_t>(state.range(0));
  HoldProcedures(count);
  const std::vector<Name> picks = Picks(count);
  const Name first = NameOf(0);
  auto channel = NewBoundCall(first.owner, first.name);
  size_t next = 0;
  for (auto _ : state) {
    const Name& n = picks[next++ % kPicks];
    benchmark::DoNotOptimize(channel->UpdatePrc(n.owner, n.name));
  }
  if (channel->GetBoundProcedure() == nullptr) state.SkipWithError("a lookup failed");
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Bind_UpdatePrc)->Arg(10)->Arg(10000)->Arg(100000)->Complexity();

void Bind_GetProcedure(benchmark::State& state) {
  const size_t count = static_cast<size_t>(state.range(0));
  HoldProcedures(count);
  const std::vector<Name> picks = Picks(count);
  const ProceduresManager& procedures = Procedures();
  size_t next = 0;
  for (auto _ : state) {
    const Name& n = picks[next++ % kPicks];
    benchmark::DoNotOptimize(procedures.GetProcedure(n.owner, n.name));
  }
  state.SetComplexityN(state.range(0));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Bind_GetProcedure)->Arg(10)->Arg(10000)->Arg(100000)->Complexity();

void Modes_PrepareModesList(benchmark::State& state) {
  QuietEngine quiet;
  HoldOneLargeOwner();
  Ubo_VanticPrcCall channel;
  channel.SetPrcName("Procedure9999");
  for (auto _ : state) channel.PrepareModesList("Big");
  if (channel.GetModeCount() != kModeCount || channel.GetCurrentMode() != kModeCount - 1) {
    state.SkipWithError("the modes do not list the owner's procedures");
  }
  state.counters["modes"] = static_cast<double>(channel.GetModeCount());
}
BENCHMARK(Modes_PrepareModesList)->Unit(benchmark::kMillisecond);

void Modes_GetProceduresList(benchmark::State& state) {
  HoldOneLargeOwner();
  for (auto _ : state) {
    std::vector<std::string> names;
    Procedures().GetProceduresList("Big", names);
    benchmark::DoNotOptimize(names.data());
  }
}
BENCHMARK(Modes_GetProceduresList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bench
