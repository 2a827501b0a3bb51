// libFuzzer target: the runner's scene loader on arbitrary text.
//
// LoadSceneJson must answer true or false for every input without throwing
// or aborting, and give an error line exactly when it refuses. A scene it
// takes must respect the bounds the runtime relies on (scene.h), and a
// second load of the same text must give the same answer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "runner/scene/scene.h"
#include "runner/scene/scene_json.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "scene_json_fuzzer: %s\n", what);
  std::abort();
}

bool WithinBounds(const dravik::Scene& scene) {
  if (scene.frames > dravik::kMaxFrames) return false;
  for (size_t count : {scene.objects.size(), scene.channels.size(), scene.events.size(),
                       scene.procedures.size(), scene.groups.size()}) {
    if (count > dravik::kMaxItems) return false;
  }
  for (const dravik::ExpressionProcedureSpec& p : scene.procedures) {
    if (p.params.size() > dravik::kMaxParams || p.name.size() > dravik::kMaxNameLength) {
      return false;
    }
    for (const dravik::ParamSpec& param : p.params) {
      if (param.name.size() > dravik::kMaxNameLength) return false;
    }
  }
  for (const dravik::ChannelSpec& c : scene.channels) {
    if (c.params.size() > dravik::kMaxParams) return false;
    if (c.animation.values.size() > dravik::kMaxAnimationValues) return false;
    for (const dravik::LinkSpec& link : c.links) {
      if (link.param.size() > dravik::kMaxLinkNameLength) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  dravik::Scene scene;
  std::string error;
  const bool loaded = dravik::LoadSceneJson(text, &scene, &error);
  if (loaded != error.empty()) Fail("an answer and its error line disagree");
  if (loaded && !WithinBounds(scene)) Fail("a scene beyond the runtime's bounds was taken");

  dravik::Scene again;
  std::string errorAgain;
  if (dravik::LoadSceneJson(text, &again, &errorAgain) != loaded || errorAgain != error) {
    Fail("two loads of one text disagree");
  }
  return 0;
}
