#include "runner/commands/command_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"
#include "runner/scene/default_scene.h"
#include "runner/scene/scene_runtime.h"
#include "runner/scene/scene_file.h"
#include "runner/scene/scene_json.h"

namespace dravik {

int Fail(const std::string& what) {
  std::fflush(stdout);
  std::fprintf(stderr, "dravik: %s\n", what.c_str());
  return kExitFailure;
}

bool LoadModules(HostEnvironment& host, const std::string& dir, std::string* error) {
  std::vector<std::string> refused;
  const std::string folder = dir.empty() ? DefaultModulesDirectory() : dir;
  if (!host.LoadModules(folder, &refused, error)) return false;
  for (const std::string& reason : refused) {
    std::fprintf(stderr, "dravik: module refused: %s\n", Printable(reason, 400).c_str());
  }
  return true;
}

bool ReadJsonScene(const std::string& path, Scene* scene, std::string* text, std::string* error) {
  if (path.empty()) return true;
  if (!ReadWholeFile(path, text, error)) return false;
  if (LooksLikeSavedFile(*text)) {
    *error = Printable(path, 200) + ": a saved file; give the JSON scene it was made from";
    return false;
  }
  std::string why;
  if (!LoadSceneJsonText(*text, scene, &why)) {
    *error = Printable(path, 200) + ": " + why;
    return false;
  }
  return true;
}

bool OpenScene(const std::string& path, SceneRuntime& runtime, uint32_t* framesLeft, bool* saved,
               std::string* error) {
  const std::string name = path.empty() ? std::string("the default scene") : Printable(path, 200);
  std::string text;
  if (path.empty()) {
    text = std::string(DefaultSceneText());
  } else if (!ReadWholeFile(path, &text, error)) {
    return false;
  }
  uint32_t frames = 0;
  *saved = LooksLikeSavedFile(text);
  if (*saved) {
    if (!LoadScene(std::vector<uint8_t>(text.begin(), text.end()), path, runtime, error)) return false;
    const uint32_t planned = runtime.GetScene().frames;
    frames = planned > runtime.LastFrame() ? planned - runtime.LastFrame() : 0;
  } else {
    Scene scene;
    if (!LoadSceneJsonText(text, &scene, error)) {
      *error = name + ": " + *error;
      return false;
    }
    frames = scene.frames;
    if (!runtime.Build(std::move(scene), std::move(text), error)) {
      *error = name + ": " + *error;
      return false;
    }
  }
  if (framesLeft != nullptr) *framesLeft = frames;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  const std::string shown = "'" + Printable(path, 200) + "'";
  const auto fail = [&](const std::string& why) {
    *error = why;
    return false;
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail("cannot open " + shown + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat before {};
  if (::fstat(fd, &before) != 0) return fail("cannot read " + shown + ": " + std::strerror(errno));
  if (S_ISDIR(before.st_mode)) return fail("cannot open " + shown + ": it is a folder");
  const bool regular = S_ISREG(before.st_mode);
  const auto size = static_cast<uintmax_t>(before.st_size);
  if (regular && size > kMaxInputBytes) {
    return fail("cannot open " + shown + ": " + std::to_string(size) + " bytes is more than the " +
                std::to_string(kMaxInputBytes) + " a scene or saved file may have");
  }
  // Read once, into memory, to the end; one byte more than a regular file
  // holds tells that it grew meanwhile.
  // Room past the end lets the JSON reader read the text in place.
  std::string all(regular ? static_cast<size_t>(size) + 1 + kJsonReadPadding : size_t{64} << 10, '\0');
  size_t got = 0;
  for (;;) {
    if (got == all.size()) {
      if (all.size() > kMaxInputBytes) return fail("cannot open " + shown + ": more than " +
                                                   std::to_string(kMaxInputBytes) + " bytes");
      all.resize(all.size() * 2);
    }
    const ssize_t n = ::read(fd, all.data() + got, all.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail("cannot read " + shown + ": " + std::strerror(errno));
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  all.resize(got);
  // A file written while it was read may hold part old, part new bytes.
  struct stat after {};
  if (regular && (::fstat(fd, &after) != 0 || got != size || after.st_size != before.st_size ||
                  after.st_mtim.tv_sec != before.st_mtim.tv_sec || after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)) {
    return fail("cannot read " + shown + ": it changed while dravik read it; try again once it is written");
  }
  *bytes = std::move(all);
  return true;
}

std::vector<std::string> WatchedIds(const Scene& scene, const std::vector<std::string>& values) {
  std::vector<std::string> ids;
  for (const std::string& value : values) {
    if (value.empty()) continue;
    if (scene.FindChannel(value) != nullptr) {
      ids.push_back(value);
      continue;
    }
    size_t start = 0;
    for (size_t comma; (comma = value.find(',', start)) != std::string::npos; start = comma + 1) {
      ids.push_back(value.substr(start, comma - start));
    }
    ids.push_back(value.substr(start));
  }
  return ids;
}

}  // namespace dravik
