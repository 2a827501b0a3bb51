// Binding a channel to a procedure by its two names (UpdatePrc), when it
// makes its child links again for the procedure it binds, and what a bound
// channel lets go of when destroyed. (Which parameters bound channels
// hold, shared or not, is the lifecycle model's.)
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "plugin/diagnostics/diagnostic_report.h"
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
  // The link note was the last text formatted through FormatTempString,
  // so the message buffer holds it (the text holder: the lifecycle model).
  EXPECT_STREQ(debugMessageBuffer, "CreatingNewSetOfChildLinks!");
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

// The type's labels and dependency; a destroyed channel no longer follows
// its procedure (its parameter list going with it is the sanitizers' to
// check).
TEST_F(PrcCallBindingTest, LabelsDependencyAndDestructionUnfollows) {
  VeskProcedure* p = Register("Hero", "Jump", true, Params({{"h", VarType_Float, 1}}));
  {
    Ubo_VanticPrcCall ch;
    ASSERT_NE(ch.GetModeDescription(0), nullptr);
    EXPECT_EQ(ch.GetModeDescription(0)->Name, "call");
    EXPECT_EQ(ch.GetModeDescription(), "Name:");
    Zyr_List dependencies;
    ch.DoDependencyInit(&dependencies);
    ASSERT_EQ(dependencies.Count(), 1u);
    EXPECT_EQ(dependencies.At(0), FloatGuid());
    ASSERT_EQ(ch.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
    EXPECT_EQ(p->FollowerCount(), 1u);
  }
  EXPECT_EQ(p->FollowerCount(), 0u);
}

class PrcCallRebuildRuleTest : public PrcCallTest {
 protected:
  // Whether a channel whose links were made for (`ourStatic`, `ours`) must
  // rebuild them for a procedure (`theirStatic`, `theirs`): variable by
  // variable (a list of the channel's own, a procedure never registered),
  // and, which must agree, by the layout values of registered procedures
  // (a list that binding took from one of them).
  bool Rebuild(bool ourStatic, const VarList& ours, bool theirStatic, const VarList& theirs) {
    Procedure procedure("Hero", "Jump", theirStatic, theirs);
    Ubo_VanticPrcCall ch;
    PrcCallTestPeer::SetStatic(ch, ourStatic);
    PrcCallTestPeer::ParamVars(ch).AddVars(ours);
    PrcCallTestPeer::SetProcedure(ch, &procedure);
    const bool answer = PrcCallTestPeer::ShouldCreateChildLinks(ch);
    PrcCallTestPeer::SetProcedure(ch, nullptr);

    const std::string name = "Rule" + std::to_string(++_rules);
    Register("Ours", name, ourStatic, ours);
    VeskProcedure* registered = Register("Theirs", name, theirStatic, theirs);
    Ubo_VanticPrcCall bound;
    EXPECT_EQ(bound.UpdatePrc("Ours", name), kUpdatePrcBound);
    PrcCallTestPeer::SetProcedure(bound, registered);
    EXPECT_EQ(PrcCallTestPeer::ShouldCreateChildLinks(bound), answer) << name;
    return answer;
  }
  int _rules = 0;
};

// Equal lists and flags keep the links, whatever the values and bounds; a
// name's case, a type or a mode alone is a new layout. (Order, count and
// the static flag: the lifecycle model's procedures change those.)
TEST_F(PrcCallRebuildRuleTest, OnlyTheLayoutAndStaticFlagCount) {
  const VarList ab = Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 1}});
  VarList otherValues;
  otherValues.AddVar(VarFloat(VarType_Float, 1, "a", -3.0f, -10.0f, 10.0f));
  otherValues.AddVar(VarFloat(VarType_Float, 1, "b", 5.0f, 0.0f, 1.0f));
  EXPECT_FALSE(Rebuild(false, ab, false, otherValues));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"B", VarType_Float, 1}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 1}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 3}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}})));
  EXPECT_EQ(_messages.CountAtLevel(1), 0u);
}

TEST_F(PrcCallRebuildRuleTest, WithoutAProcedureItIsReportedAndNothingIsRebuilt) {
  Ubo_VanticPrcCall ch;
  EXPECT_FALSE(PrcCallTestPeer::ShouldCreateChildLinks(ch));
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::ShouldCreateChildLinks()._procedure");
}

}  // namespace
}  // namespace prccall_test
