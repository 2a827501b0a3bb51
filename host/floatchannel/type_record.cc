#include "host/floatchannel/type_record.h"

#include <cstring>

#include "hostapi/guid.h"

namespace floatchannel {

ChannelType MakeTypeRecord(const char* name, std::string_view typeGuid) {
  ChannelType type;
  std::memcpy(type._name, name, strnlen(name, sizeof(type._name) - 1));
  type._typeGuid = guid::FromString(typeGuid);
  type._interfaceVersion = kChannelInterfaceVersion;
  type._flags = 0;
  return type;
}

}  // namespace floatchannel
