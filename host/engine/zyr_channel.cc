// Zyr_Channel: identity, names, groups, render counts and child links.
//
// Every link that holds a channel has one entry in that channel's _parents,
// and so does every place where a parent remembers it by link name (past
// kFewParentPlaces entries they become counts per parent, in the channel's
// Extras); the destructor walks both directions, so no parent or child is
// left with a pointer to a destroyed channel.
#include "hostapi/zyr_channel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <unordered_map>

#include "host/engine/record_pool.h"
#include "host/engine/zyr_channel_extras.h"

namespace {

uint32_t NextChannelId() {
  static std::atomic<uint32_t> counter{0};
  uint32_t id = ++counter;
  while (id == 0) id = ++counter;  // after 2^32 channels: skip 0
  return id;
}

std::string LinkNameOf(const ChildCreation& creation) {
  return std::string(creation.LinkName, strnlen(creation.LinkName, sizeof(creation.LinkName)));
}

bool HasLinkName(const ChildCreation& creation, const std::string& name) {
  return LinkNameOf(creation) == name;
}

bool IsZero(const GUID& guid) { return guid == GUID{}; }

// Places a channel lists one by one in _parents before it counts them per
// parent: a list is smaller while short, a table fast when long.
constexpr size_t kFewParentPlaces = 32;

}  // namespace

Zyr_Channel::Zyr_Channel()
    : _engine(globalEngine),
      _lastRenderCount(0),
      _id(NextChannelId()),
      _group(nullptr),
      _typeRecord(record_pool::EmptyType()),
      _timeStamp(0),
      _groupSlot(0),
      _loadedId(0) {}

Zyr_Channel::Zyr_Channel(const Zyr_Channel& other)
    : DllInterface(other),
      _engine(other._engine),
      _lastRenderCount(0),
      _id(NextChannelId()),
      _name(other._name),
      _group(nullptr),
      _typeRecord(other._typeRecord),
      _timeStamp(0),
      _groupSlot(0),
      _loadedId(0) {
  _links.reserve(other._links.size());
  for (const Link& link : other._links) _links.push_back(Link{link.creation, nullptr});
  JoinGroup(other._group);
}

Zyr_Channel& Zyr_Channel::operator=(const Zyr_Channel& other) {
  if (this == &other) return *this;
  DllInterface::operator=(other);
  _name = other._name;
  SetChannelGroup(other._group);
  _typeRecord = other._typeRecord;
  for (size_t i = other._links.size(); i < _links.size(); ++i) Detach(i);
  if (_links.size() > other._links.size()) _links.resize(other._links.size());
  for (size_t i = 0; i < other._links.size(); ++i) SetLinkDescription(i, other._links[i].creation);
  return *this;
}

Zyr_Channel::~Zyr_Channel() {
  EngineInterface* engine = _engine ? _engine : globalEngine;
  if (engine->GetChannelAtWork() == this) engine->SetChannelAtWork(nullptr);
  for (Zyr_Channel* parent : _parents) parent->Unplug(this);
  _parents.clear();
  if (_extras) {
    for (const auto& entry : _extras->parentPlaces) entry.first->Unplug(this);
    _extras->parentPlaces.clear();
    _extras->placeCount = 0;
  }
  for (Link& link : _links) {
    if (link.child) link.child->RemoveParent(this);
  }
  if (_extras) {
    for (Extras::Detached& d : _extras->detached) d.child->RemoveParent(this);
  }
  LeaveGroup();
}

// ---- the engine's virtual operations ----

void Zyr_Channel::CallChannel() {}
void Zyr_Channel::OneTimeInitialize() {}
void Zyr_Channel::DoEvent(int, uint32_t) {}
ChannelType Zyr_Channel::GetChannelType() { return *_typeRecord; }
void Zyr_Channel::SetChannelInterfaceType(int) {}

Zyr_Channel* Zyr_Channel::GetChannelFromChannel(Zyr_Channel*, ChildInfo* info) {
  return info ? GetChild(info->_linkIndex) : nullptr;
}

uint32_t Zyr_Channel::GetTimeStamp() { return _timeStamp; }

void Zyr_Channel::SetTimeStamp() { _timeStamp = (_engine ? _engine : globalEngine)->GetRenderCount(); }

void Zyr_Channel::DoDependencyInit(Zyr_List*) {}
void Zyr_Channel::CheckIndexNrRemoval(int) {}
Zyr_Channel* Zyr_Channel::GetInternalChild(int index) { return GetChild(index); }

void Zyr_Channel::CheckPublicChannelInstanceRemoval(Zyr_Channel* channel, int) {
  if (channel == nullptr || channel == this) return;
  for (size_t places = Unplug(channel); places > 0; --places) channel->RemoveParent(this);
}

void Zyr_Channel::AddMetaData(ZyrFileSaver&) {}

void Zyr_Channel::SetChannelGroup(Zyr_ChannelGroup* group) {
  if (group == _group) return;
  LeaveGroup();
  JoinGroup(group);
}

ChannelFeedback* Zyr_Channel::GetFeedbackClass() { return nullptr; }

void Zyr_Channel::SetContextRenderCountName(char* name) {
  if (name == nullptr || name[0] == '\0') {
    if (_extras) _extras->context.reset();
    return;
  }
  Extras& extras = GetExtras();
  if (!extras.context) extras.context = std::make_unique<ContextRenderCount>();
  extras.context->_name = name;
}

ContextRenderCount* Zyr_Channel::GetContextRenderCountName() {
  return _extras ? _extras->context.get() : nullptr;
}

// ---- names, groups, identity ----

void Zyr_Channel::SetChannelName(const char* name) { _name = name ? name : ""; }

void Zyr_Channel::SetChannelTypeRecord(const ChannelType& type) {
  if (std::memcmp(_typeRecord, &type, sizeof(ChannelType)) != 0) {
    _typeRecord = record_pool::Intern(type);
  }
}

const std::vector<uint32_t>& Zyr_Channel::GetLoadedChildIds() const {
  static const std::vector<uint32_t> kNone;
  return _extras ? _extras->loadedChildIds : kNone;
}

const std::string& Zyr_Channel::GetLoadedGroupName() const {
  static const std::string kNone;
  return _extras ? _extras->loadedGroupName : kNone;
}

void Zyr_Channel::JoinGroup(Zyr_ChannelGroup* group) {
  _group = group;
  if (group == nullptr) return;
  _groupSlot = static_cast<uint32_t>(group->_members.size());
  group->_members.push_back(this);
}

void Zyr_Channel::LeaveGroup() {
  if (_group == nullptr) return;
  std::vector<Zyr_Channel*>& members = _group->_members;
  Zyr_Channel* last = members.back();
  members[_groupSlot] = last;
  last->_groupSlot = _groupSlot;
  members.pop_back();
  _group = nullptr;
}

Zyr_Channel::Extras& Zyr_Channel::GetExtras() {
  if (!_extras) _extras = std::make_unique<Extras>();
  return *_extras;
}

void Zyr_Channel::AddChannelGuidDepend(GUID guid, Zyr_List* list) {
  if (list != nullptr && !list->Contains(guid)) list->Add(guid);
}

// ---- child links ----

bool Zyr_Channel::LinkIndexAllowed(long long index, const char* what) {
  if (index <= kMaxChildLinks) return true;
  std::string text = std::string("Zyr_Channel::") + what + "().LinkCountBeyondLimit[" +
                     std::to_string(index) + "].Ignored!";
  (_engine ? _engine : globalEngine)->_showDebugMessage[1](text.c_str());
  return false;
}

void Zyr_Channel::SetChildCreationCount(int count) {
  const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
  if (!LinkIndexAllowed(static_cast<long long>(wanted), "SetChildCreationCount")) return;
  for (size_t i = wanted; i < _links.size(); ++i) Detach(i);
  _links.resize(wanted, Link{record_pool::DefaultCreation(), nullptr});
}

void Zyr_Channel::SetChildCreateType(ChildCreation creation, int index) {
  if (index < 0) return;
  if (!LinkIndexAllowed(static_cast<long long>(index) + 1, "SetChildCreateType")) return;
  SetLinkDescription(static_cast<size_t>(index), record_pool::Intern(creation));
}

void Zyr_Channel::SetLinkDescription(size_t index, const ChildCreation* creation) {
  if (index >= _links.size()) _links.resize(index + 1, Link{record_pool::DefaultCreation(), nullptr});
  Link& link = _links[index];
  if (link.child != nullptr) {
    const bool stays = HasLinkName(*creation, LinkNameOf(*link.creation)) &&
                       LinkAccepts(*creation, *link.child);
    if (!stays) Detach(index);
  }
  link.creation = creation;
  if (link.child == nullptr) ReattachByName(index);
}

void Zyr_Channel::Detach(size_t index) {
  Link& link = _links[index];
  if (link.child == nullptr) return;
  // The child's parent entry now stands for the remembered place.
  GetExtras().detached.push_back(Extras::Detached{LinkNameOf(*link.creation), link.child});
  link.child = nullptr;
}

void Zyr_Channel::ReattachByName(size_t index) {
  if (!_extras || _extras->detached.empty()) return;
  Link& link = _links[index];
  auto& detached = _extras->detached;
  for (size_t i = 0; i < detached.size(); ++i) {
    if (HasLinkName(*link.creation, detached[i].name) &&
        LinkAccepts(*link.creation, *detached[i].child)) {
      link.child = detached[i].child;  // its parent entry carries over
      detached.erase(detached.begin() + static_cast<ptrdiff_t>(i));
      return;
    }
  }
}

size_t Zyr_Channel::DetachedChildCount() const { return _extras ? _extras->detached.size() : 0; }

void Zyr_Channel::ForgetDetachedChildren() {
  if (!_extras) return;
  for (Extras::Detached& d : _extras->detached) d.child->RemoveParent(this);
  _extras->detached.clear();
}

int Zyr_Channel::FindChildLink(const char* name) const {
  if (name == nullptr) return -1;
  const std::string wanted(name);
  for (size_t i = 0; i < _links.size(); ++i) {
    if (HasLinkName(*_links[i].creation, wanted)) return static_cast<int>(i);
  }
  return -1;
}

bool Zyr_Channel::PlugChild(int index, Zyr_Channel* child) {
  if (index < 0 || static_cast<size_t>(index) >= _links.size() || child == this) return false;
  Link& link = _links[static_cast<size_t>(index)];
  if (child != nullptr && !LinkAccepts(*link.creation, *child)) return false;
  if (link.child == child) return true;
  if (link.child != nullptr) link.child->RemoveParent(this);
  link.child = child;
  if (child != nullptr) child->AddParent(this);
  return true;
}

bool Zyr_Channel::LinkAccepts(const ChildCreation& link, Zyr_Channel& child) {
  const GUID& wanted = link.Type._typeGuid;
  if (IsZero(wanted)) return false;
  const ChannelType type = child.GetChannelType();
  return wanted == type._typeGuid || wanted == type._baseTypeGuid;
}

size_t Zyr_Channel::Unplug(Zyr_Channel* child) {
  size_t places = 0;
  for (Link& link : _links) {
    if (link.child == child) {
      link.child = nullptr;
      ++places;
    }
  }
  if (_extras) {
    places += std::erase_if(_extras->detached,
                            [child](const Extras::Detached& d) { return d.child == child; });
  }
  return places;
}

size_t Zyr_Channel::ParentLinkCount() const {
  return _parents.size() + (_extras ? _extras->placeCount : 0);
}

void Zyr_Channel::AddParent(Zyr_Channel* parent) {
  if (_parents.size() < kFewParentPlaces && (!_extras || _extras->parentPlaces.empty())) {
    _parents.push_back(parent);
    return;
  }
  Extras& extras = GetExtras();
  if (!_parents.empty()) {
    // Outgrown: every entry becomes a count, all at once or not at all.
    std::unordered_map<Zyr_Channel*, uint32_t> counts;
    for (Zyr_Channel* listed : _parents) ++counts[listed];
    ++counts[parent];
    extras.parentPlaces.swap(counts);
    extras.placeCount = _parents.size() + 1;
    _parents.clear();
    _parents.shrink_to_fit();
    return;
  }
  ++extras.parentPlaces[parent];
  ++extras.placeCount;
}

void Zyr_Channel::RemoveParent(Zyr_Channel* parent) {
  if (_extras && !_extras->parentPlaces.empty()) {
    auto found = _extras->parentPlaces.find(parent);
    if (found == _extras->parentPlaces.end()) return;
    if (--found->second == 0) _extras->parentPlaces.erase(found);
    --_extras->placeCount;
    return;
  }
  auto it = std::find(_parents.begin(), _parents.end(), parent);
  if (it == _parents.end()) return;
  *it = _parents.back();
  _parents.pop_back();
}
