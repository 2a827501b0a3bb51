// Ubo_VanticPrcCall: the procedures of an owner class as modes, and binding
// to a procedure by its two names.
#include <string>
#include <vector>

#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace {

// Current mode given to a channel that had none when the modes are
// replaced, so that registering the new modes does not select mode 0.
constexpr uint32_t kModeNotListed = 999;

}  // namespace

void Ubo_VanticPrcCall::PrepareModesList(const std::string& owner) {
  _modes.clear();
  _modeOrder.clear();
  if (_currentMode == kNoMode) _currentMode = kModeNotListed;
  _tempLinks.clear();

  std::vector<std::string> names;
  CoreFramework::Singleton<ProceduresManager>::Instance().GetProceduresList(owner, names);
  if (names.empty()) {
    AddMode(0, "dummy", "no procedures found...");
  } else {
    for (size_t i = 0; i < names.size(); ++i) {
      const uint32_t code = static_cast<uint32_t>(i);
      AddMode(code, names[i], names[i]);
      if (names[i] == _prcName) _currentMode = code;
    }
  }
  _tempLinks.clear();
}

int Ubo_VanticPrcCall::UpdatePrc(const std::string& owner, const std::string& name) {
  // The report describes the channel as it is before any renaming below.
  // The names are arguments, never the format. The formatted text is taken
  // out of the shared holder before anything else can reuse it.
  const std::string heading(
      FormatTempString("UpdatingProcedure[%s/%s].", owner.c_str(), name.c_str()));
  std::string report = GetPrefixedMessage(heading.c_str());

  Unbind();
  _procedure = CoreFramework::Singleton<ProceduresManager>::Instance().GetProcedure(owner, name);
  if (_procedure == nullptr) {
    report += "NotFound!";
    ShowDebugMessageAtLevel(1, report);
    return kUpdatePrcNotFound;
  }

  SetCurrentProcedure(dynamic_cast<VeskProcedure*>(_procedure));
  _prcRevision = _procedure->_revision;
  _prcOwnerClass = owner;  // may be the field itself (GetFloat passes it)
  _prcName = name;
  SetChannelNameFromOwnSetup();

  // The static flag is compared as the links were made for it, and taken
  // over afterwards, so that a procedure that became static (or stopped
  // being static) gets its "This" link removed (or added).
  const bool rebuild = ShouldCreateChildLinks();
  _bStatic = _procedure->_isStatic;
  if (rebuild) {
    const std::string note(FormatTempString("CreatingNewSetOfChildLinks!"));
    ShowDebugMessageAtLevel(2, GetPrefixedMessage(note.c_str()));
    _paramVars->ClearVars();
    _paramVars->AddVars(_procedure->_params);
    CreateChildLinks();
  }

  report += "OK!";
  ShowDebugMessageAtLevel(2, report);
  return kUpdatePrcBound;
}
