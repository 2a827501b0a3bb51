// Saving and loading channels: the engine's part and the float kinds'
// values, sound and damaged. Files cut at every byte are the fault suite's
// (tests/fault: damaged_record_test, saved_scene_test).
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"
#include "hostapi/zyr_file.h"

namespace {

const GUID kValueType = guid::FromString(guid::kFloatChannelType);
using Entries = std::vector<std::pair<const char*, std::string>>;

// One record written entry by entry, for damaged or partial parts.
std::vector<uint8_t> Record(const Entries& entries) {
  ZyrFileSaver saver;
  saver.BeginChannel(kValueType);
  for (const auto& [tag, data] : entries) {
    saver.SaveTag(tag);
    saver.SaveBlockSize(static_cast<uint32_t>(data.size()));
    saver.SaveDataToFile(data.data(), static_cast<uint32_t>(data.size()));
  }
  saver.EndChannel();
  return saver.Bytes();
}

// Loads the first record of `bytes` into `channel`.
bool LoadFirst(Zyr_Channel& channel, const std::vector<uint8_t>& bytes, ZyrFileLoader& loader) {
  return loader.Open(bytes) && loader.NextChannel(nullptr) && channel.LoadChannel(loader, nullptr);
}

// Missing tags are tolerated; a damaged part is refused whole, with the
// channel left as it was.
TEST(EnginePart, MissingTagsAreToleratedDamagedPartsRefused) {
  Zyr_Channel channel;
  channel.SetChannelName("kept");
  ZyrFileLoader empty;
  EXPECT_TRUE(LoadFirst(channel, Record({}), empty));
  EXPECT_STREQ(channel.GetChannelName(), "kept");
  ZyrFileLoader partial;
  EXPECT_TRUE(LoadFirst(channel, Record({{"ZCNM", "only a name"}, {"ZCLK", ""}}), partial));
  EXPECT_STREQ(channel.GetChannelName(), "only a name");

  const std::string huge(kMaxSavedNameBytes + 1, 'n');
  const Entries cases[] = {{{"ZCID", "abc"}},
                           {{"ZCID", "abcde"}},
                           {{"ZCID", "abcd"}, {"ZCNM", huge}},
                           {{"ZCNM", std::string("a\0b", 3)}},
                           {{"ZCNM", "n"}, {"ZCGR", huge}},
                           {{"ZCLK", "12345"}}};
  for (const Entries& entries : cases) {
    SCOPED_TRACE(entries.back().first);
    Zyr_Channel fresh;
    fresh.SetChannelName("before");
    ZyrFileLoader loader;
    EXPECT_FALSE(LoadFirst(fresh, Record(entries), loader));
    EXPECT_TRUE(loader.HasError());
    EXPECT_STREQ(fresh.GetChannelName(), "before");  // nothing half-loaded
    EXPECT_EQ(fresh.GetLoadedChannelId(), 0u);
  }
}

TEST(FloatValues, RoundTripLittleEndian) {
  Ubo_ValueChannel value;
  value.SetFloat(1.0f);  // 0x3F800000
  Ubo_VectorChannel vector;
  vector.SetVector({1.0f, -2.0f, 2.0f});
  Ubo_CoreRefChannel ref;
  ref.SetObjectId(0xDEADBEEF);
  Ubo_ValueChannel value2;
  Ubo_VectorChannel vector2;
  Ubo_CoreRefChannel ref2;
  const std::pair<Zyr_Channel*, Zyr_Channel*> saved[] = {{&value, &value2}, {&vector, &vector2}, {&ref, &ref2}};
  ZyrFileSaver saver;
  for (const auto& [from, to] : saved) {
    saver.BeginChannel(from->GetChannelType()._typeGuid);
    ASSERT_TRUE(from->SaveChannel(saver));
    ASSERT_TRUE(saver.EndChannel());
  }
  const std::vector<uint8_t>& bytes = saver.Bytes();
  const uint8_t fval[] = {'F', 'V', 'A', 'L', 4, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), fval, fval + sizeof(fval)), bytes.end());
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(bytes));
  for (const auto& [from, to] : saved) {
    ASSERT_TRUE(loader.NextChannel(nullptr));
    ASSERT_TRUE(to->LoadChannel(loader, nullptr)) << loader.GetError();
  }
  EXPECT_EQ(value2.GetFloat(), 1.0f);
  EXPECT_EQ(vector2.GetVector().z, 2.0f);
  EXPECT_EQ(ref2.GetObjectId(), 0xDEADBEEFu);
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
    EXPECT_FALSE(LoadFirst(*c.channel, Record({{c.tag, std::string(c.wrongSize, 'v')}}), loader));
    EXPECT_NE(loader.GetError().find(c.tag), std::string::npos) << loader.GetError();
  }
  value.SetFloat(7.0f);
  ZyrFileLoader loader;
  EXPECT_TRUE(LoadFirst(value, Record({{"ZCID", "abcd"}}), loader));
  EXPECT_EQ(value._value, 7.0f);
}

}  // namespace
