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
#include <string>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/engine_interface.h"
#include "hostapi/export.h"
#include "hostapi/guid.h"

class ZyrFileSaver;
class ZyrFileLoader;
class Zyr_Channel;

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

// A named group of channels.
class DRAVIK_API Zyr_ChannelGroup {
 public:
  explicit Zyr_ChannelGroup(std::string name);
  virtual ~Zyr_ChannelGroup();
  // The group's name; never null for this class (subclasses may answer null).
  virtual const char* GetGroupName();
  void SetGroupName(std::string name) { _name = std::move(name); }

 private:
  std::string _name;
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
  // its own id, nothing plugged, and is due at the next render count.
  Zyr_Channel(const Zyr_Channel& other);
  // Assigns name, group, type record and link descriptions; keeps id and
  // plugged children of *this.
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
  // Loads the engine's part. Sets the group when `group` is not null.
  // Returns false, with the loader's error set, on a damaged engine part.
  virtual bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group);
  virtual void SetChannelInterfaceType(int type);
  virtual Zyr_Channel* GetChannelFromChannel(Zyr_Channel* channel, ChildInfo* info);
  virtual uint32_t GetTimeStamp();
  virtual void SetTimeStamp();
  virtual void DoDependencyInit(Zyr_List* list);
  virtual void CheckIndexNrRemoval(int index);
  virtual Zyr_Channel* GetInternalChild(int index);
  virtual void CheckPublicChannelInstanceRemoval(Zyr_Channel* channel, int index);
  virtual void AddMetaData(ZyrFileSaver& saver);
  virtual void SetChannelGroup(Zyr_ChannelGroup* group);
  virtual ChannelFeedback* GetFeedbackClass();
  virtual void SetContextRenderCountName(char* name);
  virtual ContextRenderCount* GetContextRenderCountName();

  // ---- names and groups ----
  // Keeps its own copy; null sets the empty name.
  void SetChannelName(const char* name);
  // Never null while the channel lives.
  const char* GetChannelName() const { return _name.c_str(); }
  Zyr_ChannelGroup* GetChannelGroup() const { return _group; }

  // ---- type record, identity ----
  // Set by whoever creates the channel (the engine does it for module
  // channels with the record their module's GetType returned).
  void SetChannelTypeRecord(const ChannelType& type) { _typeRecord = type; }
  uint32_t GetChannelId() const { return _id; }
  // Id saved in the last loaded engine part (0 when none was loaded).
  uint32_t GetLoadedChannelId() const { return _loadedId; }
  // Child ids saved in the last loaded engine part, per link index.
  const std::vector<uint32_t>& GetLoadedChildIds() const { return _loadedChildIds; }
  // Group name saved in the last loaded engine part.
  const std::string& GetLoadedGroupName() const { return _loadedGroupName; }

  // ---- child links ----
  // Declares the number of link descriptions. 0 empties the list; links
  // whose channel is still plugged remember it by link name, and a later
  // description with the same name and an accepting type gets it back.
  void SetChildCreationCount(int count);
  // Stores a copy of `creation` as link `index`, growing the list to hold
  // it. A negative index is ignored.
  void SetChildCreateType(ChildCreation creation, int index);
  int GetChildCreationCount() const { return static_cast<int>(_links.size()); }
  // The description of link `index`, or null out of range.
  const ChildCreation* GetChildCreation(int index) const;
  // Index of the first link named `name`, or -1.
  int FindChildLink(const char* name) const;
  // Plugs `child` into link `index` (null unplugs). Fails, changing nothing,
  // when the index is out of range or the link does not accept the child's
  // type (its type GUID or base type GUID must equal the link's type GUID).
  bool PlugChild(int index, Zyr_Channel* child);
  Zyr_Channel* GetChild(int index) const;
  // Whether a link of this description accepts `child`.
  static bool LinkAccepts(const ChildCreation& link, Zyr_Channel& child);

  // Records a dependency on channel type `guid` in `list` (ignored if null).
  void AddChannelGuidDepend(GUID guid, Zyr_List* list);

 protected:
  // True once per engine render count: the first call for a count answers
  // true, later calls for the same count false.
  bool CheckRenderCount();

 public:
  EngineInterface* _engine;

 private:
  struct Link {
    ChildCreation creation;
    Zyr_Channel* child = nullptr;
  };
  struct Detached {
    std::string name;
    Zyr_Channel* child;
  };
  void Unplug(Zyr_Channel* child);
  void AddParent(Zyr_Channel* parent);
  void RemoveParent(Zyr_Channel* parent);

  std::string _name;
  Zyr_ChannelGroup* _group;
  ChannelType _typeRecord;
  uint32_t _id;
  uint32_t _lastRenderCount;
  uint32_t _timeStamp;
  std::vector<Link> _links;
  std::vector<Detached> _detached;
  std::vector<Zyr_Channel*> _parents;  // one entry per link holding us
  ContextRenderCount _context;
  uint32_t _loadedId;
  std::vector<uint32_t> _loadedChildIds;
  std::string _loadedGroupName;
};

#endif  // HOSTAPI_ZYR_CHANNEL_H_
