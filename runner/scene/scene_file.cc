#include "runner/scene/scene_file.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "host/engine/le_bytes.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"
#include "runner/output/printable_text.h"
#include "runner/scene/record_entries.h"
#include "runner/scene/saved_id_index.h"
#include "runner/scene/scene_json.h"

namespace dravik {
namespace {

GUID SceneRecordGuid() { return guid::FromString(kSceneRecordType); }

bool PutFloats(ZyrFileSaver& saver, const char* tag, const float* values, uint32_t count) {
  uint8_t bytes[12];
  for (uint32_t i = 0; i < count && i < 3; ++i) {
    le::PutF32(bytes + 4 * i, values[i]);
  }
  return PutBytes(saver, tag, bytes, count * 4);
}

// Reads the scene record entry by entry; the first failure names itself.
class RecordReader {
 public:
  RecordReader(ZyrFileLoader& loader, std::string* error) : _loader(loader), _error(error) {}

  bool U32(const char* tag, uint32_t* out) {
    if (!Entry(tag)) return false;
    if (_loader.GetCurrentTagSize() != 4) return Damaged(tag, "holds " + std::to_string(_loader.GetCurrentTagSize()) + " bytes, not 4");
    *out = le::GetU32(_loader.GetCurrentTagData());
    return true;
  }
  bool Text(const char* tag, std::string* out) {
    if (!Entry(tag)) return false;
    const uint8_t* data = _loader.GetCurrentTagData();
    out->assign(reinterpret_cast<const char*>(data), _loader.GetCurrentTagSize());
    return true;
  }
  // A count no larger than the entries the rest of the record can hold.
  bool Count(const char* tag, uint32_t limit, uint32_t* out) {
    if (!U32(tag, out)) return false;
    const size_t room = (_loader.RecordEnd() - _loader.Position()) / kZyrEntryHeaderSize;
    if (*out > limit || *out > room) return Damaged(tag, "counts " + std::to_string(*out) + ", more than the record holds");
    return true;
  }
  bool Peek(const char* tag) {
    char found[4];
    return _loader.PeekTag(found) && std::memcmp(found, tag, 4) == 0;
  }
  bool Floats(const char* tag, float* out, uint32_t count) {
    if (!Entry(tag)) return false;
    if (_loader.GetCurrentTagSize() != count * 4) return Damaged(tag, "has the wrong size");
    for (uint32_t i = 0; i < count; ++i) out[i] = le::GetF32(_loader.GetCurrentTagData() + 4 * i);
    return true;
  }

 private:
  bool Entry(const char* tag) {
    if (_loader.GetInfoIfTag(tag)) return true;
    return Damaged(tag, "is missing");
  }
  bool Damaged(const char* tag, const std::string& what) {
    *_error = std::string("the scene record's \"") + tag + "\" entry " + what;
    return false;
  }

  ZyrFileLoader& _loader;
  std::string* _error;
};

// The channel type's modes as a saved file holds them, put back as they
// stood when it was saved, however the procedures were renamed since.
// They cannot be put back before the channels load: a registry made by
// ClearModes and AddMode counts as not built, and the SetCurrentMode of
// each LoadChannel would build it again over code 0, which fails. So while
// the channels load, each code a channel was saved in (one the saved modes
// no longer hold included) is added to the registry the first of them
// built, and every channel gets its saved mode back; once all are loaded,
// a channel of the loader's own makes the registry the saved one, before
// any channel is bound or evaluated.
class SavedModes {
 public:
  SavedModes(HostEnvironment& host, std::vector<ModeEntry> modes) : _host(host), _modes(std::move(modes)) {}

  // Before the new call channel `channel` loads the record at `loader`'s
  // position: registers the mode code the record holds, when it is not.
  void BeforeLoad(Zyr_Channel& channel, const ZyrFileLoader& loader) {
    if (!_callSeen) {
      for (const ModeEntry& m : _host.PrcCall().Modes(channel)) _registered.insert(m.code);
      _callSeen = true;
    }
    std::vector<uint8_t> mode;  // the record's first "MODE" is the framework's
    if (!FindEntryAhead(loader, "MODE", &mode) || mode.size() != 4) return;
    const uint32_t code = le::GetU32(mode.data());
    if (!_registered.insert(code).second) return;
    ModeEntry entry{0, code, std::to_string(code), std::to_string(code)};
    for (const ModeEntry& m : _modes) {
      if (m.code == code) entry = m;
    }
    _host.PrcCall().AddMode(channel, entry);
  }

  // After every channel loaded: the registry becomes the saved one, made
  // in the module's own ways where they can make it, for each leaves the
  // registry built, so that call channels made later in this process still
  // work: its default registry (a fresh channel makes it once the registry
  // is emptied) with the saved modes after it; or, for a saved list of
  // procedure names (codes 0, 1, ... named alike, as PrepareModesList
  // makes them), PrepareModesList over an owner of the framework's whose
  // procedures bear those names for the moment. Only a registry neither
  // gives is put back mode by mode, which leaves it not built (see
  // PrcCallModule::ReplaceModes).
  void Restore() {
    if (!_callSeen) return;
    const GUID type = guid::FromString(guid::kPrcCallChannelType);
    const PrcCallModule& module = _host.PrcCall();
    std::unique_ptr<Zyr_Channel> own = _host.Factory().Create(type);
    if (own == nullptr || Same(module.Modes(*own), _modes)) return;
    module.ReplaceModes(*own, {});
    std::unique_ptr<Zyr_Channel> fresh = _host.Factory().Create(type);  // builds the default
    if (fresh != nullptr) {
      own = std::move(fresh);
      const std::vector<ModeEntry> built = module.Modes(*own);
      if (built.size() <= _modes.size() &&
          Same(built, std::vector<ModeEntry>(_modes.begin(), _modes.begin() + built.size()))) {
        for (size_t i = built.size(); i < _modes.size(); ++i) module.AddMode(*own, _modes[i]);
      } else if (ProcedureNames()) {
        PrepareFromNames(*own);
      }
      if (Same(module.Modes(*own), _modes)) return;
    }
    module.ReplaceModes(*own, _modes);
  }

 private:
  // Owner class of the names PrepareFromNames registers for a moment.
  static constexpr const char kNamesOwner[] = "\x1f" "dravik saved modes";

  // Whether the saved modes are procedure names as PrepareModesList lists
  // them: codes 0, 1, ... in that order, short name and name alike; or its
  // one mode for an owner without procedures.
  bool ProcedureNames() const {
    if (NoProcedures()) return true;
    for (size_t i = 0; i < _modes.size(); ++i) {
      if (_modes[i].code != i || _modes[i].name.empty() || _modes[i].shortName != _modes[i].name) return false;
    }
    return !_modes.empty();
  }
  bool NoProcedures() const {
    return _modes.size() == 1 && _modes[0].code == 0 && _modes[0].shortName == "dummy" &&
           _modes[0].name == "no procedures found...";
  }

  // PrepareModesList through `own` over an owner holding, for the moment,
  // procedures of the saved names (none for the no-procedures list).
  void PrepareFromNames(Zyr_Channel& own) {
    ProceduresManager& procedures = _host.Procedures();
    std::vector<std::string> taken;
    procedures.GetProceduresList(kNamesOwner, taken);
    if (!taken.empty()) return;
    std::vector<std::string> registered;
    for (size_t i = 0; !NoProcedures() && i < _modes.size(); ++i) {
      if (procedures.RegisterFunction(kNamesOwner, _modes[i].name, true, VarList(), nullptr) == nullptr) break;
      registered.push_back(_modes[i].name);
    }
    if (NoProcedures() || registered.size() == _modes.size()) _host.PrcCall().PrepareModesList(own, kNamesOwner);
    for (const std::string& name : registered) procedures.Remove(kNamesOwner, name);
  }

  static bool Same(const std::vector<ModeEntry>& a, const std::vector<ModeEntry>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ModeEntry& x, const ModeEntry& y) {
      return x.code == y.code && x.shortName == y.shortName && x.name == y.name;
    });
  }

  HostEnvironment& _host;
  std::vector<ModeEntry> _modes;
  bool _callSeen = false;          // a call channel has been made
  std::set<uint32_t> _registered;  // the codes registered since
};

// The channel type's modes as they stand, read through the first call
// channel (none without one).
std::vector<ModeEntry> RegistryModes(SceneRuntime& runtime) {
  for (const RuntimeChannel& rc : runtime.Channels()) {
    if (rc.spec->kind == ChannelKind::kCall) return runtime.Host().PrcCall().Modes(*rc.channel);
  }
  return {};
}

std::string TypeName(HostEnvironment& host, const GUID& type) {
  if (const ChannelType* t = host.Factory().Type(type)) {
    return std::string(t->_name, strnlen(t->_name, sizeof t->_name)) + " " + guid::ToString(type);
  }
  return guid::ToString(type);
}

}  // namespace

bool LooksLikeSavedFile(std::string_view bytes) {
  return bytes.size() >= 4 && std::memcmp(bytes.data(), kZyrFileMagic, 4) == 0;
}

bool SaveScene(SceneRuntime& runtime, std::vector<uint8_t>* bytes, std::string* error) {
  ZyrFileSaver saver;
  saver.BeginChannel(SceneRecordGuid());
  bool ok = PutU32(saver, "DRVK", kSceneRecordVersion) && PutU32(saver, "FRAM", runtime.LastFrame()) &&
            PutText(saver, "SCEN", runtime.SceneText()) && PutText(saver, "MOWN", runtime.ModesOwner());
  const std::vector<ModeEntry> modes = RegistryModes(runtime);
  ok = ok && PutU32(saver, "MODN", static_cast<uint32_t>(modes.size()));
  for (const ModeEntry& m : modes) {
    ok = ok && PutU32(saver, "MDCO", m.code) && PutText(saver, "MDSN", m.shortName) && PutText(saver, "MDNM", m.name);
  }
  ok = ok && PutU32(saver, "OBJS", static_cast<uint32_t>(runtime.Objects().size()));
  ObjectsManager& objects = runtime.Host().Procedures().Objects();
  for (const RuntimeObject& o : runtime.Objects()) {
    const VanticObject* object = objects.Get(o.id);
    if (object == nullptr) {
      *error = "object '" + Printable(o.sceneId) + "' is gone from the framework";
      return false;
    }
    ok = ok && PutU32(saver, "OBID", o.id) && PutText(saver, "OBSC", o.sceneId) &&
         PutText(saver, "OBCL", object->ClassName()) && PutText(saver, "OBNM", object->Name()) &&
         PutU32(saver, "OBPN", static_cast<uint32_t>(object->Floats().size() + object->Vectors().size()));
    for (const auto& [key, value] : object->Floats()) {
      ok = ok && PutText(saver, "PKEY", key) && PutFloats(saver, "PFLT", &value, 1);
    }
    for (const auto& [key, value] : object->Vectors()) {
      const float parts[3] = {value.x, value.y, value.z};
      ok = ok && PutText(saver, "PKEY", key) && PutFloats(saver, "PVEC", parts, 3);
    }
  }
  ok = ok && PutU32(saver, "CHNS", static_cast<uint32_t>(runtime.Channels().size()));
  for (const RuntimeChannel& rc : runtime.Channels()) {
    ok = ok && PutText(saver, "CHSC", rc.spec->id) && PutU32(saver, "CHID", rc.channel->GetChannelId());
    // A call channel's record holds no value: its last status goes here.
    if (rc.spec->kind == ChannelKind::kCall) {
      if (const auto* f = dynamic_cast<const Ubo_FloatChannel*>(rc.channel.get())) {
        ok = ok && PutFloats(saver, "CHST", &f->_value, 1);
      }
    }
  }
  if (!ok || !saver.EndChannel()) {
    *error = "could not write the scene record: " + saver.GetError();
    return false;
  }
  for (const RuntimeChannel& rc : runtime.Channels()) {
    saver.BeginChannel(rc.channel->GetChannelType()._typeGuid);
    if (!rc.channel->SaveChannel(saver) || !saver.EndChannel()) {
      *error = "channel '" + Printable(rc.spec->id) + "' could not save itself" +
               (saver.HasError() ? ": " + saver.GetError() : std::string());
      return false;
    }
  }
  *bytes = saver.TakeBytes();
  return true;
}

bool LoadScene(std::vector<uint8_t> bytes, const std::string& path, SceneRuntime& runtime, std::string* error) {
  HostEnvironment& host = runtime.Host();
  ZyrFileLoader loader;
  auto fail = [&](const std::string& what) {
    *error = Printable(path, 200) + ": " + what;
    return false;
  };
  if (!loader.Open(std::move(bytes))) return fail("damaged file: " + loader.GetError());
  GUID type{};
  if (!loader.NextChannel(&type)) {
    return fail(loader.HasError() ? "damaged file: " + loader.GetError() : "the file holds no records");
  }
  if (type != SceneRecordGuid()) {
    return fail("not a dravik scene file (its first record is of type " + guid::ToString(type) + ")");
  }

  // ---- the scene record ----
  std::string why;
  RecordReader record(loader, &why);
  uint32_t version = 0;
  uint32_t lastFrame = 0;
  std::string sceneText;
  std::string modesOwner;
  uint32_t objectCount = 0;
  if (!record.U32("DRVK", &version)) return fail("damaged file: " + why);
  if (version != kSceneRecordVersion) return fail("scene record version " + std::to_string(version) + " is not supported");
  if (!record.U32("FRAM", &lastFrame) || !record.Text("SCEN", &sceneText) || !record.Text("MOWN", &modesOwner)) {
    return fail("damaged file: " + why);
  }
  // Files saved before the modes were kept prepare them again instead.
  const bool modesSaved = record.Peek("MODN");
  std::vector<ModeEntry> modes;
  uint32_t modeCount = 0;
  if (modesSaved && !record.Count("MODN", kMaxItems, &modeCount)) return fail("damaged file: " + why);
  for (uint32_t i = 0; i < modeCount; ++i) {
    ModeEntry m;
    m.orderIndex = i;
    if (!record.U32("MDCO", &m.code) || !record.Text("MDSN", &m.shortName) || !record.Text("MDNM", &m.name)) {
      return fail("damaged file: " + why);
    }
    modes.push_back(std::move(m));
  }
  if (!record.Count("OBJS", kMaxItems, &objectCount)) return fail("damaged file: " + why);
  if (lastFrame > kMaxFrames * 2u) return fail("damaged file: frame " + std::to_string(lastFrame) + " is out of range");
  Scene scene;
  if (!LoadSceneJson(sceneText, &scene, &why)) return fail("the saved scene is damaged: " + why);
  if (!runtime.Prepare(std::move(scene), std::move(sceneText), &why)) return fail("the saved scene: " + why);
  runtime.ReplayRegistryEvents(lastFrame);
  const Scene& saved = runtime.GetScene();

  std::vector<RuntimeObject> objects;
  ObjectsManager& manager = host.Procedures().Objects();
  // An id another scene of this process holds already (a program that
  // keeps several scenes) is given a new one; "This" links follow it.
  std::set<uint32_t> savedIds;
  std::map<uint32_t, uint32_t> movedIds;  // saved id -> id in this process
  for (uint32_t i = 0; i < objectCount; ++i) {
    uint32_t id = 0;
    uint32_t properties = 0;
    std::string sceneId, className, name;
    if (!record.U32("OBID", &id) || !record.Text("OBSC", &sceneId) || !record.Text("OBCL", &className) ||
        !record.Text("OBNM", &name) || !record.Count("OBPN", kMaxItems, &properties)) {
      return fail("damaged file: " + why);
    }
    if (id == 0 || !savedIds.insert(id).second) {
      return fail("damaged file: object id " + std::to_string(id) + " is 0 or given twice");
    }
    VanticObject* object = manager.CreateWithId(id, className, name);
    if (object == nullptr && (object = manager.Create(className, name)) != nullptr) movedIds[id] = object->Id();
    if (object == nullptr) return fail("the framework has no object id left for object " + std::to_string(id));
    for (uint32_t p = 0; p < properties; ++p) {
      std::string key;
      float parts[3] = {0, 0, 0};
      if (!record.Text("PKEY", &key)) return fail("damaged file: " + why);
      if (record.Peek("PVEC")) {
        if (!record.Floats("PVEC", parts, 3)) return fail("damaged file: " + why);
        object->SetVector(key, Vec3{parts[0], parts[1], parts[2]});
      } else {
        if (!record.Floats("PFLT", parts, 1)) return fail("damaged file: " + why);
        object->SetFloat(key, parts[0]);
      }
    }
    objects.push_back({sceneId, object->Id()});
  }
  uint32_t channelCount = 0;
  if (!record.Count("CHNS", kMaxItems, &channelCount)) return fail("damaged file: " + why);
  // Channels are known by their position in the scene from here on.
  SavedIdIndex positionOf(channelCount);  // saved channel id -> position
  std::vector<std::pair<bool, float>> statusOf(saved.channels.size());  // a call's last status
  for (uint32_t i = 0; i < channelCount; ++i) {
    std::string sceneId;
    uint32_t id = 0;
    if (!record.Text("CHSC", &sceneId) || !record.U32("CHID", &id)) return fail("damaged file: " + why);
    std::pair<bool, float> status(false, 0.0f);
    if (record.Peek("CHST")) {
      if (!record.Floats("CHST", &status.second, 1)) return fail("damaged file: " + why);
      status.first = true;
    }
    // Saved in scene order: the index is asked only when that fails.
    const size_t position =
        i < saved.channels.size() && saved.channels[i].id == sceneId ? i : saved.ChannelPosition(sceneId);
    if (position == IdIndex::kNone) return fail("damaged file: channel '" + Printable(sceneId) + "' is not in the scene");
    if (status.first) statusOf[position] = status;
    if (!positionOf.Insert(id, static_cast<uint32_t>(position))) {
      return fail("damaged file: channel id " + std::to_string(id) + " given twice");
    }
  }

  // ---- the channel records ----
  std::vector<std::unique_ptr<Zyr_Channel>> byScene(saved.channels.size());  // by position
  // The same, kept to plug, with the id each was saved with.
  std::vector<std::pair<Zyr_Channel*, uint32_t>> loaded(saved.channels.size(), {nullptr, 0});
  const GUID prcType = guid::FromString(guid::kPrcCallChannelType);
  bool modesPrepared = modesOwner.empty();
  SavedModes savedModes(host, std::move(modes));
  for (size_t n = 1; loader.NextChannel(&type); ++n) {
    // Spelled out only for an error: a file holds a record a channel.
    const auto where = [&] { return "record " + std::to_string(n + 1) + " (" + TypeName(host, type) + ")"; };
    if (type == prcType && !host.HasPrcCallType()) return fail(where() + ": " + host.MissingPrcCallReason());
    std::unique_ptr<Zyr_Channel> channel = host.Factory().Create(type);
    if (channel == nullptr) return fail(where() + ": no channel type of that GUID is known (is its module loaded?)");
    if (modesSaved && type == prcType) {
      savedModes.BeforeLoad(*channel, loader);
    } else if (!modesPrepared && type == prcType) {
      host.PrcCall().PrepareModesList(*channel, modesOwner);
      modesPrepared = true;
    }
    if (!channel->LoadChannel(loader, nullptr)) {
      return fail("damaged file: " + where() + ": " + (loader.HasError() ? loader.GetError() : "the channel refused it"));
    }
    const uint32_t position = positionOf.Find(channel->GetLoadedChannelId());
    if (position == SavedIdIndex::kNone) {
      return fail("damaged file: " + where() + ": channel id " + std::to_string(channel->GetLoadedChannelId()) +
                  " is not in the scene record");
    }
    if (auto* ref = dynamic_cast<Ubo_CoreRefChannel*>(channel.get())) {
      auto moved = movedIds.find(ref->GetObjectId());
      if (moved != movedIds.end()) ref->SetObjectId(moved->second);
    }
    if (byScene[position] != nullptr) return fail("damaged file: " + where() + ": channel given twice");
    loaded[position] = {channel.get(), channel->GetLoadedChannelId()};
    byScene[position] = std::move(channel);
  }
  if (loader.HasError()) return fail("damaged file: " + loader.GetError());
  savedModes.Restore();

  std::vector<RuntimeChannel> channels;
  std::map<std::string, Zyr_ChannelGroup*> groupsByName;
  std::vector<std::unique_ptr<Zyr_ChannelGroup>> groups;
  channels.reserve(saved.channels.size());
  for (size_t position = 0; position < saved.channels.size(); ++position) {
    const ChannelSpec& spec = saved.channels[position];
    if (byScene[position] == nullptr) return fail("damaged file: channel '" + Printable(spec.id) + "' has no record");
    RuntimeChannel rc;
    rc.spec = &spec;
    rc.channel = std::move(byScene[position]);
    const std::vector<uint32_t>& children = rc.channel->GetLoadedChildIds();
    for (size_t link = 0; link < children.size(); ++link) {
      if (children[link] == 0) continue;
      const uint32_t at = positionOf.Find(children[link]);
      Zyr_Channel* child =
          at != SavedIdIndex::kNone && loaded[at].second == children[link] ? loaded[at].first : nullptr;
      if (child == nullptr || !rc.channel->PlugChild(static_cast<int>(link), child)) {
        return fail("damaged file: link " + std::to_string(link) + " of channel '" + Printable(spec.id) +
                    "' refers to channel id " + std::to_string(children[link]) + ", which cannot be plugged there");
      }
    }
    const std::string& groupName = rc.channel->GetLoadedGroupName();
    if (!groupName.empty()) {
      Zyr_ChannelGroup*& group = groupsByName[groupName];
      if (group == nullptr) {
        groups.push_back(std::make_unique<Zyr_ChannelGroup>(groupName));
        group = groups.back().get();
      }
      rc.channel->SetChannelGroup(group);
    }
    rc.links = runtime.DesiredLinks(spec, lastFrame);
    channels.push_back(std::move(rc));
  }
  runtime.AdoptLoaded(lastFrame, std::move(modesOwner), std::move(objects), std::move(channels), std::move(groups));
  for (size_t position = 0; position < runtime.Channels().size(); ++position) {
    const RuntimeChannel& rc = runtime.Channels()[position];
    auto* f = dynamic_cast<Ubo_FloatChannel*>(rc.channel.get());
    if (statusOf[position].first && f != nullptr && rc.spec->kind == ChannelKind::kCall) {
      f->_value = statusOf[position].second;
    }
  }
  return true;
}

}  // namespace dravik
