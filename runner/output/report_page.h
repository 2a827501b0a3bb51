// The HTML report of a run (`dravik run --report FILE.html`): one file
// that opens offline, holding the scene's graph as SVG (panned and zoomed
// in the page; condensed for a large scene), a plot per watched channel, a
// status timeline per watched call, all calls as one status map, the
// events, and the messages grouped as a filterable table. The libraries
// (uPlot, third_party/uplot; Panzoom, third_party/panzoom) and the page's
// own script and style are inlined; a Content-Security-Policy forbids the
// page to fetch anything. The page's size is bounded (report_data.h): the
// report of a 1,000,000-channel scene is a few megabytes.
#ifndef RUNNER_OUTPUT_REPORT_PAGE_H_
#define RUNNER_OUTPUT_REPORT_PAGE_H_

#include <string>

#include "runner/output/report_data.h"
#include "runner/output/run_record.h"
#include "runner/scene/scene.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {

// The report of `record`, a run of `runtime` that has ended; the graph
// shows each call's last status. A graph too large for dot to lay out in
// seconds is drawn condensed (CondenseGraph), with a note. A graph
// Graphviz cannot lay out leaves a note in the page. The page carries
// kReportMarker (output_file.h).
std::string ReportPage(const SceneRuntime& runtime, const RunRecord& record);

// The page for `record`, a run of `scene`. `graphSvg` is the scene's graph
// as a standalone SVG document, or empty; `graphNote` says what the graph
// shows of the scene, or why there is none (empty: nothing to say). Every
// text from the scene or the run is escaped for HTML, and the data for the
// page's script is embedded as JSON that no text can break out of.
std::string ReportHtml(const Scene& scene, const RunRecord& record, const std::string& graphSvg,
                       const std::string& graphNote);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORT_PAGE_H_
