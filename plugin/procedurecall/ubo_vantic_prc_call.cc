// Ubo_VanticPrcCall: the object, its names, its initial mode set and its
// dependency.
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

#include "hostapi/guid.h"
#include "plugin/procedurecall/shared_param_list.h"

namespace {

// The channel's own name before its first mode names it.
constexpr const char kChannelName[] = "VanticPrcCall";
// Front part of the automatic names: "VanticPrcCall_" + short name.
constexpr const char kNamePrefix[] = "VanticPrcCall_";
// Label of the mode choice.
constexpr const char kModeLabel[] = "Name:";

}  // namespace

Ubo_VanticPrcCall::Ubo_VanticPrcCall()
    : _prcRevision(0),
      _paramVars(OwnParamList()),
      _bStatic(true),
      _dueStatus(kPrcStatusOk) {
  SetChannelName(kChannelName);
  _namePrefix = kNamePrefix;
  _modeDescription = kModeLabel;
  SetCurrentMode(0);
}

Ubo_VanticPrcCall::Ubo_VanticPrcCall(const Ubo_VanticPrcCall& other)
    : MultiModeChannel(other),
      VeskProcedureUser(other),
      _prcOwnerClass(other._prcOwnerClass),
      _prcName(other._prcName),
      _prcRevision(0),
      _paramVars(OwnParamList(*other._paramVars)),
      _bStatic(other._bStatic),
      _dueStatus(kPrcStatusOk) {}

Ubo_VanticPrcCall::~Ubo_VanticPrcCall() = default;

void Ubo_VanticPrcCall::InitializeModes() { AddMode(0, "Call", "call"); }

void Ubo_VanticPrcCall::ModeIsSet() {}

void Ubo_VanticPrcCall::DoDependencyInit(Zyr_List* list) {
  AddChannelGuidDepend(guid::FromString(guid::kFloatChannelType), list);
}

const std::string& Ubo_VanticPrcCall::GetPrcOwnerClass() const { return _prcOwnerClass; }

void Ubo_VanticPrcCall::SetPrcOwnerClass(const std::string& owner) { _prcOwnerClass = owner; }

const std::string& Ubo_VanticPrcCall::GetPrcName() const { return _prcName; }

void Ubo_VanticPrcCall::SetPrcName(const std::string& name) { _prcName = name; }

Procedure* Ubo_VanticPrcCall::GetBoundProcedure() const { return _procedure.Get(); }

uint32_t Ubo_VanticPrcCall::GetPrcRevision() const { return _prcRevision; }

const VarList& Ubo_VanticPrcCall::GetParamVars() const { return *_paramVars; }

bool Ubo_VanticPrcCall::IsStatic() const { return _bStatic; }

void Ubo_VanticPrcCall::Unbind() {
  SetCurrentProcedure(nullptr);
  _procedure.Reset(nullptr);
}
