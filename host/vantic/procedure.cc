// Procedure, VeskProcedure and VeskProcedureUser.
#include <utility>

#include "hostapi/vantic_procedure.h"

Procedure::Procedure(std::string ownerClass, std::string name, bool isStatic,
                     const VarList& params)
    : _params(params),
      _revision(0),
      _ownerClass(std::move(ownerClass)),
      _name(std::move(name)),
      _isStatic(isStatic) {}

Procedure::~Procedure() = default;

int Procedure::Execute(VarList& /*vars*/) { return 1; }

VeskProcedure::VeskProcedure(std::string ownerClass, std::string name, bool isStatic,
                             const VarList& params, Body body)
    : Procedure(std::move(ownerClass), std::move(name), isStatic, params),
      _body(std::move(body)) {}

VeskProcedure::~VeskProcedure() {
  for (VeskProcedureUser* user : _followers) {
    if (user != nullptr) user->_currentProcedure = nullptr;
  }
}

int VeskProcedure::Execute(VarList& vars) {
  if (!_body) return 1;
  try {
    return _body(vars);
  } catch (...) {
    // A body's failure is a result like any other; nothing crosses into
    // the channel that called.
    return 1;
  }
}

void VeskProcedure::NotifyFollowers() {
  // The round works on the followers of its start: a follower may stop
  // following, start following, or be destroyed from inside an update.
  std::vector<VeskProcedureUser*> round;
  round.reserve(_followerSlots.size());
  for (VeskProcedureUser* user : _followers) {
    if (user != nullptr) round.push_back(user);
  }
  for (VeskProcedureUser* user : round) {
    if (_followerSlots.count(user) == 0) continue;
    user->OnProcedureUpdate();
  }
}

// REQUIRES: `user` does not follow this procedure.
void VeskProcedure::AddFollower(VeskProcedureUser* user) {
  _followerSlots.emplace(user, _followers.size());
  try {
    _followers.push_back(user);
  } catch (...) {
    _followerSlots.erase(user);
    throw;
  }
}

void VeskProcedure::DropFollower(VeskProcedureUser* user) {
  auto found = _followerSlots.find(user);
  if (found == _followerSlots.end()) return;
  _followers[found->second] = nullptr;
  _followerSlots.erase(found);
  // Pack once at most a quarter of the entries are live, keeping the order;
  // the entries dropped since the last packing pay for it.
  if (_followers.size() >= 16 && _followerSlots.size() * 4 <= _followers.size()) {
    size_t kept = 0;
    for (VeskProcedureUser* live : _followers) {
      if (live == nullptr) continue;
      _followerSlots[live] = kept;
      _followers[kept++] = live;
    }
    _followers.resize(kept);
  }
  if (_followerSlots.empty()) _followers.clear();
}

VeskProcedureUser::VeskProcedureUser() : _currentProcedure(nullptr) {}

VeskProcedureUser::VeskProcedureUser(const VeskProcedureUser& /*other*/)
    : _currentProcedure(nullptr) {}

VeskProcedureUser::~VeskProcedureUser() { SetCurrentProcedure(nullptr); }

void VeskProcedureUser::OnProcedureUpdate() {}

void VeskProcedureUser::SetCurrentProcedure(VeskProcedure* const procedure) {
  if (procedure == _currentProcedure) return;
  if (procedure != nullptr) procedure->AddFollower(this);  // may throw: nothing changed yet
  if (_currentProcedure != nullptr) _currentProcedure->DropFollower(this);
  _currentProcedure = procedure;
}
