// Ubo_VanticPrcCall: the procedure-call channel.
//
// Calls one procedure of the object framework, named by owner class and
// procedure name. At each due evaluation it binds (when unbound or stale),
// fills the procedure's inputs from its child links, executes it, writes
// the outputs back and answers a status as its float value: 0.0 success,
// 1.0 no procedure or execution failed, 3.0 inputs not taken.
//
// Reads within one render count: the first read is the due evaluation;
// every later read of the same count answers the status that evaluation
// set, without evaluating, reporting or touching the float value (a
// procedure may have written an output into it since). In a loop of call
// channels, the channel read again while its own evaluation is still
// running answers the status of its previous due evaluation (0.0 before
// the first one).
//
// Binding states:
//   unbound  _procedure null
//   bound    _procedure set, _procedure->_revision == _prcRevision
//   stale    _procedure set, revisions differ (the procedure changed or was
//            retired); the next due evaluation looks it up again by name
// A channel holds the procedure it is bound to (ProcedureHold), so that a
// retired one stays readable until the channel lets it go by binding again.
// A due evaluation also holds the procedure it bound at its start until it
// ends, and executes that one: a child read on the way, or the body itself,
// may rebind, reload or unbind the channel and retire the procedure.
//
// Child links follow _bStatic and _paramVars: link 0 is "This" (a
// "CoreRef" channel, the target object) when the procedure is not static,
// then one link per parameter in list order ("Value" for a float, "Value
// Vector" for a 3-vector).
//
// Saved record, after the engine's part and the modes' "MODE"/"UACN":
//   "OWNC" string   owner class
//   "PRCN" string   procedure name
//   "STTC" uint32   1 static, 0 not
//   "PRMS" uint32   n, the number of parameters
//   n times: "TYPE" uint32 (0 float, 1 vector), "MODE" uint32 (1, 2, 3),
//            "NAME" string
//
// All calls come on the engine's thread; nothing here is locked.
#ifndef PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_
#define PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hostapi/float_channel.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"
#include "plugin/entry/plugin_export.h"
#include "plugin/multimode/multi_mode_channel.h"
#include "plugin/procedurecall/shared_param_list.h"

class VPC_PLUGIN_API Ubo_VanticPrcCall;

template <>
struct ChannelClassName<Ubo_VanticPrcCall> {
  static constexpr const char* kName = "Ubo_VanticPrcCall";
};

// Status values answered by GetFloat.
inline constexpr float kPrcStatusOk = 0.0f;
inline constexpr float kPrcStatusFailed = 1.0f;
inline constexpr float kPrcStatusInputs = 3.0f;

// Results of UpdatePrc.
inline constexpr int kUpdatePrcBound = 0;
inline constexpr int kUpdatePrcNotFound = 3;

// Direction selectors handed to the framework's channel converters.
inline constexpr unsigned short kPrcDirectionIn = 1;
inline constexpr unsigned short kPrcDirectionOut = 2;

// Longest parameter name a loaded variable keeps (the framework's field
// holds 255 characters and the terminator).
inline constexpr size_t kPrcMaxParamName = kVarNameSize - 1;

// The registry of this channel type is defined, in the module's load order,
// with the module's other static objects; these declare those definitions.
// They come before the explicit instantiation: a member may not be
// specialized after an instantiation that names it (clang refuses it). The
// instantiation is exported because the template and both its arguments
// are (VPC_PLUGIN_API), not through the declaration below, which would come
// too late to give it an attribute.
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

extern template class MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>;

class VPC_PLUGIN_API Ubo_VanticPrcCall
    : public MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>,
      public VeskProcedureUser {
 public:
  // An unbound channel: empty names, _prcRevision 0, _bStatic true, an empty
  // parameter list of its own. Sets the name prefix "VanticPrcCall_" and
  // selects mode 0, which builds the type's registry when it is not built
  // (one mode, "Call"), so the channel is named "VanticPrcCall_Call".
  // Throws std::bad_alloc when memory runs out (InitDLL turns that into
  // null).
  Ubo_VanticPrcCall();
  // The copy has the same names, static flag, link descriptions (copied by
  // the engine's part) and its own parameter list holding copies of the
  // variables. It is bound to nothing and follows no procedure: its first
  // due evaluation binds it by the names. There is no copy assignment.
  Ubo_VanticPrcCall(const Ubo_VanticPrcCall& other);
  Ubo_VanticPrcCall& operator=(const Ubo_VanticPrcCall&) = delete;
  // Deletes the parameter list; never the procedure, which it stops
  // holding. The framework's part stops following the procedure.
  ~Ubo_VanticPrcCall() override;

  // ---- channel interface ----
  // Writes the engine's and the modes' parts, then the record above.
  // Returns false, writing nothing of its own, when a base part fails;
  // otherwise true (the writer's own results are not looked at).
  bool SaveChannel(ZyrFileSaver& saver) override;
  // Reads the engine's and the modes' parts (false at once when they fail),
  // then the record above: missing "OWNC"/"PRCN"/"STTC" keep the field, a
  // missing "PRMS" means no parameter, a missing entry tag keeps the value
  // of the entry before. Entries of another type than 0 or 1 are reported
  // and skipped; a count larger than the entries present is reported and
  // cut. Names longer than kPrcMaxParamName are cut. Then rebuilds the
  // child links from what was read and names the channel
  // "<owner> :: <name>". A bound channel is unbound (its next due
  // evaluation binds by the loaded names). Always true past the bases.
  bool LoadChannel(ZyrFileLoader& loader, Zyr_ChannelGroup* group) override;
  // Adds one dependency, on the float channel type, to `list` (ignored when
  // null). The engine's own dependencies are not added.
  void DoDependencyInit(Zyr_List* list) override;
  // Evaluates when due (see the class comment) and returns the status,
  // which is also the channel's float value. Not due: the status of the
  // last due evaluation, the float value unchanged. Never throws out of a
  // procedure's Execute: a throwing procedure counts as failed (1.0).
  float GetFloat() override;
  // Registers the type's initial mode set: code 0, "Call", "call".
  void InitializeModes() override;
  // Does nothing.
  void ModeIsSet() override;

  // ---- VeskProcedureUser ----
  // The followed procedure changed: takes its owner class and name over and
  // renames the channel. The binding, the parameter list and the links stay.
  // Ignored while the channel follows no procedure.
  void OnProcedureUpdate() override;

  // ---- names ----
  // The setters change the stored names only: no renaming, no binding. A
  // bound channel goes on executing its procedure until it binds again.
  const std::string& GetPrcOwnerClass() const;
  void SetPrcOwnerClass(const std::string& owner);
  const std::string& GetPrcName() const;
  void SetPrcName(const std::string& name);

  // ---- modes and binding ----
  // Replaces the type's modes, for every channel of the type, by `owner`'s
  // procedures: code i and both names = the i-th procedure name, in the
  // framework's order; one mode 0 "dummy" / "no procedures found..." when
  // the owner has none. This channel's current mode becomes the position of
  // its procedure name (the last one when it occurs twice), else stays, or
  // becomes 999 when it was none. Nothing else of this channel or of the
  // others changes.
  void PrepareModesList(const std::string& owner);
  // Looks the procedure `owner`/`name` up and binds to it. On success
  // (kUpdatePrcBound): follows it (when it is a VeskProcedure), takes over
  // its revision, static flag and the two names, renames the channel, and
  // rebuilds the parameter list and child links when the parameters or the
  // static flag differ; reports "UpdatingProcedure[owner/name].OK!" at
  // level 2 (after "CreatingNewSetOfChildLinks!" when rebuilding). When
  // there is no such procedure (kUpdatePrcNotFound): reports
  // "...NotFound!" at level 1 and leaves the channel unbound, following
  // nothing, everything else unchanged. The arguments may be the channel's
  // own names, in either order. Throws std::bad_alloc when memory runs out,
  // leaving the channel unbound (its next due evaluation binds again and
  // rebuilds what was half made).
  int UpdatePrc(const std::string& owner, const std::string& name);

  // ---- read-only views for hosts and tests ----
  Procedure* GetBoundProcedure() const;
  uint32_t GetPrcRevision() const;
  // The parameter variables the child links were made for. The list is
  // replaced when the links are made again (binding to other parameters,
  // loading); a reference to it holds until then.
  const VarList& GetParamVars() const;
  bool IsStatic() const;

 private:
  friend class PrcCallTestPeer;

  // True when the child links must be rebuilt for the bound procedure: its
  // static flag differs from _bStatic, or its parameter list differs from
  // _paramVars in count or, per position, in type, mode or name (values and
  // bounds do not count). REQUIRES: _procedure set; otherwise reported
  // ("_procedure") and false.
  bool ShouldCreateChildLinks() const;
  // Replaces every declared child link by the links for _bStatic and
  // _paramVars. A variable mode outside 1 to 3 is reported and its link
  // made with the link mode of the link before.
  void CreateChildLinks();
  // Names the channel "<_prcOwnerClass> :: <_prcName>".
  void SetChannelNameFromOwnSetup();
  // The body of a due evaluation; may throw, GetFloat catches.
  float EvaluateDue();
  // Shows the prefixed `text` at level 1, globally and through _engine.
  // Never throws.
  void ReportEvaluationFailure(const char* text) noexcept;
  // Forgets the bound procedure and stops following it.
  void Unbind();

  std::string _prcOwnerClass;
  std::string _prcName;
  uint32_t _prcRevision;
  ProcedureHold _procedure;  // held, not owned; null when unbound
  // Never null. Shared with the other channels bound to the same procedure
  // (see shared_param_list.h) and then never changed: a channel that needs
  // other parameters takes another list.
  ParamListRef _paramVars;
  bool _bStatic;
  float _dueStatus;  // the status the last due evaluation set
};

#endif  // PLUGIN_PROCEDURECALL_UBO_VANTIC_PRC_CALL_H_
