// Procedures of the object framework: Procedure, VeskProcedure (one that
// users can follow), VeskProcedureUser, the registry ProceduresManager and
// its singleton access, and ProcedureForVesk's channel converters.
#ifndef HOSTAPI_VANTIC_PROCEDURE_H_
#define HOSTAPI_VANTIC_PROCEDURE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "hostapi/export.h"
#include "hostapi/vantic_objects.h"
#include "hostapi/vantic_vars.h"
#include "hostapi/zyr_channel.h"

// A callable procedure with a typed parameter list.
//
// `_revision` changes (to a value never used before) whenever the procedure
// changes: parameters, static flag, names, removal. A caller that remembers
// the revision it saw can tell that its view is stale by one comparison.
// It is 0 until the procedure is registered (ProceduresManager::Register).
// The members are read directly; change them only through the manager.
//
// Lifetime: a registered procedure belongs to its manager. Once retired
// (removed) it stays readable while anything can reach it: a ProcedureHold
// or a follower (VeskProcedureUser). After that the manager frees it.
class VANTIC_API Procedure {
 public:
  // Holds a copy of `params`; revision 0.
  Procedure(std::string ownerClass, std::string name, bool isStatic, const VarList& params);
  Procedure(const Procedure&) = delete;
  Procedure& operator=(const Procedure&) = delete;
  virtual ~Procedure();

  // Reads the inputs from `vars`, writes the results into it. 0 is success.
  // The base has no body and answers 1.
  virtual int Execute(VarList& vars);

  // The number of ProcedureHolds on this procedure.
  uint32_t HoldCount() const { return _holds; }

  // What binding reads (revision, layout, flags, holds and names) comes
  // first, in as few cache lines as they fit; the parameters behind.
  uint32_t _revision;
  // The parameter layout: the count and, per variable, its type, mode and
  // name. Procedures with equal layouts have the same value, with
  // different layouts different values (in the whole process), so a caller
  // compares layouts by one comparison. 0 (no layout known) until
  // registered; the manager sets it with _params.
  uint32_t _layout;
  bool _isStatic;

 private:
  friend class ProcedureHold;
  friend class ProceduresManager;
  // Ends one hold. The last hold on a procedure whose manager went first
  // (left behind, see ~ProceduresManager) deletes it. Inline: a channel
  // takes and ends a hold at every evaluation.
  void DropHold() noexcept {
    if (--_holds == 0 && _bLeftBehind) DeleteLeftBehind();
  }
  void DeleteLeftBehind() noexcept;

  bool _bLeftBehind = false;
  uint32_t _holds = 0;

 public:
  std::string _ownerClass;
  std::string _name;
  VarList _params;
};

// Keeps a procedure readable: a retired procedure is not freed while a hold
// refers to it. Refers to the procedure, never owns it; copies hold too.
// Reads like the pointer it holds (null when it holds nothing).
class ProcedureHold {
 public:
  ProcedureHold() noexcept = default;
  explicit ProcedureHold(Procedure* procedure) noexcept { Reset(procedure); }
  ProcedureHold(const ProcedureHold& other) noexcept { Reset(other._procedure); }
  ProcedureHold& operator=(const ProcedureHold& other) noexcept {
    Reset(other._procedure);
    return *this;
  }
  ProcedureHold& operator=(Procedure* procedure) noexcept {
    Reset(procedure);
    return *this;
  }
  ~ProcedureHold() { Reset(nullptr); }

  // Holds `procedure` (null: nothing) instead of the one held before.
  void Reset(Procedure* procedure) noexcept {
    if (procedure != nullptr) ++procedure->_holds;
    Procedure* before = _procedure;
    _procedure = procedure;
    if (before != nullptr) before->DropHold();
  }
  Procedure* Get() const noexcept { return _procedure; }
  Procedure* operator->() const noexcept { return _procedure; }
  operator Procedure*() const noexcept { return _procedure; }

 private:
  Procedure* _procedure = nullptr;
};

class VeskProcedureUser;

// A follower's index in the follower list of the procedure it follows;
// only that procedure reads or changes it.
class VeskFollowerSlot {
 private:
  friend class VeskProcedure;
  size_t _index = 0;
};

// A procedure whose changes are announced to the users that follow it. Its
// body is a callable; an empty body answers 1.
class VANTIC_API VeskProcedure : public Procedure {
 public:
  using Body = std::function<int(VarList&)>;
  VeskProcedure(std::string ownerClass, std::string name, bool isStatic, const VarList& params,
                Body body);
  // Every follower is left following nothing (its _currentProcedure null),
  // without being told.
  ~VeskProcedure() override;

  // Runs the body on `vars` and answers its result; 1 for an empty body or
  // one that throws (nothing propagates to the caller).
  int Execute(VarList& vars) override;
  void SetBody(Body body);
  // Calls OnProcedureUpdate on every follower of the moment the round
  // starts, each once. A follower that stops following (or is destroyed)
  // before its turn is skipped; one that starts following during the round
  // is not called in it.
  void NotifyFollowers();
  size_t FollowerCount() const { return _followerCount; }

 private:
  friend class VeskProcedureUser;
  void AddFollower(VeskProcedureUser* user);
  void DropFollower(VeskProcedureUser* user);

  using PlainBody = int (*)(VarList&);
  // _plainBody: the body's function when the body is a plain function
  // (called without the std::function's dispatch), else null.
  void KeepPlainBody();

  Body _body;
  PlainBody _plainBody = nullptr;
  // Followers in the order they started following, null where one stopped.
  // Each follower keeps its index (VeskProcedureUser::_followerSlot), so
  // starting and stopping cost O(1) however many users follow. The entries
  // are packed again, in order, once at most a quarter are live, but never
  // while a round of updates walks them.
  std::vector<VeskProcedureUser*> _followers;
  size_t _followerCount = 0;
  int _roundsRunning = 0;
};

// Mixin of an object that follows a procedure. A user detaches from its
// procedure when destroyed, so no update ever reaches a destroyed user; a
// procedure that is destroyed first leaves its users following nothing.
class VANTIC_API VeskProcedureUser {
 public:
  VeskProcedureUser();
  // The copy follows nothing.
  VeskProcedureUser(const VeskProcedureUser& other);
  VeskProcedureUser& operator=(const VeskProcedureUser& other) = delete;

  // Called by the framework when the followed procedure changed (its
  // parameters, static flag or names, or its removal). Does nothing here.
  virtual void OnProcedureUpdate();

  // Follows `procedure` (null: nothing), leaving the one followed before.
  // The procedure is referred to, not owned.
  void SetCurrentProcedure(VeskProcedure* const procedure);

  VeskProcedure* _currentProcedure;
  // The framework's bookkeeping of where this user stands among the
  // followers of _currentProcedure.
  VeskFollowerSlot _followerSlot;

 protected:
  // Leaves the followed procedure.
  ~VeskProcedureUser();
};

// The registry of procedures, by owner class and name.
//
// The manager owns every procedure registered with it, live or retired. A
// retired procedure leaves the registry but stays readable while it is held
// (ProcedureHold) or followed, so a channel still bound to it never touches
// freed memory (and finds its binding stale by the revision). Retired
// procedures that nothing reaches any more are freed in batches as more are
// retired, so that at most about as many retired procedures wait to be
// freed as are still reachable (and never fewer than a handful), however
// many come and go.
class VANTIC_API ProceduresManager {
 public:
  ProceduresManager();
  // Destroys every procedure (their followers are left following nothing)
  // and every object. A procedure still held is left behind instead, and
  // freed when its last hold ends.
  ~ProceduresManager();
  ProceduresManager(const ProceduresManager&) = delete;
  ProceduresManager& operator=(const ProceduresManager&) = delete;

  // ---- what channels ask ----
  // Appends the names of `owner`'s live procedures, in registration order
  // (a procedure renamed within its owner keeps its place; one moved to
  // another owner comes last there). Nothing is appended for an unknown
  // owner.
  void GetProceduresList(const std::string& owner, std::vector<std::string>& names) const;
  // The live procedure of that owner and name, or null. Average constant
  // time; allocates nothing.
  Procedure* GetProcedure(const std::string& owner, const std::string& name) const;

  // ---- registration ----
  // Takes ownership and registers under the procedure's own names, giving
  // it a fresh revision. Returns the procedure, or null (and deletes it)
  // when that owner and name are taken or `procedure` is null.
  Procedure* Register(std::unique_ptr<Procedure> procedure);
  // Registers a VeskProcedure with a copy of `params` and the given body;
  // null when the names are taken.
  VeskProcedure* RegisterFunction(const std::string& owner, const std::string& name,
                                  bool isStatic, const VarList& params, VeskProcedure::Body body);
  // Replaces the parameters (with a copy of `params`) and the static flag;
  // the revision changes and followers are told. False, changing nothing,
  // when there is no such procedure.
  bool ChangeParameters(const std::string& owner, const std::string& name,
                        const VarList& params, bool isStatic);
  // Renames; the revision changes and followers are told. False, changing
  // nothing, when there is no such procedure or the new names belong to
  // another one. Renaming to the same names changes nothing and answers
  // true.
  bool Rename(const std::string& owner, const std::string& name, const std::string& newOwner,
              const std::string& newName);
  // Retires the procedure: it leaves the registry, its revision changes so
  // that bound users find their binding stale, its followers are told, and
  // it stays allocated while it is held or followed (see the class
  // comment). False when there is no such procedure. Throws
  // std::bad_alloc, changing nothing, when memory runs out.
  bool Remove(const std::string& owner, const std::string& name);
  // Retires every live procedure, as Remove does.
  void RemoveAll();

  // Number of live procedures.
  size_t Count() const;
  // Number of retired procedures not freed yet.
  size_t RetiredCount() const;
  // On: every retirement frees at once the retired procedures nothing
  // reaches (each one walks every retired procedure: what memory checkers
  // and tests want). Off, as at first: freed in batches, as above.
  void SetFreeRetiredAtOnce(bool atOnce);
  // Every live procedure, by owner class then registration order; `owner`
  // empty lists all.
  std::vector<Procedure*> List(const std::string& owner = std::string()) const;
  // A revision value never handed out before, by any manager of the
  // process (never 0; unique for 2^32 - 1 values).
  uint32_t NextRevision();

  // The framework's objects (targets of procedures that are not static).
  ObjectsManager& Objects() { return _objects; }
  const ObjectsManager& Objects() const { return _objects; }

 private:
  struct Impl;
  // REQUIRES: `procedure` left both indexes and waits in the retired list.
  void Retire(Procedure* procedure);
  // Tells a VeskProcedure's followers that it changed.
  void Announce(Procedure* procedure);

  std::unique_ptr<Impl> _impl;
  ObjectsManager _objects;
};

namespace CoreFramework {
template <class T>
class Singleton {
 public:
  // The one instance, created on first use, destroyed at unload.
  static T& Instance();
};
extern template class VANTIC_API Singleton<ProceduresManager>;
}  // namespace CoreFramework

// Converters between a channel's child links and a procedure's variables.
//
// Matching rule: when link 0 of the channel is named "This" and accepts the
// "CoreRef" type, it is the target-object link and parameter k is link k+1;
// otherwise parameter k is link k. The direction is a mask over the
// variables' modes: direction 1 fills the variables of mode 1 or 3 from the
// channels plugged into their links; direction 2 writes the variables of
// mode 2 or 3 into them. A float variable (VarFloat) is read with the
// plugged channel's GetFloat() (any float channel) and written with its
// SetFloat(); a vector variable (VarVec3) needs a "Value Vector" channel.
// The plugged channels are referred to, never owned; neither converter
// allocates.
class VANTIC_API ProcedureForVesk {
 public:
  // Results of the converters.
  enum Result : int {
    kOk = 0,
    kBadArgument = 1,  // null channel or list
    kMissingLink = 2,  // the channel has no link for an input variable
    kUnplugged = 3,    // nothing plugged into an input link
    kWrongKind = 4,    // the plugged channel cannot give / take the value
    kNoObject = 5,     // "This" refers to no object of the framework
  };

  // Direction 1: reads every input variable from its link. With a "This"
  // link, sets vars->_thisObject to the referenced object (without one,
  // _thisObject is left as it is). Returns kOk on success; otherwise the
  // first failure's Result: an input link missing, unplugged, or holding a
  // channel of the wrong kind, "This" unplugged or referring to no object,
  // or a null channel or list. The variables read before the failure keep
  // their new values.
  static int FromDataChannelToVar(Zyr_Channel* channel, VarList* vars, unsigned short direction);
  // Direction 2: writes every output variable into the channel plugged into
  // its link (SetFloat / SetVector). Unplugged or missing output links are
  // skipped. Returns kOk; kWrongKind when a plugged channel cannot take its
  // variable (the others are still written); kBadArgument for a null
  // channel or list.
  static int FromVarToDataChannel(VarList* vars, Zyr_Channel* channel, unsigned short direction);
};

#endif  // HOSTAPI_VANTIC_PROCEDURE_H_
