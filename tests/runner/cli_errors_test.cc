// Every failure of dravik: one line "dravik: ..." on stderr, nothing on
// stdout, the documented exit code; never a crash, never a file written
// over or half-written.
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/zyr_file.h"
#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace runner_testing {
namespace {

namespace fs = std::filesystem;

const char kScene[] = R"({"frames": 2, "channels": [{"id": "x", "type": "value"}]})";

class Failures : public ::testing::Test {
 protected:
  testing_support::ScratchDir dir;
  const std::string scene = WriteFile(dir.File("scene.json"), kScene);
  const std::string none = dir.File("none");
};

TEST_F(Failures, CommandLinesAndFilesGiveOneLineAndTheirExitCode) {
  const std::string saved = dir.File("saved.zyr");
  ASSERT_EQ(RunDravik({"run", scene, "--save", saved, "-q"}).exitCode, 0);
  const std::string notes = WriteFile(dir.File("notes.txt"), "my notes");
  const std::string other = WriteFile(dir.File("other.json"), kScene);
  const std::string tour = Example("tour.json");
  fs::create_symlink(scene, dir.File("alias.json"));
  // A folder that takes no new file (root ignores permissions, not /sys).
  std::string locked = "/sys";
  if (geteuid() != 0) {
    locked = dir.File("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  }
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string part;
  } cases[] = {
      // Command lines dravik does not understand.
      {{}, 2, "a subcommand is required"},
      {{"fly"}, 2, "unknown command 'fly' (commands: run, "},
      {{"run", "--format", "xml"}, 2, "--format: xml not in {table,csv,jsonl}"},
      {{"run", "-n", "-1"}, 2, "--frames: '-1' is not a whole number from 0 to 10000000"},
      {{"graph", "--frames", "abc"}, 2, "--frames: 'abc' is not a number"},
      {{"dump"}, 2, "FILE is required"},
      {{"diff", scene}, 2, ": B is required"},
      {{"run", scene, "--force"}, 2, "--force: needs --save or --report"},
      {{"run", scene, "-q", "-v"}, 2, "excludes"},
      {{"run", "--bogus"}, 2, "the following argument was not expected: --bogus"},
      {{"graph", scene, "-f", "png"}, 2, "png"},
      // Inputs that are missing or not what the command reads.
      {{"run", none}, 1, "cannot open '" + none + "': No such file"},
      {{"dump", none}, 1, "cannot open '" + none + "': No such file or directory"},
      {{"graph", none}, 1, "cannot open '" + none + "'"},
      {{"diff", saved, none}, 2, "cannot open '" + none + "'"},
      {{"diff", tour, saved}, 2, "tour.json: not a saved file"},
      {{"dump", tour}, 2, "tour.json: not a saved file"},
      {{"dump", tour, "--scene"}, 2, "tour.json: not a saved file"},
      {{"run", dir.Path().string()}, 1, "it is a folder"},
      {{"run", "--modules", none}, 1, "modules folder '" + none + "' does not exist"},
      {{"run", "--watch", "t,zz"}, 1, "dravik: --watch: no channel 'zz' to watch"},
      {{"inspect", saved, "x", "--frame", "1"}, 1, "dravik: --frame 1: the file was saved after frame 2"},
      {{"inspect", tour, "nope"}, 1, "tour.json: no channel 'nope'"},
      // Outputs, refused before the first frame (nothing on stdout): never
      // the scene, nor a file of another kind than the command writes.
      {{"run", scene, "--save", dir.File("alias.json"), "--force"}, 1, "is the scene itself; write to another file"},
      {{"run", saved, "--save", saved}, 1,
       "(or give --force to replace the saved scene with its continuation)"},
      {{"run", scene, "--save", notes}, 1,
       "notes.txt' exists and is not a saved scene; give --force to replace it"},
      {{"run", scene, "--save", locked + "/out.zyr"}, 1, "cannot write in folder '" + locked + "'"},
      {{"run", scene, "--save", dir.Path().string()}, 1, "it is a folder"},
      {{"run", scene, "--report", saved}, 1, "--report '" + saved + "' exists and is not a dravik report; give"},
      {{"run", scene, "--report", none + "/r.html"}, 1, "/r.html': folder '" + none + "' does not exist"},
      {{"run", scene, "--report", scene, "--force"}, 1, "--report '" + scene + "' is the scene itself"},
      {{"run", scene, "--report", none, "--save", none}, 1, "--save '" + none + "' is also the --report file"},
      {{"graph", scene, "-o", other}, 1, "-o '" + other + "' exists and is not a dravik graph; give --force"},
      {{"graph", scene, "-o", scene}, 1, "-o '" + scene + "' is the scene itself"},
      {{"graph", scene, "-o", "/dev/null", "--force"}, 1, "-o '/dev/null' is not a regular file"},
  };
  for (const auto& c : cases) ExpectFailure(RunDravik(c.args), c.exitCode, c.part);
  EXPECT_EQ(ReadFile(scene), kScene);
  EXPECT_EQ(ReadFile(notes), "my notes");
  EXPECT_EQ(ReadFile(other), kScene);
  // Each output replaces its own kind: a report, a graph as DOT or SVG.
  const std::string report = dir.File("r.html");
  const std::string graph = dir.File("g.dot");
  for (const char* format : {"dot", "svg", "dot"}) {
    EXPECT_EQ(RunDravik({"run", scene, "-q", "--report", report}).exitCode, 0);
    EXPECT_EQ(RunDravik({"graph", scene, "-o", graph, "-f", format}).exitCode, 0) << format;
  }
  // --force replaces a foreign file, and a saved scene by its continuation.
  EXPECT_EQ(RunDravik({"run", scene, "--save", notes, "--force", "-q"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"run", saved, "--save", saved, "--force", "-q"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"run", notes, "-q"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"graph", scene, "-o", other, "--force"}).exitCode, 0);
}

// A scene of a value 'x', a vector 'v', an object channel 'o' and a call
// 'c' with the fields `call`, and `more` after the channels.
std::string WithCall(const std::string& call, const std::string& more = "") {
  return R"({"channels": [{"id": "x", "type": "value"}, {"id": "v", "type": "vector"},
    {"id": "o", "type": "object", "object": null}, {"id": "c", "type": "call", "owner": "Math", )" + call + "}]" +
         more + "}";
}

TEST_F(Failures, ScenesRunRefusesNameTheJsonPath) {
  const std::pair<std::string, std::string> cases[] = {  // scene, error
      {"{\n  \"frames\": 3,\n  \"channels\": [ }\n", "line 3, column 17: not valid JSON"},
      {"{\n  \"frames\": 1e309}", "scene.json: line 2, column 13: number 1e309 is out of range"},
      {R"({"channels": [{"id": "x", "type": "value", "id": "y"}]})", "/channels/0/id: key 'id' given twice"},
      {R"({"frames": -2})", "/frames: must be from 0 to 10000000"},
      {R"({"procedures": [{"owner": "S", "name": "P",
        "params": [{"name": "y", "mode": "out"}], "outputs": {"y": "1 +* nosuch"}}]})",
       "/procedures/0/outputs/y: "},
      {R"({"procedures": [{"owner": "S", "name": "P", "params": [{"name": "x\"q"}, {"name": "y", "mode": "out"}],
        "outputs": {"y": "1"}}]})",
       "/procedures/0/params/0/name: parameter 'x\"q' cannot be read by an expression"},
      {WithCall(R"("procedure": "Add", "links": {"a": "zzz"})"), "/channels/3/links/a: no channel 'zzz'"},
      {WithCall(R"("procedure": "Sin", "links": {"x": "v"})"),
       "/channels/3/links/x: link 'x' takes a \"Value\" channel, not the vector channel 'v'"},
      {WithCall(R"("procedure": "Add", "links": {"a": "x", "c": "x"})"),
       "scene.json: /channels/3/links/c: procedure Math::Add has no parameter 'c'"},
      {WithCall(R"("procedure": "Sin", "links": {"This": "o"})"),
       "/channels/3/links/This: procedure Math::Sin is static, so it has no \"This\" link"},
      {WithCall(R"("procedure": "Gone", "links": {"a": "x"})"),
       "procedure Math::Gone is not registered, so its parameters are unknown"},
      {WithCall(R"("procedure": "Sin", "links": {"x": "c"})"),
       "/channels/3/links/x: call 'c' is plugged into its own link: a call cannot read itself"},
      {WithCall(R"("procedure": "Sin")", R"(, "events": [{"frame": 3, "remove": {"owner": "Math", "procedure": "Sin"}},
        {"frame": 4, "link": {"channel": "c", "param": "y", "source": null}}])"),
       "/events/1/link/param: call 'c' never has a link 'y' from frame 4 on"},
  };
  for (const auto& [text, part] : cases) ExpectFailure(RunDravik({"run", WriteFile(scene, text)}), 1, part);
}

// A module whose record disagrees with its file name is refused and named
// on stderr; with no procedure-call module a scene of calls cannot run, and
// one without calls still runs. (Each reason for refusing a module is
// checked by the module loader's tests in tests/host.)
TEST_F(Failures, RefusedModulesAreNamedAndScenesWithoutCallsStillRun) {
  const std::string renamed = dir.File("renamed");
  fs::create_directory(renamed);
  const std::string copy = renamed + "/11111111-2222-3333-4444-555555555555.so";
  fs::copy_file(std::string(VPC_MODULES_DIR) + "/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so", copy);
  const Result tour = RunDravik({"run", "--modules", renamed});
  EXPECT_EQ(tour.exitCode, 1);
  EXPECT_EQ(tour.out, "");
  EXPECT_EQ(tour.err, "dravik: module refused: " + copy +
                          ": record's type GUID C7653FCA-6B0C-44FA-936F-EA1952B129F0 differs from the file name's\n"
                          "dravik: the default scene: /channels/14: no module provides the procedure-call channel "
                          "type C7653FCA-6B0C-44FA-936F-EA1952B129F0 (looked in '" +
                          renamed + "'; use --modules DIR)\n");
  const Result plain = RunDravik({"run", scene, "--modules", renamed, "-f", "csv"});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(plain.out, "frame,channel,name,kind,value,x,y,z\n1,x,x,value,0,,,\n2,x,x,value,0,,,\n");
}

// Damage behind a checksum made good again reaches the record's readers;
// left as it is, the checksum refuses the record. (Every cut and every
// damaged byte is refused in tests/fault, which checks no error text.)
TEST_F(Failures, DamagedSavedFilesAreRefusedAndNothingIsSaved) {
  const std::string saved = dir.File("saved.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "4", "--save", saved, "-q"}).exitCode, 0);
  const std::string bytes = ReadFile(saved);
  std::string unsealed = bytes;
  unsealed[unsealed.find("FRAM") + 8] = '\x7f';
  std::vector<std::pair<std::string, std::string>> damaged = {
      {bytes.substr(0, bytes.size() / 2), "damaged file"},
      {unsealed, "damaged file: record at offset 8 fails its checksum"}};
  const struct {
    std::string anchor;
    size_t offset;
    char value;
    std::string part;
  } resealed[] = {
      {"OBJS", 8, '\x7f', "\"OBJS\" entry counts"},  // a huge object count
      {"FVAL", 4, 3, "damaged file"},                   // a 3-byte value block
      {"\"frames\"", 0, '#', "the saved scene is damaged: line"},
      {"CHSC", 8, 'Q', "channel 'Q' is not in the scene"},  // scene id "t" -> "Q"
      {"ZYRF", 8, '\x7f', "not a dravik scene file"},       // the record's type GUID
  };
  for (const auto& c : resealed) {
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    const size_t at = bytes.find(c.anchor);
    ASSERT_NE(at, std::string::npos) << c.anchor;
    file[at + c.offset] = static_cast<uint8_t>(c.value);
    ZyrResealRecords(&file);
    damaged.emplace_back(std::string(file.begin(), file.end()), c.part);
  }
  for (const auto& [file, part] : damaged) {
    ExpectFailure(RunDravik({"run", WriteFile(dir.File("damaged.zyr"), file), "--save", none}), 1, part);
    EXPECT_FALSE(fs::exists(none));
  }
}

// A full disk (a 2 kB file size limit, which the tour's outputs pass),
// SIGINT or SIGTERM while the frames run or while a file is written (the
// run stopped in the write's flush), a scene file that changes or goes
// while it is read: nothing that was to be replaced is lost, no temporary
// file is left, and a failure is one line, exit 1.
TEST_F(Failures, FullDisksInterruptsAndChangingScenesLoseNothing) {
  const std::string saved = dir.File("s.zyr");
  const std::string report = dir.File("r.html");
  const std::string graph = dir.File("g.dot");
  ASSERT_EQ(RunDravik({"run", scene, "-q", "--save", saved, "--report", report}).exitCode, 0);
  ASSERT_EQ(RunDravik({"graph", scene, "-o", graph}).exitCode, 0);
  const std::string old = ReadFile(saved) + ReadFile(report) + ReadFile(graph);
  const auto files = [&] { return std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()); };
  const auto before = files();
  testing_support::ScratchDir scenes;
  const std::string changing = WriteFile(scenes.File("changing.json"), kScene);
  const std::string gone = WriteFile(scenes.File("gone.json"), kScene);
  const std::vector<std::string> run = {"run", "-f", "jsonl", "--frames", "10000000", "--save", saved, "--report", report};
  const std::string stop = "DRAVIK_TEST_FAULT=stop-on-fsync";
  const struct {
    std::vector<std::string> args;
    std::string fault;  // "ulimit", or one of file_faults.cc
    int signal;         // sent once the frames run, or once stopped
    std::string err;    // the failure; none: exit 0 or the signal
  } cases[] = {
      {{"run", "-q", "-f", "csv", "--frames", "0", "--save", saved}, "ulimit", 0,
       "cannot write --save '" + saved + "': File too large"},
      {{"run", "-q", "-f", "csv", "--frames", "0", "--report", report}, "ulimit", 0,
       "cannot write --report '" + report + "': File too large"},
      {{"graph", "-o", graph}, "ulimit", 0, "cannot write -o '" + graph + "': File too large"},
      {run, "", SIGINT, ""},
      {run, "", SIGTERM, ""},
      {{"run", "-q", "--save", saved, "--report", report}, stop, SIGINT, ""},
      {{"run", "-q", "--report", report}, stop, SIGTERM, ""},
      {{"run", changing}, "DRAVIK_TEST_FAULT=append:" + changing, 0,
       "cannot read '" + changing + "': it changed while dravik read it; try again once it is written"},
      {{"run", gone, "-q"}, "DRAVIK_TEST_FAULT=remove:" + gone, 0, ""},  // read whole before it went
  };
  for (const auto& c : cases) {
    // gcov writes its counts as the program exits, past the size limit.
    if (VPC_COVERAGE_BUILD && c.fault == "ulimit") continue;
    std::vector<std::string> line = DravikLine(c.args);
    if (c.fault == "ulimit") line.insert(line.begin(), {"/bin/sh", "-c", "ulimit -f 2 && exec \"$0\" \"$@\""});
    std::vector<std::string> env;
    if (c.fault.rfind("DRAVIK", 0) == 0) {  // file_faults.cc, loaded before a sanitizer's runtime
      const char* asan = std::getenv("ASAN_OPTIONS");
      env = {"LD_PRELOAD=" VPC_FILE_FAULTS, c.fault,
             "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0"};
    }
    Process p(line, env);
    int status = 0;
    if (c.fault == stop) {
      ASSERT_EQ(waitpid(p.Pid(), &status, WUNTRACED), p.Pid());
    } else {  // until the frames run
      for (int i = 0; i < 10000 && c.signal && fs::file_size(p.OutPath()) == 0; ++i) usleep(1000);
    }
    if (c.signal) kill(p.Pid(), c.signal);
    kill(p.Pid(), SIGCONT);
    const Result r = p.Wait();
    EXPECT_EQ(r.signal, c.signal) << r.err;
    EXPECT_EQ(r.err, c.err.empty() || c.signal ? "" : "dravik: " + c.err + "\n");
    EXPECT_EQ(r.exitCode, c.signal ? -1 : c.err.empty() ? 0 : 1);
    EXPECT_EQ(ReadFile(saved) + ReadFile(report) + ReadFile(graph), old) << c.args.back();
    EXPECT_EQ(files(), before);
  }
  EXPECT_FALSE(fs::exists(gone));
}

}  // namespace
}  // namespace runner_testing
