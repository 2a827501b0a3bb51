// ScratchVarList: the working copy of a procedure's parameter list for one
// evaluation.
//
// The copy lives in a list taken from a module-wide pool, so that once the
// pool has grown to the deepest nesting seen, an evaluation of the same
// parameter kinds as the last one at its depth assigns the variables in
// place, without allocating. Leases nest: an
// evaluation that evaluates another channel on the way (a procedure-call
// channel plugged into an input) takes the next list of the pool. Engine
// calls come on one thread, so the pool is not guarded.
#ifndef PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_
#define PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_

#include <cstddef>
#include <memory>
#include <vector>

#include "hostapi/vantic_vars.h"

class ScratchVarList {
 public:
  // Leases a pooled list holding copies of `source`'s variables and its
  // target object. Throws std::bad_alloc (leasing nothing) when the pool
  // cannot grow. Inline: every due evaluation takes one.
  explicit ScratchVarList(const VarList& source) {
    if (_pool.depth == _pool.lists.size()) Grow();
    VarList& list = *_pool.lists.data()[_pool.depth];
    list = source;  // may throw, leaving the list as it was and leasing nothing
    _list = &list;
    ++_pool.depth;
  }
  // Returns the list to the pool, its variables kept for the next lease.
  ~ScratchVarList() {
    _list->_thisObject = nullptr;
    --_pool.depth;
  }
  ScratchVarList(const ScratchVarList&) = delete;
  ScratchVarList& operator=(const ScratchVarList&) = delete;

  // The working copy, this lease's own until it ends.
  VarList& List() { return *_list; }

 private:
  // Lists [0, depth) are leased, innermost last; the others wait with the
  // variables of their last lease, so that the next lease of a list of the
  // same kinds assigns them in place.
  struct Pool {
    std::vector<std::unique_ptr<VarList>> lists;
    size_t depth = 0;
  };
  // Adds a list to the pool for the next depth. Throws std::bad_alloc.
  static void Grow();

  static Pool _pool;
  VarList* _list;
};

#endif  // PLUGIN_PROCEDURECALL_SCRATCH_VAR_LIST_H_
