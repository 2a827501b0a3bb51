// The scene as a graph: what `dravik graph` draws and the HTML report
// shows. One node per channel, one edge per plugged link, the groups, the
// loops of procedure-call channels, and optionally each call's last status;
// or, for a scene too large to lay out, a condensed graph of it.
#ifndef RUNNER_OUTPUT_SCENE_GRAPH_H_
#define RUNNER_OUTPUT_SCENE_GRAPH_H_

#include <cstdint>
#include <string>
#include <vector>

#include "runner/scene/scene.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {

struct GraphNode {
  std::string id;      // scene id
  ChannelKind kind = ChannelKind::kValue;
  std::string name;    // engine name ("Owner :: Procedure" for a bound call)
  int group = -1;      // index into SceneGraph::groups, -1 for none
  bool hasStatus = false;
  float status = 0;    // a call's last answer, when hasStatus
  bool inLoop = false; // a call channel on a loop of call channels
  // A condensed graph's node for a whole group (`name` is the group's):
  // how many channels and calls it holds, and how many of those calls
  // answered other than 0.0; `status` is the most severe of theirs.
  bool isGroup = false;
  size_t channels = 0;
  size_t calls = 0;
  size_t failing = 0;
};

// A channel plugged into a link: `parent` is the channel whose link it is,
// `child` the channel plugged in; `linkMode` is the link's own
// (kLinkModeInput, kLinkModeOutput or kLinkModeInputOutput).
struct GraphEdge {
  size_t parent = 0;
  size_t child = 0;
  std::string link;
  int32_t linkMode = 1;
  bool inLoop = false;  // both ends on the same loop of call channels
  size_t links = 1;     // a condensed graph's edge stands for this many links
};

struct SceneGraph {
  std::string title;
  std::vector<GraphNode> nodes;  // in scene order
  std::vector<GraphEdge> edges;  // by parent, then link order
  std::vector<std::string> groups;
  // For a condensed graph, one line saying what it shows of the scene.
  std::string condensed;
};

// The graph of `runtime` as its channels stand now: the links plugged, the
// groups the channels are in. With `withStatus`, each call channel's node
// carries the float value the channel holds: the status it answered last
// (after a run, or as a saved file keeps it).
SceneGraph DescribeScene(const SceneRuntime& runtime, bool withStatus);

// Marks the call channels (and the links between them) that lie on a loop:
// a call plugged, directly or through other calls, into a link of its own.
void MarkLoops(SceneGraph& graph);

// A plugged link without its name: what finding loops and readers needs,
// for scenes of any size (no text is made per channel or link).
struct LinkEdge {
  uint32_t parent = 0;  // as GraphEdge (a scene holds at most kMaxItems channels)
  uint32_t child = 0;
  int32_t linkMode = 1;
  bool inLoop = false;  // both ends on the same loop of call channels
};

// The links plugged in `runtime` now, by parent (in scene order), then
// link order, with the links on loops of call channels marked as
// MarkLoops marks them. With `callsOnly`, only the links between call
// channels: all that loops are made of.
std::vector<LinkEdge> DescribeLinks(const SceneRuntime& runtime, bool callsOnly = false);

// A graph of at most `maxNodes` nodes standing for `graph`: the groups as
// nodes (with the channels in no group) when they are few enough;
// otherwise the calls that failed (answered 1.0 or 3.0) or lie on loops,
// each with its neighbours, as many as fit (when none failed, the first
// channels with theirs). `condensed` says which.
SceneGraph CondenseGraph(const SceneGraph& graph, size_t maxNodes);

// The graph in the DOT language: nodes shaped by kind (value: ellipse,
// vector: hexagon, object: cylinder, call: rounded box labelled with id and
// name), filled by status when known (0 green, 1 red, 3 amber), groups as
// clusters, loops drawn red and bold. Edges point the way values flow: from
// the plugged channel into an "in" link, out of an "out" link, both ways
// for "inout". Every user text is escaped and long ids are shortened in
// labels (tooltips hold them whole); node names are c0, c1, ... in scene
// order. A group node is a folder labelled with its name and counts; an
// edge standing for several links says how many. `graphAttributes`, when
// not empty, is added to the graph's attributes (", layout=sfdp"). The
// text begins with kGraphDotHeader (output_file.h).
std::string GraphDot(const SceneGraph& graph, const std::string& graphAttributes = "");

}  // namespace dravik

#endif  // RUNNER_OUTPUT_SCENE_GRAPH_H_
