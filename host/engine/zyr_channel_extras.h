// Zyr_Channel::Extras: the part of a channel that few channels need, made
// on first use so that a plain channel stays small.
#ifndef HOST_ENGINE_ZYR_CHANNEL_EXTRAS_H_
#define HOST_ENGINE_ZYR_CHANNEL_EXTRAS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "hostapi/zyr_channel.h"

struct Zyr_Channel::Extras {
  // A child remembered by the name of the link it was plugged into, until
  // a link of that name that accepts it is declared again.
  struct Detached {
    std::string name;
    Zyr_Channel* child;
  };
  std::vector<Detached> detached;
  // The places holding this channel, per parent, once they outgrew
  // Zyr_Channel::_parents (which is then empty); placeCount is their sum.
  std::unordered_map<Zyr_Channel*, uint32_t> parentPlaces;
  size_t placeCount = 0;
  std::unique_ptr<ContextRenderCount> context;
  // The last loaded engine part.
  std::vector<uint32_t> loadedChildIds;
  std::string loadedGroupName;
};

#endif  // HOST_ENGINE_ZYR_CHANNEL_EXTRAS_H_
