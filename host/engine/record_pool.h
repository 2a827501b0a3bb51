// RecordPool: equal type records and link descriptions stored once per
// process, so that a channel refers to them by pointer (8 bytes) instead of
// holding a copy (132 or 264 bytes). Records are never freed: a pointer
// handed out stays valid until the process ends.
#ifndef HOST_ENGINE_RECORD_POOL_H_
#define HOST_ENGINE_RECORD_POOL_H_

#include "hostapi/channel_type.h"

namespace record_pool {

// The stored record equal (bytewise) to `type`, stored now if new.
const ChannelType* Intern(const ChannelType& type);
const ChildCreation* Intern(const ChildCreation& creation);

// The record ChannelType() makes, and the one ChildCreation() makes.
const ChannelType* EmptyType();
const ChildCreation* DefaultCreation();

}  // namespace record_pool

#endif  // HOST_ENGINE_RECORD_POOL_H_
