// RunRecord: what a run showed, kept whole for what is made after it (a
// report, an inspection): the watched values and every call channel's
// status per frame, the runtime's notes and the messages with the channel
// that showed them. RunRecorder fills one as a reporter, passing everything
// on to another reporter when given one.
#ifndef RUNNER_OUTPUT_RUN_RECORD_H_
#define RUNNER_OUTPUT_RUN_RECORD_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

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

struct RunNote {
  uint32_t frame = 0;
  std::string text;
};

struct RunRecord {
  std::string sceneName;
  uint32_t first = 1;
  uint32_t last = 0;  // last frame recorded; first - 1 when none was
  std::vector<RecordedSeries> watched;  // the watched channels, in scene order
  std::vector<RecordedSeries> calls;    // every call channel's status, in scene order
  std::vector<RunNote> notes;           // events applied, links plugged
  std::vector<RunMessage> messages;     // in the order shown
  size_t messagesLeftOut = 0;           // past the recorder's bound

  // The series of channel `id` among `watched` or `calls`; null when none.
  const RecordedSeries* Watched(const std::string& id) const;
  const RecordedSeries* Call(const std::string& id) const;
};

class RunRecorder final : public Reporter {
 public:
  // Most messages kept by default; a run showing more counts the rest in
  // messagesLeftOut, so that a long run cannot use memory without bound.
  static constexpr size_t kDefaultMaxMessages = 100'000;

  // Records one run into `record`, and hands every call on to `next` (when
  // not null). Neither is owned; both must outlive the recorder.
  explicit RunRecorder(RunRecord* record, Reporter* next = nullptr, size_t maxMessages = kDefaultMaxMessages);

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
  std::map<const ChannelSpec*, size_t> _callIndex;  // spec -> position in calls
};

}  // namespace dravik

#endif  // RUNNER_OUTPUT_RUN_RECORD_H_
