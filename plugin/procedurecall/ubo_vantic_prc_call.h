// Ubo_VanticPrcCall: the procedure-call channel.
//
// Calls one procedure of the object framework, named by owner class and
// procedure name. At each due evaluation it binds (when unbound or stale),
// fills the procedure's inputs from its child links, executes it, writes
// the outputs back and answers a status as its float value: 0.0 success (or
// not due), 1.0 no procedure or execution failed, 3.0 inputs not taken.
#ifndef PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_
#define PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_

#include <cstdint>
#include <string>

#include "hostapi/float_channel.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "plugin/entry/plugin_export.h"
#include "plugin/multimode/multi_mode_channel.h"

class Ubo_VanticPrcCall;

template <>
struct ChannelClassName<Ubo_VanticPrcCall> {
  static constexpr const char* kName = "Ubo_VanticPrcCall";
};

// Status values answered by GetFloat.
inline constexpr float kPrcStatusOk = 0.0f;
inline constexpr float kPrcStatusFailed = 1.0f;
inline constexpr float kPrcStatusInputs = 3.0f;

extern template class VPC_PLUGIN_API MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>;

class VPC_PLUGIN_API Ubo_VanticPrcCall
    : public MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>,
      public VeskProcedureUser {
 public:
  // An unbound channel: empty names, _bStatic true, an empty parameter list
  // of its own, named "VanticPrcCall_" + the short name of mode 0.
  Ubo_VanticPrcCall();
  // The copy has its own parameter list holding copies of the variables,
  // the same names, and is bound to nothing.
  Ubo_VanticPrcCall(const Ubo_VanticPrcCall& other);
  Ubo_VanticPrcCall& operator=(const Ubo_VanticPrcCall&) = delete;
  // Deletes the parameter list; never the procedure.
  ~Ubo_VanticPrcCall() override;

  // ---- channel interface ----
  bool SaveChannel(ZyrFileSaver& saver) override;
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;
  void DoDependencyInit(Zyr_List* list) override;
  float GetFloat() override;
  void InitializeModes() override;
  void ModeIsSet() override;

  // ---- VeskProcedureUser ----
  void OnProcedureUpdate() override;

  // ---- names ----
  const std::string& GetPrcOwnerClass() const { return _prcOwnerClass; }
  void SetPrcOwnerClass(const std::string& owner) { _prcOwnerClass = owner; }
  const std::string& GetPrcName() const { return _prcName; }
  void SetPrcName(const std::string& name) { _prcName = name; }

  // ---- modes and binding ----
  // Replaces the type's modes by `owner`'s procedures (codes 0, 1, ... in
  // the framework's order; "dummy" when there are none) and moves this
  // channel's current mode to the position of its procedure name.
  void PrepareModesList(const std::string& owner);
  // Looks the procedure up and binds to it. 0 bound, 3 not found (the
  // channel is then unbound and keeps its names).
  int UpdatePrc(const std::string& owner, const std::string& name);

  // ---- read-only views for hosts and tests ----
  Procedure* GetBoundProcedure() const { return _procedure; }
  uint32_t GetPrcRevision() const { return _prcRevision; }
  const VarList& GetParamVars() const { return *_paramVars; }
  bool IsStatic() const { return _bStatic; }

 private:
  friend class PrcCallTestPeer;

  bool ShouldCreateChildLinks() const;
  void CreateChildLinks();
  void SetChannelNameFromOwnSetup();

  std::string _prcOwnerClass;
  std::string _prcName;
  uint32_t _prcRevision;
  Procedure* _procedure;
  VarList* _paramVars;
  bool _bStatic;
};

// The registry of this channel type is defined, in the module's load order,
// with the module's other static objects; these declare those definitions.
using PrcCallModeChannel = MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>;
template <>
PrcCallModeChannel::ModeMap PrcCallModeChannel::_modes;
template <>
std::vector<uint32_t> PrcCallModeChannel::_modeOrder;
template <>
std::vector<std::vector<ChildCreation>> PrcCallModeChannel::_tempLinks;
template <>
uint32_t PrcCallModeChannel::_refCount;
template <>
bool PrcCallModeChannel::_bModesInitialized;

#endif  // PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_
