#include "bench/bench_support.h"

#include <malloc.h>
#include <sys/resource.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "hostapi/channel_type.h"
#include "hostapi/guid.h"

namespace bench {
namespace {

void IgnoreMessage(void* /*context*/, unsigned /*level*/, const char* /*text*/) {}

VarFloat FloatVar(const char* name, uint32_t mode, float value = 0.0f) {
  return VarFloat(VarType_Float, mode, name, value, -FLT_MAX, FLT_MAX);
}

VarVec3 VectorVar(const char* name, uint32_t mode) {
  return VarVec3(VarType_Vec3, mode, name, Vec3{0.0f, 0.0f, 0.0f},
                 Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX}, Vec3{FLT_MAX, FLT_MAX, FLT_MAX});
}

// Copies `text` into a character field, cut to fit, the rest zero.
template <size_t size>
void CopyField(char (&field)[size], const char* text) {
  const size_t length = ::strnlen(text, size - 1);
  std::memcpy(field, text, length);
  std::memset(field + length, 0, size - length);
}

// Declares link `index` of `channel` as the procedure-call channel would.
void DeclareLink(Zyr_Channel& channel, int index, std::string_view typeGuid, const char* typeName,
                 const char* name, int32_t linkMode) {
  ChildCreation creation;
  creation.Type._typeGuid = guid::FromString(typeGuid);
  CopyField(creation.Type._name, typeName);
  CopyField(creation.LinkName, name);
  creation.LinkIndex = index;
  creation.LinkMode = linkMode;
  channel.SetChildCreateType(creation, index);
}

void DeclareFloat(Zyr_Channel& channel, int index, const char* name, int32_t linkMode) {
  DeclareLink(channel, index, guid::kFloatChannelType, "Value", name, linkMode);
}

void DeclareVector(Zyr_Channel& channel, int index, const char* name, int32_t linkMode) {
  DeclareLink(channel, index, guid::kVectorChannelType, "Value Vector", name, linkMode);
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "benchmark setup failed: %s\n", what);
  std::abort();
}

float Length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

// The arithmetic of "Body"/"Push", shared by the procedure and the native
// channel so that both do exactly the same work.
void Push(float dt, const Vec3& velocity, const Vec3& force, float mass, Vec3& position,
          float& speed) {
  const float k = dt / mass;
  const Vec3 v{velocity.x + force.x * k, velocity.y + force.y * k, velocity.z + force.z * k};
  position = Vec3{position.x + v.x * dt, position.y + v.y * dt, position.z + v.z * dt};
  speed = Length(v);
}

}  // namespace

QuietEngine::QuietEngine() {
  globalEngine->SetMessageSink(&IgnoreMessage, nullptr, &_oldSink, &_oldContext);
}

QuietEngine::~QuietEngine() { globalEngine->SetMessageSink(_oldSink, _oldContext); }

ProceduresManager& Procedures() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

VarList AddParams() {
  VarList list;
  list.AddVar(FloatVar("a", VarMode_In));
  list.AddVar(FloatVar("b", VarMode_In));
  list.AddVar(FloatVar("result", VarMode_Out));
  return list;
}

VarList PushParams() {
  VarList list;
  list.AddVar(FloatVar("dt", VarMode_In));
  list.AddVar(VectorVar("velocity", VarMode_In));
  list.AddVar(VectorVar("force", VarMode_In));
  list.AddVar(FloatVar("mass", VarMode_In, 1.0f));
  list.AddVar(VectorVar("position", VarMode_InOut));
  list.AddVar(FloatVar("speed", VarMode_Out));
  return list;
}

int AddBody(VarList& vars) {
  if (vars._vars.size() != 3) return 1;
  const float* a = vars._vars[0]->FloatValue();
  const float* b = vars._vars[1]->FloatValue();
  float* result = vars._vars[2]->FloatValue();
  if (a == nullptr || b == nullptr || result == nullptr) return 1;
  *result = *a + *b;
  return 0;
}

int PushBody(VarList& vars) {
  if (vars._thisObject == nullptr || vars._vars.size() != 6) return 1;
  const float* dt = vars._vars[0]->FloatValue();
  const Vec3* velocity = vars._vars[1]->VectorValue();
  const Vec3* force = vars._vars[2]->VectorValue();
  const float* mass = vars._vars[3]->FloatValue();
  Vec3* position = vars._vars[4]->VectorValue();
  float* speed = vars._vars[5]->FloatValue();
  if (!dt || !velocity || !force || !mass || !position || !speed || *mass == 0.0f) return 1;
  Push(*dt, *velocity, *force, *mass, *position, *speed);
  return 0;
}

namespace {

// The live procedure of that name, registered first when there is none
// (an earlier case may have emptied the registry).
VeskProcedure* Registered(const char* owner, const char* name, bool isStatic, const VarList& params,
                          VeskProcedure::Body body) {
  Procedure* live = Procedures().GetProcedure(owner, name);
  VeskProcedure* procedure = live != nullptr ? dynamic_cast<VeskProcedure*>(live)
                                             : Procedures().RegisterFunction(
                                                   owner, name, isStatic, params, std::move(body));
  if (procedure == nullptr) Fail("a procedure cannot be registered");
  return procedure;
}

}  // namespace

VeskProcedure* RegisterAdd() { return Registered("Math", "Add", true, AddParams(), &AddBody); }

VeskProcedure* RegisterPush() { return Registered("Body", "Push", false, PushParams(), &PushBody); }

std::unique_ptr<Ubo_ValueChannel> NewValue(float value) {
  auto channel = std::make_unique<Ubo_ValueChannel>();
  channel->SetChannelTypeRecord(Ubo_ValueChannel::TypeRecord());
  channel->SetFloat(value);
  return channel;
}

std::unique_ptr<Ubo_VectorChannel> NewVector(const Vec3& value) {
  auto channel = std::make_unique<Ubo_VectorChannel>();
  channel->SetChannelTypeRecord(Ubo_VectorChannel::TypeRecord());
  channel->SetVector(value);
  return channel;
}

std::unique_ptr<Ubo_CoreRefChannel> NewCoreRef(uint32_t objectId) {
  auto channel = std::make_unique<Ubo_CoreRefChannel>();
  channel->SetChannelTypeRecord(Ubo_CoreRefChannel::TypeRecord());
  channel->SetObjectId(objectId);
  return channel;
}

std::unique_ptr<Ubo_VanticPrcCall> NewBoundCall(const std::string& owner, const std::string& name) {
  auto channel = std::make_unique<Ubo_VanticPrcCall>();
  channel->SetPrcOwnerClass(owner);
  channel->SetPrcName(name);
  if (channel->UpdatePrc(owner, name) != kUpdatePrcBound) Fail("a channel cannot bind");
  return channel;
}

namespace {

// The channel plugged into `link` of `channel` as a T, or null, checked as
// kCheck says.
template <class T, ChildCheck kCheck>
T* Child(const Zyr_Channel& channel, int link) {
  Zyr_Channel* child = channel.GetChild(link);
  if constexpr (kCheck == ChildCheck::kTrusting) {
    return static_cast<T*>(child);
  } else if constexpr (kCheck == ChildCheck::kDynamicCast) {
    return dynamic_cast<T*>(child);
  } else {
    if (child == nullptr) return nullptr;
    if constexpr (std::is_same_v<T, Ubo_FloatChannel>) {
      if (typeid(*child) == typeid(Ubo_ValueChannel)) return static_cast<Ubo_ValueChannel*>(child);
      return dynamic_cast<Ubo_FloatChannel*>(child);
    } else {
      static_assert(std::is_final_v<T>);
      return typeid(*child) == typeid(T) ? static_cast<T*>(child) : nullptr;
    }
  }
}

}  // namespace

template <ChildCheck kCheck>
NativeAdd<kCheck>::NativeAdd() {
  DeclareFloat(*this, 0, "a", kLinkModeInput);
  DeclareFloat(*this, 1, "b", kLinkModeInput);
  DeclareFloat(*this, 2, "result", kLinkModeOutput);
}

template <ChildCheck kCheck>
float NativeAdd<kCheck>::GetFloat() {
  if (!CheckRenderCount()) {
    Ubo_FloatChannel::SetFloat(kPrcStatusOk);
    return _value;
  }
  Ubo_FloatChannel* a = Child<Ubo_FloatChannel, kCheck>(*this, 0);
  Ubo_FloatChannel* b = Child<Ubo_FloatChannel, kCheck>(*this, 1);
  if (a == nullptr || b == nullptr) {
    Ubo_FloatChannel::SetFloat(kPrcStatusInputs);
    return _value;
  }
  const float sum = a->GetFloat() + b->GetFloat();
  if (auto* result = Child<Ubo_FloatChannel, kCheck>(*this, 2)) result->SetFloat(sum);
  Ubo_FloatChannel::SetFloat(kPrcStatusOk);
  return _value;
}

template class NativeAdd<ChildCheck::kDynamicCast>;
template class NativeAdd<ChildCheck::kExactType>;
template class NativeAdd<ChildCheck::kTrusting>;

template <ChildCheck kCheck>
NativePush<kCheck>::NativePush() {
  DeclareLink(*this, 0, guid::kCoreRefChannelType, "CoreRef", "This", kLinkModeInput);
  DeclareFloat(*this, 1, "dt", kLinkModeInput);
  DeclareVector(*this, 2, "velocity", kLinkModeInput);
  DeclareVector(*this, 3, "force", kLinkModeInput);
  DeclareFloat(*this, 4, "mass", kLinkModeInput);
  DeclareVector(*this, 5, "position", kLinkModeInputOutput);
  DeclareFloat(*this, 6, "speed", kLinkModeOutput);
}

template <ChildCheck kCheck>
float NativePush<kCheck>::GetFloat() {
  if (!CheckRenderCount()) {
    Ubo_FloatChannel::SetFloat(kPrcStatusOk);
    return _value;
  }
  auto* self = Child<Ubo_CoreRefChannel, kCheck>(*this, 0);
  auto* dt = Child<Ubo_FloatChannel, kCheck>(*this, 1);
  auto* velocity = Child<Ubo_VectorChannel, kCheck>(*this, 2);
  auto* force = Child<Ubo_VectorChannel, kCheck>(*this, 3);
  auto* mass = Child<Ubo_FloatChannel, kCheck>(*this, 4);
  auto* position = Child<Ubo_VectorChannel, kCheck>(*this, 5);
  const bool inputs = self != nullptr && dt != nullptr && velocity != nullptr && force != nullptr &&
                      mass != nullptr && position != nullptr &&
                      Procedures().Objects().Get(self->GetObjectId()) != nullptr;
  if (!inputs) {
    Ubo_FloatChannel::SetFloat(kPrcStatusInputs);
    return _value;
  }
  const float m = mass->GetFloat();
  if (m == 0.0f) {
    Ubo_FloatChannel::SetFloat(kPrcStatusFailed);
    return _value;
  }
  Vec3 p = position->GetVector();
  float speed = 0.0f;
  Push(dt->GetFloat(), velocity->GetVector(), force->GetVector(), m, p, speed);
  position->SetVector(p);
  if (auto* out = Child<Ubo_FloatChannel, kCheck>(*this, 6)) out->SetFloat(speed);
  Ubo_FloatChannel::SetFloat(kPrcStatusOk);
  return _value;
}

template class NativePush<ChildCheck::kDynamicCast>;
template class NativePush<ChildCheck::kExactType>;

void AddWiring::PlugInto(Zyr_Channel& channel) const {
  if (!channel.PlugChild(0, a.get()) || !channel.PlugChild(1, b.get()) ||
      !channel.PlugChild(2, result.get())) {
    Fail("an Add channel cannot be wired");
  }
}

PushWiring::PushWiring() {
  static const uint32_t objectId = [] {
    VanticObject* object = Procedures().Objects().Create("Body", "ball");
    if (object == nullptr) Fail("no object for Body/Push");
    return object->Id();
  }();
  self = NewCoreRef(objectId);
}

void PushWiring::PlugInto(Zyr_Channel& channel) const {
  Zyr_Channel* const children[] = {self.get(), dt.get(),       velocity.get(), force.get(),
                                   mass.get(), position.get(), speed.get()};
  for (int i = 0; i < 7; ++i) {
    if (!channel.PlugChild(i, children[i])) Fail("a Push channel cannot be wired");
  }
}

AddScene::AddScene(size_t count, MakeChannel make) {
  _inputs.reserve(kScenePool);
  for (size_t i = 0; i < kScenePool; ++i) _inputs.push_back(NewValue(static_cast<float>(i)));
  _outputs.reserve(count);
  for (size_t i = 0; i < count; ++i) _outputs.push_back(NewValue(0.0f));
  _channels.reserve(count);
  const size_t before = HeapBytesInUse();
  for (size_t i = 0; i < count; ++i) {
    std::unique_ptr<Ubo_FloatChannel> channel = make();
    if (!channel->PlugChild(0, _inputs[i % kScenePool].get()) ||
        !channel->PlugChild(1, _inputs[(i + 1) % kScenePool].get()) ||
        !channel->PlugChild(2, _outputs[i].get())) {
      Fail("a scene channel cannot be wired");
    }
    _channels.push_back(std::move(channel));
  }
  Frame();
  _channelBytes = HeapBytesInUse() - before;
}

AddScene::~AddScene() {
  // The channels before the children they hold.
  _channels.clear();
}

void AddScene::Frame() {
  NextFrame();
  for (const auto& channel : _channels) channel->CallChannel();
}

bool AddScene::Computed() const {
  for (size_t i = 0; i < _channels.size(); ++i) {
    const float expected = _inputs[i % kScenePool]->_value + _inputs[(i + 1) % kScenePool]->_value;
    if (_channels[i]->_value != kPrcStatusOk || _outputs[i]->_value != expected) return false;
  }
  return true;
}

std::unique_ptr<Ubo_FloatChannel> MakeBoundAddCall() {
  RegisterAdd();
  return NewBoundCall("Math", "Add");
}

std::unique_ptr<Ubo_FloatChannel> MakeNativeAdd() { return std::make_unique<NativeAddChannel>(); }

std::unique_ptr<Ubo_FloatChannel> MakeNativeAddTyped() {
  return std::make_unique<NativeAddTypedChannel>();
}

size_t HeapBytesInUse() {
  const struct mallinfo2 info = ::mallinfo2();
  return info.uordblks + info.hblkhd;
}

size_t PeakResidentBytes() {
  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<size_t>(usage.ru_maxrss) * 1024;
}

}  // namespace bench
