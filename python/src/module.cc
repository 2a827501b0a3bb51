// dravik._dravik: the runner's library for the `dravik` Python package.
// The package (python/dravik) is the public face; this module is its
// engine room: scenes and runs (scene_binding.cc), procedures written in
// Python (python_procedure.cc), the framework's registry and objects, the
// `run` command, and where the engine's messages go outside a run.
#include <pybind11/stl.h>

#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "hostapi/engine_interface.h"
#include "hostapi/vantic_procedure.h"
#include "python/src/bindings.h"
#include "python/src/python_procedure.h"
#include "runner/commands/commands.h"
#include "runner/procedures/var_access.h"

namespace dravik::python {
namespace {

// logging.getLogger("dravik"), while the interpreter runs.
PyObject* gLogger = nullptr;

// Messages shown outside any scene's work (a procedure defined again, say)
// go to the "dravik" logger: 0 critical, 1 error, 2 info, 3 debug.
void LogSink(void*, unsigned level, const char* text) {
  if (gLogger == nullptr || !PyGILState_Check()) {
    std::fprintf(stderr, "[%u] %s\n", level, text);
    return;
  }
  static const int kLevels[] = {50, 40, 20, 10};
  PyObject *type, *value, *traceback;
  PyErr_Fetch(&type, &value, &traceback);
  PyObject* result = PyObject_CallMethod(gLogger, "log", "iss", level < 4 ? kLevels[level] : 10, "%s", text);
  Py_XDECREF(result);
  PyErr_Clear();
  PyErr_Restore(type, value, traceback);
}

ProceduresManager& Manager() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

using ParamTuple = std::tuple<std::string, std::string, std::string>;  // name, "float"/"vec3", mode

std::vector<ParamSpec> ToSpecs(const std::vector<ParamTuple>& params) {
  std::vector<ParamSpec> specs;
  for (const auto& [name, type, mode] : params) {
    specs.push_back({name, type == "vec3" ? ParamType::kVec3 : ParamType::kFloat,
                     static_cast<uint16_t>(mode == "in" ? 1 : mode == "out" ? 2 : 3)});
  }
  return specs;
}

py::tuple Describe(const Procedure& p) {
  std::vector<ParamTuple> params;
  for (const ParamSpec& s : DescribeParams(p._params)) {
    params.emplace_back(s.name, s.type == ParamType::kVec3 ? "vec3" : "float", ParamModeName(s.mode));
  }
  return py::make_tuple(p._ownerClass, p._name, p._isStatic, params);
}

VanticObject& Object(uint32_t id) {
  VanticObject* object = Manager().Objects().Get(id);
  if (object == nullptr) {
    PyErr_SetObject(PyExc_KeyError, py::str("no object of id " + std::to_string(id)).ptr());
    throw py::error_already_set();
  }
  return *object;
}

int RunCommandFromPython(RunOptions options) {
  Busy busy("run a scene");
  for (ProcedureDefinition& d : PythonDefinitions()) options.procedures.push_back(std::move(d));
  return RunCommand(options);
}

void Shutdown() {
  ReleaseDefinitions();
  globalEngine->SetMessageSink(nullptr, nullptr);
  Py_CLEAR(gLogger);
}

}  // namespace

void BindProcedures(py::module_& m) {
  m.def("define_procedure",
        [](const std::string& owner, const std::string& name, bool isStatic, const std::vector<ParamTuple>& params,
           py::object function) {
          std::string error;
          if (!DefineProcedure(owner, name, isStatic, ToSpecs(params), function.ptr(), &error)) {
            throw py::value_error(error);
          }
        });
  m.def("rename_procedure", [](const std::string& owner, const std::string& name, const std::string& newOwner,
                               const std::string& newName) {
    std::string error;
    if (!RenameProcedure(owner, name, newOwner, newName, &error)) throw py::key_error(error);
  });
  m.def("remove_procedure", [](const std::string& owner, const std::string& name) {
    if (!RemoveProcedure(owner, name)) throw py::key_error("no procedure " + owner + "::" + name);
  });
  m.def("list_procedures", [](const std::string& owner) {
    std::vector<py::tuple> out;
    for (const Procedure* p : Manager().List(owner)) out.push_back(Describe(*p));
    return out;
  });
  m.def("object_info", [](uint32_t id) {
    const VanticObject& o = Object(id);
    py::dict properties;
    for (const auto& [key, value] : o.Floats()) properties[py::str(key)] = value;
    for (const auto& [key, v] : o.Vectors()) properties[py::str(key)] = py::make_tuple(v.x, v.y, v.z);
    return py::make_tuple(o.ClassName(), o.Name(), properties);
  });
  m.def("set_object_float", [](uint32_t id, const std::string& key, float value) { Object(id).SetFloat(key, value); });
  m.def("set_object_vector", [](uint32_t id, const std::string& key, float x, float y, float z) {
    Object(id).SetVector(key, Vec3{x, y, z});
  });
}

}  // namespace dravik::python

PYBIND11_MODULE(_dravik, m) {
  namespace py = pybind11;
  using namespace dravik::python;
  m.doc() = "The runner's library for the dravik package (private: use `import dravik`).";
  m.attr("version") = DRAVIK_VERSION;
  BindScene(m);
  BindProcedures(m);
  m.def("run_command",
        [](const std::string& scene, const std::string& modulesDir, std::optional<uint32_t> frames,
           const std::string& saveTo, bool force, bool strict, const std::string& reportTo, const std::string& format,
           int maxLevel, std::optional<std::vector<std::string>> watch) {
          dravik::RunOptions o;
          o.scene = scene;
          o.modulesDir = modulesDir;
          o.hasFrames = frames.has_value();
          o.frames = frames.value_or(0);
          o.saveTo = saveTo;
          o.force = force;
          o.strict = strict;
          o.reportTo = reportTo;
          o.format = format == "csv"     ? dravik::OutputFormat::kCsv
                     : format == "jsonl" ? dravik::OutputFormat::kJsonl
                                         : dravik::OutputFormat::kTable;
          o.maxLevel = maxLevel;
          o.hasWatch = watch.has_value();
          o.watch = watch.value_or(std::vector<std::string>());
          return RunCommandFromPython(std::move(o));
        });
  m.def("shutdown", &Shutdown);
  gLogger = py::module_::import("logging").attr("getLogger")("dravik").release().ptr();
  globalEngine->SetMessageSink(&LogSink, nullptr);
}
