// Saved files: `dravik dump` and `dravik diff` on good and damaged files,
// and going on from a file saved after frame k, which gives the same values
// for frames k+1 on as a run that went straight through.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace runner_testing {
namespace {

class SavedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunDravik({"run", "--frames", "3", "--save", saved, "-q"}).exitCode, 0);
    bytes = ReadFile(saved);
  }

  testing_support::ScratchDir dir;
  const std::string saved = dir.File("good.zyr");
  std::string bytes;
};

// The same file in version 1 (no checksums) dumps the same entries, with a
// note that nothing checks them, and runs the same.
TEST_F(SavedFile, DumpShowsEveryRecordDecodedInBothVersions) {
  const std::vector<uint8_t> file = testing_support::WithoutChecksums({bytes.begin(), bytes.end()});
  const std::string v1 = WriteFile(dir.File("v1.zyr"), std::string(file.begin(), file.end()));
  for (const auto& [path, header] : {std::pair<std::string, std::string>{saved, "header  magic \"ZYRF\"  version 2"},
                                     {v1, "version 1: the records carry no checksums"}}) {
    const Result r = RunDravik({"dump", path});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const std::string& part : {header, std::string("VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0"),
                                    std::string("OWNC     4  owner class    \"Math\""),
                                    std::string("param 0 type   0 (float)"),
                                    std::string("FVAL     4  value          0.5"),  // t after 3 frames
                                    std::string("VVAL    12  vector         (3, 4, 0)"),
                                    std::string("end: 23 record(s), 0 problem(s), 0 unknown tag(s)")}) {
      EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    }
  }
  const Result run1 = RunDravik({"run", v1, "-f", "jsonl", "--frames", "2"});
  EXPECT_EQ(run1.exitCode, 0) << run1.err;
  EXPECT_EQ(run1.out, RunDravik({"run", saved, "-f", "jsonl", "--frames", "2"}).out);
}

// Each damage is marked, the record decoded all the same, and the dump goes
// on to the end.
TEST_F(SavedFile, DumpMarksDamageAndGoesOn) {
  std::string damaged = bytes;
  damaged[damaged.find("VVAL") + 8] ^= 0x04;
  damaged.replace(damaged.find("FRAM"), 4, "DRVK");  // still 4 bytes: fine
  damaged.replace(damaged.find("UACN"), 4, "FRAM");  // a 1-byte block under a 4-byte tag
  const Result r = RunDravik({"dump", WriteFile(dir.File("damaged.zyr"), damaged)});
  EXPECT_EQ(r.exitCode, 3);
  for (const char* part : {"!! the record fails its checksum (computed ", "VVAL    12  vector",
                           "expected 4 bytes; bytes 01", "!! the block's size does not fit its tag",
                           "end: 23 record(s), 4 problem(s)"}) {
    EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
  }
}

TEST_F(SavedFile, SceneAndDiffReadWhatTheFileHolds) {
  const std::string later = dir.File("later.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "7", "--save", later, "-q"}).exitCode, 0);
  // Same length, past what a dump line shows of the scene text.
  std::string renamed = bytes;
  renamed.replace(renamed.find("\"Inputs\""), 8, "\"Inputz\"");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string part;  // in stdout; all of it for --scene
  } cases[] = {
      {{"dump", saved, "--scene"}, 0, ReadFile(Example("tour.json"))},
      {{"diff", saved, saved}, 0, ""},
      {{"diff", saved, later}, 1, "    - FRAM last frame     3\n    + FRAM last frame     7\n"},
      {{"diff", saved, later}, 1, "record 17 (VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0)\n  entry 2:\n"},
      {{"diff", saved, WriteFile(dir.File("renamed.zyr"), renamed)}, 1, "(the blocks differ from byte "},
      {{"diff", saved, WriteFile(dir.File("cut.zyr"), bytes.substr(0, bytes.size() - 30))}, 1,
       "    + !! the body runs 30 bytes past the end of the file (truncated)"},
  };
  for (const auto& c : cases) {
    const Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args[0] << " " << c.args.back() << ": " << r.err;
    if (c.part.empty() || c.args.back() == "--scene") {
      EXPECT_EQ(r.out, c.part);
    } else {
      EXPECT_NE(r.out.find(c.part), std::string::npos) << c.part << "\n" << r.out;
    }
  }
}

// Cut before and after the tour's rename, parameter change, removal and
// return of a procedure, and failing normalisation; and the other examples.
TEST(SaveAndContinue, MatchesAStraightRunWhereverItIsCut) {
  const struct {
    std::string scene;
    uint32_t total;
    std::vector<uint32_t> cuts;
  } cases[] = {
      {"tour.json", 20, {1, 5, 6, 8, 9, 13, 15, 19}},
      {"bounce.json", 40, {17}},
      {"expressions.json", 12, {4}},
  };
  testing_support::ScratchDir dir;
  const std::string saved = dir.File("saved.zyr");
  for (const auto& c : cases) {
    const std::string scene = Example(c.scene);
    const std::string straight = RunDravik({"run", scene, "-f", "jsonl", "--frames", std::to_string(c.total)}).out;
    for (uint32_t k : c.cuts) {
      // The value lines of frames k+1 on.
      const std::string mark = "{\"type\":\"value\",\"frame\":" + std::to_string(k + 1) + ",";
      ASSERT_NE(straight.find(mark), std::string::npos) << c.scene;
      std::vector<std::string> expected = LinesWith(straight.substr(straight.find(mark)), "\"type\":\"value\"");
      ASSERT_EQ(RunDravik({"run", scene, "-f", "jsonl", "--frames", std::to_string(k), "--save", saved}).exitCode, 0);
      const Result rest = RunDravik({"run", saved, "-f", "jsonl", "--frames", std::to_string(c.total - k)});
      EXPECT_EQ(rest.exitCode, 0) << rest.err;
      EXPECT_EQ(LinesWith(rest.out, "\"type\":\"value\""), expected) << c.scene << " saved after frame " << k;
    }
  }
}

}  // namespace
}  // namespace runner_testing
