// Binding a channel to a procedure by its two names (UpdatePrc).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallBindingTest = PrcCallTest;

TEST_F(PrcCallBindingTest, ReportsComeInOrderWithTheirPrefixes) {
  Register("Hero", "Jump", true, Params({{"h", VarType_Float, 1}}));
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  ASSERT_EQ(_messages.Count(), 2u);
  // The link note already shows the new name; the binding report carries
  // the prefix from before the rename. (Their levels are the lifecycle
  // model's.)
  EXPECT_EQ(_messages.Messages()[0].text,
            "VanticPrcCall_Call.CGR[].Channel[Hero :: Jump].CreatingNewSetOfChildLinks!");
  EXPECT_EQ(
      _messages.Messages()[1].text,
      "VanticPrcCall_Call.CGR[].Channel[VanticPrcCall_Call].UpdatingProcedure[Hero/Jump].OK!");
}

// Channels bound to one procedure share one copy of its parameters; a
// channel that takes other parameters (binding again, loading) never
// changes what the others hold.
TEST_F(PrcCallBindingTest, SharedParametersNeverChangeUnderAnotherChannel) {
  Register("Hero", "Jump", true, Params({{"h", VarType_Float, 1}}));
  Ubo_VanticPrcCall a, b, other;
  ASSERT_EQ(a.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  ASSERT_EQ(b.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  EXPECT_EQ(&a.GetParamVars(), &b.GetParamVars());
  ASSERT_TRUE(
      Procedures().ChangeParameters("Hero", "Jump", Params({{"x", VarType_Vec3, 2}}), true));
  ASSERT_EQ(a.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  EXPECT_STREQ(a.GetParamVars()._vars[0]->Name(), "x");
  EXPECT_STREQ(b.GetParamVars()._vars[0]->Name(), "h");
  ASSERT_EQ(b.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  EXPECT_EQ(&a.GetParamVars(), &b.GetParamVars());
  Register("Hero", "Land", true, Params({{"y", VarType_Float, 3}}));
  ASSERT_EQ(other.UpdatePrc("Hero", "Land"), kUpdatePrcBound);
  ASSERT_TRUE(LoadFile(SaveFile(other), b));
  EXPECT_STREQ(b.GetParamVars()._vars[0]->Name(), "y");
  EXPECT_STREQ(a.GetParamVars()._vars[0]->Name(), "x");
  EXPECT_EQ(LinkNames(a), (std::vector<std::string>{"x"}));
}

TEST_F(PrcCallBindingTest, ArgumentsMayBeTheChannelsOwnNamesEitherWayRound) {
  Register("Hero", "Jump", true, VarList());
  Register("Jump", "Hero", true, VarList());
  for (const bool crosswise : {false, true}) {
    Ubo_VanticPrcCall ch;
    ch.SetPrcOwnerClass("Hero");
    ch.SetPrcName("Jump");
    const std::string& owner = crosswise ? ch.GetPrcName() : ch.GetPrcOwnerClass();
    const std::string& name = crosswise ? ch.GetPrcOwnerClass() : ch.GetPrcName();
    EXPECT_EQ(ch.UpdatePrc(owner, name), kUpdatePrcBound);
    EXPECT_EQ(ch.GetPrcOwnerClass(), crosswise ? "Jump" : "Hero");
    EXPECT_EQ(ch.GetPrcName(), crosswise ? "Hero" : "Jump");
  }
}

// A procedure users cannot follow.
class PlainProcedure : public Procedure {
 public:
  PlainProcedure() : Procedure("Tool", "Measure", true, VarList()) {}
  int Execute(VarList&) override { return 0; }
};

TEST_F(PrcCallBindingTest, PlainProcedureIsBoundButNotFollowed) {
  Procedure* p = Procedures().Register(std::make_unique<PlainProcedure>());
  ASSERT_NE(p, nullptr);
  Ubo_VanticPrcCall ch;
  EXPECT_EQ(ch.UpdatePrc("Tool", "Measure"), kUpdatePrcBound);
  EXPECT_EQ(ch.GetBoundProcedure(), p);
  EXPECT_EQ(ch._currentProcedure, nullptr);
}

}  // namespace
}  // namespace prccall_test
