// The small engine types a channel meets: the interface root, feedback
// objects, dependency lists and channel groups.
#include <algorithm>
#include <utility>

#include "hostapi/zyr_channel.h"

DllInterface::~DllInterface() = default;

ChannelFeedback::~ChannelFeedback() = default;

bool Zyr_List::Contains(const GUID& guid) const {
  return std::find(_items.begin(), _items.end(), guid) != _items.end();
}

Zyr_ChannelGroup::Zyr_ChannelGroup(std::string name) : _name(std::move(name)) {}

Zyr_ChannelGroup::~Zyr_ChannelGroup() {
  // Members outlive the group: leave them without one.
  for (Zyr_Channel* member : _members) member->_group = nullptr;
}

const char* Zyr_ChannelGroup::GetGroupName() { return _name.c_str(); }
