// When a channel makes its child links again for the procedure it binds.
#include <gtest/gtest.h>


#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

class PrcCallRebuildRuleTest : public PrcCallTest {
 protected:
  // Whether a channel whose links were made for (`ourStatic`, `ours`) must
  // rebuild them for a procedure (`theirStatic`, `theirs`).
  bool Rebuild(bool ourStatic, const VarList& ours, bool theirStatic, const VarList& theirs) {
    Procedure procedure("Hero", "Jump", theirStatic, theirs);
    Ubo_VanticPrcCall ch;
    PrcCallTestPeer::SetStatic(ch, ourStatic);
    PrcCallTestPeer::ParamVars(ch).AddVars(ours);
    PrcCallTestPeer::SetProcedure(ch, &procedure);
    const bool answer = PrcCallTestPeer::ShouldCreateChildLinks(ch);
    PrcCallTestPeer::SetProcedure(ch, nullptr);
    return answer;
  }
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
  EXPECT_EQ(_messages.Count(), 0u);
}

TEST_F(PrcCallRebuildRuleTest, WithoutAProcedureItIsReportedAndNothingIsRebuilt) {
  Ubo_VanticPrcCall ch;
  EXPECT_FALSE(PrcCallTestPeer::ShouldCreateChildLinks(ch));
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::ShouldCreateChildLinks()._procedure");
}

}  // namespace
}  // namespace prccall_test
