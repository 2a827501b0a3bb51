// MessageRoute: hands the engine's diagnostic messages to a reporter, each
// with the frame under way and the scene id of the channel that showed it,
// for as long as the route lives.
#ifndef RUNNER_OUTPUT_MESSAGE_ROUTE_H_
#define RUNNER_OUTPUT_MESSAGE_ROUTE_H_

#include "hostapi/engine_interface.h"
#include "runner/output/reporter.h"
#include "runner/scene/scene_runtime.h"

namespace dravik {

class MessageRoute {
 public:
  // Takes the engine's message sink over; the destructor gives the one
  // before back. REQUIRES: `reporter` and `runtime` outlive the route.
  MessageRoute(Reporter& reporter, const SceneRuntime& runtime);
  ~MessageRoute();
  MessageRoute(const MessageRoute&) = delete;
  MessageRoute& operator=(const MessageRoute&) = delete;

 private:
  static void Sink(void* context, unsigned level, const char* text);

  Reporter& _reporter;
  const SceneRuntime& _runtime;
  MessageSink _oldSink = nullptr;
  void* _oldContext = nullptr;
};

}  // namespace dravik

#endif  // RUNNER_OUTPUT_MESSAGE_ROUTE_H_
