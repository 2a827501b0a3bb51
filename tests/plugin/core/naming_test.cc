#include <gtest/gtest.h>

#include "tests/plugin/core/test_channel.h"
#include "tests/support/test_support.h"

using testing_support::MessageCapture;

namespace {

using ChannelNaming = TestModesFixture;

// A group whose name is unknown.
class NamelessGroup : public Zyr_ChannelGroup {
 public:
  NamelessGroup() : Zyr_ChannelGroup("unused") {}
  const char* GetGroupName() override { return nullptr; }
};

// User texts (prefix, group, channel, message) stand literally.
TEST_F(ChannelNaming, AutomaticNameAndPrefixedMessageNameModeGroupAndChannel) {
  Ubo_TestModes ch;
  Zyr_ChannelGroup group("G");
  ch.SetChannelName("C");
  MessageCapture capture;
  EXPECT_EQ(ch.GetPrefixedMessage("Hello"), "CGR[].Channel[C].Hello");
  ch.SetChannelGroup(&group);
  EXPECT_EQ(ch.GetPrefixedMessage("Hi"), "CGR[G].Channel[C].Hi");
  EXPECT_EQ(capture.CountContaining("ModeNotRecognized.Mode[4294967295]"), capture.Count())
      << "only the registry's report of the missing mode";

  ch.SetNamePrefix("%s%n_");
  ch.SetCurrentMode(0);
  EXPECT_STREQ(ch.GetChannelName(), "%s%n_Sine");
  group.SetGroupName("50%d");
  ch.SetChannelName("%s%n");
  EXPECT_EQ(ch.GetPrefixedMessage("%u"), "%s%n_Sine.CGR[50%d].Channel[%s%n].%u");
  ch.SetChannelGroup(nullptr);
}

TEST_F(ChannelNaming, UnregisteredModeIsNamedByItsCode) {
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
}

TEST_F(ChannelNaming, NullGroupNameNullMessageAndNullChannel) {
  Ubo_TestModes ch;
  NamelessGroup group;
  ch.SetChannelGroup(&group);
  ch.SetCurrentMode(1);
  ch.SetChannelName("C");
  EXPECT_EQ(ch.GetPrefixedMessage("Hi"), "Saw.CGR[null].Channel[C].Hi");

  MessageCapture capture;
  EXPECT_EQ(ch.GetPrefixedMessage(static_cast<const char*>(nullptr)), "Saw.CGR[null].Channel[C].");
  EXPECT_STREQ(GetChannelGroupName(nullptr), "");
  ASSERT_EQ(capture.CountAtLevel(1), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("GetPrefixedMessage") + "().message");
  EXPECT_EQ(capture.Messages()[1].text, "GetChannelGroupName().ch");
  ch.SetChannelGroup(nullptr);
}

}  // namespace
