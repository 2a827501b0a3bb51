// Procedure, VeskProcedure and VeskProcedureUser.
#include <algorithm>
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
  for (VeskProcedureUser* user : _followers) user->_currentProcedure = nullptr;
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
  const std::vector<VeskProcedureUser*> round = _followers;
  for (VeskProcedureUser* user : round) {
    if (std::find(_followers.begin(), _followers.end(), user) == _followers.end()) continue;
    user->OnProcedureUpdate();
  }
}

VeskProcedureUser::VeskProcedureUser() : _currentProcedure(nullptr) {}

VeskProcedureUser::VeskProcedureUser(const VeskProcedureUser& /*other*/)
    : _currentProcedure(nullptr) {}

VeskProcedureUser::~VeskProcedureUser() { SetCurrentProcedure(nullptr); }

void VeskProcedureUser::OnProcedureUpdate() {}

void VeskProcedureUser::SetCurrentProcedure(VeskProcedure* const procedure) {
  if (procedure == _currentProcedure) return;
  if (_currentProcedure != nullptr) {
    std::vector<VeskProcedureUser*>& followers = _currentProcedure->_followers;
    followers.erase(std::remove(followers.begin(), followers.end(), this), followers.end());
  }
  _currentProcedure = procedure;
  if (procedure != nullptr) procedure->_followers.push_back(this);
}
