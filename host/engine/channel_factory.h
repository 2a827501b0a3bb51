// ChannelFactory: makes channels by type GUID, for a host that builds scenes
// and loads files. Types come from the float channel library
// (RegisterFloatChannelTypes) and from loaded channel modules.
#ifndef HOST_ENGINE_CHANNEL_FACTORY_H_
#define HOST_ENGINE_CHANNEL_FACTORY_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/export.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"

class DRAVIK_API ChannelFactory {
 public:
  // Makes a new channel owned by the caller, or null.
  using CreateFunction = std::function<Zyr_Channel*()>;

  // Registers (or replaces) the maker of `type._typeGuid`.
  void Register(const ChannelType& type, CreateFunction create);
  bool Knows(const GUID& type) const;
  // The registered record of a type, or null.
  const ChannelType* Type(const GUID& type) const;
  // A type by its name ("Value", "VanticPrcCall", ...), or null.
  const ChannelType* TypeByName(const std::string& name) const;
  // A new channel of the type, its type record set; null when the type is
  // unknown or its maker answered null.
  std::unique_ptr<Zyr_Channel> Create(const GUID& type) const;
  std::vector<ChannelType> Types() const;

 private:
  struct Entry {
    ChannelType type;
    CreateFunction create;
  };
  std::map<GUID, Entry> _entries;
};

#endif  // HOST_ENGINE_CHANNEL_FACTORY_H_
