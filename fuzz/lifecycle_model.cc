// The lifecycle harness's reference model (see lifecycle_model.h).
#include "fuzz/lifecycle_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace lifecycle {

void RunSum(float tag, const std::vector<Param>& params, std::vector<Vec3>& values) {
  float s = tag;
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].mode & 1) s += values[i].x;
  }
  s = std::fmod(s, 100.0f);
  for (size_t i = 0; i < params.size(); ++i) {
    if (params[i].mode & 2) values[i] = Vec3{s, s + 1, -s};
  }
}

namespace {

// Whether the links begin with the target-object link.
size_t ThisLinks(const std::vector<Link>& links) {
  return !links.empty() && links[0].typeName == "CoreRef" && links[0].name == "This";
}

bool Accepts(const Link& link, Kind kind) {
  if (link.typeName == "CoreRef") return kind == Kind::kCoreRef;
  if (link.typeName == "Value") return kind != Kind::kVector && kind != Kind::kCoreRef;
  if (link.typeName == "Value Vector") return kind == Kind::kVector;
  return false;
}

}  // namespace

const std::string* Model::ShortName(uint32_t mode) const {
  const auto it =
      std::find_if(modes.begin(), modes.end(), [mode](const auto& m) { return m.first == mode; });
  return it == modes.end() ? nullptr : &it->second;
}

long Model::PrefixCost(int c) const {
  return ShortName(channels[static_cast<size_t>(c)].currentMode) == nullptr ? 1 : 0;
}

int Model::NewCall() {
  const int c = NewPlain(Kind::kCall);
  At(c).name = "VanticPrcCall";
  SetCurrentMode(c, 0);
  return c;
}

int Model::NewPlain(Kind kind) {
  channels.emplace_back().kind = kind;
  return static_cast<int>(channels.size()) - 1;
}

int Model::Copy(int c) {
  const int k = NewPlain(Kind::kCall);
  Channel& copy = At(k);
  copy = At(c);
  for (Link& link : copy.links) link.child = -1;
  copy.detached.clear();
  copy.bound = copy.following = -1;
  copy.lastDue = 0;
  copy.status = 0;
  return k;
}

void Model::Destroy(int c) {
  for (Channel& ch : channels) {
    for (Link& link : ch.links) {
      if (link.child == c) link.child = -1;
    }
    std::erase_if(ch.detached, [c](const auto& d) { return d.second == c; });
  }
  At(c).live = false;
  const auto liveCall = [](const Channel& ch) { return ch.live && ch.kind == Kind::kCall; };
  if (At(c).kind == Kind::kCall && std::none_of(channels.begin(), channels.end(), liveCall)) {
    modes.clear();
    _modesBuilt = false;
  }
}

int Model::Load(const Channel& saved) {
  const int c = NewCall();
  LoadInto(c, saved);
  return c;
}

void Model::LoadInto(int c, Channel saved) {
  SetCurrentMode(c, saved.currentMode);
  Channel& ch = At(c);
  ch.bound = ch.following = -1;
  ch.owner = saved.owner;
  ch.prc = saved.prc;
  ch.name = saved.owner + " :: " + saved.prc;
  ch.isStatic = saved.isStatic;
  ch.params = saved.params;
  Rebuild(c, ParamLinks(c));
}

int Model::FindLive(const std::string& owner, const std::string& name) const {
  const auto it = std::find_if(procs.begin(), procs.end(), [&](const Proc& p) {
    return p.live && p.owner == owner && p.name == name;
  });
  return it == procs.end() ? -1 : static_cast<int>(it - procs.begin());
}

int Model::Register(const std::string& owner, const std::string& name, bool isStatic,
                    std::vector<Param> params, Body body, float tag) {
  if (FindLive(owner, name) >= 0) return -1;
  procs.push_back(Proc{owner, name, isStatic, std::move(params), body, tag, true, ++_counter,
                       ++_counter, {}});
  return static_cast<int>(procs.size()) - 1;
}

void Model::Announce(int p) {
  Proc& proc = Procedure(p);
  proc.revision = ++_counter;
  for (Channel& ch : channels) {
    if (!ch.live || ch.following != p) continue;
    ch.owner = proc.owner;
    ch.prc = proc.name;
    ch.name = ch.owner + " :: " + ch.prc;
  }
}

bool Model::Rename(const std::string& owner, const std::string& name,
                   const std::string& newOwner, const std::string& newName) {
  const int p = FindLive(owner, name);
  if (p < 0) return false;
  if (owner == newOwner && name == newName) return true;
  if (FindLive(newOwner, newName) >= 0) return false;
  Proc& proc = Procedure(p);
  if (proc.owner != newOwner) proc.place = ++_counter;
  proc.owner = newOwner;
  proc.name = newName;
  Announce(p);
  return true;
}

bool Model::Change(const std::string& owner, const std::string& name, std::vector<Param> params,
                   bool isStatic) {
  const int p = FindLive(owner, name);
  if (p < 0) return false;
  Procedure(p).params = std::move(params);
  Procedure(p).isStatic = isStatic;
  Announce(p);
  return true;
}

bool Model::Remove(const std::string& owner, const std::string& name) {
  const int p = FindLive(owner, name);
  if (p < 0) return false;
  Procedure(p).live = false;
  Announce(p);
  return true;
}

void Model::SetBody(const std::string& owner, const std::string& name, Body body) {
  const int p = FindLive(owner, name);
  if (p >= 0) Procedure(p).body = body;
}

bool Model::Plug(int parent, int index, int child) {
  Channel& ch = At(parent);
  if (index < 0 || static_cast<size_t>(index) >= ch.links.size() || child == parent) return false;
  Link& link = ch.links[static_cast<size_t>(index)];
  if (child >= 0 && !Accepts(link, At(child).kind)) return false;
  link.child = child;
  return true;
}

// The engine's rule: links being replaced remember their children by link
// name, in link order; each new link takes back the first remembered child
// of its name that it accepts.
void Model::Rebuild(int c, std::vector<Link> links) {
  Channel& ch = At(c);
  for (const Link& link : ch.links) {
    if (link.child >= 0) ch.detached.emplace_back(link.name, link.child);
  }
  ch.links = std::move(links);
  for (Link& link : ch.links) {
    const auto it = std::find_if(ch.detached.begin(), ch.detached.end(), [&](const auto& d) {
      return d.first == link.name && Accepts(link, At(d.second).kind);
    });
    if (it == ch.detached.end()) continue;
    link.child = it->second;
    ch.detached.erase(it);
  }
}

std::vector<Link> Model::ParamLinks(int c) {
  const Channel& ch = At(c);
  std::vector<Link> links;
  if (!ch.isStatic) links.push_back(Link{"CoreRef", "This", 1, -1});
  int32_t mode = 1;  // a mode out of range keeps the link mode before
  for (const Param& param : ch.params) {
    switch (param.mode) {
      case 1: mode = 1; break;
      case 2: mode = 0; break;
      case 3: mode = 2; break;
      default: ++reports; break;
    }
    links.push_back(Link{param.type == 0 ? "Value" : "Value Vector", param.name, mode, -1});
  }
  return links;
}

void Model::SetCurrentMode(int c, uint32_t mode) {
  if (!_modesBuilt) {
    modes = {{0, "Call"}};
    _modesBuilt = true;
  }
  const std::string* shortName = ShortName(mode);
  if (shortName == nullptr) {
    reports += 1 + PrefixCost(c);
    return;
  }
  Rebuild(c, {});
  At(c).currentMode = mode;
  At(c).name = "VanticPrcCall_" + *shortName;
}

void Model::PrepareModesList(int c, const std::string& owner) {
  Channel& ch = At(c);
  modes.clear();
  if (ch.currentMode == kNoMode) ch.currentMode = 999;
  std::vector<const Proc*> listed;
  for (const Proc& p : procs) {
    if (p.live && p.owner == owner) listed.push_back(&p);
  }
  std::sort(listed.begin(), listed.end(),
            [](const Proc* a, const Proc* b) { return a->place < b->place; });
  if (listed.empty()) modes.emplace_back(0, "dummy");
  for (uint32_t i = 0; i < listed.size(); ++i) {
    modes.emplace_back(i, listed[i]->name);
    if (listed[i]->name.empty()) reports += 2;  // empty short name and name
    if (listed[i]->name == ch.prc) ch.currentMode = i;
  }
}

int Model::UpdatePrc(int c, std::string owner, std::string name) {
  holder = "UpdatingProcedure[" + owner + "/" + name + "].";
  reports += PrefixCost(c);
  Channel& ch = At(c);
  ch.bound = ch.following = -1;
  const int p = FindLive(owner, name);
  if (p < 0) {
    ++reports;
    return 3;
  }
  const Proc& proc = Procedure(p);
  ch.bound = ch.following = p;
  ch.boundRevision = proc.revision;
  ch.owner = owner;
  ch.prc = name;
  ch.name = owner + " :: " + name;
  const bool rebuild = proc.isStatic != ch.isStatic || proc.params != ch.params;
  ch.isStatic = proc.isStatic;
  notes += rebuild ? 2 : 1;  // "CreatingNewSetOfChildLinks!", then "OK!"
  if (rebuild) {
    holder = "CreatingNewSetOfChildLinks!";
    reports += PrefixCost(c);
    ch.params = proc.params;
    Rebuild(c, ParamLinks(c));
  }
  return 0;
}

float Model::Read(int c, uint32_t now) {
  Channel& ch = At(c);
  if (ch.kind != Kind::kCall) return ch.value;
  // A later read of the same count, or one through a loop while the
  // channel evaluates: the status of its last due evaluation.
  if (ch.lastDue == now) return ch.status;
  ch.lastDue = now;
  _running.push_back(c);
  const float status = Evaluate(c, now);
  _running.pop_back();
  return At(c).status = status;
}

int Model::CallAt(int selector) const {
  const size_t n = _running.size();
  int c = selector;
  if (selector == kRunning || selector == kOutermost) {
    c = n == 0 ? -1 : _running[selector == kRunning ? n - 1 : 0];
  }
  if (selector == kParent) c = n < 2 ? -1 : _running[n - 2];
  const Channel* ch = c < 0 ? nullptr : &channels[static_cast<size_t>(c)];
  return ch != nullptr && ch->live && ch->kind == Kind::kCall ? c : -1;
}

void Model::Perform(const Act& act) {
  const int c = CallAt(act.channel);
  const int from = CallAt(act.other);
  named.emplace_back(c, from);
  if (act.kind == ActKind::kRemove) Remove(act.owner, act.name);
  if (c < 0) return;
  if (act.kind == ActKind::kUpdatePrc) UpdatePrc(c, act.owner, act.name);
  if (act.kind == ActKind::kLoad) LoadInto(c, At(from < 0 ? c : from));
  if (act.kind == ActKind::kSetMode) SetCurrentMode(c, act.mode);
  if (act.kind == ActKind::kPrepare) PrepareModesList(c, act.owner);
}

float Model::Evaluate(int c, uint32_t now) {
  const Channel& ch = At(c);
  if ((ch.bound < 0 || Stale(ch)) && UpdatePrc(c, ch.owner, ch.prc) != 0) return Fail(c, 1);
  const Proc& proc = Procedure(ch.bound);
  const std::vector<Param> params = proc.params;
  // A "This" link first, which must refer to an existing object, then a
  // link for each parameter. Every input must be taken.
  const std::vector<Link>& links = ch.links;
  size_t first = ThisLinks(links);
  const auto child = [&](size_t i) {
    return first + i < links.size() ? links[first + i].child : -1;
  };
  const int ref = first == 1 ? links[0].child : -1;
  if (first == 1 && (ref < 0 || At(ref).kind != Kind::kCoreRef || At(ref).objectId != kObjectId)) {
    return Fail(c, 3);
  }
  std::vector<Vec3> values(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    if (!(params[i].mode & 1)) continue;
    const int in = child(i);
    if (in < 0 || (params[i].type != 0 && At(in).kind != Kind::kVector)) return Fail(c, 3);
    for (size_t k = 0; k < At(in).acts.size(); ++k) Perform(At(in).acts[k]);
    if (params[i].type == 0) {
      values[i].x = At(in).kind == Kind::kCall ? Read(in, now) : At(in).value;
    } else {
      values[i] = At(in).vector;
    }
  }
  // Reading the inputs may have run procedures that changed, renamed or
  // removed this one, or rebound, reloaded or unbound this channel: it runs
  // all the same, on the list as it was bound.
  if (proc.body == Body::kFail || proc.body == Body::kThrow) return Fail(c, 1);
  RunSum(proc.tag, params, values);
  const std::string owner = proc.owner, name = proc.name;
  if (proc.body == Body::kChangeSelf) Change(owner, name, proc.params, !proc.isStatic);
  if (proc.body == Body::kRenameSelf) Rename(owner, name, owner, name + "!");
  if (proc.body == Body::kRemoveSelf) Remove(owner, name);
  // Acts may make the links again: the outputs go by the links as they
  // are then.
  for (const Act& act : proc.acts) Perform(act);
  first = ThisLinks(links);
  for (size_t i = 0; i < params.size(); ++i) {
    const int out = child(i);
    if (!(params[i].mode & 2) || out < 0) continue;
    if (params[i].type == 0) {
      At(out).value = values[i].x;
    } else if (At(out).kind == Kind::kVector) {
      At(out).vector = values[i];
    }
  }
  return At(c).value = 0;
}

}  // namespace lifecycle
