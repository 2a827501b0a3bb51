// ChannelFactory: the makers of channels, by type GUID.
#include "host/engine/channel_factory.h"

#include <cstring>
#include <utility>

void ChannelFactory::Register(const ChannelType& type, CreateFunction create) {
  _entries[type._typeGuid] = Entry{type, std::move(create)};
}

bool ChannelFactory::Knows(const GUID& type) const { return _entries.count(type) != 0; }

const ChannelType* ChannelFactory::Type(const GUID& type) const {
  auto it = _entries.find(type);
  return it == _entries.end() ? nullptr : &it->second.type;
}

const ChannelType* ChannelFactory::TypeByName(const std::string& name) const {
  for (const auto& [guid, entry] : _entries) {
    const size_t length = strnlen(entry.type._name, sizeof(entry.type._name));
    if (name.size() == length && std::memcmp(name.data(), entry.type._name, length) == 0) {
      return &entry.type;
    }
  }
  return nullptr;
}

std::unique_ptr<Zyr_Channel> ChannelFactory::Create(const GUID& type) const {
  auto it = _entries.find(type);
  if (it == _entries.end() || !it->second.create) return nullptr;
  Zyr_Channel* made = nullptr;
  try {
    made = it->second.create();
  } catch (...) {
    // A maker that throws makes nothing; the failure is the null result.
    made = nullptr;
  }
  std::unique_ptr<Zyr_Channel> channel(made);
  if (channel) channel->SetChannelTypeRecord(it->second.type);
  return channel;
}

std::vector<ChannelType> ChannelFactory::Types() const {
  std::vector<ChannelType> types;
  types.reserve(_entries.size());
  for (const auto& [guid, entry] : _entries) types.push_back(entry.type);
  return types;
}
