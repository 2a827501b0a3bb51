// Every failure of `dravik run`: one clear line on stderr, a non-zero exit
// code, never a crash and never a half-written file; and usage errors.
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/zyr_file.h"
#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using runner_testing::RunDravik;
using runner_testing::WriteFile;

class RunErrors : public ::testing::Test {
 protected:
  // Runs a scene given as text; expects failure with one line containing `part`.
  void ExpectSceneError(const std::string& scene, const std::string& part) {
    const std::string path = dir.File("scene.json");
    WriteFile(path, scene);
    ExpectFailure({"run", path}, part);
  }
  void ExpectFailure(const std::vector<std::string>& args, const std::string& part) {
    const runner_testing::Result r = RunDravik(args);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(runner_testing::CountLines(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("dravik: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(part), std::string::npos) << "wanted: " << part << "\ngot: " << r.err;
  }

  testing_support::ScratchDir dir;
};

TEST_F(RunErrors, MissingInputsAndMalformedScenesGiveOneLine) {
  ExpectFailure({"run", dir.File("nope.json")}, "cannot open '" + dir.File("nope.json") + "': No such file");
  ExpectFailure({"run", dir.Path().string()}, "it is a folder");
  ExpectFailure({"run", "--modules", dir.File("none")}, "modules folder '" + dir.File("none") + "' does not exist");
  std::filesystem::create_directory(dir.File("empty"));
  ExpectFailure({"run", "--modules", dir.File("empty")},
                "no module provides the procedure-call channel type C7653FCA-6B0C-44FA-936F-EA1952B129F0");
  const std::string x = R"({"id": "x", "type": "value"}, )";
  const struct {
    std::string scene, part;
  } cases[] = {
      {"{\n  \"frames\": 3,\n  \"channels\": [ }\n", "line 3, column 17: not valid JSON"},
      {R"({"channels": [)" + x + R"({"id": "b", "type": "value", "value": "y"}]})", "/channels/1/value: expected a number"},
      {R"({"frames": -2})", "/frames: must be from 0 to 10000000"},
      {R"({"chanels": []})", "/chanels: unknown field 'chanels'"},
      {R"({"channels": [{"id": "c", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "zzz"}}]})",
       "/channels/0/links/a: no channel 'zzz'"},
      {R"({"channels": [{"id": "v", "type": "vector"},
        {"id": "c", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"x": "v"}}]})",
       "/channels/1/links/x: link 'x' takes a \"Value\" channel, not the vector channel 'v'"},
      {R"({"procedures": [{"owner": "S", "name": "P",
        "params": [{"name": "y", "mode": "out"}], "outputs": {"y": "1 +* nosuch"}}]})",
       "/procedures/0/outputs/y: "},
      {R"({"channels": [)" + x + R"({"id": "c", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "x", "c": "x"}}]})",
       "/channels/1/links/c: procedure Math::Add has no parameter 'c'"},
      {R"({"objects": [{"id": "o", "class": "Body"}], "channels": [{"id": "r", "type": "object", "object": "o"},
        {"id": "c", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"This": "r"}}]})",
       "/channels/1/links/This: procedure Math::Sin is static, so it has no \"This\" link"},
      {R"({"channels": [)" + x + R"({"id": "c", "type": "call", "owner": "Nope", "procedure": "Gone", "links": {"a": "x"}}]})",
       "procedure Nope::Gone is not registered, so its parameters are unknown"},
      {R"({"channels": [{"id": "c", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"x": "c"}}]})",
       "/channels/0/links/x: call 'c' is plugged into its own link: a call cannot read itself"},
      {R"({"channels": [)" + x + R"({"id": "c", "type": "call", "owner": "Math", "procedure": "Sin"}],
        "events": [{"frame": 3, "remove": {"owner": "Math", "procedure": "Sin"}},
                   {"frame": 4, "link": {"channel": "c", "param": "y", "source": null}}]})",
       "/events/1/link/param: call 'c' never has a link 'y' from frame 4 on"},
  };
  for (const auto& c : cases) ExpectSceneError(c.scene, c.part);
}

TEST_F(RunErrors, ModuleWhoseGuidDisagreesWithItsFileNameIsRefused) {
  const std::string folder = dir.File("renamed");
  std::filesystem::create_directory(folder);
  std::filesystem::copy_file(std::string(VPC_MODULES_DIR) + "/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so",
                             folder + "/11111111-2222-3333-4444-555555555555.so");
  const runner_testing::Result r = RunDravik({"run", "--modules", folder});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("dravik: module refused: " + folder + "/11111111-2222-3333-4444-555555555555.so: record's type GUID C7653FCA-6B0C-44FA-936F-EA1952B129F0 differs from the file name's"),
            std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no module provides the procedure-call channel type"), std::string::npos);
}

TEST_F(RunErrors, ModuleWhoseBaseIsNotTheFloatChannelIsRefused) {
  const std::string folder = std::string(RUNNER_TEST_MODULES_DIR) + "/wrong_base";
  const runner_testing::Result r = RunDravik({"run", "--modules", folder});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("base type 9D045960-EAC2-4C40-9BBF-10F32F7FA305 is not the float channel type"),
            std::string::npos) << r.err;
  // A scene without procedure calls still runs with the module refused.
  const std::string scene = dir.File("plain.json");
  WriteFile(scene, R"({"frames": 2, "channels": [{"id": "x", "type": "value", "animate": {"step": 1}}]})");
  const runner_testing::Result plain = RunDravik({"run", scene, "--modules", folder, "-f", "csv"});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(plain.out, "frame,channel,name,kind,value,x,y,z\n1,x,x,value,0,,,\n2,x,x,value,1,,,\n");
}

class DamagedSavedFile : public RunErrors {
 protected:
  void SetUp() override {
    saved = dir.File("saved.zyr");
    ASSERT_EQ(RunDravik({"run", "--frames", "4", "--save", saved, "-q"}).exitCode, 0);
    bytes = runner_testing::ReadFile(saved);
  }
  void ExpectDamaged(const std::string& content, const std::string& part) {
    const std::string path = dir.File("damaged.zyr");
    WriteFile(path, content);
    ExpectFailure({"run", path, "--save", dir.File("after.zyr")}, part);
    EXPECT_FALSE(std::filesystem::exists(dir.File("after.zyr")));
  }
  std::string saved;
  std::string bytes;
};

TEST_F(DamagedSavedFile, Truncated) {
  for (size_t cut : {size_t{9}, size_t{40}, bytes.size() / 2, bytes.size() - 1}) {
    ExpectDamaged(bytes.substr(0, cut), "damaged file");
  }
}

// Damage behind a checksum made good again reaches the record's readers;
// left as it is, the checksum refuses the record.
TEST_F(DamagedSavedFile, EntrySizesCountsSceneTextAndChannelTable) {
  const struct {
    std::string anchor;
    size_t offset;
    char value;
    std::string part;
    bool reseal;
  } cases[] = {
      {"OBJS", 8, '\x7f', "\"OBJS\" entry counts", true},            // a huge object count
      {"FVAL", 4, 3, "damaged file", true},                             // a 3-byte value block
      {"\"frames\"", 0, '#', "the saved scene is damaged: line", true},
      {"CHSC", 8, 'Q', "channel 'Q' is not in the scene", true},        // scene id "t" -> "Q"
      {"", 8, 0, "not a dravik scene file", true},                      // the record's type GUID
      {"FRAM", 8, '\x7f', "damaged file: record at offset 8 fails its checksum", false},
  };
  for (const auto& c : cases) {
    std::string damaged = bytes;
    const size_t at = c.anchor.empty() ? 0 : damaged.find(c.anchor);
    ASSERT_NE(at, std::string::npos) << c.anchor;
    damaged[at + c.offset] = c.anchor.empty() ? static_cast<char>(damaged[8] ^ 0x55) : c.value;
    if (c.reseal) {
      std::vector<uint8_t> file(damaged.begin(), damaged.end());
      ZyrResealRecords(&file);
      damaged.assign(file.begin(), file.end());
    }
    ExpectDamaged(damaged, c.part);
  }
}

TEST_F(RunErrors, SaveNeverReplacesTheSceneOrAForeignFile) {
  const std::string scene = dir.File("scene.json");
  const std::string text = R"({"frames": 2, "channels": [{"id": "x", "type": "value"}]})";
  WriteFile(scene, text);
  const std::string notes = dir.File("notes.txt");
  WriteFile(notes, "my notes");
  const std::string saved = dir.File("saved.zyr");
  ASSERT_EQ(RunDravik({"run", scene, "--save", saved, "-q"}).exitCode, 0);
  std::filesystem::create_symlink(scene, dir.File("alias.json"));
  // A folder that takes no new file (root ignores permissions, not /sys).
  std::string locked = "/sys";
  if (geteuid() != 0) {
    locked = dir.File("locked");
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  const struct {
    std::vector<std::string> args;
    std::string part;
  } cases[] = {
      {{"run", scene, "--save", scene}, "is the scene being run; save to another file"},
      {{"run", scene, "--save", dir.File("alias.json"), "--force"}, "is the scene being run"},
      {{"run", saved, "--save", saved}, "(or give --force to replace the saved scene with its continuation)"},
      {{"run", scene, "--save", notes}, "notes.txt' exists and is not a saved scene; give --force to replace it"},
      {{"run", scene, "--save", dir.File("none/out.zyr")}, "folder '" + dir.File("none") + "' does not exist"},
      {{"run", scene, "--save", locked + "/out.zyr"}, "cannot write in folder '" + locked + "'"},
      {{"run", scene, "--save", dir.Path().string()}, "it is a folder"},
  };
  for (const auto& c : cases) ExpectFailure(c.args, c.part);  // no frame ran: stdout is empty
  EXPECT_EQ(runner_testing::ReadFile(scene), text);
  EXPECT_EQ(runner_testing::ReadFile(notes), "my notes");
  EXPECT_EQ(RunDravik({"run", scene, "--save", notes, "--force", "-q"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"run", saved, "--save", saved, "--force", "-q"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"run", notes, "-q"}).exitCode, 0);
}

TEST(Usage, ParserErrorsAreOneLineAndExitCodesAreDocumented) {
  const runner_testing::Result v = RunDravik({"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out, "dravik 1.0.0\n");
  const runner_testing::Result help = RunDravik({"run", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("4 run --strict saw a call answer 1.0 or 3.0"), std::string::npos) << help.out;
  const struct {
    std::vector<std::string> args;
    std::string part;
  } cases[] = {
      {{}, "a subcommand is required"},
      {{"fly"}, "unknown command 'fly' (commands: run, "},
      {{"run", "--format", "xml"}, "--format: xml not in {table,csv,jsonl}"},
      {{"run", "-n", "-1"}, "--frames: "},
      {{"dump"}, "FILE is required"},
      {{"run", "--bogus"}, "the following argument was not expected: --bogus"},
  };
  for (const auto& c : cases) {
    const runner_testing::Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(runner_testing::CountLines(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("dravik: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.part), std::string::npos) << r.err;
  }
}

TEST(Strict, ExitsFourWhenACallAnsweredOneOrThree) {
  // The tour has a missing procedure and inputs that cannot be taken.
  const runner_testing::Result tour = RunDravik({"run", "-q", "--strict", "-f", "csv"});
  EXPECT_EQ(tour.exitCode, 4) << tour.err;
  EXPECT_NE(tour.err.find("dravik: --strict: "), std::string::npos) << tour.err;
  EXPECT_EQ(RunDravik({"run", "-q", "-f", "csv"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"run", runner_testing::Example("bounce.json"), "-q", "--strict"}).exitCode, 0);
}

}  // namespace
