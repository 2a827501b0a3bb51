// EngineInterface: the engine services every channel reaches through
// `_engine` (or the global `globalEngine`): four message functors and the
// engine-wide render count.
#ifndef HOSTAPI_ENGINE_INTERFACE_H_
#define HOSTAPI_ENGINE_INTERFACE_H_

#include <cstdint>

#include "hostapi/export.h"

class EngineInterface;

// Where shown messages go. `text` is only valid during the call.
using MessageSink = void (*)(void* context, unsigned level, const char* text);

// One message level's functor. Calling it hands the text to the engine's
// current sink together with the functor's level. A null text is ignored.
class DRAVIK_API ShowDebugMessage {
 public:
  ShowDebugMessage();
  void operator()(const char* text) const;

  unsigned _level;
  EngineInterface* _owner;
};

class DRAVIK_API EngineInterface {
 public:
  // Messages go to stderr as "[level] text" until a sink is set.
  EngineInterface();
  EngineInterface(const EngineInterface&) = delete;
  EngineInterface& operator=(const EngineInterface&) = delete;

  // Functors for message levels 0, 1, 2 and 3, in that order.
  ShowDebugMessage _showDebugMessage[4];

  // Replaces the sink; a null sink restores the stderr default. Returns the
  // previous sink and context through the out-parameters when given.
  void SetMessageSink(MessageSink sink, void* context,
                      MessageSink* oldSink = nullptr, void** oldContext = nullptr);
  void Deliver(unsigned level, const char* text) const;

  // The engine-wide render count. It starts at 1 and is never 0; a channel
  // is due once per count (Zyr_Channel::CheckRenderCount), that is whenever
  // the count differs from the one it last computed for.
  uint32_t GetRenderCount() const { return _renderCount; }
  // Moves to the next count (after 0xFFFFFFFF comes 1).
  void AdvanceRenderCount();
  // Sets the count; 0 counts as 1.
  void SetRenderCount(uint32_t count);

 private:
  MessageSink _sink;
  void* _sinkContext;
  uint32_t _renderCount;
};

// The engine instance every channel is created with. Never null.
extern "C++" DRAVIK_API EngineInterface* globalEngine;

#endif  // HOSTAPI_ENGINE_INTERFACE_H_
