#include "runner/scene/scene_json.h"

#include <algorithm>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <simdjson.h>

#include "runner/output/printable_text.h"
#include "runner/scene/json_text.h"
#include "runner/scene/json_values.h"
#include "runner/scene/scene_reader.h"

namespace dravik {

using nlohmann::json;

size_t Scene::ChannelPosition(std::string_view id) const {
  const size_t at = channelIndex.Find(id, [this](size_t i) { return std::string_view(channels[i].id); });
  return at < channels.size() ? at : IdIndex::kNone;
}

size_t Scene::ObjectPosition(std::string_view id) const {
  const size_t at = objectIndex.Find(id, [this](size_t i) { return std::string_view(objects[i].id); });
  return at < objects.size() ? at : IdIndex::kNone;
}

size_t Scene::ChannelPositionNear(std::string_view id, size_t from, size_t to) const {
  // A guess is the position only while every id is used once.
  if (channelIndex.FirstRepeat() == IdIndex::kNone) {
    for (size_t at = from; at < to && at < channels.size(); ++at) {
      if (channels[at].id == id) return at;
    }
  }
  return ChannelPosition(id);
}

const ChannelSpec* Scene::FindChannel(std::string_view id) const {
  const size_t at = ChannelPosition(id);
  return at == IdIndex::kNone ? nullptr : &channels[at];
}

const ObjectSpec* Scene::FindObject(std::string_view id) const {
  const size_t at = ObjectPosition(id);
  return at == IdIndex::kNone ? nullptr : &objects[at];
}

void Scene::BuildIndexes() {
  channelIndex.Build(channels.size(), [this](size_t i) { return std::string_view(channels[i].id); });
  objectIndex.Build(objects.size(), [this](size_t i) { return std::string_view(objects[i].id); });
}

const char* ChannelKindName(ChannelKind kind) {
  switch (kind) {
    case ChannelKind::kValue: return "value";
    case ChannelKind::kVector: return "vector";
    case ChannelKind::kObjectRef: return "object";
    case ChannelKind::kCall: return "call";
  }
  return "?";
}

const char* ParamModeName(uint16_t mode) {
  switch (mode) {
    case 1: return "in";
    case 2: return "out";
    case 3: return "inout";
    default: return "?";
  }
}

namespace {

// Whether every object in `v` names each key once (the fast parser keeps
// repeats; the scene's rules refuse them).
bool KeysUnique(simdjson::dom::element v) {
  if (simdjson::dom::array list; v.get_array().get(list) == simdjson::SUCCESS) {
    for (simdjson::dom::element e : list) {
      if (!KeysUnique(e)) return false;
    }
    return true;
  }
  simdjson::dom::object object;
  if (v.get_object().get(object) != simdjson::SUCCESS) return true;
  // Scene objects hold a few keys: compared pairwise in place; larger
  // ones (named values) sorted.
  constexpr size_t kFew = 16;
  std::string_view few[kFew];
  size_t count = 0;
  std::vector<std::string_view> many;
  for (simdjson::dom::key_value_pair m : object) {
    if (!KeysUnique(m.value)) return false;
    if (count < kFew) {
      for (size_t i = 0; i < count; ++i) {
        if (few[i] == m.key) return false;
      }
      few[count] = m.key;
    } else {
      if (count == kFew) many.assign(few, few + kFew);
      many.push_back(m.key);
    }
    ++count;
  }
  if (many.empty()) return true;
  std::sort(many.begin(), many.end());
  return std::adjacent_find(many.begin(), many.end()) == many.end();
}

// The fast reading: true with *out read when the text is a scene the
// rules take; false for anything else (the careful reading then says why).
// Nesting needs no count before it: no scene nests deeper than a few
// levels, so a deeper text fails the rules and is read carefully.
// `padded`: the text is followed by simdjson's padding, readable.
bool LoadFast(std::string_view text, bool padded, Scene* out) {
  static_assert(kJsonReadPadding >= simdjson::SIMDJSON_PADDING);
  simdjson::dom::parser parser;
  if (parser.allocate(text.size(), kMaxNesting) != simdjson::SUCCESS) return false;
  simdjson::dom::element root;
  if (parser.parse(text.data(), text.size(), !padded).get(root) != simdjson::SUCCESS || !KeysUnique(root)) {
    return false;
  }
  std::string ignored;
  return ReadSceneDocument(FastValue(root), out, &ignored);
}

}  // namespace

namespace {

bool TooLong(std::string_view text, std::string* error) {
  if (text.size() <= kMaxSceneBytes) return false;
  *error = "scene of " + std::to_string(text.size()) + " bytes; at most " + std::to_string(kMaxSceneBytes) +
           " allowed";
  return true;
}

}  // namespace

bool LoadSceneJsonCarefully(std::string_view text, Scene* out, std::string* error) {
  if (TooLong(text, error)) return false;
  try {
    json root;
    if (!ParseJsonText(text, &root, error)) return false;
    return ReadSceneDocument(NlohmannValue(root), out, error);
  } catch (const std::exception& e) {
    *error = std::string("/: ") + Printable(e.what(), 160);
    return false;
  }
}

namespace {

bool Load(std::string_view text, bool padded, Scene* out, std::string* error) {
  if (TooLong(text, error)) return false;
  try {
    if (LoadFast(text, padded, out)) return true;
  } catch (const std::exception&) {
    // Allocation failed: the careful reading tries again and says so.
  }
  return LoadSceneJsonCarefully(text, out, error);
}

}  // namespace

bool LoadSceneJson(std::string_view text, Scene* out, std::string* error) { return Load(text, false, out, error); }

bool LoadSceneJsonText(const std::string& text, Scene* out, std::string* error) {
  return Load(text, text.capacity() - text.size() >= kJsonReadPadding, out, error);
}

}  // namespace dravik
