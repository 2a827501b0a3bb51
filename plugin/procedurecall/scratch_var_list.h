// ScratchVarList: the working copy of a procedure's parameter list for one
// evaluation.
//
// The copy lives in a list taken from a module-wide pool, so that once the
// pool has grown to the deepest nesting seen and the largest lists, an
// evaluation copies the variables without allocating. Leases nest: an
// evaluation that evaluates another channel on the way (a procedure-call
// channel plugged into an input) takes the next list of the pool. Engine
// calls come on one thread, so the pool is not guarded.
#ifndef PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_
#define PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_

#include "hostapi/vantic_vars.h"

class ScratchVarList {
 public:
  // Leases a pooled list holding copies of `source`'s variables and its
  // target object. Throws std::bad_alloc (leasing nothing) when the pool
  // cannot grow.
  explicit ScratchVarList(const VarList& source);
  // Ends the copies and returns the list (its storage stays in the pool).
  ~ScratchVarList();
  ScratchVarList(const ScratchVarList&) = delete;
  ScratchVarList& operator=(const ScratchVarList&) = delete;

  // The working copy, this lease's own until it ends.
  VarList& List() { return *_list; }

 private:
  VarList* _list;
};

#endif  // PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_
