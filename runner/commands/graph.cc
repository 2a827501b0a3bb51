#include <cstdio>
#include <string>

#include "hostapi/engine_interface.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/atomic_file.h"
#include "runner/output/graph_layout.h"
#include "runner/output/scene_graph.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {
namespace {

class SilentObserver final : public RunObserver {
 public:
  void OnBegin(const Scene&, uint32_t, uint32_t, const std::vector<ChannelValue>&) override {}
  void OnNote(uint32_t, const std::string&) override {}
  void OnFrame(uint32_t, const std::vector<ChannelValue>&) override {}
  void OnEnd() override {}
};

}  // namespace

int GraphCommand(const GraphOptions& options) {
  if (!options.output.empty() && !options.scene.empty() && SameFile(options.output, options.scene)) {
    return Fail("not writing the graph over its own scene '" + Printable(options.output, 200) + "'");
  }
  HostEnvironment host;
  std::string error;
  if (!LoadModules(host, options.modulesDir, &error)) return Fail(error);
  QuietMessages quiet;
  SceneRuntime runtime(host);
  bool saved = false;
  if (!OpenScene(options.scene, runtime, nullptr, &saved, &error)) return Fail(error);
  if (options.hasFrames) {
    SilentObserver silent;
    runtime.Run(options.frames, silent);
  }
  const std::string dot = GraphDot(DescribeScene(runtime, saved || options.hasFrames));
  std::string out = dot;
  if (options.svg && !LayOutSvg(dot, &out, &error)) return Fail(error);
  if (options.output.empty()) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : Fail("cannot write the graph to the standard output");
  }
  return WriteFileAtomically(options.output, out, &error) ? kExitOk : Fail(error);
}

}  // namespace dravik
