// ChannelType and ChildCreation: the two records the engine and the channel
// modules exchange by value. Both are byte-exact across the boundary.
#ifndef HOSTAPI_CHANNEL_TYPE_H_
#define HOSTAPI_CHANNEL_TYPE_H_

#include <cstddef>
#include <cstdint>

#include "hostapi/export.h"
#include "hostapi/guid.h"

// The channel-type record (132 bytes).
//
//   offset   0  char     _name[80]      NUL-terminated type name
//   offset  80  GUID     _typeGuid
//   offset  96  GUID     _baseTypeGuid  type this one derives from
//   offset 112  uint32_t _hostData[2]   engine bookkeeping; the constructor
//                                       sets both to 0 and modules leave them
//   offset 120  int32_t  _interfaceVersion  channel interface version a
//                                           module was built for (7 today)
//   offset 124  uint32_t _reserved      constructor sets 0
//   offset 128  int32_t  _flags         type flags; 0 = plain value channel
//
// ChannelType() zero-fills the whole record: empty name, both GUIDs all
// zero, every number 0.
class DRAVIK_API ChannelType {
 public:
  ChannelType();

  char _name[80];
  GUID _typeGuid;
  GUID _baseTypeGuid;
  uint32_t _hostData[2];
  int32_t _interfaceVersion;
  uint32_t _reserved;
  int32_t _flags;
};
static_assert(sizeof(ChannelType) == 132);
static_assert(offsetof(ChannelType, _name) == 0);
static_assert(offsetof(ChannelType, _typeGuid) == 80);
static_assert(offsetof(ChannelType, _baseTypeGuid) == 96);
static_assert(offsetof(ChannelType, _hostData) == 112);
static_assert(offsetof(ChannelType, _interfaceVersion) == 120);
static_assert(offsetof(ChannelType, _reserved) == 124);
static_assert(offsetof(ChannelType, _flags) == 128);

// Interface version the engine speaks; a module's record carries it.
inline constexpr int32_t kChannelInterfaceVersion = 7;

// Description of one child link (264 bytes), handed to the engine by value.
//
//   offset   0  ChannelType Type        kind of channel the link accepts
//   offset 132  int32_t  LinkIndex      number of the link; -1 for none
//   offset 136  uint8_t  Hidden         engine display flag
//   offset 137  uint8_t  Locked         engine display flag
//   offset 138  char     LinkName[100]  NUL-terminated link name
//   offset 238  uint8_t  _pad[2]
//   offset 240  GUID     DefaultGuid    type of a default child; zero = none
//   offset 256  int32_t  Reserved
//   offset 260  int32_t  LinkMode       1 input, 0 output, 2 input and output
//
// The default constructor runs ChannelType() on Type, then sets both GUIDs of
// Type to 11111111-1111-1111-1111-111111111111, LinkIndex -1, the two flag
// bytes 0, LinkName empty, DefaultGuid zero, Reserved 0 and LinkMode 1. The
// padding is zeroed so records compare bytewise.
class DRAVIK_API ChildCreation {
 public:
  ChildCreation();

  ChannelType Type;
  int32_t LinkIndex;
  uint8_t Hidden;
  uint8_t Locked;
  char LinkName[100];
  uint8_t _pad[2];
  GUID DefaultGuid;
  int32_t Reserved;
  int32_t LinkMode;
};
static_assert(sizeof(ChildCreation) == 264);
static_assert(offsetof(ChildCreation, Type) == 0);
static_assert(offsetof(ChildCreation, LinkIndex) == 132);
static_assert(offsetof(ChildCreation, Hidden) == 136);
static_assert(offsetof(ChildCreation, Locked) == 137);
static_assert(offsetof(ChildCreation, LinkName) == 138);
static_assert(offsetof(ChildCreation, _pad) == 238);
static_assert(offsetof(ChildCreation, DefaultGuid) == 240);
static_assert(offsetof(ChildCreation, Reserved) == 256);
static_assert(offsetof(ChildCreation, LinkMode) == 260);

// Link modes of ChildCreation::LinkMode.
inline constexpr int32_t kLinkModeOutput = 0;
inline constexpr int32_t kLinkModeInput = 1;
inline constexpr int32_t kLinkModeInputOutput = 2;

#endif  // HOSTAPI_CHANNEL_TYPE_H_
