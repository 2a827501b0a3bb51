// User texts (ids, names, messages) made safe for the markup the runner
// writes: DOT for Graphviz, HTML and SVG, and JSON inside an HTML <script>.
// Whatever bytes a scene or a saved file holds, the result is valid UTF-8
// that the reader takes as plain text, never as markup or code, and that
// displays in the order it is stored.
#ifndef RUNNER_OUTPUT_MARKUP_TEXT_H_
#define RUNNER_OUTPUT_MARKUP_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace dravik {

// User text as a quoted DOT string for a label: Printable (so that what
// reorders or hides text shows as an escape), with '"' and '\' escaped (so
// that Graphviz's \n, \N, \G... escapes never apply) and '&' written as
// "&amp;" (Graphviz reads entities in labels).
std::string DotQuoted(std::string_view text);
// The same for a label of several lines, each escaped as above, joined by
// DOT's line break.
std::string DotQuoted(const std::vector<std::string>& lines);

// User text for HTML or XML text and attribute values: Printable, with
// & < > " and ' as character references.
std::string HtmlText(std::string_view text);
// The program's own text (the licence, notes) for HTML: & < > " and ' as
// character references, everything else (line ends too) as it is.
// REQUIRES: `text` is valid UTF-8.
std::string HtmlEscaped(std::string_view text);

// `json` (the text of a JSON value) made safe inside <script>: every '<',
// '>' and '&' (which JSON holds only inside strings) and U+2028 and U+2029
// written as \u escapes, so that no "</script>" or "<!--" can end or bend
// the script.
std::string ScriptSafeJson(std::string_view json);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_MARKUP_TEXT_H_
