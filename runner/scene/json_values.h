// Two views of a parsed JSON value with one face, for the scene reader
// (scene_reader.h): a value of the nlohmann document, and a value of the
// fast reader's document. Both are small handles, copied freely; the
// document they point into outlives them.
//
// Members of an object are visited in key order in the nlohmann view and in
// text order in the fast view: a reader that depends on the order sorts.
#ifndef RUNNER_SCENE_JSON_VALUES_H_
#define RUNNER_SCENE_JSON_VALUES_H_

#include <cstdint>
#include <string_view>

#include <nlohmann/json.hpp>
#include <simdjson.h>

namespace dravik {

class NlohmannValue {
 public:
  explicit NlohmannValue(const nlohmann::json& v) : _v(&v) {}

  bool IsObject() const { return _v->is_object(); }
  bool IsArray() const { return _v->is_array(); }
  bool IsString() const { return _v->is_string(); }
  bool IsNumber() const { return _v->is_number(); }
  bool IsInteger() const { return _v->is_number_integer(); }
  bool IsUnsigned() const { return _v->is_number_unsigned(); }
  bool IsBool() const { return _v->is_boolean(); }
  bool IsNull() const { return _v->is_null(); }

  // REQUIRES: the value is of the kind asked for.
  std::string_view Text() const { return _v->get_ref<const std::string&>(); }
  double Double() const { return _v->get<double>(); }
  uint64_t Unsigned() const { return _v->get<uint64_t>(); }
  int64_t Signed() const { return _v->get<int64_t>(); }
  bool Bool() const { return _v->get<bool>(); }
  // Entries of an array or members of an object.
  size_t Size() const { return _v->size(); }
  // REQUIRES: an array of more than i entries.
  NlohmannValue At(size_t i) const { return NlohmannValue((*_v)[i]); }

  // The member `key` of an object into *out; false when there is none.
  bool Find(std::string_view key, NlohmannValue* out) const {
    auto it = _v->find(key);
    if (it == _v->end()) return false;
    *out = NlohmannValue(*it);
    return true;
  }
  // Calls visit(key, value) for each member of an object, or visit(value)
  // for each entry of an array, until it answers false; false then.
  template <class Visit>
  bool Members(Visit visit) const {
    for (auto it = _v->begin(); it != _v->end(); ++it) {
      if (!visit(std::string_view(it.key()), NlohmannValue(*it))) return false;
    }
    return true;
  }
  template <class Visit>
  bool Entries(Visit visit) const {
    for (const nlohmann::json& e : *_v) {
      if (!visit(NlohmannValue(e))) return false;
    }
    return true;
  }

 private:
  const nlohmann::json* _v;
};

class FastValue {
 public:
  explicit FastValue(simdjson::dom::element v) : _v(v) {}

  bool IsObject() const { return Type() == Kind::OBJECT; }
  bool IsArray() const { return Type() == Kind::ARRAY; }
  bool IsString() const { return Type() == Kind::STRING; }
  bool IsNumber() const { return IsInteger() || Type() == Kind::DOUBLE; }
  bool IsInteger() const { return Type() == Kind::INT64 || Type() == Kind::UINT64; }
  bool IsUnsigned() const { return Type() == Kind::UINT64; }
  bool IsBool() const { return Type() == Kind::BOOL; }
  bool IsNull() const { return Type() == Kind::NULL_VALUE; }

  std::string_view Text() const { return Get<std::string_view>(); }
  double Double() const {
    switch (Type()) {
      case Kind::INT64: return static_cast<double>(Signed());
      case Kind::UINT64: return static_cast<double>(Unsigned());
      default: return Get<double>();
    }
  }
  uint64_t Unsigned() const { return Get<uint64_t>(); }
  int64_t Signed() const { return Get<int64_t>(); }
  bool Bool() const { return Get<bool>(); }
  size_t Size() const { return IsArray() ? List().size() : Object().size(); }
  FastValue At(size_t i) const {
    simdjson::dom::element e = List().at(i).value_unsafe();
    return FastValue(e);
  }

  bool Find(std::string_view key, FastValue* out) const {
    simdjson::dom::element found;
    if (Object().at_key(key).get(found) != simdjson::SUCCESS) return false;
    *out = FastValue(found);
    return true;
  }
  template <class Visit>
  bool Members(Visit visit) const {
    const simdjson::dom::object object = Object();
    for (simdjson::dom::key_value_pair m : object) {
      if (!visit(m.key, FastValue(m.value))) return false;
    }
    return true;
  }
  template <class Visit>
  bool Entries(Visit visit) const {
    const simdjson::dom::array list = List();
    for (simdjson::dom::element e : list) {
      if (!visit(FastValue(e))) return false;
    }
    return true;
  }

 private:
  using Kind = simdjson::dom::element_type;
  template <class T>
  T Get() const {
    T value{};
    if (_v.get<T>().get(value) != simdjson::SUCCESS) value = T{};
    return value;
  }
  Kind Type() const { return _v.type(); }
  // REQUIRES: an object / an array.
  simdjson::dom::object Object() const {
    simdjson::dom::object o = _v.get_object().value_unsafe();
    return o;
  }
  simdjson::dom::array List() const {
    simdjson::dom::array a = _v.get_array().value_unsafe();
    return a;
  }

  simdjson::dom::element _v;
};

}  // namespace dravik

#endif  // RUNNER_SCENE_JSON_VALUES_H_
