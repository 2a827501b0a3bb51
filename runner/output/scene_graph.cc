#include "runner/output/scene_graph.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "runner/output/markup_text.h"
#include "runner/output/output_file.h"
#include "runner/output/value_format.h"

namespace dravik {

SceneGraph DescribeScene(const SceneRuntime& runtime, bool withStatus) {
  SceneGraph graph;
  graph.title = runtime.GetScene().name;
  const std::vector<RuntimeChannel>& channels = runtime.Channels();
  std::unordered_map<const Zyr_Channel*, size_t> index;
  std::vector<const Zyr_ChannelGroup*> groups;
  for (size_t i = 0; i < channels.size(); ++i) {
    const RuntimeChannel& rc = channels[i];
    index.emplace(rc.channel.get(), i);
    GraphNode node;
    node.id = rc.spec->id;
    node.kind = rc.spec->kind;
    node.name = rc.channel->GetChannelName();
    if (Zyr_ChannelGroup* group = rc.channel->GetChannelGroup()) {
      auto at = std::find(groups.begin(), groups.end(), group);
      node.group = static_cast<int>(at - groups.begin());
      if (at == groups.end()) {
        groups.push_back(group);
        graph.groups.emplace_back(group->GetGroupName());
      }
    }
    if (withStatus && node.kind == ChannelKind::kCall) {
      if (const auto* f = dynamic_cast<const Ubo_FloatChannel*>(rc.channel.get())) {
        node.hasStatus = true;
        node.status = f->_value;
      }
    }
    graph.nodes.push_back(std::move(node));
  }
  for (size_t i = 0; i < channels.size(); ++i) {
    const Zyr_Channel& parent = *channels[i].channel;
    for (int link = 0; link < parent.GetChildCreationCount(); ++link) {
      auto child = index.find(parent.GetChild(link));
      if (child == index.end()) continue;
      const ChildCreation* c = parent.GetChildCreation(link);
      GraphEdge edge;
      edge.parent = i;
      edge.child = child->second;
      edge.link.assign(c->LinkName, strnlen(c->LinkName, sizeof c->LinkName));
      edge.linkMode = c->LinkMode;
      graph.edges.push_back(std::move(edge));
    }
  }
  MarkLoops(graph);
  return graph;
}

void MarkLoops(SceneGraph& graph) {
  // Strongly connected components of the call channels, by Tarjan's
  // algorithm without recursion (a scene may chain thousands of calls).
  const size_t n = graph.nodes.size();
  std::vector<std::vector<size_t>> next(n);
  for (const GraphEdge& e : graph.edges) {
    if (graph.nodes[e.parent].kind == ChannelKind::kCall && graph.nodes[e.child].kind == ChannelKind::kCall) {
      next[e.parent].push_back(e.child);
    }
  }
  constexpr size_t kUnseen = SIZE_MAX;
  std::vector<size_t> order(n, kUnseen), low(n, 0), component(n, kUnseen), stack;
  std::vector<bool> onStack(n, false);
  std::vector<size_t> componentSize;
  size_t counter = 0;
  for (size_t root = 0; root < n; ++root) {
    if (order[root] != kUnseen) continue;
    std::vector<std::pair<size_t, size_t>> walk = {{root, 0}};  // node, next edge to try
    order[root] = low[root] = counter++;
    stack.push_back(root);
    onStack[root] = true;
    while (!walk.empty()) {
      auto& [v, edge] = walk.back();
      if (edge < next[v].size()) {
        const size_t w = next[v][edge++];
        if (order[w] == kUnseen) {
          order[w] = low[w] = counter++;
          stack.push_back(w);
          onStack[w] = true;
          walk.emplace_back(w, 0);
        } else if (onStack[w]) {
          low[v] = std::min(low[v], order[w]);
        }
        continue;
      }
      const size_t done = v;
      walk.pop_back();
      if (!walk.empty()) low[walk.back().first] = std::min(low[walk.back().first], low[done]);
      if (low[done] != order[done]) continue;
      const size_t id = componentSize.size();
      componentSize.push_back(0);
      size_t w = kUnseen;
      do {
        w = stack.back();
        stack.pop_back();
        onStack[w] = false;
        component[w] = id;
        ++componentSize[id];
      } while (w != done);
    }
  }
  for (GraphEdge& e : graph.edges) {
    const size_t c = component[e.parent];
    e.inLoop = graph.nodes[e.parent].kind == ChannelKind::kCall && graph.nodes[e.child].kind == ChannelKind::kCall &&
               c == component[e.child] && componentSize[c] > 1;
    if (e.inLoop) graph.nodes[e.parent].inLoop = graph.nodes[e.child].inLoop = true;
  }
}

namespace {

const char* Shape(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::kValue: return "ellipse";
    case ChannelKind::kVector: return "hexagon";
    case ChannelKind::kObjectRef: return "cylinder";
    case ChannelKind::kCall: return "box";
  }
  return "ellipse";
}

const char* StatusFill(float status) {
  if (status == 0.0f) return "#c8e6c9";  // executed
  if (status == 1.0f) return "#ffcdd2";  // no procedure, or it failed
  if (status == 3.0f) return "#ffe0b2";  // inputs not taken
  return "#e0e0e0";
}

std::string NodeLine(size_t i, const GraphNode& node) {
  std::vector<std::string> label = {node.id};
  if (node.kind == ChannelKind::kCall || node.name != node.id) label.push_back(node.name);
  if (node.hasStatus) label.push_back("status " + FormatNumber(node.status));
  std::string line = "  c" + std::to_string(i) + " [shape=" + Shape(node.kind) + ", label=" + DotQuoted(label) +
                     ", tooltip=" + DotQuoted(std::string(ChannelKindName(node.kind)) + " channel " + node.id);
  if (node.kind == ChannelKind::kCall) {
    line += ", style=\"rounded,filled\", fillcolor=\"";
    line += node.hasStatus ? StatusFill(node.status) : "#e3f2fd";
    line += "\"";
  }
  if (node.inLoop) line += ", color=\"#c62828\", penwidth=2.5";
  return line + "];\n";
}

}  // namespace

std::string GraphDot(const SceneGraph& graph) {
  std::string dot(kGraphDotHeader);  // how a later `graph -o` knows the file
  dot += ", fontsize=12";
  if (!graph.title.empty()) dot += ", label=" + DotQuoted(graph.title) + ", labelloc=t";
  dot += "];\n";
  dot += "  node [fontname=\"Helvetica,Arial,sans-serif\", fontsize=10];\n";
  dot += "  edge [fontname=\"Helvetica,Arial,sans-serif\", fontsize=9];\n";
  for (size_t g = 0; g < graph.groups.size(); ++g) {
    dot += "  subgraph cluster_" + std::to_string(g) + " {\n    label=" + DotQuoted(graph.groups[g]) +
           "; style=\"rounded,dashed\"; color=\"#757575\";\n";
    for (size_t i = 0; i < graph.nodes.size(); ++i) {
      if (graph.nodes[i].group == static_cast<int>(g)) dot += "  " + NodeLine(i, graph.nodes[i]);
    }
    dot += "  }\n";
  }
  for (size_t i = 0; i < graph.nodes.size(); ++i) {
    if (graph.nodes[i].group < 0) dot += NodeLine(i, graph.nodes[i]);
  }
  for (const GraphEdge& e : graph.edges) {
    // Values flow from the plugged channel into an input link and out of
    // an output link into the plugged channel.
    const bool out = e.linkMode == kLinkModeOutput;
    const size_t from = out ? e.parent : e.child;
    const size_t to = out ? e.child : e.parent;
    dot += "  c" + std::to_string(from) + " -> c" + std::to_string(to) + " [label=" + DotQuoted(e.link);
    if (e.linkMode == kLinkModeInputOutput) dot += ", dir=both";
    if (e.inLoop) dot += ", color=\"#c62828\", fontcolor=\"#c62828\", penwidth=2.5";
    dot += "];\n";
  }
  dot += "}\n";
  return dot;
}

}  // namespace dravik
