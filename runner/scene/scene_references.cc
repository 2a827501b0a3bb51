#include <set>
#include <string>
#include <string_view>
#include <vector>
#include <utility>

#include "runner/output/printable_text.h"
#include "runner/scene/json_path.h"
#include "runner/scene/scene_reader.h"

namespace dravik {

bool CheckSceneReferences(const Scene& scene, std::string* error) {
  auto Fail = [error](const JsonPath& path, const std::string& what) { return FailAt(path, what, error); };
  // The indexes hold the first of each id: a later one is a repeat.
  const JsonPath root;
  if (const size_t i = scene.objectIndex.FirstRepeat(); i != IdIndex::kNone) {
    return Fail(root / "objects" / i / "id", "object id '" + Printable(scene.objects[i].id) + "' used twice");
  }
  std::set<std::pair<std::string, std::string>> procs;
  for (const ExpressionProcedureSpec& p : scene.procedures) {
    if (!procs.insert({p.owner, p.name}).second) {
      return Fail(JsonPath(p.path), "procedure " + Printable(p.owner) + "::" + Printable(p.name) + " defined twice");
    }
  }
  const JsonPath channels = root / "channels";
  if (const size_t i = scene.channelIndex.FirstRepeat(); i != IdIndex::kNone) {
    return Fail(channels / i / "id", "channel id '" + Printable(scene.channels[i].id) + "' used twice");
  }
  for (const ChannelSpec& c : scene.channels) {
    if (c.kind == ChannelKind::kObjectRef && !c.objectId.empty() && scene.FindObject(c.objectId) == nullptr) {
      return Fail(channels / size_t{c.index} / "object", "no object '" + Printable(c.objectId) + "'");
    }
    for (const LinkSpec& link : c.links) {
      const size_t sourceAt = scene.SourcePosition(link.source, c.index);
      const ChannelSpec* source = sourceAt == IdIndex::kNone ? nullptr : &scene.channels[sourceAt];
      const JsonPath channel = channels / size_t{c.index};
      const JsonPath links = channel / "links";
      const JsonPath at = links / link.param;
      if (source == nullptr) return Fail(at, "no channel '" + Printable(link.source) + "'");
      if (source == &c) return Fail(at, "call '" + Printable(c.id) + "' is plugged into its own link: a call cannot read itself");
      if (link.param == "This" && source->kind != ChannelKind::kObjectRef) {
        return Fail(at, "the \"This\" link takes an object channel");
      }
    }
  }
  std::vector<bool> grouped(scene.channels.size(), false);  // by channel position
  std::set<std::string> groupNames;
  const JsonPath groups = root / "groups";
  for (size_t g = 0; g < scene.groups.size(); ++g) {
    const JsonPath gPath = groups / g;
    if (!groupNames.insert(scene.groups[g].name).second) {
      return Fail(gPath / "name", "group '" + Printable(scene.groups[g].name) + "' given twice");
    }
    const JsonPath members = gPath / "channels";
    size_t last = IdIndex::kNone;  // the last of the group's channels found
    for (size_t i = 0; i < scene.groups[g].channels.size(); ++i) {
      const std::string& id = scene.groups[g].channels[i];
      const size_t at = scene.MemberPosition(id, last);
      if (at == IdIndex::kNone) return Fail(members / i, "no channel '" + Printable(id) + "'");
      if (grouped[at]) {
        return Fail(members / i, "channel '" + Printable(id) + "' is already in a group");
      }
      grouped[at] = true;
      last = at;
    }
  }
  for (const EventSpec& e : scene.events) {
    if (e.channel.empty()) continue;
    const ChannelSpec* c = scene.FindChannel(e.channel);
    const JsonPath at(e.path);
    if (c == nullptr) return Fail(at, "no channel '" + Printable(e.channel) + "'");
    if ((e.kind == EventKind::kPrepareModes || e.kind == EventKind::kLink) && c->kind != ChannelKind::kCall) {
      return Fail(at, "channel '" + Printable(e.channel) + "' is not a call channel");
    }
    if (e.kind == EventKind::kLink && !e.source.empty() && scene.FindChannel(e.source) == nullptr) {
      return Fail(at, "no channel '" + Printable(e.source) + "'");
    }
    if (e.kind == EventKind::kSet) {
      const bool wantVector = c->kind == ChannelKind::kVector;
      if (c->kind != ChannelKind::kValue && !wantVector) {
        return Fail(at, "channel '" + Printable(e.channel) + "' holds no value to set");
      }
      if (wantVector != e.isVector) return Fail(at, wantVector ? "expected a vector value" : "expected a number value");
    }
  }
  return true;
}

}  // namespace dravik
