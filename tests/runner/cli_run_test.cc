// `dravik run` on the scenes in examples/: values, statuses, names and
// messages as the procedure-call channel produces them, in each output.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/runner/dravik_process.h"

namespace runner_testing {
namespace {

using nlohmann::json;

class TourJsonl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    result = RunDravik({"run", "--format", "jsonl"});
    for (const std::string& line : LinesWith(result.out, "")) lines.push_back(json::parse(line));
    for (const json& j : lines) {
      if (j["type"] == "value") values[{j["frame"].get<uint32_t>(), j["channel"].get<std::string>()}] = j;
    }
  }
  // The value line of `channel` at `frame` (throws when there is none).
  static const json& Value(uint32_t frame, const std::string& channel) { return values.at({frame, channel}); }
  static float F(uint32_t frame, const std::string& channel) { return Value(frame, channel)["value"].get<float>(); }
  // Messages of `frame` and `level` holding `part`, shown by `channel`.
  static size_t MessagesWith(uint32_t frame, int level, const std::string& part, const std::string& channel) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const json& j) {
      return j["type"] == "message" && j["frame"] == frame && j["level"] == level && j["channel"] == channel &&
             j["text"].get<std::string>().find(part) != std::string::npos;
    }));
  }

  inline static Result result;
  inline static std::vector<json> lines;
  inline static std::map<std::pair<uint32_t, std::string>, json> values;
};

TEST_F(TourJsonl, CallsAnswerTheirStatusAndFeedTheirOutputsEveryFrame) {
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(F(1, "ghost"), 3.0f);  // a call's value is its status
  // total accumulates on through the parameter change at frame 9: the old
  // links come back by name. (Each call's status on every frame is pinned
  // by the table's marks below.)
  float total = 0;
  for (uint32_t f = 1; f <= 20; ++f) {
    total += F(f, "sum") * 0.1f;
    EXPECT_NEAR(F(f, "total"), total, 1e-4) << f;
    EXPECT_GE(Value(f, "pos")["value"][1].get<double>(), 0.0) << f;  // the ball never goes below the floor
  }
  const double w = 0.39269908;
  for (uint32_t f : {1u, 2u, 5u}) {
    const json& arm = Value(f, "arm")["value"];
    EXPECT_NEAR(arm[0].get<double>(), std::cos(w * f), 1e-5);
    EXPECT_NEAR(arm[1].get<double>(), std::sin(w * f), 1e-5);
    EXPECT_EQ(arm[2].get<double>(), 0.0);
  }
  // Body::Step from position (0, 5, 0), velocity (1, 0, 0), gravity 9.81, dt 0.1.
  EXPECT_NEAR(Value(1, "pos")["value"][0].get<double>(), 0.1, 1e-6);
  EXPECT_NEAR(Value(1, "pos")["value"][1].get<double>(), 5.0 - 0.0981, 1e-5);
  EXPECT_EQ(F(1, "step"), 0.0f);
}

// Each message carries the channel whose work showed it, from the binding
// on load on: the two channels named "Body :: Step" are told apart. (Those
// of frame 1 are checked on stderr by RunTable.)
TEST_F(TourJsonl, MessagesCarryTheirChannel) {
  const struct {
    uint32_t frame;
    int level;
    std::string text;
    std::string channel;
    size_t count;
  } reports[] = {
      {0, 2, "Channel[Body :: Step].UpdatingProcedure[Body/Step].OK!", "step", 1},
      {0, 2, "Channel[Body :: Step].UpdatingProcedure[Body/Step].OK!", "ghost", 1},
      {18, 1, "_procedure->Execute()", "norm", 2},
      {18, 1, "Vec3::Normalize: the vector has no direction", "norm", 1},
  };
  for (const auto& r : reports) {
    EXPECT_EQ(MessagesWith(r.frame, r.level, r.text, r.channel), r.count) << r.text << " of " << r.channel;
  }
}

// The rename's new name is shown by RunTable, the removal and return by
// the table's marks.
TEST_F(TourJsonl, RenameChangeRemovalAndReturnAreFollowedInMidRun) {
  EXPECT_NEAR(F(7, "sum"), std::sin(1.5f) + 3.0f, 1e-6);  // sum = sin(t) + k, through the renamed Add
  EXPECT_EQ(MessagesWith(9, 2, "Channel[Physics :: Accumulate].CreatingNewSetOfChildLinks!", "acc"), 1u);
  EXPECT_EQ(F(9, "doubled"), 0.0f);  // the new output link is plugged after the rebuild
  for (uint32_t f = 10; f <= 20; ++f) EXPECT_NEAR(F(f, "doubled"), 2 * F(f, "total"), 1e-4) << f;
}

TEST(RunTable, DefaultSceneShowsStatusesNamesMessagesAndExitCodes) {
  const Result r = RunDravik({"run"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ExpectHas(r.out, {"dravik · tour · frames 1–20", "B add is now \"Math :: Plus\""});
  // The marks of calls A to H on each frame: lost (G) has no procedure, ghost
  // (H) takes no inputs, sin (A) is removed on frames 13 to 15 and norm (D)
  // fails from frame 18 on.
  EXPECT_EQ(LinesWith(r.out, "│ ✓ ✓ ✓ ✓ ✓ ✓ ✗ ∅").size(), 14u);
  EXPECT_EQ(LinesWith(r.out, "│ ✗ ✓ ✓ ✓ ✓ ✓ ✗ ∅").size(), 3u);
  EXPECT_EQ(LinesWith(r.out, "│ ✓ ✓ ✓ ✗ ✓ ✓ ✗ ∅").size(), 3u);
  // Messages go to stderr with their level, each shown once and counted after.
  ExpectHas(r.err, {"met again", "× [error] [ghost] VanticPrcCall_Add.CGR[Calls].Channel[Body :: Step]."});
  EXPECT_EQ(LinesWith(r.err, "[lost] VanticPrcCall_Call.CGR[Calls].Channel[Math :: Divide].CannotFindProcedure").size(), 2u);
  EXPECT_EQ(r.err.find("[info]"), std::string::npos);
  ExpectHas(RunDravik({"run", "-v"}).err, {"[info]"});
  const Result quiet = RunDravik({"run", "-q", "-f", "csv"});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.err, "");
  // --strict: the tour has a missing procedure and inputs that cannot be taken.
  const Result strict = RunDravik({"run", "-q", "--strict", "-f", "csv"});
  EXPECT_EQ(strict.exitCode, 4) << strict.err;
  ExpectHas(strict.err, {"dravik: --strict: "});
  EXPECT_EQ(RunDravik({"run", Example("bounce.json"), "-q", "--strict"}).exitCode, 0);
  EXPECT_EQ(RunDravik({"--version"}).out, "dravik 1.0.0\n");
  ExpectHas(RunDravik({"run", "--help"}).out, {"4 run --strict saw a call answer 1.0 or 3.0"});
  const Result watch = RunDravik({"run", "-f", "csv", "-q", "--frames", "1", "--watch", "lost,t"});
  EXPECT_EQ(watch.out, "frame,channel,name,kind,value,x,y,z\n1,t,t,value,0,,,\n1,lost,Math :: Divide,call,1,,,\n");
}

TEST(RunTable, ManyCallsKeepUniqueLabelsAndIds) {
  json scene = {{"frames", 1}, {"channels", {{{"id", "x"}, {"type", "value"}, {"watch", false}}}}};
  for (int i = 0; i < 30; ++i) {
    const std::string id = i == 29 ? "Größe_ü" : "a_channel_with_a_rather_long_name_" + std::to_string(i);
    scene["channels"].push_back(
        {{"id", id}, {"type", "call"}, {"owner", "Math"}, {"procedure", "Sin"}, {"links", {{"x", "x"}}}});
  }
  testing_support::ScratchDir dir;
  const Result r = RunDravik({"run", WriteFile(dir.File("many.json"), scene.dump())});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NO_THROW(json(r.out).dump()) << "the table is not UTF-8";
  std::set<std::string> shown;  // the ids in the list of calls, above the marks
  for (const std::string& line : LinesWith(r.out.substr(0, r.out.find("  marks")), " Math :: Sin")) {
    shown.insert(line.substr(12, line.find(" Math :: Sin") - 12));
  }
  EXPECT_EQ(shown.size(), 30u);
  ExpectHas(r.out, {"\n         AD Größe_ü      Math :: Sin\n",
                    "│ A B C D E F G H I J K L M N O P Q R S T U V W X Y Z AA AB AC AD\n"});
}

// A call channel read by another is evaluated inside the reader's
// evaluation; its messages are still its own, and its namesake's are not.
TEST(RunMessages, NestedEvaluationKeepsTheInnermostChannel) {
  testing_support::ScratchDir dir;
  const std::string lost = R"("owner": "Math", "procedure": "Divide", "params": [{"name": "a"}]})";
  const std::string scene = WriteFile(dir.File("nested.json"), R"({"frames": 1, "channels": [{"id": "out", "type": "value"},
    {"id": "reader", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"x": "inner", "result": "out"}},
    {"id": "inner", "type": "call", )" + lost + R"(, {"id": "twin", "type": "call", )" + lost + "]}");
  const Result r = RunDravik({"run", scene, "-f", "jsonl"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, size_t> byChannel;
  for (const std::string& line : LinesWith(r.out, "\"type\":\"message\"")) {
    const json j = json::parse(line);
    if (j["frame"] == 1) ++byChannel[j["channel"].is_null() ? "(none)" : j["channel"].get<std::string>()];
  }
  EXPECT_EQ(byChannel, (std::map<std::string, size_t>{{"inner", 3}, {"twin", 3}}));
}

// A parameter change without "outputs" keeps the renamed procedure's
// expressions and its constants, those it gives replacing theirs.
TEST(RunEvents, LateEventsWarnAndChangedExpressionsKeepTheirConstantsAfterARename) {
  testing_support::ScratchDir dir;
  const std::string scene = WriteFile(dir.File("s.json"), R"({"frames": 3,
    "procedures": [{"owner": "S", "name": "P", "params": [{"name": "a"}, {"name": "y", "mode": "out"}],
                    "outputs": {"y": "a * k + m"}, "constants": {"k": 2, "m": 3}}],
    "channels": [{"id": "x", "type": "value", "value": 1}, {"id": "r", "type": "value"},
                 {"id": "c", "type": "call", "owner": "S", "procedure": "P", "links": {"a": "x", "y": "r"}}],
    "events": [{"frame": 2, "rename": {"owner": "S", "procedure": "P", "new_name": "Q"}},
               {"frame": 3, "change_params": {"owner": "S", "procedure": "Q",
                  "params": [{"name": "a"}, {"name": "y", "mode": "out"}], "constants": {"m": 10}}},
               {"frame": 4, "remove": {"owner": "S", "procedure": "Q"}}]})");
  const Result r = RunDravik({"run", scene, "-f", "csv", "-q"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "dravik: warning: " + scene +
                       ": /events/2/frame: frame 4 is after the last frame (3): the event never happens\n");
  EXPECT_EQ(LinesWith(r.out, ",r,").at(2), "3,r,r,value,12,,,");
}

}  // namespace
}  // namespace runner_testing
