// The scene loader: event order, the JSON path of every error, and bounds
// (arbitrary input is left to fuzz/scene_json_fuzzer.cc).
#include <string>

#include <gtest/gtest.h>

#include "runner/scene/scene_json.h"

namespace {

using dravik::LoadSceneJson;
using dravik::Scene;

std::string ErrorOf(const std::string& text) {
  Scene scene;
  std::string error;
  EXPECT_FALSE(LoadSceneJson(text, &scene, &error)) << text;
  return error;
}

TEST(SceneJson, EventsAreSortedByFrameKeepingTheirOrder) {
  Scene scene;
  std::string error;
  ASSERT_TRUE(LoadSceneJson(R"({"events": [
      {"frame": 5, "remove": {"owner": "A", "procedure": "B"}},
      {"frame": 2, "remove": {"owner": "A", "procedure": "C"}},
      {"frame": 5, "register": {"owner": "A", "procedure": "B"}}]})",
                            &scene, &error))
      << error;
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

TEST(SceneJson, NamesAndNestingAreBounded) {
  const std::string longId(300, 'x');
  EXPECT_NE(ErrorOf(R"({"channels": [{"id": ")" + longId + R"(", "type": "value"}]})").find("at most 255"),
            std::string::npos);
  EXPECT_NE(ErrorOf(std::string(100, '[') + std::string(100, ']')).find("nested deeper than 64"), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"name": "a\u0000b"})").find("NUL"), std::string::npos);
  // Lists are bounded by kMaxItems (20,000 channels were once refused).
  std::string many = R"({"channels": [)";
  for (int i = 0; i <= 20000; ++i) many += (i ? R"(, {"id": "c)" : R"({"id": "c)") + std::to_string(i) + R"(", "type": "value"})";
  Scene scene;
  std::string error;
  EXPECT_TRUE(LoadSceneJson(many + "]}", &scene, &error)) << error;
  std::string over = R"({"events": [0)";
  for (size_t i = 0; i < dravik::kMaxItems; ++i) over += ",0";
  EXPECT_NE(ErrorOf(over + "]}").find("/events: list of 2000001 entries; at most 2000000 allowed"), std::string::npos);
  // User text in messages is shown printable.
  EXPECT_NE(ErrorOf("{\"x\\u0001%s\": 1}").find("unknown field 'x\\x01%s'"), std::string::npos);
}

}  // namespace
