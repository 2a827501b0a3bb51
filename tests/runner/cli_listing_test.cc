// --version and command-line usage errors.
#include <string>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"

namespace {

using runner_testing::RunDravik;

TEST(Help, VersionAndUsageErrors) {
  const runner_testing::Result v = RunDravik({"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out, "dravik 1.0.0\n");
  EXPECT_EQ(RunDravik({}).exitCode, 2);
  EXPECT_EQ(RunDravik({"fly"}).exitCode, 2);
  EXPECT_EQ(RunDravik({"run", "--format", "xml"}).exitCode, 2);
  EXPECT_EQ(RunDravik({"dump"}).exitCode, 2);
}

}  // namespace
