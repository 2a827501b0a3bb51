// Shared pieces of the benchmarks: a quiet engine, the procedures the cases
// call, the hand-written channels they are measured against, and memory
// readings.
//
// Two procedures stand in for a host's own:
//
//   "Math"/"Add"   static; a (float, in), b (float, in), result (float, out):
//                  result = a + b.
//   "Body"/"Push"  not static; dt (float, in), velocity (vec3, in),
//                  force (vec3, in), mass (float, in), position (vec3, in and
//                  out), speed (float, out):
//                  v' = velocity + force / mass * dt,
//                  position += v' * dt, speed = |v'|.
//
// Each has a hand-written float channel doing the same work on the same
// links (NativeAddChannel, NativePushChannel): what a host developer would
// write instead of a procedure-call channel. They take the same care as the
// framework's converters, every link and every child's class checked, and
// answer the same status values.
#ifndef BENCH_BENCH_SUPPORT_H_
#define BENCH_BENCH_SUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/engine_interface.h"
#include "hostapi/float_channel.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace bench {

// Sends every message of globalEngine nowhere while it lives, then restores
// the sink before it.
class QuietEngine {
 public:
  QuietEngine();
  ~QuietEngine();
  QuietEngine(const QuietEngine&) = delete;
  QuietEngine& operator=(const QuietEngine&) = delete;

 private:
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
};

ProceduresManager& Procedures();

// Makes every channel due once more.
inline void NextFrame() { globalEngine->AdvanceRenderCount(); }

// Parameter lists of the two procedures.
VarList AddParams();
VarList PushParams();

// The procedures' bodies, for registering under other names too.
int AddBody(VarList& vars);
int PushBody(VarList& vars);

// The live "Math"/"Add" and "Body"/"Push", registered first when the
// registry has none of that name. Never null: the run stops when they
// cannot be registered.
VeskProcedure* RegisterAdd();
VeskProcedure* RegisterPush();

// Plain child channels, with the type records their links accept. The
// caller owns them.
std::unique_ptr<Ubo_ValueChannel> NewValue(float value);
std::unique_ptr<Ubo_VectorChannel> NewVector(const Vec3& value);
std::unique_ptr<Ubo_CoreRefChannel> NewCoreRef(uint32_t objectId);

// A procedure-call channel named after `owner`/`name` and bound to it.
// Aborts the benchmark run when it cannot bind.
std::unique_ptr<Ubo_VanticPrcCall> NewBoundCall(const std::string& owner, const std::string& name);

// How a hand-written channel makes sure of what is plugged into its links:
//   kDynamicCast  each child cast with dynamic_cast (the usual way; across
//                 shared libraries it compares type names);
//   kExactType    each child told by its exact type, as the framework's
//                 converters do: "Value", "Value Vector" and "CoreRef" are
//                 final, so one typeid comparison decides; a float link
//                 holding any other channel falls back to dynamic_cast;
//   kTrusting     no check: a link accepts only channels whose type record
//                 names its kind, and this channel believes the record (unsafe
//                 for a channel whose record lies; a lower bound).
enum class ChildCheck { kDynamicCast, kExactType, kTrusting };

// A channel computing "Math"/"Add" by hand: links a, b (float in) and
// result (float out), like a procedure-call channel bound to it.
template <ChildCheck kCheck>
class NativeAdd final : public Ubo_FloatChannel {
 public:
  NativeAdd();
  float GetFloat() override;
};
extern template class NativeAdd<ChildCheck::kDynamicCast>;
extern template class NativeAdd<ChildCheck::kExactType>;
extern template class NativeAdd<ChildCheck::kTrusting>;
using NativeAddChannel = NativeAdd<ChildCheck::kDynamicCast>;
using NativeAddTypedChannel = NativeAdd<ChildCheck::kExactType>;
using NativeAddUncheckedChannel = NativeAdd<ChildCheck::kTrusting>;

// A channel computing "Body"/"Push" by hand: link "This" (CoreRef) and the
// six parameter links, like a procedure-call channel bound to it.
template <ChildCheck kCheck>
class NativePush final : public Ubo_FloatChannel {
 public:
  NativePush();
  float GetFloat() override;
};
extern template class NativePush<ChildCheck::kDynamicCast>;
extern template class NativePush<ChildCheck::kExactType>;
using NativePushChannel = NativePush<ChildCheck::kDynamicCast>;
using NativePushTypedChannel = NativePush<ChildCheck::kExactType>;

// The children one Add channel (either kind) reads and writes.
struct AddWiring {
  std::unique_ptr<Ubo_ValueChannel> a = NewValue(1.0f);
  std::unique_ptr<Ubo_ValueChannel> b = NewValue(2.0f);
  std::unique_ptr<Ubo_ValueChannel> result = NewValue(0.0f);
  // Plugs a, b and result into links 0, 1 and 2 of `channel`.
  void PlugInto(Zyr_Channel& channel) const;
};

// The children one Push channel reads and writes, and the target object.
struct PushWiring {
  PushWiring();
  std::unique_ptr<Ubo_CoreRefChannel> self;
  std::unique_ptr<Ubo_ValueChannel> dt = NewValue(0.01f);
  std::unique_ptr<Ubo_VectorChannel> velocity = NewVector(Vec3{1.0f, 2.0f, 3.0f});
  std::unique_ptr<Ubo_VectorChannel> force = NewVector(Vec3{0.0f, -9.81f, 0.0f});
  std::unique_ptr<Ubo_ValueChannel> mass = NewValue(2.0f);
  std::unique_ptr<Ubo_VectorChannel> position = NewVector(Vec3{0.0f, 0.0f, 0.0f});
  std::unique_ptr<Ubo_ValueChannel> speed = NewValue(0.0f);
  // Plugs "This" and the six parameters into links 0 to 6 of `channel`.
  void PlugInto(Zyr_Channel& channel) const;
};

// A scene of Add channels: each reads two of a pool of kScenePool input
// channels (a = input i mod pool, b = the next) and writes its own output
// channel. The channels go before their children.
class AddScene {
 public:
  static constexpr size_t kScenePool = 1024;
  using MakeChannel = std::unique_ptr<Ubo_FloatChannel> (*)();

  // Makes the pool, `count` outputs and `count` channels by `make`, wires
  // them and runs one frame. ChannelBytes() is what the channels alone took
  // from the heap, counted after that frame.
  AddScene(size_t count, MakeChannel make);
  ~AddScene();
  AddScene(const AddScene&) = delete;
  AddScene& operator=(const AddScene&) = delete;

  // One frame: every channel due once more, and evaluated.
  void Frame();
  // Whether the last frame computed every output (status 0, a + b).
  bool Computed() const;

  size_t ChannelBytes() const { return _channelBytes; }
  const std::vector<std::unique_ptr<Ubo_FloatChannel>>& Channels() const { return _channels; }

 private:
  std::vector<std::unique_ptr<Ubo_ValueChannel>> _inputs;
  std::vector<std::unique_ptr<Ubo_ValueChannel>> _outputs;
  std::vector<std::unique_ptr<Ubo_FloatChannel>> _channels;
  size_t _channelBytes = 0;
};

// Makers for AddScene.
std::unique_ptr<Ubo_FloatChannel> MakeBoundAddCall();
std::unique_ptr<Ubo_FloatChannel> MakeNativeAdd();
std::unique_ptr<Ubo_FloatChannel> MakeNativeAddTyped();

// Bytes the allocator has handed out and not had back (main arena and
// mapped blocks; the benchmarks allocate on one thread).
size_t HeapBytesInUse();
// Largest resident size the process has had, in bytes.
size_t PeakResidentBytes();

}  // namespace bench

#endif  // BENCH_BENCH_SUPPORT_H_
