// User texts (ids, names, messages) made safe for the markup the runner
// writes: DOT for Graphviz, HTML and SVG, and JSON inside an HTML <script>.
// Whatever bytes a scene or a saved file holds, the result is valid UTF-8
// that the reader takes as plain text, never as markup or code.
#ifndef RUNNER_OUTPUT_MARKUP_TEXT_H_
#define RUNNER_OUTPUT_MARKUP_TEXT_H_

#include <string>
#include <string_view>
#include <vector>

namespace dravik {

// `text` with every byte that does not start a well-formed UTF-8 sequence
// (stray continuation bytes, overlong forms, surrogates, beyond U+10FFFF,
// cut sequences) and every control character but tab replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// `text` as a quoted DOT string for a label: ValidUtf8, with '"' and '\'
// escaped (so that Graphviz's \n, \N, \G... escapes never apply) and '&'
// written as "&amp;" (Graphviz reads entities in labels).
std::string DotQuoted(std::string_view text);
// The same for a label of several lines, each escaped as above, joined by
// DOT's line break.
std::string DotQuoted(const std::vector<std::string>& lines);

// `text` for HTML or XML text and attribute values: ValidUtf8 with & < > "
// and ' as character references.
std::string HtmlText(std::string_view text);

// `json` (the text of a JSON value) made safe inside <script>: every '<',
// '>' and '&' (which JSON holds only inside strings) and U+2028 and U+2029
// written as \u escapes, so that no "</script>" or "<!--" can end or bend
// the script.
std::string ScriptSafeJson(std::string_view json);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_MARKUP_TEXT_H_
