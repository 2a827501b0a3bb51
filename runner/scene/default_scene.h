// The scene `dravik run` runs when it is given none: examples/tour.json,
// built into the program.
#ifndef RUNNER_SCENE_DEFAULT_SCENE_H_
#define RUNNER_SCENE_DEFAULT_SCENE_H_

#include <string_view>

namespace dravik {

// The default scene's JSON text.
std::string_view DefaultSceneText();

}  // namespace dravik

#endif  // RUNNER_SCENE_DEFAULT_SCENE_H_
