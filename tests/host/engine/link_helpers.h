// Link descriptions for the engine tests.
#ifndef TESTS_HOST_ENGINE_LINK_HELPERS_H_
#define TESTS_HOST_ENGINE_LINK_HELPERS_H_

#include <cstring>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"

namespace engine_test {

inline const GUID kValueType = guid::FromString(guid::kFloatChannelType);
inline const GUID kVectorType = guid::FromString(guid::kVectorChannelType);

// A link named `name` that accepts channels of `type`.
inline ChildCreation Link(const char* name, const GUID& type) {
  ChildCreation c;
  std::strncpy(c.LinkName, name, sizeof(c.LinkName) - 1);
  c.Type._typeGuid = type;
  c.Type._baseTypeGuid = GUID{};
  return c;
}

// Rebuilds the channel's links the way a module does: count 0, then each
// description by index.
inline void DeclareLinks(Zyr_Channel& channel, const std::vector<ChildCreation>& links) {
  channel.SetChildCreationCount(0);
  for (size_t i = 0; i < links.size(); ++i) channel.SetChildCreateType(links[i], static_cast<int>(i));
}

}  // namespace engine_test

#endif  // TESTS_HOST_ENGINE_LINK_HELPERS_H_
