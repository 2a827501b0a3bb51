// dravik: a host program for the procedure-call channel module. See
// examples/README.md for the scene format and `dravik --help`.
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "runner/commands/commands.h"

namespace {

constexpr const char kDescription[] =
    "dravik: a host for channel modules. It loads modules from a folder the way an engine does,\n"
    "builds scenes of value, vector, object and procedure-call channels, evaluates them frame\n"
    "by frame, saves and loads them in the engine's tagged file, and shows what is inside.";

int Main(int argc, char** argv) {
  CLI::App app{kDescription, "dravik"};
  app.set_version_flag("--version", std::string("dravik ") + DRAVIK_VERSION);
  app.require_subcommand(1);
  app.fallthrough(false);

  dravik::RunOptions run;
  std::string format = "table";
  int verbose = 0;
  bool quiet = false;
  CLI::App* runCmd = app.add_subcommand("run", "Run a scene (the built-in tour when none is given).");
  runCmd->add_option("SCENE", run.scene, "A JSON scene, or a file saved with --save to go on with.");
  runCmd->add_option("--frames,-n", run.frames, "Frames to run (default: the scene's frame count, or what "
                                                "a saved scene has left of it).")
      ->check(CLI::Range(0u, 10'000'000u));
  runCmd->add_option("--modules", run.modulesDir,
                     "Folder of channel modules, each named <type GUID>.so (default: modules/ beside dravik).");
  runCmd->add_option("--save", run.saveTo, "Save the whole scene to this file after the last frame.");
  runCmd->add_option("--format,-f", format, "Output: table (default), csv or jsonl.")
      ->check(CLI::IsMember({"table", "csv", "jsonl"}));
  runCmd->add_flag("-v,--verbose", verbose, "Show more message levels (-v info, -vv debug).");
  runCmd->add_flag("-q,--quiet", quiet, "Show only alerts (table and csv).");

  dravik::GraphOptions graph;
  std::string graphFormat = "dot";
  CLI::App* graphCmd = app.add_subcommand("graph", "Draw a scene as a graph: DOT (default) or SVG.");
  graphCmd->add_option("SCENE", graph.scene, "A JSON scene or a saved file (default: the built-in tour).");
  graphCmd->add_option("--format,-f", graphFormat, "Output: dot (default) or svg, laid out by Graphviz.")
      ->check(CLI::IsMember({"dot", "svg"}));
  graphCmd->add_option("-o,--output", graph.output, "Write to this file (replaced whole) instead of stdout.");
  graphCmd->add_option("--frames,-n", graph.frames, "Run this many frames first and colour each procedure call "
                                                    "by its last status (a saved file has them already).")
      ->check(CLI::Range(0u, 10'000'000u));
  graphCmd->add_option("--modules", graph.modulesDir, "Folder of channel modules (default: modules/ beside dravik).");

  std::string dumpFile;
  CLI::App* dumpCmd = app.add_subcommand("dump", "Show every record of a saved file as a tree.");
  dumpCmd->add_option("FILE", dumpFile, "The saved file.")->required();

  std::string owner;
  std::string sceneFile;
  CLI::App* procsCmd = app.add_subcommand("procedures", "List the registered procedures and their parameters.");
  procsCmd->add_option("OWNER", owner, "Only the procedures of this owner class.");
  procsCmd->add_option("--scene", sceneFile, "Also the procedures this JSON scene defines.");

  std::string modesOwner;
  std::string modesDir;
  CLI::App* modesCmd =
      app.add_subcommand("modes", "Show the modes a procedure-call channel offers for an owner class.");
  modesCmd->add_option("OWNER", modesOwner, "The owner class.")->required();
  modesCmd->add_option("--modules", modesDir, "Folder of channel modules (default: modules/ beside dravik).");
  modesCmd->add_option("--scene", sceneFile, "Also the procedures this JSON scene defines.");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? dravik::kExitOk : dravik::kExitUsage;
  }

  if (runCmd->parsed()) {
    run.hasFrames = runCmd->count("--frames") > 0;
    run.format = format == "csv" ? dravik::OutputFormat::kCsv
                 : format == "jsonl" ? dravik::OutputFormat::kJsonl
                                     : dravik::OutputFormat::kTable;
    run.maxLevel = quiet ? 0 : 1 + verbose;
    return dravik::RunCommand(run);
  }
  if (graphCmd->parsed()) {
    graph.hasFrames = graphCmd->count("--frames") > 0;
    graph.svg = graphFormat == "svg";
    return dravik::GraphCommand(graph);
  }
  if (dumpCmd->parsed()) return dravik::DumpCommand(dumpFile);
  if (procsCmd->parsed()) return dravik::ProceduresCommand(owner, sceneFile);
  return dravik::ModesCommand(modesOwner, modesDir, sceneFile);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Main(argc, argv);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "dravik: internal error: %s\n", e.what());
  } catch (...) {
    std::fflush(stdout);
    std::fprintf(stderr, "dravik: internal error\n");
  }
  return dravik::kExitFailure;
}
