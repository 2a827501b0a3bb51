// The scene graph: loops of procedure-call channels, and user texts made
// safe for DOT, HTML and scripts.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runner/output/markup_text.h"
#include "runner/output/scene_graph.h"

namespace {

using namespace dravik;

TEST(MarkupText, HostileBytesStayPlainText) {
  struct Case {
    std::string in, utf8, dot, html, script;
  };
  const std::vector<Case> cases = {
      {"a\"b\\c", "a\"b\\c", R"("a\"b\\c")", "a&quot;b\\c", "a\"b\\c"},
      {"</script><!--&", "</script><!--&", "\"</script><!--&amp;\"", "&lt;/script&gt;&lt;!--&amp;",
       "\\u003c/script\\u003e\\u003c!--\\u0026"},
      {"%n%s\\N'", "%n%s\\N'", R"("%n%s\\N'")", "%n%s\\N&#39;", "%n%s\\N'"},
      // Stray, overlong, surrogate, beyond U+10FFFF, cut; controls.
      {"\x80\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82", "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"
                                                          "\uFFFD\uFFFD\uFFFD", "", "", ""},
      {"a\nb\x7F\tü\u2028", "a\uFFFDb\uFFFD\tü\u2028", "", "", "a\nb\x7F\tü\\u2028"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidUtf8(c.in), c.utf8) << c.in;
    EXPECT_TRUE(c.dot.empty() || DotQuoted(c.in) == c.dot) << DotQuoted(c.in);
    EXPECT_TRUE(c.html.empty() || HtmlText(c.in) == c.html) << HtmlText(c.in);
    EXPECT_TRUE(c.script.empty() || ScriptSafeJson(c.in) == c.script) << ScriptSafeJson(c.in);
  }
  EXPECT_EQ(DotQuoted(std::vector<std::string>{"id", "Math :: Add"}), R"("id\nMath :: Add")");
}

GraphNode Node(ChannelKind kind) {
  GraphNode node;
  node.kind = kind;
  return node;
}

TEST(SceneGraph, MarksOnlyLoopsOfCallChannels) {
  using K = ChannelKind;
  struct Edge {
    size_t parent, child;
    bool inLoop;
  };
  struct Case {
    std::vector<K> kinds;
    std::vector<Edge> edges;
    std::vector<bool> inLoop;
  };
  const std::vector<Case> cases = {
      {{K::kCall, K::kCall}, {{0, 1, true}, {1, 0, true}}, {true, true}},
      {{K::kCall, K::kCall, K::kCall}, {{0, 1, false}, {1, 2, false}}, {false, false, false}},
      // A value channel written by one call and read by another is no loop.
      {{K::kCall, K::kValue, K::kCall}, {{0, 1, false}, {2, 1, false}}, {false, false, false}},
      // Two loops joined by a link, and a call hanging off the second.
      {{K::kCall, K::kCall, K::kCall, K::kCall, K::kCall, K::kCall},
       {{0, 1, true}, {1, 0, true}, {1, 2, false}, {2, 3, true}, {3, 4, true}, {4, 2, true}, {4, 5, false}},
       {true, true, true, true, true, false}},
  };
  for (const Case& c : cases) {
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

}  // namespace
