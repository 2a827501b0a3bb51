// Procedure, VeskProcedure and VeskProcedureUser.
#include <algorithm>
#include <utility>
#include <vector>

#include "hostapi/vantic_procedure.h"

Procedure::Procedure(std::string ownerClass, std::string name, bool isStatic,
                     const VarList& params)
    : _revision(0),
      _layout(0),
      _isStatic(isStatic),
      _ownerClass(std::move(ownerClass)),
      _name(std::move(name)),
      _params(params) {}

Procedure::~Procedure() = default;

int Procedure::Execute(VarList& /*vars*/) { return 1; }

void Procedure::DeleteLeftBehind() noexcept { delete this; }

VeskProcedure::VeskProcedure(std::string ownerClass, std::string name, bool isStatic,
                             const VarList& params, Body body)
    : Procedure(std::move(ownerClass), std::move(name), isStatic, params),
      _body(std::move(body)) {
  KeepPlainBody();
}

void VeskProcedure::SetBody(Body body) {
  _body = std::move(body);
  KeepPlainBody();
}

void VeskProcedure::KeepPlainBody() {
  PlainBody* const plain = _body.target<PlainBody>();
  _plainBody = plain != nullptr ? *plain : nullptr;
}

VeskProcedure::~VeskProcedure() {
  for (VeskProcedureUser* user : _followers) {
    if (user != nullptr) user->_currentProcedure = nullptr;
  }
}

int VeskProcedure::Execute(VarList& vars) {
  if (_plainBody == nullptr && !_body) return 1;
  try {
    // A plain function is called as it is (read once: the body may replace
    // itself while it runs); anything else through the std::function.
    if (const PlainBody plain = _plainBody) return plain(vars);
    return _body(vars);
  } catch (...) {
    // A body's failure is a result like any other; nothing crosses into
    // the channel that called.
    return 1;
  }
}

void VeskProcedure::NotifyFollowers() {
  // The round walks the entries present at its start. A follower that stops
  // following or is destroyed leaves a null entry behind, and one that
  // starts following is appended past the end of the round; the entries do
  // not move until the last round running ends.
  const size_t end = _followers.size();
  ++_roundsRunning;
  for (size_t i = 0; i < end; ++i) {
    VeskProcedureUser* user = _followers[i];
    if (user == nullptr) continue;
    try {
      user->OnProcedureUpdate();
    } catch (...) {
      --_roundsRunning;
      throw;
    }
  }
  --_roundsRunning;
  DropFollower(nullptr);  // packs what the round left behind
}

// REQUIRES: `user` follows no procedure.
void VeskProcedure::AddFollower(VeskProcedureUser* user) {
  _followers.push_back(user);
  user->_followerSlot._index = _followers.size() - 1;
  ++_followerCount;
}

// Drops `user` (null: nobody), then packs the entries when at most a
// quarter are live and no round is walking them; the entries dropped since
// the last packing pay for it.
// REQUIRES: `user`, when not null, follows this procedure.
void VeskProcedure::DropFollower(VeskProcedureUser* user) {
  if (user != nullptr) {
    _followers[user->_followerSlot._index] = nullptr;
    --_followerCount;
  }
  if (_roundsRunning != 0 || _followerCount * 4 > _followers.size()) return;
  size_t kept = 0;
  for (VeskProcedureUser* live : _followers) {
    if (live == nullptr) continue;
    live->_followerSlot._index = kept;
    _followers[kept++] = live;
  }
  _followers.resize(kept);
}

VeskProcedureUser::VeskProcedureUser() : _currentProcedure(nullptr) {}

VeskProcedureUser::VeskProcedureUser(const VeskProcedureUser& /*other*/)
    : _currentProcedure(nullptr) {}

VeskProcedureUser::~VeskProcedureUser() { SetCurrentProcedure(nullptr); }

void VeskProcedureUser::OnProcedureUpdate() {}

void VeskProcedureUser::SetCurrentProcedure(VeskProcedure* const procedure) {
  if (procedure == _currentProcedure) return;
  if (procedure != nullptr) {
    // Room first, growing geometrically: nothing can fail past this point.
    std::vector<VeskProcedureUser*>& list = procedure->_followers;
    if (list.size() == list.capacity()) list.reserve(std::max<size_t>(8, 2 * list.capacity()));
  }
  if (_currentProcedure != nullptr) _currentProcedure->DropFollower(this);
  _currentProcedure = procedure;
  if (procedure != nullptr) procedure->AddFollower(this);
}
