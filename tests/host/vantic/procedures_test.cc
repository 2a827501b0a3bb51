// Procedure, VeskProcedure, VeskProcedureUser, ProceduresManager and
// ObjectsManager.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostapi/vantic_procedure.h"

namespace {

VarList OneFloat(const char* name) {
  VarList list;
  list.AddVar(VarFloat(VarType_Float, VarMode_In, name, 0, 0, 1));
  return list;
}

// A user that counts its updates and may act during one.
class Follower : public VeskProcedureUser {
 public:
  virtual ~Follower() = default;
  void OnProcedureUpdate() override {
    ++updates;
    if (onUpdate) onUpdate();
  }
  int updates = 0;
  std::function<void()> onUpdate;
};

class ProceduresManagerTest : public ::testing::Test {
 protected:
  VeskProcedure* Add(const std::string& owner, const std::string& name) {
    return manager.RegisterFunction(owner, name, false, OneFloat("x"), nullptr);
  }
  std::vector<std::string> Names(const std::string& owner) const {
    std::vector<std::string> names;
    manager.GetProceduresList(owner, names);
    return names;
  }

  ProceduresManager manager;
};

TEST_F(ProceduresManagerTest, RegistersAndLooksUpByBothNames) {
  VeskProcedure* move = Add("Body", "Move");
  ASSERT_NE(move, nullptr);
  EXPECT_EQ(manager.GetProcedure("Body", "Move"), move);
  EXPECT_EQ(manager.GetProcedure("Body", "move"), nullptr);
  EXPECT_EQ(manager.GetProcedure("Bod", "yMove"), nullptr);
  EXPECT_EQ(manager.GetProcedure("", ""), nullptr);
  EXPECT_NE(move->_revision, 0u);
  EXPECT_EQ(move->_params._vars.size(), 1u);
  EXPECT_EQ(manager.Count(), 1u);
}

TEST_F(ProceduresManagerTest, RefusesTakenNamesAndNull) {
  VeskProcedure* first = Add("Body", "Move");
  EXPECT_EQ(Add("Body", "Move"), nullptr);
  EXPECT_EQ(manager.Register(std::make_unique<Procedure>("Body", "Move", true, VarList())),
            nullptr);
  EXPECT_EQ(manager.Register(nullptr), nullptr);
  EXPECT_EQ(manager.GetProcedure("Body", "Move"), first);
  EXPECT_EQ(manager.Count(), 1u);
}

TEST_F(ProceduresManagerTest, ListsInRegistrationOrderPerOwner) {
  Add("Body", "Zeta");
  Add("Light", "On");
  Add("Body", "Alpha");
  Add("Body", "Mid");
  std::vector<std::string> names = {"kept"};
  manager.GetProceduresList("Body", names);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "Zeta", "Alpha", "Mid"}));
  EXPECT_TRUE(Names("Nobody").empty());
  const std::vector<Procedure*> all = manager.List();
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[3]->_ownerClass, "Light");  // by owner class, then order
  EXPECT_EQ(manager.List("Light").size(), 1u);
}

TEST_F(ProceduresManagerTest, EveryChangeGivesAFreshRevision) {
  std::set<uint32_t> seen;
  VeskProcedure* p = Add("Body", "Move");
  seen.insert(p->_revision);
  ASSERT_TRUE(manager.ChangeParameters("Body", "Move", VarList(), true));
  EXPECT_TRUE(seen.insert(p->_revision).second);
  EXPECT_TRUE(p->_isStatic);
  EXPECT_EQ(p->_params.Count(), 0u);
  ASSERT_TRUE(manager.Rename("Body", "Move", "Body", "Go"));
  EXPECT_TRUE(seen.insert(p->_revision).second);
  ASSERT_TRUE(manager.Remove("Body", "Go"));
  EXPECT_TRUE(seen.insert(p->_revision).second);
  // A second manager draws from the same counter.
  ProceduresManager other;
  VeskProcedure* q = other.RegisterFunction("Body", "Move", true, VarList(), nullptr);
  EXPECT_TRUE(seen.insert(q->_revision).second);
}

TEST_F(ProceduresManagerTest, ChangeParametersAcceptsTheProceduresOwnList) {
  VeskProcedure* p = Add("Body", "Move");
  p->_params.AddVar(VarFloat(VarType_Float, VarMode_Out, "y", 0, 0, 1));
  ASSERT_TRUE(manager.ChangeParameters("Body", "Move", p->_params, false));
  ASSERT_EQ(p->_params.Count(), 2u);
  EXPECT_STREQ(p->_params._vars[1]->Name(), "y");
  EXPECT_FALSE(manager.ChangeParameters("Body", "None", VarList(), false));
}

TEST_F(ProceduresManagerTest, RenameMovesTheEntry) {
  VeskProcedure* a = Add("Body", "A");
  Add("Body", "B");
  Add("Light", "C");
  EXPECT_FALSE(manager.Rename("Body", "A", "Light", "C"));  // taken
  EXPECT_FALSE(manager.Rename("Body", "None", "Body", "D"));
  const uint32_t before = a->_revision;
  EXPECT_TRUE(manager.Rename("Body", "A", "Body", "A"));  // same names: no change
  EXPECT_EQ(a->_revision, before);

  ASSERT_TRUE(manager.Rename("Body", "A", "Body", "A2"));
  EXPECT_EQ(Names("Body"), (std::vector<std::string>{"A2", "B"}));  // keeps its place
  ASSERT_TRUE(manager.Rename(a->_ownerClass, a->_name, "Light", "A3"));  // own strings
  EXPECT_EQ(manager.GetProcedure("Body", "A2"), nullptr);
  EXPECT_EQ(manager.GetProcedure("Light", "A3"), a);
  EXPECT_EQ(Names("Body"), (std::vector<std::string>{"B"}));
  EXPECT_EQ(Names("Light"), (std::vector<std::string>{"C", "A3"}));
}

TEST_F(ProceduresManagerTest, RemovedProceduresStayReadable) {
  VeskProcedure* p = Add("Body", "Move");
  const uint32_t before = p->_revision;
  ASSERT_TRUE(manager.Remove("Body", "Move"));
  EXPECT_FALSE(manager.Remove("Body", "Move"));
  EXPECT_EQ(manager.GetProcedure("Body", "Move"), nullptr);
  EXPECT_EQ(manager.Count(), 0u);
  EXPECT_TRUE(Names("Body").empty());
  // Still allocated: a channel holding it reads a stale revision.
  EXPECT_NE(p->_revision, before);
  EXPECT_EQ(p->_name, "Move");
  EXPECT_EQ(p->_params.Count(), 1u);

  VeskProcedure* again = Add("Body", "Move");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, p);

  // RemoveAll retires every procedure the same way.
  Add("Light", "B");
  const uint32_t againBefore = again->_revision;
  manager.RemoveAll();
  EXPECT_EQ(manager.Count(), 0u);
  EXPECT_TRUE(manager.List().empty());
  EXPECT_NE(again->_revision, againBefore);
  EXPECT_EQ(again->_ownerClass, "Body");
}

TEST_F(ProceduresManagerTest, LookupStaysRightThroughChurn) {
  // Removals and renames in a scattered order, between registrations, so
  // that the index's runs are broken and closed up again many times.
  std::set<int> live;
  for (int i = 0; i < 3000; ++i) {
    ASSERT_NE(Add("O" + std::to_string(i % 5), "P" + std::to_string(i)), nullptr);
    live.insert(i);
    if (i % 3 == 2) {
      const int gone = (i * 7919) % (i + 1);
      if (live.erase(gone) != 0) {
        ASSERT_TRUE(manager.Remove("O" + std::to_string(gone % 5), "P" + std::to_string(gone)));
      }
    }
  }
  for (int i = 0; i < 3000; i += 11) {
    if (live.count(i) == 0) continue;
    ASSERT_TRUE(manager.Rename("O" + std::to_string(i % 5), "P" + std::to_string(i), "R",
                               "P" + std::to_string(i)));
  }
  EXPECT_EQ(manager.Count(), live.size());
  for (int i = 0; i < 3000; ++i) {
    const std::string name = "P" + std::to_string(i);
    const bool renamed = i % 11 == 0;
    Procedure* p = manager.GetProcedure(renamed ? "R" : "O" + std::to_string(i % 5), name);
    EXPECT_EQ(p != nullptr, live.count(i) == 1) << name;
    if (p != nullptr) {
      EXPECT_EQ(p->_name, name);
    }
    EXPECT_EQ(manager.GetProcedure(renamed ? "O" + std::to_string(i % 5) : "R", name), nullptr);
  }
}

TEST(ProcedureExecute, RunsTheBodyAndTurnsFailuresIntoResults) {
  ProceduresManager manager;
  VeskProcedure* twice = manager.RegisterFunction(
      "M", "Twice", true, OneFloat("x"), [](VarList& vars) {
        *vars._vars[0]->FloatValue() *= 2;
        return 0;
      });
  VarList vars(twice->_params);
  *vars._vars[0]->FloatValue() = 4;
  EXPECT_EQ(twice->Execute(vars), 0);
  EXPECT_EQ(*vars._vars[0]->FloatValue(), 8.0f);

  VeskProcedure* empty = manager.RegisterFunction("M", "Empty", true, VarList(), nullptr);
  EXPECT_EQ(empty->Execute(vars), 1);
  empty->SetBody([](VarList&) -> int { throw std::runtime_error("boom"); });
  EXPECT_EQ(empty->Execute(vars), 1);
  Procedure plain("M", "Plain", true, VarList());
  EXPECT_EQ(plain.Execute(vars), 1);
}

class FollowersTest : public ProceduresManagerTest {
 protected:
  void SetUp() override { procedure = Add("Body", "Move"); }
  void Change() { ASSERT_TRUE(manager.ChangeParameters("Body", "Move", VarList(), false)); }
  VeskProcedure* procedure = nullptr;
};

TEST_F(FollowersTest, AreToldOfEveryChange) {
  Follower user;
  user.SetCurrentProcedure(procedure);
  EXPECT_EQ(user._currentProcedure, procedure);
  Change();
  EXPECT_EQ(user.updates, 1);
  user.onUpdate = [&] { EXPECT_EQ(user._currentProcedure->_name, "Go"); };
  ASSERT_TRUE(manager.Rename("Body", "Move", "Body", "Go"));
  EXPECT_EQ(user.updates, 2);
  user.onUpdate = nullptr;
  ASSERT_TRUE(manager.Remove("Body", "Go"));
  EXPECT_EQ(user.updates, 3);
}

TEST_F(FollowersTest, FollowOneProcedureAtATime) {
  VeskProcedure* other = Add("Body", "Other");
  Follower user;
  user.SetCurrentProcedure(procedure);
  user.SetCurrentProcedure(procedure);  // no second entry
  EXPECT_EQ(procedure->FollowerCount(), 1u);
  const Follower copy(user);  // a copy follows nothing
  EXPECT_EQ(copy._currentProcedure, nullptr);
  EXPECT_EQ(procedure->FollowerCount(), 1u);
  user.SetCurrentProcedure(other);
  EXPECT_EQ(procedure->FollowerCount(), 0u);
  Change();
  EXPECT_EQ(user.updates, 0);
  user.SetCurrentProcedure(nullptr);
  EXPECT_EQ(other->FollowerCount(), 0u);
}

TEST_F(FollowersTest, DestroyedFollowerIsNeverTold) {
  auto user = std::make_unique<Follower>();
  user->SetCurrentProcedure(procedure);
  user.reset();
  EXPECT_EQ(procedure->FollowerCount(), 0u);
  Change();  // would touch freed memory if the follower were still listed
}

TEST_F(FollowersTest, FollowerMayUnfollowOthersDuringTheRound) {
  Follower first;
  Follower second;
  Follower third;
  for (Follower* f : {&first, &second, &third}) f->SetCurrentProcedure(procedure);
  first.onUpdate = [&] {
    first.SetCurrentProcedure(nullptr);
    second.SetCurrentProcedure(nullptr);
  };
  Change();
  EXPECT_EQ(first.updates, 1);
  EXPECT_EQ(second.updates, 0);
  EXPECT_EQ(third.updates, 1);
  EXPECT_EQ(procedure->FollowerCount(), 1u);
}

TEST_F(FollowersTest, FollowerDestroyedDuringTheRoundIsSkipped) {
  Follower first;
  auto second = std::make_unique<Follower>();
  first.SetCurrentProcedure(procedure);
  second->SetCurrentProcedure(procedure);
  first.onUpdate = [&] { second.reset(); };
  Change();
  EXPECT_EQ(first.updates, 1);
  EXPECT_EQ(procedure->FollowerCount(), 1u);
}

TEST_F(FollowersTest, NewFollowerWaitsForTheNextRound) {
  Follower first;
  Follower late;
  first.SetCurrentProcedure(procedure);
  first.onUpdate = [&] { late.SetCurrentProcedure(procedure); };
  Change();
  EXPECT_EQ(late.updates, 0);
  Change();
  EXPECT_EQ(late.updates, 1);
  EXPECT_EQ(first.updates, 2);
}

TEST_F(FollowersTest, ManyComeAndGoAndTheRestAreToldInTheOrderTheyCame) {
  std::vector<std::unique_ptr<Follower>> users(100);
  std::vector<int> told;
  for (size_t i = 0; i < users.size(); ++i) {
    users[i] = std::make_unique<Follower>();
    users[i]->onUpdate = [&told, i] { told.push_back(static_cast<int>(i)); };
    users[i]->SetCurrentProcedure(procedure);
  }
  // Most stop, in an order of their own; some of them come back last.
  for (size_t i = 0; i < users.size(); ++i) {
    if (i % 10 != 3) users[(i * 37) % users.size()]->SetCurrentProcedure(nullptr);
  }
  users[50].reset();
  users[40]->SetCurrentProcedure(procedure);
  users[20]->SetCurrentProcedure(procedure);
  EXPECT_EQ(procedure->FollowerCount(), 12u);
  Change();
  // Those that never stopped ((i * 37) % 100 for i = 3, 13, ..., 93) in
  // the order they came, then the two that came back.
  EXPECT_EQ(told, (std::vector<int>{1, 11, 21, 31, 41, 51, 61, 71, 81, 91, 40, 20}));
}

TEST(FollowersLifetime, DestroyedManagerLeavesUsersFollowingNothing) {
  Follower user;
  {
    ProceduresManager manager;
    user.SetCurrentProcedure(manager.RegisterFunction("A", "B", true, VarList(), nullptr));
    ASSERT_NE(user._currentProcedure, nullptr);
  }
  EXPECT_EQ(user._currentProcedure, nullptr);
}

TEST(ObjectsManagerTest, GivesIdsFromOneAndSkipsTakenOnes) {
  ObjectsManager objects;
  EXPECT_EQ(objects.Get(0), nullptr);
  VanticObject* a = objects.Create("Body", "a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Id(), 1u);
  EXPECT_NE(objects.CreateWithId(2, "Body", "b"), nullptr);
  EXPECT_EQ(objects.CreateWithId(2, "Body", "dup"), nullptr);
  EXPECT_EQ(objects.CreateWithId(0, "Body", "zero"), nullptr);
  EXPECT_EQ(objects.Create("Body", "c")->Id(), 3u);
  EXPECT_EQ(objects.FindByName("b")->Id(), 2u);
  EXPECT_TRUE(objects.Remove(1));
  EXPECT_FALSE(objects.Remove(1));
  EXPECT_EQ(objects.Create("Body", "d")->Id(), 4u);  // ids are not reused
  EXPECT_EQ(objects.All().size(), 3u);
  objects.Clear();
  EXPECT_EQ(objects.Create("Body", "e")->Id(), 1u);
}

TEST(ObjectsManagerTest, MissingPropertiesReadAsZero) {
  VanticObject object(1, "Body", "o");
  EXPECT_FALSE(object.HasFloat("mass"));
  EXPECT_EQ(object.GetFloat("mass"), 0.0f);
  EXPECT_EQ(object.GetVector("pos").y, 0.0f);
  object.SetVector("pos", Vec3{1, 2, 3});
  EXPECT_EQ(object.GetVector("pos").y, 2.0f);
}

}  // namespace
