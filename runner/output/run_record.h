// RunRecord: what a run showed, kept for what is made after it (a report,
// an inspection): the watched values per frame, every call channel's
// status folded into spans of frames, the runtime's notes, and the messages
// with the channel that showed them, folded (MessageDigest) and, up to a
// bound, as they came. RunRecorder fills one as a reporter, passing
// everything on to another reporter when given one. What it keeps is
// bounded by the watched channels and frames, and by the scene's size.
#ifndef RUNNER_OUTPUT_RUN_RECORD_H_
#define RUNNER_OUTPUT_RUN_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runner/output/report_messages.h"
#include "runner/output/reporter.h"

namespace dravik {

// One channel's values over the frames of a run.
struct RecordedSeries {
  std::string id;
  std::string name;  // engine name after the last frame recorded
  ChannelKind kind = ChannelKind::kValue;
  bool isVector = false;
  // Per frame, from RunRecord::first: the float value (a vector's length,
  // a call's status), and for a vector its components.
  std::vector<float> values;
  std::vector<Vec3> vectors;
};

// How a call's answers at the frames of a span are shown: the most severe
// of them (the codes are ordered by severity).
enum class StatusCell : uint8_t { kNotRun = 0, kExecuted = 1, kOther = 2, kNoInputs = 3, kFailed = 4 };
StatusCell CellOf(float status);  // 0.0 executed, 1.0 failed, 3.0 no inputs, anything else other

// Every call channel's status over the frames of a run, one row per call in
// scene order and one cell per span of `span` frames from `first` (the
// last span may be shorter), at most `maxCells` cells in all: a run of
// many frames gets wider spans.
struct StatusGrid {
  static constexpr size_t kMaxCells = 4'000'000;
  static constexpr size_t kMaxColumns = 1000;

  std::vector<std::string> ids;
  uint32_t first = 1;
  uint32_t span = 1;
  size_t columns = 0;
  std::vector<StatusCell> cells;  // ids.size() rows of `columns` cells

  // Sizes the grid for `ids` over frames [first, last] (none when last < first).
  void Start(std::vector<std::string> callIds, uint32_t first, uint32_t last, size_t maxCells = kMaxCells);
  // Folds the status `row`'s call answered at `frame` into its cell.
  void Put(size_t row, uint32_t frame, float status);
  StatusCell Cell(size_t row, size_t column) const { return cells[row * columns + column]; }
  // The most severe cell of a row.
  StatusCell Worst(size_t row) const;
};

struct RunNote {
  uint32_t frame = 0;
  std::string text;
};

struct RunRecord {
  std::string sceneName;
  uint32_t first = 1;
  uint32_t last = 0;  // last frame recorded; first - 1 when none was
  std::vector<RecordedSeries> watched;  // the first watched channels, in scene order
  size_t watchedLeftOut = 0;            // watched channels past the recorder's bound
  StatusGrid statuses;                  // every call channel
  std::vector<RunNote> notes;           // events applied, links plugged; the first ones
  size_t notesLeftOut = 0;
  MessageDigest digest;                 // every message, folded
  std::vector<RunMessage> messages;     // the first ones, in the order shown
  size_t messagesLeftOut = 0;           // past the recorder's bound

  // How many of `watched` a report plots (the first ones), and how many
  // watched channels it leaves out, those the recorder did not keep
  // included.
  size_t Plotted() const;
  size_t PlotLeftOut() const { return watchedLeftOut + watched.size() - Plotted(); }
};

class RunRecorder final : public Reporter {
 public:
  // Most messages kept as they came by default; a run showing more counts
  // the rest in messagesLeftOut, so that a long run cannot use memory
  // without bound (the digest folds them all).
  static constexpr size_t kDefaultMaxMessages = 100'000;
  // Most watched channels kept by default (and plotted by a report), and
  // most notes kept.
  static constexpr size_t kMaxWatched = 100;
  static constexpr size_t kMaxNotes = 1000;

  // Records one run into `record`, and hands every call on to `next` (when
  // not null). Neither is owned; both must outlive the recorder. Keeps the
  // values of the first `maxWatched` watched channels.
  explicit RunRecorder(RunRecord* record, Reporter* next = nullptr, size_t maxMessages = kDefaultMaxMessages,
                       size_t maxWatched = kMaxWatched);

  void OnBegin(const Scene& scene, uint32_t first, uint32_t last,
               const std::vector<ChannelValue>& watched) override;
  void OnNote(uint32_t frame, const std::string& text) override;
  void OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) override;
  void OnEnd() override;
  void OnCallEvaluating(uint32_t frame, const RuntimeChannel& call) override;
  void OnCallEvaluated(uint32_t frame, const RuntimeChannel& call, float status) override;
  void OnMessage(const RunMessage& message) override;

 private:
  RunRecord* _record;
  Reporter* _next;
  size_t _maxMessages;
  size_t _maxWatched;
  // A call's row in the status grid by its place in the scene's channels.
  const ChannelSpec* _specs = nullptr;
  std::vector<uint32_t> _rowOfChannel;
};

}  // namespace dravik

#endif  // RUNNER_OUTPUT_RUN_RECORD_H_
