// Constructors of the two records the engine and the modules exchange.
#include "hostapi/channel_type.h"

#include <cstring>

ChannelType::ChannelType() {
  // Zero every byte, padding included, so that records compare bytewise.
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
}

ChildCreation::ChildCreation() : Type() {
  std::memset(static_cast<void*>(this), 0, sizeof(*this));
  // Until a module says otherwise a link accepts the placeholder type
  // 11111111-1111-1111-1111-111111111111, which no channel has.
  std::memset(&Type._typeGuid, 0x11, sizeof(GUID));
  std::memset(&Type._baseTypeGuid, 0x11, sizeof(GUID));
  LinkIndex = -1;
  LinkMode = kLinkModeInput;
}
