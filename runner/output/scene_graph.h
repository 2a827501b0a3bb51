// The scene as a graph: what `dravik graph` draws and the HTML report
// shows. One node per channel, one edge per plugged link, the groups, the
// loops of procedure-call channels, and optionally each call's last status.
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
};

struct SceneGraph {
  std::string title;
  std::vector<GraphNode> nodes;  // in scene order
  std::vector<GraphEdge> edges;  // by parent, then link order
  std::vector<std::string> groups;
};

// The graph of `runtime` as its channels stand now: the links plugged, the
// groups the channels are in. With `withStatus`, each call channel's node
// carries the float value the channel holds: the status it answered last
// (after a run, or as a saved file keeps it).
SceneGraph DescribeScene(const SceneRuntime& runtime, bool withStatus);

// Marks the call channels (and the links between them) that lie on a loop:
// a call plugged, directly or through other calls, into a link of its own.
void MarkLoops(SceneGraph& graph);

// The graph in the DOT language: nodes shaped by kind (value: ellipse,
// vector: hexagon, object: cylinder, call: rounded box labelled with id and
// name), filled by status when known (0 green, 1 red, 3 amber), groups as
// clusters, loops drawn red and bold. Edges point the way values flow: from
// the plugged channel into an "in" link, out of an "out" link, both ways
// for "inout". Every user text is escaped; node names are c0, c1, ... in
// scene order. The text begins with kGraphDotHeader (output_file.h).
std::string GraphDot(const SceneGraph& graph);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_SCENE_GRAPH_H_
