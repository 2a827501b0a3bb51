// The scene as the runner reads it: the loader (event order, the JSON path
// of every error, bounds; arbitrary input is left to
// fuzz/scene_json_fuzzer.cc), the event replay that finds what can only
// fail, and the module's mode descriptions read through the runner's own
// copy of the exported record's layout. Then the procedures a scene runs:
// the built-in ones, run through a registry of their own, and those written
// as expressions (compile errors with their path, object properties,
// failures at run time).
#include <algorithm>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/vantic_objects.h"
#include "hostapi/vantic_procedure.h"
#include "plugin/multimode/mode_description.h"
#include "runner/environment/prc_call_module.h"
#include "runner/procedures/expression_procedure.h"
#include "runner/procedures/procedure_library.h"
#include "runner/procedures/var_access.h"
#include "runner/scene/event_check.h"
#include "runner/scene/id_index.h"
#include "runner/scene/saved_id_index.h"
#include "runner/scene/scene_json.h"
#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using dravik::ExportedModeDescription;
using dravik::FloatParam;
using dravik::LoadSceneJson;
using dravik::ParamSpec;
using dravik::ParamType;
using dravik::Scene;

static_assert(sizeof(ExportedModeDescription) == sizeof(ModeDescription));
static_assert(alignof(ExportedModeDescription) == alignof(ModeDescription));
static_assert(offsetof(ExportedModeDescription, Name) == offsetof(ModeDescription, Name));
static_assert(offsetof(ExportedModeDescription, ShortName) == offsetof(ModeDescription, ShortName));
static_assert(offsetof(ExportedModeDescription, Children) == offsetof(ModeDescription, Children));
static_assert(offsetof(ExportedModeDescription, OrderIndex) == offsetof(ModeDescription, OrderIndex));
static_assert(std::is_same_v<decltype(ExportedModeDescription::Name), decltype(ModeDescription::Name)>);
static_assert(std::is_same_v<decltype(ExportedModeDescription::Children), decltype(ModeDescription::Children)>);
static_assert(std::is_same_v<decltype(ExportedModeDescription::OrderIndex), decltype(ModeDescription::OrderIndex)>);

// The scene `text` holds; a failure when the loader refuses it.
Scene Loaded(const std::string& text) {
  Scene scene;
  std::string error;
  EXPECT_TRUE(LoadSceneJson(text, &scene, &error)) << error;
  return scene;
}

std::string ErrorOf(const std::string& text) {
  Scene scene;
  std::string error;
  EXPECT_FALSE(LoadSceneJson(text, &scene, &error)) << text;
  return error;
}

TEST(SceneJson, EventsAreSortedByFrameKeepingTheirOrder) {
  const Scene scene = Loaded(R"({"events": [
      {"frame": 5, "remove": {"owner": "A", "procedure": "B"}},
      {"frame": 2, "remove": {"owner": "A", "procedure": "C"}},
      {"frame": 5, "register": {"owner": "A", "procedure": "B"}}]})");
  EXPECT_EQ(scene.events[0].procedure, "C");
  EXPECT_EQ(scene.events[1].kind, dravik::EventKind::kRemove);
  EXPECT_EQ(scene.events[2].kind, dravik::EventKind::kRegister);
}

TEST(SceneJson, ErrorsNameTheJsonPath) {
  const std::pair<const char*, const char*> cases[] = {
      {"[]", "/: expected an object"},
      {R"({"frames": 1.5})", "/frames: expected a whole number"},
      {R"({"objects": [{"id": "a"}]})", "/objects/0/class: missing"},
      {R"({"objects": [{"id": "a", "class": "B", "vectors": {"p": [1, 2]}}]})", "/objects/0/vectors/p: expected a vector"},
      {R"({"channels": [{"id": "a", "type": "bulb"}]})", "/channels/0/type: expected"},
      {R"({"channels": [{"id": "a", "type": "value", "value": 1e39}]})", "/channels/0/value: number out of the float range"},
      {R"({"channels": [{"id": "a", "type": "value", "object": "o"}]})", "/channels/0/object: not a field of a value channel"},
      {R"({"channels": [{"id": "a", "type": "value"}, {"id": "a", "type": "value"}]})", "/channels/1/id: channel id 'a' used twice"},
      {R"({"channels": [{"id": "a", "type": "value", "animate": {}}]})", "/channels/0/animate: give either"},
      {R"({"channels": [{"id": "a", "type": "vector", "animate": {"step": 1}}]})", "/channels/0/animate/step: expected a vector"},
      {R"({"channels": [{"id": "a", "type": "object", "object": "nobody"}]})", "/channels/0/object: no object 'nobody'"},
      {R"({"channels": [{"id": "c", "type": "call", "owner": "M", "procedure": "P", "params": [{"name": "x", "mode": "sideways"}]}]})",
       "/channels/0/params/0/mode: expected"},
      {R"({"procedures": [{"owner": "S", "name": "P", "params": [{"name": "y", "mode": "out"}]}]})",
       "/procedures/0/outputs: no expression for output parameter 'y'"},
      {R"({"procedures": [{"owner": "S", "name": "P", "params": [{"name": "x"}], "outputs": {"x": "1"}}]})",
       "/procedures/0/outputs/x: parameter 'x' is an input only"},
      {R"({"groups": [{"name": "G", "channels": ["nope"]}]})", "/groups/0/channels/0: no channel 'nope'"},
      {R"({"events": [{"frame": 0, "remove": {"owner": "A", "procedure": "B"}}]})", "/events/0/frame: must be from 1"},
      {R"({"events": [{"frame": 1}]})", "/events/0: no event"},
      {R"({"events": [{"frame": 1, "set": {"channel": "x", "value": 1}}]})", "/events/0: no channel 'x'"},
      {R"({"channels": [{"id": "a/b~c", "type": "vector"}], "events": [{"frame": 1, "set": {"channel": "a/b~c", "value": 1}}]})",
       "/events/0: expected a vector value"},
      {R"({"channels": [{"id": "c", "type": "call", "owner": "M", "procedure": "P", "links": {"a/b": 3}}]})",
       "/channels/0/links/a~1b: expected a channel id"},
  };
  for (const auto& [text, part] : cases) {
    const std::string error = ErrorOf(text);
    EXPECT_NE(error.find(part), std::string::npos) << text << "\n  gave: " << error;
  }
}

// Texts where the fast reading and the careful one part ways (repeated
// keys, integers past 64 bits, surrogates, a byte-order mark, key order):
// LoadSceneJson answers as the careful reading does, word for word.
TEST(SceneJson, FastReadingAnswersAsTheCarefulOne) {
  const char* cases[] = {
      R"({"channels": [{"id": "a", "type": "value", "value": 18446744073709551616}]})",
      R"({"objects": [{"id": "o", "class": "C", "floats": {"k": 1, "j": 3, "k": 2}}]})",
      R"({"channels": [{"id": "x", "type": "value"}, {"id": "c", "type": "call", "owner": "M", "procedure": "P",
          "params": [{"name": "a"}, {"name": "b"}], "links": {"b": "x", "a": "x"}}]})",
      R"({"name": "\udc00"})",
      R"({"name": "\ud800\u0041"})",
      "\xEF\xBB\xBF{\"frames\": 2}",
      R"({"\u00e9x": 1, "zz": 2})",
      R"({"frames": -0} x)",
      R"({"frames": 3, "frames": 3})",
      R"({"procedures": [{"owner": "S", "name": "P", "params": [{"name": "y", "mode": "out"}, {"name": "x", "mode": "out"}],
          "outputs": {"y": "1", "x": 2, "w": "3"}}]})",
  };
  for (const char* text : cases) {
    Scene fast;
    Scene careful;
    std::string fastError;
    std::string carefulError;
    EXPECT_EQ(LoadSceneJson(text, &fast, &fastError), dravik::LoadSceneJsonCarefully(text, &careful, &carefulError))
        << text;
    EXPECT_EQ(fastError, carefulError) << text;
    ASSERT_EQ(fast.channels.size(), careful.channels.size()) << text;
    for (size_t i = 0; i < fast.channels.size(); ++i) {
      EXPECT_EQ(fast.channels[i].value, careful.channels[i].value) << text;
      ASSERT_EQ(fast.channels[i].links.size(), careful.channels[i].links.size()) << text;
      for (size_t l = 0; l < fast.channels[i].links.size(); ++l) {
        EXPECT_EQ(fast.channels[i].links[l].param, careful.channels[i].links[l].param) << text;
      }
    }
    EXPECT_EQ(fast.frames, careful.frames) << text;
  }
}

TEST(SceneJson, NamesAndNestingAreBounded) {
  const std::string longId(300, 'x');
  runner_testing::ExpectHas(ErrorOf(R"({"channels": [{"id": ")" + longId + R"(", "type": "value"}]})"), {"at most 255"});
  EXPECT_NE(ErrorOf(std::string(100, '[') + std::string(100, ']')).find("nested deeper than 64"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"name": "a\u0000b"})").find("NUL"), std::string::npos);
  // Lists are bounded by kMaxItems (20,000 channels were once refused).
  std::string many = R"({"channels": [)";
  for (int i = 0; i <= 20000; ++i) many += (i ? R"(, {"id": "c)" : R"({"id": "c)") + std::to_string(i) + R"(", "type": "value"})";
  EXPECT_EQ(Loaded(many + "]}").channels.size(), 20001u);
  std::string over = R"({"events": [0)";
  for (size_t i = 0; i < dravik::kMaxItems; ++i) over += ",0";
  EXPECT_NE(ErrorOf(over + "]}").find("/events: list of 2000001 entries; at most 2000000 allowed"), std::string::npos);
  // User text in messages is shown printable.
  EXPECT_NE(ErrorOf("{\"x\\u0001%s\": 1}").find("unknown field 'x\\x01%s'"), std::string::npos);
}

// Findings of the scene below with `events`, one "path: what" per line,
// warnings marked "warning ".
std::string Findings(const std::string& events) {
  const std::string text = R"({"frames": 10,
    "procedures": [{"owner": "S", "name": "P", "params": [{"name": "a"}, {"name": "y", "mode": "out"}],
                    "outputs": {"y": "a * k"}, "constants": {"k": 2}}],
    "channels": [{"id": "x", "type": "value"}, {"id": "v", "type": "vector"},
                 {"id": "c", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"x": "x"}},
                 {"id": "p", "type": "call", "owner": "S", "procedure": "P"}],
    "events": [)" + events + "]}";
  const Scene scene = Loaded(text);
  std::string out;
  for (const dravik::SceneFinding& f : dravik::CheckSceneEvents(scene, dravik::BuiltinProcedures(), 10).findings) {
    out += (f.severity == dravik::SceneFinding::Severity::kWarning ? "warning " : "") + f.Line() + "\n";
  }
  return out;
}

// A link the call never has, and events after the last frame, are checked
// through `dravik check` and `dravik run` (cli_inspect_test, cli_run_test).
// Every id is found at its first position, whatever the table's size and
// however the ids cluster; a missing id, or any id of an empty index, is not.
TEST(IdIndex, FindsTheFirstOfEachIdAndNothingElse) {
  dravik::IdIndex none;
  EXPECT_EQ(none.Find("a", [](size_t) { return std::string_view(); }), dravik::IdIndex::kNone);
  for (size_t n : {size_t{0}, size_t{1}, size_t{7}, size_t{8}, size_t{9}, size_t{50'000}}) {
    std::vector<std::string> ids;
    for (size_t i = 0; i < n; ++i) ids.push_back("c" + std::to_string(i % (n / 2 + 1)));  // the second half repeats
    const auto idOf = [&](size_t i) { return std::string_view(ids[i]); };
    dravik::IdIndex index;
    index.Build(ids.size(), idOf);
    EXPECT_EQ(index.size(), std::min(n, n / 2 + 1)) << n;
    for (size_t i = 0; i < n; ++i) ASSERT_EQ(index.Find(ids[i], idOf), i % (n / 2 + 1)) << n << " " << i;
    EXPECT_EQ(index.Find("c", idOf), dravik::IdIndex::kNone);
    EXPECT_EQ(index.Find("", idOf), dravik::IdIndex::kNone);
    EXPECT_EQ(index.Find("c" + std::to_string(n), idOf), dravik::IdIndex::kNone);
  }
}

// Looking near a place first answers as the index does: the first of a
// repeated id, kNone for a missing one.
TEST(IdIndex, LookingNearAPlaceAnswersAsTheIndex) {
  dravik::Scene scene;
  for (const char* id : {"x", "y", "z", "x"}) scene.channels.emplace_back().id = id;
  scene.BuildIndexes();
  EXPECT_EQ(scene.ChannelPositionNear("x", 3, 4), 0u);  // not 3, nearer
  scene.channels[3].id = "w";
  scene.BuildIndexes();
  EXPECT_EQ(scene.ChannelPositionNear("w", 0, 4), 3u);
  EXPECT_EQ(scene.ChannelPositionNear("y", 1, 2), 1u);
  EXPECT_EQ(scene.ChannelPositionNear("x", 2, 4), 0u);  // outside the places, from the index
  EXPECT_EQ(scene.ChannelPositionNear("v", 0, 4), dravik::IdIndex::kNone);
  EXPECT_EQ(scene.ChannelPositionNear("z", 9, 99), 2u);  // places past the end are not looked at
}

// Any 32-bit id, 0 and the largest included, is found once inserted; a
// repeat is refused and changes nothing.
TEST(SavedIdIndex, FindsWhatWasInsertedAndRefusesRepeats) {
  dravik::SavedIdIndex index(50'000);
  EXPECT_EQ(index.Find(0), dravik::SavedIdIndex::kNone);
  EXPECT_TRUE(index.Insert(0, 7));
  EXPECT_TRUE(index.Insert(UINT32_MAX, 8));
  for (uint32_t id = 1; id < 49'998; ++id) ASSERT_TRUE(index.Insert(id * 16, id));  // ids as a host spaces them
  EXPECT_FALSE(index.Insert(16, 99));
  EXPECT_EQ(index.Find(16), 1u);
  EXPECT_EQ(index.Find(0), 7u);
  EXPECT_EQ(index.Find(UINT32_MAX), 8u);
  EXPECT_EQ(index.Find(49'997u * 16), 49'997u);
  EXPECT_EQ(index.Find(17), dravik::SavedIdIndex::kNone);
}

TEST(EventCheck, FindsWhatCanOnlyFail) {
  const struct {
    const char* events;
    const char* want;  // a part of the findings; "" for none at all
  } cases[] = {
      // Links: the kind a link takes, links the call never has, itself.
      {R"({"frame": 1, "link": {"channel": "c", "param": "x", "source": "v"}})",
       "/events/0/link/source: link 'x' of 'c' takes a \"Value\" channel, not the vector channel 'v'"},
      {R"({"frame": 1, "link": {"channel": "c", "param": "This", "source": null}})", "(its procedure is static)"},
      {R"({"frame": 1, "link": {"channel": "c", "param": "x", "source": "c"}})",
       "/events/0/link/source: call 'c' is plugged into its own link 'x': a call cannot read itself"},
      // A link a later parameter change gives, and one the call follows through a rename.
      {R"({"frame": 2, "link": {"channel": "c", "param": "w", "source": "v"}},
          {"frame": 3, "rename": {"owner": "Math", "procedure": "Sin", "new_name": "S2"}},
          {"frame": 4, "change_params": {"owner": "Math", "procedure": "S2", "params": [{"name": "w", "type": "vec3"}]}})",
       ""},
      // Procedures that are not there at the event's frame.
      {R"({"frame": 2, "rename": {"owner": "Math", "procedure": "Nope", "new_name": "X"}})",
       "/events/0/rename: procedure Math::Nope is not registered at frame 2\n"},
      {R"({"frame": 2, "rename": {"owner": "Math", "procedure": "Add", "new_name": "Plus"}},
          {"frame": 3, "remove": {"owner": "Math", "procedure": "Add"}})",
       "/events/1/remove: procedure Math::Add is not registered at frame 3 (renamed to Math::Plus at frame 2)"},
      {R"({"frame": 1, "remove": {"owner": "S", "procedure": "P"}},
          {"frame": 2, "change_params": {"owner": "S", "procedure": "P", "params": []}})",
       "/events/1/change_params: procedure S::P is not registered at frame 2 (removed at frame 1)"},
      {R"({"frame": 1, "register": {"owner": "A", "procedure": "B"}})", "/events/0/register: no definition of A::B"},
      {R"({"frame": 1, "register": {"owner": "Math", "procedure": "Sin"}})", "Math::Sin is already registered"},
      {R"({"frame": 1, "rename": {"owner": "Math", "procedure": "Add", "new_name": "Sub"}})",
       "/events/0/rename/new_name: procedure Math::Sub is already registered at frame 1"},
      {R"({"frame": 1, "remove": {"owner": "Math", "procedure": "Sin"}},
          {"frame": 2, "register": {"owner": "Math", "procedure": "Sin"}})",
       ""},
      // Outputs of an expression procedure; constants.
      {R"({"frame": 1, "change_params": {"owner": "S", "procedure": "P",
          "params": [{"name": "a"}, {"name": "y", "mode": "out"}, {"name": "z", "mode": "out"}]}})",
       "/events/0/change_params/params/2: output parameter 'z' of S::P has no expression (give \"outputs\")"},
      {R"({"frame": 1, "change_params": {"owner": "Math", "procedure": "Sin", "params": [], "constants": {"k": 1}}})",
       "/events/0/change_params/constants: procedure Math::Sin is not defined by expressions"},
  };
  for (const auto& c : cases) {
    const std::string found = Findings(c.events);
    if (std::string(c.want).empty()) {
      EXPECT_EQ(found, "") << c.events;
    } else {
      EXPECT_NE(found.find(c.want), std::string::npos) << c.events << "\n  gave: " << found;
    }
  }
}

TEST(BuiltinProcedures, ComputeFailWithAMessageAndKeepTheirNames) {
  dravik::ProcedureLibrary library;
  ProceduresManager procedures;
  ASSERT_EQ(library.RegisterAll(procedures), library.Definitions().size());
  testing_support::MessageCapture messages;
  VarList clamp(procedures.GetProcedure("Math", "Clamp")->_params);
  FloatParam(clamp, "x")->_value = 9;
  FloatParam(clamp, "lo")->_value = 0;
  FloatParam(clamp, "hi")->_value = 4;
  ASSERT_EQ(procedures.GetProcedure("Math", "Clamp")->Execute(clamp), 0);
  EXPECT_EQ(FloatParam(clamp, "result")->_value, 4);
  FloatParam(clamp, "lo")->_value = 5;
  EXPECT_EQ(procedures.GetProcedure("Math", "Clamp")->Execute(clamp), 1);
  EXPECT_EQ(messages.CountContaining("Math::Clamp: lo is above hi"), 1u);
  VarList scale(procedures.GetProcedure("Vec3", "Scale")->_params);
  dravik::VectorParam(scale, "v")->_value = Vec3{1, -2, 3};
  FloatParam(scale, "s")->_value = 2;
  ASSERT_EQ(procedures.GetProcedure("Vec3", "Scale")->Execute(scale), 0);
  EXPECT_EQ(dravik::VectorParam(scale, "result")->_value.y, -4);
  // Parameters of another type, and names that are unknown.
  VarList wrong = dravik::MakeParams({{"a", ParamType::kVec3, 1}});
  EXPECT_EQ(procedures.GetProcedure("Math", "Add")->Execute(wrong), 1);
  EXPECT_EQ(messages.CountContaining("Math::Add: parameter 'a' is missing or of another type"), 1u);
  // (A name taken is refused by the manager, tested in tests/host; a
  // procedure removed and registered again is the tour's Math::Sin.)
  EXPECT_FALSE(library.Register(procedures, "Math", "Nope"));
}

class ExpressionProcedure : public ::testing::Test {
 protected:
  bool Compile(std::vector<ParamSpec> params, std::map<std::string, std::vector<std::string>> outputs,
               bool isStatic = true) {
    specs = std::move(params);
    vars = dravik::MakeParams(specs);
    return dravik::CompileExpressionBody("S::P", isStatic, specs, outputs, {{"k", 10.0}}, "/procedures/0", &body,
                                         &error);
  }

  std::vector<ParamSpec> specs;
  VarList vars;
  VeskProcedure::Body body;
  std::string error;
  testing_support::MessageCapture messages;
};

TEST_F(ExpressionProcedure, ComputesOutputsFromTheInputsAsTheyWere) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 3}, {"y", ParamType::kFloat, 2}},
                      {{"x", {"x + 1"}}, {"y", {"x * k"}}}))
      << error;
  FloatParam(vars, "x")->_value = 2;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(FloatParam(vars, "x")->_value, 3);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 20);  // from x = 2, not 3
  // Not static: it reads its object's properties, a missing one as 0.
  ASSERT_TRUE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass * self.pos.y + self.missing"}}}, false))
      << error;
  VanticObject object(1, "Body", "B");
  object.SetFloat("mass", 2);
  object.SetVector("pos", Vec3{0, 4, 0});
  vars._thisObject = &object;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 8);
}

TEST_F(ExpressionProcedure, CompileErrorsNameTheOutput) {
  EXPECT_FALSE(Compile({{"v", ParamType::kVec3, 2}}, {{"v", {"1", "nosuch", "3"}}}));
  EXPECT_EQ(error.rfind("/procedures/0/outputs/v/1: ", 0), 0u) << error;
  // Object properties only for procedures that are not static.
  EXPECT_FALSE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass"}}}, true));
}

TEST_F(ExpressionProcedure, FailsOnValuesThatAreNotFiniteFloatsAndOnMissingParameters) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"sqrt(x)"}}}));
  FloatParam(vars, "x")->_value = -1;
  FloatParam(vars, "y")->_value = 7;
  EXPECT_EQ(body(vars), 1);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 7);  // nothing written
  EXPECT_EQ(messages.CountContaining("S::P: output 'y' is not a finite float"), 1u);
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"x * x"}}}));
  FloatParam(vars, "x")->_value = 1e30f;
  EXPECT_EQ(body(vars), 1);
  VarList other = dravik::MakeParams({{"y", ParamType::kFloat, 2}});
  EXPECT_EQ(body(other), 1);
  EXPECT_EQ(messages.CountContaining("parameter 'x' is missing"), 1u);
}

}  // namespace
