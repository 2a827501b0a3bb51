// Parameter lists of procedure-call channels, shared by the channels bound
// to the same procedure.
//
// A channel keeps the parameters its child links were made for. Channels
// bound to one procedure hold equal lists, so one copy serves them all: a
// list handed out for a procedure is handed out again while some channel
// still holds it and it still equals the procedure's list (variables,
// values and target object). Channels that loaded the same layout from
// saved records share one list likewise. A shared list is never changed:
// a channel that needs other parameters takes another list.
//
// All calls come on the engine's thread; nothing here is locked.
#ifndef PLUGIN_PROCEDURECALL_SHARED_PARAM_LIST_H_
#define PLUGIN_PROCEDURECALL_SHARED_PARAM_LIST_H_

#include <cstddef>
#include <cstdint>

#include "hostapi/vantic_procedure.h"
#include "hostapi/vantic_vars.h"

// A counted reference to a parameter list: the list is deleted with the
// last reference to it. Copies refer to the same list.
class ParamListRef {
 public:
  ParamListRef() = default;
  // Takes ownership of `list` (null: refers to nothing). Throws
  // std::bad_alloc, deleting `list`, when the count cannot be made.
  explicit ParamListRef(VarList* list);
  ParamListRef(const ParamListRef& other) : _shared(other._shared) { Hold(); }
  ParamListRef& operator=(const ParamListRef& other);
  ~ParamListRef() { Release(); }

  // Refers to `list` instead, taking ownership of it.
  void reset(VarList* list = nullptr) { *this = ParamListRef(list); }
  // REQUIRES: the reference refers to a list.
  VarList& operator*() const { return *get(); }
  VarList* operator->() const { return get(); }
  VarList* get() const;
  // The Procedure::_layout of the procedure whose parameters the list was
  // copied from (SharedParamList); 0 for any other list.
  uint32_t Layout() const;

  // What the references to one list share; opaque.
  struct Shared;

 private:
  friend ParamListRef SharedParamList(const Procedure& procedure);
  friend ParamListRef LoadedParamList(const VarList& loaded);
  void Hold();
  void Release();

  Shared* _shared = nullptr;
};

// A list equal to `procedure._params`, shared with the channels bound to
// the same procedure before; a new copy when none of them holds one.
// Throws std::bad_alloc when a copy cannot be made.
ParamListRef SharedParamList(const Procedure& procedure);

// A list equal to `loaded`, a layout read from a saved record: shared
// with the channels that loaded an equal list before while one of them
// still holds it, a new copy otherwise. Its Layout() is 0. Throws
// std::bad_alloc when a copy cannot be made.
ParamListRef LoadedParamList(const VarList& loaded);

// A list of the channel's own, shared with nobody: a copy of `list`, or
// empty. Throws std::bad_alloc.
ParamListRef OwnParamList(const VarList& list);
ParamListRef OwnParamList();

#endif  // PLUGIN_PROCEDURECALL_SHARED_PARAM_LIST_H_
