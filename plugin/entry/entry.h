// The module's boundary with the engine: the exported entry points and the
// channel-type record.
#ifndef PLUGIN_ENTRY_ENTRY_H_
#define PLUGIN_ENTRY_ENTRY_H_

#include <cstddef>
#include <cstdint>

#include "hostapi/channel_type.h"
#include "hostapi/zyr_channel.h"
#include "plugin/entry/plugin_export.h"

inline constexpr uint32_t kResultOk = 0;                     // S_OK
inline constexpr uint32_t kResultInvalidArgument = 0x80070057u;   // E_INVALIDARG
inline constexpr uint32_t kResultInsufficientBuffer = 0x8007007Au;

// Name of the channel type this module contributes.
inline constexpr const char kPrcCallTypeName[] = "VanticPrcCall";

// Copies the NUL-terminated `source` into `destination` of `capacity` bytes.
// Returns kResultOk when it fit; kResultInsufficientBuffer when it was cut to
// capacity - 1 characters (still NUL-terminated); kResultInvalidArgument,
// writing nothing, for a capacity of 0 (or a null pointer).
uint32_t CopyStringBounded(char* destination, size_t capacity, const char* source);

// The module's channel-type record (static, never freed).
ChannelType& ChannelTypeRecord();

extern "C" {
// Fills and returns the channel-type record: "VanticPrcCall", the type GUID
// C7653FCA-6B0C-44FA-936F-EA1952B129F0, the float channel type as base,
// interface version 7 and flags 0. Same address on every call.
VPC_PLUGIN_API ChannelType* GetType();
// A new procedure-call channel owned by the caller, or null.
VPC_PLUGIN_API DllInterface* InitDLL();
}

#endif  // PLUGIN_ENTRY_ENTRY_H_
