#include "runner/scene/scene_reader.h"

#include <cfloat>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "runner/output/printable_text.h"
#include "runner/scene/json_text.h"
#include "runner/scene/json_path.h"
#include "runner/scene/json_values.h"

namespace dravik {
namespace {


// Reads one scene. Every Read* answers false after setting the error; the
// first error stops the load.
template <class Value>
class SceneReader {
 public:
  explicit SceneReader(std::string* error) : _error(error) {}

  bool ReadScene(Value root, Scene* scene);

 private:
  bool Fail(const JsonPath& path, const std::string& what) { return FailAt(path, what, _error); }

  // The names are views (their lengths known where they are written): a
  // scene of a million channels compares each channel's keys with them.
  bool Keys(Value object, const JsonPath& path, std::initializer_list<std::string_view> allowed) {
    if (!object.IsObject()) return Fail(path, "expected an object");
    // The first unknown field in key order is the one named.
    std::string_view unknown;
    bool found = false;
    object.Members([&](std::string_view key, Value) {
      for (std::string_view name : allowed) {
        if (key == name) return true;
      }
      if (!found || key < unknown) unknown = key;
      found = true;
      return true;
    });
    if (found) return Fail(path / unknown, "unknown field '" + Printable(unknown, 40) + "'");
    return true;
  }

  bool Field(Value object, const char* key, Value* out) { return object.Find(key, out); }
  bool Has(Value object, const char* key) {
    Value ignored = object;
    return object.Find(key, &ignored);
  }

  bool String(Value object, const JsonPath& path, const char* key, bool required, size_t maxLength,
              std::string* out) {
    Value v = object;
    if (!Field(object, key, &v)) return required ? Fail(path / key, "missing (a text is required)") : true;
    if (!v.IsString()) return Fail(path / key, "expected a text");
    const std::string_view s = v.Text();
    if (s.size() > maxLength) {
      return Fail(path / key, "text of " + std::to_string(s.size()) + " characters; at most " +
                                  std::to_string(maxLength) + " allowed");
    }
    if (s.find('\0') != std::string_view::npos) return Fail(path / key, "text holds a NUL character");
    out->assign(s);
    return true;
  }

  bool Name(Value object, const JsonPath& path, const char* key, bool required, std::string* out) {
    if (!String(object, path, key, required, kMaxNameLength, out)) return false;
    if (required && out->empty()) return Fail(path / key, "must not be empty");
    return true;
  }

  bool Number(Value v, const JsonPath& at, float* out) {
    if (!v.IsNumber()) return Fail(at, "expected a number");
    const double d = v.Double();
    if (!std::isfinite(d) || std::fabs(d) > FLT_MAX) return Fail(at, "number out of the float range");
    *out = static_cast<float>(d);
    return true;
  }

  bool Float(Value object, const JsonPath& path, const char* key, float* out) {
    Value v = object;
    return !Field(object, key, &v) || Number(v, path / key, out);
  }

  bool Vector(Value v, const JsonPath& at, Vec3* out) {
    if (!v.IsArray() || v.Size() != 3) return Fail(at, "expected a vector of three numbers [x, y, z]");
    return Number(v.At(0), at / size_t{0}, &out->x) && Number(v.At(1), at / size_t{1}, &out->y) &&
           Number(v.At(2), at / size_t{2}, &out->z);
  }

  bool Bool(Value object, const JsonPath& path, const char* key, bool* out) {
    Value v = object;
    if (!Field(object, key, &v)) return true;
    if (!v.IsBool()) return Fail(path / key, "expected true or false");
    *out = v.Bool();
    return true;
  }

  bool Count(Value v, const JsonPath& at, uint64_t minimum, uint64_t maximum, uint32_t* out) {
    if (!v.IsInteger()) return Fail(at, "expected a whole number");
    const bool fits = v.IsUnsigned()
                          ? v.Unsigned() >= minimum && v.Unsigned() <= maximum
                          : v.Signed() >= static_cast<int64_t>(minimum) && v.Signed() <= static_cast<int64_t>(maximum);
    if (!fits) return Fail(at, "must be from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    *out = static_cast<uint32_t>(v.IsUnsigned() ? v.Unsigned() : static_cast<uint64_t>(v.Signed()));
    return true;
  }

  // An array field, at most `limit` entries; false in *present when absent.
  bool Array(Value object, const JsonPath& path, const char* key, size_t limit, Value* out, bool* present) {
    *out = object;
    *present = Field(object, key, out);
    if (!*present) return true;
    if (!out->IsArray()) return Fail(path / key, "expected a list");
    if (out->Size() > limit) {
      return Fail(path / key, "list of " + std::to_string(out->Size()) + " entries; at most " +
                                  std::to_string(limit) + " allowed");
    }
    return true;
  }

  // An object field of named values (property or constant -> value),
  // each read by `read`; absent reads as empty. Errors name the first
  // faulty member in key order.
  template <class T, class Read>
  bool NamedValues(Value object, const JsonPath& path, const char* key, size_t limit, const char* expected,
                   Read read, std::map<std::string, T>* out) {
    Value values = object;
    if (!Field(object, key, &values)) return true;
    const JsonPath at = path / key;
    if (!values.IsObject()) return Fail(at, std::string("expected an object of ") + expected);
    if (values.Size() > limit) return Fail(at, "too many entries");
    return InKeyOrder(values, [&](std::string_view name, Value v) {
      const JsonPath itemPath = at / name;
      if (name.empty() || name.size() > kMaxNameLength) return Fail(itemPath, "bad name");
      T value{};
      if (!read(v, itemPath, &value)) return false;
      (*out)[std::string(name)] = value;
      return true;
    });
  }

  // Visits an object's members in key order (the fast document keeps them
  // in text order: sorted here when not already).
  template <class Visit>
  bool InKeyOrder(Value object, Visit visit) {
    std::vector<std::pair<std::string_view, Value>> members;
    members.reserve(object.Size());
    object.Members([&](std::string_view k, Value v) {
      members.emplace_back(k, v);
      return true;
    });
    if (!std::is_sorted(members.begin(), members.end(),
                        [](const auto& a, const auto& b) { return a.first < b.first; })) {
      std::sort(members.begin(), members.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    }
    for (const auto& [k, v] : members) {
      if (!visit(k, v)) return false;
    }
    return true;
  }

  // A list field of at most kMaxItems entries, each read by `read`;
  // absent reads as empty.
  template <class T, class Read>
  bool List(Value object, const JsonPath& path, const char* key, Read read, std::vector<T>* out) {
    Value list = object;
    bool present = false;
    if (!Array(object, path, key, kMaxItems, &list, &present)) return false;
    if (!present) return true;
    out->reserve(list.Size());
    const JsonPath at = path / key;
    size_t i = 0;
    return list.Entries([&](Value v) {
      T item;
      if (!read(v, at / i++, &item)) return false;
      out->push_back(std::move(item));
      return true;
    });
  }

  // Reads a procedure constant (a float, kept as a double).
  auto ConstantReader() {
    return [this](Value j, const JsonPath& at, double* d) {
      float f = 0;
      if (!Number(j, at, &f)) return false;
      *d = f;
      return true;
    };
  }

  bool Params(Value object, const JsonPath& path, const char* key, std::vector<ParamSpec>* out);
  bool Outputs(Value object, const JsonPath& path, const std::vector<ParamSpec>& params,
               std::map<std::string, std::vector<std::string>>* out);
  bool Object(Value v, const JsonPath& path, ObjectSpec* out);
  bool Procedure(Value v, const JsonPath& path, ExpressionProcedureSpec* out);
  bool Channel(Value v, const JsonPath& path, ChannelSpec* out);
  bool Links(Value links, const JsonPath& at, ChannelSpec* out);
  bool Animate(Value v, const JsonPath& path, bool isVector, Animation* out);
  bool Event(Value v, const JsonPath& path, EventSpec* out);
  bool Group(Value v, const JsonPath& path, GroupSpec* out);

  std::string* _error;
};

template <class Value>
bool SceneReader<Value>::Params(Value object, const JsonPath& path, const char* key, std::vector<ParamSpec>* out) {
  Value list = object;
  bool present = false;
  if (!Array(object, path, key, kMaxParams, &list, &present)) return false;
  out->clear();
  if (!present) return true;
  const JsonPath at = path / key;
  size_t i = 0;
  return list.Entries([&](Value p) {
    const JsonPath pPath = at / i++;
    if (!Keys(p, pPath, {"name", "type", "mode"})) return false;
    ParamSpec spec;
    if (!String(p, pPath, "name", true, kMaxLinkNameLength, &spec.name)) return false;
    if (spec.name.empty()) return Fail(pPath / "name", "must not be empty");
    if (spec.name == "This") return Fail(pPath / "name", "'This' names the target-object link");
    for (const ParamSpec& before : *out) {
      if (before.name == spec.name) {
        return Fail(pPath / "name", "parameter '" + Printable(spec.name) + "' given twice");
      }
    }
    std::string type = "float";
    if (!String(p, pPath, "type", false, 16, &type)) return false;
    if (type == "float") {
      spec.type = ParamType::kFloat;
    } else if (type == "vec3" || type == "vector") {
      spec.type = ParamType::kVec3;
    } else {
      return Fail(pPath / "type", "expected \"float\" or \"vec3\"");
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
      return Fail(pPath / "mode", "expected \"in\", \"out\" or \"inout\"");
    }
    out->push_back(std::move(spec));
    return true;
  });
}

template <class Value>
bool SceneReader<Value>::Outputs(Value object, const JsonPath& path, const std::vector<ParamSpec>& params,
                                 std::map<std::string, std::vector<std::string>>* out) {
  out->clear();
  Value outputs = object;
  const bool present = Field(object, "outputs", &outputs);
  const JsonPath at = path / "outputs";
  if (present && !outputs.IsObject()) return Fail(at, "expected an object of expressions");
  if (present && outputs.Size() > kMaxParams) return Fail(at, "too many outputs");
  if (present && !InKeyOrder(outputs, [&](std::string_view name, Value v) {
        const JsonPath oPath = at / name;
        const ParamSpec* param = nullptr;
        for (const ParamSpec& p : params) {
          if (p.name == name) param = &p;
        }
        if (param == nullptr) return Fail(oPath, "no parameter '" + Printable(name) + "'");
        if ((param->mode & 2) == 0) return Fail(oPath, "parameter '" + Printable(name) + "' is an input only");
        std::vector<std::string> exprs;
        if (param->type == ParamType::kFloat) {
          if (!v.IsString()) return Fail(oPath, "expected an expression (text)");
          exprs.emplace_back(v.Text());
        } else {
          if (!v.IsArray() || v.Size() != 3) return Fail(oPath, "expected three expressions [x, y, z]");
          for (size_t i = 0; i < 3; ++i) {
            if (!v.At(i).IsString()) return Fail(oPath / i, "expected an expression (text)");
            exprs.emplace_back(v.At(i).Text());
          }
        }
        for (const std::string& e : exprs) {
          if (e.size() > kMaxExpressionLength) return Fail(oPath, "expression too long");
          if (e.find('\0') != std::string::npos) return Fail(oPath, "expression holds a NUL character");
        }
        (*out)[std::string(name)] = std::move(exprs);
        return true;
      })) {
    return false;
  }
  for (const ParamSpec& p : params) {
    if ((p.mode & 2) != 0 && out->count(p.name) == 0) {
      return Fail(at, "no expression for output parameter '" + Printable(p.name) + "'");
    }
  }
  return true;
}

template <class Value>
bool SceneReader<Value>::Object(Value v, const JsonPath& path, ObjectSpec* out) {
  if (!Keys(v, path, {"id", "class", "name", "floats", "vectors"})) return false;
  if (!Name(v, path, "id", true, &out->id) || !Name(v, path, "class", true, &out->className)) {
    return false;
  }
  out->name = out->id;
  if (!Name(v, path, "name", false, &out->name)) return false;
  auto number = [this](Value j, const JsonPath& at, float* f) { return Number(j, at, f); };
  auto vector = [this](Value j, const JsonPath& at, Vec3* vec) { return Vector(j, at, vec); };
  return NamedValues(v, path, "floats", kMaxItems, "numbers", number, &out->floats) &&
         NamedValues(v, path, "vectors", kMaxItems, "vectors", vector, &out->vectors);
}

template <class Value>
bool SceneReader<Value>::Procedure(Value v, const JsonPath& path, ExpressionProcedureSpec* out) {
  if (!Keys(v, path, {"owner", "name", "static", "params", "outputs", "constants"})) return false;
  out->path = path.Text();
  if (!Name(v, path, "owner", true, &out->owner) || !Name(v, path, "name", true, &out->name) ||
      !Bool(v, path, "static", &out->isStatic) || !Params(v, path, "params", &out->params) ||
      !Outputs(v, path, out->params, &out->outputs)) {
    return false;
  }
  return NamedValues(v, path, "constants", kMaxParams, "numbers", ConstantReader(), &out->constants);
}

template <class Value>
bool SceneReader<Value>::Animate(Value v, const JsonPath& path, bool isVector, Animation* out) {
  if (!Keys(v, path, {"step", "values", "cycle"})) return false;
  Value step = v;
  Value values = v;
  const bool hasStep = Field(v, "step", &step);
  const bool hasValues = Field(v, "values", &values);
  if (hasStep == hasValues) return Fail(path, "give either \"step\" or \"values\"");
  if (!Bool(v, path, "cycle", &out->cycle)) return false;
  if (hasStep) {
    out->kind = Animation::Kind::kStep;
    if (isVector) return Vector(step, path / "step", &out->step);
    return Number(step, path / "step", &out->step.x);
  }
  out->kind = Animation::Kind::kValues;
  Value list = v;
  bool present = false;
  if (!Array(v, path, "values", kMaxAnimationValues, &list, &present)) return false;
  if (list.Size() == 0) return Fail(path / "values", "must not be empty");
  const JsonPath at = path / "values";
  out->values.reserve(list.Size());
  size_t i = 0;
  return list.Entries([&](Value e) {
    Vec3 value{0, 0, 0};
    const JsonPath item = at / i++;
    if (isVector ? !Vector(e, item, &value) : !Number(e, item, &value.x)) return false;
    out->values.push_back(value);
    return true;
  });
}

template <class Value>
bool SceneReader<Value>::Links(Value links, const JsonPath& at, ChannelSpec* out) {
  if (!links.IsObject()) return Fail(at, "expected an object: parameter name -> channel id");
  if (links.Size() > kMaxParams + 1) return Fail(at, "too many links");
  out->links.reserve(links.Size());
  return InKeyOrder(links, [&](std::string_view param, Value v) {
    if (param.empty() || param.size() > kMaxLinkNameLength) return Fail(at / param, "bad parameter name");
    if (!v.IsString()) return Fail(at / param, "expected a channel id (text)");
    const std::string_view source = v.Text();
    if (source.empty() || source.size() > kMaxNameLength) return Fail(at / param, "bad channel id");
    out->links.push_back(LinkSpec{std::string(param), std::string(source)});
    return true;
  });
}

template <class Value>
bool SceneReader<Value>::Channel(Value v, const JsonPath& path, ChannelSpec* out) {
  if (!Keys(v, path, {"id", "name", "type", "value", "object", "animate", "watch", "owner",
                      "procedure", "links", "params", "static"})) {
    return false;
  }
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
    return Fail(path / "type", "expected \"value\", \"vector\", \"object\" or \"call\"");
  }
  // Object references are not watched unless asked for: their value is an id.
  out->watch = out->kind != ChannelKind::kObjectRef;
  if (!Bool(v, path, "watch", &out->watch)) return false;
  const bool isCall = out->kind == ChannelKind::kCall;
  auto only = [&](const char* key, bool allowed) {
    return allowed || !Has(v, key) ||
           Fail(path / key, std::string("not a field of a ") + ChannelKindName(out->kind) + " channel");
  };
  if (!only("value", out->kind == ChannelKind::kValue || out->kind == ChannelKind::kVector) ||
      !only("animate", out->kind == ChannelKind::kValue || out->kind == ChannelKind::kVector) ||
      !only("object", out->kind == ChannelKind::kObjectRef) || !only("owner", isCall) ||
      !only("procedure", isCall) || !only("links", isCall) || !only("params", isCall) ||
      !only("static", isCall)) {
    return false;
  }
  Value field = v;
  if (Field(v, "value", &field)) {
    if (out->kind == ChannelKind::kVector ? !Vector(field, path / "value", &out->vector)
                                          : !Number(field, path / "value", &out->value)) {
      return false;
    }
  }
  if (Field(v, "animate", &field) &&
      !Animate(field, path / "animate", out->kind == ChannelKind::kVector, &out->animation)) {
    return false;
  }
  if (out->kind == ChannelKind::kObjectRef && Field(v, "object", &field) && !field.IsNull() &&
      !Name(v, path, "object", true, &out->objectId)) {
    return false;
  }
  if (!isCall) return true;
  if (!Name(v, path, "owner", true, &out->owner) || !Name(v, path, "procedure", true, &out->procedure)) {
    return false;
  }
  if (Field(v, "links", &field) && !Links(field, path / "links", out)) return false;
  out->hasParams = Has(v, "params");
  return Params(v, path, "params", &out->params) && Bool(v, path, "static", &out->isStatic);
}

template <class Value>
bool SceneReader<Value>::Event(Value v, const JsonPath& path, EventSpec* out) {
  if (!Keys(v, path, {"frame", "rename", "change_params", "remove", "register", "prepare_modes",
                      "link", "set"})) {
    return false;
  }
  out->path = path.Text();
  Value frame = v;
  if (!Field(v, "frame", &frame)) return Fail(path / "frame", "missing (a frame number is required)");
  if (!Count(frame, path / "frame", 1, kMaxFrames, &out->frame)) return false;
  const char* kinds[] = {"rename", "change_params", "remove", "register", "prepare_modes", "link", "set"};
  Value body = v;
  bool hasBody = false;
  std::string kind;
  for (const char* k : kinds) {
    Value b = v;
    if (Field(v, k, &b)) {
      if (hasBody) return Fail(path, "one event per entry: both '" + kind + "' and '" + k + "'");
      body = b;
      hasBody = true;
      kind = k;
    }
  }
  if (!hasBody) return Fail(path, "no event: give one of rename, change_params, remove, register, prepare_modes, link, set");
  const JsonPath at = path / kind;
  if (kind == "rename") {
    out->kind = EventKind::kRename;
    if (!Keys(body, at, {"owner", "procedure", "new_owner", "new_name"}) ||
        !Name(body, at, "owner", true, &out->owner) || !Name(body, at, "procedure", true, &out->procedure)) {
      return false;
    }
    out->newOwner = out->owner;
    out->newName = out->procedure;
    if (!Name(body, at, "new_owner", false, &out->newOwner) || !Name(body, at, "new_name", false, &out->newName)) {
      return false;
    }
    if (out->newOwner.empty() || out->newName.empty()) return Fail(at, "new names must not be empty");
    return true;
  }
  if (kind == "change_params") {
    out->kind = EventKind::kChangeParams;
    if (!Keys(body, at, {"owner", "procedure", "static", "params", "outputs", "constants"}) ||
        !Name(body, at, "owner", true, &out->owner) || !Name(body, at, "procedure", true, &out->procedure) ||
        !Bool(body, at, "static", &out->isStatic) || !Params(body, at, "params", &out->params) ||
        !NamedValues(body, at, "constants", kMaxParams, "numbers", ConstantReader(), &out->constants)) {
      return false;
    }
    out->hasConstants = Has(body, "constants");
    if (Has(body, "outputs")) {
      out->hasOutputs = true;
      return Outputs(body, at, out->params, &out->outputs);
    }
    return true;
  }
  if (kind == "remove" || kind == "register") {
    out->kind = kind == "remove" ? EventKind::kRemove : EventKind::kRegister;
    return Keys(body, at, {"owner", "procedure"}) && Name(body, at, "owner", true, &out->owner) &&
           Name(body, at, "procedure", true, &out->procedure);
  }
  if (kind == "prepare_modes") {
    out->kind = EventKind::kPrepareModes;
    return Keys(body, at, {"channel", "owner"}) && Name(body, at, "channel", true, &out->channel) &&
           Name(body, at, "owner", true, &out->owner);
  }
  if (kind == "link") {
    out->kind = EventKind::kLink;
    if (!Keys(body, at, {"channel", "param", "source"}) || !Name(body, at, "channel", true, &out->channel) ||
        !String(body, at, "param", true, kMaxLinkNameLength, &out->param)) {
      return false;
    }
    if (out->param.empty()) return Fail(at / "param", "must not be empty");
    Value source = body;
    if (Field(body, "source", &source) && !source.IsNull()) return Name(body, at, "source", true, &out->source);
    return true;
  }
  out->kind = EventKind::kSet;
  if (!Keys(body, at, {"channel", "value"}) || !Name(body, at, "channel", true, &out->channel)) return false;
  Value value = body;
  if (!Field(body, "value", &value)) return Fail(at / "value", "missing (a number or a vector is required)");
  if (value.IsArray()) {
    out->isVector = true;
    return Vector(value, at / "value", &out->vector);
  }
  return Number(value, at / "value", &out->value);
}

template <class Value>
bool SceneReader<Value>::Group(Value v, const JsonPath& path, GroupSpec* out) {
  if (!Keys(v, path, {"name", "channels"}) || !Name(v, path, "name", true, &out->name)) return false;
  Value members = v;
  bool present = false;
  if (!Array(v, path, "channels", kMaxItems, &members, &present)) return false;
  if (!present) return true;
  const JsonPath at = path / "channels";
  out->channels.reserve(members.Size());
  size_t m = 0;
  return members.Entries([&](Value id) {
    if (!id.IsString()) return Fail(at / m, "expected a channel id");
    ++m;
    out->channels.emplace_back(id.Text());
    return true;
  });
}

template <class Value>
bool SceneReader<Value>::ReadScene(Value root, Scene* scene) {
  const JsonPath top;
  if (!Keys(root, top, {"name", "description", "frames", "objects", "procedures", "channels", "groups", "events"})) {
    return false;
  }
  *scene = Scene();
  if (!String(root, top, "name", false, kMaxNameLength, &scene->name) ||
      !String(root, top, "description", false, kMaxDescriptionLength, &scene->description)) {
    return false;
  }
  Value frames = root;
  if (Field(root, "frames", &frames) && !Count(frames, top / "frames", 0, kMaxFrames, &scene->frames)) return false;
  auto read = [this](auto member) {
    return [this, member](Value v, const JsonPath& at, auto* out) { return (this->*member)(v, at, out); };
  };
  if (!List(root, top, "objects", read(&SceneReader::Object), &scene->objects) ||
      !List(root, top, "procedures", read(&SceneReader::Procedure), &scene->procedures) ||
      !List(root, top, "channels", read(&SceneReader::Channel), &scene->channels) ||
      !List(root, top, "groups", read(&SceneReader::Group), &scene->groups) ||
      !List(root, top, "events", read(&SceneReader::Event), &scene->events)) {
    return false;
  }
  for (size_t i = 0; i < scene->channels.size(); ++i) scene->channels[i].index = static_cast<uint32_t>(i);
  std::stable_sort(scene->events.begin(), scene->events.end(),
                   [](const EventSpec& a, const EventSpec& b) { return a.frame < b.frame; });
  scene->BuildIndexes();
  return CheckSceneReferences(*scene, _error);
}

}  // namespace

template <class Value>
bool ReadSceneDocument(Value root, Scene* out, std::string* error) {
  SceneReader<Value> reader(error);
  return reader.ReadScene(root, out);
}

template bool ReadSceneDocument<NlohmannValue>(NlohmannValue, Scene*, std::string*);
template bool ReadSceneDocument<FastValue>(FastValue, Scene*, std::string*);

}  // namespace dravik
