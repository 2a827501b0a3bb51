#include "runner/commands/command_support.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
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
  for (const std::string& reason : refused) std::fprintf(stderr, "dravik: module refused: %s\n", reason.c_str());
  return true;
}

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

bool OpenScene(const std::string& path, SceneRuntime& runtime, uint32_t* framesLeft, bool* saved,
               std::string* error) {
  const std::string name = path.empty() ? std::string("the default scene") : path;
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
    if (!LoadSceneJson(text, &scene, error)) {
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
