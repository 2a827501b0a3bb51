// The data of an HTML report, as the JSON its script reads: what a run
// recorded, bounded so that the page stays a few megabytes and a browser
// draws it in seconds whatever the scene's size and the run's length.
#ifndef RUNNER_OUTPUT_REPORT_DATA_H_
#define RUNNER_OUTPUT_REPORT_DATA_H_

#include <cstddef>
#include <string>

#include "runner/output/run_record.h"

namespace dravik {

// Most points a plot holds. A longer run is shown as the least and the
// greatest value of each run of frames; with many plots, each holds fewer
// (kMaxReportTotalPoints among them all, but never fewer than 1,000).
inline constexpr size_t kMaxReportPoints = 20'000;
inline constexpr size_t kMaxReportTotalPoints = 500'000;
// Most rows of the message table; past it, each text shows fewer channels
// and the least severe texts are folded into counts.
inline constexpr size_t kMaxMessageRows = 2000;

// The run's data for the page's script, as JSON:
//   "x": frames, "stride": frames per point pair (1: every frame),
//   "plots": [{"id", "name", "vector", "series": {"value"} or {"x", "y",
//     "z", "length"}}] for the watched channels that are not calls,
//   "timelines": [{"id", "name", "status"}] for the watched calls,
//   "watchedLeftOut": watched channels the recorder did not keep,
//   "heat": {"first", "span", "columns", "ids", "cells", "worst"}: every
//     call, the ones with the most severe status first (then in scene
//     order); "ids" front-coded (each entry is one character whose code
//     less 48 is how many UTF-16 units it shares with the id before it,
//     then the rest), "cells" one digit per cell row by row (StatusCell),
//     "worst" how many calls have each StatusCell as their most severe,
//   "events": [{"frame", "text"}], "eventsLeftOut",
//   "messages": {"total", "rows": [{"level", "text", "cut", "channel" (or
//     null for none), "others" (messages of channels not listed, in place
//     of a channel), "count", "frames": [[from, to]...], "framesMore",
//     "last"}], "folded": [{"level", "count", "first", "last"}]}.
// Values that are not finite are null. `maxPoints` as kMaxReportPoints.
std::string ReportData(const RunRecord& record, size_t maxPoints = kMaxReportPoints);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORT_DATA_H_
