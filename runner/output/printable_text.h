// How user text (ids, names, messages, paths) is shown to a person: on the
// terminal, in `inspect`, on stderr, in the report and in graph labels.
// Machine outputs (csv, jsonl, `inspect -f json`) keep the exact text.
#ifndef RUNNER_OUTPUT_PRINTABLE_TEXT_H_
#define RUNNER_OUTPUT_PRINTABLE_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace dravik {

// Decodes the well-formed UTF-8 sequence at text[at]: its length (1 to 4)
// with *codePoint set, or 0 when the bytes there are not one (a stray
// continuation byte, an overlong form, a surrogate, a value beyond
// U+10FFFF, a cut sequence). REQUIRES: at < text.size().
size_t DecodeUtf8(std::string_view text, size_t at, char32_t* codePoint);

// Whether a reader would not see `codePoint` as a character of its own, as
// Unicode categorises it: controls (Cc), format characters such as the
// bidirectional overrides and isolates and the zero-width marks (Cf), and
// the line and paragraph separators (Zl, Zp). Such a character can hide or
// reorder the text around it.
bool IsInvisible(char32_t codePoint);

// `text` for a person: valid UTF-8 as it is; each invisible character
// (IsInvisible) as an escape, \xNN for C0 controls and DEL, \uNNNN or
// \UNNNNNNNN for the others; a backslash as \\, so that every backslash
// shown starts an escape; each byte that is not UTF-8 as \xNN. After `limit` characters
// shown, the rest is left out and "..." ends the text (npos: no limit).
// The result is valid UTF-8 and displays in the order it is stored.
std::string Printable(std::string_view text, size_t limit = 80);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_PRINTABLE_TEXT_H_
