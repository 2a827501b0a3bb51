// Loops of call channels: a warning both `check` and `run` give.
#ifndef RUNNER_COMMANDS_CALL_LOOPS_H_
#define RUNNER_COMMANDS_CALL_LOOPS_H_

#include <vector>

#include "runner/output/scene_graph.h"
#include "runner/scene/event_check.h"

namespace dravik {

// Appends to *findings one warning per call channel that lies on a loop,
// naming the calls of the loop it reads, at the channel's JSON path.
// REQUIRES: `links` are DescribeLinks of the runtime built from `scene`.
void AddLoopFindings(const Scene& scene, const std::vector<LinkEdge>& links, std::vector<SceneFinding>* findings);

}  // namespace dravik

#endif  // RUNNER_COMMANDS_CALL_LOOPS_H_
