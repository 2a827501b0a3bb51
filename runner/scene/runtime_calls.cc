// The runtime's care of call channels between evaluations: finding the
// calls a frame's events touched, binding and wiring them before the frame
// evaluates anything, and telling why a call took no inputs.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hostapi/guid.h"
#include "runner/output/printable_text.h"
#include "runner/scene/call_channel_setup.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {
namespace {

std::string Quoted(const std::string& text) { return "'" + Printable(text, 60) + "'"; }

void SortUnique(std::vector<size_t>* positions) {
  std::sort(positions->begin(), positions->end());
  positions->erase(std::unique(positions->begin(), positions->end()), positions->end());
}

std::string Field(const char* text, size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

void SceneRuntime::IndexCallNames(bool namesFromScene) {
  _callsByName.clear();
  _callNames.assign(_channels.size(), nullptr);
  for (size_t i = 0; i < _channels.size(); ++i) {
    const ChannelSpec& spec = *_channels[i].spec;
    if (spec.kind != ChannelKind::kCall) continue;
    CallName names;
    if (namesFromScene) {
      names = CallName(spec.owner, spec.procedure);
    } else if (!ReadCallNames(*_channels[i].channel, &names.first, &names.second)) {
      continue;
    }
    auto it = _callsByName.try_emplace(std::move(names)).first;
    it->second.push_back(i);
    _callNames[i] = &it->first;
  }
}

void SceneRuntime::Touch(size_t position, bool bind) { (bind ? _toBind : _toWire).push_back(position); }

void SceneRuntime::TouchCallsNamed(const std::string& owner, const std::string& name) {
  auto it = _callsByName.find(CallName(owner, name));
  if (it == _callsByName.end()) return;
  for (size_t i : it->second) Touch(i, true);
}

void SceneRuntime::FollowRename(const CallName& from) {
  auto it = _callsByName.find(from);
  if (it == _callsByName.end()) return;
  const std::vector<size_t> calls = std::move(it->second);
  const CallName old = it->first;
  _callsByName.erase(it);
  for (size_t i : calls) {
    CallName now;
    if (!ReadCallNames(*_channels[i].channel, &now.first, &now.second)) now = old;
    auto entry = _callsByName.try_emplace(std::move(now)).first;
    entry->second.push_back(i);
    _callNames[i] = &entry->first;
  }
}

void SceneRuntime::SettleTouched(uint32_t frame, RunObserver& observer) {
  SortUnique(&_toBind);
  for (size_t i : _toBind) BindCall(i);
  _toWire.insert(_toWire.end(), _toBind.begin(), _toBind.end());
  SortUnique(&_toWire);
  for (size_t i : _toWire) {
    _channels[i].touchedAt = frame;
    Wire(_channels[i], frame, &observer);
  }
  for (size_t index : _linkEvents) {
    const EventSpec& e = _scene.events[index];
    const RuntimeChannel* rc = FindChannel(e.channel);
    const WantedLinks::Link* wanted = rc->links.Find(e.param);
    if (wanted == nullptr || *wanted->source != e.source ||
        rc->channel->FindChildLink(e.param.c_str()) >= 0) {
      continue;
    }
    observer.OnNote(frame, Quoted(e.channel) + " has no link " + Quoted(e.param) + " yet; " + Quoted(e.source) +
                               " goes in when it appears");
  }
  _toBind.clear();
  _toWire.clear();
  _linkEvents.clear();
}

void SceneRuntime::NoteInputsNotTaken(const RuntimeChannel& rc, uint32_t frame, RunObserver& observer) {
  static const GUID kObjectLink = guid::FromString(guid::kCoreRefChannelType);
  static const GUID kVectorLink = guid::FromString(guid::kVectorChannelType);
  Zyr_Channel& channel = *rc.channel;
  std::string why;
  for (int l = 0; l < channel.GetChildCreationCount(); ++l) {
    const ChildCreation* c = channel.GetChildCreation(l);
    if (c == nullptr || c->LinkMode == 0) continue;  // an output link is not read
    const std::string name = Field(c->LinkName, sizeof c->LinkName);
    std::string problem;
    Zyr_Channel* child = channel.GetChild(l);
    // The channel the scene plugged there, to name it.
    const WantedLinks::Link* wanted = rc.links.Find(name);
    const RuntimeChannel* source = wanted == nullptr ? nullptr : FindChannel(*wanted->source);
    if (source != nullptr && source->channel.get() != child) source = nullptr;
    const std::string held = source != nullptr ? "the " + std::string(ChannelKindName(source->spec->kind)) +
                                                     " channel " + Quoted(source->spec->id)
                                               : std::string("a channel the scene did not plug");
    if (child == nullptr) {
      problem = "held nothing";
    } else if (c->Type._typeGuid == kObjectLink) {
      auto* ref = dynamic_cast<Ubo_CoreRefChannel*>(child);
      if (ref == nullptr) {
        problem = "held " + held + ", not an object channel";
      } else if (_host.Procedures().Objects().Get(ref->GetObjectId()) == nullptr) {
        problem = "held " + held + ", which refers to no object";
      }
    } else if (c->Type._typeGuid == kVectorLink ? dynamic_cast<Ubo_VectorChannel*>(child) == nullptr
                                                : dynamic_cast<Ubo_FloatChannel*>(child) == nullptr) {
      problem = "held " + held + ", not a \"" + Printable(Field(c->Type._name, sizeof c->Type._name), 40) +
                "\" channel";
    }
    if (!problem.empty()) why += (why.empty() ? "" : "; ") + ("link " + Quoted(name) + " " + problem);
  }
  if (!why.empty()) observer.OnNote(frame, Quoted(rc.spec->id) + " could not take its inputs: " + why);
}

}  // namespace dravik
