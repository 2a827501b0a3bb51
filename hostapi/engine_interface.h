// EngineInterface: the engine services every channel reaches through
// `_engine` (or the global `globalEngine`): four message functors, the
// engine-wide render count and the channel at work.
#ifndef HOSTAPI_ENGINE_INTERFACE_H_
#define HOSTAPI_ENGINE_INTERFACE_H_

#include <cstdint>

#include "hostapi/export.h"

class EngineInterface;
class Zyr_Channel;

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

  // The channel whose work shows the messages now, for a sink that tells
  // them apart by channel; null when none. A channel's evaluation sets
  // itself when CheckRenderCount finds it due; a host sets the channel it
  // binds or loads. Whoever calls into a channel holds a ChannelWorkScope
  // meanwhile, which gives the channel at work back when the call returns:
  // a reader's messages after a nested evaluation are the reader's again.
  Zyr_Channel* GetChannelAtWork() const { return _channelAtWork; }
  void SetChannelAtWork(Zyr_Channel* channel) { _channelAtWork = channel; }

 private:
  MessageSink _sink;
  void* _sinkContext;
  uint32_t _renderCount;
  Zyr_Channel* _channelAtWork;
};

// Keeps `engine`'s channel at work for the length of a call into a channel
// (reading its value, binding it, loading it) and gives the one before back
// when it ends, however it ends. `channel`, when not null, is at work from
// the start; an evaluation sets itself. REQUIRES: `engine` outlives the
// scope.
class ChannelWorkScope {
 public:
  explicit ChannelWorkScope(EngineInterface& engine, Zyr_Channel* channel = nullptr) noexcept
      : _engine(engine), _outer(engine.GetChannelAtWork()) {
    if (channel != nullptr) engine.SetChannelAtWork(channel);
  }
  ~ChannelWorkScope() { _engine.SetChannelAtWork(_outer); }
  ChannelWorkScope(const ChannelWorkScope&) = delete;
  ChannelWorkScope& operator=(const ChannelWorkScope&) = delete;

 private:
  EngineInterface& _engine;
  Zyr_Channel* _outer;
};

// The engine instance every channel is created with. Never null.
extern "C++" DRAVIK_API EngineInterface* globalEngine;

#endif  // HOSTAPI_ENGINE_INTERFACE_H_
