// A channel module that names itself correctly but derives from the vector
// type instead of the float channel type; hosts must refuse it.
#include <cstring>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"

extern "C" __attribute__((visibility("default"))) ChannelType* GetType() {
  static ChannelType type;
  std::strcpy(type._name, "WrongBase");
  type._typeGuid = guid::FromString("7A0B1C2D-3E4F-4A5B-9C6D-7E8F9A0B1C2D");
  type._baseTypeGuid = guid::FromString(guid::kVectorChannelType);
  type._interfaceVersion = kChannelInterfaceVersion;
  return &type;
}

extern "C" __attribute__((visibility("default"))) DllInterface* InitDLL() { return new Ubo_ValueChannel(); }
