// What the dravik commands share: the one-line failure, reading files and
// JSON scenes, and loading the channel modules of a folder.
#ifndef RUNNER_COMMANDS_COMMAND_SUPPORT_H_
#define RUNNER_COMMANDS_COMMAND_SUPPORT_H_

#include <cstdint>
#include <string>

#include "hostapi/engine_interface.h"
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

// The channel ids `--watch` names: a value that is the id of a channel of
// `scene` names that channel; any other holds ids separated by commas
// ("a,,b" has an empty one; "" has none).
std::vector<std::string> WatchedIds(const Scene& scene, const std::vector<std::string>& values);

// Keeps the engine's messages out of a command's output while it lives
// (the bindings made while a scene is built, for commands that show no
// run), then puts the previous sink back.
class QuietMessages {
 public:
  QuietMessages() { globalEngine->SetMessageSink(&QuietMessages::Drop, nullptr, &_oldSink, &_oldContext); }
  ~QuietMessages() { globalEngine->SetMessageSink(_oldSink, _oldContext); }
  QuietMessages(const QuietMessages&) = delete;
  QuietMessages& operator=(const QuietMessages&) = delete;

 private:
  static void Drop(void*, unsigned, const char*) {}
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
};

}  // namespace dravik

#endif  // RUNNER_COMMANDS_COMMAND_SUPPORT_H_
