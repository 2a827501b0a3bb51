// Ubo_VanticPrcCall: the procedures of an owner class as modes, and binding
// to a procedure by its two names.
#include <string>
#include <utility>
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
  // The arguments may be the channel's own fields, even crosswise: both are
  // copied before either field changes.
  std::string toOwner(owner);
  std::string toName(name);

  // The report describes the channel as it is before any renaming below.
  // The names are arguments, never the format. The formatted text is taken
  // out of the shared holder before anything else can reuse it. Without
  // memory for it, the report is made in the message buffer at the end.
  std::string report;
  bool reportMade = false;
  const std::string* reportOwner = &toOwner;
  const std::string* reportName = &toName;
  try {
    const std::string heading(
        FormatTempString("UpdatingProcedure[%s/%s].", toOwner.c_str(), toName.c_str()));
    report = GetPrefixedMessage(heading.c_str());
    reportMade = true;
  } catch (...) {
  }
  auto showReport = [&](unsigned level, const char* outcome) noexcept {
    try {
      if (reportMade) {
        report += outcome;
        ShowDebugMessageAtLevel(level, report);
        return;
      }
    } catch (...) {
    }
    ShowDebugMessageAtLevel(level, FormatPrefixedInBuffer("UpdatingProcedure[%s/%s].%s",
                                                          reportOwner->c_str(), reportName->c_str(),
                                                          outcome));
  };

  Unbind();
  _procedure = CoreFramework::Singleton<ProceduresManager>::Instance().GetProcedure(toOwner, toName);
  if (_procedure == nullptr) {
    showReport(1, "NotFound!");
    return kUpdatePrcNotFound;
  }

  // Whatever fails from here on (memory running out) leaves the channel
  // unbound, with a parameter list and static flag that still differ from
  // the procedure's when the links were being rebuilt: the next due
  // evaluation binds again and makes the links whole.
  try {
    SetCurrentProcedure(dynamic_cast<VeskProcedure*>(_procedure));
    _prcOwnerClass.swap(toOwner);
    _prcName.swap(toName);
    reportOwner = &_prcOwnerClass;
    reportName = &_prcName;
    SetChannelNameFromOwnSetup();

    // The static flag is compared as the links were made for it, and taken
    // over afterwards, so that a procedure that became static (or stopped
    // being static) gets its "This" link removed (or added).
    if (ShouldCreateChildLinks()) {
      ShowPrefixedMessage(2, "CreatingNewSetOfChildLinks!");
      // A list shared with other channels is replaced, never changed.
      const ParamListRef previous = _paramVars;
      const bool wasStatic = _bStatic;
      _paramVars = SharedParamList(*_procedure);
      _bStatic = _procedure->_isStatic;
      try {
        CreateChildLinks();
      } catch (...) {
        _paramVars = previous;
        _bStatic = wasStatic;
        throw;
      }
    }
    _bStatic = _procedure->_isStatic;
    _prcRevision = _procedure->_revision;  // last: now the channel is bound
  } catch (...) {
    Unbind();
    throw;
  }

  showReport(2, "OK!");
  return kUpdatePrcBound;
}
