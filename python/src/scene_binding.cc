// Scenes and runs for Python: a scene loaded into a runtime of its own
// host environment, run, saved, checked and drawn through the runner's
// library, and the record of each run with its values as numpy arrays.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "hostapi/engine_interface.h"
#include "python/src/bindings.h"
#include "python/src/python_procedure.h"
#include "runner/commands/command_support.h"
#include "runner/commands/scene_check.h"
#include "runner/environment/host_environment.h"
#include "runner/output/graph_layout.h"
#include "runner/output/message_route.h"
#include "runner/output/output_file.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_page.h"
#include "runner/output/run_record.h"
#include "runner/output/scene_graph.h"
#include "runner/scene/event_check.h"
#include "runner/scene/scene_file.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik::python {
namespace {

int gBusy = 0;

// A scene with the host environment it was built in. The objects the scene
// made leave the framework with it.
struct SceneState {
  HostEnvironment host;
  SceneRuntime runtime{host};
  std::string modulesDir;
  std::string source;            // the file loaded; "" for a scene given as text
  bool saved = false;            // loaded from a saved file (its statuses are known)
  bool ran = false;              // frames have run since
  RunRecord pending;             // messages shown while loading, for the first run
  std::vector<std::string> warnings;

  SceneState() = default;
  SceneState(const SceneState&) = delete;
  SceneState& operator=(const SceneState&) = delete;
  ~SceneState() {
    ObjectsManager& objects = host.Procedures().Objects();
    for (const RuntimeObject& o : runtime.Objects()) objects.Remove(o.id);
  }
};

// Every call channel's status at every frame of a run, exact (the run's
// record folds them into spans for the report): what Run.statuses reads.
class CallStatuses final : public Reporter {
 public:
  std::vector<std::string> ids;            // call channels, in scene order
  std::vector<std::vector<float>> series;  // per call, one status a frame

  void OnBegin(const Scene& scene, uint32_t, uint32_t, const std::vector<ChannelValue>&) override {
    for (const ChannelSpec& spec : scene.channels) {
      if (spec.kind != ChannelKind::kCall) continue;
      _row.emplace(&spec, ids.size());
      ids.push_back(spec.id);
    }
    series.resize(ids.size());
  }
  void OnCallEvaluated(uint32_t, const RuntimeChannel& call, float status) override {
    auto row = _row.find(call.spec);
    if (row != _row.end()) series[row->second].push_back(status);
  }
  void OnNote(uint32_t, const std::string&) override {}
  void OnFrame(uint32_t, const std::vector<ChannelValue>&) override {}
  void OnEnd() override {}
  void OnMessage(const RunMessage&) override {}

  // The statuses of call `id`, or null when it is no call of the scene.
  const std::vector<float>* Of(const std::string& id) const {
    for (size_t i = 0; i < ids.size(); ++i) {
      if (ids[i] == id) return &series[i];
    }
    return nullptr;
  }

 private:
  std::unordered_map<const ChannelSpec*, size_t> _row;
};

// One run's record, with the scene it ran (for the report).
struct RunData {
  std::shared_ptr<SceneState> state;
  RunRecord record;
  CallStatuses calls;

  // The frames recorded (a run stopped by Ctrl-C has fewer than asked).
  size_t Count() const { return record.last >= record.first ? record.last - record.first + 1 : 0; }
};

// Engine text as a str; bytes that are not UTF-8 (a name cut inside a
// character) show as U+FFFD.
py::str Text(const std::string& text) {
  return py::reinterpret_steal<py::str>(
      PyUnicode_DecodeUTF8(text.data(), static_cast<py::ssize_t>(text.size()), "replace"));
}

py::array_t<float> Values(const RecordedSeries& series, size_t count) {
  const size_t n = std::min(count, series.values.size());
  if (!series.isVector) {
    py::array_t<float> out(static_cast<py::ssize_t>(n));
    if (n > 0) std::memcpy(out.mutable_data(), series.values.data(), n * sizeof(float));
    return out;
  }
  py::array_t<float> out({static_cast<py::ssize_t>(n), py::ssize_t{3}});
  float* data = out.mutable_data();
  for (size_t i = 0; i < n && i < series.vectors.size(); ++i) {
    data[3 * i] = series.vectors[i].x;
    data[3 * i + 1] = series.vectors[i].y;
    data[3 * i + 2] = series.vectors[i].z;
  }
  return out;
}

[[noreturn]] void RaiseKeyError(const std::string& message) {
  PyErr_SetObject(PyExc_KeyError, py::str(message).ptr());
  throw py::error_already_set();
}

std::shared_ptr<SceneState> Open(const py::bytes& data, const std::string& name, const std::string& source,
                                 const std::string& modulesDir) {
  Busy busy("load a scene");
  auto state = std::make_shared<SceneState>();
  state->modulesDir = modulesDir;
  state->source = source;
  std::vector<std::string> refused;
  std::string error;
  if (!state->host.LoadModules(modulesDir, &refused, &error)) {
    PyErr_SetString(PyExc_FileNotFoundError, error.c_str());
    throw py::error_already_set();
  }
  for (const std::string& r : refused) state->warnings.push_back("module refused: " + r);
  for (ProcedureDefinition& d : PythonDefinitions()) state->host.Library().Add(std::move(d));
  std::string text = data;
  RunRecorder recorder(&state->pending);
  MessageRoute route(recorder, state->runtime);
  if (LooksLikeSavedFile(text)) {
    state->saved = true;
    if (!LoadScene(std::vector<uint8_t>(text.begin(), text.end()), name, state->runtime, &error)) {
      // The loader's error starts with the file's name.
      RaiseSceneError(error.rfind(name + ": ", 0) == 0 ? error.substr(name.size() + 2) : error, name);
    }
    return state;
  }
  Scene scene;
  if (!LoadSceneJson(text, &scene, &error)) RaiseSceneError(error, name);
  const EventCheck check = CheckSceneEvents(scene, state->host.Library().Definitions(), scene.frames);
  for (const SceneFinding& f : check.findings) {
    if (f.severity == SceneFinding::Severity::kWarning) state->warnings.push_back(f.Line());
  }
  if (const SceneFinding* first = check.FirstError()) RaiseSceneError(first->Line(), name);
  if (!state->runtime.Build(std::move(scene), std::move(text), &error)) RaiseSceneError(error, name);
  return state;
}

// Watches `ids` for as long as it lives, then the channels watched before.
class WatchScope {
 public:
  WatchScope(SceneRuntime& runtime, const std::optional<std::vector<std::string>>& ids) : _runtime(runtime) {
    if (!ids) return;
    for (const ChannelSpec& c : runtime.GetScene().channels) {
      if (c.watch) _before.push_back(c.id);
    }
    std::string error;
    if (!runtime.Watch(*ids, &error)) RaiseKeyError(error);
    _changed = true;
  }
  ~WatchScope() {
    std::string ignored;
    if (_changed) _runtime.Watch(_before, &ignored);
  }
  WatchScope(const WatchScope&) = delete;
  WatchScope& operator=(const WatchScope&) = delete;

 private:
  SceneRuntime& _runtime;
  std::vector<std::string> _before;
  bool _changed = false;
};

std::unique_ptr<RunData> Run(const std::shared_ptr<SceneState>& state, std::optional<uint32_t> frames,
                             const std::optional<std::vector<std::string>>& watch) {
  Busy busy("run a scene");
  SceneRuntime& runtime = state->runtime;
  const uint32_t planned = runtime.GetScene().frames;
  const uint32_t count = frames ? *frames : (planned > runtime.LastFrame() ? planned - runtime.LastFrame() : 0);
  WatchScope scope(runtime, watch);
  auto data = std::make_unique<RunData>();
  data->state = state;
  data->record.messages = std::move(state->pending.messages);
  state->pending = RunRecord();
  // Every watched channel is kept: Run.values answers for each.
  RunRecorder recorder(&data->record, &data->calls, RunRecorder::kDefaultMaxMessages, SIZE_MAX);
  MessageRoute route(recorder, runtime);
  // The render count is the process's: another scene may have moved it.
  // Each frame of this scene then gets the count of its own number again.
  globalEngine->SetRenderCount(runtime.LastFrame());
  state->ran = true;
  runtime.Run(count, recorder, &CheckSignals, nullptr);
  return data;
}

// Why `path` may not take a save ("" when it may).
std::string SaveRefusal(const SceneState& state, const std::string& path, bool force) {
  std::string error;
  return CheckOutputFiles({{OutputKind::kSavedScene, "--save", path}}, state.source, force, &error) ? std::string()
                                                                                                       : error;
}

void Save(SceneState& state, const std::string& path, bool force) {
  Busy busy("save a scene");
  std::string error;
  std::vector<uint8_t> bytes;
  if (!SaveScene(state.runtime, &bytes, &error) ||
      !WriteOutputFile({OutputKind::kSavedScene, "--save", path},
                       std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), state.source,
                       force, &error)) {
    PyErr_SetString(PyExc_OSError, error.c_str());
    throw py::error_already_set();
  }
}

std::string Graph(SceneState& state, bool svg) {
  Busy busy("draw a scene");
  QuietMessages quiet;
  const std::string dot = GraphDot(DescribeScene(state.runtime, state.saved || state.ran));
  if (!svg) return dot;
  std::string out;
  std::string error;
  if (!LayOutSvg(dot, &out, &error)) throw std::runtime_error("Graphviz could not draw the scene: " + error);
  return out;
}

std::vector<py::tuple> Check(SceneState& state) {
  Busy busy("check a scene");
  HostEnvironment host;
  std::vector<std::string> refused;
  std::string error;
  if (!host.LoadModules(state.modulesDir, &refused, &error)) throw std::runtime_error(error);
  for (ProcedureDefinition& d : PythonDefinitions()) host.Library().Add(std::move(d));
  Scene scene;
  const std::string& text = state.runtime.SceneText();
  if (!LoadSceneJson(text, &scene, &error)) RaiseSceneError(error, state.source);
  std::vector<py::tuple> out;
  for (const SceneFinding& f : CheckScene(std::move(scene), text, host)) {
    const bool isError = f.severity == SceneFinding::Severity::kError;
    // A build error carries its path at the head of its text.
    std::string path = f.path;
    std::string what = f.what;
    if (path.empty() && what.rfind('/', 0) == 0 && what.find(": ") != std::string::npos) {
      path = what.substr(0, what.find(": "));
      what = what.substr(path.size() + 2);
    }
    out.push_back(py::make_tuple(isError ? "error" : "warning", path, what));
  }
  return out;
}

void Report(const RunData& run, const std::string& path) {
  Busy busy("write a report");
  const OutputFile report{OutputKind::kReport, "--report", path};
  std::string error;
  if (!CheckOutputFiles({report}, run.state->source, false, &error)) {
    PyErr_SetString(PyExc_FileExistsError, error.c_str());
    throw py::error_already_set();
  }
  if (!WriteOutputFile(report, ReportPage(run.state->runtime, run.record), run.state->source, false, &error)) {
    PyErr_SetString(PyExc_OSError, error.c_str());
    throw py::error_already_set();
  }
}

}  // namespace

Busy::Busy(const char* what) {
  if (gBusy != 0) {
    throw std::runtime_error(std::string("cannot ") + what +
                             " while another scene operation is under way (a procedure may not run, load, "
                             "save, check or draw scenes, and scenes are used from one thread at a time)");
  }
  gBusy = 1;
}

Busy::~Busy() { gBusy = 0; }

void CheckSignals(void*, uint32_t, uint32_t) {
  if (PyErr_CheckSignals() != 0) throw py::error_already_set();
}

void RaiseSceneError(const std::string& message, const std::string& file) {
  py::object type = py::module_::import("dravik._errors").attr("SceneError");
  py::object path = py::none();
  const size_t colon = message.find(": ");
  if (message.rfind('/', 0) == 0 && colon != std::string::npos) path = py::str(message.substr(0, colon));
  py::object error = type(file.empty() ? message : file + ": " + message, path,
                          file.empty() ? py::object(py::none()) : py::object(py::str(file)));
  PyErr_SetObject(type.ptr(), error.ptr());
  throw py::error_already_set();
}

void BindScene(py::module_& m) {
  py::class_<SceneState, std::shared_ptr<SceneState>>(m, "SceneState")
      .def_property_readonly("last_frame", [](const SceneState& s) { return s.runtime.LastFrame(); })
      .def_property_readonly("planned_frames", [](const SceneState& s) { return s.runtime.GetScene().frames; })
      .def_property_readonly("name", [](const SceneState& s) { return s.runtime.GetScene().name; })
      .def_property_readonly("description", [](const SceneState& s) { return s.runtime.GetScene().description; })
      .def_property_readonly("text", [](const SceneState& s) { return py::bytes(s.runtime.SceneText()); })
      .def_property_readonly("saved", [](const SceneState& s) { return s.saved; })
      .def_property_readonly("warnings", [](const SceneState& s) { return s.warnings; })
      .def_property_readonly("channels",
                             [](const SceneState& s) {
                               std::vector<py::tuple> out;
                               for (const RuntimeChannel& rc : s.runtime.Channels()) {
                                 out.push_back(py::make_tuple(rc.spec->id, ChannelKindName(rc.spec->kind),
                                                              Text(rc.channel->GetChannelName())));
                               }
                               return out;
                             })
      .def("run", &Run, py::arg("frames"), py::arg("watch"))
      .def("save_refusal", &SaveRefusal)
      .def("save", &Save, py::arg("path"), py::arg("force") = false)
      .def("graph", &Graph)
      .def("check", &Check);
  m.def("open_scene", &Open, py::arg("data"), py::arg("name"), py::arg("source"), py::arg("modules_dir"));

  py::class_<RunData>(m, "RunData")
      .def_property_readonly("first", [](const RunData& r) { return r.record.first; })
      .def_property_readonly("count", &RunData::Count)
      .def_property_readonly("watched",
                             [](const RunData& r) {
                               std::vector<py::tuple> out;
                               for (const RecordedSeries& s : r.record.watched) {
                                 out.push_back(py::make_tuple(s.id, ChannelKindName(s.kind), s.isVector, Text(s.name)));
                               }
                               return out;
                             })
      .def_property_readonly("calls",
                             [](const RunData& r) {
                               return r.calls.ids;
                             })
      .def("values",
           [](const RunData& r, const std::string& id) {
             const RecordedSeries* s = nullptr;
             for (const RecordedSeries& w : r.record.watched) {
               if (w.id == id) s = &w;
             }
             if (s == nullptr) RaiseKeyError("channel '" + id + "' was not watched in this run");
             return Values(*s, r.Count());
           })
      .def("statuses",
           [](const RunData& r, const std::string& id) {
             const std::vector<float>* s = r.calls.Of(id);
             if (s == nullptr) RaiseKeyError("'" + id + "' is not a procedure-call channel of the scene");
             const size_t n = std::min(r.Count(), s->size());
             py::array_t<float> out(static_cast<py::ssize_t>(n));
             if (n > 0) std::memcpy(out.mutable_data(), s->data(), n * sizeof(float));
             return out;
           })
      .def_property_readonly("messages",
                             [](const RunData& r) {
                               std::vector<py::tuple> out;
                               for (const RunMessage& msg : r.record.messages) {
                                 out.push_back(py::make_tuple(msg.frame, msg.level, msg.channel, Text(msg.text)));
                               }
                               return out;
                             })
      .def_property_readonly("messages_left_out", [](const RunData& r) { return r.record.messagesLeftOut; })
      .def_property_readonly("notes",
                             [](const RunData& r) {
                               std::vector<py::tuple> out;
                               for (const RunNote& n : r.record.notes) out.push_back(py::make_tuple(n.frame, Text(n.text)));
                               return out;
                             })
      .def("report", &Report);
}

}  // namespace dravik::python
