// Ubo_VanticPrcCall: the procedures of an owner class as modes, and binding
// to a procedure by its two names.
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/shared_param_list.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

namespace {

// The procedure as a followable one, or null: a checked downcast that tells
// the framework's own kind by its exact type first, without walking the
// class tree. The type records are compared by address: one record means
// one type, and two records of one type only take the longer way.
// (type_info's operator== would be emitted, and exported, where the
// compiler does not inline it.)
VeskProcedure* AsVeskProcedure(Procedure& procedure) {
  if (&typeid(procedure) == &typeid(VeskProcedure)) return static_cast<VeskProcedure*>(&procedure);
  return dynamic_cast<VeskProcedure*>(&procedure);
}

// The note of a binding that makes the child links again.
constexpr char kRebuildNote[] = "CreatingNewSetOfChildLinks!";

// Current mode given to a channel that had none when the modes are
// replaced, so that registering the new modes does not select mode 0.
constexpr uint32_t kModeNotListed = 999;

// Makes `modes` and `order` what emptying them and adding mode i named
// names[i] (both names) for every i would make, reusing the entries there
// are: an entry keeps its node and its strings' room. Only where that
// needs no report: some names, none empty, codes in range, and `modes`
// holding the codes 0 to size-1 (the usual case: an earlier list). False,
// changing nothing, otherwise.
bool ReuseModes(PrcCallModeChannel::ModeMap& modes, std::vector<uint32_t>& order,
                const std::vector<std::string>& names) {
  const size_t count = names.size();
  if (count == 0 || count - 1 > kMaxModeCode) return false;
  if (!modes.empty() && modes.rbegin()->first != modes.size() - 1) return false;
  for (const std::string& name : names) {
    if (name.empty()) return false;
  }
  modes.erase(modes.lower_bound(static_cast<uint32_t>(count)), modes.end());
  size_t i = 0;
  for (auto& [code, description] : modes) {
    description.Name = names[i];
    description.ShortName = names[i];
    description.Children.clear();
    description.OrderIndex = code;
    ++i;
  }
  for (; i < count; ++i) {
    const uint32_t code = static_cast<uint32_t>(i);
    modes.emplace_hint(modes.end(), code, ModeDescription{names[i], names[i], {}, code});
  }
  order.resize(count);
  for (size_t k = 0; k < count; ++k) order[k] = static_cast<uint32_t>(k);
  return true;
}

}  // namespace

void Ubo_VanticPrcCall::PrepareModesList(const std::string& owner) {
  std::vector<std::string> names;
  CoreFramework::Singleton<ProceduresManager>::Instance().GetProceduresList(owner, names);
  if (_currentMode == kNoMode) _currentMode = kModeNotListed;
  _tempLinks.clear();
  if (ReuseModes(_modes, _modeOrder, names)) {
    _initMode = static_cast<uint32_t>(names.size() - 1);  // as the last AddMode leaves it
  } else {
    _modes.clear();
    _modeOrder.clear();
    if (names.empty()) AddMode(0, "dummy", "no procedures found...");
    for (size_t i = 0; i < names.size(); ++i) AddMode(static_cast<uint32_t>(i), names[i], names[i]);
  }
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == _prcName) _currentMode = static_cast<uint32_t>(i);
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
    SetCurrentProcedure(AsVeskProcedure(*_procedure));
    _prcOwnerClass = std::move(toOwner);
    _prcName = std::move(toName);
    reportOwner = &_prcOwnerClass;
    reportName = &_prcName;
    SetChannelNameFromOwnSetup();

    // The static flag is compared as the links were made for it, and taken
    // over afterwards, so that a procedure that became static (or stopped
    // being static) gets its "This" link removed (or added).
    if (ShouldCreateChildLinks()) {
      // Formatted through the shared holder and buffer, which then read the
      // note, as they do after every text of a report; shown from the
      // literal, which is the same text.
      FormatTempString(kRebuildNote);
      ShowPrefixedMessage(2, kRebuildNote);
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
