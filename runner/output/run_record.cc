#include "runner/output/run_record.h"

#include <algorithm>
#include <cstdint>

namespace dravik {

StatusCell CellOf(float status) {
  if (status == 0.0f) return StatusCell::kExecuted;
  if (status == 1.0f) return StatusCell::kFailed;
  if (status == 3.0f) return StatusCell::kNoInputs;
  return StatusCell::kOther;
}

void StatusGrid::Start(std::vector<std::string> callIds, uint32_t firstFrame, uint32_t lastFrame, size_t maxCells) {
  ids = std::move(callIds);
  first = firstFrame;
  const uint64_t frames = lastFrame >= firstFrame ? uint64_t{lastFrame} - firstFrame + 1 : 0;
  const uint64_t fit = std::max<uint64_t>(1, maxCells / std::max<size_t>(ids.size(), 1));
  const uint64_t wanted = std::min<uint64_t>({frames, fit, kMaxColumns});
  span = wanted ? static_cast<uint32_t>((frames + wanted - 1) / wanted) : 1;
  columns = static_cast<size_t>(frames ? (frames + span - 1) / span : 0);
  cells.assign(ids.size() * columns, StatusCell::kNotRun);
}

void StatusGrid::Put(size_t row, uint32_t frame, float status) {
  if (row >= ids.size() || frame < first) return;
  const size_t column = (frame - first) / span;
  if (column >= columns) return;
  StatusCell& cell = cells[row * columns + column];
  cell = std::max(cell, CellOf(status));
}

StatusCell StatusGrid::Worst(size_t row) const {
  StatusCell worst = StatusCell::kNotRun;
  for (size_t c = 0; c < columns; ++c) worst = std::max(worst, Cell(row, c));
  return worst;
}

size_t RunRecord::Plotted() const { return std::min(watched.size(), RunRecorder::kMaxWatched); }

RunRecorder::RunRecorder(RunRecord* record, Reporter* next, size_t maxMessages, size_t maxWatched)
    : _record(record), _next(next), _maxMessages(maxMessages), _maxWatched(maxWatched) {}

void RunRecorder::OnBegin(const Scene& scene, uint32_t first, uint32_t last,
                          const std::vector<ChannelValue>& watched) {
  _record->sceneName = scene.name;
  _record->first = first;
  _record->last = first - 1;
  for (const ChannelValue& v : watched) {
    if (_record->watched.size() >= _maxWatched) {
      ++_record->watchedLeftOut;
      continue;
    }
    RecordedSeries s;
    s.id = v.spec->id;
    s.name = v.name;
    s.kind = v.spec->kind;
    s.isVector = v.isVector;
    _record->watched.push_back(std::move(s));
  }
  constexpr uint32_t kNoRow = UINT32_MAX;
  std::vector<std::string> ids;
  _specs = scene.channels.data();
  _rowOfChannel.assign(scene.channels.size(), kNoRow);
  for (size_t i = 0; i < scene.channels.size(); ++i) {
    if (scene.channels[i].kind != ChannelKind::kCall) continue;
    _rowOfChannel[i] = static_cast<uint32_t>(ids.size());
    ids.push_back(scene.channels[i].id);
  }
  _record->statuses.Start(std::move(ids), first, last);
  if (_next) _next->OnBegin(scene, first, last, watched);
}

void RunRecorder::OnNote(uint32_t frame, const std::string& text) {
  if (_record->notes.size() < kMaxNotes) {
    _record->notes.push_back({frame, text});
  } else {
    ++_record->notesLeftOut;
  }
  if (_next) _next->OnNote(frame, text);
}

void RunRecorder::OnFrame(uint32_t frame, const std::vector<ChannelValue>& values) {
  for (size_t i = 0; i < values.size() && i < _record->watched.size(); ++i) {
    RecordedSeries& s = _record->watched[i];
    s.name = values[i].name;
    s.values.push_back(values[i].value);
    if (s.isVector) s.vectors.push_back(values[i].vector);
  }
  _record->last = frame;
  if (_next) _next->OnFrame(frame, values);
}

void RunRecorder::OnEnd() {
  if (_next) _next->OnEnd();
}

void RunRecorder::OnCallEvaluating(uint32_t frame, const RuntimeChannel& call) {
  if (_next) _next->OnCallEvaluating(frame, call);
}

void RunRecorder::OnCallEvaluated(uint32_t frame, const RuntimeChannel& call, float status) {
  // Specs are the scene's own: a call's place among them finds its row.
  const uintptr_t base = reinterpret_cast<uintptr_t>(_specs);
  const uintptr_t spec = reinterpret_cast<uintptr_t>(call.spec);
  const size_t at = (spec - base) / sizeof(ChannelSpec);
  if (spec >= base && at < _rowOfChannel.size()) _record->statuses.Put(_rowOfChannel[at], frame, status);
  if (_next) _next->OnCallEvaluated(frame, call, status);
}

void RunRecorder::OnMessage(const RunMessage& message) {
  _record->digest.Add(message);
  if (_record->messages.size() < _maxMessages) {
    _record->messages.push_back(message);
  } else {
    ++_record->messagesLeftOut;
  }
  if (_next) _next->OnMessage(message);
}

}  // namespace dravik
