// Writing an output file whole or not at all.
#ifndef RUNNER_OUTPUT_ATOMIC_FILE_H_
#define RUNNER_OUTPUT_ATOMIC_FILE_H_

#include <string>
#include <string_view>

namespace dravik {

// Writes `bytes` to a new file beside `path`, flushes it to disk and renames
// it over `path`, so that `path` holds either what it held before or all of
// `bytes`. False with *error (one line naming the file) when the temporary
// file cannot be made, written or renamed; the temporary file is removed.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, std::string* error);

// Whether `a` and `b` name the same existing file (false when either is
// missing), so that a command can refuse to write its output over its input.
bool SameFile(const std::string& a, const std::string& b);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_ATOMIC_FILE_H_
