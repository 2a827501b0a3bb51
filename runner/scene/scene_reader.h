// The rules of a scene's JSON form, over a parsed document (json_values.h
// gives the two kinds of document read). scene_json.h is the public face.
#ifndef RUNNER_SCENE_SCENE_READER_H_
#define RUNNER_SCENE_SCENE_READER_H_

#include <string>

#include "runner/scene/scene.h"

namespace dravik {

// Reads the document `root` into *out. On success returns true and replaces
// *out (its indexes built). On failure returns false, leaves *out in an
// unspecified but valid state and sets *error to "<json path>: <what is
// wrong>". Throws only what allocation throws. Instantiated for
// NlohmannValue and FastValue.
// REQUIRES: out and error are not null.
template <class Value>
bool ReadSceneDocument(Value root, Scene* out, std::string* error);

// Checks what the parts of a read scene say of each other: ids used once,
// links, groups and events naming channels there are (of the right kind),
// objects named by object channels. True when they agree; false with
// *error as above. REQUIRES: scene.BuildIndexes() since the last change.
bool CheckSceneReferences(const Scene& scene, std::string* error);

}  // namespace dravik

#endif  // RUNNER_SCENE_SCENE_READER_H_
