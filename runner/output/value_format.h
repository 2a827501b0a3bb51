// Text forms of values for the runner's outputs.
#ifndef RUNNER_OUTPUT_VALUE_FORMAT_H_
#define RUNNER_OUTPUT_VALUE_FORMAT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hostapi/float_channel.h"

namespace dravik {

// The shortest decimal text that reads back as the same float ("0.1",
// "3", "1e+30"); "nan", "inf" and "-inf" for the values JSON cannot hold.
std::string FormatNumber(float value);
// "(x, y, z)" with FormatNumber parts.
std::string FormatVector(const Vec3& v);
// A number for a table column: fixed 3 decimals while that stays short,
// otherwise 4 significant digits.
std::string FormatCell(float value);
// "(x, y, z)" with 2 decimals each, for a table column.
std::string FormatVectorCell(const Vec3& v);

// A line of block characters, one per value (at most `width`, values
// averaged in buckets beyond), scaled between the least and greatest.
std::string Sparkline(const std::vector<float>& values, size_t width);

// `value` as a JSON value: FormatNumber's text, a number, or for the values
// JSON has no number for the string "nan", "inf" or "-inf".
std::string JsonNumber(float value);
// `text` as a JSON string literal, exact once decoded: invisible characters
// (IsInvisible in printable_text.h) as \u escapes, so that the line shows
// in the order it is stored; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);
// `text` as one CSV field (quoted when it holds a comma, quote or line end).
std::string CsvField(std::string_view text);

// The number of characters a terminal shows for `text` (UTF-8 sequences
// count once).
size_t DisplayWidth(std::string_view text);
// `text` padded with spaces on the left (right = false: on the right) to
// `width` display characters; never cut.
std::string Pad(std::string_view text, size_t width, bool right = true);


// `text` for a table column: Printable (printable_text.h); longer than
// `width` characters, cut (never inside a UTF-8 sequence) and ended by "…".
// REQUIRES: width >= 2.
std::string ColumnText(std::string_view text, size_t width);
// ColumnText of each text, made unique: cut texts that would read the same
// as another end in "~2", "~3", ... instead. REQUIRES: the texts differ.
std::vector<std::string> UniqueColumnTexts(const std::vector<std::string>& texts, size_t width);
// `n` with its thousands apart: "1,234,567".
std::string FormatCount(uint64_t n);
// Spreadsheet-style labels: 0 "A", 25 "Z", 26 "AA", 27 "AB", ...
std::string ColumnLabel(size_t index);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_VALUE_FORMAT_H_
