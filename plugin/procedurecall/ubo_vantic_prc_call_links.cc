// Ubo_VanticPrcCall: the child links made for the procedure's parameters.
#include <cstring>

#include "hostapi/guid.h"
#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace {

// The target-object link of a procedure that is not static.
constexpr const char kThisTypeName[] = "CoreRef";
constexpr const char kThisLinkName[] = "This";
// Links of float and 3-vector parameters.
constexpr const char kFloatTypeName[] = "Value";
constexpr const char kVectorTypeName[] = "Value Vector";

const GUID kCoreRefGuid = guid::FromString(guid::kCoreRefChannelType);
const GUID kFloatGuid = guid::FromString(guid::kFloatChannelType);
const GUID kVectorGuid = guid::FromString(guid::kVectorChannelType);

// Whether two variables ask for the same link: same type, mode and name
// (byte-wise, case-sensitive). Values and bounds do not count.
bool SameLink(const VarBase& a, const VarBase& b) {
  return a.Type() == b.Type() && a.Mode() == b.Mode() && std::strcmp(a.Name(), b.Name()) == 0;
}

}  // namespace

bool Ubo_VanticPrcCall::ShouldCreateChildLinks() const {
  if (_procedure == nullptr) {
    ReportAssertionFailure("Ubo_VanticPrcCall::ShouldCreateChildLinks", "_procedure");
    return false;  // nothing to compare with, nothing to rebuild from
  }
  if (_procedure->_isStatic != _bStatic) return true;
  // A list copied from a registered procedure knows its layout: one
  // comparison, without reading the procedure's variables.
  const uint32_t layout = _paramVars.Layout();
  if (layout != 0 && _procedure->_layout != 0) return layout != _procedure->_layout;
  const auto& theirs = _procedure->_params._vars;
  const auto& ours = _paramVars->_vars;
  if (theirs.size() != ours.size()) return true;
  for (size_t i = 0; i < theirs.size(); ++i) {
    if (!SameLink(*ours[i], *theirs[i])) return true;
  }
  return false;
}

void Ubo_VanticPrcCall::CreateChildLinks() {
  SetChildCreationCount(0);
  // One record, edited per link: a field a link does not set keeps the
  // value of the link before.
  ChildCreation record;
  int index = -1;
  if (!_bStatic) {
    CheckedStringCopy(record.Type._name, sizeof(record.Type._name), kThisTypeName);
    record.Type._typeGuid = kCoreRefGuid;
    record.LinkMode = kLinkModeInput;
    CheckedStringCopy(record.LinkName, sizeof(record.LinkName), kThisLinkName);
    index = 0;
    record.LinkIndex = index;
    SetChildCreateType(record, index);
  }
  for (const VarBase* var : _paramVars->_vars) {
    switch (var->Type()) {
      case VarType_Float:
        record.Type._typeGuid = kFloatGuid;
        CheckedStringCopy(record.Type._name, sizeof(record.Type._name), kFloatTypeName);
        break;
      case VarType_Vec3:
        record.Type._typeGuid = kVectorGuid;
        CheckedStringCopy(record.Type._name, sizeof(record.Type._name), kVectorTypeName);
        break;
      default:
        break;  // keeps the type of the link before
    }
    switch (var->Mode()) {
      case VarMode_In:
        record.LinkMode = kLinkModeInput;
        break;
      case VarMode_Out:
        record.LinkMode = kLinkModeOutput;
        break;
      case VarMode_InOut:
        record.LinkMode = kLinkModeInputOutput;
        break;
      default:
        ReportDetail("Ubo_VanticPrcCall::CreateChildLinks", "var->Mode()");
        break;
    }
    // The name is plain text, cut to the field ('%' stays literal).
    CheckedStringCopy(record.LinkName, sizeof(record.LinkName), var->Name());
    ++index;
    record.LinkIndex = index;
    SetChildCreateType(record, index);
  }
}
