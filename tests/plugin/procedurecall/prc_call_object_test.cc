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
  // Status, names, links and the registry of a new channel are the
  // lifecycle model's; here what it does not look at.
  Ubo_VanticPrcCall ch;
  EXPECT_TRUE(ch.IsStatic());
  const ModeDescription* mode = ch.GetModeDescription(0);
  ASSERT_NE(mode, nullptr);
  EXPECT_EQ(mode->Name, "call");
  EXPECT_EQ(ch.GetNamePrefix(), "VanticPrcCall_");
  EXPECT_EQ(ch.GetModeDescription(), "Name:");
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
