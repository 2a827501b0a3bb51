// A procedure-call channel as an object: construction, the initial mode
// set and names, copying and destruction.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallObjectTest = PrcCallTest;

TEST_F(PrcCallObjectTest, NewChannelIsUnboundInTheInitialMode) {
  Ubo_VanticPrcCall ch;
  EXPECT_EQ(ch.GetPrcName(), "");
  EXPECT_EQ(ch.GetBoundProcedure(), nullptr);
  EXPECT_TRUE(ch.IsStatic());
  EXPECT_EQ(ch.GetChildCreationCount(), 0);
  EXPECT_EQ(ch.GetCurrentMode(), 0u);
  ASSERT_EQ(ch.GetModeCount(), 1u);
  const ModeDescription* mode = ch.GetModeDescription(0);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->ShortName, "Call");
  EXPECT_EQ(mode->Name, "call");
  EXPECT_STREQ(ch.GetChannelName(), "VanticPrcCall_Call");
  EXPECT_EQ(ch.GetNamePrefix(), "VanticPrcCall_");
  EXPECT_EQ(ch.GetModeDescription(), "Name:");
  EXPECT_EQ(_messages.Count(), 0u);
}

// A list that counts its destructions.
class CountingVarList : public VarList {
 public:
  explicit CountingVarList(int* destroyed) : _destroyed(destroyed) {}
  ~CountingVarList() override { ++*_destroyed; }

 private:
  int* _destroyed;
};

TEST_F(PrcCallObjectTest, DestructionDeletesTheParameterListOnceAndNeverTheProcedure) {
  VeskProcedure* p = Register("Hero", "Jump", true, Params({{"h", VarType_Float, 1}}));
  int destroyed = 0;
  {
    Ubo_VanticPrcCall ch;
    ASSERT_EQ(ch.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
    PrcCallTestPeer::ReplaceParamVars(ch, new CountingVarList(&destroyed));
    EXPECT_EQ(p->FollowerCount(), 1u);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(Procedures().GetProcedure("Hero", "Jump"), p);
  EXPECT_EQ(p->FollowerCount(), 0u);
}

TEST_F(PrcCallObjectTest, CopyHasItsOwnCopiesOfTheVariablesAndIsUnbound) {
  Register("Hero", "Jump", false, Params({{"h", VarType_Float, 1}, {"d", VarType_Vec3, 2}}));
  Ubo_VanticPrcCall original;
  ASSERT_EQ(original.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
  {
    Ubo_VanticPrcCall copy(original);
    EXPECT_EQ(copy.GetPrcName(), "Jump");
    EXPECT_EQ(copy.GetBoundProcedure(), nullptr);
    EXPECT_NE(copy.GetParamVars()._vars[0], original.GetParamVars()._vars[0]);
    EXPECT_EQ(LinkNames(copy), (std::vector<std::string>{"This", "h", "d"}));

    // The copy binds by its names at its first due evaluation and keeps
    // the links it was copied with.
    _messages.Clear();
    NextFrame();
    copy.GetFloat();
    EXPECT_EQ(copy.GetBoundProcedure(), original.GetBoundProcedure());
    EXPECT_EQ(_messages.CountContaining("CreatingNewSetOfChildLinks!"), 0u);

    PrcCallTestPeer::ParamVars(copy).ClearVars();
    EXPECT_EQ(original.GetParamVars().Count(), 2u);
  }
  EXPECT_EQ(original.GetParamVars().Count(), 2u);
  EXPECT_EQ(original.GetBoundProcedure(), Procedures().GetProcedure("Hero", "Jump"));
}

}  // namespace
}  // namespace prccall_test
