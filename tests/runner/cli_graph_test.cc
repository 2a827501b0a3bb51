// `dravik graph`: the tour's channels and links, hostile names kept as
// plain text in DOT and SVG, statuses from a run or a saved file, loops of
// calls; and the graph and the report never written over their scene.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using runner_testing::LinesWith;
using runner_testing::ReadFile;
using runner_testing::RunDravik;

// Calls p and q plugged into each other's links; r calls a procedure that
// does not exist. Ids and names hold quotes, markup, DOT escapes and a byte
// that is not UTF-8.
const char kHostileScene[] =
    "{\"name\": \"<b>\\\"&amp;\", \"frames\": 3, \"channels\": ["
    "{\"id\": \"x\\\"<y>\\\\N%n\\u00ff\", \"name\": \"</script>\", \"type\": \"value\", \"value\": 1},"
    "{\"id\": \"p\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Add\","
    " \"links\": {\"a\": \"q\", \"b\": \"x\\\"<y>\\\\N%n\\u00ff\"}},"
    "{\"id\": \"q\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Add\", \"links\": {\"a\": \"p\"}},"
    "{\"id\": \"r\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Nope\","
    " \"params\": [{\"name\": \"a\"}], \"links\": {\"a\": \"q\"}}],"
    " \"groups\": [{\"name\": \"G&\", \"channels\": [\"p\"]}]}";

TEST(GraphCommand, TourHasANodePerChannelAndAnEdgePerLink) {
  const runner_testing::Result r = RunDravik({"graph"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(LinesWith(r.out, "tooltip=").size(), 22u);
  EXPECT_EQ(LinesWith(r.out, " -> ").size(), 16u);
  EXPECT_EQ(LinesWith(r.out, "subgraph cluster_").size(), 2u);
  EXPECT_EQ(LinesWith(r.out, R"(label="step\nBody :: Step")").size(), 1u);
  EXPECT_EQ(LinesWith(r.out, R"([label="This"])").size(), 2u);
  EXPECT_EQ(LinesWith(r.out, "status").size(), 0u);  // nothing ran
  EXPECT_EQ(LinesWith(r.out, "c9 -> c18 [label=\"arm\", dir=both]").size(), 1u);
}

TEST(GraphCommand, HostileNamesStayTextAndStatusesShow) {
  testing_support::ScratchDir dir;
  const std::string scene = dir.File("scene.json");
  const std::string saved = dir.File("saved.zyr");
  const std::string svg = dir.File("graph.svg");
  runner_testing::WriteFile(scene, kHostileScene);
  ASSERT_EQ(RunDravik({"run", scene, "-q", "--save", saved}).exitCode, 0);

  const runner_testing::Result dot = RunDravik({"graph", scene, "--frames", "2"});
  ASSERT_EQ(dot.exitCode, 0) << dot.err;
  EXPECT_NE(dot.out.find(R"(label="x\"<y>\\N%n)" "\xC3\xBF" R"(\n</script>")"), std::string::npos) << dot.out;
  EXPECT_NE(dot.out.find(R"(label="G&amp;")"), std::string::npos);
  EXPECT_EQ(LinesWith(dot.out, "#c62828").size(), 4u) << dot.out;  // p, q and the links between them
  EXPECT_EQ(LinesWith(dot.out, "status 3").size(), 1u);          // q: link b unplugged

  for (const std::string& input : {scene, saved}) {
    const runner_testing::Result r = RunDravik({"graph", input, "-f", "svg", "-o", svg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const std::string text = ReadFile(svg);
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    EXPECT_NE(text.find("x&quot;&lt;y&gt;\\N%n\xC3\xBF</text>"), std::string::npos) << text;
    EXPECT_NE(text.find("&lt;/script&gt;</text>"), std::string::npos);
    EXPECT_NE(text.find("&lt;b&gt;&quot;&amp;amp;</text>"), std::string::npos);
    EXPECT_EQ(text.find("<y>"), std::string::npos);
    // The saved file keeps each call's last status: r failed, q took no inputs.
    EXPECT_EQ(text.find("fill=\"#ffcdd2\"") != std::string::npos, input == saved);
    EXPECT_EQ(text.find("fill=\"#ffe0b2\"") != std::string::npos, input == saved);
  }
}

TEST(GraphAndReport, NeverWriteOverTheirScene) {
  testing_support::ScratchDir dir;
  const std::string scene = dir.File("scene.json");
  runner_testing::WriteFile(scene, kHostileScene);
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string part;
  } cases[] = {
      {{"graph", scene, "-o", scene}, 1, "not writing the graph over its own scene"},
      {{"graph", scene, "-o", dir.File("no/such/dir/g.dot")}, 1, "cannot write '"},
      {{"graph", dir.File("none.json")}, 1, "cannot open '"},
      {{"graph", scene, "-f", "png"}, 2, "png"},
      {{"run", scene, "-q", "--report", scene}, 1, "not writing the report over the scene or the saved file"},
      {{"run", scene, "-q", "--report", dir.File("r"), "--save", dir.File("r")}, 1, "not writing the report over"},
      {{"run", scene, "-q", "--report", dir.File("no/r.html")}, 1, "cannot write '"},
  };
  for (const auto& c : cases) {
    const runner_testing::Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.part), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadFile(scene), kHostileScene);
}

}  // namespace
