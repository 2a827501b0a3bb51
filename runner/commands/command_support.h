// What the dravik commands share: the one-line failure, reading files and
// JSON scenes, and loading the channel modules of a folder.
#ifndef RUNNER_COMMANDS_COMMAND_SUPPORT_H_
#define RUNNER_COMMANDS_COMMAND_SUPPORT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace dravik {

class HostEnvironment;
class SceneRuntime;
struct Scene;

// Writes "dravik: <what>" on stderr (after flushing stdout) and returns
// kExitFailure.
int Fail(const std::string& what);

// Loads the modules of `dir` (the default folder when empty); refused
// modules are reported on stderr and skipped. False with *error when the
// folder cannot be read.
bool LoadModules(HostEnvironment& host, const std::string& dir, std::string* error);

// The JSON scene of `path` (empty: none, and true). False with *error for an
// unreadable file, a saved file, or a malformed scene.
bool ReadJsonScene(const std::string& path, Scene* scene, std::string* text, std::string* error);

// Builds the JSON scene or loads the saved file of `path` (empty: the
// default scene) into `runtime`, which must be new. *framesLeft (when not
// null) is set to the frames a run goes on for by default, *saved to
// whether `path` was a saved file. False with *error naming the file and
// what is wrong.
bool OpenScene(const std::string& path, SceneRuntime& runtime, uint32_t* framesLeft, bool* saved,
               std::string* error);

// The parts of `list` between commas ("a,,b" has an empty part; "" has
// none).
std::vector<std::string> SplitList(const std::string& list);

}  // namespace dravik

#endif  // RUNNER_COMMANDS_COMMAND_SUPPORT_H_
