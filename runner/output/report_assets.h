// What the HTML report inlines, built into the program from files (see
// cmake/EmbedFiles.cmake): the uPlot charting library (third_party/uplot)
// with its style and licence, the Panzoom library (third_party/panzoom)
// with its licence, and the report's own script and style
// (runner/output/report/). None of them holds "</script" or "</style".
#ifndef RUNNER_OUTPUT_REPORT_ASSETS_H_
#define RUNNER_OUTPUT_REPORT_ASSETS_H_

#include <string_view>

namespace dravik {

// The version of third_party/uplot; change it with the files.
inline constexpr std::string_view kUplotVersion = "1.6.32";
// The version of third_party/panzoom; change it with the files.
inline constexpr std::string_view kPanzoomVersion = "4.6.2";

std::string_view UplotScript();
std::string_view UplotStyle();
std::string_view UplotLicense();
std::string_view PanzoomScript();
std::string_view PanzoomLicense();
std::string_view ReportScript();
std::string_view ReportStyle();

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORT_ASSETS_H_
