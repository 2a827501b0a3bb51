// `dravik run` on the scenes in examples/ and on small scenes of its own:
// values, statuses, names and messages as the procedure-call channel
// produces them, in each output; and going on from a file saved after
// frame k, which gives the same values for frames k+1 on as a run that
// went straight through.
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

// The tour, frame by frame: t; sum = sin(t) + k, through Math::Add renamed
// at frame 6; total, accumulated by acc (an expression procedure); doubled,
// the output acc gains at frame 9; arm, turned by Spin (vector in/out);
// pos, moved by Body::Step on the ball, which bounces at frame 11; then the
// marks of calls A to H.
TEST(RunTable, DefaultSceneShowsValuesStatusesNamesMessagesAndExitCodes) {
  const Result r = RunDravik({"run", "-v"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ExpectHas(r.out,
            {"dravik · tour · frames 1–20", "B add is now \"Math :: Plus\"",
             "\n     1 │     0.000     1.000     0.100     0.000   (0.92, 0.38, 0.00)   (0.10, 4.90, 0.00) │",
             "\n     5 │     1.000     1.841     1.125     0.000  (-0.38, 0.92, 0.00)   (0.50, 3.53, 0.00) │",
             "\n     7 │     1.500     3.997     1.820     0.000  (-0.92, 0.38, 0.00)   (0.70, 2.25, 0.00) │",
             "\n     9 │     2.000     1.909     2.309     4.618 (-0.92, -0.38, 0.00)   (0.90, 0.59, 0.00) │",
             "\n    10 │     2.250     2.778     2.587     5.174 (-0.71, -0.71, 0.00)   (1.00, 0.28, 0.00) │",
             "\n    11 │     2.500     3.598     2.947     5.893 (-0.38, -0.92, 0.00)   (1.10, 0.87, 0.00) │",
             "\n    20 │     4.750     1.001     4.479     8.959   (0.00, 1.00, 0.00)   (2.00, 1.75, 0.00) │"});
  // lost (G) has no procedure, ghost (H) takes no inputs, sin (A) is
  // removed on frames 13 to 15 and norm (D) fails from frame 18 on.
  EXPECT_EQ(LinesWith(r.out, "│ ✓ ✓ ✓ ✓ ✓ ✓ ✗ ∅").size(), 14u);
  EXPECT_EQ(LinesWith(r.out, "│ ✗ ✓ ✓ ✓ ✓ ✓ ✗ ∅").size(), 3u);
  EXPECT_EQ(LinesWith(r.out, "│ ✓ ✓ ✓ ✗ ✓ ✓ ✗ ∅").size(), 3u);
  // Messages go to stderr with their level and the channel whose work showed
  // them, from the binding on load on (the two channels named "Body :: Step"
  // told apart); each is shown once and counted after.
  ExpectHas(r.err,
            {"dravik: [info] [step] VanticPrcCall_Call.CGR[Calls].Channel[Body :: Step].UpdatingProcedure[Body/Step].OK!\n",
             "dravik: [info] [ghost] VanticPrcCall_Call.CGR[Calls].Channel[Body :: Step].UpdatingProcedure[Body/Step].OK!\n",
             "dravik: frame 1: [error] [ghost] VanticPrcCall_Call.CGR[Calls].Channel[Body :: Step].ProcedureForVesk::",
             "dravik: frame 9: [info] [acc] VanticPrcCall_Add.CGR[Calls].Channel[Physics :: Accumulate].CreatingNewSet",
             "dravik: frame 18: [error] [norm] Vec3::Normalize: the vector has no direction\n",
             "dravik: frame 18: [error] [norm] VanticPrcCall_Add.CGR[Calls].Channel[Vec3 :: Normalize]._procedure->Execute()",
             "met again", "× [error] [ghost] VanticPrcCall_Add.CGR[Calls].Channel[Body :: Step]."});
  ExpectHas(r.out, {"▸ 'ghost' could not take its inputs: link 'This' held the object channel 'nobody', which "
                    "refers to no object\n     1 │"});
  EXPECT_EQ(LinesWith(r.err, "[step]").size(), 1u);
  EXPECT_EQ(LinesWith(r.err, "[lost] VanticPrcCall_Call.CGR[Calls].Channel[Math :: Divide].CannotFindProcedure").size(), 2u);
  const Result plain = RunDravik({"run"});
  EXPECT_EQ(plain.out, r.out);
  EXPECT_EQ(plain.err.find("[info]"), std::string::npos);
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
  // jsonl: exact numbers, vectors as arrays, a call's status as its value.
  const Result jsonl = RunDravik({"run", "-f", "jsonl", "-q", "--frames", "1", "--watch", "arm,ghost"});
  EXPECT_EQ(LinesWith(jsonl.out, "\"type\":\"value\""),
            (std::vector<std::string>{
                R"({"type":"value","frame":1,"channel":"arm","name":"arm","value":[0.9238795,0.38268346,0]})",
                R"({"type":"value","frame":1,"channel":"ghost","name":"Body :: Step","value":3})"}));
  ExpectHas(jsonl.out, {R"({"type":"message","frame":0,"level":2,"channel":"ghost","text":"VanticPrcCall_Call.CGR)"});
}

// --watch once per channel, an id with a comma included; a value JSON has
// no number for, written as the word csv writes.
TEST(RunTable, WatchedIdsWithCommasAndInfiniteValuesInJsonl) {
  testing_support::ScratchDir dir;
  const std::string scene = WriteFile(dir.File("s.json"), R"({"frames": 1, "channels": [
    {"id": "a,b", "type": "value", "value": 3e38}, {"id": "sum", "type": "value"},
    {"id": "c", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "a,b", "b": "a,b", "result": "sum"}}]})");
  const std::string sum = R"({"type":"value","frame":1,"channel":"sum","name":"sum","value":"inf"})";
  const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {  // --watch values, value lines
      {{"sum"}, {sum}},
      {{"sum", "a,b"}, {R"({"type":"value","frame":1,"channel":"a,b","name":"a,b","value":3e+38})", sum}},
  };
  for (const auto& [ids, lines] : cases) {
    std::vector<std::string> args = {"run", scene, "-f", "jsonl"};
    for (const std::string& id : ids) args.insert(args.end(), {"--watch", id});
    EXPECT_EQ(LinesWith(RunDravik(args).out, "\"type\":\"value\""), lines) << ids.back();
  }
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
  const Result r = RunDravik({"run", scene, "-f", "csv"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(LinesWith(r.err, "warning"),
            std::vector<std::string>{"dravik: warning: " + scene +
                                     ": /events/2/frame: frame 4 is after the last frame (3): the event never happens"});
  EXPECT_EQ(LinesWith(r.out, ",r,").at(2), "3,r,r,value,12,,,");
}

// A parameter added and linked at frame 2 is read at frame 2; events that
// change nothing are warned of by check and noted so by run; the note after
// inputs not taken names the link.
TEST(RunEvents, TakeEffectInTheirFrameAndThoseThatDoNothingSaySo) {
  testing_support::ScratchDir dir;
  const std::string scene = WriteFile(dir.File("s.json"), R"({"frames": 3,
    "procedures": [{"owner": "S", "name": "P", "params": [{"name": "a"}, {"name": "y", "mode": "out"}],
                    "outputs": {"y": "a * 2"}}],
    "channels": [{"id": "x", "type": "value", "value": 1}, {"id": "z", "type": "value", "value": 5},
                 {"id": "r", "type": "value"},
                 {"id": "c", "type": "call", "owner": "S", "procedure": "P", "links": {"a": "x", "y": "r"}}],
    "events": [{"frame": 2, "change_params": {"owner": "S", "procedure": "P",
                  "params": [{"name": "b"}, {"name": "a"}, {"name": "y", "mode": "out"}], "outputs": {"y": "a * 2 + b"}}},
               {"frame": 2, "link": {"channel": "c", "param": "b", "source": "z"}},
               {"frame": 2, "link": {"channel": "c", "param": "a", "source": "x"}},
               {"frame": 3, "link": {"channel": "c", "param": "b", "source": null}},
               {"frame": 3, "link": {"channel": "c", "param": "b", "source": null}},
               {"frame": 3, "rename": {"owner": "S", "procedure": "P", "new_name": "P"}}]})");
  const Result strict = RunDravik({"run", scene, "-f", "jsonl", "--frames", "2", "--strict"});
  EXPECT_EQ(strict.exitCode, 0) << strict.err;
  ExpectHas(strict.out, {R"({"type":"value","frame":2,"channel":"r","name":"r","value":7})"});
  const Result inspect = RunDravik({"inspect", scene, "c", "--frame", "2", "-f", "json"});
  ASSERT_EQ(inspect.exitCode, 0) << inspect.err;
  EXPECT_EQ(json::parse(inspect.out)["links"][0],
            json::parse(R"({"name":"b","type":"Value","mode":"in","plugged":{"channel":"z","kind":"value"},
                            "read":5,"written":null})"));
  const Result r = RunDravik({"run", scene, "-f", "jsonl"});
  std::vector<std::string> notes;
  for (const std::string& line : LinesWith(r.out, "\"type\":\"event\"")) notes.push_back(json::parse(line)["text"]);
  EXPECT_EQ(notes, (std::vector<std::string>{
                       "changed the parameters of S::P to (b: float in, a: float in, y: float out)",
                       "nothing to do: link 'a' of 'c' already takes 'x'", "plugged 'z' into link 'b' of 'c'",
                       "unplugged link 'b' of 'c'", "nothing to do: link 'b' of 'c' holds nothing",
                       "nothing to do: procedure S::P already has that name",
                       "'c' could not take its inputs: link 'b' held nothing"}));
  const Result check = RunDravik({"check", scene});
  EXPECT_EQ(check.exitCode, 0);
  EXPECT_EQ(LinesWith(check.out, "warning"),
            (std::vector<std::string>{
                scene + ": /events/2/link: warning: link 'a' of 'c' already takes 'x' at frame 2: the event does nothing",
                scene + ": /events/4/link: warning: link 'b' of 'c' holds nothing at frame 3: unplugging it does nothing",
                scene + ": /events/5/rename: warning: procedure S::P already has that name: the event does nothing"}));
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
