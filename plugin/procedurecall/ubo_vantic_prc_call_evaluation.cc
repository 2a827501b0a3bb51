// Ubo_VanticPrcCall: evaluation, and following updates of the procedure.
#include <string>

#include "plugin/diagnostics/diagnostic_report.h"
#include "plugin/procedurecall/scratch_var_list.h"
#include "plugin/procedurecall/ubo_vantic_prc_call.h"

float Ubo_VanticPrcCall::GetFloat() {
  // Read again within this render count (or re-entered through a loop of
  // call channels): the status of the last due evaluation.
  if (!CheckRenderCount()) return _dueStatus;
  // GetFloat is called by the engine, which knows nothing of exceptions:
  // whatever is thrown while the channel evaluates (a child channel that
  // throws while its value is read, memory running out) ends here. Inputs
  // that could not be read count as inputs not taken; anything else as a
  // failed evaluation.
  try {
    _dueStatus = EvaluateDue();
  } catch (...) {
    Ubo_FloatChannel::SetFloat(kPrcStatusFailed);
    _dueStatus = kPrcStatusFailed;
    ReportEvaluationFailure("UnexpectedFailure.Skipping...");
  }
  return _dueStatus;
}

float Ubo_VanticPrcCall::EvaluateDue() {
  // A bound channel costs one comparison here; only an unbound or stale
  // one looks its procedure up by name.
  if (_procedure == nullptr || _procedure->_revision != _prcRevision) {
    if (UpdatePrc(_prcOwnerClass, _prcName) != kUpdatePrcBound) {
      ReportEvaluationFailure("CannotFindProcedure.Skipping...");
      Ubo_FloatChannel::SetFloat(kPrcStatusFailed);
      return _value;
    }
  }

  // The evaluation holds the procedure it bound until it ends. Reading a
  // child, or the body itself, may rebind or unbind this channel
  // (UpdatePrc, LoadChannel) and retire the procedure; it is executed all
  // the same, and not freed while its body runs.
  const ProcedureHold running(_procedure);
  // Each execution works on its own copy of the parameter list.
  ScratchVarList lease(running->_params);
  VarList& work = lease.List();
  int converted;
  try {
    converted = ProcedureForVesk::FromDataChannelToVar(this, &work, kPrcDirectionIn);
  } catch (...) {
    converted = -1;  // a child that throws while it is read gives no input
  }
  if (converted != 0) {
    ReportEvaluationFailure("ProcedureForVesk::FromDataChannelToVar()");
    Ubo_FloatChannel::SetFloat(kPrcStatusInputs);
    return _value;
  }
  int executed;
  try {
    executed = running->Execute(work);
  } catch (...) {
    executed = -1;  // a throwing procedure has failed; the engine never sees it
  }
  if (executed != 0) {
    ReportEvaluationFailure("_procedure->Execute()");
    Ubo_FloatChannel::SetFloat(kPrcStatusFailed);
    return _value;
  }
  ProcedureForVesk::FromVarToDataChannel(&work, this, kPrcDirectionOut);
  Ubo_FloatChannel::SetFloat(kPrcStatusOk);
  return _value;
}

void Ubo_VanticPrcCall::ReportEvaluationFailure(const char* text) noexcept {
  ShowPrefixedMessage(1, text, _engine);
}

void Ubo_VanticPrcCall::OnProcedureUpdate() {
  if (_currentProcedure == nullptr) return;
  _prcOwnerClass = _currentProcedure->_ownerClass;
  _prcName = _currentProcedure->_name;
  SetChannelNameFromOwnSetup();
}
