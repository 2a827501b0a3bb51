#include <cstdio>
#include <string>

#include "hostapi/engine_interface.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/graph_layout.h"
#include "runner/output/output_file.h"
#include "runner/output/scene_graph.h"
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
  const OutputFile output{OutputKind::kGraph, "-o", options.output};
  std::string error;
  if (!options.output.empty() && !CheckOutputFiles({output}, options.scene, options.force, &error)) {
    return Fail(error);
  }
  HostEnvironment host;
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
  if (options.svg) {
    if (!LayOutSvg(dot, &out, &error)) return Fail(error);
    // After the XML declaration, the mark a later `graph -o` knows the file by.
    const size_t declarationEnd = out.rfind("<?xml", 0) == 0 ? out.find('\n') : std::string::npos;
    if (declarationEnd != std::string::npos) out.insert(declarationEnd + 1, std::string(kGraphSvgMarker) + "\n");
  }
  if (options.output.empty()) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : Fail("cannot write the graph to the standard output");
  }
  return WriteOutputFile(output, out, options.scene, options.force, &error) ? kExitOk : Fail(error);
}

}  // namespace dravik
