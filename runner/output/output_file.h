// Every file dravik writes (a saved scene, an HTML report, a graph): where
// it may go, decided before a command does its work, and how it is
// written, whole or not at all.
#ifndef RUNNER_OUTPUT_OUTPUT_FILE_H_
#define RUNNER_OUTPUT_OUTPUT_FILE_H_

#include <string>
#include <string_view>
#include <vector>

namespace dravik {

// What a command writes to a file, each recognised by its first bytes.
enum class OutputKind {
  kSavedScene,  // the engine's tagged file (its magic)
  kReport,      // an HTML report (kReportMarker in its head)
  kGraph,       // a scene graph: DOT (kGraphDotHeader) or SVG (kGraphSvgMarker)
};

// Written near the start of each output, so that a later command knows the
// file for one it may replace.
inline constexpr std::string_view kReportMarker = "<meta name=\"generator\" content=\"dravik report\">";
inline constexpr std::string_view kGraphDotHeader =
    "digraph scene {\n  graph [rankdir=LR, fontname=\"Helvetica,Arial,sans-serif\"";
inline constexpr std::string_view kGraphSvgMarker = "<!-- dravik scene graph -->";

// One file a command was asked to write.
struct OutputFile {
  OutputKind kind;
  std::string option;  // the option that named it, for messages: "--save", "-o"
  std::string path;
};

// True when each of `outputs` may be written; false with *error, one line
// naming the option, the path and why, at the first that may not:
//   - a folder, a device, a pipe: anything but a regular file;
//   - the scene the command reads, `scenePath`, however named (compared by
//     device and inode; empty: the built-in scene), except that a saved
//     scene may be replaced by its own continuation with `force`;
//   - the file of another of `outputs`;
//   - an existing file that is not what its kind writes, unless `force`;
//   - a path whose folder is missing or takes no new file.
// Creates nothing that outlives the call.
bool CheckOutputFiles(const std::vector<OutputFile>& outputs, const std::string& scenePath, bool force,
                      std::string* error);

// Writes `bytes` as `output`, checked again by the rules above (a file may
// have appeared since the first check): into a new file beside the path,
// flushed to disk and renamed over it, so that the path holds what it held
// before or all of `bytes`. False with *error (one line) when refused or
// when the file cannot be written (a full disk, a file size limit); the
// temporary file is then gone. Should SIGINT, SIGTERM, SIGHUP or SIGQUIT
// end the process meanwhile (their default action), the temporary file is
// removed first; a handler the process has for them is left in place.
bool WriteOutputFile(const OutputFile& output, std::string_view bytes, const std::string& scenePath, bool force,
                     std::string* error);

// Whether `head`, the first bytes of a file, is what `kind` writes.
bool LooksLikeOutput(OutputKind kind, std::string_view head);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_OUTPUT_FILE_H_
