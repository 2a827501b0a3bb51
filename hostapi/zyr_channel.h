// DllInterface and Zyr_Channel: the engine's channel base classes, and the
// small engine types a channel meets (groups, dependency lists).
//
// A channel delivers a value, may belong to a group, and has child links: a
// list of link descriptions (ChildCreation) that the channel declares, and
// beside each description the channel plugged into it, if any. Plugged
// channels are referred to, never owned; a channel that is destroyed is
// unplugged from every link that holds it.
#ifndef HOSTAPI_ZYR_CHANNEL_H_
#define HOSTAPI_ZYR_CHANNEL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/engine_interface.h"
#include "hostapi/export.h"
#include "hostapi/guid.h"

class ZyrFileSaver;
class ZyrFileLoader;
class Zyr_Channel;

// Most links one channel may declare; a larger count or index is refused
// with a level-1 message.
inline constexpr int kMaxChildLinks = 65536;
// Longest channel or group name a saved engine part may hold (bytes).
inline constexpr uint32_t kMaxSavedNameBytes = 65536;

// Passed through GetChannelFromChannel; the engine's lookup hint.
struct DRAVIK_API ChildInfo {
  int32_t _linkIndex = -1;
};

// Feedback object of a channel kind (what an editor shows); opaque here.
class DRAVIK_API ChannelFeedback {
 public:
  explicit ChannelFeedback(const char* kind) : _kind(kind) {}
  virtual ~ChannelFeedback();
  const char* Kind() const { return _kind; }

 private:
  const char* _kind;
};

// A named render-count context; channels without one use the engine's.
struct DRAVIK_API ContextRenderCount {
  std::string _name;
};

// A list of channel-type GUIDs, filled by DoDependencyInit.
class DRAVIK_API Zyr_List {
 public:
  void Add(const GUID& guid) { _items.push_back(guid); }
  size_t Count() const { return _items.size(); }
  const GUID& At(size_t i) const { return _items.at(i); }
  bool Contains(const GUID& guid) const;
  void Clear() { _items.clear(); }

 private:
  std::vector<GUID> _items;
};

// A named group of channels. The group knows its members: destroying it
// leaves each member without a group, and a destroyed channel leaves its
// group.
class DRAVIK_API Zyr_ChannelGroup {
 public:
  explicit Zyr_ChannelGroup(std::string name);
  virtual ~Zyr_ChannelGroup();
  Zyr_ChannelGroup(const Zyr_ChannelGroup&) = delete;
  Zyr_ChannelGroup& operator=(const Zyr_ChannelGroup&) = delete;
  // The group's name; never null for this class (subclasses may answer null).
  virtual const char* GetGroupName();
  void SetGroupName(std::string name) { _name = std::move(name); }
  size_t MemberCount() const { return _members.size(); }

 private:
  friend class Zyr_Channel;
  std::string _name;
  std::vector<Zyr_Channel*> _members;  // each member's _groupSlot indexes it
};

// Root of every object a channel module hands the engine.
class DRAVIK_API DllInterface {
 public:
  DllInterface() = default;
  DllInterface(const DllInterface&) = default;
  DllInterface& operator=(const DllInterface&) = default;
  virtual ~DllInterface();
};

class DRAVIK_API Zyr_Channel : public DllInterface {
 public:
  // A new channel: empty name, no group, no links, the type record as
  // ChannelType() leaves it, `_engine` = globalEngine, a fresh id.
  Zyr_Channel();
  // Copies the name, group, type record and link descriptions; the copy has
  // its own id, nothing plugged, and is due at the current render count
  // like any new channel.
  Zyr_Channel(const Zyr_Channel& other);
  // Assigns name, group, type record and link descriptions; keeps id,
  // engine and plugged children of *this: a child stays in its link while
  // the new description of that index has the same name and accepts it, and
  // is otherwise remembered by link name as SetChildCreationCount does.
  Zyr_Channel& operator=(const Zyr_Channel& other);
  // Unplugs this channel from every link that holds it, and its children.
  ~Zyr_Channel() override;

  // ---- the engine's virtual operations, in slot order ----
  virtual void CallChannel();
  virtual void OneTimeInitialize();
  virtual void DoEvent(int event, uint32_t data);
  virtual ChannelType GetChannelType();
  // Saves the engine's part of the record: "ZCID" id, "ZCNM" name, "ZCGR"
  // group name, "ZCLK" ids of the plugged children (0 = empty link).
  // Returns false when the saver is in error.
  virtual bool SaveChannel(ZyrFileSaver& saver);
  // Loads the engine's part at the loader's position. Sets the group when
  // `group` is not null. A missing entry is tolerated (the name stays; the
  // loaded id is 0, the loaded child ids and group name empty). Returns
  // false, with the loader's error set and the channel unchanged, on a
  // damaged engine part: "ZCID" not 4 bytes, a name over
  // kMaxSavedNameBytes or holding a NUL, "ZCLK" not a whole number of ids
  // or more than kMaxChildLinks, an entry overrunning its record.
  virtual bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group);
  virtual void SetChannelInterfaceType(int type);
  // The channel plugged into link info->_linkIndex; null without `info` or
  // when that link is empty. `channel` is not used by the base.
  virtual Zyr_Channel* GetChannelFromChannel(Zyr_Channel* channel, ChildInfo* info);
  // The render count at the last SetTimeStamp (0 before the first).
  virtual uint32_t GetTimeStamp();
  virtual void SetTimeStamp();
  // Declares the channel types this one needs; the base declares none.
  virtual void DoDependencyInit(Zyr_List* list);
  virtual void CheckIndexNrRemoval(int index);
  // GetChild(index).
  virtual Zyr_Channel* GetInternalChild(int index);
  // The host is removing `channel`: it is unplugged from every link of this
  // channel (and forgotten where remembered by name). `index` is not used.
  virtual void CheckPublicChannelInstanceRemoval(Zyr_Channel* channel, int index);
  virtual void AddMetaData(ZyrFileSaver& saver);
  // Joins `group` (null: none), leaving the previous one. The group is
  // referred to, not owned.
  virtual void SetChannelGroup(Zyr_ChannelGroup* group);
  // The base has none and answers null.
  virtual ChannelFeedback* GetFeedbackClass();
  // Names the channel's render-count context (null or "" removes it).
  virtual void SetContextRenderCountName(char* name);
  // The channel's context, or null when it uses the engine's count.
  virtual ContextRenderCount* GetContextRenderCountName();

  // ---- names and groups ----
  // Keeps its own copy; null sets the empty name.
  void SetChannelName(const char* name);
  // Never null while the channel lives.
  const char* GetChannelName() const { return _name.c_str(); }
  Zyr_ChannelGroup* GetChannelGroup() const { return _group; }

  // ---- type record, identity ----
  // Set by whoever creates the channel (the engine does it for module
  // channels with the record their module's GetType returned). Equal
  // records are stored once per process and shared by the channels.
  void SetChannelTypeRecord(const ChannelType& type);
  // Unique within the process, never 0.
  uint32_t GetChannelId() const { return _id; }
  // Id saved in the last loaded engine part (0 when none was loaded).
  uint32_t GetLoadedChannelId() const { return _loadedId; }
  // Child ids saved in the last loaded engine part, per link index (empty
  // when none was loaded). A host maps them to channels and plugs them.
  const std::vector<uint32_t>& GetLoadedChildIds() const;
  // Group name saved in the last loaded engine part ("" when none).
  const std::string& GetLoadedGroupName() const;

  // ---- child links ----
  // Declares the number of link descriptions. 0 empties the list; links
  // whose channel is still plugged remember it by link name, and a later
  // description with the same name and an accepting type gets it back.
  // A larger count appends ChildCreation() descriptions; a smaller one drops
  // the links behind it the same way. A negative count counts as 0.
  void SetChildCreationCount(int count);
  // Stores a copy of `creation` as link `index`, growing the list to hold
  // it (new links in between get ChildCreation()). A channel plugged at
  // `index` stays when the new description has its name and accepts it, and
  // is otherwise remembered by name; a remembered channel whose name and
  // type fit the new description is plugged back. A negative index is
  // ignored. Equal descriptions are stored once per process.
  void SetChildCreateType(ChildCreation creation, int index);
  int GetChildCreationCount() const { return static_cast<int>(_links.size()); }
  // The description of link `index`, or null out of range. The record stays
  // valid for the life of the process.
  const ChildCreation* GetChildCreation(int index) const {
    return (index >= 0 && static_cast<size_t>(index) < _links.size())
               ? _links[static_cast<size_t>(index)].creation
               : nullptr;
  }
  // Index of the first link named `name`, or -1.
  int FindChildLink(const char* name) const;
  // Plugs `child` into link `index` (null unplugs), replacing what was
  // plugged there. Fails, changing nothing, when the index is out of range,
  // the child is this channel, or the link does not accept the child's type
  // (its type GUID or base type GUID must equal the link's type GUID).
  // The child is referred to, not owned.
  bool PlugChild(int index, Zyr_Channel* child);
  // The channel plugged into link `index`, or null (empty or out of range).
  Zyr_Channel* GetChild(int index) const {
    return (index >= 0 && static_cast<size_t>(index) < _links.size())
               ? _links[static_cast<size_t>(index)].child
               : nullptr;
  }
  // Channels remembered by link name since the last rebuild of the links,
  // waiting for a link of that name; ForgetDetachedChildren drops them.
  size_t DetachedChildCount() const;
  void ForgetDetachedChildren();
  // Number of links, over all channels, that hold this channel, counting
  // the places where it is remembered by link name.
  size_t ParentLinkCount() const;
  // Whether a link of this description accepts `child`: the link's type
  // GUID equals the child's type GUID or base type GUID. The all-zero GUID
  // stands for "none" and matches nothing.
  static bool LinkAccepts(const ChildCreation& link, Zyr_Channel& child);

  // Records a dependency on channel type `guid` in `list` (ignored if null;
  // a GUID already listed is not added again).
  void AddChannelGuidDepend(GUID guid, Zyr_List* list);

 protected:
  // True once per engine render count: the first call for a count answers
  // true, later calls for the same count false. A new channel is due at
  // the count current when it was made. Every evaluation begins here, so a
  // due channel becomes the engine's channel at work.
  bool CheckRenderCount() {
    EngineInterface* engine = _engine ? _engine : globalEngine;
    const uint32_t now = engine->GetRenderCount();
    if (_lastRenderCount == now) return false;
    _lastRenderCount = now;
    engine->SetChannelAtWork(this);
    return true;
  }

 public:
  EngineInterface* _engine;

 private:
  // One link: its description (shared, see SetChildCreateType) and the
  // channel plugged into it. 16 bytes.
  struct Link {
    const ChildCreation* creation;
    Zyr_Channel* child;
  };
  // What few channels need: remembered children, the render-count context
  // and the last loaded engine part. Made on first use.
  struct Extras;
  friend class Zyr_ChannelGroup;  // clears _group of its members as it goes
  Extras& GetExtras();
  // Empties every link and remembered place that holds `child`; answers how
  // many there were. The child's _parents are left to the caller.
  size_t Unplug(Zyr_Channel* child);
  void SetLinkDescription(size_t index, const ChildCreation* creation);
  bool LinkIndexAllowed(long long index, const char* what);
  void AddParent(Zyr_Channel* parent);
  void RemoveParent(Zyr_Channel* parent);
  void Detach(size_t index);
  void ReattachByName(size_t index);
  void JoinGroup(Zyr_ChannelGroup* group);
  void LeaveGroup();

  // What every evaluation reads (its render count and its links) first,
  // in the cache line of the virtual table pointer and _engine; what it
  // never reads behind.
  std::vector<Link> _links;
  uint32_t _lastRenderCount;
  uint32_t _id;
  std::string _name;
  Zyr_ChannelGroup* _group;
  const ChannelType* _typeRecord;  // shared and never freed; never null
  uint32_t _timeStamp;
  uint32_t _groupSlot;             // index in _group->_members
  uint32_t _loadedId;
  // One entry per link holding us while there are few; a channel held in
  // many places keeps a count per parent in its Extras instead, so that
  // leaving one costs O(1) however many hold it.
  std::vector<Zyr_Channel*> _parents;
  std::unique_ptr<Extras> _extras;
};

#endif  // HOSTAPI_ZYR_CHANNEL_H_
