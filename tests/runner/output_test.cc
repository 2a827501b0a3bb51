// What the runner writes: text forms of values, user text made safe for
// DOT, HTML and scripts, loops in the scene graph, the report's plot data,
// and the dump of hand-made files.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"
#include "runner/output/dump_tree.h"
#include "runner/output/markup_text.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_data.h"
#include "runner/output/report_messages.h"
#include "runner/output/report_page.h"
#include "runner/output/scene_graph.h"
#include "runner/output/value_format.h"
#include "runner/scene/record_entries.h"
#include "tests/runner/dravik_process.h"

namespace {

using namespace dravik;
using nlohmann::json;

TEST(ValueFormat, ExactNumbersQuotedFieldsAndSparklines) {
  EXPECT_EQ(FormatNumber(0.1f), "0.1");  // whole numbers without a point: RunTable's jsonl lines
  // The shortest text that reads back the same float.
  for (float f : {1.0f / 3.0f, 0.70000005f, 9.81f, 3.4028235e38f, 1.17549435e-38f, -0.0f}) {
    EXPECT_EQ(std::strtof(FormatNumber(f).c_str(), nullptr), f) << FormatNumber(f);
  }
  EXPECT_EQ(FormatNumber(NAN), "nan");
  EXPECT_EQ(FormatNumber(-INFINITY), "-inf");
  EXPECT_EQ(JsonString("\xff\xc3"), "\"\\ufffd\\ufffd\"");  // more in MarkupText
  EXPECT_EQ(CsvField("Math :: Add"), "Math :: Add");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  // Scaled between least and greatest; float noise is flat.
  EXPECT_EQ(Sparkline({0, 7}, 10), "▁█");
  EXPECT_EQ(Sparkline({1.0f, 1.0000001f}, 10), "▁▁");
  EXPECT_EQ(DisplayWidth(Sparkline(std::vector<float>(1000, 2.0f), 48)), 48u);
  EXPECT_EQ(Sparkline({}, 10), "");
  EXPECT_EQ(Sparkline({NAN, 1, 2}, 10), " ▁█");
}

// User text for a person (Printable), in DOT, HTML, JSON and scripts.
// (Quotes, markup and DOT escapes in DOT and SVG: Graph in cli_inspect_test.)
TEST(MarkupText, HostileBytesStayPlainTextShownInTheOrderStored) {
  struct Case {
    std::string in, shown, dot, html, json, script;
  };
  const std::vector<Case> cases = {
      {"</script><!--&", "</script><!--&", "\"</script><!--&amp;\"", "&lt;/script&gt;&lt;!--&amp;", "",
       "\\u003c/script\\u003e\\u003c!--\\u0026"},
      {"%n%s\\N'", "%n%s\\\\N'", R"("%n%s\\\\N'")", "%n%s\\\\N&#39;", R"("%n%s\\N'")", "%n%s\\N'"},
      // Stray, overlong, surrogate, beyond U+10FFFF, cut.
      {"\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82", R"(\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82)",
       "", "", "", ""},
      // UTF-8 as it is; C0 and C1 controls, DEL, bidi overrides and
      // isolates, marks, separators and tags (Cc, Cf, Zl, Zp) escaped.
      {"é\n\x7F\u0085\u202Eb\u2067\u200F\u2028\U000E0001", R"(é\x0A\x7F\u0085\u202Eb\u2067\u200F\u2028\U000E0001)",
       R"("é\\x0A\\x7F\\u0085\\u202Eb\\u2067\\u200F\\u2028\\U000E0001")", "",
       R"("é\u000a\u007f\u0085\u202eb\u2067\u200f\u2028\udb40\udc01")", ""},
      {"a\nb\x7F\tü\u2028", "", "", "", "", "a\nb\x7F\tü\\u2028"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(c.shown.empty() || Printable(c.in, std::string::npos) == c.shown) << Printable(c.in);
    EXPECT_TRUE(c.dot.empty() || DotQuoted(c.in) == c.dot) << DotQuoted(c.in);
    EXPECT_TRUE(c.html.empty() || HtmlText(c.in) == c.html) << HtmlText(c.in);
    EXPECT_TRUE(c.json.empty() || JsonString(c.in) == c.json) << JsonString(c.in);
    EXPECT_TRUE(c.script.empty() || ScriptSafeJson(c.in) == c.script) << ScriptSafeJson(c.in);
  }
  // Cut after `limit` characters shown, never inside one.
  EXPECT_EQ(Printable("\xC3\xA9\xC3\xA9\xC3\xA9", 2), "\xC3\xA9\xC3\xA9...");
  EXPECT_EQ(ColumnText("a\u202E", 4), "a\\u…");
}

GraphNode Node(ChannelKind kind) {
  GraphNode node;
  node.kind = kind;
  return node;
}

// (Two calls reading each other: Graph and Check in cli_inspect_test.)
TEST(SceneGraph, MarksOnlyLoopsOfCallChannels) {
  using K = ChannelKind;
  struct Edge {
    size_t parent, child;
    bool inLoop;
  };
  const struct {
    std::vector<K> kinds;
    std::vector<Edge> edges;
    std::vector<bool> inLoop;
  } cases[] = {
      {{K::kCall, K::kCall, K::kCall}, {{0, 1, false}, {1, 2, false}}, {false, false, false}},
      // A value channel written by one call and read by another is no loop.
      {{K::kCall, K::kValue, K::kCall}, {{0, 1, false}, {2, 1, false}}, {false, false, false}},
      // Two loops joined by a link, and a call hanging off the second.
      {{K::kCall, K::kCall, K::kCall, K::kCall, K::kCall, K::kCall},
       {{0, 1, true}, {1, 0, true}, {1, 2, false}, {2, 3, true}, {3, 4, true}, {4, 2, true}, {4, 5, false}},
       {true, true, true, true, true, false}},
  };
  for (const auto& c : cases) {
    SceneGraph g;
    for (K kind : c.kinds) g.nodes.push_back(Node(kind));
    for (const Edge& e : c.edges) g.edges.push_back(GraphEdge{e.parent, e.child, "l", 1, false});
    MarkLoops(g);
    for (size_t i = 0; i < c.kinds.size(); ++i) EXPECT_EQ(g.nodes[i].inLoop, c.inLoop[i]) << i;
    for (size_t i = 0; i < c.edges.size(); ++i) EXPECT_EQ(g.edges[i].inLoop, c.edges[i].inLoop) << i;
  }
  // Ten thousand calls in one ring: no recursion to overflow.
  SceneGraph ring;
  const size_t n = 10000;
  for (size_t i = 0; i < n; ++i) {
    ring.nodes.push_back(Node(K::kCall));
    ring.edges.push_back(GraphEdge{i, (i + 1) % n, "l", 1, false});
  }
  MarkLoops(ring);
  EXPECT_TRUE(ring.nodes[n / 2].inLoop && ring.edges.back().inLoop);
}

// Groups as nodes while they are few, else the failed calls and their
// neighbours; links inside a node dropped, links between two folded.
TEST(SceneGraph, CondensesToGroupsOrToFailedCallsWithTheirNeighbours) {
  using K = ChannelKind;
  SceneGraph g;
  g.groups = {"G0", "G1"};
  const struct {
    K kind;
    int group;
    float status;
  } nodes[] = {{K::kValue, 0, 0}, {K::kCall, 0, 0}, {K::kValue, 1, 0}, {K::kCall, 1, 1}, {K::kValue, -1, 0}};
  for (const auto& n : nodes) {
    GraphNode node = Node(n.kind);
    node.id = "n" + std::to_string(g.nodes.size());
    node.group = n.group;
    node.hasStatus = n.kind == K::kCall;
    node.status = n.status;
    g.nodes.push_back(node);
  }
  for (auto [parent, child] : {std::pair{1, 0}, {1, 2}, {3, 2}, {3, 4}, {3, 0}, {3, 0}}) {
    g.edges.push_back(GraphEdge{size_t(parent), size_t(child), "l", 1, false});
  }
  const SceneGraph groups = CondenseGraph(g, 3);
  ASSERT_EQ(groups.nodes.size(), 3u);  // G0, G1, n4
  EXPECT_TRUE(groups.nodes[1].isGroup && groups.nodes[1].failing == 1 && groups.nodes[1].status == 1.0f);
  EXPECT_EQ(groups.nodes[0].channels, 2u);
  ASSERT_EQ(groups.edges.size(), 3u);  // G0 -> G1, G1 -> n4, G1 -> G0 (two links)
  EXPECT_EQ(groups.edges[2].links, 2u);
  EXPECT_NE(GraphDot(groups).find("c1 [shape=folder, label=\"G1\\n2 channels, 1 calls\\n1 failed\""),
            std::string::npos);
  const SceneGraph failed = CondenseGraph(g, 2);
  ASSERT_EQ(failed.nodes.size(), 2u);
  EXPECT_EQ(failed.nodes[0].id, "n3");
  EXPECT_EQ(failed.nodes[1].id, "n2");
  EXPECT_EQ(failed.condensed.find("1 of the 1 calls that failed"), 0u) << failed.condensed;
  g.nodes[3].status = 0;
  EXPECT_EQ(CondenseGraph(g, 2).nodes[0].id, "n0");
}

// A run of `frames` frames from `first`: a value (not a number on the third
// frame), a vector whose id ends a script, and a call failing on the eighth.
RunRecord Record(uint32_t first, size_t frames) {
  RunRecord r;
  r.first = first;
  r.last = first + static_cast<uint32_t>(frames) - 1;
  RecordedSeries value{"v", "", ChannelKind::kValue, false, {}, {}};
  RecordedSeries vector{"</script>", "", ChannelKind::kVector, true, {}, {}};
  RecordedSeries call{"c", "", ChannelKind::kCall, false, {}, {}};
  for (size_t i = 0; i < frames; ++i) {
    const float f = static_cast<float>(i);
    value.values.push_back(i == 2 ? NAN : f);
    vector.values.push_back(f);
    vector.vectors.push_back(Vec3{f, -f, 0});
    call.values.push_back(i == 7 ? 1.0f : 0.0f);
  }
  r.watched = {value, vector, call};
  r.notes = {{5, "renamed \xE2\x80\xA8"}};
  return r;
}

TEST(ReportData, KeepsEveryFrameOrTheExtremesOfEachRun) {
  const struct {
    size_t frames, maxPoints;
    json x, value, vectorY, status;
    size_t stride;
  } cases[] = {
      {4, 10, {11, 12, 13, 14}, {0, 1, nullptr, 3}, {0, -1, -2, -3}, {0, 0, 0, 0}, 1},
      // 13 frames in at most 8 points: runs of 4, and a last run of one frame has one point.
      {13, 8, {11, 13, 15, 17, 19, 21, 23}, {0, 3, 4, 7, 8, 11, 12}, {-3, 0, -7, -4, -11, -8, -12},
       {0, 0, 0, 1, 0, 0, 0}, 4},
  };
  for (const auto& c : cases) {
    const json data = json::parse(ReportData(Record(11, c.frames), c.maxPoints));
    EXPECT_EQ(data["x"], c.x) << c.frames;
    EXPECT_EQ(data["stride"], c.stride);
    EXPECT_EQ(data["plots"].size(), 2u);  // the watched call is drawn as a timeline
    EXPECT_EQ(data["plots"][0]["series"]["value"], c.value);
    EXPECT_EQ(data["plots"][1]["series"]["y"], c.vectorY);
    EXPECT_EQ(data["timelines"][0]["status"], c.status);
    EXPECT_EQ(data["events"][0]["frame"], 5);
  }
}

// Every call in one map: the failed first, ids front-coded in UTF-16 units
// (a character beyond U+FFFF counts two), and a long run folded into spans
// of frames holding the most severe status of each.
TEST(ReportData, StatusMapPutsFailuresFirstAndFoldsLongRuns) {
  RunRecord r = Record(1, 1);
  r.last = 10;
  const std::string x = "\xF0\x9D\x92\xB3";  // U+1D4B3
  r.statuses.Start({"k10.c1", "k10.c2", "k9.c1", x + "a", x + "b"}, 1, 10, 20);
  for (uint32_t frame = 1; frame <= 10; ++frame) {
    for (size_t row = 0; row < 4; ++row) r.statuses.Put(row, frame, 0.0f);
  }
  r.statuses.Put(2, 5, 1.0f);  // k9.c1 fails once
  r.statuses.Put(3, 10, 3.0f);
  r.statuses.Put(4, 1, 3.0f);
  const json heat = json::parse(ReportData(r))["heat"];
  EXPECT_EQ(heat["span"], 3);  // 20 cells for 5 calls: 4 spans of 3 frames, the last of one
  EXPECT_EQ(heat["columns"], 4);
  EXPECT_EQ(heat["ids"], json({"0k9.c1", "0" + x + "a", "2b", "0k10.c1", "52"}));
  EXPECT_EQ(heat["cells"], "1411" "1113" "3000" "1111" "1111");
  EXPECT_EQ(heat["worst"], json({0, 2, 0, 2, 1}));
}

// Messages fold by level, text and channel with counts and frame ranges;
// bounds keep the most severe.
TEST(MessageDigest, GroupsAndKeepsTheMostSevereWithinItsBounds) {
  MessageDigest d(/*maxTexts=*/2, /*maxChannelsPerText=*/2);
  for (uint32_t frame : {1, 2, 3, 5, 5}) d.Add({frame, 1, "a", "failed"});
  for (uint32_t frame = 10; frame < 40; frame += 2) d.Add({frame, 1, "b", "failed"});
  d.Add({1, 1, "c", "failed"});  // a third channel: counted with the others
  d.Add({1, 2, "a", "bound"});
  d.Add({2, 1, "a", "lost"});    // a third text: takes the info group's place
  d.Add({3, 2, "a", "again"});   // an info past the bound: folded
  d.Add({4, 1, "a", std::string(MessageDigest::kMaxTextBytes - 1, 'x') + "\xC3\xBC"});  // cut: folded
  EXPECT_EQ(d.Total(), 25u);
  const std::vector<const TextGroup*> groups = d.Groups();
  ASSERT_EQ(groups.size(), 2u);
  const TextGroup& failed = *groups[0];
  EXPECT_EQ(failed.text, "failed");
  EXPECT_EQ(failed.count, 21u);
  ASSERT_EQ(failed.channels.size(), 2u);
  EXPECT_EQ(failed.channels[0].count, 5u);
  EXPECT_EQ(failed.channels[0].frames.ranges, (std::vector<std::pair<uint32_t, uint32_t>>{{1, 3}, {5, 5}}));
  EXPECT_EQ(failed.channels[1].frames.ranges.size(), FrameRanges::kMaxRanges);
  EXPECT_EQ(failed.channels[1].frames.rangesLeftOut, 15u - FrameRanges::kMaxRanges);
  EXPECT_EQ(failed.channels[1].frames.last, 38u);
  EXPECT_EQ(failed.otherChannelMessages, 1u);
  EXPECT_EQ(groups[1]->text, "lost");
  const std::vector<FoldedMessages> folded = d.Folded();
  ASSERT_EQ(folded.size(), 2u);
  EXPECT_EQ(folded[0].level, 1u);  // the cut text, at frame 4
  EXPECT_EQ(folded[0].count, 1u);
  EXPECT_EQ(folded[1].level, 2u);  // "bound" (frame 1) and "again" (frame 3)
  EXPECT_EQ(folded[1].count, 2u);
  EXPECT_EQ(folded[1].first, 1u);
  EXPECT_EQ(folded[1].last, 3u);
}

// Past what the table holds, each text lists one channel and sums up the
// rest; past that, the least severe texts are counted, never listed in
// place of a more severe one; every message is counted either way.
TEST(ReportData, MessageTableStaysBoundedAndCountsEveryMessage) {
  RunRecord r = Record(1, 1);
  for (int i = 0; i < 1500; ++i) {
    for (const char* channel : {"a", "b"}) r.digest.Add({1, 1, channel, "e" + std::to_string(i)});
  }
  r.digest.Add({2, 2, "a", "info"});
  const json m = json::parse(ReportData(r))["messages"];
  EXPECT_EQ(m["rows"].size(), kMaxMessageRows);
  uint64_t counted = 0;
  for (const json& row : m["rows"]) counted += row["count"].get<uint64_t>();
  for (const json& f : m["folded"]) counted += f["count"].get<uint64_t>();
  EXPECT_EQ(counted, 3001u);
  ASSERT_EQ(m["folded"].size(), 2u);
  EXPECT_EQ(m["folded"][0]["count"], 1000);  // 500 error texts
  EXPECT_EQ(m["folded"][1]["level"], 2);
}

TEST(ReportHtml, NoTextEndsAScriptEarly) {
  Scene scene;
  scene.name = "</script><script>";
  const std::string html = ReportHtml(scene, Record(1, 3), "", "<!--");
  EXPECT_EQ(runner_testing::Count(html, "</script"), 4u);  // the data, two libraries, the page's own
  EXPECT_EQ(html.find("<!--"), std::string::npos);
  const size_t data = html.find("id=\"report-data\"");
  const std::string embedded = html.substr(data, html.find("</script>", data) - data);
  EXPECT_EQ(embedded.find("\xE2\x80\xA8"), std::string::npos);
  EXPECT_NE(embedded.find("renamed \\\\u2028"), std::string::npos);  // shown as the escape it is
}

// Every kind of damage in a hand-made file is flagged, and the dump goes on
// (a failed checksum and a body past the end: SavedFile in
// cli_inspect_test); unknown tags are guessed, not counted as damage.
TEST(DumpBytes, FlagsEachKindOfDamageAndGuessesUnknownTags) {
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString(guid::kFloatChannelType));
  PutU32(saver, "ZCID", 7);
  PutText(saver, "ZCNM", "speed");
  const float one = 1.0f;
  PutBytes(saver, "FVAL", &one, 4);
  saver.EndChannel();
  const std::vector<uint8_t> bytes = saver.Bytes();
  const struct {
    size_t at;  // patched byte; past the end appends three stray bytes
    uint8_t value;
    std::string flag;
    bool reseal;  // the checksum made good again
  } cases[] = {
      {32 + 4, 100, "block of 100 bytes, only 29 left in the record (truncated)", true},
      {bytes.size(), 0, "3 stray bytes, too few for a record header", false},
      {4, 9, "unknown format version", false},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> damaged = bytes;
    if (c.at < damaged.size()) {
      damaged[c.at] = c.value;
    } else {
      damaged.insert(damaged.end(), {1, 2, 3});
    }
    if (c.reseal) ZyrResealRecords(&damaged);
    const DumpResult r = DumpBytes(damaged, "x");
    EXPECT_EQ(r.problems, 1u) << c.flag;
    EXPECT_NE(r.text.find(c.flag), std::string::npos) << r.text;
  }
  EXPECT_EQ(DumpBytes({}, "e").problems, 1u);
  const DumpResult header = DumpBytes({'Z', 'Y', 'R', 'F', 1, 0, 0, 0}, "h");
  EXPECT_EQ(header.problems + header.records, 0u);

  ZyrFileSaver unknown;
  unknown.BeginChannel(guid::FromString("00000000-0000-0000-0000-000000000001"));
  PutU32(unknown, "ABCD", 1065353216);  // 1.0f
  PutText(unknown, "TXT_", "hello %s");
  const uint8_t raw[] = {0, 1, 2, 250};
  PutBytes(unknown, "RAW_", raw, 3);
  unknown.EndChannel();
  const DumpResult r = DumpBytes(unknown.Bytes(), "u");
  EXPECT_EQ(r.problems, 0u);
  EXPECT_EQ(r.unknownTags, 3u);
  runner_testing::ExpectHas(r.text, {"unknown type", "u32 1065353216 / float 1", "text \"hello %s\"", "bytes 00 01 02"});
}

}  // namespace
