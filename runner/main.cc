// dravik: a host program for the procedure-call channel module. See
// examples/README.md for the scene format and `dravik --help`.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "runner/commands/commands.h"
#include "runner/output/printable_text.h"

namespace {

constexpr const char kDescription[] =
    "dravik: a host for channel modules. It loads modules from a folder the way an engine does,\n"
    "builds scenes of value, vector, object and procedure-call channels, evaluates them frame\n"
    "by frame, saves and loads them in the engine's tagged file, and shows what is inside.";

constexpr const char kExitCodes[] =
    "Exit codes: 0 success; 1 failure (a missing or unreadable file, a malformed scene, a bad link or event,\n"
    "a missing or refused module, a damaged saved file, a refused output file); 2 a command line dravik does not\n"
    "understand, or a file given to dump or diff that is not a saved file; 3 dump found damage;\n"
    "4 run --strict saw a call answer 1.0 or 3.0.";

// A parser error as the one line every failure is: "dravik: <what>".
int UsageError(const CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
  std::string what = dravik::Printable(e.what(), 300);
  const CLI::App* command = nullptr;
  std::string commands;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    commands += (commands.empty() ? "" : ", ") + sub->get_name();
    if (argc > 1 && sub->get_name() == argv[1]) command = sub;
  }
  if (argc > 1 && argv[1][0] != '-' && command == nullptr) {
    what = "unknown command '" + dravik::Printable(argv[1], 60) + "' (commands: " + commands + ")";
  }
  // "The following argument ..." reads "the following ..."; an argument's
  // name ("B is required") stays as --help shows it.
  bool namesArgument = false;
  for (const CLI::Option* option : command ? command->get_options() : std::vector<const CLI::Option*>()) {
    namesArgument = namesArgument || what.rfind(option->get_name() + " ", 0) == 0;
  }
  if (!namesArgument && what.size() > 1 && std::isupper(static_cast<unsigned char>(what[0])) &&
      !std::isupper(static_cast<unsigned char>(what[1]))) {
    what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
  }
  std::fflush(stdout);
  std::fprintf(stderr, "dravik: %s (see dravik --help)\n", what.c_str());
  return dravik::kExitUsage;
}

// A count of frames: a whole number from 0 to kMaxFrames.
CLI::Validator FrameCount() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        const std::string shown = "'" + dravik::Printable(text, 40) + "'";
        if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
          char* end = nullptr;
          std::strtod(text.c_str(), &end);
          const bool number = !text.empty() && end == text.c_str() + text.size();
          return shown + (number ? " is not a whole number from 0 to " + std::to_string(dravik::kMaxFrames)
                                 : std::string(" is not a number"));
        }
        const size_t first = text.find_first_not_of('0');
        const std::string digits = first == std::string::npos ? "0" : text.substr(first);
        if (digits.size() > 8 || std::stoul(digits) > dravik::kMaxFrames) {
          return shown + " is more than " + std::to_string(dravik::kMaxFrames);
        }
        return std::string();
      },
      "0.." + std::to_string(dravik::kMaxFrames));
}

int Main(int argc, char** argv) {
  CLI::App app{kDescription, "dravik"};
  app.footer(kExitCodes);
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
      ->check(FrameCount());
  runCmd->add_option("--modules", run.modulesDir,
                     "Folder of channel modules, each named <type GUID>.so (default: modules/ beside dravik).");
  runCmd->add_option("--save", run.saveTo, "Save the whole scene to this file after the last frame.");
  runCmd->add_option("--report", run.reportTo, "Write an HTML report of the run (graph, plots, statuses, "
                                              "messages) to this file; it opens offline.");
  runCmd->add_option("--format,-f", format, "Output: table (default), csv or jsonl.")
      ->check(CLI::IsMember({"table", "csv", "jsonl"}));
  runCmd->add_flag("--force", run.force, "Let --save and --report replace a file that is not a saved scene or a "
                                          "report of dravik's.");
  runCmd->add_flag("--strict", run.strict, "Exit 4 when any call answered 1.0 or 3.0 in any frame.");
  CLI::Option* verboseFlag = runCmd->add_flag("-v,--verbose", verbose, "Show more message levels (-v info, -vv debug).");
  runCmd->add_flag("-q,--quiet", quiet, "Show only alerts (table and csv).")->excludes(verboseFlag);
  runCmd
      ->add_option_function<std::string>(
          "--watch", [&run](const std::string& id) { run.watch.push_back(id); },
          "Watch this channel instead of the scene's; give it once per channel (or ids separated by commas).")
      ->type_name("ID")
      ->trigger_on_parse();

  dravik::GraphOptions graph;
  std::string graphFormat = "dot";
  CLI::App* graphCmd = app.add_subcommand("graph", "Draw a scene as a graph: DOT (default) or SVG.");
  graphCmd->add_option("SCENE", graph.scene, "A JSON scene or a saved file (default: the built-in tour).");
  graphCmd->add_option("--format,-f", graphFormat, "Output: dot (default) or svg, laid out by Graphviz.")
      ->check(CLI::IsMember({"dot", "svg"}));
  graphCmd->add_option("-o,--output", graph.output, "Write to this file (replaced whole) instead of stdout.");
  graphCmd->add_option("--frames,-n", graph.frames, "Run this many frames first and colour each procedure call "
                                                    "by its last status (a saved file has them already).")
      ->check(FrameCount());
  graphCmd->add_option("--modules", graph.modulesDir, "Folder of channel modules (default: modules/ beside dravik).");
  std::string graphLayout = "auto";
  graphCmd->add_option("--layout", graphLayout, "auto (default: dot for small graphs, sfdp for large ones), dot, "
                                                "sfdp, or condensed (groups as nodes, or the failed calls and "
                                                "their neighbours).")
      ->check(CLI::IsMember({"auto", "dot", "sfdp", "condensed"}));
  graphCmd->add_flag("--force", graph.force, "Lay an SVG out however many channels it has, and let -o replace a "
                                              "file that is not a graph of dravik's.");

  dravik::InspectOptions inspect;
  std::string inspectFormat = "text";
  CLI::App* inspectCmd = app.add_subcommand("inspect", "Everything about one channel at one frame.");
  inspectCmd->add_option("SCENE", inspect.scene, "A JSON scene or a saved file.")->required();
  inspectCmd->add_option("CHANNEL", inspect.channel, "The channel's scene id.")->required();
  inspectCmd->add_option("--frame", inspect.frame, "The frame (default: the last frame `run` would reach).")
      ->check(FrameCount());
  inspectCmd->add_option("--format,-f", inspectFormat, "Output: text (default) or json.")
      ->check(CLI::IsMember({"text", "json"}));
  inspectCmd->add_option("--modules", inspect.modulesDir, "Folder of channel modules (default: modules/ beside dravik).");

  std::string checkScene;
  std::string checkModules;
  CLI::App* checkCmd = app.add_subcommand("check", "Check a JSON scene without running it: errors and warnings.");
  checkCmd->add_option("SCENE", checkScene, "The JSON scene.")->required();
  checkCmd->add_option("--modules", checkModules, "Folder of channel modules (default: modules/ beside dravik).");

  std::string dumpFile;
  CLI::App* dumpCmd = app.add_subcommand("dump", "Show every record of a saved file as a tree.");
  dumpCmd->add_option("FILE", dumpFile, "The saved file.")->required();
  bool dumpScene = false;
  dumpCmd->add_flag("--scene", dumpScene, "Write the scene JSON the file carries, whole, instead of the tree.");

  std::string diffA;
  std::string diffB;
  CLI::App* diffCmd = app.add_subcommand("diff", "Compare two saved files record by record and entry by entry "
                                                  "(exit 0 equal, 1 different, 2 trouble).");
  diffCmd->add_option("A", diffA, "The first saved file.")->required();
  diffCmd->add_option("B", diffB, "The second saved file.")->required();

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
    if (run.force && run.saveTo.empty() && run.reportTo.empty()) {
      throw CLI::ValidationError("--force", "needs --save or --report, whose file it may replace");
    }
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() != 0) return UsageError(app, e, argc, argv);
    return app.exit(e) == 0 ? dravik::kExitOk : dravik::kExitUsage;  // --help, --version
  }

  if (runCmd->parsed()) {
    run.hasFrames = runCmd->count("--frames") > 0;
    run.format = format == "csv" ? dravik::OutputFormat::kCsv
                 : format == "jsonl" ? dravik::OutputFormat::kJsonl
                                     : dravik::OutputFormat::kTable;
    run.maxLevel = quiet ? 0 : 1 + verbose;
    run.hasWatch = runCmd->count("--watch") > 0;
    return dravik::RunCommand(run);
  }
  if (graphCmd->parsed()) {
    graph.hasFrames = graphCmd->count("--frames") > 0;
    graph.svg = graphFormat == "svg";
    graph.layout = graphLayout == "dot" ? dravik::Layout::kDot
                   : graphLayout == "sfdp" ? dravik::Layout::kSfdp
                   : graphLayout == "condensed" ? dravik::Layout::kCondensed
                                                : dravik::Layout::kAuto;
    return dravik::GraphCommand(graph);
  }
  if (inspectCmd->parsed()) {
    inspect.hasFrame = inspectCmd->count("--frame") > 0;
    inspect.json = inspectFormat == "json";
    return dravik::InspectCommand(inspect);
  }
  if (checkCmd->parsed()) return dravik::CheckCommand(checkScene, checkModules);
  if (dumpCmd->parsed()) return dravik::DumpCommand(dumpFile, dumpScene);
  if (diffCmd->parsed()) return dravik::DiffCommand(diffA, diffB);
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
