#include "runner/scene/scene_runtime.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <utility>

#include "hostapi/guid.h"
#include "runner/output/printable_text.h"
#include "runner/scene/call_channel_setup.h"
#include "runner/scene/event_check.h"
#include "runner/procedures/procedure_library.h"
#include "runner/procedures/expression_procedure.h"
#include "runner/scene/scene_json.h"
#include "runner/output/value_format.h"
#include "runner/procedures/var_access.h"

namespace dravik {

std::string FullName(const std::string& owner, const std::string& name) { return owner + "::" + name; }

namespace {

GUID TypeOf(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::kValue: return guid::FromString(guid::kFloatChannelType);
    case ChannelKind::kVector: return guid::FromString(guid::kVectorChannelType);
    case ChannelKind::kObjectRef: return guid::FromString(guid::kCoreRefChannelType);
    case ChannelKind::kCall: return guid::FromString(guid::kPrcCallChannelType);
  }
  return GUID{};
}

std::string Quoted(const std::string& text) { return "'" + Printable(text, 60) + "'"; }

}  // namespace

// Makes a call channel the engine's channel at work while it lives.
class EvaluationScope {
 public:
  EvaluationScope(SceneRuntime&, const RuntimeChannel& channel) : _work(*globalEngine, channel.channel.get()) {}

 private:
  ChannelWorkScope _work;
};

const RuntimeChannel* SceneRuntime::FindChannel(const std::string& id) const {
  // The channels stand in scene order: the scene's index is theirs.
  const size_t at = _scene.ChannelPosition(id);
  return at >= _channels.size() ? nullptr : &_channels[at];
}

bool SceneRuntime::Watch(const std::vector<std::string>& ids, std::string* error) {
  std::set<std::string> chosen;
  for (const std::string& id : ids) {
    if (_scene.FindChannel(id) == nullptr) {
      *error = "no channel '" + Printable(id, 60) + "' to watch";
      return false;
    }
    chosen.insert(id);
  }
  for (ChannelSpec& spec : _scene.channels) spec.watch = chosen.count(spec.id) > 0;
  return true;
}

const ChannelSpec* SceneRuntime::MessageChannel() const {
  const Zyr_Channel* channel = globalEngine->GetChannelAtWork();
  if (channel == nullptr) return nullptr;
  auto found = std::lower_bound(_specByChannel.begin(), _specByChannel.end(), channel,
                                [](const auto& entry, const Zyr_Channel* c) { return entry.first < c; });
  return found == _specByChannel.end() || found->first != channel ? nullptr : found->second;
}

SceneRuntime::SceneRuntime(HostEnvironment& host) : _host(host) {}

SceneRuntime::~SceneRuntime() {
  // Channels unplug themselves as they go; groups after their members.
  _channels.clear();
  _groups.clear();
}

RuntimeChannel* SceneRuntime::Find(const std::string& id) {
  return const_cast<RuntimeChannel*>(FindChannel(id));
}

void SceneRuntime::IndexChannels() {
  _specByChannel.clear();
  _specByChannel.reserve(_channels.size());
  for (const RuntimeChannel& rc : _channels) _specByChannel.emplace_back(rc.channel.get(), rc.spec);
  std::sort(_specByChannel.begin(), _specByChannel.end());
}

bool SceneRuntime::Prepare(Scene scene, std::string sceneText, std::string* error) {
  _scene = std::move(scene);
  _sceneText = std::move(sceneText);
  if (!_scene.HasIndexes()) _scene.BuildIndexes();
  if (!_host.Library().AddSceneProcedures(_scene, error) || !CompileEventBodies(error)) return false;
  _host.Library().RegisterAll(_host.Procedures());
  return true;
}

bool SceneRuntime::CompileEventBodies(std::string* error) {
  // The replay knows the procedure each event meets at its frame, under the
  // name a rename gave it, with the constants it holds then.
  const EventCheck check = CheckSceneEvents(_scene, _host.Library().Definitions(), kMaxFrames);
  for (const auto& [index, change] : check.bodies) {
    const EventSpec& e = _scene.events[index];
    VeskProcedure::Body body;
    if (!CompileExpressionBody(FullName(e.owner, e.procedure), e.isStatic, change.params, change.outputs,
                               change.constants, e.path + "/change_params", &body, error)) {
      return false;
    }
    _eventBodies[index] = std::move(body);
  }
  return true;
}

bool SceneRuntime::Build(Scene scene, std::string sceneText, std::string* error) {
  if (!Prepare(std::move(scene), std::move(sceneText), error) || !CreateObjects(error) ||
      !CreateChannels(error) || !PlugSceneLinks(error)) {
    return false;
  }
  MakeGroups();
  BindCalls(true);
  return true;
}

void SceneRuntime::BindCalls(bool namesFromScene) {
  IndexCallNames(namesFromScene);
  // One registry lookup per procedure name, not per call; bound in scene order.
  std::vector<bool> registered(_channels.size(), false);
  for (const auto& [names, calls] : _callsByName) {
    if (_host.Procedures().GetProcedure(names.first, names.second) == nullptr) continue;
    for (size_t i : calls) registered[i] = true;
  }
  for (size_t i = 0; i < _channels.size(); ++i) {
    if (!registered[i]) continue;
    EvaluationScope scope(*this, _channels[i]);
    _host.PrcCall().UpdatePrc(*_channels[i].channel, _callNames[i]->first, _callNames[i]->second);
  }
}

void SceneRuntime::BindCall(size_t position) {
  RuntimeChannel& rc = _channels[position];
  const CallName* names = _callNames[position];
  if (names != nullptr && _host.Procedures().GetProcedure(names->first, names->second) != nullptr) {
    EvaluationScope scope(*this, rc);
    _host.PrcCall().UpdatePrc(*rc.channel, names->first, names->second);
  }
}

bool SceneRuntime::CreateObjects(std::string* error) {
  ObjectsManager& objects = _host.Procedures().Objects();
  for (size_t i = 0; i < _scene.objects.size(); ++i) {
    const ObjectSpec& spec = _scene.objects[i];
    VanticObject* object = objects.Create(spec.className, spec.name);
    if (object == nullptr) {
      *error = "/objects/" + std::to_string(i) + ": the framework could not create the object";
      return false;
    }
    for (const auto& [key, value] : spec.floats) object->SetFloat(key, value);
    for (const auto& [key, value] : spec.vectors) object->SetVector(key, value);
    _objects.push_back({spec.id, object->Id()});
  }
  return true;
}

bool SceneRuntime::CreateChannels(std::string* error) {
  _channels.reserve(_scene.channels.size());
  CallSetupRecords records;
  for (const ChannelSpec& spec : _scene.channels) {
    if (spec.kind == ChannelKind::kCall && !_host.HasPrcCallType()) {
      *error = spec.Path() + ": " + _host.MissingPrcCallReason();
      return false;
    }
    RuntimeChannel rc;
    rc.spec = &spec;
    rc.channel = _host.Factory().Create(TypeOf(spec.kind));
    if (rc.channel == nullptr) {
      *error = spec.Path() + ": the channel factory could not make a " + ChannelKindName(spec.kind) + " channel";
      return false;
    }
    switch (spec.kind) {
      case ChannelKind::kValue:
        if (auto* f = dynamic_cast<Ubo_FloatChannel*>(rc.channel.get())) f->SetFloat(spec.value);
        break;
      case ChannelKind::kVector:
        if (auto* v = dynamic_cast<Ubo_VectorChannel*>(rc.channel.get())) v->SetVector(spec.vector);
        break;
      case ChannelKind::kObjectRef:
        if (auto* r = dynamic_cast<Ubo_CoreRefChannel*>(rc.channel.get())) {
          // Objects were created in scene order: the scene's index is theirs.
          const size_t object = spec.objectId.empty() ? IdIndex::kNone : _scene.ObjectPosition(spec.objectId);
          r->SetObjectId(object < _objects.size() ? _objects[object].id : 0);
        }
        break;
      case ChannelKind::kCall:
        break;
    }
    if (spec.kind == ChannelKind::kCall) {
      if (!SetUpCall(rc, records, error)) return false;
    } else {
      rc.channel->SetChannelName(spec.name.c_str());
    }
    rc.links.Reserve(spec.links.size());
    for (const LinkSpec& link : spec.links) rc.links.Set(link.param, link.source);
    _channels.push_back(std::move(rc));
  }
  IndexChannels();
  return true;
}

bool SceneRuntime::SetUpCall(RuntimeChannel& rc, CallSetupRecords& records, std::string* error) {
  const ChannelSpec& spec = *rc.spec;
  CallSetup setup;
  setup.owner = spec.owner;
  setup.name = spec.procedure;
  if (const Procedure* p = _host.Procedures().GetProcedure(spec.owner, spec.procedure)) {
    setup.isStatic = p->_isStatic;
    setup.params = DescribeParams(p->_params);
  } else if (spec.hasParams) {
    setup.isStatic = spec.isStatic;
    setup.params = spec.params;
  }
  std::string why;
  if (!records.Configure(*rc.channel, setup, &why)) {
    *error = spec.Path() + ": " + why;
    return false;
  }
  return true;
}

bool SceneRuntime::PlugSceneLinks(std::string* error) {
  for (RuntimeChannel& rc : _channels) {
    const ChannelSpec& spec = *rc.spec;
    for (const LinkSpec& link : spec.links) {
      const int index = rc.channel->FindChildLink(link.param.c_str());
      const auto at = [&] { return spec.Path() + "/links/" + link.param; };
      if (index < 0) {
        const std::string proc = FullName(spec.owner, spec.procedure);
        const bool registered = _host.Procedures().GetProcedure(spec.owner, spec.procedure) != nullptr;
        if (link.param == "This") {
          *error = at() + ": procedure " + proc + " is static, so it has no \"This\" link";
        } else if (registered) {
          *error = at() + ": procedure " + proc + " has no parameter " + Quoted(link.param);
        } else if (spec.hasParams) {
          *error = at() + ": the \"params\" given for " + proc + " have no parameter " + Quoted(link.param);
        } else {
          *error = at() + ": procedure " + proc +
                   " is not registered, so its parameters are unknown (give the channel \"params\")";
        }
        return false;
      }
      // The channels stand in scene order: the scene's positions are theirs.
      const size_t position = _scene.SourcePosition(link.source, spec.index);
      RuntimeChannel* source = position < _channels.size() ? &_channels[position] : nullptr;
      if (source == nullptr || !rc.channel->PlugChild(index, source->channel.get())) {
        const ChildCreation* c = rc.channel->GetChildCreation(index);
        *error = at() + ": link " + Quoted(link.param) + " takes a \"" + (c ? c->Type._name : "?") +
                 "\" channel, not the " + (source ? ChannelKindName(source->spec->kind) : "?") +
                 " channel " + Quoted(link.source);
        return false;
      }
    }
  }
  return true;
}

void SceneRuntime::MakeGroups() {
  for (const GroupSpec& g : _scene.groups) {
    auto group = std::make_unique<Zyr_ChannelGroup>(g.name);
    size_t last = IdIndex::kNone;  // the last of the group's channels found
    for (const std::string& id : g.channels) {
      const size_t at = _scene.MemberPosition(id, last);
      if (at >= _channels.size()) continue;
      _channels[at].channel->SetChannelGroup(group.get());
      last = at;
    }
    _groups.push_back(std::move(group));
  }
}

void SceneRuntime::FindAnimated() {
  _animated.clear();
  for (RuntimeChannel& rc : _channels) {
    if (rc.spec->animation.kind == Animation::Kind::kNone) continue;
    // Told once: a channel keeps its type for the runtime's life.
    auto* v = dynamic_cast<Ubo_VectorChannel*>(rc.channel.get());
    auto* f = v != nullptr ? nullptr : dynamic_cast<Ubo_FloatChannel*>(rc.channel.get());
    if (v != nullptr || f != nullptr) _animated.push_back({&rc.spec->animation, f, v});
  }
}

void SceneRuntime::ApplyAnimations(uint32_t frame) {
  for (const AnimatedChannel& c : _animated) {
    const Animation& a = *c.animation;
    if (a.kind == Animation::Kind::kStep) {
      if (frame <= 1) continue;
      if (c.vector != nullptr) {
        const Vec3 now = c.vector->GetVector();
        c.vector->SetVector(Vec3{now.x + a.step.x, now.y + a.step.y, now.z + a.step.z});
      } else {
        c.value->SetFloat(c.value->_value + a.step.x);
      }
      continue;
    }
    size_t index = frame - 1;
    if (index >= a.values.size()) index = a.cycle ? index % a.values.size() : a.values.size() - 1;
    if (c.vector != nullptr) {
      c.vector->SetVector(a.values[index]);
    } else {
      c.value->SetFloat(a.values[index].x);
    }
  }
}

void SceneRuntime::ApplyRegistryEvent(const EventSpec& e, size_t index, std::string* note) {
  ProceduresManager& procs = _host.Procedures();
  ProcedureLibrary& library = _host.Library();
  const std::string proc = FullName(e.owner, e.procedure);
  switch (e.kind) {
    case EventKind::kRename: {
      const std::string to = FullName(e.newOwner, e.newName);
      if (e.owner == e.newOwner && e.procedure == e.newName && procs.GetProcedure(e.owner, e.procedure) != nullptr) {
        *note = "nothing to do: procedure " + proc + " already has that name";
        return;
      }
      if (procs.Rename(e.owner, e.procedure, e.newOwner, e.newName)) {
        FollowRename({e.owner, e.procedure});
        TouchCallsNamed(e.newOwner, e.newName);
        if (const ProcedureDefinition* d = library.Find(e.owner, e.procedure)) {
          ProcedureDefinition copy = *d;
          copy.owner = e.newOwner;
          copy.name = e.newName;
          library.Add(std::move(copy));
        }
        *note = "renamed procedure " + proc + " to " + to;
      } else {
        *note = "could not rename " + proc + " to " + to + ": no such procedure, or the new name is taken";
      }
      return;
    }
    case EventKind::kChangeParams: {
      auto body = _eventBodies.find(index);
      if (body != _eventBodies.end()) {
        if (auto* vesk = dynamic_cast<VeskProcedure*>(procs.GetProcedure(e.owner, e.procedure))) {
          vesk->SetBody(body->second);
        }
      }
      if (procs.ChangeParameters(e.owner, e.procedure, MakeParams(e.params), e.isStatic)) {
        TouchCallsNamed(e.owner, e.procedure);
        if (const ProcedureDefinition* d = library.Find(e.owner, e.procedure)) {
          ProcedureDefinition copy = *d;
          copy.params = e.params;
          copy.isStatic = e.isStatic;
          if (body != _eventBodies.end()) copy.body = body->second;
          library.Add(std::move(copy));
        }
        *note = "changed the parameters of " + proc + " to (" + ParamsText(e.params) + ")" +
                (e.isStatic ? "" : ", not static");
      } else {
        *note = "could not change the parameters of " + proc + ": no such procedure";
      }
      return;
    }
    case EventKind::kRemove:
      *note = procs.Remove(e.owner, e.procedure) ? "removed procedure " + proc
                                                 : "could not remove " + proc + ": no such procedure";
      return;
    case EventKind::kRegister:
      if (!library.Register(procs, e.owner, e.procedure)) {
        *note = "could not register " + proc + ": no definition of it, or the name is taken";
        return;
      }
      TouchCallsNamed(e.owner, e.procedure);
      *note = "registered procedure " + proc + " again";
      return;
    default:
      return;
  }
}

void SceneRuntime::ReplayRegistryEvents(uint32_t lastFrame) {
  for (size_t i = 0; i < _scene.events.size() && _scene.events[i].frame <= lastFrame; ++i) {
    std::string ignored;
    ApplyRegistryEvent(_scene.events[i], i, &ignored);
  }
}

void SceneRuntime::ApplyEvent(size_t index, RunObserver& observer) {
  const EventSpec& e = _scene.events[index];
  const uint32_t frame = e.frame;
  std::string note;
  RuntimeChannel* rc = e.channel.empty() ? nullptr : Find(e.channel);
  switch (e.kind) {
    case EventKind::kRename:
    case EventKind::kChangeParams:
    case EventKind::kRemove:
    case EventKind::kRegister:
      ApplyRegistryEvent(e, index, &note);
      break;
    case EventKind::kPrepareModes: {
      std::optional<EvaluationScope> scope;
      if (rc != nullptr) scope.emplace(*this, *rc);
      if (rc == nullptr || !_host.PrcCall().PrepareModesList(*rc->channel, e.owner)) {
        note = "could not call PrepareModesList on " + Quoted(e.channel);
        break;
      }
      _modesOwner = e.owner;
      note = "PrepareModesList(\"" + Printable(e.owner, 60) + "\") on " + Quoted(e.channel) + ": modes";
      const std::vector<ModeEntry> modes = _host.PrcCall().Modes(*rc->channel);
      std::string current;
      uint32_t mode = 0;
      for (const ModeEntry& m : modes) {
        note += " " + std::to_string(m.code) + "=" + Printable(m.shortName, 40);
      }
      if (ReadCurrentMode(*rc->channel, &mode)) {
        note += "; current mode " + std::to_string(mode);
        for (const ModeEntry& m : modes) {
          if (m.code == mode) note += " (" + Printable(m.shortName, 40) + ")";
        }
      }
      break;
    }
    case EventKind::kLink: {
      if (rc == nullptr) break;
      const WantedLinks::Link* wanted = rc->links.Find(e.param);
      const std::string link = "link " + Quoted(e.param) + " of " + Quoted(e.channel);
      if (e.source.empty()) {
        const int at = rc->channel->FindChildLink(e.param.c_str());
        if (wanted == nullptr && (at < 0 || rc->channel->GetChild(at) == nullptr)) {
          note = "nothing to do: " + link + " holds nothing";
          break;
        }
        rc->links.Erase(e.param);
        if (at >= 0) rc->channel->PlugChild(at, nullptr);
        note = "unplugged " + link;
        break;
      }
      if (wanted != nullptr && *wanted->source == e.source) {
        note = "nothing to do: " + link + " already takes " + Quoted(e.source);
        break;
      }
      rc->links.Set(e.param, e.source);
      // Plugged once the frame's events are all applied, when the link is there.
      Touch(static_cast<size_t>(rc - _channels.data()), false);
      _linkEvents.push_back(index);
      return;
    }
    case EventKind::kSet:
      if (rc == nullptr) break;
      if (auto* v = dynamic_cast<Ubo_VectorChannel*>(rc->channel.get())) {
        v->SetVector(e.vector);
        note = "set " + Quoted(e.channel) + " to " + FormatVector(e.vector);
      } else if (auto* f = dynamic_cast<Ubo_FloatChannel*>(rc->channel.get())) {
        f->SetFloat(e.value);
        note = "set " + Quoted(e.channel) + " to " + FormatNumber(e.value);
      }
      break;
  }
  if (!note.empty()) observer.OnNote(frame, note);
}

void SceneRuntime::Wire(RuntimeChannel& rc, uint32_t frame, RunObserver* observer) {
  for (const WantedLinks::Link& link : rc.links) {
    const std::string& param = *link.param;
    const std::string& source = *link.source;
    const int index = rc.channel->FindChildLink(param.c_str());
    RuntimeChannel* src = Find(source);
    if (index < 0 || src == nullptr || rc.channel->GetChild(index) == src->channel.get()) continue;
    const bool plugged = rc.channel->PlugChild(index, src->channel.get());
    if (observer != nullptr) {
      observer->OnNote(frame, plugged ? "plugged " + Quoted(source) + " into link " + Quoted(param) + " of " +
                                            Quoted(rc.spec->id)
                                      : "link " + Quoted(param) + " of " + Quoted(rc.spec->id) +
                                            " does not take " + Quoted(source));
    }
  }
}

ChannelValue SceneRuntime::Read(RuntimeChannel& rc, float callStatus) {
  ChannelValue v;
  v.spec = rc.spec;
  v.name = rc.channel->GetChannelName();
  if (rc.spec->kind == ChannelKind::kCall) {
    v.value = callStatus;
  } else if (auto* vec = dynamic_cast<Ubo_VectorChannel*>(rc.channel.get())) {
    v.isVector = true;
    v.vector = vec->GetVector();
    v.value = vec->GetFloat();
  } else if (auto* ref = dynamic_cast<Ubo_CoreRefChannel*>(rc.channel.get())) {
    v.value = static_cast<float>(ref->GetObjectId());
  } else if (auto* f = dynamic_cast<Ubo_FloatChannel*>(rc.channel.get())) {
    v.value = f->GetFloat();
  }
  return v;
}

void SceneRuntime::Run(uint32_t count, RunObserver& observer, void (*progress)(void*, uint32_t, uint32_t),
                       void* progressContext) {
  const uint32_t first = _lastFrame + 1;
  const uint64_t lastWide = uint64_t{first} + count - 1;
  const uint32_t last = lastWide > UINT32_MAX - 1 ? UINT32_MAX - 1 : static_cast<uint32_t>(lastWide);
  std::vector<float> statuses(_channels.size(), 0.0f);
  std::vector<ChannelValue> values;
  // The calls in scene order, each with its float face, and the watched
  // channels, told once a run: a frame touches no other channel.
  std::vector<std::pair<size_t, Ubo_FloatChannel*>> calls;
  std::vector<size_t> watched;
  for (size_t i = 0; i < _channels.size(); ++i) {
    if (_channels[i].spec->watch) {
      values.push_back(Read(_channels[i], 0.0f));
      watched.push_back(i);
    }
    if (_channels[i].spec->kind != ChannelKind::kCall) continue;
    // A call's last status (a loaded one's is the saved one): a run that
    // goes on notes what changes from it, as one that went straight would.
    auto* call = dynamic_cast<Ubo_FloatChannel*>(_channels[i].channel.get());
    if (call != nullptr) statuses[i] = call->_value;
    calls.emplace_back(i, call);
  }
  FindAnimated();
  observer.OnBegin(_scene, first, count == 0 ? first - 1 : last, values);
  size_t nextEvent = 0;
  while (nextEvent < _scene.events.size() && _scene.events[nextEvent].frame < first) ++nextEvent;
  for (uint64_t f = first; count > 0 && f <= last; ++f) {
    const uint32_t frame = static_cast<uint32_t>(f);
    _currentFrame = frame;
    if (globalEngine->GetRenderCount() < frame) globalEngine->SetRenderCount(frame);
    ApplyAnimations(frame);
    if (nextEvent < _scene.events.size() && _scene.events[nextEvent].frame == frame) {
      while (nextEvent < _scene.events.size() && _scene.events[nextEvent].frame == frame) {
        ApplyEvent(nextEvent++, observer);
      }
      SettleTouched(frame, observer);
    }
    for (const auto& [i, f32] : calls) {
      RuntimeChannel& rc = _channels[i];
      observer.OnCallEvaluating(frame, rc);
      const float before = statuses[i];
      if (f32 != nullptr) {
        EvaluationScope scope(*this, rc);
        statuses[i] = f32->GetFloat();
      }
      if (statuses[i] != 0.0f && _failedCalls++ == 0) {
        _firstFailedCall = Quoted(rc.spec->id) + " at frame " + std::to_string(frame);
      }
      observer.OnCallEvaluated(frame, rc, statuses[i]);
      if (statuses[i] == kStatusInputsNotTaken && (before != statuses[i] || rc.touchedAt == frame)) {
        NoteInputsNotTaken(rc, frame, observer);
      }
    }
    values.clear();
    for (size_t i : watched) values.push_back(Read(_channels[i], statuses[i]));
    observer.OnFrame(frame, values);
    _lastFrame = frame;
    if (progress != nullptr) progress(progressContext, frame - first + 1, count);
  }
  _currentFrame = 0;
  observer.OnEnd();
}

void SceneRuntime::AdoptLoaded(uint32_t lastFrame, std::string modesOwner, std::vector<RuntimeObject> objects,
                               std::vector<RuntimeChannel> channels,
                               std::vector<std::unique_ptr<Zyr_ChannelGroup>> groups) {
  _lastFrame = lastFrame;
  _modesOwner = std::move(modesOwner);
  _objects = std::move(objects);
  _channels = std::move(channels);
  _groups = std::move(groups);
  IndexChannels();
  BindCalls(false);
}

WantedLinks SceneRuntime::DesiredLinks(const ChannelSpec& spec, uint32_t lastFrame) const {
  WantedLinks links;
  links.Reserve(spec.links.size());
  for (const LinkSpec& link : spec.links) links.Set(link.param, link.source);
  for (const EventSpec& e : _scene.events) {
    if (e.frame > lastFrame || e.kind != EventKind::kLink || e.channel != spec.id) continue;
    if (e.source.empty()) {
      links.Erase(e.param);
    } else {
      links.Set(e.param, e.source);
    }
  }
  return links;
}

}  // namespace dravik
