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
class VANTIC_API Procedure {
 public:
  Procedure(std::string ownerClass, std::string name, bool isStatic, const VarList& params);
  Procedure(const Procedure&) = delete;
  Procedure& operator=(const Procedure&) = delete;
  virtual ~Procedure();

  // Reads the inputs from `vars`, writes the results into it. 0 is success.
  // The base has no body and answers 1.
  virtual int Execute(VarList& vars);

  VarList _params;
  uint32_t _revision;
  std::string _ownerClass;
  std::string _name;
  bool _isStatic;
};

class VeskProcedureUser;

// A procedure whose changes are announced to the users that follow it. Its
// body is a callable; an empty body answers 1.
class VANTIC_API VeskProcedure : public Procedure {
 public:
  using Body = std::function<int(VarList&)>;
  VeskProcedure(std::string ownerClass, std::string name, bool isStatic, const VarList& params,
                Body body);
  ~VeskProcedure() override;

  int Execute(VarList& vars) override;
  void SetBody(Body body) { _body = std::move(body); }
  // Calls OnProcedureUpdate on every follower (each once, even if a
  // follower stops or starts following during the round).
  void NotifyFollowers();
  size_t FollowerCount() const { return _followers.size(); }

 private:
  friend class VeskProcedureUser;
  Body _body;
  std::vector<VeskProcedureUser*> _followers;
};

// Mixin of an object that follows a procedure. A user detaches from its
// procedure when destroyed, so no update ever reaches a destroyed user.
class VANTIC_API VeskProcedureUser {
 public:
  VeskProcedureUser();
  // The copy follows nothing.
  VeskProcedureUser(const VeskProcedureUser& other);
  VeskProcedureUser& operator=(const VeskProcedureUser& other) = delete;

  // Called by the framework when the followed procedure changed.
  virtual void OnProcedureUpdate();

  // Follows `procedure` (null: nothing), leaving the one followed before.
  void SetCurrentProcedure(VeskProcedure* const procedure);

  VeskProcedure* _currentProcedure;

 protected:
  ~VeskProcedureUser();
};

// The registry of procedures, by owner class and name.
class VANTIC_API ProceduresManager {
 public:
  ProceduresManager();
  ~ProceduresManager();
  ProceduresManager(const ProceduresManager&) = delete;
  ProceduresManager& operator=(const ProceduresManager&) = delete;

  // ---- what channels ask ----
  // Appends the names of `owner`'s procedures, in registration order.
  void GetProceduresList(const std::string& owner, std::vector<std::string>& names) const;
  // The live procedure of that owner and name, or null.
  Procedure* GetProcedure(const std::string& owner, const std::string& name) const;

  // ---- registration ----
  // Takes ownership and registers. Returns the procedure, or null (and
  // deletes it) when that owner and name are taken or `procedure` is null.
  Procedure* Register(std::unique_ptr<Procedure> procedure);
  // Registers a VeskProcedure with the given body; null when taken.
  VeskProcedure* RegisterFunction(const std::string& owner, const std::string& name,
                                  bool isStatic, const VarList& params, VeskProcedure::Body body);
  // Replaces the parameters and static flag; the revision changes and
  // followers are told. False when there is no such procedure.
  bool ChangeParameters(const std::string& owner, const std::string& name,
                        const VarList& params, bool isStatic);
  // Renames; the revision changes and followers are told. False when there
  // is no such procedure or the new names are taken.
  bool Rename(const std::string& owner, const std::string& name, const std::string& newOwner,
              const std::string& newName);
  // Retires the procedure: it leaves the registry, its revision changes so
  // that bound users find their binding stale, and it stays allocated until
  // the manager is destroyed. False when there is no such procedure.
  bool Remove(const std::string& owner, const std::string& name);
  // Retires every procedure.
  void RemoveAll();

  size_t Count() const;
  // Every live procedure, by owner class then registration order; `owner`
  // empty lists all.
  std::vector<Procedure*> List(const std::string& owner = std::string()) const;
  // A revision value never handed out before.
  uint32_t NextRevision();

  // The framework's objects (targets of procedures that are not static).
  ObjectsManager& Objects() { return _objects; }

 private:
  struct Impl;
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
// otherwise parameter k is link k. Direction 1 fills the variables of mode
// 1 or 3 from the channels plugged into their links; direction 2 writes the
// variables of mode 2 or 3 into them.
class VANTIC_API ProcedureForVesk {
 public:
  // Direction 1: reads every input variable from its link; a "Value" link
  // gives a float variable the plugged channel's GetFloat(), a "Value
  // Vector" link gives a vector variable its vector. With a "This" link,
  // sets vars->_thisObject to the referenced object. Returns 0 on success;
  // non-zero when an input link is missing, unplugged, or holds a channel
  // of the wrong kind, or when "This" refers to no object. Also non-zero
  // for a null channel or list.
  static int FromDataChannelToVar(Zyr_Channel* channel, VarList* vars, unsigned short direction);
  // Direction 2: writes every output variable into the channel plugged into
  // its link (SetFloat / SetVector). Unplugged output links are skipped.
  // Returns 0, or non-zero when a plugged channel is of the wrong kind.
  static int FromVarToDataChannel(VarList* vars, Zyr_Channel* channel, unsigned short direction);
};

#endif  // HOSTAPI_VANTIC_PROCEDURE_H_
