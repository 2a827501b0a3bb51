// `dravik run --save` and going on from the saved file: a scene saved after
// frame k and loaded gives the same values for frames k+1 on as a run that
// went straight through.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using runner_testing::Example;
using runner_testing::RunDravik;

// The value lines of a jsonl output for frames after `after`.
std::vector<std::string> ValuesAfter(const std::string& out, uint32_t after) {
  std::vector<std::string> values;
  for (const std::string& line : runner_testing::LinesWith(out, "\"type\":\"value\"")) {
    const size_t at = line.find("\"frame\":") + 8;
    if (std::stoul(line.substr(at)) > after) values.push_back(line);
  }
  return values;
}

void ExpectContinuationMatches(const std::string& scene, uint32_t total, uint32_t k) {
  testing_support::ScratchDir dir;
  const std::string saved = dir.File("saved.zyr");
  const runner_testing::Result straight = RunDravik({"run", scene, "-f", "jsonl", "--frames", std::to_string(total)});
  ASSERT_EQ(straight.exitCode, 0) << straight.err;
  const runner_testing::Result first = RunDravik({"run", scene, "-f", "jsonl", "--frames", std::to_string(k), "--save", saved});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  const runner_testing::Result rest =
      RunDravik({"run", saved, "-f", "jsonl", "--frames", std::to_string(total - k)});
  ASSERT_EQ(rest.exitCode, 0) << rest.err;
  const std::vector<std::string> expected = ValuesAfter(straight.out, k);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(ValuesAfter(rest.out, 0), expected) << "saved after frame " << k;
}

TEST(SaveAndContinue, TourMatchesAStraightRunWhereverItIsCut) {
  const std::string tour = Example("tour.json");
  // Before and after the rename, the parameter change, the removal and the
  // return of a procedure, and the failing normalisation.
  for (uint32_t k : {1u, 5u, 6u, 8u, 9u, 13u, 15u, 19u}) ExpectContinuationMatches(tour, 20, k);
}

TEST(SaveAndContinue, OtherExamplesMatchToo) {
  ExpectContinuationMatches(Example("bounce.json"), 40, 17);
  ExpectContinuationMatches(Example("expressions.json"), 12, 4);
}

}  // namespace
