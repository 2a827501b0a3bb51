#include "runner/scene/record_entries.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "host/engine/le_bytes.h"

namespace dravik {

bool SaveChannelEntries(Zyr_Channel& channel, std::vector<RecordEntry>* entries, std::string* error) {
  ZyrFileSaver saver;
  saver.BeginChannel(channel.GetChannelType()._typeGuid);
  if (!channel.SaveChannel(saver) || !saver.EndChannel()) {
    *error = "channel '" + std::string(channel.GetChannelName()) + "' could not save itself" +
             (saver.HasError() ? ": " + saver.GetError() : std::string());
    return false;
  }
  ZyrFileLoader loader;
  GUID type{};
  if (!loader.Open(saver.Bytes()) || !loader.NextChannel(&type)) {
    *error = "channel record unreadable: " + loader.GetError();
    return false;
  }
  entries->clear();
  char tag[4];
  while (loader.PeekTag(tag)) {
    const std::string name(tag, 4);
    if (!loader.GetInfoIfTag(name.c_str())) break;
    const uint8_t* data = loader.GetCurrentTagData();
    RecordEntry entry{name, std::vector<uint8_t>(data, data + loader.GetCurrentTagSize())};
    entries->push_back(std::move(entry));
  }
  if (loader.HasError() || !loader.AtEndOfRecord()) {
    *error = "channel record unreadable: " + (loader.HasError() ? loader.GetError() : std::string("stray bytes"));
    return false;
  }
  return true;
}

bool FindEntryAhead(const ZyrFileLoader& loader, const char* tag, std::vector<uint8_t>* data) {
  const std::vector<uint8_t>& bytes = loader.Bytes();
  const size_t end = std::min(loader.RecordEnd(), bytes.size());
  bool found = false;
  WalkEntries(bytes, std::min(loader.Position(), end), end, [&](const char* at, const uint8_t* entry, size_t size) {
    if (std::memcmp(at, tag, 4) != 0) return true;
    data->assign(entry, entry + size);
    found = true;
    return false;
  });
  return found;
}

bool PutBytes(ZyrFileSaver& saver, const char* tag, const void* data, uint32_t size) {
  if (saver.SaveTag(tag) != 0 || saver.SaveBlockSize(size) != 0) return false;
  return size == 0 || saver.SaveDataToFile(data, size) == 0;
}

bool PutText(ZyrFileSaver& saver, const char* tag, const std::string& text) {
  return PutBytes(saver, tag, text.data(), static_cast<uint32_t>(text.size()));
}

bool PutU32(ZyrFileSaver& saver, const char* tag, uint32_t value) {
  uint8_t bytes[4];
  le::PutU32(bytes, value);
  return PutBytes(saver, tag, bytes, 4);
}

}  // namespace dravik
