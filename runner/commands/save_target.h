// Where `dravik run --save` may write, decided before any frame runs so
// that a long run never ends in a refused or destructive save.
#ifndef RUNNER_COMMANDS_SAVE_TARGET_H_
#define RUNNER_COMMANDS_SAVE_TARGET_H_

#include <string>

namespace dravik {

// True when `savePath` may receive a saved scene: its folder exists and a
// file can be created in it, and it is not a folder. An existing file is
// refused when it is `scenePath` itself (the same file however named,
// compared by device and inode; a saved scene may replace itself with
// `force`), or when it is not a saved scene and `force` is not given. On
// refusal returns false with *error one line naming the path and why.
// `scenePath` may be empty (the built-in scene). Creates nothing that
// outlives the call.
bool CheckSaveTarget(const std::string& savePath, const std::string& scenePath, bool force,
                     std::string* error);

}  // namespace dravik

#endif  // RUNNER_COMMANDS_SAVE_TARGET_H_
