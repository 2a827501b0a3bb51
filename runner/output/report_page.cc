#include "runner/output/report_page.h"

#include <algorithm>
#include <cmath>

#include "runner/output/graph_layout.h"
#include "runner/output/markup_text.h"
#include "runner/output/output_file.h"
#include "runner/output/printable_text.h"
#include "runner/output/report_assets.h"
#include "runner/output/scene_graph.h"
#include "runner/output/value_format.h"

namespace dravik {
namespace {

// User text as the page shows it (the script puts it in the page as text).
std::string Json(std::string_view text) { return JsonString(Printable(text, std::string::npos)); }

std::string Number(float v) { return std::isfinite(v) ? FormatNumber(v) : "null"; }

// Which frames a plot shows: every frame, or for long runs a pair of
// points (first and middle frame) per run of `stride` frames, holding the
// least and greatest value of the run.
struct Sampling {
  uint32_t first = 1;
  size_t count = 0;   // frames recorded
  size_t stride = 1;

  std::string Frames() const {
    std::string out = "[";
    for (size_t start = 0; start < count; start += stride) {
      const size_t len = std::min(stride, count - start);
      if (start > 0) out += ",";
      out += std::to_string(first + start);
      if (len > 1) out += "," + std::to_string(first + start + len / 2);
    }
    return out + "]";
  }

  template <typename Get>
  std::string Values(size_t size, Get get) const {
    std::string out = "[";
    for (size_t start = 0; start < count; start += stride) {
      const size_t len = std::min(stride, count - start);
      if (start > 0) out += ",";
      if (len == 1) {
        out += start < size ? Number(get(start)) : "null";
        continue;
      }
      float lo = NAN;
      float hi = NAN;
      for (size_t i = start; i < start + len && i < size; ++i) {
        const float v = get(i);
        if (!std::isfinite(v)) continue;
        lo = std::isfinite(lo) ? std::min(lo, v) : v;
        hi = std::isfinite(hi) ? std::max(hi, v) : v;
      }
      out += Number(lo) + "," + Number(hi);
    }
    return out + "]";
  }
};

std::string SeriesJson(const Sampling& s, const RecordedSeries& r) {
  const auto& v = r.vectors;
  const auto& f = r.values;
  if (!r.isVector) return "{\"value\":" + s.Values(f.size(), [&](size_t i) { return f[i]; }) + "}";
  return "{\"x\":" + s.Values(v.size(), [&](size_t i) { return v[i].x; }) +
         ",\"y\":" + s.Values(v.size(), [&](size_t i) { return v[i].y; }) +
         ",\"z\":" + s.Values(v.size(), [&](size_t i) { return v[i].z; }) +
         ",\"length\":" + s.Values(f.size(), [&](size_t i) { return f[i]; }) + "}";
}

}  // namespace

std::string ReportData(const RunRecord& record, size_t maxPoints) {
  Sampling s;
  s.first = record.first;
  s.count = record.last >= record.first ? size_t{record.last} - record.first + 1 : 0;
  const size_t pairs = std::max<size_t>(maxPoints / 2, 1);
  if (s.count > maxPoints) s.stride = (s.count + pairs - 1) / pairs;
  std::string out = "{\"x\":" + s.Frames() + ",\"stride\":" + std::to_string(s.stride) + ",\"plots\":[";
  bool firstItem = true;
  for (const RecordedSeries& r : record.watched) {
    if (r.kind == ChannelKind::kCall) continue;  // drawn as a status timeline
    out += std::string(firstItem ? "" : ",") + "{\"id\":" + Json(r.id) + ",\"name\":" + Json(r.name) +
           ",\"vector\":" + (r.isVector ? "true" : "false") + ",\"series\":" + SeriesJson(s, r) + "}";
    firstItem = false;
  }
  out += "],\"calls\":[";
  firstItem = true;
  for (const RecordedSeries& r : record.calls) {
    out += std::string(firstItem ? "" : ",") + "{\"id\":" + Json(r.id) + ",\"name\":" + Json(r.name) +
           ",\"status\":" + s.Values(r.values.size(), [&](size_t i) { return r.values[i]; }) + "}";
    firstItem = false;
  }
  out += "],\"events\":[";
  firstItem = true;
  for (const RunNote& n : record.notes) {
    out += std::string(firstItem ? "" : ",") + "{\"frame\":" + std::to_string(n.frame) + ",\"text\":" + Json(n.text) +
           "}";
    firstItem = false;
  }
  return out + "]}";
}

std::string ReportHtml(const Scene& scene, const RunRecord& record, const std::string& graphSvg,
                       const std::string& graphNote) {
  const std::string title = scene.name.empty() ? std::string("dravik run") : scene.name;
  std::string html;
  html.reserve(128 * 1024);
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
          " \xC2\xB7 " + std::to_string(record.watched.size()) + " watched channels \xC2\xB7 " +
          std::to_string(record.calls.size()) + " procedure calls \xC2\xB7 " +
          std::to_string(record.messages.size() + record.messagesLeftOut) + " messages</p>\n</header>\n";

  html += "<h2>Graph</h2>\n";
  if (!graphSvg.empty()) {
    html += "<div class=\"graph\">\n" + InlineSvg(graphSvg) + "\n</div>\n";
  } else {
    html += "<p class=\"hint\">" + HtmlText(graphNote) + "</p>\n";
  }
  html += "<h2>Watched channels</h2>\n<p class=\"hint\">Drag across a plot to zoom on a range of frames, "
          "double-click to zoom out; the cursor and the zoom are shared by every plot, and the legend shows "
          "the values under the cursor. Dashed lines mark events.</p>\n<div id=\"plots\"></div>\n";
  html += "<h2>Procedure calls</h2>\n<p class=\"hint\">The status each call answered at each frame: "
          "0 executed (green), 1 no procedure or it failed (red), 3 inputs not taken (amber).</p>\n"
          "<div id=\"timelines\"></div>\n";
  html += "<h2>Events</h2>\n";
  if (record.notes.empty()) {
    html += "<p class=\"hint\">None.</p>\n";
  } else {
    html += "<ul class=\"event-list\">\n";
    for (const RunNote& n : record.notes) {
      html += "<li>frame " + std::to_string(n.frame) + ": " + HtmlText(n.text) + "</li>\n";
    }
    html += "</ul>\n";
  }

  html += "<h2>Messages</h2>\n<div class=\"filters\"><input id=\"message-text\" type=\"search\" "
          "placeholder=\"Filter by text, channel or frame\"><select id=\"message-level\">"
          "<option value=\"\">all levels</option><option value=\"0\">alert</option>"
          "<option value=\"1\">error</option><option value=\"2\">info</option><option value=\"3\">debug</option>"
          "</select><select id=\"message-channel\"><option value=\"*\">all channels</option></select>"
          "<span id=\"message-count\"></span></div>\n";
  if (record.messagesLeftOut > 0) {
    html += "<p class=\"hint\">" + std::to_string(record.messagesLeftOut) +
            " later messages are not kept in this report.</p>\n";
  }
  html += "<table class=\"messages\" id=\"messages\">\n<thead><tr><th>frame</th><th>level</th><th>channel</th>"
          "<th>text</th></tr></thead>\n<tbody>\n";
  for (const RunMessage& m : record.messages) {
    const std::string channel = HtmlText(m.channel);
    html += "<tr data-level=\"" + std::to_string(m.level) + "\" data-channel=\"" + channel + "\"><td>" +
            std::to_string(m.frame) + "</td><td class=\"level\">" + HtmlText(LevelName(m.level)) + "</td><td>" +
            channel + "</td><td class=\"text\">" + HtmlText(m.text) + "</td></tr>\n";
  }
  html += "</tbody>\n</table>\n";
  html += "<footer>Written by dravik " + HtmlText(DRAVIK_VERSION) + ". Plots drawn with uPlot " +
          HtmlText(kUplotVersion) + " (MIT licence):<details><summary>licence</summary><pre>" +
          HtmlEscaped(UplotLicense()) + "</pre></details></footer>\n";
  html += "<script type=\"application/json\" id=\"report-data\">" + ScriptSafeJson(ReportData(record)) +
          "</script>\n<script>\n";
  html += UplotScript();
  html += "\n</script>\n<script>\n";
  html += ReportScript();
  html += "\n</script>\n</body>\n</html>\n";
  return html;
}

std::string ReportPage(const SceneRuntime& runtime, const RunRecord& record) {
  std::string svg;
  std::string note;
  if (runtime.Channels().size() > kMaxReportGraphChannels) {
    note = "The scene has " + std::to_string(runtime.Channels().size()) + " channels, more than the " +
           std::to_string(kMaxReportGraphChannels) + " a report draws; `dravik graph` draws it.";
  } else if (!LayOutSvg(GraphDot(DescribeScene(runtime, true)), &svg, &note)) {
    svg.clear();
    note = "No graph: " + note;
  }
  return ReportHtml(runtime.GetScene(), record, svg, note);
}

}  // namespace dravik
