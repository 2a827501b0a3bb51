// Reading a scene from its JSON text.
//
// The loader checks the form of the scene (field names, types, bounds,
// references between ids) and names the JSON path at fault in its error,
// e.g. "/channels/3/links/b: no channel 'foo'". What needs the procedure
// registry (whether a procedure has a parameter, whether an expression
// compiles) is checked when the scene is built (scene_runtime.h).
#ifndef RUNNER_SCENE_SCENE_JSON_H_
#define RUNNER_SCENE_SCENE_JSON_H_

#include <string>
#include <string_view>

#include "runner/scene/scene.h"

namespace dravik {

// Parses `text` into *out. On success returns true and replaces *out. On
// failure returns false, leaves *out in an unspecified but valid state and
// sets *error to one line: "<json path>: <what is wrong>" (or "line L,
// column C: ..." for a syntax error). Never throws and never aborts, for
// any input; texts longer than kMaxSceneBytes are refused.
// REQUIRES: out and error are not null.
//
// The text is read fast first; a text the fast reading does not take (not
// JSON as it reads it, a key given twice, or against the rules) is read
// again by LoadSceneJsonCarefully, whose answer it gives.
bool LoadSceneJson(std::string_view text, Scene* out, std::string* error);

// Bytes of room past a text's end that let the fast reading read it in
// place instead of copying it.
inline constexpr size_t kJsonReadPadding = 64;

// As LoadSceneJson; a text with kJsonReadPadding bytes of room past its end in
// its capacity (as ReadWholeFile leaves) is read in place.
bool LoadSceneJsonText(const std::string& text, Scene* out, std::string* error);

// As LoadSceneJson, with the slower reading alone: a document that places
// every error in the text and refuses a key given twice as it parses.
bool LoadSceneJsonCarefully(std::string_view text, Scene* out, std::string* error);

}  // namespace dravik

#endif  // RUNNER_SCENE_SCENE_JSON_H_
