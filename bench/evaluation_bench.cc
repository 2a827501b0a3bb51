// Evaluation of one channel, due every frame, against its baselines:
//
//   Eval_Add_PrcCall     a procedure-call channel bound to Math/Add
//   Eval_Add_Native      the hand-written channel doing the same on the same
//                        links (baseline a)
//   Eval_Add_NativeUnchecked  the same trusting the links' types (no
//                        dynamic_cast): a lower bound
//   Eval_Add_Execute     Math/Add's Execute on a list made ready once
//                        (baseline b)
//   Eval_Push_*          the same for Body/Push: six parameters, floats and
//                        vectors, not static (a "This" link)
//   NotDue_*             an evaluation for a render count already computed
//
// Every iteration moves the render count on (except NotDue_*), so each
// GetFloat is a full evaluation. A run whose status or outputs are wrong is
// reported as an error, not timed.
#include <benchmark/benchmark.h>

#include <cmath>

#include "bench/bench_support.h"

namespace bench {
namespace {

// Checks that an Add channel computed 1 + 2 into its result.
bool AddWorked(float status, const AddWiring& wiring) {
  return status == kPrcStatusOk && wiring.result->GetFloat() == 3.0f;
}

// Checks that a Push channel moved its position and wrote a speed.
bool PushWorked(float status, const PushWiring& wiring) {
  return status == kPrcStatusOk && wiring.speed->GetFloat() > 0.0f &&
         std::isfinite(wiring.position->GetVector().x) && wiring.position->GetVector().x != 0.0f;
}

template <class Check, class Wiring>
void Evaluate(benchmark::State& state, Ubo_FloatChannel& channel, const Wiring& wiring,
              Check worked) {
  NextFrame();
  if (!worked(channel.GetFloat(), wiring)) {
    state.SkipWithError("the channel does not compute its procedure");
    return;
  }
  for (auto _ : state) {
    NextFrame();
    benchmark::DoNotOptimize(channel.GetFloat());
  }
  state.SetItemsProcessed(state.iterations());
}

void Eval_Add_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  RegisterAdd();
  auto channel = NewBoundCall("Math", "Add");
  AddWiring wiring;
  wiring.PlugInto(*channel);
  Evaluate(state, *channel, wiring, AddWorked);
}
BENCHMARK(Eval_Add_PrcCall);

void Eval_Add_Native(benchmark::State& state) {
  QuietEngine quiet;
  NativeAddChannel channel;
  AddWiring wiring;
  wiring.PlugInto(channel);
  Evaluate(state, channel, wiring, AddWorked);
}
BENCHMARK(Eval_Add_Native);

void Eval_Add_NativeUnchecked(benchmark::State& state) {
  QuietEngine quiet;
  NativeAddUncheckedChannel channel;
  AddWiring wiring;
  wiring.PlugInto(channel);
  Evaluate(state, channel, wiring, AddWorked);
}
BENCHMARK(Eval_Add_NativeUnchecked);

void Eval_Add_Execute(benchmark::State& state) {
  QuietEngine quiet;
  Procedure* add = RegisterAdd();
  VarList ready(add->_params);
  *ready._vars[0]->FloatValue() = 1.0f;
  *ready._vars[1]->FloatValue() = 2.0f;
  if (add->Execute(ready) != 0 || *ready._vars[2]->FloatValue() != 3.0f) {
    state.SkipWithError("Math/Add does not compute");
    return;
  }
  for (auto _ : state) {
    NextFrame();
    benchmark::DoNotOptimize(add->Execute(ready));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Eval_Add_Execute);

void Eval_Push_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  RegisterPush();
  auto channel = NewBoundCall("Body", "Push");
  PushWiring wiring;
  wiring.PlugInto(*channel);
  Evaluate(state, *channel, wiring, PushWorked);
}
BENCHMARK(Eval_Push_PrcCall);

void Eval_Push_Native(benchmark::State& state) {
  QuietEngine quiet;
  NativePushChannel channel;
  PushWiring wiring;
  wiring.PlugInto(channel);
  Evaluate(state, channel, wiring, PushWorked);
}
BENCHMARK(Eval_Push_Native);

void Eval_Push_Execute(benchmark::State& state) {
  QuietEngine quiet;
  Procedure* push = RegisterPush();
  PushWiring wiring;
  VarList ready(push->_params);
  ready._thisObject = Procedures().Objects().Get(wiring.self->GetObjectId());
  *ready._vars[0]->FloatValue() = 0.01f;
  *ready._vars[1]->VectorValue() = Vec3{1.0f, 2.0f, 3.0f};
  *ready._vars[2]->VectorValue() = Vec3{0.0f, -9.81f, 0.0f};
  *ready._vars[3]->FloatValue() = 2.0f;
  if (push->Execute(ready) != 0) {
    state.SkipWithError("Body/Push does not compute");
    return;
  }
  for (auto _ : state) {
    NextFrame();
    benchmark::DoNotOptimize(push->Execute(ready));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Eval_Push_Execute);

// Not due: the channel computed for this render count already.
void NotDue(benchmark::State& state, Ubo_FloatChannel& channel) {
  NextFrame();
  channel.GetFloat();
  for (auto _ : state) benchmark::DoNotOptimize(channel.GetFloat());
  if (channel._value != kPrcStatusOk) state.SkipWithError("a channel not due must answer 0");
  state.SetItemsProcessed(state.iterations());
}

void NotDue_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  RegisterAdd();
  auto channel = NewBoundCall("Math", "Add");
  AddWiring wiring;
  wiring.PlugInto(*channel);
  NotDue(state, *channel);
}
BENCHMARK(NotDue_PrcCall);

void NotDue_Native(benchmark::State& state) {
  QuietEngine quiet;
  NativeAddChannel channel;
  AddWiring wiring;
  wiring.PlugInto(channel);
  NotDue(state, channel);
}
BENCHMARK(NotDue_Native);

}  // namespace
}  // namespace bench
