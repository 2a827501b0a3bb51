// Helpers of the fault catalogue: records written and damaged byte by
// byte, a view of the procedure-call type's registry, procedures and
// child channels, and the fixture every fault test uses.
#ifndef TESTS_FAULT_FAULT_SUPPORT_H_
#define TESTS_FAULT_FAULT_SUPPORT_H_

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/channel_file_target.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"
#include "tests/support/test_support.h"

namespace fault {

inline ProceduresManager& Procedures() {
  return CoreFramework::Singleton<ProceduresManager>::Instance();
}

inline GUID PrcCallGuid() { return guid::FromString(guid::kPrcCallChannelType); }
inline GUID FloatGuid() { return guid::FromString(guid::kFloatChannelType); }
inline GUID VectorGuid() { return guid::FromString(guid::kVectorChannelType); }

// Variables with any type and mode, in range or not.
inline VarFloat FloatVar(const std::string& name, uint32_t mode, int32_t type = VarType_Float) {
  return VarFloat(type, mode, name.c_str(), 0.0f, FLT_MIN, FLT_MAX);
}
inline VarVec3 VectorVar(const std::string& name, uint32_t mode, int32_t type = VarType_Vec3) {
  return VarVec3(type, mode, name.c_str(), Vec3{0, 0, 0}, Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX},
                 Vec3{FLT_MAX, FLT_MAX, FLT_MAX});
}

// ---- records, byte by byte ----

inline void PutU32(uint8_t* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const uint8_t* in) {
  return uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
}

// One entry of a record: its tag, the block size it declares and its data.
struct Entry {
  std::string tag;
  uint32_t size;
  std::vector<uint8_t> data;
  size_t offset;  // of the entry's header in the file
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

// The body of the first record (its entries' bytes).
inline std::vector<uint8_t> RecordBody(const std::vector<uint8_t>& file) {
  const size_t begin = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  const size_t size = GetU32(&file[begin - 4]);
  return std::vector<uint8_t>(file.begin() + static_cast<std::ptrdiff_t>(begin),
                              file.begin() + static_cast<std::ptrdiff_t>(begin + size));
}

// A file of one record of `type` whose body is `body`.
inline std::vector<uint8_t> FileOf(const GUID& type, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> file(kZyrFileHeaderSize + kZyrRecordHeaderSize);
  std::memcpy(file.data(), kZyrFileMagic, 4);
  PutU32(&file[4], kZyrFileVersion);
  std::memcpy(&file[8], &type, sizeof(GUID));  // the platform layout is the in-memory one
  PutU32(&file[24], static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// Entry bytes: tag, size, data.
inline std::vector<uint8_t> EntryBytes(const std::string& tag, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes(tag.begin(), tag.end());
  bytes.resize(kZyrEntryHeaderSize);
  PutU32(&bytes[4], static_cast<uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}
inline std::vector<uint8_t> U32Bytes(uint32_t v) {
  std::vector<uint8_t> b(4);
  PutU32(b.data(), v);
  return b;
}
inline std::vector<uint8_t> TextBytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
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
inline bool LoadFile(const std::vector<uint8_t>& file, Zyr_Channel& channel,
                     Zyr_ChannelGroup* group = nullptr) {
  ZyrFileLoader loader;
  GUID type;
  if (!loader.Open(file) || !loader.NextChannel(&type)) return false;
  return channel.LoadChannel(loader, group);
}

// What `channel` (of `type`) saves loads into a fresh channel of its kind,
// which saves the same record again.
inline ::testing::AssertionResult SurvivesRoundTrip(Zyr_Channel& channel,
                                                    const GUID& type = PrcCallGuid()) {
  const std::string failure = fuzz_target::RoundTripFailure(channel, type);
  if (failure.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << failure;
}

// ---- the procedure-call type's registry ----

// Reads the registry the procedure-call channels share. Never made: only
// its static members are used.
class RegistryProbe : public Ubo_VanticPrcCall {
 public:
  RegistryProbe() = delete;
  static size_t ModeCount() { return _modes.size(); }
  static size_t OrderCount() { return _modeOrder.size(); }
  static uint32_t LiveChannels() { return _refCount; }
};

// ---- child channels ----

inline std::unique_ptr<Ubo_ValueChannel> NewValue(float v = 0.0f) {
  auto ch = std::make_unique<Ubo_ValueChannel>();
  ch->SetFloat(v);
  return ch;
}
inline std::unique_ptr<Ubo_VectorChannel> NewVector(Vec3 v = Vec3{0, 0, 0}) {
  auto ch = std::make_unique<Ubo_VectorChannel>();
  ch->SetVector(v);
  return ch;
}

// The names of the links `channel` declares, in order.
inline std::vector<std::string> LinkNames(const Zyr_Channel& channel) {
  std::vector<std::string> names;
  for (int i = 0; i < channel.GetChildCreationCount(); ++i) {
    names.emplace_back(channel.GetChildCreation(i)->LinkName);
  }
  return names;
}

// Every fault test starts and ends with an empty procedure registry and
// counts its own messages.
class FaultTest : public ::testing::Test {
 protected:
  void SetUp() override { Procedures().RemoveAll(); }
  void TearDown() override { Procedures().RemoveAll(); }

  // Moves to the next render count: every channel is due again.
  static void NextFrame() { globalEngine->AdvanceRenderCount(); }
  static float Evaluate(Ubo_FloatChannel& channel) {
    NextFrame();
    return channel.GetFloat();
  }

  static VeskProcedure* Register(const std::string& owner, const std::string& name, bool isStatic,
                                 const VarList& params,
                                 VeskProcedure::Body body = [](VarList&) { return 0; }) {
    VeskProcedure* p = Procedures().RegisterFunction(owner, name, isStatic, params, std::move(body));
    EXPECT_NE(p, nullptr) << owner << "/" << name;
    return p;
  }

  testing_support::MessageCapture _messages;
};

}  // namespace fault

#endif  // TESTS_FAULT_FAULT_SUPPORT_H_
