// The type records of the float channel library's kinds.
#ifndef HOST_FLOATCHANNEL_TYPE_RECORD_H_
#define HOST_FLOATCHANNEL_TYPE_RECORD_H_

#include <string_view>

#include "hostapi/channel_type.h"

namespace floatchannel {

// A record named `name` (at most 79 characters; the rest of the field is
// 0), of type `typeGuid` and no base, interface version 7, flags 0.
ChannelType MakeTypeRecord(const char* name, std::string_view typeGuid);

}  // namespace floatchannel

#endif  // HOST_FLOATCHANNEL_TYPE_RECORD_H_
