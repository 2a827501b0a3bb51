#include "runner/commands/scene_check.h"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/engine_interface.h"
#include "runner/commands/call_loops.h"
#include "runner/commands/command_support.h"
#include "runner/environment/host_environment.h"
#include "runner/output/printable_text.h"
#include "runner/output/scene_graph.h"
#include "runner/scene/event_check.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {
namespace {

SceneFinding Warning(const std::string& path, const std::string& what) {
  return {SceneFinding::Severity::kWarning, path, what};
}

std::string Quoted(const std::string& text) { return "'" + Printable(text, 60) + "'"; }

// The "self.<key>" reads of an expression: key and whether a component
// (.x, .y, .z) is read, the way the expression procedures name them.
std::vector<std::pair<std::string, bool>> SelfReads(const std::string& expression) {
  auto nameChar = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
  };
  std::vector<std::pair<std::string, bool>> reads;
  for (size_t i = 0; i < expression.size();) {
    if (!nameChar(expression[i])) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < expression.size() && nameChar(expression[end])) ++end;
    std::string token = expression.substr(i, end - i);
    i = end;
    if (token.rfind("self.", 0) != 0 || token.size() <= 5) continue;
    std::string key = token.substr(5);
    bool component = false;
    if (key.size() > 2 && key[key.size() - 2] == '.' && (key.back() == 'x' || key.back() == 'y' || key.back() == 'z')) {
      key.resize(key.size() - 2);
      component = true;
    }
    reads.push_back({key, component});
  }
  return reads;
}

// Warns of self.<key> reads that no object of the scene has as a float
// (or, for a component, as a vector) property.
void CheckSelfReads(const Scene& scene, const std::string& path, bool isStatic,
                    const std::map<std::string, std::vector<std::string>>& outputs,
                    std::vector<SceneFinding>* findings) {
  if (isStatic) return;
  for (const auto& [param, expressions] : outputs) {
    std::set<std::string> told;
    for (const std::string& expression : expressions) {
      for (const auto& [key, component] : SelfReads(expression)) {
        bool found = false;
        for (const ObjectSpec& o : scene.objects) {
          found = found || (component ? o.vectors.count(key) > 0 : o.floats.count(key) > 0);
        }
        const std::string read = "self." + key + (component ? ".x/.y/.z" : "");
        if (found || !told.insert(read).second) continue;
        findings->push_back(Warning(path + "/outputs/" + param,
                                    read + ": no object of the scene has the " + (component ? "vector" : "float") +
                                        " property " + Quoted(key) + " (it reads 0)"));
      }
    }
  }
}

// The warnings that need the built scene: loops of call channels, input
// links left unplugged, channels nothing reads and nobody watches.
// Calls of `unregistered` answer 1.0 before they read a link.
void CheckBuilt(const SceneRuntime& runtime, const std::set<size_t>& unregistered,
                std::vector<SceneFinding>* findings) {
  const Scene& scene = runtime.GetScene();
  const std::vector<LinkEdge> links = DescribeLinks(runtime);
  std::vector<bool> read(runtime.Channels().size(), false);
  for (const LinkEdge& e : links) {
    if (e.linkMode != 0) read[e.child] = true;  // an input or in/out link reads what is plugged into it
  }
  // A channel a link event plugs in later counts as read.
  std::set<std::string> plugLater;
  for (const EventSpec& e : scene.events) {
    if (e.kind == EventKind::kLink && !e.source.empty()) plugLater.insert(e.source);
  }
  AddLoopFindings(scene, links, findings);
  for (size_t i = 0; i < runtime.Channels().size(); ++i) {
    const RuntimeChannel& rc = runtime.Channels()[i];
    const ChannelSpec& spec = *rc.spec;
    if (spec.kind == ChannelKind::kCall) {
      if (unregistered.count(i) > 0) continue;
      const WantedLinks wanted = runtime.DesiredLinks(spec, UINT32_MAX);
      for (int l = 0; l < rc.channel->GetChildCreationCount(); ++l) {
        const ChildCreation* c = rc.channel->GetChildCreation(l);
        if (c == nullptr || c->LinkMode == 0 || rc.channel->GetChild(l) != nullptr) continue;
        const std::string link(c->LinkName, strnlen(c->LinkName, sizeof c->LinkName));
        if (wanted.Find(link) != nullptr) continue;  // a link event plugs it
        findings->push_back(Warning(spec.Path() + "/links",
                                    "link " + Quoted(link) + " is left unplugged, and " +
                                        FullName(spec.owner, spec.procedure) +
                                        " reads it: the call answers 3.0 (inputs not taken)"));
      }
    } else if (!spec.watch && !read[i] && plugLater.count(spec.id) == 0) {
      findings->push_back(Warning(spec.Path(), "channel " + Quoted(spec.id) + " is not watched and nothing reads it"));
    }
  }
}

}  // namespace

std::vector<SceneFinding> CheckScene(Scene scene, std::string text, HostEnvironment& host) {
  const EventCheck events = CheckSceneEvents(scene, host.Library().Definitions(), scene.frames);
  std::vector<SceneFinding> findings = events.findings;
  findings.insert(findings.end(), events.idle.begin(), events.idle.end());
  for (const ExpressionProcedureSpec& p : scene.procedures) {
    CheckSelfReads(scene, p.path, p.isStatic, p.outputs, &findings);
  }
  for (const EventSpec& e : scene.events) {
    if (e.kind == EventKind::kChangeParams && e.hasOutputs) {
      CheckSelfReads(scene, e.path + "/change_params", e.isStatic, e.outputs, &findings);
    }
  }
  QuietMessages quiet;
  SceneRuntime runtime(host);
  std::string error;
  if (!runtime.Build(std::move(scene), std::move(text), &error)) {
    findings.push_back({SceneFinding::Severity::kError, "", error});
  } else {
    CheckBuilt(runtime, events.unregisteredCalls, &findings);
  }
  // The objects the build made leave the framework with the runtime.
  for (const RuntimeObject& o : runtime.Objects()) host.Procedures().Objects().Remove(o.id);
  return findings;
}

}  // namespace dravik
