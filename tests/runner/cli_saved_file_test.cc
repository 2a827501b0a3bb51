// Saved files: `dravik dump` and `dravik diff` on good, older and damaged
// files, and going on from a file saved after frame k, which gives the
// same values for frames k+1 on as a run that went straight through.
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

// What `dump` and `diff` show of a file: every record decoded, in version 1
// (no checksums) too; damage marked, the record decoded all the same and
// the dump going on to the end; and the scene text as it was saved.
TEST_F(SavedFile, DumpAndDiffShowWhatTheFileHolds) {
  const std::string later = dir.File("later.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "7", "--save", later, "-q"}).exitCode, 0);
  const std::vector<uint8_t> unchecked = testing_support::WithoutChecksums({bytes.begin(), bytes.end()});
  const std::string v1 = WriteFile(dir.File("v1.zyr"), std::string(unchecked.begin(), unchecked.end()));
  std::string damaged = bytes;
  damaged[damaged.find("VVAL") + 8] ^= 0x04;
  damaged.replace(damaged.find("FRAM"), 4, "DRVK");  // still 4 bytes: fine
  damaged.replace(damaged.find("UACN"), 4, "FRAM");  // a 1-byte block under a 4-byte tag
  const std::string damagedPath = WriteFile(dir.File("damaged.zyr"), damaged);
  // Same length, past what a dump line shows of the scene text.
  std::string renamed = bytes;
  renamed.replace(renamed.find("\"Inputs\""), 8, "\"Inputz\"");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> parts;  // in stdout; all of it for --scene and for none
    std::string err = "";
  } cases[] = {
      {{"dump", saved}, 0,
       {"header  magic \"ZYRF\"  version 2", "VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0",
        "OWNC     4  owner class    \"Math\"", "param 0 type   0 (float)",
        "FVAL     4  value          0.5",  // t after 3 frames
        "VVAL    12  vector         (3, 4, 0)", "end: 23 record(s), 0 problem(s), 0 unknown tag(s)"}},
      {{"dump", v1}, 0,
       {"version 1: the records carry no checksums", "OWNC     4  owner class    \"Math\"",
        "end: 23 record(s), 0 problem(s)"}},
      {{"dump", damagedPath}, 3,
       {"!! the record fails its checksum (computed ", "VVAL    12  vector", "expected 4 bytes; bytes 01",
        "!! the block's size does not fit its tag", "end: 23 record(s), 4 problem(s)"},
       "dravik: " + damagedPath + ": damaged: 4 problem(s), marked \"!!\" above\n"},
      {{"dump", saved, "--scene"}, 0, {ReadFile(Example("tour.json"))}},
      {{"diff", saved, saved}, 0, {}},
      {{"diff", saved, later}, 1,
       {"    - FRAM last frame     3\n    + FRAM last frame     7\n",
        "record 17 (VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0)\n  entry 2:\n"}},
      {{"diff", saved, WriteFile(dir.File("renamed.zyr"), renamed)}, 1, {"(the blocks differ from byte "}},
      {{"diff", saved, WriteFile(dir.File("cut.zyr"), bytes.substr(0, bytes.size() - 30))}, 1,
       {"    + !! the body runs 30 bytes past the end of the file (truncated)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.err, c.err);
    if (c.parts.empty() || c.args.back() == "--scene") {
      EXPECT_EQ(r.out, c.parts.empty() ? "" : c.parts[0]);
    }
    ExpectHas(r.out, c.parts);
  }
  const Result run1 = RunDravik({"run", v1, "-f", "jsonl", "--frames", "2"});
  EXPECT_EQ(run1.exitCode, 0) << run1.err;
  EXPECT_EQ(run1.out, RunDravik({"run", saved, "-f", "jsonl", "--frames", "2"}).out);
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
