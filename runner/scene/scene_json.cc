#include "runner/scene/scene_json.h"

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <set>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

#include "runner/output/printable_text.h"
#include "runner/scene/json_text.h"

namespace dravik {

using nlohmann::json;

const ChannelSpec* Scene::FindChannel(const std::string& id) const {
  auto it = channelIndex.find(id);
  return it == channelIndex.end() || it->second >= channels.size() ? nullptr : &channels[it->second];
}

const ObjectSpec* Scene::FindObject(const std::string& id) const {
  auto it = objectIndex.find(id);
  return it == objectIndex.end() || it->second >= objects.size() ? nullptr : &objects[it->second];
}

void Scene::BuildIndexes() {
  channelIndex.clear();
  objectIndex.clear();
  for (size_t i = 0; i < channels.size(); ++i) channelIndex.emplace(channels[i].id, i);
  for (size_t i = 0; i < objects.size(); ++i) objectIndex.emplace(objects[i].id, i);
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

std::string Child(const std::string& path, std::string_view key) { return JsonPointerChild(path, key); }

std::string Child(const std::string& path, size_t index) {
  return path + "/" + std::to_string(index);
}

// Reads one scene. Every Read* answers false after setting the error; the
// first error stops the load.
class SceneReader {
 public:
  explicit SceneReader(std::string* error) : _error(error) {}

  bool ReadScene(const json& root, Scene* scene);

 private:
  bool Fail(const std::string& path, const std::string& what) {
    *_error = (path.empty() ? std::string("/") : Printable(path, 120)) + ": " + what;
    return false;
  }

  bool Keys(const json& object, const std::string& path, std::initializer_list<const char*> allowed) {
    if (!object.is_object()) return Fail(path, "expected an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
      bool known = false;
      for (const char* name : allowed) known = known || it.key() == name;
      if (!known) return Fail(Child(path, it.key()), "unknown field '" + Printable(it.key(), 40) + "'");
    }
    return true;
  }

  const json* Field(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
  }

  bool String(const json& object, const std::string& path, const char* key, bool required,
              size_t maxLength, std::string* out) {
    const json* v = Field(object, key);
    const std::string at = Child(path, key);
    if (v == nullptr) return required ? Fail(at, "missing (a text is required)") : true;
    if (!v->is_string()) return Fail(at, "expected a text");
    const std::string& s = v->get_ref<const std::string&>();
    if (s.size() > maxLength) {
      return Fail(at, "text of " + std::to_string(s.size()) + " characters; at most " +
                          std::to_string(maxLength) + " allowed");
    }
    if (s.find('\0') != std::string::npos) return Fail(at, "text holds a NUL character");
    *out = s;
    return true;
  }

  bool Name(const json& object, const std::string& path, const char* key, bool required,
            std::string* out) {
    if (!String(object, path, key, required, kMaxNameLength, out)) return false;
    if (required && out->empty()) return Fail(Child(path, key), "must not be empty");
    return true;
  }

  bool Number(const json& v, const std::string& at, float* out) {
    if (!v.is_number()) return Fail(at, "expected a number");
    const double d = v.get<double>();
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return Fail(at, "number out of the float range");
    *out = static_cast<float>(d);
    return true;
  }

  bool Float(const json& object, const std::string& path, const char* key, float* out) {
    const json* v = Field(object, key);
    return v == nullptr || Number(*v, Child(path, key), out);
  }

  bool Vector(const json& v, const std::string& at, Vec3* out) {
    if (!v.is_array() || v.size() != 3) return Fail(at, "expected a vector of three numbers [x, y, z]");
    return Number(v[0], Child(at, size_t{0}), &out->x) && Number(v[1], Child(at, 1), &out->y) &&
           Number(v[2], Child(at, 2), &out->z);
  }

  bool Bool(const json& object, const std::string& path, const char* key, bool* out) {
    const json* v = Field(object, key);
    if (v == nullptr) return true;
    if (!v->is_boolean()) return Fail(Child(path, key), "expected true or false");
    *out = v->get<bool>();
    return true;
  }

  bool Count(const json& v, const std::string& at, uint64_t minimum, uint64_t maximum, uint32_t* out) {
    if (!v.is_number_integer()) return Fail(at, "expected a whole number");
    if (v.is_number_unsigned() ? v.get<uint64_t>() > maximum
                               : (v.get<int64_t>() < static_cast<int64_t>(minimum) ||
                                  v.get<int64_t>() > static_cast<int64_t>(maximum))) {
      return Fail(at, "must be from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    }
    const uint64_t n = v.is_number_unsigned() ? v.get<uint64_t>() : static_cast<uint64_t>(v.get<int64_t>());
    if (n < minimum) {
      return Fail(at, "must be from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    }
    *out = static_cast<uint32_t>(n);
    return true;
  }

  // An array field, at most `limit` entries; absent reads as empty.
  bool Array(const json& object, const std::string& path, const char* key, size_t limit,
             const json** out) {
    *out = Field(object, key);
    if (*out == nullptr) return true;
    if (!(*out)->is_array()) return Fail(Child(path, key), "expected a list");
    if ((*out)->size() > limit) {
      return Fail(Child(path, key), "list of " + std::to_string((*out)->size()) +
                                        " entries; at most " + std::to_string(limit) + " allowed");
    }
    return true;
  }

  // An object field of named values (property or constant -> value),
  // each read by `read`; absent reads as empty.
  template <class T, class Read>
  bool NamedValues(const json& object, const std::string& path, const char* key, size_t limit,
                   const char* expected, Read read, std::map<std::string, T>* out) {
    const json* values = Field(object, key);
    if (values == nullptr) return true;
    const std::string at = Child(path, key);
    if (!values->is_object()) return Fail(at, std::string("expected an object of ") + expected);
    if (values->size() > limit) return Fail(at, "too many entries");
    for (auto it = values->begin(); it != values->end(); ++it) {
      const std::string itemPath = Child(at, it.key());
      if (it.key().empty() || it.key().size() > kMaxNameLength) return Fail(itemPath, "bad name");
      T value{};
      if (!read(*it, itemPath, &value)) return false;
      (*out)[it.key()] = value;
    }
    return true;
  }

  // A list field of at most kMaxItems entries, each read by `read`;
  // absent reads as empty.
  template <class T, class Read>
  bool List(const json& object, const std::string& path, const char* key, Read read, std::vector<T>* out) {
    const json* list = nullptr;
    if (!Array(object, path, key, kMaxItems, &list)) return false;
    for (size_t i = 0; list != nullptr && i < list->size(); ++i) {
      T item;
      if (!read((*list)[i], Child(Child(path, key), i), &item)) return false;
      out->push_back(std::move(item));
    }
    return true;
  }

  // Reads a procedure constant (a float, kept as a double).
  auto ConstantReader() {
    return [this](const json& j, const std::string& at, double* d) {
      float f = 0;
      if (!Number(j, at, &f)) return false;
      *d = f;
      return true;
    };
  }

  bool Params(const json& object, const std::string& path, const char* key,
              std::vector<ParamSpec>* out);
  bool Outputs(const json& object, const std::string& path, const std::vector<ParamSpec>& params,
               std::map<std::string, std::vector<std::string>>* out);
  bool Object(const json& v, const std::string& path, ObjectSpec* out);
  bool Procedure(const json& v, const std::string& path, ExpressionProcedureSpec* out);
  bool Channel(const json& v, const std::string& path, ChannelSpec* out);
  bool Animate(const json& v, const std::string& path, bool isVector, Animation* out);
  bool Event(const json& v, const std::string& path, EventSpec* out);
  bool Group(const json& v, const std::string& path, GroupSpec* out);
  bool CrossCheck(const Scene& scene);

  std::string* _error;
};

bool SceneReader::Params(const json& object, const std::string& path, const char* key,
                         std::vector<ParamSpec>* out) {
  const json* list = nullptr;
  if (!Array(object, path, key, kMaxParams, &list)) return false;
  out->clear();
  if (list == nullptr) return true;
  const std::string at = Child(path, key);
  std::set<std::string> seen;
  for (size_t i = 0; i < list->size(); ++i) {
    const json& p = (*list)[i];
    const std::string pPath = Child(at, i);
    if (!Keys(p, pPath, {"name", "type", "mode"})) return false;
    ParamSpec spec;
    if (!String(p, pPath, "name", true, kMaxLinkNameLength, &spec.name)) return false;
    if (spec.name.empty()) return Fail(Child(pPath, "name"), "must not be empty");
    if (spec.name == "This") return Fail(Child(pPath, "name"), "'This' names the target-object link");
    if (!seen.insert(spec.name).second) {
      return Fail(Child(pPath, "name"), "parameter '" + Printable(spec.name) + "' given twice");
    }
    std::string type = "float";
    if (!String(p, pPath, "type", false, 16, &type)) return false;
    if (type == "float") {
      spec.type = ParamType::kFloat;
    } else if (type == "vec3" || type == "vector") {
      spec.type = ParamType::kVec3;
    } else {
      return Fail(Child(pPath, "type"), "expected \"float\" or \"vec3\"");
    }
    std::string mode = "in";
    if (!String(p, pPath, "mode", false, 16, &mode)) return false;
    if (mode == "in") {
      spec.mode = 1;
    } else if (mode == "out") {
      spec.mode = 2;
    } else if (mode == "inout") {
      spec.mode = 3;
    } else {
      return Fail(Child(pPath, "mode"), "expected \"in\", \"out\" or \"inout\"");
    }
    out->push_back(std::move(spec));
  }
  return true;
}

bool SceneReader::Outputs(const json& object, const std::string& path,
                          const std::vector<ParamSpec>& params,
                          std::map<std::string, std::vector<std::string>>* out) {
  out->clear();
  const json* outputs = Field(object, "outputs");
  const std::string at = Child(path, "outputs");
  if (outputs != nullptr && !outputs->is_object()) return Fail(at, "expected an object of expressions");
  if (outputs != nullptr && outputs->size() > kMaxParams) return Fail(at, "too many outputs");
  if (outputs != nullptr) {
    for (auto it = outputs->begin(); it != outputs->end(); ++it) {
      const std::string oPath = Child(at, it.key());
      const ParamSpec* param = nullptr;
      for (const ParamSpec& p : params) {
        if (p.name == it.key()) param = &p;
      }
      if (param == nullptr) return Fail(oPath, "no parameter '" + Printable(it.key()) + "'");
      if ((param->mode & 2) == 0) return Fail(oPath, "parameter '" + Printable(it.key()) + "' is an input only");
      std::vector<std::string> exprs;
      if (param->type == ParamType::kFloat) {
        if (!it->is_string()) return Fail(oPath, "expected an expression (text)");
        exprs.push_back(it->get<std::string>());
      } else {
        if (!it->is_array() || it->size() != 3) return Fail(oPath, "expected three expressions [x, y, z]");
        for (size_t i = 0; i < 3; ++i) {
          if (!(*it)[i].is_string()) return Fail(Child(oPath, i), "expected an expression (text)");
          exprs.push_back((*it)[i].get<std::string>());
        }
      }
      for (size_t i = 0; i < exprs.size(); ++i) {
        if (exprs[i].size() > kMaxExpressionLength) return Fail(oPath, "expression too long");
        if (exprs[i].find('\0') != std::string::npos) return Fail(oPath, "expression holds a NUL character");
      }
      (*out)[it.key()] = std::move(exprs);
    }
  }
  for (const ParamSpec& p : params) {
    if ((p.mode & 2) != 0 && out->count(p.name) == 0) {
      return Fail(at, "no expression for output parameter '" + Printable(p.name) + "'");
    }
  }
  return true;
}

bool SceneReader::Object(const json& v, const std::string& path, ObjectSpec* out) {
  if (!Keys(v, path, {"id", "class", "name", "floats", "vectors"})) return false;
  if (!Name(v, path, "id", true, &out->id) || !Name(v, path, "class", true, &out->className)) {
    return false;
  }
  out->name = out->id;
  if (!Name(v, path, "name", false, &out->name)) return false;
  auto number = [this](const json& j, const std::string& at, float* f) { return Number(j, at, f); };
  auto vector = [this](const json& j, const std::string& at, Vec3* vec) { return Vector(j, at, vec); };
  return NamedValues(v, path, "floats", kMaxItems, "numbers", number, &out->floats) &&
         NamedValues(v, path, "vectors", kMaxItems, "vectors", vector, &out->vectors);
}

bool SceneReader::Procedure(const json& v, const std::string& path, ExpressionProcedureSpec* out) {
  if (!Keys(v, path, {"owner", "name", "static", "params", "outputs", "constants"})) return false;
  out->path = path;
  if (!Name(v, path, "owner", true, &out->owner) || !Name(v, path, "name", true, &out->name) ||
      !Bool(v, path, "static", &out->isStatic) || !Params(v, path, "params", &out->params) ||
      !Outputs(v, path, out->params, &out->outputs)) {
    return false;
  }
  return NamedValues(v, path, "constants", kMaxParams, "numbers", ConstantReader(), &out->constants);
}

bool SceneReader::Animate(const json& v, const std::string& path, bool isVector, Animation* out) {
  if (!Keys(v, path, {"step", "values", "cycle"})) return false;
  const json* step = Field(v, "step");
  const json* values = Field(v, "values");
  if ((step == nullptr) == (values == nullptr)) return Fail(path, "give either \"step\" or \"values\"");
  if (!Bool(v, path, "cycle", &out->cycle)) return false;
  if (step != nullptr) {
    out->kind = Animation::Kind::kStep;
    if (isVector) return Vector(*step, Child(path, "step"), &out->step);
    return Number(*step, Child(path, "step"), &out->step.x);
  }
  out->kind = Animation::Kind::kValues;
  const json* list = nullptr;
  if (!Array(v, path, "values", kMaxAnimationValues, &list)) return false;
  if (list->empty()) return Fail(Child(path, "values"), "must not be empty");
  const std::string at = Child(path, "values");
  for (size_t i = 0; i < list->size(); ++i) {
    Vec3 value{0, 0, 0};
    if (isVector ? !Vector((*list)[i], Child(at, i), &value) : !Number((*list)[i], Child(at, i), &value.x)) {
      return false;
    }
    out->values.push_back(value);
  }
  return true;
}

bool SceneReader::Channel(const json& v, const std::string& path, ChannelSpec* out) {
  if (!Keys(v, path, {"id", "name", "type", "value", "object", "animate", "watch", "owner",
                      "procedure", "links", "params", "static"})) {
    return false;
  }
  out->path = path;
  if (!Name(v, path, "id", true, &out->id)) return false;
  out->name = out->id;
  if (!Name(v, path, "name", false, &out->name)) return false;
  std::string type;
  if (!String(v, path, "type", true, 16, &type)) return false;
  if (type == "value") {
    out->kind = ChannelKind::kValue;
  } else if (type == "vector") {
    out->kind = ChannelKind::kVector;
  } else if (type == "object") {
    out->kind = ChannelKind::kObjectRef;
  } else if (type == "call") {
    out->kind = ChannelKind::kCall;
  } else {
    return Fail(Child(path, "type"), "expected \"value\", \"vector\", \"object\" or \"call\"");
  }
  // Object references are not watched unless asked for: their value is an id.
  out->watch = out->kind != ChannelKind::kObjectRef;
  if (!Bool(v, path, "watch", &out->watch)) return false;
  const bool isCall = out->kind == ChannelKind::kCall;
  auto only = [&](const char* key, bool allowed) {
    return allowed || Field(v, key) == nullptr ||
           Fail(Child(path, key), std::string("not a field of a ") + ChannelKindName(out->kind) + " channel");
  };
  if (!only("value", out->kind == ChannelKind::kValue || out->kind == ChannelKind::kVector) ||
      !only("animate", out->kind == ChannelKind::kValue || out->kind == ChannelKind::kVector) ||
      !only("object", out->kind == ChannelKind::kObjectRef) || !only("owner", isCall) ||
      !only("procedure", isCall) || !only("links", isCall) || !only("params", isCall) ||
      !only("static", isCall)) {
    return false;
  }
  if (const json* value = Field(v, "value")) {
    if (out->kind == ChannelKind::kVector ? !Vector(*value, Child(path, "value"), &out->vector)
                                          : !Number(*value, Child(path, "value"), &out->value)) {
      return false;
    }
  }
  if (const json* animate = Field(v, "animate")) {
    if (!Animate(*animate, Child(path, "animate"), out->kind == ChannelKind::kVector, &out->animation)) {
      return false;
    }
  }
  if (out->kind == ChannelKind::kObjectRef) {
    const json* object = Field(v, "object");
    if (object != nullptr && !object->is_null() && !Name(v, path, "object", true, &out->objectId)) {
      return false;
    }
  }
  if (!isCall) return true;
  if (!Name(v, path, "owner", true, &out->owner) || !Name(v, path, "procedure", true, &out->procedure)) {
    return false;
  }
  if (const json* links = Field(v, "links")) {
    const std::string at = Child(path, "links");
    if (!links->is_object()) return Fail(at, "expected an object: parameter name -> channel id");
    if (links->size() > kMaxParams + 1) return Fail(at, "too many links");
    for (auto it = links->begin(); it != links->end(); ++it) {
      LinkSpec link;
      link.param = it.key();
      if (link.param.empty() || link.param.size() > kMaxLinkNameLength) {
        return Fail(Child(at, it.key()), "bad parameter name");
      }
      if (!it->is_string()) return Fail(Child(at, it.key()), "expected a channel id (text)");
      link.source = it->get<std::string>();
      if (link.source.empty() || link.source.size() > kMaxNameLength) {
        return Fail(Child(at, it.key()), "bad channel id");
      }
      out->links.push_back(std::move(link));
    }
  }
  out->hasParams = Field(v, "params") != nullptr;
  return Params(v, path, "params", &out->params) && Bool(v, path, "static", &out->isStatic);
}

bool SceneReader::Event(const json& v, const std::string& path, EventSpec* out) {
  if (!Keys(v, path, {"frame", "rename", "change_params", "remove", "register", "prepare_modes",
                      "link", "set"})) {
    return false;
  }
  out->path = path;
  const json* frame = Field(v, "frame");
  if (frame == nullptr) return Fail(Child(path, "frame"), "missing (a frame number is required)");
  if (!Count(*frame, Child(path, "frame"), 1, kMaxFrames, &out->frame)) return false;
  const char* kinds[] = {"rename", "change_params", "remove", "register", "prepare_modes", "link", "set"};
  const json* body = nullptr;
  std::string kind;
  for (const char* k : kinds) {
    if (const json* b = Field(v, k)) {
      if (body != nullptr) return Fail(path, "one event per entry: both '" + kind + "' and '" + k + "'");
      body = b;
      kind = k;
    }
  }
  if (body == nullptr) return Fail(path, "no event: give one of rename, change_params, remove, register, prepare_modes, link, set");
  const std::string at = Child(path, kind);
  if (kind == "rename") {
    out->kind = EventKind::kRename;
    if (!Keys(*body, at, {"owner", "procedure", "new_owner", "new_name"}) ||
        !Name(*body, at, "owner", true, &out->owner) ||
        !Name(*body, at, "procedure", true, &out->procedure)) {
      return false;
    }
    out->newOwner = out->owner;
    out->newName = out->procedure;
    if (!Name(*body, at, "new_owner", false, &out->newOwner) ||
        !Name(*body, at, "new_name", false, &out->newName)) {
      return false;
    }
    if (out->newOwner.empty() || out->newName.empty()) return Fail(at, "new names must not be empty");
    return true;
  }
  if (kind == "change_params") {
    out->kind = EventKind::kChangeParams;
    if (!Keys(*body, at, {"owner", "procedure", "static", "params", "outputs", "constants"}) ||
        !Name(*body, at, "owner", true, &out->owner) ||
        !Name(*body, at, "procedure", true, &out->procedure) ||
        !Bool(*body, at, "static", &out->isStatic) || !Params(*body, at, "params", &out->params) ||
        !NamedValues(*body, at, "constants", kMaxParams, "numbers", ConstantReader(), &out->constants)) {
      return false;
    }
    out->hasConstants = Field(*body, "constants") != nullptr;
    if (Field(*body, "outputs") != nullptr) {
      out->hasOutputs = true;
      return Outputs(*body, at, out->params, &out->outputs);
    }
    return true;
  }
  if (kind == "remove" || kind == "register") {
    out->kind = kind == "remove" ? EventKind::kRemove : EventKind::kRegister;
    return Keys(*body, at, {"owner", "procedure"}) && Name(*body, at, "owner", true, &out->owner) &&
           Name(*body, at, "procedure", true, &out->procedure);
  }
  if (kind == "prepare_modes") {
    out->kind = EventKind::kPrepareModes;
    return Keys(*body, at, {"channel", "owner"}) && Name(*body, at, "channel", true, &out->channel) &&
           Name(*body, at, "owner", true, &out->owner);
  }
  if (kind == "link") {
    out->kind = EventKind::kLink;
    if (!Keys(*body, at, {"channel", "param", "source"}) ||
        !Name(*body, at, "channel", true, &out->channel) ||
        !String(*body, at, "param", true, kMaxLinkNameLength, &out->param)) {
      return false;
    }
    if (out->param.empty()) return Fail(Child(at, "param"), "must not be empty");
    const json* source = Field(*body, "source");
    if (source != nullptr && !source->is_null()) return Name(*body, at, "source", true, &out->source);
    return true;
  }
  out->kind = EventKind::kSet;
  if (!Keys(*body, at, {"channel", "value"}) || !Name(*body, at, "channel", true, &out->channel)) {
    return false;
  }
  const json* value = Field(*body, "value");
  if (value == nullptr) return Fail(Child(at, "value"), "missing (a number or a vector is required)");
  if (value->is_array()) {
    out->isVector = true;
    return Vector(*value, Child(at, "value"), &out->vector);
  }
  return Number(*value, Child(at, "value"), &out->value);
}

bool SceneReader::CrossCheck(const Scene& scene) {
  std::set<std::string> ids;
  for (size_t i = 0; i < scene.objects.size(); ++i) {
    if (!ids.insert(scene.objects[i].id).second) {
      return Fail(Child(Child("", "objects"), i) + "/id", "object id '" + Printable(scene.objects[i].id) + "' used twice");
    }
  }
  std::set<std::pair<std::string, std::string>> procs;
  for (const ExpressionProcedureSpec& p : scene.procedures) {
    if (!procs.insert({p.owner, p.name}).second) {
      return Fail(p.path, "procedure " + Printable(p.owner) + "::" + Printable(p.name) + " defined twice");
    }
  }
  ids.clear();
  for (const ChannelSpec& c : scene.channels) {
    if (!ids.insert(c.id).second) return Fail(c.path + "/id", "channel id '" + Printable(c.id) + "' used twice");
  }
  for (const ChannelSpec& c : scene.channels) {
    if (c.kind == ChannelKind::kObjectRef && !c.objectId.empty() && scene.FindObject(c.objectId) == nullptr) {
      return Fail(c.path + "/object", "no object '" + Printable(c.objectId) + "'");
    }
    for (const LinkSpec& link : c.links) {
      const ChannelSpec* source = scene.FindChannel(link.source);
      const std::string at = Child(c.path + "/links", link.param);
      if (source == nullptr) return Fail(at, "no channel '" + Printable(link.source) + "'");
      if (source == &c) return Fail(at, "call '" + Printable(c.id) + "' is plugged into its own link: a call cannot read itself");
      if (link.param == "This" && source->kind != ChannelKind::kObjectRef) {
        return Fail(at, "the \"This\" link takes an object channel");
      }
    }
  }
  std::set<std::string> grouped;
  std::set<std::string> groupNames;
  for (size_t g = 0; g < scene.groups.size(); ++g) {
    const std::string gPath = Child(Child("", "groups"), g);
    if (!groupNames.insert(scene.groups[g].name).second) {
      return Fail(gPath + "/name", "group '" + Printable(scene.groups[g].name) + "' given twice");
    }
    for (size_t i = 0; i < scene.groups[g].channels.size(); ++i) {
      const std::string& id = scene.groups[g].channels[i];
      const std::string at = Child(gPath + "/channels", i);
      if (scene.FindChannel(id) == nullptr) return Fail(at, "no channel '" + Printable(id) + "'");
      if (!grouped.insert(id).second) return Fail(at, "channel '" + Printable(id) + "' is already in a group");
    }
  }
  for (const EventSpec& e : scene.events) {
    if (e.channel.empty()) continue;
    const ChannelSpec* c = scene.FindChannel(e.channel);
    const std::string at = e.path;
    if (c == nullptr) return Fail(at, "no channel '" + Printable(e.channel) + "'");
    if ((e.kind == EventKind::kPrepareModes || e.kind == EventKind::kLink) && c->kind != ChannelKind::kCall) {
      return Fail(at, "channel '" + Printable(e.channel) + "' is not a call channel");
    }
    if (e.kind == EventKind::kLink && !e.source.empty() && scene.FindChannel(e.source) == nullptr) {
      return Fail(at, "no channel '" + Printable(e.source) + "'");
    }
    if (e.kind == EventKind::kSet) {
      const bool wantVector = c->kind == ChannelKind::kVector;
      if (c->kind != ChannelKind::kValue && !wantVector) {
        return Fail(at, "channel '" + Printable(e.channel) + "' holds no value to set");
      }
      if (wantVector != e.isVector) {
        return Fail(at, wantVector ? "expected a vector value" : "expected a number value");
      }
    }
  }
  return true;
}

bool SceneReader::Group(const json& v, const std::string& path, GroupSpec* out) {
  if (!Keys(v, path, {"name", "channels"}) || !Name(v, path, "name", true, &out->name)) return false;
  const json* members = nullptr;
  if (!Array(v, path, "channels", kMaxItems, &members)) return false;
  for (size_t m = 0; members != nullptr && m < members->size(); ++m) {
    if (!(*members)[m].is_string()) return Fail(Child(Child(path, "channels"), m), "expected a channel id");
    out->channels.push_back((*members)[m].get<std::string>());
  }
  return true;
}

bool SceneReader::ReadScene(const json& root, Scene* scene) {
  if (!Keys(root, "", {"name", "description", "frames", "objects", "procedures", "channels", "groups",
                       "events"})) {
    return false;
  }
  *scene = Scene();
  if (!String(root, "", "name", false, kMaxNameLength, &scene->name) ||
      !String(root, "", "description", false, kMaxDescriptionLength, &scene->description)) {
    return false;
  }
  if (const json* frames = Field(root, "frames")) {
    if (!Count(*frames, "/frames", 0, kMaxFrames, &scene->frames)) return false;
  }
  auto read = [this](auto member) {
    return [this, member](const json& v, const std::string& at, auto* out) { return (this->*member)(v, at, out); };
  };
  if (!List(root, "", "objects", read(&SceneReader::Object), &scene->objects) ||
      !List(root, "", "procedures", read(&SceneReader::Procedure), &scene->procedures) ||
      !List(root, "", "channels", read(&SceneReader::Channel), &scene->channels) ||
      !List(root, "", "groups", read(&SceneReader::Group), &scene->groups) ||
      !List(root, "", "events", read(&SceneReader::Event), &scene->events)) {
    return false;
  }
  std::stable_sort(scene->events.begin(), scene->events.end(),
                   [](const EventSpec& a, const EventSpec& b) { return a.frame < b.frame; });
  scene->BuildIndexes();
  return CrossCheck(*scene);
}

}  // namespace

bool LoadSceneJson(std::string_view text, Scene* out, std::string* error) {
  if (text.size() > kMaxSceneBytes) {
    *error = "scene of " + std::to_string(text.size()) + " bytes; at most " +
             std::to_string(kMaxSceneBytes) + " allowed";
    return false;
  }
  try {
    json root;
    if (!ParseJsonText(text, &root, error)) return false;
    SceneReader reader(error);
    return reader.ReadScene(root, out);
  } catch (const std::exception& e) {
    *error = std::string("/: ") + Printable(e.what(), 160);
    return false;
  }
}

}  // namespace dravik
