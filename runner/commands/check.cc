#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/commands/scene_check.h"
#include "runner/environment/host_environment.h"
#include "runner/output/printable_text.h"
#include "runner/scene/scene.h"
#include "runner/scene/scene_json.h"

namespace dravik {

int CheckCommand(const std::string& path, const std::string& modulesDir) {
  Scene scene;
  std::string text;
  std::string error;
  if (path.empty()) return Fail("check: give a JSON scene");
  if (!ReadJsonScene(path, &scene, &text, &error)) return Fail(error);
  HostEnvironment host;
  if (!LoadModules(host, modulesDir, &error)) return Fail(error);
  const std::vector<SceneFinding> findings = CheckScene(std::move(scene), std::move(text), host);
  size_t errors = 0;
  size_t warnings = 0;
  for (const SceneFinding& f : findings) {
    const bool isError = f.severity == SceneFinding::Severity::kError;
    (isError ? errors : warnings)++;
    // A build error carries its path in its text.
    const std::string at = f.path.empty() ? "" : Printable(f.path, 200) + ": ";
    std::printf("%s: %s%s: %s\n", Printable(path, 200).c_str(), at.c_str(), isError ? "error" : "warning",
                f.what.c_str());
  }
  std::fflush(stdout);
  std::fprintf(stderr, "dravik: %s: %zu error(s), %zu warning(s)\n", Printable(path, 200).c_str(), errors, warnings);
  return errors > 0 ? kExitFailure : kExitOk;
}

}  // namespace dravik
