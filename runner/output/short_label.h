// How the runner's drawn outputs (the graph, the report) show a user's text
// where room is short: past `maxChars` characters, its head and tail joined
// by "…", so that ids that differ at either end stay apart. The whole text
// goes beside it, on hover. The report's script shortens ids by the same
// rule (shortLabel in report.js).
#ifndef RUNNER_OUTPUT_SHORT_LABEL_H_
#define RUNNER_OUTPUT_SHORT_LABEL_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace dravik {

// Labels longer than this are shortened.
inline constexpr size_t kMaxLabelChars = 32;

// `text` at most `maxChars` characters: the first and the last characters
// with "…" between them when it is longer (a byte that is not UTF-8 counts
// as one). The text is cut, not escaped: DotQuoted and HtmlText show it.
// REQUIRES: maxChars >= 3.
std::string ShortLabel(std::string_view text, size_t maxChars = kMaxLabelChars);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_SHORT_LABEL_H_
