#include "plugin/entry/entry.h"

#include <cstring>

#include "hostapi/guid.h"
#include "plugin/entry/static_objects.h"

uint32_t CopyStringBounded(char* destination, size_t capacity, const char* source) {
  if (capacity == 0 || destination == nullptr || source == nullptr) return kResultInvalidArgument;
  size_t written = 0;
  while (written < capacity && source[written] != '\0') {
    destination[written] = source[written];
    ++written;
  }
  if (written < capacity) {  // the NUL came first
    destination[written] = '\0';
    return kResultOk;
  }
  destination[written - 1] = '\0';  // capacity - 1 characters stand
  return kResultInsufficientBuffer;
}

ChannelType& ChannelTypeRecord() { return channelTypeRecord; }

extern "C" ChannelType* GetType() {
  ChannelType& record = channelTypeRecord;
  // Capacity one less than the 80-byte field: its last byte stays 0 whatever
  // the name. The name always fits, so the result is not looked at.
  std::memset(record._name, 0, sizeof(record._name));
  (void)CopyStringBounded(record._name, sizeof(record._name) - 1, kPrcCallTypeName);
  record._typeGuid = guid::FromString(guid::kPrcCallChannelType);
  record._baseTypeGuid = guid::FromString(guid::kFloatChannelType);
  record._interfaceVersion = kChannelInterfaceVersion;
  record._flags = 0;
  return &record;
}
