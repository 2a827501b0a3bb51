// Evaluation of one channel, due every frame, against its baselines:
//
//   Eval_Add_PrcCall     a procedure-call channel bound to Math/Add
//   Eval_Add_NativeTyped the hand-written channel doing the same on the same
//                        links, each child told by its exact type as the
//                        converters do (baseline a)
//   Eval_Add_Native      the same checking each child with dynamic_cast
//                        (baseline a, second column)
//   Eval_Add_NativeUnchecked  the same trusting the links' types: a lower
//                        bound
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

// What each procedure needs: its children, the check that a channel
// computed it, and a list made ready for a bare Execute.
struct AddCase {
  using Wiring = AddWiring;
  static constexpr const char* kOwner = "Math";
  static constexpr const char* kName = "Add";
  static Procedure* Register() { return RegisterAdd(); }
  // 1 + 2 in the result.
  static bool Worked(float status, const Wiring& wiring) {
    return status == kPrcStatusOk && wiring.result->GetFloat() == 3.0f;
  }
  static void Ready(VarList& list, const Wiring& /*wiring*/) {
    *list._vars[0]->FloatValue() = 1.0f;
    *list._vars[1]->FloatValue() = 2.0f;
  }
};

struct PushCase {
  using Wiring = PushWiring;
  static constexpr const char* kOwner = "Body";
  static constexpr const char* kName = "Push";
  static Procedure* Register() { return RegisterPush(); }
  // The position moved and a speed was written.
  static bool Worked(float status, const Wiring& wiring) {
    const Vec3& position = wiring.position->GetVector();
    return status == kPrcStatusOk && wiring.speed->GetFloat() > 0.0f && std::isfinite(position.x) &&
           position.x != 0.0f;
  }
  static void Ready(VarList& list, const Wiring& wiring) {
    list._thisObject = Procedures().Objects().Get(wiring.self->GetObjectId());
    *list._vars[0]->FloatValue() = 0.01f;
    *list._vars[1]->VectorValue() = Vec3{1.0f, 2.0f, 3.0f};
    *list._vars[2]->VectorValue() = Vec3{0.0f, -9.81f, 0.0f};
    *list._vars[3]->FloatValue() = 2.0f;
  }
};

// Times GetFloat of `channel`, wired with fresh children, each iteration a
// new frame.
template <class Case>
void Evaluate(benchmark::State& state, Ubo_FloatChannel& channel) {
  typename Case::Wiring wiring;
  wiring.PlugInto(channel);
  NextFrame();
  if (!Case::Worked(channel.GetFloat(), wiring)) {
    state.SkipWithError("the channel does not compute its procedure");
    return;
  }
  for (auto _ : state) {
    NextFrame();
    benchmark::DoNotOptimize(channel.GetFloat());
  }
  state.SetItemsProcessed(state.iterations());
}

template <class Case>
void EvaluateCall(benchmark::State& state) {
  QuietEngine quiet;
  Case::Register();
  auto channel = NewBoundCall(Case::kOwner, Case::kName);
  Evaluate<Case>(state, *channel);
}

template <class Case, class Channel>
void EvaluateByHand(benchmark::State& state) {
  QuietEngine quiet;
  Channel channel;
  Evaluate<Case>(state, channel);
}

// The procedure's Execute on a list made ready once.
template <class Case>
void ExecuteReady(benchmark::State& state) {
  QuietEngine quiet;
  Procedure* procedure = Case::Register();
  const typename Case::Wiring wiring;
  VarList ready(procedure->_params);
  Case::Ready(ready, wiring);
  if (procedure->Execute(ready) != 0) {
    state.SkipWithError("the procedure does not compute");
    return;
  }
  for (auto _ : state) {
    NextFrame();
    benchmark::DoNotOptimize(procedure->Execute(ready));
  }
  state.SetItemsProcessed(state.iterations());
}

void Eval_Add_PrcCall(benchmark::State& state) { EvaluateCall<AddCase>(state); }
BENCHMARK(Eval_Add_PrcCall);

void Eval_Add_NativeTyped(benchmark::State& state) {
  EvaluateByHand<AddCase, NativeAddTypedChannel>(state);
}
BENCHMARK(Eval_Add_NativeTyped);

void Eval_Add_Native(benchmark::State& state) { EvaluateByHand<AddCase, NativeAddChannel>(state); }
BENCHMARK(Eval_Add_Native);

void Eval_Add_NativeUnchecked(benchmark::State& state) {
  EvaluateByHand<AddCase, NativeAddUncheckedChannel>(state);
}
BENCHMARK(Eval_Add_NativeUnchecked);

void Eval_Add_Execute(benchmark::State& state) { ExecuteReady<AddCase>(state); }
BENCHMARK(Eval_Add_Execute);

void Eval_Push_PrcCall(benchmark::State& state) { EvaluateCall<PushCase>(state); }
BENCHMARK(Eval_Push_PrcCall);

void Eval_Push_NativeTyped(benchmark::State& state) {
  EvaluateByHand<PushCase, NativePushTypedChannel>(state);
}
BENCHMARK(Eval_Push_NativeTyped);

void Eval_Push_Native(benchmark::State& state) {
  EvaluateByHand<PushCase, NativePushChannel>(state);
}
BENCHMARK(Eval_Push_Native);

void Eval_Push_Execute(benchmark::State& state) { ExecuteReady<PushCase>(state); }
BENCHMARK(Eval_Push_Execute);

// Not due: the channel computed for this render count already.
void NotDue(benchmark::State& state, Ubo_FloatChannel& channel) {
  AddWiring wiring;
  wiring.PlugInto(channel);
  NextFrame();
  channel.GetFloat();
  for (auto _ : state) benchmark::DoNotOptimize(channel.GetFloat());
  if (channel._value != kPrcStatusOk) state.SkipWithError("a channel not due must answer 0");
  state.SetItemsProcessed(state.iterations());
}

void NotDue_PrcCall(benchmark::State& state) {
  QuietEngine quiet;
  RegisterAdd();
  NotDue(state, *NewBoundCall("Math", "Add"));
}
BENCHMARK(NotDue_PrcCall);

void NotDue_Native(benchmark::State& state) {
  QuietEngine quiet;
  NativeAddChannel channel;
  NotDue(state, channel);
}
BENCHMARK(NotDue_Native);

}  // namespace
}  // namespace bench
