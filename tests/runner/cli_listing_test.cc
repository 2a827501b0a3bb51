// `dravik procedures`, `dravik modes`, --help and --version.
#include <string>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"

namespace {

using runner_testing::Example;
using runner_testing::RunDravik;

TEST(Help, EveryCommandHasHelp) {
  for (const char* command : {"run", "dump", "procedures", "modes"}) {
    const runner_testing::Result r = RunDravik({command, "--help"});
    EXPECT_EQ(r.exitCode, 0) << command;
    EXPECT_NE(r.out.find("Usage:"), std::string::npos) << command;
  }
  const runner_testing::Result top = RunDravik({"--help"});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_NE(top.out.find("procedures"), std::string::npos);
}

TEST(Help, VersionAndUsageErrors) {
  const runner_testing::Result v = RunDravik({"--version"});
  EXPECT_EQ(v.exitCode, 0);
  EXPECT_EQ(v.out, "dravik 1.0.0\n");
  EXPECT_EQ(RunDravik({}).exitCode, 2);
  EXPECT_EQ(RunDravik({"fly"}).exitCode, 2);
  EXPECT_EQ(RunDravik({"run", "--format", "xml"}).exitCode, 2);
  EXPECT_EQ(RunDravik({"dump"}).exitCode, 2);
}

TEST(Procedures, ListsTheLibraryWithParameters) {
  const runner_testing::Result r = RunDravik({"procedures"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Math::Add"), std::string::npos);
  EXPECT_NE(r.out.find("static   a: float in, b: float in, result: float out"), std::string::npos);
  EXPECT_NE(r.out.find("Vec3::Scale"), std::string::npos);
  EXPECT_NE(r.out.find("on This  dt: float in, position: vec3 out, speed: float out"), std::string::npos);
}

TEST(Procedures, OwnerFilterAndSceneProcedures) {
  const runner_testing::Result vec = RunDravik({"procedures", "Vec3"});
  ASSERT_EQ(vec.exitCode, 0);
  EXPECT_EQ(vec.out.find("Math::"), std::string::npos);
  EXPECT_NE(vec.out.find("Vec3::Normalize"), std::string::npos);
  const runner_testing::Result scene = RunDravik({"procedures", "Physics", "--scene", Example("tour.json")});
  ASSERT_EQ(scene.exitCode, 0) << scene.err;
  EXPECT_NE(scene.out.find("Physics::Accumulate"), std::string::npos);
  EXPECT_NE(scene.out.find("(scene)  total = total + rate * dt"), std::string::npos);
  const runner_testing::Result none = RunDravik({"procedures", "Nobody"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("no procedures of owner class 'Nobody' (owner classes: Body, Math, Vec3)"), std::string::npos);
}

// The table of a library owner, the placeholder of an owner without
// procedures, a scene's procedures, and a missing modules folder.
TEST(Modes, ShowsOrderCodeShortNameAndName) {
  const runner_testing::Result r = RunDravik({"modes", "Math"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("  order  code  short name  name\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("      0     0  Add         Add\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("      4     4  Clamp       Clamp\n"), std::string::npos) << r.out;
  EXPECT_EQ(runner_testing::LinesWith(r.out, "     ").size(), 5u);
  const runner_testing::Result nobody = RunDravik({"modes", "Nobody"});
  ASSERT_EQ(nobody.exitCode, 0) << nobody.err;
  EXPECT_NE(nobody.out.find("      0     0  dummy       no procedures found..."), std::string::npos);
  const runner_testing::Result scene = RunDravik({"modes", "Kinematics", "--scene", Example("tour.json")});
  ASSERT_EQ(scene.exitCode, 0) << scene.err;
  EXPECT_NE(scene.out.find("  Spin  "), std::string::npos) << scene.out;
  EXPECT_EQ(RunDravik({"modes", "Math", "--modules", "/nonexistent"}).exitCode, 1);
}

}  // namespace
