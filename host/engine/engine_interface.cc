// The engine instance: message functors, message sink, render count and
// the channel at work.
#include "hostapi/engine_interface.h"

#include <cstdio>
#include <string>

namespace {

void StderrSink(void*, unsigned level, const char* text) {
  // One fputs per message so that lines do not interleave; the text is
  // never used as a format.
  std::string line = "[" + std::to_string(level) + "] ";
  line += text;
  line += '\n';
  std::fputs(line.c_str(), stderr);
}

// Owned by the library from load to unload. Its destructor is trivial, so
// it stays usable while other libraries' static objects go.
EngineInterface engineInstance;

}  // namespace

EngineInterface* globalEngine = &engineInstance;

ShowDebugMessage::ShowDebugMessage() : _level(0), _owner(nullptr) {}

void ShowDebugMessage::operator()(const char* text) const {
  if (text == nullptr) return;
  (_owner ? _owner : globalEngine)->Deliver(_level, text);
}

EngineInterface::EngineInterface() : _sink(&StderrSink), _sinkContext(nullptr), _renderCount(1), _channelAtWork(nullptr) {
  for (unsigned level = 0; level < 4; ++level) {
    _showDebugMessage[level]._level = level;
    _showDebugMessage[level]._owner = this;
  }
}

void EngineInterface::SetMessageSink(MessageSink sink, void* context, MessageSink* oldSink,
                                     void** oldContext) {
  if (oldSink) *oldSink = _sink;
  if (oldContext) *oldContext = _sinkContext;
  _sink = sink ? sink : &StderrSink;
  _sinkContext = sink ? context : nullptr;
}

void EngineInterface::Deliver(unsigned level, const char* text) const {
  if (text == nullptr) return;
  _sink(_sinkContext, level, text);
}

void EngineInterface::AdvanceRenderCount() {
  ++_renderCount;
  if (_renderCount == 0) _renderCount = 1;  // 0 is the "never computed" mark
}

void EngineInterface::SetRenderCount(uint32_t count) { _renderCount = count == 0 ? 1 : count; }
