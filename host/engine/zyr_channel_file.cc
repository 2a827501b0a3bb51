// Zyr_Channel::SaveChannel and LoadChannel: the engine's part of a
// channel's record.
//
//   "ZCID"  4 bytes        the channel's id, uint32 LE
//   "ZCNM"  n bytes        the name, without NUL
//   "ZCGR"  n bytes        the group's name, empty without a group
//   "ZCLK"  4 * links      per link the plugged child's id, 0 when empty
#include <string>
#include <vector>

#include "host/engine/le_bytes.h"
#include "host/engine/tagged_value.h"
#include "host/engine/zyr_channel_extras.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

bool Zyr_Channel::SaveChannel(ZyrFileSaver& saver) {
  std::string groupName;
  if (_group != nullptr) {
    const char* name = _group->GetGroupName();
    if (name != nullptr) groupName = name;
  }
  // Names are saved cut to what LoadChannel accepts, so that a channel with
  // a longer name still loads back (with the name's first
  // kMaxSavedNameBytes bytes) instead of being refused whole.
  const std::string channelName = _name.substr(0, kMaxSavedNameBytes);
  if (groupName.size() > kMaxSavedNameBytes) groupName.resize(kMaxSavedNameBytes);
  std::vector<uint8_t> childIds(_links.size() * 4);
  for (size_t i = 0; i < _links.size(); ++i) {
    le::PutU32(childIds.data() + 4 * i, _links[i].child ? _links[i].child->GetChannelId() : 0);
  }
  const bool ok = tagged::SaveU32(saver, "ZCID", _id) && tagged::SaveString(saver, "ZCNM", channelName) &&
                  tagged::SaveString(saver, "ZCGR", groupName) &&
                  tagged::Save(saver, "ZCLK", childIds.data(), static_cast<uint32_t>(childIds.size()));
  return ok && !saver.HasError();
}

bool Zyr_Channel::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  // Everything is read and checked before anything is changed, so that a
  // refused part leaves the channel as it was.
  uint32_t id = 0;
  std::string name;
  std::string groupName;
  if (tagged::ReadU32(loader, "ZCID", &id) == tagged::Read::kDamaged) return false;
  const tagged::Read nameRead = tagged::ReadString(loader, "ZCNM", kMaxSavedNameBytes, &name);
  if (nameRead == tagged::Read::kDamaged) return false;
  if (tagged::ReadString(loader, "ZCGR", kMaxSavedNameBytes, &groupName) == tagged::Read::kDamaged) {
    return false;
  }
  std::vector<uint32_t> childIds;
  const uint32_t errorsBefore = loader.ErrorCount();
  if (loader.GetInfoIfTag("ZCLK")) {
    const uint32_t size = loader.GetCurrentTagSize();
    if (size % 4 != 0 || size / 4 > static_cast<uint32_t>(kMaxChildLinks)) {
      loader.SetError("entry \"ZCLK\" holds " + std::to_string(size) +
                      " bytes, not a whole number of child ids up to " +
                      std::to_string(kMaxChildLinks));
      return false;
    }
    const uint8_t* data = loader.GetCurrentTagData();
    childIds.resize(size / 4);
    for (size_t i = 0; i < childIds.size(); ++i) childIds[i] = le::GetU32(data + 4 * i);
  } else if (loader.ErrorCount() != errorsBefore) {
    return false;
  }

  _loadedId = id;
  if (nameRead == tagged::Read::kRead) SetChannelName(name.c_str());
  if (!childIds.empty() || !groupName.empty()) {
    Extras& extras = GetExtras();
    extras.loadedChildIds = std::move(childIds);
    extras.loadedGroupName = std::move(groupName);
  } else if (_extras) {
    _extras->loadedChildIds.clear();
    _extras->loadedGroupName.clear();
  }
  if (group != nullptr) SetChannelGroup(group);
  return true;
}
