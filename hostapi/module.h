// What a channel module exports, and what a host checks when it loads one.
//
// A module is a shared object named "<type GUID>.so". It exports, under
// plain C names:
//   ChannelType* GetType();    the module's channel-type record; the same
//                              address on every call; owned by the module
//   DllInterface* InitDLL();   a new channel, owned by the caller, destroyed
//                              through its virtual destructor; null when
//                              none could be made
#ifndef HOSTAPI_MODULE_H_
#define HOSTAPI_MODULE_H_

#include "hostapi/channel_type.h"
#include "hostapi/zyr_channel.h"

using GetTypeFunction = ChannelType* (*)();
using InitDllFunction = DllInterface* (*)();

inline constexpr const char kGetTypeSymbol[] = "GetType";
inline constexpr const char kInitDllSymbol[] = "InitDLL";

#endif  // HOSTAPI_MODULE_H_
