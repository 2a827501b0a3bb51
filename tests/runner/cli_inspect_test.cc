// Looking at a scene: `dravik inspect` (one channel at one frame, as the
// runner saw it), `dravik check` (what a scene will do wrong, found without
// running it), `dravik graph` (channels and links, hostile names kept as
// plain text in DOT and SVG and everywhere a person reads them, statuses
// from a run or a saved file), and
// `dravik dump` and `dravik diff` on good, older and damaged saved files.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace runner_testing {
namespace {

using nlohmann::json;

json Inspect(const std::vector<std::string>& args) {
  std::vector<std::string> all = {"inspect"};
  all.insert(all.end(), args.begin(), args.end());
  all.insert(all.end(), {"-f", "json"});
  const Result r = RunDravik(all);
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

// Expects each field of `want` in `view`, or in its link `link` when one is
// named.
void ExpectFields(const json& view, const json& want, const std::string& link = "") {
  const json at = link.empty() ? view : Link(view, link);
  for (const auto& [key, value] : want.items()) EXPECT_EQ(at.value(key, json()), value) << link << " " << key;
}

TEST(Inspect, CallChannelsShowBindingLinksAndMessagesOfTheFrame) {
  const std::string tour = Example("tour.json");
  // In/out and out links after the parameter change: what was read, what was written back.
  const json acc = Inspect({tour, "acc", "--frame", "10"});
  ExpectFields(acc, {{"binding", "bound"}, {"static", true}, {"status", 0}});
  ExpectFields(acc, {{"mode", "inout"}}, "total");
  ExpectFields(acc, {{"plugged", {{"channel", "sum"}, {"kind", "value"}}}}, "rate");
  ExpectFields(acc, {{"read", nullptr}}, "doubled");
  const float total = Link(acc, "total")["read"].get<float>() + 0.1f * Link(acc, "rate")["read"].get<float>();
  EXPECT_NEAR(Link(acc, "total")["written"].get<float>(), total, 1e-5);
  EXPECT_NEAR(Link(acc, "doubled")["written"].get<float>(), 2 * total, 1e-5);
  // A removed procedure: unbound, nothing written back, its own messages only.
  const json sin = Inspect({tour, "sin", "--frame", "14"});
  ExpectFields(sin, {{"binding", "unbound"}, {"status", 1}});
  ExpectFields(sin, {{"read", 3.25}}, "x");
  ExpectFields(sin, {{"written", nullptr}}, "result");
  ASSERT_EQ(sin["messages"].size(), 3u);
  EXPECT_NE(sin["messages"][0]["text"].get<std::string>().find("[Math/Sin].NotFound!"), std::string::npos);
  // Inputs not taken: the "This" link holds an object channel of no object.
  const json ghost = Inspect({tour, "ghost"});
  ExpectFields(ghost, {{"frame", 20}, {"static", false}, {"status", 3}});
  EXPECT_EQ(Link(ghost, "This")["plugged"]["channel"], "nobody");
  ExpectFields(ghost, {{"plugged", nullptr}}, "position");
  // A saved file as loaded, and gone on from its frame.
  testing_support::ScratchDir dir;
  const std::string saved = dir.File("t8.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "8", "--save", saved, "-q"}).exitCode, 0);
  ExpectFields(Inspect({saved, "add", "--frame", "8"}), {{"ran", false}, {"name", "Math :: Plus"}});
  ExpectFields(Inspect({saved, "t"}), {{"frame", 20}, {"value", 4.75}, {"group", "Inputs"}});
}

// Each warning the check gives, with the JSON path it names, and the
// errors that make `run` refuse the scene.
TEST(Check, WarnsOfWhatWillNotWorkAndFailsOnWhatRunRefuses) {
  testing_support::ScratchDir dir;
  const std::string head = R"({"frames": 2, "objects": [{"id": "o", "class": "Body", "floats": {"mass": 2}}],
    "procedures": [{"owner": "P", "name": "Q", "static": false, "params": [{"name": "y", "mode": "out"}],
                    "outputs": {"y": "self.mass + self.pos.x + self.gone"}}],
    "channels": [{"id": "v", "type": "value"}, {"id": "lonely", "type": "value", "watch": false},
      {"id": "ref", "type": "object", "object": "o"},
      {"id": "c1", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "c2", "b": "v", "result": "v"}},
      {"id": "c2", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "c1", "b": "v"}},
      {"id": "c3", "type": "call", "owner": "Math", "procedure": "Sin"},
      {"id": "q", "type": "call", "owner": "P", "procedure": "Q", "links": {"This": "ref", "y": "v"}},
      {"id": "gone", "type": "call", "owner": "Math", "procedure": "Gone", "params": [{"name": "x"}]})";
  const struct {
    std::string tail;
    int exitCode;
    std::vector<std::string> lines;
  } cases[] = {
      {R"(], "events": [{"frame": 5, "set": {"channel": "v", "value": 1}}]})", 0,
       {"/events/0/frame: warning: frame 5 is after the last frame (2)",
        "/procedures/0/outputs/y: warning: self.pos.x/.y/.z: no object of the scene has the vector property 'pos'",
        "/procedures/0/outputs/y: warning: self.gone: no object of the scene has the float property 'gone'",
        "/channels/1: warning: channel 'lonely' is not watched and nothing reads it",
        "/channels/3: warning: call 'c1' is on a loop of call channels (it reads 'c2')",
        "/channels/4: warning: call 'c2' is on a loop of call channels (it reads 'c1')",
        "/channels/5/links: warning: link 'x' is left unplugged, and Math::Sin reads it",
        "/channels/7: warning: call 'gone': procedure Math::Gone is registered at no frame: the call answers 1.0"}},
      // A link event that plugs the link later, and one that reads 'lonely', silence two of them
      // (gone's link 'x' is never read: the call finds no procedure).
      {R"(], "events": [{"frame": 2, "link": {"channel": "c3", "param": "x", "source": "lonely"}}]})", 0, {}},
      {R"(], "events": [{"frame": 1, "link": {"channel": "c3", "param": "nope", "source": "v"}}]})", 1,
       {"/events/0/link/param: error: call 'c3' never has a link 'nope'"}},
      {R"(, {"id": "bad", "type": "call", "owner": "Math", "procedure": "Sin", "links": {"z": "v"}}]})", 1,
       {"error: /channels/8/links/z: procedure Math::Sin has no parameter 'z'"}},
  };
  for (const auto& c : cases) {
    const std::string scene = WriteFile(dir.File("scene.json"), head + c.tail);
    const Result r = RunDravik({"check", scene});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.tail << "\n" << r.out << r.err;
    for (const std::string& line : c.lines) {
      EXPECT_EQ(LinesWith(r.out, scene + ": " + line).size(), 1u) << line << "\n" << r.out;
    }
    if (c.lines.empty()) {
      EXPECT_EQ(LinesWith(r.out, "'lonely'").size() + LinesWith(r.out, "link 'x'").size(), 0u) << r.out;
    }
  }
  EXPECT_EQ(RunDravik({"check", Example("tour.json")}).exitCode, 0);
  const std::string clean = WriteFile(dir.File("clean.json"), R"({"channels": [{"id": "x", "type": "value"}]})");
  const Result r = RunDravik({"check", clean});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out + r.err, "dravik: " + clean + ": 0 error(s), 0 warning(s)\n");
  // run warns of the loop once, as check does; -q keeps warnings back.
  const std::string looped = WriteFile(dir.File("loop.json"), head + "]}");
  const Result run = RunDravik({"run", looped, "-f", "csv"});
  EXPECT_EQ(LinesWith(run.err, "warning: " + looped + ": /channels/3: call 'c1' is on a loop").size(), 1u) << run.err;
  EXPECT_EQ(RunDravik({"run", looped, "-f", "csv", "-q"}).err, "");
}

TEST(Graph, TourHasANodePerChannelAndAnEdgePerLink) {
  const Result r = RunDravik({"graph"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::pair<const char*, size_t> counts[] = {
      {"tooltip=", 22}, {" -> ", 16}, {"subgraph cluster_", 2}, {R"(label="step\nBody :: Step")", 1},
      {R"([label="This"])", 2}, {"status", 0},  // nothing ran
      {"c9 -> c18 [label=\"arm\", dir=both]", 1},
  };
  for (const auto& [part, count] : counts) EXPECT_EQ(LinesWith(r.out, part).size(), count) << part;
}

// Calls p and q plugged into each other's links; r calls a procedure that
// does not exist. Ids and names hold quotes, markup, DOT escapes and a byte
// that is not UTF-8.
TEST(Graph, HostileNamesStayTextAndStatusesShow) {
  testing_support::ScratchDir dir;
  const std::string scene = WriteFile(dir.File("scene.json"),
      "{\"name\": \"<b>\\\"&amp;\", \"frames\": 3, \"channels\": ["
      "{\"id\": \"x\\\"<y>\\\\N%n\\u00ff\\u202e\", \"name\": \"</script>\", \"type\": \"value\", \"value\": 1},"
      "{\"id\": \"p\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Add\","
      " \"links\": {\"a\": \"q\", \"b\": \"x\\\"<y>\\\\N%n\\u00ff\\u202e\"}},"
      "{\"id\": \"q\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Add\", \"links\": {\"a\": \"p\"}},"
      "{\"id\": \"r\\u00e9\\u202e\", \"type\": \"call\", \"owner\": \"Math\", \"procedure\": \"Nope\","
      " \"params\": [{\"name\": \"a\"}], \"links\": {\"a\": \"q\"}}],"
      " \"groups\": [{\"name\": \"G&\", \"channels\": [\"p\"]}]}");
  const std::string saved = dir.File("saved.zyr");
  const std::string svg = dir.File("graph.svg");
  const std::string report = dir.File("report.html");
  const Result run = RunDravik({"run", scene, "--save", saved, "--report", report});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  // Where a person reads, UTF-8 shows as it is and U+202E, which would turn
  // the text around it, as an escape; csv and jsonl keep the exact text.
  const std::string id = "r\xC3\xA9\xE2\x80\xAE";
  for (const std::string& text : {run.out, run.err, RunDravik({"inspect", scene, id}).out,
                                  RunDravik({"inspect", scene, id + "?"}).err, ReadFile(report)}) {
    EXPECT_NE(text.find("r\xC3\xA9\\u202E"), std::string::npos) << text;
    EXPECT_EQ(text.find("\xE2\x80\xAE"), std::string::npos) << text;
  }
  ExpectHas(RunDravik({"run", scene, "-f", "csv", "-q"}).out, {"\n1," + id + ",Math :: Nope,call,1,"});
  ExpectHas(RunDravik({"run", scene, "-f", "jsonl"}).out, {"\"channel\":\"r\xC3\xA9\\u202e\""});

  const Result dot = RunDravik({"graph", scene, "--frames", "2"});
  ASSERT_EQ(dot.exitCode, 0) << dot.err;
  ExpectHas(dot.out, {R"(label="x\"<y>\\\\N%n)" "\xC3\xBF" R"(\\u202E\n</script>")", R"(label="G&amp;")"});
  EXPECT_EQ(dot.out.find("\xE2\x80\xAE"), std::string::npos);
  EXPECT_EQ(LinesWith(dot.out, "#c62828").size(), 4u) << dot.out;  // p, q and the links between them
  EXPECT_EQ(LinesWith(dot.out, "status 3").size(), 1u);          // q: link b unplugged

  for (const std::string& input : {scene, saved}) {
    const Result r = RunDravik({"graph", input, "-f", "svg", "-o", svg});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out + r.err, "");
    const std::string text = ReadFile(svg);
    EXPECT_EQ(text.rfind("<?xml", 0), 0u);
    ExpectHas(text, {"x&quot;&lt;y&gt;\\\\N%n\xC3\xBF\\u202E</text>", "&lt;/script&gt;</text>",
                     "&lt;b&gt;&quot;&amp;amp;</text>"});
    EXPECT_EQ(text.find("<y>"), std::string::npos);
    EXPECT_EQ(text.find("\xE2\x80\xAE"), std::string::npos);
    // The saved file keeps each call's last status: r failed, q took no inputs.
    EXPECT_EQ(text.find("fill=\"#ffcdd2\"") != std::string::npos, input == saved);
    EXPECT_EQ(text.find("fill=\"#ffe0b2\"") != std::string::npos, input == saved);
  }
}

// An SVG is laid out in bounded time: sfdp past what dot does in seconds,
// refused past what either does in minutes unless condensed; DOT of any
// size is written.
TEST(Graph, LayoutTimeStaysBounded) {
  testing_support::ScratchDir dir;
  const std::string medium = WriteFile(dir.File("medium.json"), runner_testing::ChainScene(20));  // 660 channels
  const std::string large = WriteFile(dir.File("large.json"), runner_testing::ChainScene(700));   // 23,100
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::string err, out;
  } cases[] = {
      {{"graph", medium, "-f", "svg"}, 0, "note: 660 channels and 960 links are more than dot lays out", "<svg"},
      {{"graph", medium, "--layout", "sfdp"}, 0, "", "layout=sfdp];"},
      {{"graph", large, "-f", "svg"}, 1, "not laying out 23,100 channels and 33,600 links as SVG", ""},
      {{"graph", large, "-f", "svg", "--layout", "dot"}, 1, "with dot: past 5,000 nodes and links", ""},
      {{"graph", large, "-f", "svg", "--layout", "condensed", "--frames", "1"}, 0,
       "note: condensed graph: each of the 22 groups is drawn as one node", "1,056 channels, 512 calls"},
      {{"graph", large}, 0, "", "c23099 [shape=box"},
  };
  for (const auto& c : cases) {
    const Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back() << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.empty() ? std::string::npos : r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.out;
  }
}

class SavedFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunDravik({"run", "--frames", "3", "--save", saved, "-q"}).exitCode, 0);
    bytes = ReadFile(saved);
  }

  testing_support::ScratchDir dir;
  const std::string saved = dir.File("good.zyr");
  std::string bytes;
};

// What `dump` and `diff` show of a file: every record decoded, in version 1
// (no checksums) too; damage marked, the record decoded all the same and
// the dump going on to the end; and the scene text as it was saved.
TEST_F(SavedFile, DumpAndDiffShowWhatTheFileHolds) {
  const std::string later = dir.File("later.zyr");
  ASSERT_EQ(RunDravik({"run", "--frames", "7", "--save", later, "-q"}).exitCode, 0);
  const std::vector<uint8_t> unchecked = testing_support::WithoutChecksums({bytes.begin(), bytes.end()});
  const std::string v1 = WriteFile(dir.File("v1.zyr"), std::string(unchecked.begin(), unchecked.end()));
  std::string damaged = bytes;
  damaged[damaged.find("VVAL") + 8] ^= 0x04;
  damaged.replace(damaged.find("FRAM"), 4, "DRVK");  // still 4 bytes: fine
  damaged.replace(damaged.find("UACN"), 4, "FRAM");  // a 1-byte block under a 4-byte tag
  const std::string damagedPath = WriteFile(dir.File("damaged.zyr"), damaged);
  // Same length, past what a dump line shows of the scene text.
  std::string renamed = bytes;
  renamed.replace(renamed.find("\"Inputs\""), 8, "\"Inputz\"");
  const struct {
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> parts;  // in stdout; all of it for --scene and for none
    std::string err = "";
  } cases[] = {
      {{"dump", saved}, 0,
       {"header  magic \"ZYRF\"  version 2", "VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0",
        "OWNC     4  owner class    \"Math\"", "param 0 type   0 (float)",
        "FVAL     4  value          0.5",  // t after 3 frames
        "VVAL    12  vector         (3, 4, 0)", "end: 23 record(s), 0 problem(s), 0 unknown tag(s)"}},
      {{"dump", v1}, 0,
       {"version 1: the records carry no checksums", "OWNC     4  owner class    \"Math\"",
        "end: 23 record(s), 0 problem(s)"}},
      {{"dump", damagedPath}, 3,
       {"!! the record fails its checksum (computed ", "VVAL    12  vector", "expected 4 bytes; bytes 01",
        "!! the block's size does not fit its tag", "end: 23 record(s), 4 problem(s)"},
       "dravik: " + damagedPath + ": damaged: 4 problem(s), marked \"!!\" above\n"},
      {{"dump", saved, "--scene"}, 0, {ReadFile(Example("tour.json"))}},
      {{"diff", saved, saved}, 0, {}},
      {{"diff", saved, later}, 1,
       {"    - FRAM last frame     3\n    + FRAM last frame     7\n",
        "record 17, channel 'add' (VanticPrcCall C7653FCA-6B0C-44FA-936F-EA1952B129F0)\n  entry 2:\n"}},
      {{"diff", saved, WriteFile(dir.File("renamed.zyr"), renamed)}, 1, {"(the blocks differ from byte "}},
      {{"diff", saved, WriteFile(dir.File("cut.zyr"), bytes.substr(0, bytes.size() - 30))}, 1,
       {"    + !! the body runs 30 bytes past the end of the file (truncated)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    const Result r = RunDravik(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_EQ(r.err, c.err);
    if (c.parts.empty() || c.args.back() == "--scene") {
      EXPECT_EQ(r.out, c.parts.empty() ? "" : c.parts[0]);
    }
    ExpectHas(r.out, c.parts);
  }
  const Result run1 = RunDravik({"run", v1, "-f", "jsonl", "--frames", "2"});
  EXPECT_EQ(run1.exitCode, 0) << run1.err;
  EXPECT_EQ(run1.out, RunDravik({"run", saved, "-f", "jsonl", "--frames", "2"}).out);
}

}  // namespace
}  // namespace runner_testing
