// ScratchVarList: pooled working copies of parameter lists.
#include "plugin/procedurecall/scratch_var_list.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace {

// Lists [0, depth) are leased, innermost last; the others wait, empty,
// with their storage.
struct Pool {
  std::vector<std::unique_ptr<VarList>> lists;
  size_t depth = 0;
};

Pool& ThePool() {
  static Pool pool;
  return pool;
}

}  // namespace

ScratchVarList::ScratchVarList(const VarList& source) {
  Pool& pool = ThePool();
  if (pool.depth == pool.lists.size()) pool.lists.push_back(std::make_unique<VarList>());
  VarList& list = *pool.lists[pool.depth];
  try {
    list.AddVars(source);  // the only step that may throw
  } catch (...) {
    list.ClearVars();  // nothing is leased: the list waits empty again
    throw;
  }
  list._thisObject = source._thisObject;
  _list = &list;
  ++pool.depth;
}

ScratchVarList::~ScratchVarList() {
  _list->ClearVars();
  _list->_thisObject = nullptr;
  --ThePool().depth;
}
