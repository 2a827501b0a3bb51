// Reporters: how `dravik run` shows a run. Each is a RunObserver that also
// takes the engine's diagnostic messages.
//
//   table  a readable table on `out`: one row per frame (watched values,
//          then one status mark per procedure call), the runtime's notes
//          between the rows, and a summary per watched channel (min, max,
//          last value, sparkline). Messages go to `err` after the row of
//          their frame, with their level; a message met before is counted
//          instead and the counts are given at the end.
//   csv    "frame,channel,name,kind,value,x,y,z" rows on `out`; messages
//          and notes on `err`.
//   jsonl  one JSON object per line on `out`:
//            {"type":"value","frame":N,"channel":ID,"name":NAME,"value":X}
//            {"type":"message","frame":N,"level":L,"text":TEXT}
//            {"type":"event","frame":N,"text":TEXT}
//          X is a number, or [x,y,z] for a vector; every message is written.
//
// Message levels: 0 alert, 1 error, 2 info, 3 debug. Table and csv show the
// levels up to `maxLevel` (-1 shows none).
#ifndef RUNNER_OUTPUT_REPORTER_H_
#define RUNNER_OUTPUT_REPORTER_H_

#include <cstdio>
#include <memory>
#include <string>

#include "runner/scene/scene_runtime.h"

namespace dravik {

class Reporter : public RunObserver {
 public:
  // A diagnostic message of `level` shown while `frame` ran (0: outside).
  virtual void OnMessage(uint32_t frame, unsigned level, const std::string& text) = 0;
};

enum class OutputFormat { kTable, kCsv, kJsonl };

// A reporter of `format` writing to `out` and `err` (not owned).
std::unique_ptr<Reporter> MakeReporter(OutputFormat format, FILE* out, FILE* err, int maxLevel);

// "alert", "error", "info", "debug", or "level N".
std::string LevelName(unsigned level);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORTER_H_
