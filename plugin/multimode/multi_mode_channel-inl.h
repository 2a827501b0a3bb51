// Member definitions of MultiModeChannel<Base, Derived>. Included at the end
// of multi_mode_channel.h; not to be included on its own.
#ifndef PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_INL_H_
#define PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_INL_H_

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plugin/diagnostics/diagnostic_report.h"

// ---- the registry of each instantiation ----
// A type may give its registry explicit specializations instead, defined
// where its module's static objects are (the procedure-call channel does).

template <class Base, class Derived>
typename MultiModeChannel<Base, Derived>::ModeMap MultiModeChannel<Base, Derived>::_modes{};
template <class Base, class Derived>
std::vector<uint32_t> MultiModeChannel<Base, Derived>::_modeOrder{};
template <class Base, class Derived>
std::vector<std::vector<ChildCreation>> MultiModeChannel<Base, Derived>::_tempLinks{};
template <class Base, class Derived>
uint32_t MultiModeChannel<Base, Derived>::_refCount = 0;
template <class Base, class Derived>
bool MultiModeChannel<Base, Derived>::_bModesInitialized = false;

// ---- report heads ----

template <class Base, class Derived>
typename MultiModeChannel<Base, Derived>::HeadText MultiModeChannel<Base, Derived>::Head(
    const char* operation) noexcept {
  HeadText head;
  std::snprintf(head.text, sizeof(head.text), "MultiModeChannel<class %s,class %s>::%s",
                ChannelClassName<Base>::kName, ChannelClassName<Derived>::kName,
                operation != nullptr ? operation : "");
  return head;
}

template <class Base, class Derived>
std::string MultiModeChannel<Base, Derived>::ReportHead(const char* operation) {
  return std::string(Head(operation).c_str());
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::ReportFailedCheck(const char* operation,
                                                        const char* condition) {
  ReportAssertionFailure(Head(operation).c_str(), condition);
}

// ---- construction, copy, destruction ----

template <class Base, class Derived>
MultiModeChannel<Base, Derived>::MultiModeChannel()
    : Base(),
      ChannelExtension<Base>(),
      _currentMode(kNoMode),
      _initMode(0),
      _modeDescription("Mode:"),
      _namePrefix(),
      _bUseAutoChannelName(true),
      _bApplySameMode(true),
      _bAutoSetModeOnLoad(true),
      _loadedMode(kNoMode) {
  this->CE_SetSelf(this);
  this->SetChildCreationCount(0);
  ++_refCount;
}

template <class Base, class Derived>
MultiModeChannel<Base, Derived>::MultiModeChannel(const MultiModeChannel& other)
    : Base(other),
      ChannelExtension<Base>(other),
      _currentMode(other._currentMode),
      _initMode(other._initMode),
      _modeDescription(other._modeDescription),
      _namePrefix(other._namePrefix),
      _bUseAutoChannelName(other._bUseAutoChannelName),
      _bApplySameMode(other._bApplySameMode),
      _bAutoSetModeOnLoad(other._bAutoSetModeOnLoad),
      _loadedMode(other._loadedMode) {
  ++_refCount;
}

template <class Base, class Derived>
MultiModeChannel<Base, Derived>& MultiModeChannel<Base, Derived>::operator=(
    const MultiModeChannel& other) {
  Base::operator=(other);
  ChannelExtension<Base>::operator=(other);
  _currentMode = other._currentMode;
  _initMode = other._initMode;
  _modeDescription = other._modeDescription;
  _namePrefix = other._namePrefix;
  _bUseAutoChannelName = other._bUseAutoChannelName;
  _bApplySameMode = other._bApplySameMode;
  _bAutoSetModeOnLoad = other._bAutoSetModeOnLoad;
  _loadedMode = other._loadedMode;
  return *this;
}

template <class Base, class Derived>
MultiModeChannel<Base, Derived>::~MultiModeChannel() {
  if (_refCount == 0) {
    // Cannot happen while every constructor counts its instance; the count
    // stays at 0 rather than wrapping around.
    ReportFailedCheck("~MultiModeChannel", "_refCount>0");
    return;
  }
  --_refCount;
  if (_refCount == 0) ClearModes();
}

// ---- registry ----

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::InitMode(uint32_t mode) {
  // Set even for a refused code, so that links declared next do not land in
  // the list of the mode collected before.
  _initMode = mode;
  if (mode > kMaxModeCode) {
    ReportDetail(Head("InitMode").c_str(), "ModeCodeTooLarge.Mode[%u]", mode);
    return;
  }
  if (_tempLinks.size() <= mode) _tempLinks.resize(static_cast<size_t>(mode) + 1);
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::AddMode(uint32_t mode, const std::string& shortName,
                                              const std::string& name) {
  if (mode > kMaxModeCode) {
    ReportDetail(Head("AddMode").c_str(), "ModeCodeTooLarge.Mode[%u]", mode);
    return;
  }
  if (shortName.empty()) ReportFailedCheck("AddMode", "shortName.size()>0");
  if (name.empty()) ReportFailedCheck("AddMode", "name.size()>0");
  if (_modes.find(mode) == _modes.end()) InitMode(mode);

  ModeDescription description;
  description.Name = name;
  description.ShortName = shortName;
  description.Children = _tempLinks.at(mode);  // std::out_of_range passes through
  description.OrderIndex = static_cast<uint32_t>(_modes.size());

  try {
    // Room in the display order first, so that an insertion is always
    // followed by its entry there.
    if (_modeOrder.size() == _modeOrder.capacity()) {
      _modeOrder.reserve(std::max<size_t>(8, 2 * _modeOrder.capacity()));
    }
    if (!_modes.emplace(mode, std::move(description)).second) {
      throw std::invalid_argument(
          FormatDetail(Head("AddMode").c_str(), "ModeAlreadyExists.Mode[%u]", mode));
    }
    _modeOrder.push_back(mode);  // cannot throw: reserved
  } catch (...) {
    // A refused registration keeps the first description and leaves the
    // display order alone, so both tables keep one entry per mode.
  }
  if (_modes.size() == 1 && _currentMode == kNoMode) _currentMode = 0;
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::BuildModesList(bool force) {
  if (force) {
    _bModesInitialized = false;
  } else if (_bModesInitialized) {
    return;
  }
  _tempLinks.clear();
  InitializeModes();
  _tempLinks.clear();
  _bModesInitialized = true;
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::ClearModes() {
  _bModesInitialized = false;
  _tempLinks.clear();
  _modes.clear();
  _modeOrder.clear();
  _currentMode = kNoMode;
  this->SetChildCreationCount(0);
}

template <class Base, class Derived>
uint32_t MultiModeChannel<Base, Derived>::GetModeCount() {
  return static_cast<uint32_t>(_modes.size());
}

template <class Base, class Derived>
uint32_t MultiModeChannel<Base, Derived>::GetModeFromIndex(uint32_t index) {
  if (index >= _modeOrder.size()) {
    ReportFailedCheck("GetModeFromIndex", "index<_modeOrder.size()");
    return kNoMode;
  }
  return _modeOrder[index];
}

template <class Base, class Derived>
uint32_t MultiModeChannel<Base, Derived>::GetIndexFromMode(uint32_t mode) {
  const auto found = _modes.find(mode);
  return found != _modes.end() ? found->second.OrderIndex : 0;
}

template <class Base, class Derived>
bool MultiModeChannel<Base, Derived>::IsModeValid(uint32_t mode) {
  return _modes.find(mode) != _modes.end();
}

template <class Base, class Derived>
const ModeDescription* MultiModeChannel<Base, Derived>::GetModeDescription(uint32_t mode) const {
  const auto found = _modes.find(mode);
  if (found == _modes.end()) {
    ReportDetail(Head("GetModeDescription").c_str(), "ModeNotRecognized.Mode[%u]", mode);
    return nullptr;
  }
  return &found->second;
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::GetModeNames(std::vector<std::string>& names) {
  if (_modes.empty()) ReportFailedCheck("GetModeNames", "_modes.size()>0");
  for (const uint32_t code : _modeOrder) {
    const auto it = _modes.find(code);
    if (it == _modes.end()) {
      ReportFailedCheck("GetModeNames", "it!=_modes.end()");
      continue;
    }
    names.push_back(it->second.Name);
  }
}

// ---- selection and links ----

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::SetCurrentMode(uint32_t mode) {
  BuildModesList(false);
  const auto found = _modes.find(mode);
  if (found == _modes.end()) {
    try {
      const std::string detail =
          FormatDetail(Head("SetCurrentMode").c_str(), "InvalidMode[%u]", mode);
      ShowPrefixedMessage(1, detail.c_str());
    } catch (...) {  // no memory for the texts: made in the buffer instead
      ShowDebugMessageAtLevel(1, FormatPrefixedInBuffer("%s().InvalidMode[%u]",
                                                        Head("SetCurrentMode").c_str(), mode));
    }
    return;
  }
  this->SetChildCreationCount(0);
  const std::vector<ChildCreation>& children = found->second.Children;
  for (size_t i = 0; i < children.size(); ++i) {
    ChildCreation link = children[i];
    if (link.LinkIndex >= 0) link.LinkIndex = static_cast<int32_t>(i);
    this->SetChildCreateType(link, static_cast<int>(i));
  }
  this->CE_SetSelf(this);
  _currentMode = mode;
  ModeIsSet();
  if (_bUseAutoChannelName) SetAutoChannelName();
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::SetCurrentModeFromIndex(uint32_t orderIndex) {
  if (orderIndex >= _modeOrder.size()) {
    ReportFailedCheck("SetCurrentModeFromIndex", "orderIndex < _modeOrder.size()");
    return;
  }
  const uint32_t mode = _modeOrder[orderIndex];
  if (_modes.find(mode) == _modes.end()) {
    ReportFailedCheck("SetCurrentModeFromIndex", "it!=_modes.end()");
    return;
  }
  SetCurrentMode(mode);
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::CreateLink(GUID TypeGuid, const char* TypeName,
                                                 const char* Name, int LinkMode, bool NoLinkIndex) {
  if (TypeName == nullptr) ReportFailedCheck("CreateLink", "TypeName");
  if (Name == nullptr) ReportFailedCheck("CreateLink", "Name");
  if (TypeName == nullptr || Name == nullptr) return;

  ChildCreation link;
  link.Type._typeGuid = TypeGuid;
  CheckedStringCopy(link.Type._name, sizeof(link.Type._name), TypeName);
  link.LinkIndex = NoLinkIndex ? -1 : 0;
  CheckedStringCopy(link.LinkName, sizeof(link.LinkName), Name);
  link.LinkMode = LinkMode;

  const size_t position = _tempLinks.at(_initMode).size();  // std::out_of_range passes through
  this->SetChildLinkName(static_cast<unsigned int>(position), Name);
  if (_tempLinks.size() <= _initMode) {
    ReportFailedCheck("CreateLink", "_tempLinks.size() > _initMode");
  }
  _tempLinks.at(_initMode).push_back(link);
}

template <class Base, class Derived>
const char* MultiModeChannel<Base, Derived>::GetChildLinkName(unsigned int link) {
  BuildModesList(false);
  const auto found = _modes.find(_currentMode);
  if (found == _modes.end()) {
    ReportFailedCheck("GetChildLinkName", "found != _modes.end()");
    return "";
  }
  const ModeDescription& desc = found->second;
  if (link >= desc.Children.size()) {
    ReportFailedCheck("GetChildLinkName", "link < desc.Children.size()");
    return "";
  }
  return desc.Children[link].LinkName;
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::OnClickedOK() {}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::ModeIsSet() {}

// ---- naming and prefixed messages ----

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::SetAutoChannelName() {
  std::string name = _namePrefix;
  const ModeDescription* description = GetModeDescription(_currentMode);
  if (description != nullptr) {
    name += description->ShortName;
  } else {
    name += FormatTempString("UnknownMode[%u]", _currentMode);
  }
  this->SetChannelName(name.c_str());
}

template <class Base, class Derived>
const std::string MultiModeChannel<Base, Derived>::GetPrefixedMessage(const char* message) {
  if (message == nullptr) {
    ReportFailedCheck("GetPrefixedMessage", "message");
  }
  const ModeDescription* description = GetModeDescription(_currentMode);
  const char* group = GetChannelGroupName(this);
  const char* channel = this->GetChannelName();
  if (group == nullptr) group = "null";
  if (channel == nullptr) channel = "null";
  constexpr std::string_view kGroupOpen = "CGR[";
  constexpr std::string_view kChannelOpen = "].Channel[";
  constexpr std::string_view kClose = "].";
  // Sized once, with room for the few characters callers append (such as
  // "OK!" or "NotFound!"), so that building a report allocates once.
  constexpr size_t kSuffixRoom = 16;
  const std::string_view groupText(group);
  const std::string_view channelText(channel);
  const std::string_view messageText(message != nullptr ? message : "");
  std::string result;
  result.reserve((description != nullptr
                      ? _namePrefix.size() + description->ShortName.size() + 1
                      : 0) +
                 kGroupOpen.size() + groupText.size() + kChannelOpen.size() + channelText.size() +
                 kClose.size() + messageText.size() + kSuffixRoom);
  if (description != nullptr) {
    result += _namePrefix;
    result += description->ShortName;
    result += '.';
  }
  result += kGroupOpen;
  result += groupText;
  result += kChannelOpen;
  result += channelText;
  result += kClose;
  result += messageText;
  return result;
}

template <class Base, class Derived>
void MultiModeChannel<Base, Derived>::ShowPrefixedMessage(unsigned level, const char* message,
                                                          EngineInterface* also) noexcept {
  const char* shown;
  std::string text;
  try {
    text = GetPrefixedMessage(message);
    shown = text.c_str();
  } catch (...) {
    shown = FormatPrefixedInBuffer("%s", message != nullptr ? message : "");
  }
  ShowDebugMessageAtLevel(level, shown);
  if (also != nullptr && level <= 3) {
    try {
      also->_showDebugMessage[level](shown);
    } catch (...) {  // the engine could not take it; a report never throws
    }
  }
}

template <class Base, class Derived>
const char* MultiModeChannel<Base, Derived>::FormatPrefixedInBuffer(const char* format,
                                                                    ...) noexcept {
  // Everything that may report (and so write the buffer) is asked first.
  const ModeDescription* description = GetModeDescription(_currentMode);
  const char* group = GetChannelGroupName(this);
  const char* channel = this->GetChannelName();
  va_list args;
  va_start(args, format);
  const int length = FormatDebugMessageV(debugMessageBuffer, format, args);
  va_end(args);
  PrependDebugMessage(length, {description != nullptr ? _namePrefix.c_str() : nullptr,
                               description != nullptr ? description->ShortName.c_str() : nullptr,
                               description != nullptr ? "." : nullptr, "CGR[",
                               group != nullptr ? group : "null", "].Channel[",
                               channel != nullptr ? channel : "null", "]."});
  return debugMessageBuffer;
}

template <class Base, class Derived>
const std::string MultiModeChannel<Base, Derived>::GetPrefixedMessage(std::string message) {
  return GetPrefixedMessage(message.c_str());
}

// ---- persistence ----

template <class Base, class Derived>
bool MultiModeChannel<Base, Derived>::SaveChannel(ZyrFileSaver& saver) {
  if (!Base::SaveChannel(saver)) return false;
  // "MODE": _currentMode, 4 bytes little-endian.
  const uint8_t mode[4] = {
      static_cast<uint8_t>(_currentMode), static_cast<uint8_t>(_currentMode >> 8),
      static_cast<uint8_t>(_currentMode >> 16), static_cast<uint8_t>(_currentMode >> 24)};
  saver.SaveTag("MODE");
  saver.SaveBlockSize(sizeof(mode));
  saver.SaveDataToFile(mode, sizeof(mode));
  // "UACN": _bUseAutoChannelName, 1 byte, 0 or 1.
  const uint8_t useAutoName = _bUseAutoChannelName ? 1 : 0;
  saver.SaveTag("UACN");
  saver.SaveBlockSize(sizeof(useAutoName));
  saver.SaveDataToFile(&useAutoName, sizeof(useAutoName));
  return true;
}

template <class Base, class Derived>
bool MultiModeChannel<Base, Derived>::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  if (!Base::LoadChannel(loader, group)) return false;
  // A block of another size than the field's is refused, as if missing.
  auto blockFits = [&loader](const char* tag, uint32_t size) {
    if (loader.GetCurrentTagSize() == size) return true;
    ReportDetail(Head("LoadChannel").c_str(), "BadBlockSize.Tag[%s].Size[%u]", tag,
                 loader.GetCurrentTagSize());
    return false;
  };
  _loadedMode = 0;
  if (loader.GetInfoIfTag("MODE") && blockFits("MODE", 4)) {
    uint8_t mode[4];
    loader.CopyTagDataToPointer(mode);
    _loadedMode = uint32_t{mode[0]} | (uint32_t{mode[1]} << 8) | (uint32_t{mode[2]} << 16) |
                  (uint32_t{mode[3]} << 24);
  }
  if (loader.GetInfoIfTag("UACN") && blockFits("UACN", 1)) {
    uint8_t useAutoName = 0;
    loader.CopyTagDataToPointer(&useAutoName);
    _bUseAutoChannelName = useAutoName != 0;
  }
  if (_bAutoSetModeOnLoad) SetCurrentMode(_loadedMode);
  return true;
}

#endif  // PLUGIN_MULTIMODE_MULTI_MODE_CHANNEL_INL_H_
