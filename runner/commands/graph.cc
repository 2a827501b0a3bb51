#include <cstdio>
#include <string>

#include "hostapi/engine_interface.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/graph_layout.h"
#include "runner/output/output_file.h"
#include "runner/output/scene_graph.h"
#include "runner/output/value_format.h"
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

// "1,000,000 channels and 1,400,000 links".
std::string Size(const SceneGraph& graph) {
  return FormatCount(graph.nodes.size()) + " channels and " + FormatCount(graph.edges.size()) + " links";
}

// The graph as `options` ask for it, laid out in bounded time: a graph dot
// would take minutes over goes to sfdp, and one sfdp would too is refused
// unless forced or condensed. Notes go to stderr.
bool DrawGraph(const SceneGraph& graph, const GraphOptions& options, std::string* out, std::string* error) {
  const size_t elements = graph.nodes.size() + graph.edges.size();
  Layout layout = options.layout;
  if (options.svg && layout == Layout::kAuto) {
    layout = ChooseLayout(elements);
    if (layout == Layout::kCondensed && !options.force) {
      *error = "not laying out " + Size(graph) + " as SVG: past " + FormatCount(kSfdpMaxElements) +
               " nodes and links that takes many minutes (--layout condensed draws a condensed graph, "
               "--force lays it all out)";
      return false;
    }
    if (layout != Layout::kDot) {
      layout = Layout::kSfdp;
      std::fprintf(stderr, "dravik: note: %s are more than dot lays out in seconds; laid out with sfdp "
                   "(--layout chooses)\n", Size(graph).c_str());
    }
  }
  const size_t most = layout == Layout::kDot ? kDotMostElements : kSfdpMostElements;
  if (options.svg && options.layout != Layout::kAuto && layout != Layout::kCondensed && elements > most &&
      !options.force) {
    *error = "not laying out " + Size(graph) + " with " + LayoutName(layout) + ": past " + FormatCount(most) +
             " nodes and links that takes many minutes (--layout condensed draws a condensed graph, "
             "--force lays it all out)";
    return false;
  }
  std::string dot;
  const char* engine = "dot";
  if (layout == Layout::kCondensed) {
    const SceneGraph condensed = CondenseGraph(graph, kCondensedMaxNodes);
    std::fprintf(stderr, "dravik: note: condensed graph: %s\n", condensed.condensed.c_str());
    dot = GraphDot(condensed);
  } else if (layout == Layout::kSfdp) {
    engine = "sfdp";
    dot = GraphDot(graph, options.svg ? std::string() : ", layout=sfdp");
  } else {
    dot = GraphDot(graph);
  }
  std::fflush(stderr);
  if (!options.svg) {
    *out = std::move(dot);
    return true;
  }
  return LayOutSvg(dot, out, error, engine);
}

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
  std::string out;
  if (!DrawGraph(DescribeScene(runtime, saved || options.hasFrames), options, &out, &error)) return Fail(error);
  if (options.svg) {
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
