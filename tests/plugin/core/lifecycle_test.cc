#include <gtest/gtest.h>


#include "tests/plugin/core/test_channel.h"
#include "tests/support/test_support.h"

using testing_support::MessageCapture;

namespace {

using ChannelLifecycle = TestModesFixture;

TEST_F(ChannelLifecycle, CopyTakesEveryFieldAndAssignmentKeepsTheCount) {
  Ubo_TestModes a;
  a.SetNamePrefix("P_");
  a.SetModeDescription("Kind:");
  a.SetApplySameMode(false);
  a.SetAutoSetModeOnLoad(false);
  a.SetCurrentMode(3);
  a.SetUseAutoChannelName(false);

  Ubo_TestModes copy(a);
  EXPECT_EQ(Ubo_TestModes::_refCount, 2u);
  EXPECT_EQ(copy.GetCurrentMode(), 3u);
  EXPECT_EQ(copy.GetNamePrefix(), "P_");
  EXPECT_FALSE(copy.GetApplySameMode());
  EXPECT_FALSE(copy.GetUseAutoChannelName());
  EXPECT_STREQ(copy.GetChannelName(), "P_Step");
  EXPECT_EQ(copy.GetChildCreationCount(), 1) << "the engine part copies the links";

  Ubo_TestModes assigned;
  EXPECT_EQ(Ubo_TestModes::_refCount, 3u);
  assigned = a;
  EXPECT_EQ(Ubo_TestModes::_refCount, 3u);
  EXPECT_EQ(assigned.GetCurrentMode(), 3u);
  assigned.SetCurrentMode(0);
  EXPECT_EQ(assigned.CE_GetSelf(), &assigned);
}

TEST_F(ChannelLifecycle, DestructorAtZeroReportsWithoutWrapping) {
  MessageCapture capture;
  {
    Ubo_TestModes ch;
    Ubo_TestModes::_refCount = 0;
  }
  EXPECT_EQ(Ubo_TestModes::_refCount, 0u);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().level, 1u);
  EXPECT_EQ(capture.Last().text, Head("~MultiModeChannel") + "()._refCount>0");
}

}  // namespace
