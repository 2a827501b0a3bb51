// What `dravik check` finds in a scene without running it, as findings a
// caller can show or use (the command prints them; the Python module hands
// them over as objects).
#ifndef RUNNER_COMMANDS_SCENE_CHECK_H_
#define RUNNER_COMMANDS_SCENE_CHECK_H_

#include <string>
#include <vector>

#include "runner/scene/event_check.h"
#include "runner/scene/scene.h"

namespace dravik {

class HostEnvironment;

// Checks `scene` (read from the JSON `text`) against the procedures of
// `host`'s library and its modules: the events replayed (errors and
// warnings), `self.<key>` reads no object can answer, then the scene built
// as `run` builds it, with its messages kept quiet: a build error, loops of
// call channels, input links left unplugged, channels nothing reads. In
// that order; a build error has its JSON path in its text and an empty
// `path`. The objects the build makes are removed from the framework again.
// The scene and its text are taken over (the build keeps them).
std::vector<SceneFinding> CheckScene(Scene scene, std::string text, HostEnvironment& host);

}  // namespace dravik

#endif  // RUNNER_COMMANDS_SCENE_CHECK_H_
