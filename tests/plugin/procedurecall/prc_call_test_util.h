// Helpers of the procedure-call channel's tests: a peer into the channel's
// private parts, parameter lists, procedure registration, link views,
// record building and reading, and the fixture every test uses.
#ifndef TESTS_PLUGIN_PROCEDURECALL_PRC_CALL_TEST_UTIL_H_
#define TESTS_PLUGIN_PROCEDURECALL_PRC_CALL_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"
#include "tests/support/test_support.h"

// Reaches what the channel keeps private.
class PrcCallTestPeer {
 public:
  static bool ShouldCreateChildLinks(const Ubo_VanticPrcCall& c) {
    return c.ShouldCreateChildLinks();
  }
  static void CreateChildLinks(Ubo_VanticPrcCall& c) { c.CreateChildLinks(); }
  static VarList& ParamVars(Ubo_VanticPrcCall& c) { return *c._paramVars; }
  static void ReplaceParamVars(Ubo_VanticPrcCall& c, VarList* list) { c._paramVars.reset(list); }
  static void SetStatic(Ubo_VanticPrcCall& c, bool isStatic) { c._bStatic = isStatic; }
  static void SetProcedure(Ubo_VanticPrcCall& c, Procedure* p) { c._procedure = p; }
  static void SetCurrentMode(Ubo_VanticPrcCall& c, uint32_t mode) { c._currentMode = mode; }
  static std::vector<uint32_t> ModeOrder() { return Ubo_VanticPrcCall::_modeOrder; }
  static const PrcCallModeChannel::ModeMap& Modes() { return Ubo_VanticPrcCall::_modes; }
  static uint32_t RefCount() { return Ubo_VanticPrcCall::_refCount; }
};

namespace prccall_test {

inline ProceduresManager& Procedures() {
  return CoreFramework::Singleton<ProceduresManager>::Instance();
}

inline VarFloat FloatVar(const char* name, uint32_t mode, float value = 0.0f) {
  return VarFloat(VarType_Float, mode, name, value, FLT_MIN, FLT_MAX);
}
inline VarVec3 VectorVar(const char* name, uint32_t mode, Vec3 value = Vec3{0, 0, 0}) {
  return VarVec3(VarType_Vec3, mode, name, value, Vec3{FLT_MIN, FLT_MIN, FLT_MIN},
                 Vec3{FLT_MAX, FLT_MAX, FLT_MAX});
}

// A parameter list from (name, type, mode) triples.
struct ParamSpec {
  const char* name;
  int32_t type;
  uint32_t mode;
};
inline VarList Params(std::initializer_list<ParamSpec> specs) {
  VarList list;
  for (const ParamSpec& s : specs) {
    if (s.type == VarType_Vec3) {
      list.AddVar(VectorVar(s.name, s.mode));
    } else {
      list.AddVar(FloatVar(s.name, s.mode));
    }
  }
  return list;
}

// The value of the float / vector variable called `name` of `list`.
// Throws std::logic_error when there is no such variable of that kind.
inline float& FloatValue(VarList& list, const char* name) {
  auto* v = dynamic_cast<VarFloat*>(list.Find(name));
  if (v == nullptr) throw std::logic_error(std::string("no float variable ") + name);
  return v->_value;
}
inline Vec3& VectorValue(VarList& list, const char* name) {
  auto* v = dynamic_cast<VarVec3*>(list.Find(name));
  if (v == nullptr) throw std::logic_error(std::string("no vector variable ") + name);
  return v->_value;
}

// One declared child link, as the engine holds it.
struct LinkView {
  std::string typeName;
  GUID typeGuid;
  int32_t linkIndex;
  std::string name;
  int32_t linkMode;
};
inline std::vector<LinkView> Links(const Zyr_Channel& ch) {
  std::vector<LinkView> links;
  for (int i = 0; i < ch.GetChildCreationCount(); ++i) {
    const ChildCreation* c = ch.GetChildCreation(i);
    links.push_back({c->Type._name, c->Type._typeGuid, c->LinkIndex, c->LinkName, c->LinkMode});
  }
  return links;
}
inline std::vector<std::string> LinkNames(const Zyr_Channel& ch) {
  std::vector<std::string> names;
  for (const LinkView& l : Links(ch)) names.push_back(l.name);
  return names;
}

inline GUID FloatGuid() { return guid::FromString(guid::kFloatChannelType); }
inline GUID VectorGuid() { return guid::FromString(guid::kVectorChannelType); }
inline GUID CoreRefGuid() { return guid::FromString(guid::kCoreRefChannelType); }
inline GUID PrcCallGuid() { return guid::FromString(guid::kPrcCallChannelType); }

// Child channels with the records their links accept.
inline std::unique_ptr<Ubo_ValueChannel> NewValue(float v = 0.0f) {
  auto ch = std::make_unique<Ubo_ValueChannel>();
  ch->SetChannelTypeRecord(Ubo_ValueChannel::TypeRecord());
  ch->SetFloat(v);
  return ch;
}
inline std::unique_ptr<Ubo_VectorChannel> NewVector(Vec3 v = Vec3{0, 0, 0}) {
  auto ch = std::make_unique<Ubo_VectorChannel>();
  ch->SetChannelTypeRecord(Ubo_VectorChannel::TypeRecord());
  ch->SetVector(v);
  return ch;
}
inline std::unique_ptr<Ubo_CoreRefChannel> NewCoreRef(uint32_t objectId) {
  auto ch = std::make_unique<Ubo_CoreRefChannel>();
  ch->SetChannelTypeRecord(Ubo_CoreRefChannel::TypeRecord());
  ch->SetObjectId(objectId);
  return ch;
}

// ---- records ----

// One entry of a saved record.
struct Entry {
  std::string tag;
  std::vector<uint8_t> data;

  uint32_t U32() const {
    uint32_t v = 0;
    if (data.size() == 4) v = data[0] | data[1] << 8 | data[2] << 16 | uint32_t{data[3]} << 24;
    return v;
  }
  std::string Text() const { return std::string(data.begin(), data.end()); }
};

// A file holding one record of `channel`, as the engine saves it.
inline std::vector<uint8_t> SaveFile(Zyr_Channel& channel) {
  ZyrFileSaver saver;
  saver.BeginChannel(PrcCallGuid());
  EXPECT_TRUE(channel.SaveChannel(saver));
  EXPECT_TRUE(saver.EndChannel());
  return saver.Bytes();
}

// Loads the first record of `file` into `channel`.
inline bool LoadFile(const std::vector<uint8_t>& file, Zyr_Channel& channel) {
  ZyrFileLoader loader;
  EXPECT_TRUE(loader.Open(file));
  GUID type;
  EXPECT_TRUE(loader.NextChannel(&type));
  return channel.LoadChannel(loader, nullptr);
}

// The entries of the first record of `file`, in order.
inline std::vector<Entry> RecordEntries(const std::vector<uint8_t>& file) {
  std::vector<Entry> entries;
  size_t pos = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  while (pos + kZyrEntryHeaderSize <= file.size()) {
    Entry e;
    e.tag.assign(reinterpret_cast<const char*>(&file[pos]), 4);
    const uint32_t size =
        file[pos + 4] | file[pos + 5] << 8 | file[pos + 6] << 16 | uint32_t{file[pos + 7]} << 24;
    pos += kZyrEntryHeaderSize;
    if (pos + size > file.size()) break;
    e.data.assign(file.begin() + static_cast<std::ptrdiff_t>(pos),
                  file.begin() + static_cast<std::ptrdiff_t>(pos + size));
    pos += size;
    entries.push_back(std::move(e));
  }
  return entries;
}

// The channel's own part: the entries behind the modes' "UACN".
inline std::vector<Entry> ChannelPart(const std::vector<uint8_t>& file) {
  std::vector<Entry> all = RecordEntries(file);
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].tag == "UACN")
      return std::vector<Entry>(all.begin() + static_cast<long>(i) + 1, all.end());
  }
  return {};
}

// Writes a record by hand: the engine's part of a bare channel, the modes'
// part (mode 0, auto naming on), then whatever entries the test adds.
class RecordBuilder {
 public:
  RecordBuilder() {
    _saver.BeginChannel(PrcCallGuid());
    Zyr_Channel bare;
    EXPECT_TRUE(bare.SaveChannel(_saver));
    U32("MODE", 0);
    const uint8_t on = 1;
    Raw("UACN", &on, 1);
  }
  RecordBuilder& U32(const char* tag, uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    return Raw(tag, b, 4);
  }
  RecordBuilder& Text(const char* tag, const std::string& s) {
    return Raw(tag, s.data(), static_cast<uint32_t>(s.size()));
  }
  // The channel part's head: owner class, procedure name, static flag and
  // parameter count.
  RecordBuilder& Head(const std::string& owner, const std::string& name, uint32_t isStatic,
                      uint32_t count) {
    return Text("OWNC", owner).Text("PRCN", name).U32("STTC", isStatic).U32("PRMS", count);
  }
  RecordBuilder& Param(uint32_t type, uint32_t mode, const std::string& name) {
    return U32("TYPE", type).U32("MODE", mode).Text("NAME", name);
  }
  RecordBuilder& Raw(const char* tag, const void* data, uint32_t size) {
    _saver.SaveTag(tag);
    _saver.SaveBlockSize(size);
    if (size > 0) _saver.SaveDataToFile(data, size);
    return *this;
  }
  std::vector<uint8_t> File() {
    EXPECT_TRUE(_saver.EndChannel());
    return _saver.Bytes();
  }

 private:
  ZyrFileSaver _saver;
};

// Every test starts and ends with an empty procedure registry and counts
// its own messages.
class PrcCallTest : public ::testing::Test {
 protected:
  void SetUp() override { Procedures().RemoveAll(); }
  void TearDown() override { Procedures().RemoveAll(); }

  // Advances the engine's render count, so that every channel is due.
  static void NextFrame() { globalEngine->AdvanceRenderCount(); }

  // Registers a followable procedure running `body`.
  static VeskProcedure* Register(
      const std::string& owner, const std::string& name, bool isStatic, const VarList& params,
      VeskProcedure::Body body = [](VarList&) { return 0; }) {
    VeskProcedure* p =
        Procedures().RegisterFunction(owner, name, isStatic, params, std::move(body));
    EXPECT_NE(p, nullptr);
    return p;
  }

  testing_support::MessageCapture _messages;
};

}  // namespace prccall_test

#endif  // TESTS_PLUGIN_PROCEDURECALL_PRC_CALL_TEST_UTIL_H_
