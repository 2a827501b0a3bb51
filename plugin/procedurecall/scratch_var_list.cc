// ScratchVarList: pooled working copies of parameter lists.
#include "plugin/procedurecall/scratch_var_list.h"

// Constant-initialized: no guard on the way of every evaluation.
constinit ScratchVarList::Pool ScratchVarList::_pool;

void ScratchVarList::Grow() { _pool.lists.push_back(std::make_unique<VarList>()); }
