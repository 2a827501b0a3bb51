// `dravik dump` and `dravik diff` on good and damaged files, and choosing
// the watched channels of `dravik run`.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using runner_testing::ReadFile;
using runner_testing::RunDravik;
using runner_testing::WriteFile;

class DumpFile : public ::testing::Test {
 protected:
  void SetUp() override {
    saved = dir.File("good.zyr");
    ASSERT_EQ(RunDravik({"run", "--frames", "3", "--save", saved, "-q"}).exitCode, 0);
    bytes = ReadFile(saved);
    ASSERT_GT(bytes.size(), 200u);
  }
  runner_testing::Result DumpOf(const std::string& content) {
    const std::string path = dir.File("damaged.zyr");
    WriteFile(path, content);
    return RunDravik({"dump", path});
  }

  testing_support::ScratchDir dir;
  std::string saved;
  std::string bytes;
};

TEST_F(DumpFile, GoodFileShowsEveryRecordDecoded) {
  const runner_testing::Result r = RunDravik({"dump", saved});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("header  magic \"ZYRF\"  version 2"), std::string::npos);
  EXPECT_NE(r.out.find("VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0"), std::string::npos);
  EXPECT_NE(r.out.find("OWNC     4  owner class    \"Math\""), std::string::npos);
  EXPECT_NE(r.out.find("param 0 type   0 (float)"), std::string::npos);
  EXPECT_NE(r.out.find("FVAL     4  value          0.5"), std::string::npos);  // t after 3 frames
  EXPECT_NE(r.out.find("VVAL    12  vector         (3, 4, 0)"), std::string::npos);
  EXPECT_NE(r.out.find("end: 23 record(s), 0 problem(s), 0 unknown tag(s)"), std::string::npos);
}

TEST_F(DumpFile, WrongSizeForAKnownTagIsFlagged) {
  std::string damaged = bytes;
  const size_t at = damaged.find("FRAM");
  ASSERT_NE(at, std::string::npos);
  damaged.replace(at, 4, "DRVK");       // still 4 bytes: fine
  const size_t uacn = damaged.find("UACN");
  ASSERT_NE(uacn, std::string::npos);
  damaged.replace(uacn, 4, "FRAM");     // a 1-byte block under a 4-byte tag
  const runner_testing::Result r = DumpOf(damaged);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.out.find("expected 4 bytes; bytes 01"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("!! the block's size does not fit its tag"), std::string::npos);
}

// A record that fails its checksum is marked, decoded all the same, and the
// dump goes on to the end.
TEST_F(DumpFile, RecordFailingItsChecksumIsMarkedAndTheDumpGoesOn) {
  std::string damaged = bytes;
  damaged[damaged.find("VVAL") + 8] ^= 0x04;
  const runner_testing::Result r = DumpOf(damaged);
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.out.find("!! the record fails its checksum (computed "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("VVAL    12  vector"), std::string::npos);
  EXPECT_NE(r.out.find("end: 23 record(s), 1 problem(s)"), std::string::npos);
}

// The same file in version 1 (no checksums) still runs the same and dumps
// the same entries, with a note that nothing checks them.
TEST_F(DumpFile, VersionOneFileRunsAndDumpsUnchecked) {
  const std::string v1 = dir.File("v1.zyr");
  const std::vector<uint8_t> file =
      testing_support::WithoutChecksums(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  WriteFile(v1, std::string(file.begin(), file.end()));
  const runner_testing::Result dump = RunDravik({"dump", v1});
  EXPECT_EQ(dump.exitCode, 0) << dump.err;
  EXPECT_NE(dump.out.find("version 1: the records carry no checksums"), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("OWNC     4  owner class    \"Math\""), std::string::npos);
  EXPECT_NE(dump.out.find("end: 23 record(s), 0 problem(s)"), std::string::npos);
  const runner_testing::Result run1 = RunDravik({"run", v1, "-f", "jsonl", "--frames", "2"});
  const runner_testing::Result run2 = RunDravik({"run", saved, "-f", "jsonl", "--frames", "2"});
  EXPECT_EQ(run1.exitCode, 0) << run1.err;
  EXPECT_EQ(run1.out, run2.out);
}

TEST_F(DumpFile, SceneAndDiffReadWhatTheFileHolds) {
  const std::string later = dir.File("later.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "7", "--save", later, "-q"}).exitCode, 0);
  // Same length, past what a dump line shows of the scene text.
  std::string renamed = bytes;
  renamed.replace(renamed.find("\"Inputs\""), 8, "\"Inputz\"");
  const std::string renamedPath = dir.File("renamed.zyr");
  WriteFile(renamedPath, renamed);
  const std::string cut = dir.File("cut.zyr");
  WriteFile(cut, bytes.substr(0, bytes.size() - 30));
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string part;  // in stdout, or stderr when the exit code is 2
  } cases[] = {
      {{"dump", saved, "--scene"}, 0, ReadFile(runner_testing::Example("tour.json"))},
      {{"diff", saved, saved}, 0, ""},
      {{"diff", saved, later}, 1, "    - FRAM last frame     3\n    + FRAM last frame     7\n"},
      {{"diff", saved, later}, 1, "record 17 (VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0)\n  entry 2:\n"},
      {{"diff", saved, renamedPath}, 1, "(the blocks differ from byte "},
      {{"diff", saved, cut}, 1, "    + !! the body runs 30 bytes past the end of the file (truncated)"},
      {{"diff", saved, dir.File("none.zyr")}, 2, "dravik: cannot open '" + dir.File("none.zyr") + "'"},
      {{"diff", runner_testing::Example("tour.json"), saved}, 2, "tour.json: not a saved file\n"},
      {{"dump", runner_testing::Example("tour.json"), "--scene"}, 1, ""},
  };
  for (const auto& c : cases) {
    const runner_testing::Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args.back() << ": " << r.err;
    const std::string& where = c.exitCode == 2 ? r.err : r.out;
    if (c.part.empty()) {
      EXPECT_EQ(r.out, "") << c.args.back();
    } else if (c.args.back() == "--scene") {
      EXPECT_EQ(where, c.part);
    } else {
      EXPECT_NE(where.find(c.part), std::string::npos) << c.part << "\n" << where;
    }
  }
}

TEST(RunWatch, ChoosesTheWatchedChannels) {
  const runner_testing::Result r = RunDravik({"run", "-f", "csv", "-q", "--frames", "1", "--watch", "lost,t"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "frame,channel,name,kind,value,x,y,z\n1,t,t,value,0,,,\n1,lost,Math :: Divide,call,1,,,\n");
  const runner_testing::Result bad = RunDravik({"run", "--watch", "t,zz"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "dravik: --watch: no channel 'zz' to watch\n");
}

TEST(Dump, MissingFileIsOneLineAndExitOne) {
  const runner_testing::Result r = RunDravik({"dump", "/nonexistent/file.zyr"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "dravik: cannot open '/nonexistent/file.zyr': No such file or directory\n");
}

}  // namespace
