// A procedure-call channel as an object: its initial mode set and labels,
// and destruction. (The status, names, links and registry of a new channel
// are the lifecycle model's.)
#include <gtest/gtest.h>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallObjectTest = PrcCallTest;

// A list that counts its destructions.
class CountingVarList : public VarList {
 public:
  explicit CountingVarList(int* destroyed) : _destroyed(destroyed) {}
  ~CountingVarList() override { ++*_destroyed; }

 private:
  int* _destroyed;
};

TEST_F(PrcCallObjectTest, LabelsAndDestructionDeletesTheParameterListOnceAndUnfollows) {
  VeskProcedure* p = Register("Hero", "Jump", true, Params({{"h", VarType_Float, 1}}));
  int destroyed = 0;
  {
    Ubo_VanticPrcCall ch;
    ASSERT_NE(ch.GetModeDescription(0), nullptr);
    EXPECT_EQ(ch.GetModeDescription(0)->Name, "call");
    EXPECT_EQ(ch.GetModeDescription(), "Name:");
    ASSERT_EQ(ch.UpdatePrc("Hero", "Jump"), kUpdatePrcBound);
    PrcCallTestPeer::ReplaceParamVars(ch, new CountingVarList(&destroyed));
    EXPECT_EQ(p->FollowerCount(), 1u);
  }
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(p->FollowerCount(), 0u);
}

}  // namespace
}  // namespace prccall_test
