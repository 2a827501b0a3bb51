#include "runner/scene/call_channel_setup.h"

#include <cstring>

#include "host/engine/le_bytes.h"
#include "hostapi/zyr_file.h"
#include "runner/scene/record_entries.h"

namespace dravik {

namespace {

// The engine's own entries: the first part of every channel's record.
bool IsEnginePart(const std::string& tag) {
  return tag == "ZCID" || tag == "ZCNM" || tag == "ZCGR" || tag == "ZCLK";
}

// Writes the setup record of `channel` into a file of one record; with
// `enginePart` false the engine's entries are left out.
bool MakeSetupRecord(Zyr_Channel& channel, const CallSetup& setup, bool enginePart, std::vector<uint8_t>* bytes,
                     std::string* error) {
  std::vector<RecordEntry> own;
  if (!SaveChannelEntries(channel, &own, error)) return false;
  ZyrFileSaver saver;
  saver.BeginChannel(channel.GetChannelType()._typeGuid);
  bool ok = true;
  bool modePart = false;
  for (const RecordEntry& e : own) {
    if (e.tag == "UACN") modePart = true;
    if (!enginePart && IsEnginePart(e.tag)) continue;
    ok = ok && PutBytes(saver, e.tag.c_str(), e.data.data(), static_cast<uint32_t>(e.data.size()));
    if (modePart) break;
  }
  if (!modePart) {
    *error = "channel '" + std::string(channel.GetChannelName()) + "' is not a procedure-call channel";
    return false;
  }
  ok = ok && PutText(saver, "OWNC", setup.owner) && PutText(saver, "PRCN", setup.name) &&
       PutU32(saver, "STTC", setup.isStatic ? 1 : 0) &&
       PutU32(saver, "PRMS", static_cast<uint32_t>(setup.params.size()));
  for (const ParamSpec& p : setup.params) {
    ok = ok && PutU32(saver, "TYPE", static_cast<uint32_t>(p.type)) && PutU32(saver, "MODE", p.mode) &&
         PutText(saver, "NAME", p.name);
  }
  if (!ok || !saver.EndChannel()) {
    *error = "could not write the channel's setup record: " + saver.GetError();
    return false;
  }
  // Loaded into every call of the setup and never stored: written in the
  // version-1 layout, whose records carry no checksum to compute again at
  // each load. Layout: header (magic, version) 8 | type 16 | body size 4 |
  // [checksum 4, version 2 only] | body.
  static_assert(kZyrRecordChecksumOffset == kZyrRecordHeaderSizeUnchecked);
  const std::vector<uint8_t>& v2 = saver.Bytes();
  bytes->assign(v2.begin(), v2.begin() + kZyrFileHeaderSize + kZyrRecordChecksumOffset);
  le::PutU32(bytes->data() + 4, 1);
  bytes->insert(bytes->end(), v2.begin() + kZyrFileHeaderSize + kZyrRecordHeaderSize, v2.end());
  return true;
}

bool LoadSetupRecord(Zyr_Channel& channel, std::vector<uint8_t> bytes, std::string* error) {
  ZyrFileLoader loader;
  GUID type{};
  if (!loader.Open(std::move(bytes)) || !loader.NextChannel(&type) || !channel.LoadChannel(loader, nullptr)) {
    *error = "channel refused its setup record" + (loader.HasError() ? ": " + loader.GetError() : std::string());
    return false;
  }
  return true;
}

}  // namespace

bool ConfigureCallChannel(Zyr_Channel& channel, const CallSetup& setup, std::string* error) {
  std::vector<uint8_t> bytes;
  return MakeSetupRecord(channel, setup, true, &bytes, error) && LoadSetupRecord(channel, std::move(bytes), error);
}

bool CallSetupRecords::Configure(Zyr_Channel& channel, const CallSetup& setup, std::string* error) {
  if (_lastRecord != nullptr && setup == _last) return LoadSetupRecord(channel, *_lastRecord, error);
  // The key: every field, texts after their length.
  auto text = [this](const std::string& t) { _key.append(std::to_string(t.size())).append(":").append(t); };
  _key.clear();
  text(setup.owner);
  text(setup.name);
  _key.push_back(setup.isStatic ? 'S' : 'O');
  for (const ParamSpec& p : setup.params) {
    _key.append(std::to_string(static_cast<int>(p.type))).append(",").append(std::to_string(p.mode)).append(",");
    text(p.name);
  }
  auto it = _records.find(_key);
  if (it == _records.end()) {
    std::vector<uint8_t> bytes;
    if (!MakeSetupRecord(channel, setup, false, &bytes, error)) return false;
    it = _records.emplace(_key, std::move(bytes)).first;
  }
  _last = setup;
  _lastRecord = &it->second;  // a node's value stays where it is
  return LoadSetupRecord(channel, it->second, error);
}

bool ReadCurrentMode(Zyr_Channel& channel, uint32_t* mode) {
  std::vector<RecordEntry> entries;
  std::string error;
  if (!SaveChannelEntries(channel, &entries, &error)) return false;
  for (const RecordEntry& e : entries) {
    if (e.tag == "MODE" && e.data.size() == 4) {
      *mode = le::GetU32(e.data.data());
      return true;
    }
  }
  return false;
}

}  // namespace dravik

namespace dravik {

bool ReadCallNames(Zyr_Channel& channel, std::string* owner, std::string* name) {
  // The channel's record, walked where the saver wrote it: a loaded file
  // reads every call's names, so no entry is copied and no checksum
  // checked (the record was just made).
  ZyrFileSaver saver;
  saver.BeginChannel(channel.GetChannelType()._typeGuid);
  if (!channel.SaveChannel(saver) || !saver.EndChannel()) return false;
  bool haveOwner = false;
  bool haveName = false;
  const bool whole = WalkEntries(saver.Bytes(), kZyrFileHeaderSize + kZyrRecordHeaderSize, saver.Bytes().size(),
                                 [&](const char* tag, const uint8_t* data, size_t size) {
                                   const char* text = reinterpret_cast<const char*>(data);
                                   if (!haveOwner && std::memcmp(tag, "OWNC", 4) == 0) {
                                     owner->assign(text, size);
                                     haveOwner = true;
                                   } else if (!haveName && std::memcmp(tag, "PRCN", 4) == 0) {
                                     name->assign(text, size);
                                     haveName = true;
                                   }
                                   return true;
                                 });
  return whole && haveOwner && haveName;
}

bool ReadCallSetup(Zyr_Channel& channel, CallSetup* setup) {
  std::vector<RecordEntry> entries;
  std::string error;
  if (!SaveChannelEntries(channel, &entries, &error)) return false;
  CallSetup found;
  bool haveOwner = false;
  bool haveName = false;
  bool inParams = false;
  auto u32 = [](const RecordEntry& e) { return e.data.size() == 4 ? le::GetU32(e.data.data()) : 0u; };
  for (const RecordEntry& e : entries) {
    if (e.tag == "OWNC" && !haveOwner) {
      found.owner.assign(e.data.begin(), e.data.end());
      haveOwner = true;
    } else if (e.tag == "PRCN" && !haveName) {
      found.name.assign(e.data.begin(), e.data.end());
      haveName = true;
    } else if (e.tag == "STTC" && haveName) {
      found.isStatic = u32(e) != 0;
    } else if (e.tag == "PRMS" && haveName) {
      inParams = true;
    } else if (inParams && e.tag == "TYPE") {
      found.params.push_back(ParamSpec{});
      found.params.back().type = u32(e) == 1 ? ParamType::kVec3 : ParamType::kFloat;
    } else if (inParams && e.tag == "MODE" && !found.params.empty()) {
      found.params.back().mode = static_cast<uint16_t>(u32(e));
    } else if (inParams && e.tag == "NAME" && !found.params.empty()) {
      found.params.back().name.assign(e.data.begin(), e.data.end());
    }
  }
  if (!haveOwner || !haveName) return false;
  *setup = std::move(found);
  return true;
}

}  // namespace dravik
