// ScratchVarList: pooled working copies of parameter lists.
#include "plugin/procedurecall/scratch_var_list.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace {

// Lists [0, depth) are leased, innermost last; the others wait with the
// variables of their last lease, so that the next lease of a list of the
// same kinds assigns them in place.
struct Pool {
  std::vector<std::unique_ptr<VarList>> lists;
  size_t depth = 0;
};

// Constant-initialized: no guard on the way of every evaluation.
constinit Pool pool;

}  // namespace

ScratchVarList::ScratchVarList(const VarList& source) {
  if (pool.depth == pool.lists.size()) pool.lists.push_back(std::make_unique<VarList>());
  VarList& list = *pool.lists[pool.depth];
  list = source;  // may throw, leaving the list as it was and leasing nothing
  _list = &list;
  ++pool.depth;
}

ScratchVarList::~ScratchVarList() {
  _list->_thisObject = nullptr;
  --pool.depth;
}
