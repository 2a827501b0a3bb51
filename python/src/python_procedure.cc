#include "python/src/python_procedure.h"

#include <array>
#include <cmath>
#include <utility>

#include "runner/output/printable_text.h"
#include "runner/procedures/var_access.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik::python {
namespace {

constexpr double kFloatMax = 3.4028234663852886e38;

bool IsInput(uint16_t mode) { return mode == VarMode_In || mode == VarMode_InOut; }
bool IsOutput(uint16_t mode) { return mode == VarMode_Out || mode == VarMode_InOut; }

// "TypeName: text" of the error Python holds, which is cleared. An
// interrupt is raised again once the frame under way is done.
std::string TakeError() {
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  std::string text = type != nullptr ? reinterpret_cast<PyTypeObject*>(type)->tp_name : "error";
  if (value != nullptr) {
    if (PyObject* str = PyObject_Str(value)) {
      Py_ssize_t size = 0;
      if (const char* utf8 = PyUnicode_AsUTF8AndSize(str, &size); utf8 != nullptr && size > 0) {
        text += ": " + std::string(utf8, static_cast<size_t>(size));
      }
      Py_DECREF(str);
    }
    PyErr_Clear();
  }
  const bool interrupted = type != nullptr && PyErr_GivenExceptionMatches(type, PyExc_KeyboardInterrupt);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
  if (interrupted) PyErr_SetInterrupt();
  return text;
}

std::string TypeName(PyObject* object) { return Py_TYPE(object)->tp_name; }

// `item` as a finite float; false with *why otherwise.
bool AsFloat(PyObject* item, float* out, std::string* why) {
  const double d = PyFloat_AsDouble(item);
  if (d == -1.0 && PyErr_Occurred()) {
    PyErr_Clear();
    *why = "is " + TypeName(item) + ", not a number";
    return false;
  }
  if (!std::isfinite(d) || std::fabs(d) > kFloatMax) {
    *why = "is " + std::to_string(d) + ", not a finite float";
    return false;
  }
  *out = static_cast<float>(d);
  return true;
}

}  // namespace

PythonBody::PythonBody(PyObject* function, std::string fullName)
    : _function(function),
      _fullName(std::move(fullName)),
      _thisKey(PyUnicode_InternFromString("this")),
      _noArgs(PyTuple_New(0)) {
  Py_XINCREF(_function);
}

PythonBody::~PythonBody() { Release(); }

void PythonBody::SetFunction(PyObject* function) {
  Py_XINCREF(function);
  PyObject* before = _function;
  _function = function;
  Py_XDECREF(before);
}

void PythonBody::Release() {
  Py_CLEAR(_function);
  Py_CLEAR(_thisKey);
  Py_CLEAR(_noArgs);
  for (auto& [name, key] : _keys) Py_CLEAR(key);
  _keys.clear();
}

PyObject* PythonBody::Key(size_t index, const char* name) {
  if (index >= _keys.size()) _keys.resize(index + 1, {std::string(), nullptr});
  auto& [cached, key] = _keys[index];
  if (key == nullptr || cached != name) {
    Py_CLEAR(key);
    cached = name;
    key = PyUnicode_DecodeUTF8(name, static_cast<Py_ssize_t>(cached.size()), "surrogateescape");
    if (key != nullptr) PyUnicode_InternInPlace(&key);
  }
  return key;
}

bool PythonBody::TakeOutput(PyObject* result, PyObject* key, VarBase& var, float out[3], std::string* why) {
  PyObject* item = PyDict_GetItemWithError(result, key);
  if (item == nullptr) {
    if (PyErr_Occurred()) {
      *why = TakeError();
    } else {
      *why = "output '" + Printable(var.Name()) + "' is missing from the dict it returned";
    }
    return false;
  }
  std::string what;
  if (var.FloatValue() != nullptr) {
    if (AsFloat(item, &out[0], &what)) return true;
  } else {
    PyObject* parts = PySequence_Check(item) && !PyUnicode_Check(item) ? PySequence_Fast(item, "") : nullptr;
    if (parts == nullptr) {
      PyErr_Clear();
      what = "is " + TypeName(item) + ", not three numbers";
    } else if (PySequence_Fast_GET_SIZE(parts) != 3) {
      what = "has " + std::to_string(PySequence_Fast_GET_SIZE(parts)) + " items, not 3";
    } else {
      bool good = true;
      for (Py_ssize_t i = 0; i < 3 && good; ++i) good = AsFloat(PySequence_Fast_GET_ITEM(parts, i), &out[i], &what);
      if (good) what.clear();
    }
    Py_XDECREF(parts);
    if (what.empty()) return true;
  }
  *why = "output '" + Printable(var.Name()) + "' " + what;
  return false;
}

int PythonBody::Call(VarList& vars) {
  auto fail = [this](const std::string& why) {
    ReportProcedureProblem(_fullName + ": " + Printable(why, 300));
    return 1;
  };
  if (_function == nullptr || !PyGILState_Check()) return fail("Python is not running");
  const size_t count = vars._vars.size();
  PyObject* kwargs = PyDict_New();
  if (kwargs == nullptr) return fail(TakeError());
  size_t outputs = 0;
  for (size_t i = 0; i < count; ++i) {
    VarBase* var = vars._vars[i];
    outputs += IsOutput(var->Mode()) ? 1 : 0;
    if (!IsInput(var->Mode())) continue;
    PyObject* value = nullptr;
    if (const float* f = var->FloatValue()) {
      value = PyFloat_FromDouble(*f);
    } else if (const Vec3* v = var->VectorValue()) {
      value = Py_BuildValue("(ddd)", double{v->x}, double{v->y}, double{v->z});
    }
    PyObject* key = Key(i, var->Name());
    const bool set = value != nullptr && key != nullptr && PyDict_SetItem(kwargs, key, value) == 0;
    Py_XDECREF(value);
    if (!set) {
      Py_DECREF(kwargs);
      return fail(PyErr_Occurred() ? TakeError() : "parameter '" + Printable(var->Name()) + "' is of no known kind");
    }
  }
  if (vars._thisObject != nullptr) {
    PyObject* id = PyLong_FromUnsignedLong(vars._thisObject->Id());
    const bool set = id != nullptr && PyDict_SetItem(kwargs, _thisKey, id) == 0;
    Py_XDECREF(id);
    if (!set) {
      Py_DECREF(kwargs);
      return fail(TakeError());
    }
  }
  // The function may define its procedure again while it runs: hold on to it.
  PyObject* function = _function;
  Py_INCREF(function);
  ++_running;
  PyObject* result = PyObject_Call(function, _noArgs, kwargs);
  --_running;
  Py_DECREF(function);
  Py_DECREF(kwargs);
  if (result == nullptr) return fail(TakeError());
  if (!PyDict_Check(result)) {
    const std::string type = TypeName(result);
    Py_DECREF(result);
    return fail("returned " + type + ", not a dict of its outputs");
  }
  // Outputs are checked whole before any is written.
  std::array<Vec3, 16> small;
  std::vector<Vec3> large(count > small.size() ? count : 0);
  Vec3* values = count > small.size() ? large.data() : small.data();
  std::string why;
  for (size_t i = 0; i < count && why.empty(); ++i) {
    VarBase* var = vars._vars[i];
    if (!IsOutput(var->Mode())) continue;
    PyObject* key = Key(i, var->Name());
    float parts[3] = {0, 0, 0};
    if (key == nullptr) {
      why = TakeError();
    } else if (TakeOutput(result, key, *var, parts, &why)) {
      values[i] = Vec3{parts[0], parts[1], parts[2]};
    }
  }
  if (why.empty() && static_cast<size_t>(PyDict_Size(result)) != outputs) {
    // A key that names no output: say which.
    PyObject* key = nullptr;
    PyObject* item = nullptr;
    for (Py_ssize_t pos = 0; why.empty() && PyDict_Next(result, &pos, &key, &item);) {
      const char* name = PyUnicode_Check(key) ? PyUnicode_AsUTF8(key) : nullptr;
      VarBase* var = name != nullptr ? vars.Find(name) : nullptr;
      if (var == nullptr || !IsOutput(var->Mode())) {
        PyErr_Clear();
        PyObject* shown = PyObject_Repr(key);
        const char* text = shown != nullptr ? PyUnicode_AsUTF8(shown) : nullptr;
        why = std::string("returned ") + (text != nullptr ? text : "a key") + ", which is not an output";
        Py_XDECREF(shown);
        PyErr_Clear();
      }
    }
  }
  Py_DECREF(result);
  if (!why.empty()) return fail(why);
  for (size_t i = 0; i < count; ++i) {
    VarBase* var = vars._vars[i];
    if (!IsOutput(var->Mode())) continue;
    if (float* f = var->FloatValue()) {
      *f = values[i].x;
    } else if (Vec3* v = var->VectorValue()) {
      *v = values[i];
    }
  }
  return 0;
}

VeskProcedure::Body MakeBody(std::shared_ptr<PythonBody> body) {
  return [body](VarList& vars) {
    // The framework may replace this callable while it runs (the function
    // defines its procedure again): keep the body alive on our own.
    const std::shared_ptr<PythonBody> keep = body;
    return keep->Call(vars);
  };
}

namespace {

struct Entry {
  ProcedureDefinition definition;
  std::shared_ptr<PythonBody> body;
};

// Never destroyed: the framework's procedures may outlive every other
// static object, and they refer to the bodies.
std::vector<Entry>& Table() {
  static auto* table = new std::vector<Entry>();
  return *table;
}

Entry* Find(const std::string& owner, const std::string& name) {
  for (Entry& e : Table()) {
    if (e.definition.owner == owner && e.definition.name == name) return &e;
  }
  return nullptr;
}

void Erase(const std::string& owner, const std::string& name) {
  std::vector<Entry>& table = Table();
  for (auto it = table.begin(); it != table.end(); ++it) {
    if (it->definition.owner == owner && it->definition.name == name) {
      table.erase(it);
      return;
    }
  }
}

bool SameParams(const std::vector<ParamSpec>& a, const std::vector<ParamSpec>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].mode != b[i].mode) return false;
  }
  return true;
}

ProceduresManager& Manager() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

}  // namespace

bool DefineProcedure(const std::string& owner, const std::string& name, bool isStatic,
                     const std::vector<ParamSpec>& params, PyObject* function, std::string* error) {
  ProceduresManager& manager = Manager();
  Procedure* existing = manager.GetProcedure(owner, name);
  Entry* entry = Find(owner, name);
  if (existing != nullptr && entry == nullptr) {
    *error = "procedure " + Printable(FullName(owner, name)) + " is registered already, and not from Python";
    return false;
  }
  if (entry == nullptr) {
    Table().push_back(Entry{{}, std::make_shared<PythonBody>(function, FullName(owner, name))});
    entry = &Table().back();
    entry->definition.owner = owner;
    entry->definition.name = name;
    entry->definition.builtin = false;
    entry->definition.summary = "written in Python";
  } else {
    entry->body->SetFunction(function);
  }
  entry->definition.isStatic = isStatic;
  entry->definition.params = params;
  entry->definition.body = MakeBody(entry->body);
  if (existing == nullptr) {
    if (manager.RegisterFunction(owner, name, isStatic, MakeParams(params), entry->definition.body) != nullptr) return true;
    *error = "the framework refused to register " + Printable(FullName(owner, name));
    return false;
  }
  // The body the framework holds calls the same PythonBody, which now has
  // the new function; a new callable only for a procedure a scene gave
  // another body (and never under a call of its own).
  auto* vesk = dynamic_cast<VeskProcedure*>(existing);
  if (vesk != nullptr && !entry->body->Running()) vesk->SetBody(entry->definition.body);
  if (existing->_isStatic != isStatic || !SameParams(DescribeParams(existing->_params), params)) {
    manager.ChangeParameters(owner, name, MakeParams(params), isStatic);
  }
  return true;
}

std::vector<ProcedureDefinition> PythonDefinitions() {
  std::vector<ProcedureDefinition> all;
  for (const Entry& e : Table()) all.push_back(e.definition);
  return all;
}

bool RenameProcedure(const std::string& owner, const std::string& name, const std::string& newOwner,
                     const std::string& newName, std::string* error) {
  ProceduresManager& manager = Manager();
  if (manager.GetProcedure(owner, name) == nullptr) {
    *error = "no procedure " + Printable(FullName(owner, name));
    return false;
  }
  if (!manager.Rename(owner, name, newOwner, newName)) {
    *error = "procedure " + Printable(FullName(newOwner, newName)) + " exists already";
    return false;
  }
  if (owner == newOwner && name == newName) return true;
  if (Find(owner, name) != nullptr) {
    Erase(newOwner, newName);  // a definition the framework no longer held
    Entry* entry = Find(owner, name);
    entry->definition.owner = newOwner;
    entry->definition.name = newName;
  }
  return true;
}

bool RemoveProcedure(const std::string& owner, const std::string& name) {
  if (!Manager().Remove(owner, name)) return false;
  Erase(owner, name);
  return true;
}

void ReleaseDefinitions() {
  for (Entry& e : Table()) e.body->Release();
}

}  // namespace dravik::python
