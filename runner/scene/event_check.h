// Checking a scene's events against the procedures they will meet.
//
// The loader (scene_json.h) checks each event on its own; this check
// replays the procedure events (rename, change_params, remove, register)
// over the procedures a run starts with, frame by frame, as the runtime
// will, and follows every call channel through them (a channel follows a
// rename of its procedure and takes its new parameters). It finds what can
// only fail or do nothing at run time:
//   - rename, change_params or remove of a procedure not registered at the
//     event's frame, rename to a name that is taken, register of a
//     procedure that has no definition or is registered already;
//   - change_params of a procedure defined by expressions giving an output
//     parameter no expression computes;
//   - a link event whose link the call never has from then on (plugging or
//     unplugging), whose source is of a kind the link does not take, or
//     that plugs a call into its own link;
// and warns of events after the last frame, which never happen. Apart from
// those it finds what does nothing: calls to a procedure that no frame up
// to the last registers (each answers 1.0 every frame), renames to the
// same name, unplugging a link that holds nothing and plugging a link with
// the channel it already takes.
#ifndef RUNNER_SCENE_EVENT_CHECK_H_
#define RUNNER_SCENE_EVENT_CHECK_H_

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "runner/output/printable_text.h"
#include "runner/scene/scene.h"

namespace dravik {

struct ProcedureDefinition;

// One thing found, at a JSON path of the scene.
struct SceneFinding {
  enum class Severity { kError, kWarning };
  Severity severity = Severity::kError;
  std::string path;  // e.g. "/events/3/link/source"
  std::string what;  // one line, user text made printable

  std::string Line() const { return Printable(path, 200) + ": " + what; }
};

// What a change_params event of a procedure defined by expressions
// compiles to: the outputs (the event's, or the procedure's own that its
// new parameters keep) and the constants (the procedure's own, then the
// event's over them), as they stand at the event's frame.
struct ExpressionChange {
  std::vector<ParamSpec> params;
  std::map<std::string, std::vector<std::string>> outputs;
  std::map<std::string, double> constants;
};

struct EventCheck {
  std::vector<SceneFinding> findings;  // in event order
  // Warnings of what does nothing, which a run tells in its own way (the
  // calls' messages, "nothing to do" notes): calls, in scene order, then
  // events, in event order. None for an event that has an error.
  std::vector<SceneFinding> idle;
  // The positions in the scene's channels of the calls whose procedure no
  // frame registers (warned of in `idle`).
  std::set<size_t> unregisteredCalls;
  // Event index -> the body to compile, for change_params events that give
  // outputs or constants to a procedure defined by expressions (or outputs
  // to any procedure).
  std::map<size_t, ExpressionChange> bodies;

  bool HasErrors() const;
  // The first error, or null.
  const SceneFinding* FirstError() const;
};

// Replays the events of `scene` over `builtins` (the library's built-in
// definitions; the scene's own procedures replace those of the same name).
// `lastFrame` is the last frame a run evaluates (warnings for events after
// it). Reports rather than fails: any scene the loader accepted gives its
// findings (only running out of memory throws).
EventCheck CheckSceneEvents(const Scene& scene, const std::vector<ProcedureDefinition>& builtins,
                            uint32_t lastFrame);

}  // namespace dravik

#endif  // RUNNER_SCENE_EVENT_CHECK_H_
