// Helpers of the procedure-call channel's behaviour tests and of the fault
// catalogue: a peer into the channel's private parts and the type's
// registry, parameter lists, child channels, link views, records written,
// read and damaged byte by byte, and the fixture every such test uses.
#ifndef TESTS_SUPPORT_PRC_CALL_SUPPORT_H_
#define TESTS_SUPPORT_PRC_CALL_SUPPORT_H_

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/channel_file_target.h"
#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"
#include "tests/support/test_support.h"

// Reaches what the channel and the type's registry keep private.
class PrcCallTestPeer {
 public:
  static bool ShouldCreateChildLinks(const Ubo_VanticPrcCall& c) {
    return c.ShouldCreateChildLinks();
  }
  static VarList& ParamVars(Ubo_VanticPrcCall& c) { return *c._paramVars; }
  static void SetStatic(Ubo_VanticPrcCall& c, bool isStatic) { c._bStatic = isStatic; }
  static void SetProcedure(Ubo_VanticPrcCall& c, Procedure* p) { c._procedure = p; }
  static void SetCurrentMode(Ubo_VanticPrcCall& c, uint32_t mode) { c._currentMode = mode; }
  static uint32_t RefCount() { return Ubo_VanticPrcCall::_refCount; }
  static void SetRefCount(uint32_t count) { Ubo_VanticPrcCall::_refCount = count; }
};

namespace prccall_test {

inline ProceduresManager& Procedures() {
  return CoreFramework::Singleton<ProceduresManager>::Instance();
}

inline GUID FloatGuid() { return guid::FromString(guid::kFloatChannelType); }
inline GUID VectorGuid() { return guid::FromString(guid::kVectorChannelType); }
inline GUID PrcCallGuid() { return guid::FromString(guid::kPrcCallChannelType); }

// Variables with any type and mode, in range or not.
inline VarFloat FloatVar(const std::string& name, uint32_t mode, int32_t type = VarType_Float) {
  return VarFloat(type, mode, name.c_str(), 0.0f, FLT_MIN, FLT_MAX);
}
inline VarVec3 VectorVar(const std::string& name, uint32_t mode, int32_t type = VarType_Vec3) {
  return VarVec3(type, mode, name.c_str(), Vec3{0, 0, 0}, Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX},
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

// The names of the child links `ch` declares, in order.
inline std::vector<std::string> LinkNames(const Zyr_Channel& ch) {
  std::vector<std::string> names;
  for (int i = 0; i < ch.GetChildCreationCount(); ++i) {
    names.push_back(ch.GetChildCreation(i)->LinkName);
  }
  return names;
}

// Child channels with the records their links accept.
inline std::unique_ptr<Ubo_ValueChannel> NewValue(float v = 0.0f) {
  auto ch = std::make_unique<Ubo_ValueChannel>();
  ch->SetChannelTypeRecord(Ubo_ValueChannel::TypeRecord());
  ch->SetFloat(v);
  return ch;
}

// ---- records, byte by byte ----

inline void PutU32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const uint8_t* in) {
  return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}
inline std::vector<uint8_t> U32Bytes(uint32_t v) {
  std::vector<uint8_t> b(4);
  PutU32(b.data(), v);
  return b;
}

// One entry of a record: its tag, the block size it declares and its data.
struct Entry {
  std::string tag;
  uint32_t size;
  std::vector<uint8_t> data;
  size_t offset;  // of the entry's header in the file

  uint32_t U32() const { return data.size() == 4 ? GetU32(data.data()) : 0; }
  std::string Text() const { return std::string(data.begin(), data.end()); }
};

// The entries of the first record of a well-formed `file`, in order.
inline std::vector<Entry> Entries(const std::vector<uint8_t>& file) {
  std::vector<Entry> entries;
  size_t pos = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  while (pos + kZyrEntryHeaderSize <= file.size()) {
    Entry e{std::string(reinterpret_cast<const char*>(&file[pos]), 4), GetU32(&file[pos + 4]), {},
            pos};
    const size_t data = pos + kZyrEntryHeaderSize;
    if (e.size > file.size() - data) break;
    e.data.assign(file.begin() + static_cast<std::ptrdiff_t>(data),
                  file.begin() + static_cast<std::ptrdiff_t>(data + e.size));
    pos = data + e.size;
    entries.push_back(std::move(e));
  }
  return entries;
}

// The channel's own part: the entries behind the modes' "UACN".
inline std::vector<Entry> ChannelPart(const std::vector<uint8_t>& file) {
  std::vector<Entry> all = Entries(file);
  auto uacn = std::find_if(all.begin(), all.end(), [](const Entry& e) { return e.tag == "UACN"; });
  return uacn == all.end() ? std::vector<Entry>() : std::vector<Entry>(uacn + 1, all.end());
}

// A file of one record of `channel`, saved as a channel of `type`.
inline std::vector<uint8_t> SaveFile(Zyr_Channel& channel, const GUID& type = PrcCallGuid()) {
  ZyrFileSaver saver;
  saver.BeginChannel(type);
  EXPECT_TRUE(channel.SaveChannel(saver));
  EXPECT_TRUE(saver.EndChannel());
  return saver.Bytes();
}

// Loads the first record of `file` into `channel`. False when the file or
// its first record does not open, or the channel refuses the record.
inline bool LoadFile(const std::vector<uint8_t>& file, Zyr_Channel& channel) {
  ZyrFileLoader loader;
  GUID type;
  if (!loader.Open(file) || !loader.NextChannel(&type)) return false;
  return channel.LoadChannel(loader, nullptr);
}

// What the procedure-call `channel` saves loads into a fresh channel,
// which saves the same record again. REQUIRES: the test links the fuzz
// target's code (fuzz/channel_file_target.cc).
inline ::testing::AssertionResult SurvivesRoundTrip(Zyr_Channel& channel) {
  const std::string failure = fuzz_target::RoundTripFailure(channel, PrcCallGuid());
  if (failure.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << failure;
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
  RecordBuilder& U32(const char* tag, uint32_t v) { return Raw(tag, U32Bytes(v).data(), 4); }
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
  // The status of `channel` at the next render count.
  static float Evaluate(Ubo_FloatChannel& channel) {
    NextFrame();
    return channel.GetFloat();
  }

  // Registers a followable procedure running `body`.
  static VeskProcedure* Register(
      const std::string& owner, const std::string& name, bool isStatic, const VarList& params,
      VeskProcedure::Body body = [](VarList&) { return 0; }) {
    VeskProcedure* p = Procedures().RegisterFunction(owner, name, isStatic, params, std::move(body));
    EXPECT_NE(p, nullptr) << owner << "/" << name;
    return p;
  }

  testing_support::MessageCapture _messages;
};

}  // namespace prccall_test

#endif  // TESTS_SUPPORT_PRC_CALL_SUPPORT_H_
