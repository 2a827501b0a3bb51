#include "runner/output/report_page.h"

#include "runner/output/graph_layout.h"
#include "runner/output/markup_text.h"
#include "runner/output/output_file.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_assets.h"
#include "runner/output/scene_graph.h"
#include "runner/output/value_format.h"

namespace dravik {

std::string ReportHtml(const Scene& scene, const RunRecord& record, const std::string& graphSvg,
                       const std::string& graphNote) {
  const std::string title = scene.name.empty() ? std::string("dravik run") : scene.name;
  std::string html;
  html.reserve(256 * 1024);
  html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += kReportMarker;
  html += "\n"
          "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
          // Everything the page needs is inside it: it may fetch nothing.
          "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
          "script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:\">\n"
          "<title>" + HtmlText(title) + " \xE2\x80\x94 dravik report</title>\n<style>\n";
  html += UplotStyle();
  html += "\n</style>\n<style>\n";
  html += ReportStyle();
  html += "\n</style>\n</head>\n<body>\n<header>\n<h1>" + HtmlText(title) + "</h1>\n";
  if (!scene.description.empty()) html += "<p class=\"summary\">" + HtmlText(scene.description) + "</p>\n";
  const bool ran = record.last >= record.first;
  html += "<p class=\"summary\">" +
          (ran ? "frames " + std::to_string(record.first) + " to " + std::to_string(record.last)
               : std::string("no frames run")) +
          " \xC2\xB7 " + FormatCount(record.watched.size() + record.watchedLeftOut) + " watched channels \xC2\xB7 " +
          FormatCount(record.statuses.ids.size()) + " procedure calls \xC2\xB7 " +
          FormatCount(record.digest.Total()) + " messages</p>\n</header>\n";

  html += "<h2>Graph</h2>\n";
  if (!graphNote.empty()) html += "<p class=\"hint\">" + HtmlText(graphNote) + "</p>\n";
  if (!graphSvg.empty()) {
    html += "<div class=\"graph\" id=\"graph\"><div class=\"tools\"><button type=\"button\" data-zoom=\"in\" "
            "title=\"zoom in\">+</button><button type=\"button\" data-zoom=\"out\" title=\"zoom out\">\xE2\x88\x92"
            "</button><button type=\"button\" data-zoom=\"fit\" title=\"the whole graph\">fit</button></div>"
            "<div id=\"graph-view\">\n" + InlineSvg(graphSvg) + "\n</div></div>\n"
            "<p class=\"hint\">Drag to pan, scroll or use the buttons to zoom; hover over a node for its whole id."
            "</p>\n";
  }
  html += "<h2>Watched channels</h2>\n<p class=\"hint\">Drag across a plot to zoom on a range of frames, "
          "double-click to zoom out; the cursor and the zoom are shared by every plot, and the legend shows "
          "the values under the cursor. Dashed lines mark events.</p>\n";
  if (record.PlotLeftOut() > 0) {
    html += "<p class=\"hint\">" + FormatCount(record.PlotLeftOut()) + " more watched channels are not plotted "
            "(a report plots the first " + std::to_string(RunRecorder::kMaxWatched) +
            "); <code>--watch</code> chooses which.</p>\n";
  }
  html += "<div id=\"plots\"></div>\n";
  html += "<h2>Procedure calls</h2>\n<p class=\"hint\">Every call's status over the frames, one row per call: "
          "green executed (0), red no procedure or it failed (1), amber inputs not taken (3), grey another "
          "value, white not run. Calls that failed come first. Hover for a call's id; scroll over the map to "
          "move through the calls, and use the buttons to zoom.</p>\n"
          "<div class=\"heat\" id=\"heat\"><div class=\"tools\"><button type=\"button\" data-rows=\"in\">+</button>"
          "<button type=\"button\" data-rows=\"out\">\xE2\x88\x92</button><button type=\"button\" "
          "data-rows=\"all\">all</button><span id=\"heat-summary\"></span></div>"
          "<canvas id=\"heat-map\" width=\"800\" height=\"200\"></canvas><div id=\"heat-tip\" class=\"tip\">"
          "</div></div>\n<h3 class=\"section\">Watched calls</h3>\n<div id=\"timelines\"></div>\n";
  html += "<h2>Events</h2>\n";
  if (record.notes.empty()) {
    html += "<p class=\"hint\">None.</p>\n";
  } else {
    html += "<ul class=\"event-list\">\n";
    for (const RunNote& n : record.notes) {
      html += "<li>frame " + std::to_string(n.frame) + ": " + HtmlText(n.text) + "</li>\n";
    }
    html += "</ul>\n";
    if (record.notesLeftOut > 0) {
      html += "<p class=\"hint\">" + FormatCount(record.notesLeftOut) + " later events are not listed.</p>\n";
    }
  }

  html += "<h2>Messages</h2>\n<p class=\"hint\">Messages of the same level and text from the same channel "
          "are one row, with how many came and in which frames.</p>\n"
          "<div class=\"filters\"><input id=\"message-text\" type=\"search\" "
          "placeholder=\"Filter by text or channel\"><select id=\"message-level\">"
          "<option value=\"\">all levels</option><option value=\"0\">alert</option>"
          "<option value=\"1\">error</option><option value=\"2\">info</option><option value=\"3\">debug</option>"
          "</select><span id=\"message-count\"></span></div>\n<p class=\"hint\" id=\"message-folded\"></p>\n";
  html += "<table class=\"messages\" id=\"messages\">\n<colgroup><col class=\"level\"><col class=\"channel\">"
          "<col class=\"count\"><col class=\"frames\"><col></colgroup>\n<thead><tr><th>level</th><th>channel</th>"
          "<th>count</th><th>frames</th><th>text</th></tr></thead>\n<tbody></tbody>\n</table>\n";
  html += "<footer>Written by dravik " + HtmlText(DRAVIK_VERSION) + ". Plots drawn with uPlot " +
          HtmlText(kUplotVersion) + " (MIT licence):<details><summary>licence</summary><pre>" +
          HtmlEscaped(UplotLicense()) + "</pre></details>The graph panned and zoomed with Panzoom " +
          HtmlText(kPanzoomVersion) + " (MIT licence):<details><summary>licence</summary><pre>" +
          HtmlEscaped(PanzoomLicense()) + "</pre></details></footer>\n";
  html += "<script type=\"application/json\" id=\"report-data\">" + ScriptSafeJson(ReportData(record)) +
          "</script>\n<script>\n";
  html += UplotScript();
  html += "\n</script>\n<script>\n";
  html += PanzoomScript();
  html += "\n</script>\n<script>\n";
  html += ReportScript();
  html += "\n</script>\n</body>\n</html>\n";
  return html;
}

std::string ReportPage(const SceneRuntime& runtime, const RunRecord& record) {
  SceneGraph graph = DescribeScene(runtime, true);
  std::string note;
  if (graph.nodes.size() + graph.edges.size() > kDotMaxElements) {
    graph = CondenseGraph(graph, kCondensedMaxNodes);
    note = "The scene has more channels and links than a report lays out (" + FormatCount(kDotMaxElements) +
           " together), so the graph is condensed: " + graph.condensed + ". `dravik graph` draws it all.";
  }
  std::string svg;
  std::string layoutError;
  if (!LayOutSvg(GraphDot(graph), &svg, &layoutError)) {
    svg.clear();
    note = "No graph: " + layoutError;
  }
  return ReportHtml(runtime.GetScene(), record, svg, note);
}

}  // namespace dravik
