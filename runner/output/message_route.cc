#include "runner/output/message_route.h"

namespace dravik {

MessageRoute::MessageRoute(Reporter& reporter, const SceneRuntime& runtime) : _reporter(reporter), _runtime(runtime) {
  globalEngine->SetMessageSink(&MessageRoute::Sink, this, &_oldSink, &_oldContext);
}

MessageRoute::~MessageRoute() { globalEngine->SetMessageSink(_oldSink, _oldContext); }

void MessageRoute::Sink(void* context, unsigned level, const char* text) {
  auto* self = static_cast<MessageRoute*>(context);
  RunMessage message;
  message.frame = self->_runtime.CurrentFrame();
  message.level = level;
  if (const ChannelSpec* channel = self->_runtime.MessageChannel()) message.channel = channel->id;
  message.text = text ? text : "";
  self->_reporter.OnMessage(message);
}

}  // namespace dravik
