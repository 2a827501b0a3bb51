#include "runner/commands/call_loops.h"

#include <string>

#include "runner/output/printable_text.h"
#include "runner/scene/scene_json.h"

namespace dravik {

void AddLoopFindings(const Scene& scene, const std::vector<LinkEdge>& links, std::vector<SceneFinding>* findings) {
  // The links come by parent: each call's links on its loop are together.
  for (size_t e = 0; e < links.size();) {
    const size_t parent = links[e].parent;
    std::string others;
    for (; e < links.size() && links[e].parent == parent; ++e) {
      if (!links[e].inLoop || links[e].child >= scene.channels.size()) continue;
      others += (others.empty() ? "'" : ", '") + Printable(scene.channels[links[e].child].id, 60) + "'";
    }
    if (others.empty() || parent >= scene.channels.size()) continue;
    const ChannelSpec& spec = scene.channels[parent];
    findings->push_back({SceneFinding::Severity::kWarning, spec.Path(),
                         "call '" + Printable(spec.id, 60) + "' is on a loop of call channels (it reads " + others +
                             "): a call read again within its own evaluation answers its previous status"});
  }
}

}  // namespace dravik
