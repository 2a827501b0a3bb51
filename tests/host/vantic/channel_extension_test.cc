// ChannelExtension<Ubo_FloatChannel>: link declaration and naming, and
// damaged tagged values. Sound values round trip through the call
// channel's own save and load (tests/plugin, the lifecycle model).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostapi/guid.h"
#include "hostapi/vantic_channel_extension.h"
#include "hostapi/zyr_file.h"

namespace {

class ExtendedChannel : public Ubo_FloatChannel, public ChannelExtension<Ubo_FloatChannel> {
 public:
  ExtendedChannel() { CE_SetSelf(this); }
  using ChannelExtension<Ubo_FloatChannel>::ReadChannelValue;
  using ChannelExtension<Ubo_FloatChannel>::SaveChannelValue;
  using ChannelExtension<Ubo_FloatChannel>::SetChildLinkName;
};

// Links are appended and named; texts are cut to the record's fields, the
// name itself kept; names are sparse and copied, the channel is not.
TEST(ChannelExtensionLinks, CreateLinkAppendsAndNames) {
  ExtendedChannel channel;
  const GUID value = guid::FromString(guid::kFloatChannelType);
  channel.CreateLink(value, "Value", "first", kLinkModeInput, false);
  channel.CreateLink(value, "Value", "second%s", kLinkModeOutput, true);
  ASSERT_EQ(channel.GetChildCreationCount(), 2);
  EXPECT_EQ(channel.GetChildCreation(0)->LinkIndex, 0);
  EXPECT_EQ(channel.GetChildCreation(1)->LinkIndex, -1);
  EXPECT_EQ(channel.GetChildCreation(1)->LinkMode, kLinkModeOutput);
  EXPECT_STREQ(channel.GetChildLinkName(1), "second%s");
  EXPECT_STREQ(channel.GetChildLinkName(2), "");
  const std::string longText(500, 'x');
  channel.CreateLink(value, longText.c_str(), longText.c_str(), kLinkModeInput, false);
  EXPECT_EQ(std::strlen(channel.GetChildCreation(2)->Type._name), 79u);
  EXPECT_EQ(std::strlen(channel.GetChildCreation(2)->LinkName), 99u);
  EXPECT_EQ(std::string(channel.GetChildLinkName(2)), longText);
  channel.CreateLink(GUID{}, nullptr, "n", kLinkModeInput, false);
  channel.CreateLink(GUID{}, "t", nullptr, kLinkModeInput, false);
  channel.SetChildLinkName(0xFFFFFFFFu, "far");
  channel.SetChildLinkName(3, nullptr);
  EXPECT_STREQ(channel.GetChildLinkName(3), "");
  ChannelExtension<Ubo_FloatChannel> copy(channel);
  EXPECT_EQ(copy.CE_GetSelf(), nullptr);
  EXPECT_STREQ(copy.GetChildLinkName(0xFFFFFFFFu), "far");
  EXPECT_EQ(channel.CE_ExecuteTrigger(0, nullptr), 1);  // no triggers
  channel.CE_SetSelf(nullptr);
  channel.CreateLink(GUID{}, "t", "n", kLinkModeInput, false);
  EXPECT_EQ(channel.GetChildCreationCount(), 3);
}

// Bad tags and oversized strings are not written; oversized strings are
// refused on reading and passed over, leaving the value as it was. (Numbers
// of the wrong size: tests/fault/damaged_record_test.)
TEST(ChannelExtensionValues, DamagedEntriesAreRefusedAndPassedOver) {
  ExtendedChannel channel;
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString(guid::kPrcCallChannelType));
  const std::string huge(kMaxChannelValueString + 1, 'h');
  EXPECT_FALSE(channel.SaveChannelValue(saver, "AB", 1u));
  EXPECT_FALSE(channel.SaveChannelValue(saver, "ABCDE", std::string("x")));
  EXPECT_FALSE(channel.SaveChannelValue(saver, nullptr, 1u));
  EXPECT_FALSE(channel.SaveChannelValue(saver, "NAME", huge));
  ASSERT_EQ(saver.SaveTag("NAME"), 0);  // written past the extension's check
  ASSERT_EQ(saver.SaveBlockSize(static_cast<uint32_t>(huge.size())), 0);
  ASSERT_EQ(saver.SaveDataToFile(huge.data(), static_cast<uint32_t>(huge.size())), 0);
  ASSERT_TRUE(channel.SaveChannelValue(saver, "PRMS", 5u));
  ASSERT_TRUE(channel.SaveChannelValue(saver, "NAME", std::string(kMaxChannelValueString, 'm')));
  ASSERT_TRUE(saver.EndChannel());
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(saver.Bytes()));
  ASSERT_TRUE(loader.NextChannel(nullptr));
  uint32_t value = 77;
  std::string text = "kept";
  EXPECT_FALSE(channel.ReadChannelValue(loader, "PRMS", value));  // not at the position
  EXPECT_FALSE(channel.ReadChannelValue(loader, "NAME", text));   // too long: passed over
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(value, 77u);
  EXPECT_TRUE(channel.ReadChannelValue(loader, "PRMS", value));
  EXPECT_EQ(value, 5u);
  EXPECT_TRUE(channel.ReadChannelValue(loader, "NAME", text));
  EXPECT_EQ(text.size(), kMaxChannelValueString);
}

}  // namespace
