// The channel-file harness (see channel_file_target.h).
#include "fuzz/channel_file_target.h"

#include <cfloat>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/channel_type.h"
#include "hostapi/engine_interface.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"
#include "plugin/entry/entry.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace fuzz_target {
namespace {

enum class Kind { kValue = 0, kVector = 1, kCoreRef = 2, kPrcCall = 3 };

const GUID& TypeGuid(Kind kind) {
  static const GUID kGuids[] = {guid::FromString(guid::kFloatChannelType),
                                guid::FromString(guid::kVectorChannelType),
                                guid::FromString(guid::kCoreRefChannelType),
                                guid::FromString(guid::kPrcCallChannelType)};
  return kGuids[static_cast<int>(kind)];
}

// The kind that loads a record of `type`: its own, or for a type none of
// the four has, the one its first byte picks.
Kind KindFor(const GUID& type) {
  for (Kind k : {Kind::kValue, Kind::kVector, Kind::kCoreRef, Kind::kPrcCall}) {
    if (type == TypeGuid(k)) return k;
  }
  return static_cast<Kind>(type.Data1 & 3u);
}

std::unique_ptr<Zyr_Channel> Make(Kind kind) {
  if (kind == Kind::kValue) return std::make_unique<Ubo_ValueChannel>();
  if (kind == Kind::kVector) return std::make_unique<Ubo_VectorChannel>();
  if (kind == Kind::kCoreRef) return std::make_unique<Ubo_CoreRefChannel>();
  auto channel = std::make_unique<Ubo_VanticPrcCall>();
  channel->SetChannelTypeRecord(*GetType());
  return channel;
}

// A file holding one record: `channel` saved as a channel of `kind`.
// Empty when the channel or the saver refused.
std::vector<uint8_t> Save(Zyr_Channel& channel, Kind kind) {
  ZyrFileSaver saver;
  saver.BeginChannel(TypeGuid(kind));
  if (!channel.SaveChannel(saver) || !saver.EndChannel()) return {};
  return saver.Bytes();
}

// `file` (one record) with the data of its "ZCID" entries zeroed and its
// checksum made good: the id is each channel's own and not part of what a
// record must keep.
std::vector<uint8_t> WithoutIds(std::vector<uint8_t> file) {
  size_t pos = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  while (pos + kZyrEntryHeaderSize <= file.size()) {
    const uint8_t* header = file.data() + pos;
    const size_t size = size_t{header[4]} | size_t{header[5]} << 8 | size_t{header[6]} << 16 |
                        size_t{header[7]} << 24;
    const size_t data = pos + kZyrEntryHeaderSize;
    if (size > file.size() - data) break;
    if (std::memcmp(header, "ZCID", 4) == 0) std::memset(file.data() + data, 0, size);
    pos = data + size;
  }
  ZyrResealRecords(&file);  // the checksum covers the ids
  return file;
}

// Property 1: what a loaded channel saves loads back into a fresh channel
// of its kind, which saves the same record.
std::string CheckRoundTrip(Zyr_Channel& loaded, Kind kind) {
  const std::vector<uint8_t> first = Save(loaded, kind);
  if (first.empty()) return "a loaded channel could not be saved";
  ZyrFileLoader loader;
  GUID type;
  if (!loader.Open(first) || !loader.NextChannel(&type)) return "a saved file does not open";
  std::unique_ptr<Zyr_Channel> again = Make(kind);
  // The group is the host's to give, as it was given to the first load.
  if (!again->LoadChannel(loader, loaded.GetChannelGroup())) {
    return "a saved record does not load again: " + loader.GetError();
  }
  const std::vector<uint8_t> second = Save(*again, kind);
  if (WithoutIds(first) != WithoutIds(second)) return "a record changed between two saves";
  return {};
}

// Property 2: with a child of the accepted kind on every link, evaluation
// answers a status, and a read that is not due answers the same status.
std::string CheckEvaluation(Ubo_VanticPrcCall& channel) {
  std::vector<std::unique_ptr<Zyr_Channel>> children;
  for (int i = 0; i < channel.GetChildCreationCount(); ++i) {
    // A link accepts one of the three plain kinds; any other is given a value.
    Kind kind = KindFor(channel.GetChildCreation(i)->Type._typeGuid);
    if (kind == Kind::kPrcCall) kind = Kind::kValue;
    std::unique_ptr<Zyr_Channel> child = Make(kind);
    if (kind == Kind::kValue) static_cast<Ubo_ValueChannel&>(*child).SetFloat(i + 0.5f);
    if (kind == Kind::kVector) static_cast<Ubo_VectorChannel&>(*child).SetVector(Vec3{1, 2, 3});
    if (kind == Kind::kCoreRef) static_cast<Ubo_CoreRefChannel&>(*child).SetObjectId(1);
    channel.PlugChild(i, child.get());
    children.push_back(std::move(child));
  }
  float status = kPrcStatusOk;
  for (int round = 0; round < 2; ++round) {
    globalEngine->AdvanceRenderCount();
    status = channel.GetFloat();
    if (status != kPrcStatusOk && status != kPrcStatusFailed && status != kPrcStatusInputs) {
      return "evaluation answered " + std::to_string(status);
    }
  }
  if (channel.GetFloat() != status) return "a read that is not due changed the status";
  return {};
}

void DropMessage(void*, unsigned, const char*) {}

// A procedure that is not a VeskProcedure and whose execution throws.
class ThrowingProcedure final : public Procedure {
 public:
  ThrowingProcedure() : Procedure("Fuzz", "Throw", true, VarList()) {}
  int Execute(VarList&) override { throw std::runtime_error("thrown by a procedure"); }
};

float& FloatOf(VarList& vars, const char* name) {
  VarBase* var = vars.Find(name);
  float* value = var != nullptr ? var->FloatValue() : nullptr;
  if (value == nullptr) throw std::logic_error(name);
  return *value;
}

VarFloat FloatParam(const char* name, uint32_t mode) {
  return VarFloat(VarType_Float, mode, name, 0.0f, FLT_MIN, FLT_MAX);
}

}  // namespace

void SetUpChannelFile() {
  static bool done = false;
  if (done) return;
  done = true;
  globalEngine->SetMessageSink(&DropMessage, nullptr);
  ProceduresManager& procedures = CoreFramework::Singleton<ProceduresManager>::Instance();

  VarList sum;
  sum.AddVar(FloatParam("a", VarMode_In));
  sum.AddVar(FloatParam("b", VarMode_In));
  sum.AddVar(FloatParam("sum", VarMode_Out));
  procedures.RegisterFunction("Fuzz", "Sum", true, sum, [](VarList& vars) {
    FloatOf(vars, "sum") = FloatOf(vars, "a") + FloatOf(vars, "b");
    return 0;
  });

  VarList move;
  move.AddVar(VarVec3(VarType_Vec3, VarMode_InOut, "pos", Vec3{0, 0, 0},
                      Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX}, Vec3{FLT_MAX, FLT_MAX, FLT_MAX}));
  move.AddVar(FloatParam("speed", VarMode_In));
  procedures.RegisterFunction("Fuzz", "Move", false, move, [](VarList& vars) {
    VarBase* pos = vars.Find("pos");
    Vec3* value = pos != nullptr ? pos->VectorValue() : nullptr;
    if (value == nullptr || vars._thisObject == nullptr) return 1;
    value->x += FloatOf(vars, "speed");
    return 0;
  });

  procedures.Register(std::make_unique<ThrowingProcedure>());

  procedures.Objects().Create("Fuzz", "target");
}

std::string RoundTripFailure(Zyr_Channel& loaded, const GUID& type) {
  return CheckRoundTrip(loaded, KindFor(type));
}

namespace {

std::string RunFile(std::vector<uint8_t> bytes) {
  ZyrFileLoader loader;
  if (!loader.Open(std::move(bytes))) return {};
  // Declared before the channels, so it outlives the ones that join it.
  Zyr_ChannelGroup group("FuzzGroup");
  GUID type;
  for (int record = 0; record < kMaxRecordsPerInput && loader.NextChannel(&type); ++record) {
    const Kind kind = KindFor(type);
    std::unique_ptr<Zyr_Channel> channel = Make(kind);
    if (!channel->LoadChannel(loader, (record & 1) != 0 ? &group : nullptr)) continue;
    std::string failure = CheckRoundTrip(*channel, kind);
    if (failure.empty() && kind == Kind::kPrcCall) {
      failure = CheckEvaluation(static_cast<Ubo_VanticPrcCall&>(*channel));
    }
    if (!failure.empty()) return "record " + std::to_string(record) + ": " + failure;
  }
  return {};
}

}  // namespace

std::string RunChannelFile(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  std::string failure = RunFile(bytes);
  // A mutation inside a record fails its checksum; the same input with its
  // checksums made good again takes the mutation to the channels' loaders.
  if (failure.empty() && ZyrResealRecords(&bytes) != 0) failure = RunFile(std::move(bytes));
  return failure;
}

}  // namespace fuzz_target
