// Reporters: how `dravik run` shows a run. Each is a RunObserver that also
// takes the engine's diagnostic messages.
//
//   table  a readable table on `out`: one row per frame (watched values,
//          then one status mark per procedure call), the runtime's notes
//          between the rows, and a summary per watched channel (min, max,
//          last value, sparkline). Messages go to `err` after the row of
//          their frame, with their level; a message met before is counted
//          instead and the counts, per channel, are given at the end.
//   csv    "frame,channel,name,kind,value,x,y,z" rows on `out`; messages
//          and notes on `err`.
//   jsonl  one JSON object per line on `out`:
//            {"type":"value","frame":N,"channel":ID,"name":NAME,"value":X}
//            {"type":"message","frame":N,"level":L,"channel":ID,"text":TEXT}
//            {"type":"event","frame":N,"text":TEXT}
//          X is a number, or [x,y,z] for a vector; every message is written,
//          its ID null when no channel's work showed it.
//
// Message levels: 0 alert, 1 error, 2 info, 3 debug. Table and csv show the
// levels up to `maxLevel` (-1 shows none), each message as
// "dravik: frame N: [level] [id] text" (no frame part outside frames, no id
// part outside any channel's work).
#ifndef RUNNER_OUTPUT_REPORTER_H_
#define RUNNER_OUTPUT_REPORTER_H_

#include <cstdio>
#include <memory>
#include <string>

#include "runner/scene/scene_runtime.h"

namespace dravik {

// A diagnostic message as the runner shows it.
struct RunMessage {
  uint32_t frame = 0;   // the frame under way; 0 outside frames
  unsigned level = 0;
  std::string channel;  // scene id of the channel whose work showed it; "" for none
  std::string text;     // the engine's text, as it came
};

class Reporter : public RunObserver {
 public:
  virtual void OnMessage(const RunMessage& message) = 0;
};

enum class OutputFormat { kTable, kCsv, kJsonl };

// A reporter of `format` writing to `out` and `err` (not owned).
std::unique_ptr<Reporter> MakeReporter(OutputFormat format, FILE* out, FILE* err, int maxLevel);

// "alert", "error", "info", "debug", or "level N".
std::string LevelName(unsigned level);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_REPORTER_H_
