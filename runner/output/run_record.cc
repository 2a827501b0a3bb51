#include "runner/output/run_record.h"

namespace dravik {
namespace {

const RecordedSeries* FindSeries(const std::vector<RecordedSeries>& all, const std::string& id) {
  for (const RecordedSeries& s : all) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

}  // namespace

const RecordedSeries* RunRecord::Watched(const std::string& id) const { return FindSeries(watched, id); }
const RecordedSeries* RunRecord::Call(const std::string& id) const { return FindSeries(calls, id); }

RunRecorder::RunRecorder(RunRecord* record, Reporter* next, size_t maxMessages)
    : _record(record), _next(next), _maxMessages(maxMessages) {}

void RunRecorder::OnBegin(const Scene& scene, uint32_t first, uint32_t last,
                          const std::vector<ChannelValue>& watched) {
  _record->sceneName = scene.name;
  _record->first = first;
  _record->last = first - 1;
  for (const ChannelValue& v : watched) {
    RecordedSeries s;
    s.id = v.spec->id;
    s.name = v.name;
    s.kind = v.spec->kind;
    s.isVector = v.isVector;
    _record->watched.push_back(std::move(s));
  }
  for (const ChannelSpec& spec : scene.channels) {
    if (spec.kind != ChannelKind::kCall) continue;
    _callIndex[&spec] = _record->calls.size();
    RecordedSeries s;
    s.id = spec.id;
    s.kind = spec.kind;
    _record->calls.push_back(std::move(s));
  }
  if (_next) _next->OnBegin(scene, first, last, watched);
}

void RunRecorder::OnNote(uint32_t frame, const std::string& text) {
  _record->notes.push_back({frame, text});
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
  auto it = _callIndex.find(call.spec);
  if (it != _callIndex.end()) {
    RecordedSeries& s = _record->calls[it->second];
    s.name = call.channel->GetChannelName();
    s.values.push_back(status);
  }
  if (_next) _next->OnCallEvaluated(frame, call, status);
}

void RunRecorder::OnMessage(const RunMessage& message) {
  if (_record->messages.size() < _maxMessages) {
    _record->messages.push_back(message);
  } else {
    ++_record->messagesLeftOut;
  }
  if (_next) _next->OnMessage(message);
}

}  // namespace dravik
