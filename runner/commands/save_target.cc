#include "runner/commands/save_target.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "runner/scene/scene_file.h"
#include "runner/scene/scene_json.h"

namespace dravik {
namespace {

// Whether the file starts like a saved file (reads its first bytes only).
bool HoldsSavedScene(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char head[8] = {};
  const ssize_t n = ::read(fd, head, sizeof head);
  ::close(fd);
  return n > 0 && LooksLikeSavedFile(std::string_view(head, static_cast<size_t>(n)));
}

}  // namespace

bool CheckSaveTarget(const std::string& savePath, const std::string& scenePath, bool force,
                     std::string* error) {
  const std::string shown = "--save '" + Printable(savePath, 200) + "'";
  struct stat target {};
  if (::stat(savePath.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) {
      *error = shown + ": it is a folder";
      return false;
    }
    struct stat scene {};
    const bool isScene = !scenePath.empty() && ::stat(scenePath.c_str(), &scene) == 0 &&
                         scene.st_dev == target.st_dev && scene.st_ino == target.st_ino;
    const bool saved = HoldsSavedScene(savePath);
    if (isScene && !(saved && force)) {
      *error = shown + " is the scene being run; save to another file" +
               (saved ? " (or give --force to replace the saved scene with its continuation)" : "");
      return false;
    }
    if (!saved && !force) {
      *error = shown + " exists and is not a saved scene; give --force to replace it";
      return false;
    }
  } else if (errno != ENOENT) {
    *error = shown + ": " + std::strerror(errno);
    return false;
  }
  // The folder must take a new file: the save writes a temporary file
  // beside the target and renames it.
  std::filesystem::path folder = std::filesystem::path(savePath).parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    *error = shown + ": folder '" + Printable(folder.string(), 200) + "' does not exist";
    return false;
  }
  std::string probe = (folder / ".dravik-save-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    *error = shown + ": cannot write in folder '" + Printable(folder.string(), 200) + "': " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

}  // namespace dravik
