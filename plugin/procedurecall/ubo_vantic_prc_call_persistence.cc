// Ubo_VanticPrcCall: the saved record and the channel's name.
#include <cfloat>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <string>

#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/shared_param_list.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace {

constexpr const char kTagOwnerClass[] = "OWNC";
constexpr const char kTagPrcName[] = "PRCN";
constexpr const char kTagStatic[] = "STTC";
constexpr const char kTagParamCount[] = "PRMS";
constexpr const char kTagParamType[] = "TYPE";
constexpr const char kTagParamMode[] = "MODE";
constexpr const char kTagParamName[] = "NAME";


constexpr const char kLoadHead[] = "Ubo_VanticPrcCall::LoadChannel";

// Joins owner class and procedure name in the channel's name.
constexpr const char kNameJoin[] = " :: ";

}  // namespace

bool Ubo_VanticPrcCall::SaveChannel(ZyrFileSaver& saver) {
  if (!MultiModeChannel::SaveChannel(saver)) return false;
  SaveChannelValue(saver, kTagOwnerClass, _prcOwnerClass);
  SaveChannelValue(saver, kTagPrcName, _prcName);
  SaveChannelValue(saver, kTagStatic, uint32_t{_bStatic ? 1u : 0u});
  SaveChannelValue(saver, kTagParamCount, static_cast<uint32_t>(_paramVars->_vars.size()));
  for (const VarBase* var : _paramVars->_vars) {
    SaveChannelValue(saver, kTagParamType, static_cast<uint32_t>(var->Type()));
    SaveChannelValue(saver, kTagParamMode, uint32_t{var->Mode()});
    SaveChannelValue(saver, kTagParamName, std::string(var->Name()));
  }
  return true;
}

namespace {

// The list every load reads its parameters into (engine calls come on one
// thread, and a load loads nothing else): it keeps its room, so a load
// allocates nothing for it.
VarList& LoadScratch() {
  static VarList list;
  return list;
}

}  // namespace

bool Ubo_VanticPrcCall::LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) {
  if (!MultiModeChannel::LoadChannel(loader, group)) return false;
  // The names may change below; executing the old procedure through the
  // new links would be wrong, so the next due evaluation binds afresh.
  Unbind();

  ReadChannelValue(loader, kTagOwnerClass, _prcOwnerClass);
  ReadChannelValue(loader, kTagPrcName, _prcName);
  uint32_t isStatic = 0;
  if (ReadChannelValue(loader, kTagStatic, isStatic)) _bStatic = (isStatic != 0);

  _paramVars = OwnParamList();
  // Read into the scratch list, then shared with the channels that loaded
  // the same layout (a copy at its exact size for the first): added one by
  // one, a list keeps up to twice the room it uses, and the channel keeps
  // this one while its procedure's parameters stay the same.
  VarList& loaded = LoadScratch();
  loaded.ClearVars();
  // Not reset between entries: a missing tag keeps the entry before's value.
  uint32_t type = 0;
  uint32_t mode = 0;
  std::string name;
  uint32_t count = 0;
  ReadChannelValue(loader, kTagParamCount, count);
  for (uint32_t i = 0; i < count; ++i) {
    // Every entry read consumes part of the record, so a count larger than
    // the record holds ends here rather than looping on.
    const bool gotType = ReadChannelValue(loader, kTagParamType, type);
    const bool gotMode = ReadChannelValue(loader, kTagParamMode, mode);
    const bool gotName = ReadChannelValue(loader, kTagParamName, name);
    if (!gotType && !gotMode && !gotName) {
      ReportDetail(kLoadHead, "ParametersMissing.Read[%u].Saved[%u]", i, count);
      break;
    }
    if (name.size() > kPrcMaxParamName) name.resize(kPrcMaxParamName);
    switch (type) {
      case VarType_Float:
        loaded.AddVar(VarFloat(VarType_Float, mode, name.c_str(), 0.0f, FLT_MIN, FLT_MAX));
        break;
      case VarType_Vec3:
        loaded.AddVar(VarVec3(VarType_Vec3, mode, name.c_str(), Vec3{0.0f, 0.0f, 0.0f},
                              Vec3{FLT_MIN, FLT_MIN, FLT_MIN},
                              Vec3{FLT_MAX, FLT_MAX, FLT_MAX}));
        break;
      default:
        ReportDetail(kLoadHead, "var->Type()");
        break;
    }
  }
  if (loaded.Count() != 0) _paramVars = LoadedParamList(loaded);

  CreateChildLinks();
  SetChannelNameFromOwnSetup();
  return true;
}

void Ubo_VanticPrcCall::SetChannelNameFromOwnSetup() {
  // Built on the stack when it fits (binding renames at every lookup).
  const size_t join = sizeof(kNameJoin) - 1;
  const size_t length = _prcOwnerClass.size() + join + _prcName.size();
  char local[256];
  if (length < sizeof(local)) {
    std::memcpy(local, _prcOwnerClass.data(), _prcOwnerClass.size());
    std::memcpy(local + _prcOwnerClass.size(), kNameJoin, join);
    std::memcpy(local + _prcOwnerClass.size() + join, _prcName.data(), _prcName.size());
    local[length] = '\0';
    SetChannelName(local);
    return;
  }
  std::string name;
  name.reserve(length);
  name.append(_prcOwnerClass).append(kNameJoin).append(_prcName);
  SetChannelName(name.c_str());
}
