#include "runner/scene/event_check.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <utility>

#include "runner/output/printable_text.h"
#include "runner/procedures/procedure_library.h"
#include "runner/scene/scene_json.h"

namespace dravik {

bool EventCheck::HasErrors() const { return FirstError() != nullptr; }

const SceneFinding* EventCheck::FirstError() const {
  for (const SceneFinding& f : findings) {
    if (f.severity == SceneFinding::Severity::kError) return &f;
  }
  return nullptr;
}

namespace {

using Name = std::pair<std::string, std::string>;  // owner class, procedure

std::string Text(const Name& n) { return Printable(n.first, 60) + "::" + Printable(n.second, 60); }
std::string Quoted(const std::string& text) { return "'" + Printable(text, 60) + "'"; }

// A procedure as the registry or the library holds it.
struct Shape {
  bool isStatic = true;
  std::vector<ParamSpec> params;
  bool isExpression = false;
  std::map<std::string, std::vector<std::string>> outputs;
  std::map<std::string, double> constants;
};

struct Layout {
  bool isStatic = true;
  std::vector<ParamSpec> params;
};

// The engine type name a link of `param` takes ("This": the object link).
const char* LinkTypeName(const ParamSpec* param) {
  if (param == nullptr) return "CoreRef";
  return param->type == ParamType::kVec3 ? "Value Vector" : "Value";
}

bool Takes(const ParamSpec* param, ChannelKind source) {
  if (param == nullptr) return source == ChannelKind::kObjectRef;
  if (param->type == ParamType::kVec3) return source == ChannelKind::kVector;
  return source == ChannelKind::kValue || source == ChannelKind::kCall;
}

// Replays the registry events and follows the call channels through them.
// Channels that name the same procedure when the scene starts go through
// the same states, so one track stands for all of them.
class Replay {
 public:
  Replay(const Scene& scene, EventCheck* out) : _scene(scene), _out(out) {}

  void Run(const std::vector<ProcedureDefinition>& builtins, uint32_t lastFrame);

 private:
  struct Registered {
    Shape shape;
    int identity = 0;
  };
  struct Track {
    Name name;
    int identity = -1;         // the registered procedure it is bound to; -1 none
    bool everBound = false;    // bound at the start or at a frame up to the last
    std::vector<int> layouts;  // into _layouts, in time order; -1: the channel's own "params"
  };
  struct PendingLink {
    size_t event;
    int track;
    size_t from;  // first of the track's layouts in force from the event on
    const ChannelSpec* channel;
  };

  void Error(size_t event, const std::string& path, const std::string& what) {
    _found.push_back({event, {SceneFinding::Severity::kError, path, what}});
  }
  // An event that does nothing (unless it happens after the last frame,
  // which is said already).
  void Idle(size_t event, const std::string& path, const std::string& what) {
    if (_scene.events[event].frame > _lastFrame) return;
    _idle.push_back({event, {SceneFinding::Severity::kWarning, path, what}});
  }
  void Bind(Track& track, int identity, int layout) {
    track.identity = identity;
    track.layouts.push_back(layout);
    track.everBound = track.everBound || _frame <= _lastFrame;
  }
  void LinkEvent(size_t index, const EventSpec& e, size_t channel);
  std::string Missing(const Name& n, uint32_t frame) const {
    auto fate = _fate.find(n);
    return "procedure " + Text(n) + " is not registered at frame " + std::to_string(frame) +
           (fate == _fate.end() ? std::string() : " (" + fate->second + ")");
  }
  int AddLayout(const Shape& s) {
    _layouts.push_back({s.isStatic, s.params});
    return static_cast<int>(_layouts.size() - 1);
  }
  void Register(const Name& n, const Shape& shape);
  void Rename(size_t index, const EventSpec& e);
  void ChangeParams(size_t index, const EventSpec& e);
  void CheckLink(const PendingLink& p);

  const Scene& _scene;
  EventCheck* _out;
  std::map<Name, Shape> _library;
  std::map<Name, Registered> _registered;
  std::map<Name, std::string> _fate;  // why a name is gone, for messages
  std::vector<Track> _tracks;
  std::map<Name, std::vector<int>> _waiting;  // unbound tracks by their name
  std::map<int, std::vector<int>> _bound;     // identity -> tracks
  std::vector<Layout> _layouts;
  std::vector<int> _trackOf;  // channel index -> track (-1: not a call)
  std::vector<PendingLink> _links;
  // channel index -> link -> source, for the channels link events touch
  std::unordered_map<size_t, std::map<std::string, std::string>> _wanted;
  std::vector<std::pair<size_t, SceneFinding>> _found;
  std::vector<std::pair<size_t, SceneFinding>> _idle;
  int _nextIdentity = 1;
  uint32_t _frame = 0;  // of the event being replayed
  uint32_t _lastFrame = 0;
};

void Replay::Register(const Name& n, const Shape& shape) {
  Registered& r = _registered[n];
  r.shape = shape;
  r.identity = _nextIdentity++;
  _fate.erase(n);
  auto waiting = _waiting.find(n);
  if (waiting == _waiting.end()) return;
  const int layout = AddLayout(shape);
  for (int t : waiting->second) Bind(_tracks[static_cast<size_t>(t)], r.identity, layout);
  std::vector<int>& bound = _bound[r.identity];
  bound.insert(bound.end(), waiting->second.begin(), waiting->second.end());
  _waiting.erase(waiting);
}

void Replay::Rename(size_t index, const EventSpec& e) {
  const Name from{e.owner, e.procedure};
  const Name to{e.newOwner, e.newName};
  const std::string at = e.path + "/rename";
  auto it = _registered.find(from);
  if (it == _registered.end()) return Error(index, at, Missing(from, e.frame));
  if (from == to) return Idle(index, at, "procedure " + Text(from) + " already has that name: the event does nothing");
  if (_registered.count(to) != 0) {
    return Error(index, at + "/new_name", "procedure " + Text(to) + " is already registered at frame " +
                                              std::to_string(e.frame));
  }
  Registered moved = std::move(it->second);
  _registered.erase(it);
  _fate[from] = "renamed to " + Text(to) + " at frame " + std::to_string(e.frame);
  auto def = _library.find(from);
  if (def != _library.end()) _library[to] = def->second;
  for (int t : _bound[moved.identity]) _tracks[static_cast<size_t>(t)].name = to;
  // Channels waiting for the new name bind to it at their next evaluation.
  const Shape shape = moved.shape;
  const int identity = moved.identity;
  _registered[to] = std::move(moved);
  auto waiting = _waiting.find(to);
  if (waiting == _waiting.end()) return;
  const int layout = AddLayout(shape);
  for (int t : waiting->second) {
    Bind(_tracks[static_cast<size_t>(t)], identity, layout);
    _bound[identity].push_back(t);
  }
  _waiting.erase(waiting);
}

void Replay::ChangeParams(size_t index, const EventSpec& e) {
  const Name n{e.owner, e.procedure};
  const std::string at = e.path + "/change_params";
  auto it = _registered.find(n);
  if (it == _registered.end()) return Error(index, at, Missing(n, e.frame));
  Shape& shape = it->second.shape;
  if (e.hasConstants && !shape.isExpression && !e.hasOutputs) {
    return Error(index, at + "/constants",
                 "procedure " + Text(n) + " is not defined by expressions: constants need \"outputs\"");
  }
  const bool compiles = e.hasOutputs || (shape.isExpression && e.hasConstants);
  ExpressionChange change;
  change.params = e.params;
  change.constants = shape.constants;
  for (const auto& [key, value] : e.constants) change.constants[key] = value;
  if (e.hasOutputs) {
    change.outputs = e.outputs;
  } else if (shape.isExpression) {
    // The procedure keeps its expressions: every output needs one.
    for (size_t i = 0; i < e.params.size(); ++i) {
      const ParamSpec& p = e.params[i];
      if ((p.mode & 2) == 0) continue;
      auto kept = shape.outputs.find(p.name);
      const size_t wanted = p.type == ParamType::kVec3 ? 3 : 1;
      if (kept == shape.outputs.end() || kept->second.size() != wanted) {
        return Error(index, at + "/params/" + std::to_string(i),
                     "output parameter " + Quoted(p.name) + " of " + Text(n) +
                         " has no expression (give \"outputs\")");
      }
      change.outputs[p.name] = kept->second;
    }
  }
  shape.isStatic = e.isStatic;
  shape.params = e.params;
  if (compiles) {
    shape.isExpression = true;
    shape.outputs = change.outputs;
    shape.constants = change.constants;
    _out->bodies[index] = std::move(change);
  }
  auto def = _library.find(n);
  if (def != _library.end()) def->second = shape;
  auto bound = _bound.find(it->second.identity);
  if (bound == _bound.end() || bound->second.empty()) return;
  const int layout = AddLayout(shape);
  for (int t : bound->second) _tracks[static_cast<size_t>(t)].layouts.push_back(layout);
}

void Replay::CheckLink(const PendingLink& p) {
  const EventSpec& e = _scene.events[p.event];
  const ChannelSpec& c = *p.channel;
  const Track& track = _tracks[static_cast<size_t>(p.track)];
  const std::string at = e.path + "/link";
  const ChannelSpec* source = e.source.empty() ? nullptr : _scene.FindChannel(e.source);
  bool exists = false;
  const ParamSpec* refused = nullptr;
  bool refusedThis = false;
  for (size_t i = p.from; i < track.layouts.size(); ++i) {
    Layout own{c.isStatic, c.params};
    const Layout& layout = track.layouts[i] < 0 ? own : _layouts[static_cast<size_t>(track.layouts[i])];
    const ParamSpec* param = nullptr;
    bool found = e.param == "This" && !layout.isStatic;
    for (const ParamSpec& q : layout.params) {
      if (q.name == e.param) {
        param = &q;
        found = true;
      }
    }
    if (!found) continue;
    exists = true;
    if (source == nullptr || Takes(param, source->kind)) return;
    if (refused == nullptr && !refusedThis) {
      refused = param;
      refusedThis = param == nullptr;
    }
  }
  if (!exists) {
    Error(p.event, at + "/param",
          "call " + Quoted(c.id) + " never has a link " + Quoted(e.param) + " from frame " +
              std::to_string(e.frame) + " on" +
              (e.param == "This" ? " (its procedure is static)" : " (no parameter of its procedure has that name)"));
    return;
  }
  Error(p.event, at + "/source",
        "link " + Quoted(e.param) + " of " + Quoted(c.id) + " takes a \"" + LinkTypeName(refused) +
            "\" channel, not the " + ChannelKindName(source->kind) + " channel " + Quoted(source->id));
}

void Replay::LinkEvent(size_t index, const EventSpec& e, size_t channel) {
  if (e.source == e.channel) {
    return Error(index, e.path + "/link/source",
                 "call " + Quoted(e.channel) + " is plugged into its own link " + Quoted(e.param) +
                     ": a call cannot read itself");
  }
  const int t = _trackOf[channel];
  _links.push_back({index, t, _tracks[static_cast<size_t>(t)].layouts.size() - 1, &_scene.channels[channel]});
  // What the run will have the link take from then on.
  auto [slot, fresh] = _wanted.try_emplace(channel);
  if (fresh) {
    for (const LinkSpec& l : _scene.channels[channel].links) slot->second[l.param] = l.source;
  }
  std::map<std::string, std::string>& wanted = slot->second;
  auto it = wanted.find(e.param);
  const std::string link = "link " + Quoted(e.param) + " of " + Quoted(e.channel);
  const std::string when = " at frame " + std::to_string(e.frame);
  if (e.source.empty() && it == wanted.end()) {
    Idle(index, e.path + "/link", link + " holds nothing" + when + ": unplugging it does nothing");
  } else if (e.source.empty()) {
    wanted.erase(it);
  } else if (it != wanted.end() && it->second == e.source) {
    Idle(index, e.path + "/link", link + " already takes " + Quoted(e.source) + when + ": the event does nothing");
  } else {
    wanted[e.param] = e.source;
  }
}

void Replay::Run(const std::vector<ProcedureDefinition>& builtins, uint32_t lastFrame) {
  _lastFrame = lastFrame;
  for (const ProcedureDefinition& d : builtins) {
    Shape s;
    s.isStatic = d.isStatic;
    s.params = d.params;
    _library[{d.owner, d.name}] = std::move(s);
  }
  for (const ExpressionProcedureSpec& p : _scene.procedures) {
    Shape s;
    s.isStatic = p.isStatic;
    s.params = p.params;
    s.isExpression = true;
    s.outputs = p.outputs;
    s.constants = p.constants;
    _library[{p.owner, p.name}] = std::move(s);
  }
  for (const auto& [name, shape] : _library) _registered[name] = {shape, _nextIdentity++};

  std::map<Name, int> trackOfName;
  _trackOf.assign(_scene.channels.size(), -1);
  for (size_t i = 0; i < _scene.channels.size(); ++i) {
    const ChannelSpec& c = _scene.channels[i];
    if (c.kind != ChannelKind::kCall) continue;
    const Name n{c.owner, c.procedure};
    auto [it, added] = trackOfName.emplace(n, static_cast<int>(_tracks.size()));
    _trackOf[i] = it->second;
    if (!added) continue;
    Track t;
    t.name = n;
    auto r = _registered.find(n);
    if (r != _registered.end()) {
      Bind(t, r->second.identity, AddLayout(r->second.shape));
      _bound[t.identity].push_back(it->second);
    } else {
      t.layouts.push_back(-1);
      _waiting[n].push_back(it->second);
    }
    _tracks.push_back(std::move(t));
  }

  for (size_t i = 0; i < _scene.events.size(); ++i) {
    const EventSpec& e = _scene.events[i];
    _frame = e.frame;
    if (e.frame > lastFrame) {
      _found.push_back({i, {SceneFinding::Severity::kWarning, e.path + "/frame",
                            "frame " + std::to_string(e.frame) + " is after the last frame (" +
                                std::to_string(lastFrame) + "): the event never happens"}});
    }
    const Name n{e.owner, e.procedure};
    switch (e.kind) {
      case EventKind::kRename:
        Rename(i, e);
        break;
      case EventKind::kChangeParams:
        ChangeParams(i, e);
        break;
      case EventKind::kRemove: {
        auto it = _registered.find(n);
        if (it == _registered.end()) {
          Error(i, e.path + "/remove", Missing(n, e.frame));
          break;
        }
        auto bound = _bound.find(it->second.identity);
        if (bound != _bound.end()) {
          std::vector<int>& waiting = _waiting[n];
          waiting.insert(waiting.end(), bound->second.begin(), bound->second.end());
          for (int t : bound->second) _tracks[static_cast<size_t>(t)].identity = -1;
          _bound.erase(bound);
        }
        _registered.erase(it);
        _fate[n] = "removed at frame " + std::to_string(e.frame);
        break;
      }
      case EventKind::kRegister: {
        auto def = _library.find(n);
        if (def == _library.end()) {
          Error(i, e.path + "/register", "no definition of " + Text(n) + " to register");
        } else if (_registered.count(n) != 0) {
          Error(i, e.path + "/register",
                "procedure " + Text(n) + " is already registered at frame " + std::to_string(e.frame));
        } else {
          Register(n, def->second);
        }
        break;
      }
      case EventKind::kLink: {
        const size_t channel = _scene.ChannelPosition(e.channel);
        if (channel < _trackOf.size() && _trackOf[channel] >= 0) LinkEvent(i, e, channel);
        break;
      }
      default:
        break;
    }
  }
  for (const PendingLink& p : _links) CheckLink(p);
  const auto byEvent = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::stable_sort(_found.begin(), _found.end(), byEvent);
  std::stable_sort(_idle.begin(), _idle.end(), byEvent);
  std::set<size_t> failed;
  for (const auto& f : _found) {
    if (f.second.severity == SceneFinding::Severity::kError) failed.insert(f.first);
  }
  for (auto& f : _found) _out->findings.push_back(std::move(f.second));
  for (size_t i = 0; i < _scene.channels.size(); ++i) {
    const ChannelSpec& c = _scene.channels[i];
    if (_trackOf[i] < 0 || _tracks[static_cast<size_t>(_trackOf[i])].everBound) continue;
    _out->unregisteredCalls.insert(i);
    _out->idle.push_back({SceneFinding::Severity::kWarning, c.Path(),
                          "call " + Quoted(c.id) + ": procedure " + Text({c.owner, c.procedure}) +
                              " is registered at no frame: the call answers 1.0 every frame"});
  }
  for (auto& f : _idle) {
    if (failed.count(f.first) == 0) _out->idle.push_back(std::move(f.second));
  }
}

}  // namespace

EventCheck CheckSceneEvents(const Scene& scene, const std::vector<ProcedureDefinition>& builtins,
                            uint32_t lastFrame) {
  EventCheck check;
  Replay(scene, &check).Run(builtins, lastFrame);
  return check;
}

}  // namespace dravik
