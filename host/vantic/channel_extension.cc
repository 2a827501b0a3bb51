// ChannelExtension<Base>: link naming, link declaration and tagged values,
// instantiated and exported for Ubo_FloatChannel.
#include "hostapi/vantic_channel_extension.h"

#include <cstring>
#include <memory>

namespace {

constexpr size_t kTagLength = 4;

bool ValidTag(const char* tag) {
  return tag != nullptr && ::strnlen(tag, kTagLength + 1) == kTagLength;
}

// Copies `text` into the character field `field` of `size` bytes as plain
// text: at most size - 1 characters, the rest of the field 0.
template <size_t size>
void CopyToField(char (&field)[size], const char* text) {
  const size_t length = ::strnlen(text, size - 1);
  std::memcpy(field, text, length);
  std::memset(field + length, 0, size - length);
}

// Makes the entry at the loader's position current when it carries `tag`.
// `maxSize` bounds its data; a larger entry is passed over, unread.
bool TakeEntry(ZyrFileLoader& loader, const char* tag, uint32_t minSize, uint32_t maxSize) {
  if (!ValidTag(tag) || !loader.GetInfoIfTag(tag)) return false;
  const uint32_t size = loader.GetCurrentTagSize();
  return size >= minSize && size <= maxSize;
}

}  // namespace

template <class Base>
ChannelExtension<Base>::ChannelExtension() : _self(nullptr) {}

template <class Base>
ChannelExtension<Base>::ChannelExtension(const ChannelExtension& other)
    : _self(nullptr),
      _linkNames(other._linkNames ? std::make_unique<LinkNames>(*other._linkNames) : nullptr) {}

template <class Base>
ChannelExtension<Base>& ChannelExtension<Base>::operator=(const ChannelExtension& other) {
  if (this == &other) return *this;
  if (!other._linkNames) {
    _linkNames.reset();
  } else if (_linkNames) {
    *_linkNames = *other._linkNames;
  } else {
    _linkNames = std::make_unique<LinkNames>(*other._linkNames);
  }
  return *this;
}

template <class Base>
ChannelExtension<Base>::~ChannelExtension() = default;

template <class Base>
int ChannelExtension<Base>::CE_ExecuteTrigger(unsigned int /*trigger*/, void* /*data*/) {
  return 1;
}

template <class Base>
void ChannelExtension<Base>::CreateLink(GUID typeGuid, const char* typeName, const char* name,
                                        int linkMode, bool noLinkIndex) {
  if (_self == nullptr || typeName == nullptr || name == nullptr) return;
  const int index = _self->GetChildCreationCount();
  ChildCreation creation;
  CopyToField(creation.Type._name, typeName);
  creation.Type._typeGuid = typeGuid;
  CopyToField(creation.LinkName, name);
  creation.LinkIndex = noLinkIndex ? -1 : index;
  creation.LinkMode = linkMode;
  _self->SetChildCreateType(creation, index);
  SetChildLinkName(static_cast<unsigned int>(index), name);
}

template <class Base>
void ChannelExtension<Base>::SetChildLinkName(unsigned int link, const char* name) {
  if (!_linkNames) _linkNames = std::make_unique<LinkNames>();
  (*_linkNames)[link] = name != nullptr ? name : "";
}

template <class Base>
const char* ChannelExtension<Base>::GetChildLinkName(unsigned int link) {
  if (!_linkNames) return "";
  auto it = _linkNames->find(link);
  return it == _linkNames->end() ? "" : it->second.c_str();
}

template <class Base>
bool ChannelExtension<Base>::SaveChannelValue(ZyrFileSaver& saver, const char* tag,
                                              const std::string& value) {
  if (!ValidTag(tag) || value.size() > kMaxChannelValueString) return false;
  const uint32_t size = static_cast<uint32_t>(value.size());
  if (saver.SaveTag(tag) != 0 || saver.SaveBlockSize(size) != 0) return false;
  return size == 0 || saver.SaveDataToFile(value.data(), size) == 0;
}

template <class Base>
bool ChannelExtension<Base>::SaveChannelValue(ZyrFileSaver& saver, const char* tag,
                                              uint32_t value) {
  if (!ValidTag(tag)) return false;
  const uint8_t bytes[4] = {
      static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
      static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  if (saver.SaveTag(tag) != 0 || saver.SaveBlockSize(sizeof(bytes)) != 0) return false;
  return saver.SaveDataToFile(bytes, sizeof(bytes)) == 0;
}

template <class Base>
bool ChannelExtension<Base>::ReadChannelValue(ZyrFileLoader& loader, const char* tag,
                                              std::string& value) {
  if (!TakeEntry(loader, tag, 0, kMaxChannelValueString)) return false;
  const uint32_t size = loader.GetCurrentTagSize();
  const uint8_t* data = loader.GetCurrentTagData();
  if (size == 0) {
    value.clear();
    return true;
  }
  if (data == nullptr) return false;
  value.assign(reinterpret_cast<const char*>(data), size);
  return true;
}

template <class Base>
bool ChannelExtension<Base>::ReadChannelValue(ZyrFileLoader& loader, const char* tag,
                                              uint32_t& value) {
  if (!TakeEntry(loader, tag, 4, 4)) return false;
  uint8_t bytes[4] = {};
  if (loader.CopyTagDataToPointer(bytes) != 4) return false;
  value = uint32_t{bytes[0]} | (uint32_t{bytes[1]} << 8) | (uint32_t{bytes[2]} << 16) |
          (uint32_t{bytes[3]} << 24);
  return true;
}

// Exported through the declaration in the header.
template class ChannelExtension<Ubo_FloatChannel>;
