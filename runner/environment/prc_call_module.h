// PrcCallModule: the exported members of the procedure-call module that a
// host calls by name, without linking the module.
//
// The module exports its channel classes whole under their decorated
// names. The runner resolves, from the handle the module loader holds:
//   Ubo_VanticPrcCall::PrepareModesList(const std::string&)
//   Ubo_VanticPrcCall::UpdatePrc(const std::string&, const std::string&)
//   MultiModeChannel<Ubo_FloatChannel,Ubo_VanticPrcCall>::GetModeCount()
//   MultiModeChannel<...>::GetModeFromIndex(unsigned)
//   MultiModeChannel<...>::GetModeDescription(unsigned) const
//   MultiModeChannel<...>::ClearModes()
//   MultiModeChannel<...>::AddMode(unsigned, const std::string&, const std::string&)
// and, when the module exports them, its read-only views
//   Ubo_VanticPrcCall::GetBoundProcedure() const
//   Ubo_VanticPrcCall::GetPrcRevision() const
// and calls them as the platform's C++ ABI lays member functions out: a
// plain function whose first argument is the object. The object is the
// channel's most derived object (dynamic_cast<void*>), which is both the
// Ubo_VanticPrcCall and, as its first base at offset 0, the MultiModeChannel.
#ifndef RUNNER_ENVIRONMENT_PRC_CALL_MODULE_H_
#define RUNNER_ENVIRONMENT_PRC_CALL_MODULE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/engine/module_loader.h"
#include "hostapi/channel_type.h"
#include "hostapi/zyr_channel.h"

namespace dravik {

// The record GetModeDescription answers, as the module exports it: a mode's
// name, short name, child links and display position.
struct ExportedModeDescription {
  std::string Name;
  std::string ShortName;
  std::vector<ChildCreation> Children;
  uint32_t OrderIndex;
};

struct ModeEntry {
  uint32_t orderIndex = 0;
  uint32_t code = 0;
  std::string shortName;
  std::string name;
};

// Decorated names of the members above (Itanium C++ ABI).
inline constexpr const char kPrepareModesListSymbol[] =
    "_ZN17Ubo_VanticPrcCall16PrepareModesListERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
inline constexpr const char kUpdatePrcSymbol[] =
    "_ZN17Ubo_VanticPrcCall9UpdatePrcERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEES7_";
inline constexpr const char kGetModeCountSymbol[] =
    "_ZN16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE12GetModeCountEv";
inline constexpr const char kGetModeFromIndexSymbol[] =
    "_ZN16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE16GetModeFromIndexEj";
inline constexpr const char kGetModeDescriptionSymbol[] =
    "_ZNK16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE18GetModeDescriptionEj";
inline constexpr const char kClearModesSymbol[] =
    "_ZN16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE10ClearModesEv";
inline constexpr const char kAddModeSymbol[] =
    "_ZN16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE7AddModeEjRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEESA_";

inline constexpr const char kGetBoundProcedureSymbol[] = "_ZNK17Ubo_VanticPrcCall17GetBoundProcedureEv";
inline constexpr const char kGetPrcRevisionSymbol[] = "_ZNK17Ubo_VanticPrcCall14GetPrcRevisionEv";

// A call channel's binding: unbound (no procedure), bound (the procedure's
// revision is the one the channel took over) or stale (it is not: the
// procedure changed or left the registry since).
struct CallBinding {
  enum class State { kUnbound, kBound, kStale };
  State state = State::kUnbound;
  uint32_t revision = 0;           // the revision the channel took over
  uint32_t procedureRevision = 0;  // the procedure's revision now (bound or stale)
  std::string procedure;           // "Owner::Name" of the procedure held (bound or stale)
};

const char* CallBindingStateName(CallBinding::State state);  // "unbound", "bound", "stale"

class PrcCallModule {
 public:
  PrcCallModule() = default;

  // Resolves the members from `module`. True on success; false with *error
  // naming the first missing symbol. REQUIRES: `module` stays loaded while
  // this object is used.
  bool Bind(const LoadedModule& module, std::string* error);
  bool IsBound() const { return _prepare != nullptr; }
  const GUID& TypeGuid() const { return _type; }

  // Whether `channel` is of the module's channel type.
  bool Owns(Zyr_Channel& channel) const;

  // Replaces the type's modes by `owner`'s procedures (through `channel`,
  // whose current mode follows its procedure name). False, doing nothing,
  // when `channel` is not the module's or the members are not bound.
  bool PrepareModesList(Zyr_Channel& channel, const std::string& owner) const;

  // Binds `channel` to owner::name now, as its next due evaluation would:
  // 0 bound, 3 no such procedure, -1 when `channel` is not the module's.
  int UpdatePrc(Zyr_Channel& channel, const std::string& owner, const std::string& name) const;

  // The type's modes in display order. Empty when not bound.
  std::vector<ModeEntry> Modes(Zyr_Channel& channel) const;

  // Registers `mode` (its code, short name and name) after the type's
  // modes, through `channel`; a code registered already keeps its
  // description, and so does a name the module refuses (it reports that).
  // False, doing nothing, when `channel` is not the module's.
  bool AddMode(Zyr_Channel& channel, const ModeEntry& mode) const;

  // Makes the type's modes exactly `modes`, in that order: ClearModes on
  // `channel`, which also leaves it without a mode and without links, then
  // AddMode for each. The registry then counts as not built: while it
  // holds code 0, a channel of the type made afterwards, or switched to a
  // mode (SetCurrentMode, which LoadChannel calls), meets the module's
  // std::out_of_range. So it is for a host putting back the registry of
  // channels it has loaded already, through a channel of its own. False,
  // doing nothing, when `channel` is not the module's.
  bool ReplaceModes(Zyr_Channel& channel, const std::vector<ModeEntry>& modes) const;

  // Reads `channel`'s binding. False, doing nothing, when `channel` is not
  // the module's or the module does not export the views.
  bool ReadBinding(Zyr_Channel& channel, CallBinding* binding) const;

 private:
  using PrepareFn = void (*)(void* self, const std::string& owner);
  using UpdateFn = int (*)(void* self, const std::string& owner, const std::string& name);
  using CountFn = uint32_t (*)(void* self);
  using FromIndexFn = uint32_t (*)(void* self, uint32_t index);
  using DescriptionFn = const ExportedModeDescription* (*)(const void* self, uint32_t mode);
  using ClearFn = void (*)(void* self);
  using AddFn = void (*)(void* self, uint32_t mode, const std::string& shortName, const std::string& name);
  using BoundFn = const void* (*)(const void* self);  // Procedure*
  using RevisionFn = uint32_t (*)(const void* self);

  GUID _type{};
  PrepareFn _prepare = nullptr;
  UpdateFn _update = nullptr;
  CountFn _count = nullptr;
  FromIndexFn _fromIndex = nullptr;
  DescriptionFn _description = nullptr;
  ClearFn _clear = nullptr;
  AddFn _add = nullptr;
  BoundFn _bound = nullptr;        // optional
  RevisionFn _revision = nullptr;  // optional
};

}  // namespace dravik

#endif  // RUNNER_ENVIRONMENT_PRC_CALL_MODULE_H_
