#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "hostapi/engine_interface.h"
#include "runner/commands/call_loops.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/message_route.h"
#include "runner/output/output_file.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_page.h"
#include "runner/output/reporter.h"
#include "runner/output/scene_graph.h"
#include "runner/scene/default_scene.h"
#include "runner/scene/event_check.h"
#include "runner/scene/scene_file.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {
namespace {

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
  void OnMessage(const RunMessage& message) override {
    ClearFor(_stderrLevel < 0 ? _outIsTerminal : static_cast<int>(message.level) <= _stderrLevel);
    _inner.OnMessage(message);
  }
  void OnCallEvaluating(uint32_t frame, const RuntimeChannel& call) override {
    _inner.OnCallEvaluating(frame, call);
  }
  void OnCallEvaluated(uint32_t frame, const RuntimeChannel& call, float status) override {
    _inner.OnCallEvaluated(frame, call, status);
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

// Shows the warnings among `findings` on stderr, unless `quiet`.
void Warn(const std::string& name, const std::vector<SceneFinding>& findings, bool quiet) {
  if (quiet) return;
  for (const SceneFinding& f : findings) {
    if (f.severity == SceneFinding::Severity::kWarning) {
      std::fprintf(stderr, "dravik: warning: %s: %s\n", name.c_str(), f.Line().c_str());
    }
  }
}

// Replays the scene's events before anything runs: warnings go to stderr,
// the first error is the failure. False after an error.
bool CheckEvents(const std::string& name, const Scene& scene, uint32_t lastFrame, HostEnvironment& host, bool quiet) {
  const EventCheck check = CheckSceneEvents(scene, host.Library().Definitions(), lastFrame);
  Warn(name, check.findings, quiet);
  if (const SceneFinding* error = check.FirstError()) {
    Fail(name + ": " + error->Line());
    return false;
  }
  return true;
}

}  // namespace

int RunCommand(const RunOptions& options) {
  HostEnvironment host;
  for (const ProcedureDefinition& d : options.procedures) host.Library().Add(d);
  std::string error;
  const OutputFile save{OutputKind::kSavedScene, "--save", options.saveTo};
  const OutputFile report{OutputKind::kReport, "--report", options.reportTo};
  std::vector<OutputFile> outputs;
  if (!save.path.empty()) outputs.push_back(save);
  if (!report.path.empty()) outputs.push_back(report);
  if (!CheckOutputFiles(outputs, options.scene, options.force, &error)) return Fail(error);
  if (!LoadModules(host, options.modulesDir, &error)) return Fail(error);
  std::unique_ptr<Reporter> output = MakeReporter(options.format, stdout, stderr, options.maxLevel);
  Progress progress;
  ProgressClearingReporter reporter(*output, progress,
                                    options.format == OutputFormat::kJsonl ? -1 : options.maxLevel);
  SceneRuntime runtime(host);
  RunRecord record;
  RunRecorder recorder(&record, &reporter, /*maxMessages=*/0);  // the report folds them
  Reporter& observer = options.reportTo.empty() ? static_cast<Reporter&>(reporter) : recorder;
  MessageRoute route(observer, runtime);

  const std::string name = options.scene.empty() ? std::string("the default scene") : Printable(options.scene, 200);
  // Warnings are not alerts: -q keeps them back.
  const bool quiet = options.maxLevel < 1;
  std::string text;
  if (options.scene.empty()) {
    text = std::string(DefaultSceneText());
  } else if (!ReadWholeFile(options.scene, &text, &error)) {
    return Fail(error);
  }
  uint32_t frames = 0;
  if (LooksLikeSavedFile(text)) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    std::string().swap(text);  // one copy of a large file is enough
    if (!LoadScene(std::move(bytes), options.scene, runtime, &error)) return Fail(error);
    const uint32_t planned = runtime.GetScene().frames;
    frames = planned > runtime.LastFrame() ? planned - runtime.LastFrame() : 0;
  } else {
    Scene scene;
    if (!LoadSceneJsonText(text, &scene, &error)) return Fail(name + ": " + error);
    frames = scene.frames;
    // Events after the scene's last frame never happen, unless --frames runs past it.
    const uint32_t lastFrame = options.hasFrames && options.frames > frames ? options.frames : frames;
    if (!CheckEvents(name, scene, lastFrame, host, quiet)) return kExitFailure;
    // The text is kept only to be saved with the scene.
    if (save.path.empty()) std::string().swap(text);
    if (!runtime.Build(std::move(scene), std::move(text), &error)) return Fail(name + ": " + error);
  }
  if (!quiet) {
    std::vector<SceneFinding> loops;
    AddLoopFindings(runtime.GetScene(), DescribeLinks(runtime, true), &loops);
    Warn(name, loops, quiet);
  }
  if (options.hasWatch && !runtime.Watch(WatchedIds(runtime.GetScene(), options.watch), &error)) {
    return Fail("--watch: " + error);
  }
  if (options.hasFrames) frames = options.frames;
  runtime.Run(frames, observer, &Progress::Update, &progress);
  if (!save.path.empty()) {
    std::vector<uint8_t> bytes;
    if (!SaveScene(runtime, &bytes, &error)) return Fail(error);
    const std::string_view file(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!WriteOutputFile(save, file, options.scene, options.force, &error)) return Fail(error);
  }
  if (!report.path.empty() &&
      !WriteOutputFile(report, ReportPage(runtime, record), options.scene, options.force, &error)) {
    return Fail(error);
  }
  if (options.strict && runtime.FailedCalls() > 0) {
    Fail("--strict: " + std::to_string(runtime.FailedCalls()) + " call evaluation(s) answered 1.0 or 3.0, the first " +
         runtime.FirstFailedCall());
    return kExitStrict;
  }
  return kExitOk;
}

}  // namespace dravik
