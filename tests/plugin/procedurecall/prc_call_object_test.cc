// A procedure-call channel as an object: construction, the initial mode
// set and names, and destruction.
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

}  // namespace
}  // namespace prccall_test
