// The event replay: each event meets the procedures and links it will meet
// at its frame, and what can only fail is found, with its JSON path.
#include <string>

#include <gtest/gtest.h>

#include "runner/procedures/procedure_library.h"
#include "runner/scene/event_check.h"
#include "runner/scene/scene_json.h"

namespace {

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
  dravik::Scene scene;
  std::string error;
  EXPECT_TRUE(dravik::LoadSceneJson(text, &scene, &error)) << error;
  std::string out;
  for (const dravik::SceneFinding& f : dravik::CheckSceneEvents(scene, dravik::BuiltinProcedures(), 10).findings) {
    out += (f.severity == dravik::SceneFinding::Severity::kWarning ? "warning " : "") + f.Line() + "\n";
  }
  return out;
}

TEST(EventCheck, FindsWhatCanOnlyFail) {
  const struct {
    const char* events;
    const char* want;  // a part of the findings; "" for none at all
  } cases[] = {
      // Links: the kind a link takes, links the call never has, itself.
      {R"({"frame": 1, "link": {"channel": "c", "param": "x", "source": "v"}})",
       "/events/0/link/source: link 'x' of 'c' takes a \"Value\" channel, not the vector channel 'v'"},
      {R"({"frame": 1, "link": {"channel": "c", "param": "zz", "source": null}})",
       "/events/0/link/param: call 'c' never has a link 'zz' from frame 1 on"},
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
      {R"({"frame": 11, "remove": {"owner": "Math", "procedure": "Sin"}})",
       "warning /events/0/frame: frame 11 is after the last frame (10): the event never happens"},
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

}  // namespace
