#include "runner/commands/call_loops.h"

#include <string>

#include "runner/output/printable_text.h"
#include "runner/scene/scene_json.h"

namespace dravik {

void AddLoopFindings(const Scene& scene, const SceneGraph& graph, std::vector<SceneFinding>* findings) {
  for (size_t i = 0; i < graph.nodes.size() && i < scene.channels.size(); ++i) {
    if (!graph.nodes[i].inLoop) continue;
    std::string others;
    for (const GraphEdge& e : graph.edges) {
      if (e.inLoop && e.parent == i) others += (others.empty() ? "'" : ", '") + Printable(graph.nodes[e.child].id, 60) + "'";
    }
    const ChannelSpec& spec = scene.channels[i];
    findings->push_back({SceneFinding::Severity::kWarning, spec.Path(),
                         "call '" + Printable(spec.id, 60) + "' is on a loop of call channels (it reads " + others +
                             "): a call read again within its own evaluation answers its previous status"});
  }
}

}  // namespace dravik
