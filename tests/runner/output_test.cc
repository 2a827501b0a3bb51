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
  r.calls = {call};
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
    EXPECT_EQ(data["calls"][0]["status"], c.status);
    EXPECT_EQ(data["events"][0]["frame"], 5);
  }
}

TEST(ReportHtml, NoTextEndsAScriptEarly) {
  Scene scene;
  scene.name = "</script><script>";
  const std::string html = ReportHtml(scene, Record(1, 3), "", "<!--");
  EXPECT_EQ(runner_testing::Count(html, "</script"), 3u);  // the data, the charting library, the page's own
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
