// The HTML report of a run (`dravik run --report FILE.html`): one file
// that opens offline, holding the scene's graph as SVG, a plot per watched
// channel, a status timeline per procedure call with the events on the
// frame axis, and the messages as a filterable table. The charting library
// (uPlot, third_party/uplot) and the page's own script and style are
// inlined; a Content-Security-Policy forbids the page to fetch anything.
#ifndef RUNNER_OUTPUT_REPORT_PAGE_H_
#define RUNNER_OUTPUT_REPORT_PAGE_H_

#include <cstddef>
#include <string>

#include "runner/output/run_record.h"
#include "runner/scene/scene.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {

// Most points a plot holds. A longer run is shown as the least and the
// greatest value of each run of frames, so that a report stays small
// enough for a browser whatever the frame count.
inline constexpr size_t kMaxReportPoints = 20'000;

// Scenes with more channels than this get no graph in their report (laying
// out thousands of nodes takes long); `dravik graph` draws them still.
inline constexpr size_t kMaxReportGraphChannels = 1000;

// The report of `record`, a run of `runtime` that has ended; the graph
// shows each call's last status. A graph Graphviz cannot lay out leaves a
// note in the page. The page carries kReportMarker (output_file.h).
std::string ReportPage(const SceneRuntime& runtime, const RunRecord& record);

// The page for `record`, a run of `scene`. `graphSvg` is the scene's graph
// as a standalone SVG document, or empty with `graphNote` saying why there
// is none. Every text from the scene or the run is escaped for HTML, and
// the data for the plots is embedded as JSON that no text can break out of.
std::string ReportHtml(const Scene& scene, const RunRecord& record, const std::string& graphSvg,
                       const std::string& graphNote);

// The run's data for the page's script, as JSON: {"x": frames, "stride":
// frames per point pair (1: every frame), "plots": [{"id", "name",
// "vector", "series": {"value"} or {"x", "y", "z", "length"}}], "calls":
// [{"id", "name", "status"}], "events": [{"frame", "text"}]}. Values that
// are not finite are null. `maxPoints` as kMaxReportPoints.
std::string ReportData(const RunRecord& record, size_t maxPoints = kMaxReportPoints);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORT_PAGE_H_
