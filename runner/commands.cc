#include "runner/commands.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "host/engine/module_loader.h"
#include "hostapi/engine_interface.h"
#include "hostapi/guid.h"
#include "runner/default_scene.h"
#include "runner/dump.h"
#include "runner/host_environment.h"
#include "runner/scene_file.h"
#include "runner/scene_json.h"
#include "runner/scene_runtime.h"
#include "runner/value_format.h"
#include "runner/var_access.h"

namespace dravik {
namespace {

int Fail(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "dravik: %s\n", what.c_str());
  return kExitFailure;
}

// Routes the engine's messages to a reporter while it lives.
class MessageRoute {
 public:
  MessageRoute(Reporter& reporter, const SceneRuntime& runtime) : _reporter(reporter), _runtime(runtime) {
    globalEngine->SetMessageSink(&MessageRoute::Sink, this, &_oldSink, &_oldContext);
  }
  ~MessageRoute() { globalEngine->SetMessageSink(_oldSink, _oldContext); }
  MessageRoute(const MessageRoute&) = delete;
  MessageRoute& operator=(const MessageRoute&) = delete;

 private:
  static void Sink(void* context, unsigned level, const char* text) {
    auto* self = static_cast<MessageRoute*>(context);
    self->_reporter.OnMessage(self->_runtime.CurrentFrame(), level, text ? text : "");
  }

  Reporter& _reporter;
  const SceneRuntime& _runtime;
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
};

// A progress line on stderr for runs that take more than a second, when
// stderr is a terminal.
class Progress {
 public:
  Progress() : _enabled(isatty(STDERR_FILENO) == 1), _start(Clock::now()), _last(_start) {}
  ~Progress() { Clear(); }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  static void Update(void* context, uint32_t done, uint32_t total) {
    auto* self = static_cast<Progress*>(context);
    if (!self->_enabled) return;
    const Clock::time_point now = Clock::now();
    if (now - self->_start < std::chrono::seconds(1) || now - self->_last < std::chrono::milliseconds(100)) return;
    self->_last = now;
    std::fprintf(stderr, "\r\033[Kdravik: frame %u of %u (%u%%)", done, total,
                 static_cast<unsigned>(uint64_t{done} * 100 / (total ? total : 1)));
    std::fflush(stderr);
    self->_shown = true;
  }
  void Clear() {
    if (_shown) std::fputs("\r\033[K", stderr);
    _shown = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  bool _enabled;
  bool _shown = false;
  Clock::time_point _start;
  Clock::time_point _last;
};

// Forwards to a reporter, first taking the progress line away when the
// reporter is about to write to the terminal, so that nothing is written
// over it: rows when stdout is a terminal, and the messages shown on stderr
// (levels up to `stderrLevel`; -1 when messages go to stdout).
class ProgressClearingReporter final : public Reporter {
 public:
  ProgressClearingReporter(Reporter& inner, Progress& progress, int stderrLevel)
      : _inner(inner), _progress(progress), _outIsTerminal(isatty(STDOUT_FILENO) == 1), _stderrLevel(stderrLevel) {}
  void OnBegin(const Scene& scene, uint32_t first, uint32_t last, const std::vector<ChannelValue>& watched) override {
    _inner.OnBegin(scene, first, last, watched);
  }
  void OnNote(uint32_t frame, const std::string& text) override {
    ClearFor(_outIsTerminal || _stderrLevel >= 1);
    _inner.OnNote(frame, text);
  }
  void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) override {
    ClearFor(_outIsTerminal);
    _inner.OnFrame(frame, values);
  }
  void OnMessage(uint32_t frame, unsigned level, const std::string& text) override {
    ClearFor(_stderrLevel < 0 ? _outIsTerminal : static_cast<int>(level) <= _stderrLevel);
    _inner.OnMessage(frame, level, text);
  }
  void OnEnd() override {
    _progress.Clear();
    _inner.OnEnd();
  }

 private:
  void ClearFor(bool writesToTerminal) {
    if (writesToTerminal) _progress.Clear();
  }

  Reporter& _inner;
  Progress& _progress;
  bool _outIsTerminal;
  int _stderrLevel;
};

// Loads the modules of `dir` (the default folder when empty); refused
// modules are reported on stderr and skipped.
bool LoadModules(HostEnvironment& host, const std::string& dir, std::string* error) {
  std::vector<std::string> refused;
  const std::string folder = dir.empty() ? DefaultModulesDirectory() : dir;
  if (!host.LoadModules(folder, &refused, error)) return false;
  for (const std::string& reason : refused) std::fprintf(stderr, "dravik: module refused: %s\n", reason.c_str());
  return true;
}

// The JSON scene of `path` (empty: none). False with *error.
bool ReadJsonScene(const std::string& path, Scene* scene, std::string* text, std::string* error) {
  if (path.empty()) return true;
  if (!ReadWholeFile(path, text, error)) return false;
  if (LooksLikeSavedFile(*text)) {
    *error = path + ": a saved file; give the JSON scene it was made from";
    return false;
  }
  std::string why;
  if (!LoadSceneJson(*text, scene, &why)) {
    *error = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    *error = "cannot open '" + Printable(path, 200) + "': it is a folder";
    return false;
  }
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > kMaxInputBytes) {
    *error = "cannot open '" + Printable(path, 200) + "': " + std::to_string(size) + " bytes is more than the " +
             std::to_string(kMaxInputBytes) + " a scene or saved file may have";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open '" + Printable(path, 200) + "': " + std::strerror(errno);
    return false;
  }
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) {
    *error = "cannot read '" + Printable(path, 200) + "'";
    return false;
  }
  *bytes = all.str();
  return true;
}

int RunCommand(const RunOptions& options) {
  HostEnvironment host;
  std::string error;
  if (!LoadModules(host, options.modulesDir, &error)) return Fail(error);
  std::unique_ptr<Reporter> output = MakeReporter(options.format, stdout, stderr, options.maxLevel);
  Progress progress;
  ProgressClearingReporter reporter(*output, progress,
                                    options.format == OutputFormat::kJsonl ? -1 : options.maxLevel);
  SceneRuntime runtime(host);
  MessageRoute route(reporter, runtime);

  const std::string name = options.scene.empty() ? std::string("the default scene") : options.scene;
  std::string text;
  if (options.scene.empty()) {
    text = std::string(DefaultSceneText());
  } else if (!ReadWholeFile(options.scene, &text, &error)) {
    return Fail(error);
  }
  uint32_t frames = 0;
  if (LooksLikeSavedFile(text)) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (!LoadScene(std::move(bytes), options.scene, runtime, &error)) return Fail(error);
    const uint32_t planned = runtime.GetScene().frames;
    frames = planned > runtime.LastFrame() ? planned - runtime.LastFrame() : 0;
  } else {
    Scene scene;
    if (!LoadSceneJson(text, &scene, &error)) return Fail(name + ": " + error);
    frames = scene.frames;
    if (!runtime.Build(std::move(scene), std::move(text), &error)) return Fail(name + ": " + error);
  }
  if (options.hasFrames) frames = options.frames;
  runtime.Run(frames, reporter, &Progress::Update, &progress);
  if (!options.saveTo.empty() && !SaveScene(runtime, options.saveTo, &error)) return Fail(error);
  return kExitOk;
}

int DumpCommand(const std::string& path) {
  std::string text;
  std::string error;
  if (!ReadWholeFile(path, &text, &error)) return Fail(error);
  const DumpResult result = DumpBytes(std::vector<uint8_t>(text.begin(), text.end()), path);
  std::fputs(result.text.c_str(), stdout);
  std::fflush(stdout);
  if (result.problems > 0) {
    std::fprintf(stderr, "dravik: %s: damaged: %zu problem(s), marked \"!!\" above\n", Printable(path, 200).c_str(),
                 result.problems);
    return kExitDamaged;
  }
  return kExitOk;
}

int ProceduresCommand(const std::string& owner, const std::string& sceneFile) {
  HostEnvironment host;
  Scene scene;
  std::string text;
  std::string error;
  if (!ReadJsonScene(sceneFile, &scene, &text, &error)) return Fail(error);
  if (!host.Library().AddSceneProcedures(scene, &error)) return Fail(sceneFile + ": " + error);
  host.Library().RegisterAll(host.Procedures());
  const std::vector<Procedure*> list = host.Procedures().List(owner);
  if (list.empty()) {
    std::set<std::string> owners;
    for (const Procedure* p : host.Procedures().List()) owners.insert(p->_ownerClass);
    std::string known;
    for (const std::string& o : owners) known += (known.empty() ? "" : ", ") + o;
    return Fail("no procedures of owner class '" + Printable(owner) + "' (owner classes: " + known + ")");
  }
  size_t width = 0;
  for (const Procedure* p : list) width = std::max(width, DisplayWidth(FullName(p->_ownerClass, p->_name)));
  for (const Procedure* p : list) {
    const std::string full = FullName(p->_ownerClass, p->_name);
    std::printf("%s  %-8s %s\n", Pad(full, width, false).c_str(), p->_isStatic ? "static" : "on This",
                ParamsText(DescribeParams(p->_params)).c_str());
    if (const ProcedureDefinition* d = host.Library().Find(p->_ownerClass, p->_name)) {
      if (!d->summary.empty()) {
        std::printf("%s  %-8s %s\n", std::string(width, ' ').c_str(), d->builtin ? "" : "(scene)", d->summary.c_str());
      }
    }
  }
  return kExitOk;
}

int ModesCommand(const std::string& owner, const std::string& modulesDir, const std::string& sceneFile) {
  HostEnvironment host;
  std::string error;
  Scene scene;
  std::string text;
  if (!ReadJsonScene(sceneFile, &scene, &text, &error)) return Fail(error);
  if (!LoadModules(host, modulesDir, &error)) return Fail(error);
  if (!host.HasPrcCallType()) return Fail(host.MissingPrcCallReason());
  if (!host.Library().AddSceneProcedures(scene, &error)) return Fail(sceneFile + ": " + error);
  host.Library().RegisterAll(host.Procedures());
  std::unique_ptr<Zyr_Channel> channel = host.Factory().Create(guid::FromString(guid::kPrcCallChannelType));
  if (channel == nullptr) return Fail("the procedure-call module made no channel");
  if (!host.PrcCall().PrepareModesList(*channel, owner)) return Fail("PrepareModesList could not be called");
  const std::vector<ModeEntry> modes = host.PrcCall().Modes(*channel);
  std::printf("modes a procedure-call channel offers for owner class \"%s\" (PrepareModesList):\n",
              Printable(owner).c_str());
  size_t width = 10;
  for (const ModeEntry& m : modes) width = std::max(width, DisplayWidth(Printable(m.shortName, 60)));
  std::printf("  order  code  %s  name\n", Pad("short name", width, false).c_str());
  for (const ModeEntry& m : modes) {
    std::printf("  %5u  %4u  %s  %s\n", m.orderIndex, m.code, Pad(Printable(m.shortName, 60), width, false).c_str(),
                Printable(m.name, 80).c_str());
  }
  if (host.Procedures().List(owner).empty()) {
    std::printf("  (owner class \"%s\" has no procedures: the channel offers its placeholder mode)\n",
                Printable(owner).c_str());
  }
  return kExitOk;
}

}  // namespace dravik
