#include "runner/output/scene_graph.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "runner/output/markup_text.h"
#include "runner/output/output_file.h"
#include "runner/output/printable_text.h"
#include "runner/output/short_label.h"
#include "runner/output/value_format.h"
#include "runner/scene/position_table.h"

namespace dravik {

namespace {

// The scene's channels by address (those `wanted` takes, all when it is
// null): the position of the channel plugged into a link.
uint64_t Address(const Zyr_Channel* channel) { return reinterpret_cast<uintptr_t>(channel); }

PositionTable PositionsByAddress(const std::vector<RuntimeChannel>& channels,
                                 const std::vector<bool>* wanted = nullptr) {
  PositionTable table(channels.size());
  for (size_t i = 0; i < channels.size(); ++i) {
    if (wanted == nullptr || (*wanted)[i]) table.Insert(Address(channels[i].channel.get()), static_cast<uint32_t>(i));
  }
  return table;
}

}  // namespace

SceneGraph DescribeScene(const SceneRuntime& runtime, bool withStatus) {
  SceneGraph graph;
  graph.title = runtime.GetScene().name;
  const std::vector<RuntimeChannel>& channels = runtime.Channels();
  const PositionTable index = PositionsByAddress(channels);
  std::unordered_map<const Zyr_ChannelGroup*, int> groups;
  for (size_t i = 0; i < channels.size(); ++i) {
    const RuntimeChannel& rc = channels[i];
    GraphNode node;
    node.id = rc.spec->id;
    node.kind = rc.spec->kind;
    node.name = rc.channel->GetChannelName();
    if (Zyr_ChannelGroup* group = rc.channel->GetChannelGroup()) {
      auto [at, fresh] = groups.emplace(group, static_cast<int>(graph.groups.size()));
      if (fresh) graph.groups.emplace_back(group->GetGroupName());
      node.group = at->second;
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
      const uint32_t child = index.Find(Address(parent.GetChild(link)));
      if (child == PositionTable::kNone) continue;
      const ChildCreation* c = parent.GetChildCreation(link);
      GraphEdge edge;
      edge.parent = i;
      edge.child = child;
      edge.link.assign(c->LinkName, strnlen(c->LinkName, sizeof c->LinkName));
      edge.linkMode = c->LinkMode;
      graph.edges.push_back(std::move(edge));
    }
  }
  MarkLoops(graph);
  return graph;
}

namespace {

// Marks the edges between call channels on a loop (a strongly connected
// component of more than one call), for any edge type with parent, child
// and inLoop; `isCall(i)` tells the calls among the n channels.
template <class Edge, class IsCall>
void MarkLoopEdges(size_t n, IsCall isCall, std::vector<Edge>& edges) {
  // Strongly connected components of the call channels, by Tarjan's
  // algorithm without recursion (a scene may chain thousands of calls).
  // Successors in one array, by parent: edges come by parent, but need not.
  // Positions fit 32 bits (a scene holds at most kMaxItems channels).
  std::vector<uint32_t> first(n + 1, 0), next;
  for (const Edge& e : edges) {
    if (isCall(e.parent) && isCall(e.child)) ++first[e.parent + 1];
  }
  for (size_t i = 0; i < n; ++i) first[i + 1] += first[i];
  next.resize(first[n]);
  {
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (const Edge& e : edges) {
      if (isCall(e.parent) && isCall(e.child)) next[fill[e.parent]++] = static_cast<uint32_t>(e.child);
    }
  }
  constexpr uint32_t kUnseen = UINT32_MAX;
  std::vector<uint32_t> order(n, kUnseen), low(n, 0), component(n, kUnseen), stack;
  std::vector<bool> onStack(n, false);
  std::vector<uint32_t> componentSize;
  std::vector<std::pair<uint32_t, uint32_t>> walk;  // node, next edge to try
  uint32_t counter = 0;
  for (uint32_t root = 0; root < n; ++root) {
    if (order[root] != kUnseen || !isCall(root)) continue;
    walk.assign(1, {root, first[root]});
    order[root] = low[root] = counter++;
    stack.push_back(root);
    onStack[root] = true;
    while (!walk.empty()) {
      auto& [v, edge] = walk.back();
      if (edge < first[v + 1]) {
        const uint32_t w = next[edge++];
        if (order[w] == kUnseen) {
          order[w] = low[w] = counter++;
          stack.push_back(w);
          onStack[w] = true;
          walk.emplace_back(w, first[w]);
        } else if (onStack[w]) {
          low[v] = std::min(low[v], order[w]);
        }
        continue;
      }
      const uint32_t done = v;
      walk.pop_back();
      if (!walk.empty()) low[walk.back().first] = std::min(low[walk.back().first], low[done]);
      if (low[done] != order[done]) continue;
      const auto id = static_cast<uint32_t>(componentSize.size());
      componentSize.push_back(0);
      uint32_t w = kUnseen;
      do {
        w = stack.back();
        stack.pop_back();
        onStack[w] = false;
        component[w] = id;
        ++componentSize[id];
      } while (w != done);
    }
  }
  for (Edge& e : edges) {
    const uint32_t c = component[e.parent];
    e.inLoop = isCall(e.parent) && isCall(e.child) && c == component[e.child] && componentSize[c] > 1;
  }
}

}  // namespace

void MarkLoops(SceneGraph& graph) {
  MarkLoopEdges(
      graph.nodes.size(), [&](size_t i) { return graph.nodes[i].kind == ChannelKind::kCall; }, graph.edges);
  for (const GraphEdge& e : graph.edges) {
    if (e.inLoop) graph.nodes[e.parent].inLoop = graph.nodes[e.child].inLoop = true;
  }
}

std::vector<LinkEdge> DescribeLinks(const SceneRuntime& runtime, bool callsOnly) {
  const std::vector<RuntimeChannel>& channels = runtime.Channels();
  std::vector<bool> calls(channels.size(), false);
  for (size_t i = 0; i < channels.size(); ++i) calls[i] = channels[i].spec->kind == ChannelKind::kCall;
  const PositionTable index = PositionsByAddress(channels, callsOnly ? &calls : nullptr);
  std::vector<LinkEdge> edges;
  for (size_t i = 0; i < channels.size(); ++i) {
    if (callsOnly && !calls[i]) continue;
    const Zyr_Channel& parent = *channels[i].channel;
    for (int link = 0; link < parent.GetChildCreationCount(); ++link) {
      const uint32_t child = index.Find(Address(parent.GetChild(link)));
      if (child == PositionTable::kNone) continue;
      const ChildCreation* c = parent.GetChildCreation(link);
      if (c == nullptr) continue;
      LinkEdge edge;
      edge.parent = static_cast<uint32_t>(i);
      edge.child = child;
      edge.linkMode = c->LinkMode;
      edges.push_back(edge);
    }
  }
  MarkLoopEdges(channels.size(), [&](size_t i) { return calls[i]; }, edges);
  return edges;
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

// Worst first: failed, inputs not taken, anything else, executed.
int Severity(float status) {
  if (status == 1.0f) return 3;
  if (status == 3.0f) return 2;
  return status == 0.0f ? 0 : 1;
}

std::string NodeLine(size_t i, const GraphNode& node) {
  std::vector<std::string> label = {ShortLabel(node.id)};
  std::string tooltip;
  std::string line = "  c" + std::to_string(i);
  if (node.isGroup) {
    label = {ShortLabel(node.name), FormatCount(node.channels) + " channels, " + FormatCount(node.calls) + " calls"};
    if (node.failing > 0) label.push_back(FormatCount(node.failing) + " failed");
    line += " [shape=folder, label=" + DotQuoted(label) + ", tooltip=" + DotQuoted("group " + node.name);
    line += ", style=filled, fillcolor=\"";
    line += node.hasStatus ? StatusFill(node.status) : "#eeeeee";
    return line + "\"];\n";
  }
  if (node.kind == ChannelKind::kCall || node.name != node.id) label.push_back(ShortLabel(node.name));
  if (node.hasStatus) label.push_back("status " + FormatNumber(node.status));
  line += std::string(" [shape=") + Shape(node.kind) + ", label=" + DotQuoted(label) +
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

SceneGraph CondenseGraph(const SceneGraph& graph, size_t maxNodes) {
  const size_t n = graph.nodes.size();
  SceneGraph out;
  out.title = graph.title;
  std::vector<size_t> slot(n, SIZE_MAX);  // node -> node of the condensed graph
  size_t loose = 0;
  for (const GraphNode& node : graph.nodes) loose += node.group < 0 ? 1 : 0;
  if (!graph.groups.empty() && graph.groups.size() + loose <= maxNodes) {
    for (const std::string& name : graph.groups) {
      GraphNode g;
      g.isGroup = true;
      g.id = g.name = name;
      out.nodes.push_back(std::move(g));
    }
    for (size_t i = 0; i < n; ++i) {
      const GraphNode& node = graph.nodes[i];
      if (node.group < 0) {
        slot[i] = out.nodes.size();
        out.nodes.push_back(node);
        out.nodes.back().group = -1;
        continue;
      }
      slot[i] = static_cast<size_t>(node.group);
      GraphNode& g = out.nodes[slot[i]];
      ++g.channels;
      if (node.kind != ChannelKind::kCall) continue;
      ++g.calls;
      if (!node.hasStatus) continue;
      g.failing += node.status != 0.0f ? 1 : 0;
      if (!g.hasStatus || Severity(node.status) > Severity(g.status)) g.status = node.status;
      g.hasStatus = true;
    }
    out.condensed = "each of the " + FormatCount(graph.groups.size()) + " groups is drawn as one node (" +
                    FormatCount(n) + " channels in all)";
  } else {
    // Seeds: the calls that failed or lie on loops, in scene order; when
    // there are none, every channel from the first.
    std::vector<size_t> seeds;
    for (size_t i = 0; i < n; ++i) {
      const GraphNode& node = graph.nodes[i];
      if (node.inLoop || (node.hasStatus && node.status != 0.0f)) seeds.push_back(i);
    }
    const bool failing = !seeds.empty();
    if (!failing) {
      for (size_t i = 0; i < n; ++i) seeds.push_back(i);
    }
    std::vector<std::vector<size_t>> near(n);
    for (const GraphEdge& e : graph.edges) {
      near[e.parent].push_back(e.child);
      near[e.child].push_back(e.parent);
    }
    std::vector<size_t> kept;
    size_t seedsShown = 0;
    const auto keep = [&](size_t i) {
      if (slot[i] != SIZE_MAX || kept.size() >= maxNodes) return;
      slot[i] = kept.size();
      kept.push_back(i);
    };
    constexpr size_t kMaxNeighbours = 12;
    for (size_t seed : seeds) {
      if (slot[seed] != SIZE_MAX) {
        ++seedsShown;  // a neighbour of an earlier seed
        continue;
      }
      // A seed comes with its neighbours, or not at all (but the first).
      size_t fresh = 1;
      for (size_t k = 0; k < near[seed].size() && k < kMaxNeighbours; ++k) fresh += slot[near[seed][k]] == SIZE_MAX;
      if (!kept.empty() && kept.size() + fresh > maxNodes) break;
      keep(seed);
      ++seedsShown;
      for (size_t k = 0; k < near[seed].size() && k < kMaxNeighbours; ++k) keep(near[seed][k]);
    }
    for (size_t i : kept) {
      out.nodes.push_back(graph.nodes[i]);
      out.nodes.back().group = -1;
    }
    out.condensed = failing ? FormatCount(seedsShown) + " of the " + FormatCount(seeds.size()) +
                                  " calls that failed or lie on loops are drawn with their neighbours (" +
                                  FormatCount(kept.size()) + " of " + FormatCount(n) + " channels)"
                            : "the first " + FormatCount(kept.size()) + " of " + FormatCount(n) +
                                  " channels are drawn with their neighbours; no call failed";
  }
  // Links between two nodes kept, those between the same two folded into one.
  std::map<std::tuple<size_t, size_t, int32_t>, size_t> folded;
  for (const GraphEdge& e : graph.edges) {
    const size_t parent = slot[e.parent];
    const size_t child = slot[e.child];
    if (parent == SIZE_MAX || child == SIZE_MAX || parent == child) continue;
    auto [at, fresh] = folded.emplace(std::make_tuple(parent, child, e.linkMode), out.edges.size());
    if (!fresh) {
      GraphEdge& edge = out.edges[at->second];
      ++edge.links;
      edge.inLoop = edge.inLoop && e.inLoop;
      continue;
    }
    GraphEdge edge = e;
    edge.parent = parent;
    edge.child = child;
    out.edges.push_back(std::move(edge));
  }
  return out;
}

std::string GraphDot(const SceneGraph& graph, const std::string& graphAttributes) {
  std::string dot(kGraphDotHeader);  // how a later `graph -o` knows the file
  dot += ", fontsize=12";
  if (!graph.title.empty()) dot += ", label=" + DotQuoted(graph.title) + ", labelloc=t";
  // A condensed graph is mostly pieces apart: laid out side by side.
  if (!graph.condensed.empty()) dot += ", pack=true, packmode=\"array_u\"";
  dot += graphAttributes + "];\n";
  dot += "  node [fontname=\"Helvetica,Arial,sans-serif\", fontsize=10];\n";
  dot += "  edge [fontname=\"Helvetica,Arial,sans-serif\", fontsize=9];\n";
  if (!graph.condensed.empty()) dot += "  // condensed: " + Printable(graph.condensed, std::string::npos) + "\n";
  std::vector<std::vector<size_t>> members(graph.groups.size());
  for (size_t i = 0; i < graph.nodes.size(); ++i) {
    const int g = graph.nodes[i].group;
    if (g >= 0 && static_cast<size_t>(g) < members.size()) members[static_cast<size_t>(g)].push_back(i);
  }
  for (size_t g = 0; g < graph.groups.size(); ++g) {
    dot += "  subgraph cluster_" + std::to_string(g) + " {\n    label=" + DotQuoted(graph.groups[g]) +
           "; style=\"rounded,dashed\"; color=\"#757575\";\n";
    for (size_t i : members[g]) dot += "  " + NodeLine(i, graph.nodes[i]);
    dot += "  }\n";
  }
  for (size_t i = 0; i < graph.nodes.size(); ++i) {
    const int g = graph.nodes[i].group;
    if (g < 0 || static_cast<size_t>(g) >= members.size()) dot += NodeLine(i, graph.nodes[i]);
  }
  for (const GraphEdge& e : graph.edges) {
    // Values flow from the plugged channel into an input link and out of
    // an output link into the plugged channel.
    const bool out = e.linkMode == kLinkModeOutput;
    const size_t from = out ? e.parent : e.child;
    const size_t to = out ? e.child : e.parent;
    dot += "  c" + std::to_string(from) + " -> c" + std::to_string(to) +
           " [label=" + DotQuoted(e.links > 1 ? FormatCount(e.links) + " links" : e.link);
    if (e.linkMode == kLinkModeInputOutput) dot += ", dir=both";
    if (e.inLoop) dot += ", color=\"#c62828\", fontcolor=\"#c62828\", penwidth=2.5";
    dot += "];\n";
  }
  dot += "}\n";
  return dot;
}

}  // namespace dravik
