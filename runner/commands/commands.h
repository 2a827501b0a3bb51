// The dravik commands, each returning the program's exit code:
//   0 success; 1 failure (a missing or unreadable file, a malformed scene,
//   a bad link, a missing or refused module, a damaged saved file); 2 usage
//   errors (from the command line parser, and a file given to `dump` or
//   `diff` that is not a saved file); 3 `dump` found damage; 4 `run
//   --strict` saw a call answer 1.0 or 3.0.
// Every failure is one line "dravik: <what>" on stderr.
#ifndef RUNNER_COMMANDS_COMMANDS_H_
#define RUNNER_COMMANDS_COMMANDS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "runner/output/graph_layout.h"
#include "runner/output/reporter.h"
#include "runner/procedures/procedure_library.h"

namespace dravik {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitDamaged = 3;
inline constexpr int kExitStrict = 4;

struct RunOptions {
  std::string scene;        // JSON scene or saved file; empty: the default scene
  std::string modulesDir;   // empty: DefaultModulesDirectory()
  bool hasFrames = false;
  uint32_t frames = 0;
  std::string saveTo;       // empty: no save
  bool force = false;       // --save and --report may replace files of other kinds
  bool strict = false;      // exit kExitStrict when a call answered 1.0 or 3.0
  std::string reportTo;     // empty: no HTML report
  OutputFormat format = OutputFormat::kTable;
  int maxLevel = 1;         // highest message level shown (table, csv)
  bool hasWatch = false;    // watch the channels of `watch` instead of the scene's
  std::vector<std::string> watch;  // the --watch values (see WatchedIds)
  // Added to the procedure library before the scene is built or loaded, as
  // if built in (procedures written in Python, for `python3 -m dravik run`).
  std::vector<ProcedureDefinition> procedures;
};

struct GraphOptions {
  std::string scene;       // JSON scene or saved file; empty: the default scene
  std::string modulesDir;  // empty: DefaultModulesDirectory()
  bool hasFrames = false;  // run `frames` frames first and show the statuses
  uint32_t frames = 0;
  bool svg = false;        // SVG laid out by Graphviz; otherwise DOT
  std::string output;      // empty: stdout
  Layout layout = Layout::kAuto;
  bool force = false;      // -o may replace a file that is not a dravik graph; SVG laid out however long it takes
};

struct InspectOptions {
  std::string scene;       // JSON scene or saved file; empty: the default scene
  std::string channel;     // scene id
  std::string modulesDir;  // empty: DefaultModulesDirectory()
  bool hasFrame = false;   // otherwise the last frame `run` would reach
  uint32_t frame = 0;
  bool json = false;
};

// `dravik run`: loads the modules, builds or loads the scene, runs it,
// reports, and saves when asked.
int RunCommand(const RunOptions& options);
// `dravik graph`: the scene as a DOT or SVG graph (see scene_graph.h);
// call channels show their last status after --frames or from a saved file.
// An SVG is laid out in bounded time (see DrawGraph in graph.cc).
int GraphCommand(const GraphOptions& options);
// `dravik inspect`: one channel at one frame: kind, engine name, group;
// for a call channel its procedure, static flag, binding, status, links
// with what they held, and its messages of that frame.
int InspectCommand(const InspectOptions& options);
// `dravik check SCENE`: without running, what `run` would refuse (errors)
// and what will not work as written (warnings), one line each on stdout,
// then their count on stderr (for a clean scene too). 0 with warnings
// only, 1 with errors.
int CheckCommand(const std::string& path, const std::string& modulesDir);
// `dravik dump FILE`: the file as a tree; with `sceneOnly`, the scene JSON
// it carries, whole.
int DumpCommand(const std::string& path, bool sceneOnly);
// `dravik diff A B`: the saved files record by record and entry by entry,
// decoded as `dump` decodes them. 0 equal, 1 they differ (the differences
// on stdout), 2 a file that cannot be read or is not a saved file.
int DiffCommand(const std::string& pathA, const std::string& pathB);
// `dravik procedures [OWNER]`: the built-in procedures and those of
// `sceneFile` (a JSON scene; may be empty).
int ProceduresCommand(const std::string& owner, const std::string& sceneFile);
// `dravik modes OWNER`: the modes a procedure-call channel offers for OWNER.
int ModesCommand(const std::string& owner, const std::string& modulesDir, const std::string& sceneFile);

// Largest file `run` and `dump` read (a saved file of the largest scene is
// far smaller).
inline constexpr uintmax_t kMaxInputBytes = uintmax_t{1} << 30;

// Reads a whole file, once, into memory. False with *error "cannot open
// 'path': reason" for a missing or unreadable file, a folder, or one over
// kMaxInputBytes, and "cannot read 'path': ..." for one that changed (its
// size or time of change) while it was read.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

}  // namespace dravik

#endif  // RUNNER_COMMANDS_COMMANDS_H_
