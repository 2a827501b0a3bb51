// ChannelExtension<Ubo_FloatChannel>: link declaration and naming, and the
// tagged values through the engine's file saver and loader.
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

const GUID kRecordType = guid::FromString(guid::kPrcCallChannelType);

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
  const std::string longText(500, 'x');  // cut to the record's fields
  channel.CreateLink(value, longText.c_str(), longText.c_str(), kLinkModeInput, false);
  EXPECT_EQ(std::strlen(channel.GetChildCreation(2)->Type._name), 79u);
  EXPECT_EQ(std::strlen(channel.GetChildCreation(2)->LinkName), 99u);
  EXPECT_EQ(std::string(channel.GetChildLinkName(2)), longText);  // the name itself is kept
  channel.CreateLink(GUID{}, nullptr, "n", kLinkModeInput, false);
  channel.CreateLink(GUID{}, "t", nullptr, kLinkModeInput, false);
  channel.CE_SetSelf(nullptr);
  channel.CreateLink(GUID{}, "t", "n", kLinkModeInput, false);
  EXPECT_EQ(channel.GetChildCreationCount(), 3);
}

TEST(ChannelExtensionLinks, NamesAreSparseAndCopiedButTheChannelIsNot) {
  ExtendedChannel channel;
  channel.SetChildLinkName(0xFFFFFFFFu, "far");
  channel.SetChildLinkName(3, nullptr);
  EXPECT_STREQ(channel.GetChildLinkName(0xFFFFFFFFu), "far");
  EXPECT_STREQ(channel.GetChildLinkName(3), "");
  const ChannelExtension<Ubo_FloatChannel> copy(channel);
  EXPECT_EQ(copy.CE_GetSelf(), nullptr);
  ChannelExtension<Ubo_FloatChannel> assigned(copy);
  EXPECT_STREQ(assigned.GetChildLinkName(0xFFFFFFFFu), "far");
  EXPECT_EQ(channel.CE_ExecuteTrigger(0, nullptr), 1);
}

// Writes one record through the real saver and opens it again.
class TaggedValuesTest : public ::testing::Test {
 protected:
  void SetUp() override { saver.BeginChannel(kRecordType); }
  // Closes the record and opens the bytes at the record's start.
  void Reopen() {
    ASSERT_TRUE(saver.EndChannel());
    ASSERT_TRUE(loader.Open(saver.Bytes()));
    ASSERT_TRUE(loader.NextChannel(nullptr));
  }
  // An entry of any size, written past the extension's checks.
  void RawEntry(const char* tag, const std::string& data) {
    ASSERT_EQ(saver.SaveTag(tag), 0);
    ASSERT_EQ(saver.SaveBlockSize(static_cast<uint32_t>(data.size())), 0);
    if (!data.empty()) {
      ASSERT_EQ(saver.SaveDataToFile(data.data(), static_cast<uint32_t>(data.size())), 0);
    }
  }

  ExtendedChannel channel;
  ZyrFileSaver saver;
  ZyrFileLoader loader;
};

TEST_F(TaggedValuesTest, RoundTripInTheOrderWritten) {
  EXPECT_TRUE(channel.SaveChannelValue(saver, "OWNC", std::string("Body%n")));
  EXPECT_TRUE(channel.SaveChannelValue(saver, "PRCN", std::string()));
  EXPECT_TRUE(channel.SaveChannelValue(saver, "MODE", 0xA1B2C3D4u));
  EXPECT_TRUE(channel.SaveChannelValue(saver, "MODE", 3u));
  Reopen();
  std::string owner;
  std::string name = "not empty";
  uint32_t first = 0;
  uint32_t second = 0;
  EXPECT_TRUE(channel.ReadChannelValue(loader, "OWNC", owner));
  EXPECT_TRUE(channel.ReadChannelValue(loader, "PRCN", name));
  EXPECT_TRUE(channel.ReadChannelValue(loader, "MODE", first));
  EXPECT_TRUE(channel.ReadChannelValue(loader, "MODE", second));
  EXPECT_EQ(owner, "Body%n");
  EXPECT_EQ(name, "");
  EXPECT_EQ(first, 0xA1B2C3D4u);
  EXPECT_EQ(second, 3u);
  EXPECT_FALSE(channel.ReadChannelValue(loader, "MODE", second));  // end of record
  EXPECT_EQ(second, 3u);
}

// Bad tags and oversized strings are not written; wrong-sized entries are
// refused on reading and passed over, leaving the value as it was.
TEST_F(TaggedValuesTest, DamagedEntriesAreRefusedAndPassedOver) {
  const std::string huge(kMaxChannelValueString + 1, 'h');
  EXPECT_FALSE(channel.SaveChannelValue(saver, "AB", 1u));
  EXPECT_FALSE(channel.SaveChannelValue(saver, "ABCDE", std::string("x")));
  EXPECT_FALSE(channel.SaveChannelValue(saver, nullptr, 1u));
  EXPECT_FALSE(channel.SaveChannelValue(saver, "NAME", huge));
  RawEntry("STTC", std::string("\x01\x00", 2));
  RawEntry("MODE", std::string(8, '\x01'));
  RawEntry("NAME", huge);
  ASSERT_TRUE(channel.SaveChannelValue(saver, "PRMS", 5u));
  ASSERT_TRUE(channel.SaveChannelValue(saver, "NAME", std::string(kMaxChannelValueString, 'm')));
  Reopen();
  uint32_t value = 77;
  std::string text = "kept";
  EXPECT_FALSE(channel.ReadChannelValue(loader, "NAME", text));  // missing: position kept
  EXPECT_FALSE(channel.ReadChannelValue(loader, "STTC", value));
  EXPECT_FALSE(channel.ReadChannelValue(loader, "MODE", value));
  EXPECT_FALSE(channel.ReadChannelValue(loader, "NAME", text));
  EXPECT_EQ(value, 77u);
  EXPECT_EQ(text, "kept");
  EXPECT_FALSE(channel.ReadChannelValue(loader, "PRM", value));
  EXPECT_FALSE(channel.ReadChannelValue(loader, nullptr, value));
  EXPECT_TRUE(channel.ReadChannelValue(loader, "PRMS", value));
  EXPECT_EQ(value, 5u);
  EXPECT_TRUE(channel.ReadChannelValue(loader, "NAME", text));
  EXPECT_EQ(text.size(), kMaxChannelValueString);
}

}  // namespace
