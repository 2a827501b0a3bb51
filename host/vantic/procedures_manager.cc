// ProceduresManager, the registry of procedures, and its singleton access.
#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "host/vantic/procedure_index.h"
#include "hostapi/vantic_procedure.h"

namespace {

// The process-wide revision counter: every manager draws from it, so a
// revision is never handed out twice (until 2^32 - 1 values are spent).
uint32_t gLastRevision = 0;

// Retired procedures that may wait before a sweep frees the unreachable
// ones, at the least.
constexpr size_t kMinRetiredBeforeSweep = 16;

// Whether anything can still reach a retired procedure.
bool Reachable(const Procedure& procedure) {
  if (procedure.HoldCount() != 0) return true;
  const auto* vesk = dynamic_cast<const VeskProcedure*>(&procedure);
  return vesk != nullptr && vesk->FollowerCount() != 0;
}

// The Procedure::_layout value of `params`: layouts seen in the process,
// each with its value, 1 up, kept for the process's life (one entry per
// distinct layout, however many procedures come and go), so that equal
// layouts have equal values whichever manager registered them. Throws
// std::bad_alloc, changing nothing, when a new layout cannot be kept.
uint32_t LayoutOf(const VarList& params) {
  static std::unordered_map<std::string, uint32_t> layouts;
  std::string key;
  for (const VarBase* var : params._vars) {
    const int32_t type = var->Type();
    const uint16_t mode = var->Mode();
    key.append(reinterpret_cast<const char*>(&type), sizeof(type));
    key.append(reinterpret_cast<const char*>(&mode), sizeof(mode));
    key.append(var->Name());
    key.push_back('\0');  // ends the name: no two layouts share a key
  }
  const auto found = layouts.find(key);
  if (found != layouts.end()) return found->second;
  const auto id = static_cast<uint32_t>(layouts.size() + 1);
  layouts.emplace(std::move(key), id);
  return id;
}

}  // namespace

struct ProceduresManager::Impl {
  // Live procedures by their names.
  vantic::ProcedureIndex byName;
  // Live procedures per owner class, in registration order. Owns them:
  // each live procedure stands in exactly one list.
  std::map<std::string, std::vector<Procedure*>, std::less<>> byOwner;
  // Retired procedures not freed yet.
  std::vector<std::unique_ptr<Procedure>> retired;
  // Size of `retired` at which the next sweep runs.
  size_t sweepAt = kMinRetiredBeforeSweep;
  // Rounds of updates running: no sweep while a round walks followers.
  int announcing = 0;
  // Every retirement sweeps (SetFreeRetiredAtOnce).
  bool sweepAlways = false;

  ~Impl() {
    for (auto& entry : byOwner) {
      for (Procedure* procedure : entry.second) LetGo(std::unique_ptr<Procedure>(procedure));
    }
    for (std::unique_ptr<Procedure>& procedure : retired) LetGo(std::move(procedure));
  }

  // Deletes `procedure`, or leaves it behind to its holds (the last one
  // deletes it).
  static void LetGo(std::unique_ptr<Procedure> procedure) {
    if (procedure->HoldCount() != 0) procedure.release()->_bLeftBehind = true;
  }

  Procedure* Find(std::string_view owner, std::string_view name) const {
    return byName.Find(owner, name);
  }

  void DropFromOwner(const std::string& owner, Procedure* procedure) {
    auto it = byOwner.find(owner);
    if (it == byOwner.end()) return;
    std::vector<Procedure*>& list = it->second;
    list.erase(std::remove(list.begin(), list.end(), procedure), list.end());
    if (list.empty()) byOwner.erase(it);
  }

  // Room in `retired` for `more` procedures, growing geometrically.
  void ReserveRetired(size_t more) {
    if (retired.capacity() - retired.size() < more) {
      retired.reserve(std::max(retired.size() + more, 2 * retired.capacity()));
    }
  }

  // Takes the procedure out of both indexes into `retired`.
  // REQUIRES: room in `retired` (ReserveRetired).
  void Unlist(Procedure* procedure) {
    byName.Erase(procedure);
    DropFromOwner(procedure->_ownerClass, procedure);
    retired.emplace_back(procedure);
  }

  // Frees the retired procedures nothing reaches, once `retired` has grown
  // to twice what the last sweep kept: each retirement pays a constant
  // share.
  void SweepWhenDue() {
    if (announcing != 0 || (retired.size() < sweepAt && !sweepAlways)) return;
    auto unreachable = std::stable_partition(
        retired.begin(), retired.end(),
        [](const std::unique_ptr<Procedure>& p) { return Reachable(*p); });
    // Out of the list before they are destroyed: a destructor that comes
    // back into the manager finds it whole.
    std::vector<std::unique_ptr<Procedure>> doomed;
    try {
      doomed.reserve(static_cast<size_t>(retired.end() - unreachable));
    } catch (...) {
      return;  // freed at a later sweep
    }
    std::move(unreachable, retired.end(), std::back_inserter(doomed));
    retired.erase(unreachable, retired.end());
    sweepAt = std::max(kMinRetiredBeforeSweep, 2 * retired.size());
  }
};

ProceduresManager::ProceduresManager() : _impl(std::make_unique<Impl>()) {}

ProceduresManager::~ProceduresManager() = default;

void ProceduresManager::GetProceduresList(const std::string& owner,
                                          std::vector<std::string>& names) const {
  auto it = _impl->byOwner.find(owner);
  if (it == _impl->byOwner.end()) return;
  // Only a first fill is sized exactly: reserving on every call would undo
  // the vector's geometric growth for a caller that appends owner by owner.
  if (names.empty()) names.reserve(it->second.size());
  for (const Procedure* procedure : it->second) names.push_back(procedure->_name);
}

Procedure* ProceduresManager::GetProcedure(const std::string& owner,
                                           const std::string& name) const {
  return _impl->Find(owner, name);
}

Procedure* ProceduresManager::Register(std::unique_ptr<Procedure> procedure) {
  if (procedure == nullptr) return nullptr;
  if (_impl->Find(procedure->_ownerClass, procedure->_name) != nullptr) return nullptr;
  procedure->_layout = LayoutOf(procedure->_params);
  Procedure* raw = procedure.get();
  _impl->byName.Insert(raw);
  try {
    _impl->byOwner[raw->_ownerClass].push_back(raw);
  } catch (...) {
    _impl->byName.Erase(raw);
    throw;
  }
  procedure.release();  // owned through byOwner from here on
  raw->_revision = NextRevision();
  return raw;
}

VeskProcedure* ProceduresManager::RegisterFunction(const std::string& owner,
                                                   const std::string& name, bool isStatic,
                                                   const VarList& params,
                                                   VeskProcedure::Body body) {
  if (_impl->Find(owner, name) != nullptr) return nullptr;
  auto procedure = std::make_unique<VeskProcedure>(owner, name, isStatic, params, std::move(body));
  VeskProcedure* raw = procedure.get();
  return Register(std::move(procedure)) != nullptr ? raw : nullptr;
}

bool ProceduresManager::ChangeParameters(const std::string& owner, const std::string& name,
                                         const VarList& params, bool isStatic) {
  Procedure* procedure = _impl->Find(owner, name);
  if (procedure == nullptr) return false;
  const uint32_t layout = LayoutOf(params);
  procedure->_params = params;  // a copy; safe when `params` is its own list
  procedure->_layout = layout;
  procedure->_isStatic = isStatic;
  procedure->_revision = NextRevision();
  Announce(procedure);
  return true;
}

bool ProceduresManager::Rename(const std::string& owner, const std::string& name,
                               const std::string& newOwner, const std::string& newName) {
  Procedure* procedure = _impl->Find(owner, name);
  if (procedure == nullptr) return false;
  if (owner == newOwner && name == newName) return true;
  if (_impl->Find(newOwner, newName) != nullptr) return false;
  // The arguments may be the procedure's own strings: take copies before
  // anything of it changes.
  std::string toOwner = newOwner;
  std::string toName = newName;
  if (procedure->_ownerClass != toOwner) {
    _impl->byOwner[toOwner].push_back(procedure);  // first: it may throw
    _impl->DropFromOwner(procedure->_ownerClass, procedure);
  }
  // The index finds a procedure by its names: out under the old ones, in
  // under the new (no growth: the entry just left makes the room).
  _impl->byName.Erase(procedure);
  procedure->_ownerClass = std::move(toOwner);
  procedure->_name = std::move(toName);
  _impl->byName.Insert(procedure);
  procedure->_revision = NextRevision();
  Announce(procedure);
  return true;
}

bool ProceduresManager::Remove(const std::string& owner, const std::string& name) {
  Procedure* procedure = _impl->Find(owner, name);
  if (procedure == nullptr) return false;
  _impl->ReserveRetired(1);
  _impl->Unlist(procedure);
  Retire(procedure);
  return true;
}

void ProceduresManager::RemoveAll() {
  // Empty the registry first: followers told of the removal may ask it.
  const std::vector<Procedure*> live = List();
  _impl->ReserveRetired(live.size());
  _impl->byName.Clear();
  _impl->byOwner.clear();
  for (Procedure* procedure : live) _impl->retired.emplace_back(procedure);
  // No sweep until every one of them has been announced.
  ++_impl->announcing;
  try {
    for (Procedure* procedure : live) Retire(procedure);
  } catch (...) {
    --_impl->announcing;
    throw;
  }
  --_impl->announcing;
  _impl->SweepWhenDue();
}

size_t ProceduresManager::Count() const { return _impl->byName.Size(); }

size_t ProceduresManager::RetiredCount() const { return _impl->retired.size(); }

void ProceduresManager::SetFreeRetiredAtOnce(bool atOnce) { _impl->sweepAlways = atOnce; }

std::vector<Procedure*> ProceduresManager::List(const std::string& owner) const {
  std::vector<Procedure*> list;
  if (owner.empty()) {
    list.reserve(_impl->byName.Size());
    for (const auto& entry : _impl->byOwner) {
      list.insert(list.end(), entry.second.begin(), entry.second.end());
    }
    return list;
  }
  auto it = _impl->byOwner.find(owner);
  if (it != _impl->byOwner.end()) list = it->second;
  return list;
}

uint32_t ProceduresManager::NextRevision() {
  ++gLastRevision;
  if (gLastRevision == 0) ++gLastRevision;  // 0 stands for "never registered"
  return gLastRevision;
}

void ProceduresManager::Retire(Procedure* procedure) {
  procedure->_revision = NextRevision();
  Announce(procedure);
  _impl->SweepWhenDue();
}

void ProceduresManager::Announce(Procedure* procedure) {
  auto* vesk = dynamic_cast<VeskProcedure*>(procedure);
  if (vesk == nullptr) return;
  // A follower told of the change may remove procedures; no sweep frees
  // anything while a round of updates walks a procedure's followers.
  ++_impl->announcing;
  try {
    vesk->NotifyFollowers();
  } catch (...) {
    --_impl->announcing;
    throw;
  }
  --_impl->announcing;
}

namespace CoreFramework {

template <class T>
T& Singleton<T>::Instance() {
  static T instance;
  return instance;
}

// Exported through the declaration in the header.
template class Singleton<ProceduresManager>;

}  // namespace CoreFramework
