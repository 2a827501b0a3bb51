// Reading JSON text into a document, for the scene reader: every refusal
// is one line that says where the text is wrong.
#ifndef RUNNER_SCENE_JSON_TEXT_H_
#define RUNNER_SCENE_JSON_TEXT_H_

#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace dravik {

// Parses `text` into *out. On success returns true and replaces *out. On
// failure returns false and sets *error to one line: "line L, column C:
// ..." for text that is not JSON or a number beyond the range of a double,
// "<json path>: key 'k' given twice" for an object that names a key twice,
// "/: nested deeper than ..." for arrays and objects nested deeper than
// kMaxNesting. Throws only what allocation throws.
// REQUIRES: out and error are not null.
bool ParseJsonText(std::string_view text, nlohmann::json* out, std::string* error);

// Whether arrays and objects in `text` nest at most kMaxNesting deep
// (counted outside strings, before any parsing, so that no value is ever
// walked recursively deep).
bool JsonNestingFits(std::string_view text);

// The JSON pointer `path` ("" for the root) followed by the step `key`,
// with "~" and "/" escaped as pointers write them: ("/links", "a/b") gives
// "/links/a~1b".
std::string JsonPointerChild(const std::string& path, std::string_view key);

}  // namespace dravik

#endif  // RUNNER_SCENE_JSON_TEXT_H_
