#include "runner/scene/json_text.h"

#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "runner/output/printable_text.h"
#include "runner/scene/scene.h"
#include "runner/scene/scene_json.h"

namespace dravik {

using nlohmann::json;

namespace {

// "line L, column C" of a byte offset.
std::string Position(std::string_view text, size_t offset) {
  size_t line = 1;
  size_t column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

bool JsonNestingFits(std::string_view text) {
  int depth = 0;
  bool inString = false;
  bool escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

namespace {

// Builds the document as the parser reads the text, as the library's own
// builder does, but refuses a key given twice in one object (the library
// keeps the last) and words each error with its place in the text.
class DocumentBuilder final : public nlohmann::json_sax<json> {
 public:
  DocumentBuilder(std::string_view text, json* root, std::string* error) : _text(text), _root(root), _error(error) {}

  bool null() override { return Put(nullptr) != nullptr; }
  bool boolean(bool v) override { return Put(v) != nullptr; }
  bool number_integer(number_integer_t v) override { return Put(v) != nullptr; }
  bool number_unsigned(number_unsigned_t v) override { return Put(v) != nullptr; }
  bool number_float(number_float_t v, const string_t&) override { return Put(v) != nullptr; }
  bool string(string_t& v) override { return Put(std::move(v)) != nullptr; }
  bool binary(binary_t& v) override { return Put(json::binary(std::move(v))) != nullptr; }
  bool start_object(std::size_t) override { return Open(json::object()); }
  bool start_array(std::size_t) override { return Open(json::array()); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }

  bool key(string_t& k) override {
    Container& object = _open.back();
    auto [it, added] = object.value->get_ref<json::object_t&>().emplace(k, nullptr);
    if (!added) {
      *_error = Printable(JsonPointerChild(PathOfOpen(), k), 120) + ": key '" + Printable(k, 40) + "' given twice";
      return false;
    }
    object.member = &it->second;
    object.key = std::move(k);
    return true;
  }

  bool parse_error(std::size_t position, const std::string& token, const nlohmann::detail::exception& e) override {
    if (e.id == 406) {  // a number beyond a double; `position` is just past it
      *_error = Position(_text, position >= token.size() ? position - token.size() : 0) + ": number " +
                Printable(token, 40) + " is out of range";
      return false;
    }
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const std::string what = e.what();
    const size_t colon = what.find(": ");
    *_error = Position(_text, position == 0 ? 0 : position - 1) + ": not valid JSON" +
              (colon == std::string::npos ? std::string() : " (" + Printable(what.substr(colon + 2), 160) + ")");
    return false;
  }

 private:
  struct Container {
    json* value;
    json* member = nullptr;  // in an object, the value of the last key
    std::string key;
  };

  // Places `v` where the text has it: the root, the next element of the
  // open array, or the value of the open object's last key.
  json* Put(json&& v) {
    if (_open.empty()) {
      *_root = std::move(v);
      return _root;
    }
    Container& parent = _open.back();
    if (parent.value->is_array()) {
      parent.value->push_back(std::move(v));
      return &parent.value->back();
    }
    *parent.member = std::move(v);
    return parent.member;
  }
  bool Open(json&& empty) {
    _open.push_back({Put(std::move(empty)), nullptr, std::string()});
    return true;
  }
  bool Close() {
    _open.pop_back();
    return true;
  }
  // The JSON path of the innermost open array or object.
  std::string PathOfOpen() const {
    std::string path;
    for (size_t i = 0; i + 1 < _open.size(); ++i) {
      path = _open[i].value->is_array() ? path + "/" + std::to_string(_open[i].value->size() - 1)
                                        : JsonPointerChild(path, _open[i].key);
    }
    return path;
  }

  std::string_view _text;
  json* _root;
  std::string* _error;
  std::vector<Container> _open;
};

}  // namespace

bool ParseJsonText(std::string_view text, json* out, std::string* error) {
  if (!JsonNestingFits(text)) {
    *error = "/: nested deeper than " + std::to_string(kMaxNesting) + " levels";
    return false;
  }
  error->clear();
  DocumentBuilder builder(text, out, error);
  if (json::sax_parse(text.begin(), text.end(), &builder, json::input_format_t::json, /*strict=*/true,
                      /*ignore_comments=*/false)) {
    return true;
  }
  if (error->empty()) *error = "/: not valid JSON";
  return false;
}

std::string JsonPointerChild(const std::string& path, std::string_view key) {
  std::string out = path;
  out.push_back('/');
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace dravik
