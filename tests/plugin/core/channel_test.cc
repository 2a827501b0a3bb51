// The multi-mode channel as an object: copies, destruction, its automatic
// name and the prefix of its messages.
#include <gtest/gtest.h>

#include "tests/plugin/core/test_channel.h"

namespace {

using ChannelLifecycle = TestModesFixture;
using ChannelNaming = TestModesFixture;

// (The engine's part of a copy, its name and links: the lifecycle model
// copies channels.)
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

  Ubo_TestModes assigned;
  EXPECT_EQ(Ubo_TestModes::_refCount, 3u);
  EXPECT_TRUE(assigned.GetUseAutoChannelName() && assigned.GetApplySameMode());  // by default
  assigned = a;
  EXPECT_EQ(Ubo_TestModes::_refCount, 3u);
  EXPECT_EQ(assigned.GetCurrentMode(), 3u);
  EXPECT_FALSE(assigned.GetUseAutoChannelName() || assigned.GetApplySameMode());
  EXPECT_EQ(assigned.GetModeDescription(), "Kind:");
}

// The count never wraps. (The report's text: the fault suite's
// OutOfMemoryTest.)
TEST_F(ChannelLifecycle, DestructorAtZeroReportsAndKeepsTheCount) {
  MessageCapture capture;
  {
    Ubo_TestModes ch;
    Ubo_TestModes::_refCount = 0;
  }
  EXPECT_EQ(Ubo_TestModes::_refCount, 0u);
  EXPECT_EQ(capture.CountAtLevel(1), 1u);
}

// A group whose name is unknown.
class NamelessGroup : public Zyr_ChannelGroup {
 public:
  NamelessGroup() : Zyr_ChannelGroup("unused") {}
  const char* GetGroupName() override { return nullptr; }
};

// An unregistered mode names the channel by its code and leaves it out of
// the prefix. User texts (prefix, group, channel, message) stand literally;
// a group without a name shows as "null", a null message as "".
TEST_F(ChannelNaming, AutomaticNameAndPrefixedMessageNameModeGroupAndChannel) {
  Ubo_TestModes ch;
  MessageCapture capture;
  ch.SetAutoChannelName();
  EXPECT_STREQ(ch.GetChannelName(), "UnknownMode[4294967295]");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().text,
            Head("GetModeDescription") + "().ModeNotRecognized.Mode[4294967295]");
  ch._currentMode = 7;
  ch.SetNamePrefix("X");
  ch.SetAutoChannelName();
  EXPECT_STREQ(ch.GetChannelName(), "XUnknownMode[7]");

  Zyr_ChannelGroup group("G");
  ch.SetChannelName("C");
  EXPECT_EQ(ch.GetPrefixedMessage("Hello"), "CGR[].Channel[C].Hello");
  ch.SetChannelGroup(&group);
  EXPECT_EQ(ch.GetPrefixedMessage("Hi"), "CGR[G].Channel[C].Hi");
  EXPECT_EQ(capture.CountContaining("ModeNotRecognized.Mode["), capture.Count())
      << "only the registry's reports of the missing mode";

  ch.SetNamePrefix("%s%n_");
  ch.SetCurrentMode(0);
  EXPECT_STREQ(ch.GetChannelName(), "%s%n_Sine");
  group.SetGroupName("50%d");
  ch.SetChannelName("%s%n");
  EXPECT_EQ(ch.GetPrefixedMessage("%u"), "%s%n_Sine.CGR[50%d].Channel[%s%n].%u");

  NamelessGroup nameless;
  ch.SetChannelGroup(&nameless);
  capture.Clear();
  EXPECT_EQ(ch.GetPrefixedMessage(static_cast<const char*>(nullptr)),
            "%s%n_Sine.CGR[null].Channel[%s%n].");
  EXPECT_STREQ(GetChannelGroupName(nullptr), "");
  ASSERT_EQ(capture.CountAtLevel(1), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("GetPrefixedMessage") + "().message");
  EXPECT_EQ(capture.Messages()[1].text, "GetChannelGroupName().ch");
  ch.SetChannelGroup(nullptr);
}

}  // namespace
