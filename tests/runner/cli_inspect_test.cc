// `dravik inspect`: one channel at one frame, as the runner saw it.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using nlohmann::json;
using runner_testing::Example;
using runner_testing::RunDravik;

json Inspect(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"inspect"};
  all.insert(all.end(), args.begin(), args.end());
  all.insert(all.end(), {"-f", "json"});
  const runner_testing::Result r = RunDravik(all);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.exitCode == 0 ? json::parse(r.out) : json::object();
}

// The link of `name` in an inspected call channel.
json Link(const json& view, const std::string& name) {
  for (const json& l : view["links"]) {
    if (l["name"] == name) return l;
  }
  ADD_FAILURE() << "no link " << name;
  return json::object();
}

TEST(Inspect, CallChannelsShowBindingLinksAndMessagesOfTheFrame) {
  const std::string tour = Example("tour.json");
  // In/out and out links after the parameter change: what was read, what was written back.
  const json acc = Inspect({tour, "acc", "--frame", "10"});
  EXPECT_EQ(acc["binding"], "bound");
  EXPECT_EQ(acc["static"], true);
  EXPECT_EQ(acc["status"], 0);
  EXPECT_EQ(Link(acc, "total")["mode"], "inout");
  EXPECT_EQ(Link(acc, "rate")["plugged"], (json{{"channel", "sum"}, {"kind", "value"}}));
  const float total = Link(acc, "total")["read"].get<float>() + 0.1f * Link(acc, "rate")["read"].get<float>();
  EXPECT_NEAR(Link(acc, "total")["written"].get<float>(), total, 1e-5);
  EXPECT_NEAR(Link(acc, "doubled")["written"].get<float>(), 2 * total, 1e-5);
  EXPECT_TRUE(Link(acc, "doubled")["read"].is_null());
  // A removed procedure: unbound, nothing written back, its own messages only.
  const json sin = Inspect({tour, "sin", "--frame", "14"});
  EXPECT_EQ(sin["binding"], "unbound");
  EXPECT_EQ(sin["status"], 1);
  EXPECT_EQ(Link(sin, "x")["read"], 3.25);
  EXPECT_TRUE(Link(sin, "result")["written"].is_null());
  ASSERT_EQ(sin["messages"].size(), 3u);
  EXPECT_NE(sin["messages"][0]["text"].get<std::string>().find("[Math/Sin].NotFound!"), std::string::npos);
  // Inputs not taken: the "This" link holds an object channel of no object.
  const json ghost = Inspect({tour, "ghost"});
  EXPECT_EQ(ghost["frame"], 20);
  EXPECT_EQ(ghost["static"], false);
  EXPECT_EQ(ghost["status"], 3);
  EXPECT_EQ(Link(ghost, "This")["plugged"]["channel"], "nobody");
  EXPECT_TRUE(Link(ghost, "position")["plugged"].is_null());
}

TEST(Inspect, SavedFilesGoOnFromTheirFrameAndErrorsAreOneLine) {
  testing_support::ScratchDir dir;
  const std::string saved = dir.File("t8.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "8", "--save", saved, "-q"}).exitCode, 0);
  const json asLoaded = Inspect({saved, "add", "--frame", "8"});
  EXPECT_EQ(asLoaded["ran"], false);
  EXPECT_EQ(asLoaded["name"], "Math :: Plus");
  const json later = Inspect({saved, "t"});
  EXPECT_EQ(later["frame"], 20);
  EXPECT_EQ(later["value"], 4.75);
  EXPECT_EQ(later["group"], "Inputs");
  const struct {
    std::vector<std::string> args;
    std::string error;
  } errors[] = {
      {{"inspect", saved, "t", "--frame", "3"}, "dravik: --frame 3: the file was saved after frame 8"},
      {{"inspect", Example("tour.json"), "nope"}, "tour.json: no channel 'nope'"},
  };
  for (const auto& e : errors) {
    const runner_testing::Result r = RunDravik(e.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(runner_testing::CountLines(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find(e.error), std::string::npos) << r.err;
  }
}

}  // namespace
