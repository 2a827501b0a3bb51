// ProceduresManager, procedure followers and ObjectsManager.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "hostapi/vantic_procedure.h"

namespace {

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
    VarList params;
    params.AddVar(VarFloat(VarType_Float, VarMode_In, "x", 0, 0, 1));
    return manager.RegisterFunction(owner, name, false, params, nullptr);
  }
  ProceduresManager manager;
};

TEST_F(ProceduresManagerTest, RegistersInOrderAndRefusesTakenNames) {
  VeskProcedure* zeta = Add("Body", "Zeta");
  Add("Light", "On");
  Add("Body", "Alpha");
  EXPECT_EQ(Add("Body", "Zeta"), nullptr);
  EXPECT_EQ(manager.Register(nullptr), nullptr);
  EXPECT_EQ(manager.GetProcedure("Body", "Zeta"), zeta);
  EXPECT_EQ(manager.GetProcedure("Body", "zeta"), nullptr);
  EXPECT_EQ(manager.GetProcedure("Bod", "yZeta"), nullptr);
  std::vector<std::string> names = {"kept"};
  manager.GetProceduresList("Body", names);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "Zeta", "Alpha"}));
  EXPECT_EQ(manager.List().back()->_ownerClass, "Light");  // by owner class, then order
}

// Changes and renames given the procedure's own list and strings; every
// manager draws its revisions from one counter. (A fresh revision at every
// change, rename and removal, and a removed procedure readable while held:
// the lifecycle model, which frees retired procedures at once.)
TEST_F(ProceduresManagerTest, OwnArgumentsAndOneRevisionCounter) {
  VeskProcedure* p = Add("Body", "Move");
  p->_params.AddVar(VarFloat(VarType_Float, VarMode_Out, "y", 0, 0, 1));
  ASSERT_TRUE(manager.ChangeParameters("Body", "Move", p->_params, true));
  EXPECT_EQ(p->_params.Count(), 2u);
  ASSERT_TRUE(manager.Rename(p->_ownerClass, p->_name, "Light", "Go"));
  EXPECT_EQ(manager.GetProcedure("Light", "Go"), p);
  ProceduresManager other;
  EXPECT_GT(other.RegisterFunction("B", "M", true, VarList(), nullptr)->_revision, p->_revision);
}

// Removals in a scattered order among thousands of procedures break and
// close up the index's runs many times, through its growth. (Renames, and
// the index's runs on a small table: the lifecycle model.)
TEST_F(ProceduresManagerTest, LookupStaysRightThroughChurn) {
  std::set<int> live;
  const auto owner = [](int i) { return "O" + std::to_string(i % 5); };
  for (int i = 0; i < 3000; ++i) {
    ASSERT_NE(Add(owner(i), "P" + std::to_string(i)), nullptr);
    live.insert(i);
    const int gone = (i * 7919) % (i + 1);
    if (i % 3 == 2 && live.erase(gone) != 0) {
      ASSERT_TRUE(manager.Remove(owner(gone), "P" + std::to_string(gone)));
    }
  }
  EXPECT_EQ(manager.Count(), live.size());
  for (int i = 0; i < 3000; ++i) {
    Procedure* p = manager.GetProcedure(owner(i), "P" + std::to_string(i));
    EXPECT_EQ(p != nullptr, live.count(i) == 1) << i;
    EXPECT_TRUE(p == nullptr || p->_name == "P" + std::to_string(i));
  }
}

// A procedure that counts its destructions.
class Counted : public VeskProcedure {
 public:
  explicit Counted(const std::string& name)
      : VeskProcedure("Keep", name, true, VarList(), nullptr) {}
  ~Counted() override { ++destroyed; }
  static inline int destroyed = 0;
};

// A removed procedure lives while it is followed, through sweeps, and
// while it is held, also past its manager; a destroyed manager leaves its
// followers following nothing. (Freed once nothing reaches it, the heap
// flat under churn: tests/fault/churn_memory_test, the lifecycle model.)
TEST_F(ProceduresManagerTest, RemovedProceduresLiveWhileReachable) {
  Follower follower;
  follower.SetCurrentProcedure(
      static_cast<VeskProcedure*>(manager.Register(std::make_unique<Counted>("Followed"))));
  ASSERT_TRUE(manager.Remove("Keep", "Followed"));
  for (int i = 0; i < 100; ++i) {
    ASSERT_NE(manager.Register(std::make_unique<Counted>("Churn")), nullptr);
    ASSERT_TRUE(manager.Remove("Keep", "Churn"));
  }
  EXPECT_EQ(follower._currentProcedure->_name, "Followed");
  auto outliving = std::make_unique<ProceduresManager>();
  ProcedureHold orphan(outliving->Register(std::make_unique<Counted>("Orphan")));
  Follower left;
  left.SetCurrentProcedure(outliving->RegisterFunction("A", "B", true, VarList(), nullptr));
  outliving.reset();
  EXPECT_EQ(orphan->_name, "Orphan");  // left behind to its hold
  EXPECT_EQ(left._currentProcedure, nullptr);
  const int destroyed = Counted::destroyed;
  orphan.Reset(nullptr);
  EXPECT_EQ(Counted::destroyed, destroyed + 1);
}

// A body's result is the procedure's; no body or a throwing one fails.
TEST_F(ProceduresManagerTest, ExecuteTurnsFailuresIntoResults) {
  VeskProcedure* p = Add("M", "Seven");
  VarList vars(p->_params);
  p->SetBody([](VarList&) { return 7; });
  EXPECT_EQ(p->Execute(vars), 7);
  p->SetBody(nullptr);
  EXPECT_EQ(p->Execute(vars), 1);
  p->SetBody([](VarList&) -> int { throw std::runtime_error("boom"); });
  EXPECT_EQ(p->Execute(vars), 1);
}

// Followers destroyed during an update are never told (before it: the
// plug-in's binding tests); one unfollowing others mid-round stops them; a
// new one waits a round.
TEST_F(ProceduresManagerTest, FollowersComingAndGoingDuringARound) {
  VeskProcedure* procedure = Add("Body", "Move");
  const auto change = [this] { ASSERT_TRUE(manager.ChangeParameters("Body", "Move", VarList(), false)); };
  Follower first;
  Follower second;
  Follower late;
  auto destroyed = std::make_unique<Follower>();
  for (Follower* f : {&first, &second, destroyed.get()}) f->SetCurrentProcedure(procedure);
  first.onUpdate = [&] {
    second.SetCurrentProcedure(nullptr);
    destroyed.reset();
    late.SetCurrentProcedure(procedure);
  };
  change();
  EXPECT_EQ(second.updates, 0);
  EXPECT_EQ(late.updates, 0);
  first.onUpdate = nullptr;
  change();
  EXPECT_EQ(late.updates, 1);
  EXPECT_EQ(first.updates, 2);
  EXPECT_EQ(procedure->FollowerCount(), 2u);
}

TEST(ObjectsManagerTest, GivesIdsFromOneAndSkipsTakenOnes) {
  ObjectsManager objects;
  EXPECT_EQ(objects.Create("Body", "a")->Id(), 1u);
  EXPECT_NE(objects.CreateWithId(2, "Body", "b"), nullptr);
  EXPECT_EQ(objects.CreateWithId(2, "Body", "dup"), nullptr);
  EXPECT_EQ(objects.CreateWithId(0, "Body", "zero"), nullptr);
  EXPECT_EQ(objects.Create("Body", "c")->Id(), 3u);
  EXPECT_TRUE(objects.Remove(1));
  EXPECT_FALSE(objects.Remove(1));
  EXPECT_EQ(objects.Create("Body", "d")->Id(), 4u);  // ids are not reused
  objects.Clear();
  EXPECT_EQ(objects.Create("Body", "e")->Id(), 1u);
}

}  // namespace
