// Saving and loading channels: the engine's part and the float kinds'
// values, sound and damaged.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/float_channel.h"
#include "tests/host/engine/link_helpers.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

namespace {

using engine_test::kValueType;
using engine_test::kVectorType;
using engine_test::Link;

// Saves each channel as one record.
std::vector<uint8_t> SaveAll(const std::vector<Zyr_Channel*>& channels) {
  ZyrFileSaver saver;
  for (Zyr_Channel* c : channels) {
    saver.BeginChannel(c->GetChannelType()._typeGuid);
    EXPECT_TRUE(c->SaveChannel(saver));
    EXPECT_TRUE(saver.EndChannel());
  }
  EXPECT_FALSE(saver.HasError()) << saver.GetError();
  return saver.Bytes();
}

// A record written entry by entry, for damaged or partial parts.
class RecordBuilder {
 public:
  RecordBuilder& Entry(const char* tag, const std::string& data) {
    _entries.push_back({tag, data});
    return *this;
  }
  RecordBuilder& U32(const char* tag, uint32_t v) {
    return Entry(tag, std::string(reinterpret_cast<const char*>(&v), 4));
  }
  std::vector<uint8_t> Bytes() const {
    ZyrFileSaver saver;
    saver.BeginChannel(kValueType);
    for (const auto& [tag, data] : _entries) {
      saver.SaveTag(tag.c_str());
      saver.SaveBlockSize(static_cast<uint32_t>(data.size()));
      saver.SaveDataToFile(data.data(), static_cast<uint32_t>(data.size()));
    }
    saver.EndChannel();
    return saver.Bytes();
  }

 private:
  std::vector<std::pair<std::string, std::string>> _entries;
};

// Opens `bytes` at its first record.
void OpenFirst(ZyrFileLoader& loader, const std::vector<uint8_t>& bytes) {
  ASSERT_TRUE(loader.Open(bytes));
  ASSERT_TRUE(loader.NextChannel(nullptr));
}

TEST(EnginePart, RoundTrip) {
  Zyr_ChannelGroup group("Wheels");
  Zyr_Channel parent;
  parent.SetChannelName("Speed %s :: 100%");
  parent.SetChannelGroup(&group);
  engine_test::DeclareLinks(
      parent, {Link("A", kValueType), Link("B", kValueType), Link("C", kVectorType)});
  Ubo_ValueChannel a;
  Ubo_VectorChannel c;
  ASSERT_TRUE(parent.PlugChild(0, &a));
  ASSERT_TRUE(parent.PlugChild(2, &c));

  ZyrFileLoader loader;
  OpenFirst(loader, SaveAll({&parent}));
  Zyr_Channel loaded;
  ASSERT_TRUE(loaded.LoadChannel(loader, nullptr)) << loader.GetError();
  EXPECT_STREQ(loaded.GetChannelName(), "Speed %s :: 100%");
  EXPECT_EQ(loaded.GetLoadedChannelId(), parent.GetChannelId());
  EXPECT_EQ(loaded.GetLoadedChildIds(),
            (std::vector<uint32_t>{a.GetChannelId(), 0u, c.GetChannelId()}));
  EXPECT_EQ(loaded.GetLoadedGroupName(), "Wheels");
  EXPECT_EQ(loaded.GetChannelGroup(), nullptr);
  EXPECT_TRUE(loader.AtEndOfRecord());
}

TEST(EnginePart, GroupGivenToLoadIsJoined) {
  Zyr_Channel original;
  ZyrFileLoader loader;
  OpenFirst(loader, SaveAll({&original}));
  Zyr_ChannelGroup group("Loaded");
  Zyr_Channel loaded;
  ASSERT_TRUE(loaded.LoadChannel(loader, &group));
  EXPECT_EQ(loaded.GetChannelGroup(), &group);
  ZyrFileSaver outside;  // saving outside a record fails
  EXPECT_FALSE(original.SaveChannel(outside));
}

TEST(EnginePart, MissingTagsAreTolerated) {
  Zyr_Channel channel;
  channel.SetChannelName("kept");
  ZyrFileLoader empty;
  OpenFirst(empty, RecordBuilder().Bytes());
  EXPECT_TRUE(channel.LoadChannel(empty, nullptr));
  EXPECT_STREQ(channel.GetChannelName(), "kept");
  ZyrFileLoader loader;
  OpenFirst(loader, RecordBuilder().Entry("ZCNM", "only a name").Entry("ZCLK", "").Bytes());
  EXPECT_TRUE(channel.LoadChannel(loader, nullptr));
  EXPECT_STREQ(channel.GetChannelName(), "only a name");
  EXPECT_FALSE(loader.HasError());
}

TEST(EnginePart, DamagedPartsAreRefused) {
  const std::string huge(kMaxSavedNameBytes + 1, 'n');
  const std::vector<std::pair<const char*, RecordBuilder>> cases = {
      {"short id", RecordBuilder().Entry("ZCID", "abc")},
      {"long id", RecordBuilder().Entry("ZCID", "abcde")},
      {"huge name", RecordBuilder().U32("ZCID", 5).Entry("ZCNM", huge)},
      {"NUL in name", RecordBuilder().Entry("ZCNM", std::string("a\0b", 3))},
      {"huge group", RecordBuilder().Entry("ZCNM", "n").Entry("ZCGR", huge)},
      {"child ids not whole", RecordBuilder().Entry("ZCLK", "12345")},
  };
  for (const auto& [what, record] : cases) {
    SCOPED_TRACE(what);
    Zyr_Channel channel;
    channel.SetChannelName("before");
    ZyrFileLoader loader;
    OpenFirst(loader, record.Bytes());
    EXPECT_FALSE(channel.LoadChannel(loader, nullptr));
    EXPECT_TRUE(loader.HasError());
    EXPECT_STREQ(channel.GetChannelName(), "before");  // nothing half-loaded
    EXPECT_EQ(channel.GetLoadedChannelId(), 0u);
  }
}

TEST(EnginePart, TruncatedRecordsNeverCrash) {
  Zyr_Channel parent;
  parent.SetChannelName("truncated");
  parent.SetChildCreateType(Link("A", kValueType), 0);
  Ubo_ValueChannel a;
  a.SetFloat(2.5f);
  ASSERT_TRUE(parent.PlugChild(0, &a));
  const std::vector<uint8_t> whole = SaveAll({&parent, &a});
  const size_t boundary = SaveAll({&parent}).size();  // behind the first record
  for (size_t length = kZyrFileHeaderSize; length < whole.size(); ++length) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
    ZyrFileLoader loader;
    ASSERT_TRUE(loader.Open(std::move(cut)));
    GUID type;
    bool loadedAll = true;
    while (loader.NextChannel(&type)) {
      auto channel = type == kValueType ? std::unique_ptr<Zyr_Channel>(new Ubo_ValueChannel)
                                        : std::make_unique<Zyr_Channel>();
      loadedAll = channel->LoadChannel(loader, nullptr) && loadedAll;
    }
    const bool sound = length == kZyrFileHeaderSize || length == boundary;
    EXPECT_EQ(loader.HasError() || !loadedAll, !sound) << length;
  }
}

TEST(FloatValues, ValueVectorAndCoreRefRoundTrip) {
  Ubo_ValueChannel value;
  value.SetFloat(-3.25f);
  Ubo_VectorChannel vector;
  vector.SetVector({1.0f, -2.0f, 2.0f});
  Ubo_CoreRefChannel ref;
  ref.SetObjectId(0xDEADBEEF);
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SaveAll({&value, &vector, &ref})));

  Ubo_ValueChannel value2;
  Ubo_VectorChannel vector2;
  Ubo_CoreRefChannel ref2;
  for (Zyr_Channel* c : std::vector<Zyr_Channel*>{&value2, &vector2, &ref2}) {
    GUID type;
    ASSERT_TRUE(loader.NextChannel(&type));
    EXPECT_EQ(type, c->GetChannelType()._typeGuid);
    ASSERT_TRUE(c->LoadChannel(loader, nullptr)) << loader.GetError();
    EXPECT_TRUE(loader.AtEndOfRecord());
  }
  EXPECT_EQ(value2.GetFloat(), -3.25f);
  EXPECT_EQ(vector2.GetVector().y, -2.0f);
  EXPECT_EQ(vector2.GetVector().z, 2.0f);
  EXPECT_EQ(ref2.GetObjectId(), 0xDEADBEEFu);
}

TEST(FloatValues, ValueBytesAreLittleEndian) {
  Ubo_ValueChannel value;
  value.SetFloat(1.0f);  // 0x3F800000
  const std::vector<uint8_t> bytes = SaveAll({&value});
  const uint8_t expected[] = {'F', 'V', 'A', 'L', 4, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F};
  ASSERT_GE(bytes.size(), sizeof(expected));
  EXPECT_EQ(0, std::memcmp(bytes.data() + bytes.size() - sizeof(expected), expected,
                           sizeof(expected)));
}

TEST(FloatValues, WrongSizesAreRefusedAndMissingValuesKept) {
  Ubo_ValueChannel value;
  Ubo_VectorChannel vector;
  Ubo_CoreRefChannel ref;
  const struct {
    const char* tag;
    size_t wrongSize;
    Zyr_Channel* channel;
  } cases[] = {{"FVAL", 8, &value}, {"VVAL", 4, &vector}, {"OREF", 2, &ref}};
  for (const auto& c : cases) {
    ZyrFileLoader loader;
    OpenFirst(loader, RecordBuilder().U32("ZCID", 1).Entry(c.tag, std::string(c.wrongSize, 'v')).Bytes());
    EXPECT_FALSE(c.channel->LoadChannel(loader, nullptr));
    EXPECT_NE(loader.GetError().find(c.tag), std::string::npos) << loader.GetError();
  }
  value.SetFloat(7.0f);
  ZyrFileLoader loader;
  OpenFirst(loader, RecordBuilder().U32("ZCID", 1).Bytes());
  EXPECT_TRUE(value.LoadChannel(loader, nullptr));
  EXPECT_EQ(value._value, 7.0f);
}

}  // namespace
