// JSON paths of the scene reader's errors.
#ifndef RUNNER_SCENE_JSON_PATH_H_
#define RUNNER_SCENE_JSON_PATH_H_

#include <string>
#include <string_view>

#include "runner/output/printable_text.h"
#include "runner/scene/json_text.h"

namespace dravik {

// A JSON path as the reader walks down, spelled out only when an error
// names it: each step points at the step above it, which must outlive it
// (name each step kept beyond one expression).
class JsonPath {
 public:
  JsonPath() = default;
  // A path spelled out already (a stored "/channels/3").
  explicit JsonPath(const std::string& text) : _text(&text) {}

  JsonPath operator/(std::string_view key) const { return JsonPath(this, key, 0, false); }
  JsonPath operator/(size_t index) const { return JsonPath(this, {}, index, true); }

  // The JSON pointer: "" for the root, "/channels/3/links/a~1b".
  std::string Text() const {
    if (_text != nullptr) return *_text;
    if (_parent == nullptr) return std::string();
    const std::string above = _parent->Text();
    return _isIndex ? above + "/" + std::to_string(_index) : JsonPointerChild(above, _key);
  }

 private:
  JsonPath(const JsonPath* parent, std::string_view key, size_t index, bool isIndex)
      : _parent(parent), _key(key), _index(index), _isIndex(isIndex) {}

  const JsonPath* _parent = nullptr;
  const std::string* _text = nullptr;
  std::string_view _key;
  size_t _index = 0;
  bool _isIndex = false;
};

// Sets *error to "<path>: <what>" ("/" for the root; the path printable)
// and returns false.
inline bool FailAt(const JsonPath& path, const std::string& what, std::string* error) {
  const std::string text = path.Text();
  *error = (text.empty() ? std::string("/") : Printable(text, 120)) + ": " + what;
  return false;
}

}  // namespace dravik

#endif  // RUNNER_SCENE_JSON_PATH_H_
