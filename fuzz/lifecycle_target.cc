// The lifecycle harness (see lifecycle_target.h).
#include "fuzz/lifecycle_target.h"

#include <array>
#include <cfloat>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/channel_file_target.h"
#include "fuzz/lifecycle_model.h"
#include "hostapi/engine_interface.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_channel_extension.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/entry/entry.h"
#include "plugin/entry/static_objects.h"
#include "plugin/multimode/mode_description.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace lifecycle {
namespace {

constexpr size_t kMaxCalls = 12;
constexpr size_t kMaxPlain = 12;
const char* const kOwners[] = {"Lab", ""};
const char* const kNames[] = {"mix", "move", ""};
const uint32_t kModeCodes[] = {0, 1, 2, 3, 999, kNoMode};

const Body kBodies[] = {Body::kSum, Body::kSum,        Body::kFail,       Body::kThrow,
                        Body::kSum, Body::kChangeSelf, Body::kRenameSelf, Body::kRemoveSelf};

// Parameter lists procedures are registered or changed with: the same
// names in another order, a vector, modes out of range (a mode is a mask:
// 0 and 4 neither read nor written, 0xFFFF both), none at all.
const std::vector<Param> kShapes[] = {
    {},
    {{0, 1, "a"}, {0, 1, "b"}, {0, 2, "sum"}},
    {{1, 3, "pos"}, {0, 1, "speed"}},
    {{0, 2, "sum"}},
    {{0, 1, "a"}, {0, 4, "odd"}, {0, 2, "b"}},
    {{0, 1, "b"}, {0, 1, "a"}, {0, 2, "sum"}},
    {{0, 3, "a"}},
    {{0, 0, "none"}, {0, 0xFFFF, "a"}, {0, 2, "sum"}},
};

enum Op {
  kNew, kCopy, kDestroy, kSetOwner, kSetName, kRegister, kRename, kChange, kRemove, kSetBody,
  kNewPlain, kPlug, kSetValue, kAdvance, kRead, kPrepare, kSetMode, kSaveOne, kSaveAll,
  kUpdatePrc, kWire, kAct, kOpCount
};
const char* const kOpNames[kOpCount] = {
    "New", "Copy", "Destroy", "SetOwner", "SetName", "Register", "Rename", "Change", "Remove",
    "SetBody", "NewPlain", "Plug", "SetValue", "Advance", "Read", "Prepare", "SetMode",
    "SaveOne", "SaveAll", "UpdatePrc", "Wire", "Act"};
// How often each operation is picked, so that most sequences get as far as
// executing procedures through wired links.
const int kOpWeights[kOpCount] = {3, 2, 2, 2, 2, 4, 2, 2, 2, 1, 3, 3, 2, 4, 6, 2, 2, 2, 1, 2, 4, 3};

Op PickOp(uint8_t byte) {
  int total = 0;
  for (int w : kOpWeights) total += w;
  int pick = byte % total;
  int op = 0;
  while (pick >= kOpWeights[op]) pick -= kOpWeights[op++];
  return static_cast<Op>(op);
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : _data(data), _size(size) {}
  bool Empty() const { return _size == 0; }
  uint8_t Byte() {
    if (_size == 0) return 0;
    --_size;
    return *_data++;
  }
  size_t Pick(size_t count) { return count == 0 ? 0 : Byte() % count; }
  template <class T, size_t N>
  const T& From(const T (&table)[N]) { return table[Pick(N)]; }

 private:
  const uint8_t* _data;
  size_t _size;
};

ProceduresManager& Procedures() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

VarList ToVarList(const std::vector<Param>& params) {
  VarList list;
  for (const Param& p : params) {
    if (p.type == 0) {
      list.AddVar(VarFloat(0, p.mode, p.name.c_str(), 0.0f, FLT_MIN, FLT_MAX));
    } else {
      list.AddVar(VarVec3(1, p.mode, p.name.c_str(), Vec3{0, 0, 0}, Vec3{0, 0, 0},
                          Vec3{FLT_MAX, FLT_MAX, FLT_MAX}));
    }
  }
  return list;
}

std::vector<Param> FromVarList(const VarList& list) {
  std::vector<Param> params;
  for (const VarBase* v : list._vars) params.push_back(Param{v->Type(), v->Mode(), v->Name()});
  return params;
}

// Counts level-1 and level-2 messages.
void CountMessage(void* context, unsigned level, const char*) {
  if (level == 1 || level == 2) ++static_cast<long*>(context)[level - 1];
}

// A float channel that a "Value" link takes, and that calls `onRead`
// whenever it is read.
class ActingChannel final : public Ubo_FloatChannel {
 public:
  ActingChannel() { SetChannelTypeRecord(Ubo_ValueChannel::TypeRecord()); }
  float GetFloat() override {
    if (onRead) onRead();
    return _value;
  }
  std::function<void()> onRead;
};

// Loads the record `from` saves into `into`.
void Reload(Zyr_Channel& into, Zyr_Channel& from) {
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString(guid::kPrcCallChannelType));
  from.SaveChannel(saver);
  saver.EndChannel();
  ZyrFileLoader loader;
  GUID type;
  if (loader.Open(saver.Bytes()) && loader.NextChannel(&type)) into.LoadChannel(loader, nullptr);
}

struct Slot {
  std::unique_ptr<DllInterface> owned;
  Zyr_Channel* channel = nullptr;
  Ubo_VanticPrcCall* call = nullptr;  // for call channels
};

// How a value is shown when module and model disagree.
std::string Text(const std::string& s) { return "'" + s + "'"; }
std::string Text(const char* s) { return Text(std::string(s)); }
template <class T>
std::string Text(const T& number) { return std::to_string(number); }
std::string Text(const Vec3& v) { return Text(v.x) + "," + Text(v.y) + "," + Text(v.z); }
std::string Text(const Param& p) { return Text(p.name) + ":" + Text(p.type) + "/" + Text(p.mode); }
std::string Text(const Link& l) {
  return Text(l.name) + ":" + Text(l.typeName) + "/" + Text(l.mode) + "->" + Text(l.child);
}
std::string Text(const Mode& mode) { return Text(mode.first) + "=" + Text(mode.second); }
template <class T>
std::string Text(const std::vector<T>& list) {
  std::string text;
  for (const T& item : list) text += " " + Text(item);
  return "[" + text + " ]";
}
bool operator==(const Vec3& a, const Vec3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// "" when module and model answered the same, else what differed.
template <class R, class M>
std::string Agree(const std::string& what, const R& real, const M& model) {
  return real == model ? "" : what + ": module " + Text(real) + ", model " + Text(model) + "; ";
}

class Run {
 public:
  Run() {
    globalEngine->SetMessageSink(&CountMessage, _messages.data(), &_oldSink, &_oldContext);
    _model.holder = formatTempStringHolder;
  }
  ~Run() {
    _slots.clear();  // channels first, then the procedures they refer to
    Procedures().RemoveAll();
    globalEngine->SetMessageSink(_oldSink, _oldContext);
  }

  std::string Step(Input& in);
  // Runs operation `op` on module and model: "" or what they disagreed on.
  std::string Apply(Op op, Input& in);

 private:
  Ubo_VanticPrcCall& Call(int s) const { return *_slots[static_cast<size_t>(s)].call; }
  Zyr_Channel* ChannelAt(int s) const { return _slots[static_cast<size_t>(s)].channel; }
  // The live channels `keep` keeps, in slot order.
  template <class F>
  std::vector<int> Live(F keep) const {
    std::vector<int> live;
    for (size_t i = 0; i < _slots.size(); ++i) {
      if (_slots[i].channel != nullptr && keep(_slots[i])) live.push_back(static_cast<int>(i));
    }
    return live;
  }
  // The live call channels, or the live plain ones.
  std::vector<int> Live(bool calls) const {
    return Live([calls](const Slot& slot) { return (slot.call != nullptr) == calls; });
  }
  // The live channels, call channels first.
  std::vector<int> Any() const {
    std::vector<int> live = Live(true);
    for (int s : Live(false)) live.push_back(s);
    return live;
  }
  static int PickFrom(Input& in, const std::vector<int>& live) {
    return live.empty() ? -1 : live[in.Pick(live.size())];
  }
  int PickCall(Input& in) const { return PickFrom(in, Live(true)); }
  // A channel for an act: the one running, its parent, the outermost one,
  // or one by its index.
  int PickActed(Input& in) const { return static_cast<int>(in.Pick(3 + _slots.size())) - 3; }
  void Perform(const Act& act);
  std::vector<Act> ReadActs(Input& in) const {
    std::vector<Act> acts(1 + in.Pick(2));
    for (Act& act : acts) {
      act = Act{static_cast<ActKind>(in.Pick(static_cast<size_t>(ActKind::kCount))),
                PickActed(in), PickActed(in), in.From(kOwners), in.From(kNames),
                in.From(kModeCodes)};
    }
    return acts;
  }
  const Procedure* ProcAt(int p) const { return p < 0 ? nullptr : _procs[static_cast<size_t>(p)]; }
  int SlotOf(const Zyr_Channel* channel) const {
    if (channel == nullptr) return -1;
    for (size_t i = 0; i < _slots.size(); ++i) {
      if (_slots[i].channel == channel) return static_cast<int>(i);
    }
    return -2;  // a channel the run does not know
  }
  int AddCall() {
    auto* call = dynamic_cast<Ubo_VanticPrcCall*>(InitDLL());
    call->SetChannelTypeRecord(*GetType());
    return Add(call, call, call);
  }
  int Add(DllInterface* owned, Zyr_Channel* channel, Ubo_VanticPrcCall* call) {
    _slots.push_back(Slot{std::unique_ptr<DllInterface>(owned), channel, call});
    return static_cast<int>(_slots.size()) - 1;
  }
  // Sets plain channel `s` from `k`: a value k % 8, a vector (k % 8, 1, 2),
  // an object id k % 3.
  void SetPlain(int s, int k) {
    Channel& m = _model.channels[static_cast<size_t>(s)];
    Zyr_Channel* channel = ChannelAt(s);
    const float v = static_cast<float>(k % 8);
    if (m.kind == Kind::kValue || m.kind == Kind::kActor) {
      static_cast<Ubo_FloatChannel*>(channel)->SetFloat(m.value = v);
    } else if (m.kind == Kind::kVector) {
      static_cast<Ubo_VectorChannel*>(channel)->SetVector(m.vector = Vec3{v, 1, 2});
    } else {
      m.objectId = static_cast<uint32_t>(k % 3);
      static_cast<Ubo_CoreRefChannel*>(channel)->SetObjectId(m.objectId);
    }
  }
  // What registered procedure `p` runs: the model's body for it, over its
  // variables, as the model says at the time.
  VeskProcedure::Body MakeBody(size_t p);
  std::string SaveAndLoad(const std::vector<int>& calls);
  std::string Compare() const;
  std::string CompareCall(int s) const;

  Model _model;
  std::vector<Slot> _slots;                 // index = the model's channel index
  std::vector<Procedure*> _procs;           // index = the model's procedure index
  std::array<long, 2> _messages = {0, 0};  // levels 1 and 2
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
};

VeskProcedure::Body Run::MakeBody(size_t p) {
  return [this, p](VarList& vars) {
    const Proc& proc = _model.procs[p];
    if (proc.body == Body::kFail) return 1;
    if (proc.body == Body::kThrow) throw std::runtime_error("lifecycle body");
    std::vector<Vec3> values(vars._vars.size());  // a float in x
    for (size_t i = 0; i < values.size(); ++i) {
      if (const float* f = vars._vars[i]->FloatValue()) values[i].x = *f;
      if (const Vec3* v = vars._vars[i]->VectorValue()) values[i] = *v;
    }
    RunSum(proc.tag, FromVarList(vars), values);
    for (size_t i = 0; i < values.size(); ++i) {
      if (float* f = vars._vars[i]->FloatValue()) *f = values[i].x;
      if (Vec3* v = vars._vars[i]->VectorValue()) *v = values[i];
    }
    const Procedure& self = *_procs[p];
    const std::string owner = self._ownerClass, name = self._name;
    if (proc.body == Body::kChangeSelf) {
      Procedures().ChangeParameters(owner, name, VarList(self._params), !self._isStatic);
    }
    if (proc.body == Body::kRenameSelf) Procedures().Rename(owner, name, owner, name + "!");
    if (proc.body == Body::kRemoveSelf) Procedures().Remove(owner, name);
    for (size_t i = 0; i < _model.procs[p].acts.size(); ++i) Perform(_model.procs[p].acts[i]);
    return 0;
  };
}

void Run::Perform(const Act& act) {
  // The channels the act names, as the model's run found them.
  if (_model.named.empty()) return;
  const auto [s, from] = _model.named.front();
  _model.named.pop_front();
  if (act.kind == ActKind::kRemove) Procedures().Remove(act.owner, act.name);
  if (s < 0) return;
  if (act.kind == ActKind::kUpdatePrc) Call(s).UpdatePrc(act.owner, act.name);
  if (act.kind == ActKind::kLoad) Reload(Call(s), Call(from < 0 ? s : from));
  if (act.kind == ActKind::kSetMode) Call(s).SetCurrentMode(act.mode);
  if (act.kind == ActKind::kPrepare) Call(s).PrepareModesList(act.owner);
}

std::string Run::SaveAndLoad(const std::vector<int>& calls) {
  ZyrFileSaver saver;
  std::vector<Channel> saved;
  for (int s : calls) {
    saver.BeginChannel(guid::FromString(guid::kPrcCallChannelType));
    if (!Call(s).SaveChannel(saver) || !saver.EndChannel()) return "a channel could not be saved";
    saved.push_back(_model.channels[static_cast<size_t>(s)]);
  }
  ZyrFileLoader loader;
  GUID type;
  if (!loader.Open(saver.Bytes())) return "a saved file does not open: " + loader.GetError();
  for (const Channel& record : saved) {
    if (!loader.NextChannel(&type)) return "a saved record is missing: " + loader.GetError();
    const int s = AddCall();
    if (!Call(s).LoadChannel(loader, nullptr)) {
      return "a saved record does not load: " + loader.GetError();
    }
    if (_model.Load(record) != s) return "model and module count channels differently";
    // The check's own channels report for themselves.
    const std::array<long, 2> before = _messages;
    const std::string failure = fuzz_target::RoundTripFailure(Call(s), type);
    _messages = before;
    if (!failure.empty()) return failure;
  }
  return "";
}

std::string Run::Step(Input& in) {
  const Op op = PickOp(in.Byte());
  std::string failure = Apply(op, in);
  if (failure.empty()) failure = Compare();
  return failure.empty() ? failure : kOpNames[op] + (": " + failure);
}

std::string Run::Apply(Op op, Input& in) {
  switch (op) {
    case kNew:
      if (Live(true).size() < kMaxCalls && _model.NewCall() != AddCall()) return "slot";
      break;
    case kCopy: {
      const int s = PickCall(in);
      if (s < 0 || Live(true).size() >= kMaxCalls) break;
      auto* copy = new Ubo_VanticPrcCall(Call(s));
      return _model.Copy(s) != Add(copy, copy, copy) ? "slot" : "";
    }
    case kDestroy: {
      const int s = PickFrom(in, Any());
      const size_t how = in.Pick(3);
      if (s < 0) break;
      Slot& slot = _slots[static_cast<size_t>(s)];
      // A call channel goes through the engine's base, the framework's
      // interface or its class, as its maker would destroy it.
      if (slot.call != nullptr && how != 0) {
        static_cast<void>(slot.owned.release());
        if (how == 1) delete static_cast<ChannelExtension<Ubo_FloatChannel>*>(slot.call);
        if (how == 2) delete slot.call;
      }
      slot = Slot{};
      _model.Destroy(s);
      break;
    }
    case kSetOwner:
    case kSetName: {
      const int s = PickCall(in);
      const std::string text = op == kSetOwner ? in.From(kOwners) : in.From(kNames);
      if (s < 0) break;
      Channel& m = _model.channels[static_cast<size_t>(s)];
      if (op == kSetOwner) Call(s).SetPrcOwnerClass(m.owner = text);
      if (op == kSetName) Call(s).SetPrcName(m.prc = text);
      break;
    }
    case kRegister: {
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      const std::vector<Param>& shape = in.From(kShapes);
      const bool isStatic = in.Byte() & 1;
      const Body body = in.From(kBodies);
      const float tag = static_cast<float>(_procs.size() % 50 + 1);
      // The body reads the model's procedure, which it is registered as.
      VeskProcedure* real = Procedures().RegisterFunction(
          owner, name, isStatic, ToVarList(shape), MakeBody(_model.procs.size()));
      const int p = _model.Register(owner, name, isStatic, shape, body, tag);
      if (real != nullptr && p >= 0) _procs.push_back(real);
      return Agree("registered", real != nullptr, p >= 0);
    }
    case kRename: {
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      const std::string newOwner = in.From(kOwners), newName = in.From(kNames);
      return Agree("renamed", Procedures().Rename(owner, name, newOwner, newName),
                   _model.Rename(owner, name, newOwner, newName));
    }
    case kChange: {
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      const std::vector<Param>& shape = in.From(kShapes);
      const bool isStatic = in.Byte() & 1;
      const VarList vars = ToVarList(shape);
      return Agree("changed", Procedures().ChangeParameters(owner, name, vars, isStatic),
                   _model.Change(owner, name, shape, isStatic));
    }
    case kRemove: {
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      return Agree("removed", Procedures().Remove(owner, name), _model.Remove(owner, name));
    }
    case kSetBody: {
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      const Body body = in.From(kBodies);
      _model.SetBody(owner, name, body);
      break;
    }
    case kAct: {  // what the procedure's body does after its sum from now on
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      std::vector<Act> acts = ReadActs(in);
      const int p = _model.FindLive(owner, name);
      if (p >= 0) _model.procs[static_cast<size_t>(p)].acts = std::move(acts);
      break;
    }
    case kNewPlain: {
      if (Live(false).size() >= kMaxPlain) break;
      const Kind kind = static_cast<Kind>(1 + in.Pick(4));
      Zyr_Channel* channel = nullptr;
      if (kind == Kind::kValue) channel = new Ubo_ValueChannel();
      if (kind == Kind::kVector) channel = new Ubo_VectorChannel();
      if (kind == Kind::kCoreRef) channel = new Ubo_CoreRefChannel();
      const int s = _model.NewPlain(kind);
      if (kind == Kind::kActor) {
        auto* actor = new ActingChannel();
        _model.channels[static_cast<size_t>(s)].acts = ReadActs(in);
        actor->onRead = [this, s] {
          for (const Act& act : _model.channels[static_cast<size_t>(s)].acts) Perform(act);
        };
        channel = actor;
      }
      if (s != Add(channel, channel, nullptr)) return "slot";
      SetPlain(s, 1);  // a "CoreRef" refers to the object SetUpLifecycle makes
      break;
    }
    case kPlug: {
      const int parent = PickCall(in);
      const int index = static_cast<int>(in.Pick(6)) - 1;
      const size_t childPick = in.Byte();
      if (parent < 0) break;
      const std::vector<int> any = Any();
      const size_t k = childPick % (any.size() + 1);
      const int child = k == any.size() ? -1 : any[k];
      Zyr_Channel* plugged = child < 0 ? nullptr : ChannelAt(child);
      return Agree("plugged", ChannelAt(parent)->PlugChild(index, plugged),
                   _model.Plug(parent, index, child));
    }
    case kSetValue: {
      const std::vector<int> plain = Live(false);
      const int k = in.Byte();
      if (!plain.empty()) SetPlain(plain[static_cast<size_t>(k) % plain.size()], k);
      break;
    }
    case kAdvance:
      globalEngine->AdvanceRenderCount();
      break;
    case kRead:
      for (size_t n = 1 + in.Pick(3); n > 0; --n) {
        const int s = PickCall(in);
        if (s < 0) break;
        // The model first: it finds the channels the acts name.
        const float model = _model.Read(s, globalEngine->GetRenderCount());
        const float real = Call(s).GetFloat();
        const std::string failure = Agree("read of " + std::to_string(s), real, model) +
                                    Agree("acts left", _model.named.size(), 0u);
        if (!failure.empty()) return failure;
      }
      break;
    case kPrepare: {
      const int s = PickCall(in);
      const std::string owner = in.From(kOwners);
      if (s < 0) break;
      Call(s).PrepareModesList(owner);
      _model.PrepareModesList(s, owner);
      break;
    }
    case kSetMode: {
      const int s = PickCall(in);
      const uint32_t mode = in.From(kModeCodes);
      if (s < 0) break;
      Call(s).SetCurrentMode(mode);
      _model.SetCurrentMode(s, mode);
      break;
    }
    case kSaveOne: {
      const int s = PickCall(in);
      return s >= 0 && Live(true).size() < kMaxCalls ? SaveAndLoad({s}) : "";
    }
    case kSaveAll: {
      const std::vector<int> calls = Live(true);
      return !calls.empty() && calls.size() * 2 <= kMaxCalls ? SaveAndLoad(calls) : "";
    }
    case kUpdatePrc: {
      const int s = PickCall(in);
      const std::string owner = in.From(kOwners), name = in.From(kNames);
      if (s < 0) break;
      return Agree("UpdatePrc", Call(s).UpdatePrc(owner, name), _model.UpdatePrc(s, owner, name));
    }
    case kWire: {  // every empty link of a channel gets a channel it accepts
      const int parent = PickCall(in);
      if (parent < 0) break;
      Zyr_Channel* channel = ChannelAt(parent);
      for (int link = 0; link < channel->GetChildCreationCount(); ++link) {
        if (channel->GetChild(link) != nullptr) continue;
        const std::vector<int> fits = Live([&](const Slot& slot) {
          return slot.channel != channel &&
                 Zyr_Channel::LinkAccepts(*channel->GetChildCreation(link), *slot.channel);
        });
        if (fits.empty()) continue;
        const int child = fits[in.Pick(fits.size())];
        if (!channel->PlugChild(link, ChannelAt(child)) || !_model.Plug(parent, link, child)) {
          return "wiring: a link refused a channel it accepts";
        }
      }
      break;
    }
    case kOpCount:
      break;
  }
  return "";
}

std::string Run::Compare() const {
  size_t liveProcs = 0;
  for (const Proc& p : _model.procs) liveProcs += p.live;
  std::string failure = Agree("level-1 messages", _messages[0], _model.reports) +
                        Agree("level-2 messages", _messages[1], _model.notes) +
                        Agree("live procedures", Procedures().Count(), liveProcs) +
                        Agree("text holder", formatTempStringHolder, _model.holder);
  int anyCall = -1;
  for (size_t i = 0; i < _slots.size() && failure.empty(); ++i) {
    const Channel& m = _model.channels[i];
    const Zyr_Channel* channel = _slots[i].channel;
    if (_slots[i].call != nullptr) {
      anyCall = static_cast<int>(i);
      failure = CompareCall(static_cast<int>(i));
    } else if (channel != nullptr) {
      failure = Agree("value", static_cast<const Ubo_FloatChannel*>(channel)->_value, m.value);
      if (m.kind == Kind::kVector) {
        const Vec3 v = static_cast<const Ubo_VectorChannel*>(channel)->GetVector();
        failure += Agree("vector", v, m.vector);
      }
    }
    if (!failure.empty()) failure = "channel " + std::to_string(i) + " " + failure;
  }
  if (anyCall < 0 || !failure.empty()) return failure;
  // The mode registry, as any call channel lists it.
  Ubo_VanticPrcCall& call = Call(anyCall);
  std::vector<Mode> modes;
  for (uint32_t i = 0; i < call.GetModeCount(); ++i) {
    const ModeDescription* d = call.GetModeDescription(call.GetModeFromIndex(i));
    modes.emplace_back(call.GetModeFromIndex(i), d != nullptr ? d->ShortName : "?");
  }
  return Agree("modes", modes, _model.modes);
}

std::string Run::CompareCall(int s) const {
  Ubo_VanticPrcCall& call = Call(s);
  const Channel& m = _model.channels[static_cast<size_t>(s)];
  std::string failure;
  std::vector<Link> links;
  for (int i = 0; i < call.GetChildCreationCount(); ++i) {
    const ChildCreation& c = *call.GetChildCreation(i);
    links.push_back(Link{c.Type._name, c.LinkName, c.LinkMode, SlotOf(call.GetChild(i))});
    failure += Agree("link index", c.LinkIndex, i);
  }
  const Procedure* bound = call.GetBoundProcedure();
  const bool stale = bound != nullptr && bound->_revision != call.GetPrcRevision();
  return failure + Agree("name", call.GetChannelName(), m.name) +
         Agree("owner", call.GetPrcOwnerClass(), m.owner) +
         Agree("procedure", call.GetPrcName(), m.prc) +
         Agree("static flag", call.IsStatic(), m.isStatic) +
         Agree("parameters", FromVarList(call.GetParamVars()), m.params) +
         Agree("mode", call.GetCurrentMode(), m.currentMode) +
         Agree("status", call._value, m.value) +
         Agree("bound to the model's procedure", bound == ProcAt(m.bound), true) +
         Agree("stale", stale, _model.Stale(m)) +
         Agree("follows the model's", call._currentProcedure == ProcAt(m.following), true) +
         Agree("links", links, m.links);
}

}  // namespace

void SetUpLifecycle() {
  // A procedure is freed as soon as nothing reaches it, so that a use after
  // that shows at once.
  Procedures().SetFreeRetiredAtOnce(true);
  ObjectsManager& objects = Procedures().Objects();
  if (objects.Get(kObjectId) == nullptr) objects.CreateWithId(kObjectId, "Crate", "crate");
}

std::string RunLifecycle(const uint8_t* data, size_t size) {
  Input in(data, size);
  Run run;
  for (int step = 0; step < kMaxSteps && !in.Empty(); ++step) {
    const std::string failure = run.Step(in);
    if (!failure.empty()) return "step " + std::to_string(step) + " " + failure;
  }
  return "";
}

}  // namespace lifecycle
