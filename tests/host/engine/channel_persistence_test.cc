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
  const std::string huge(kMaxSavedNameBytes + 1, 'n');
  const struct {
    Entries entries;
    const char* name;  // after loading; "before" if refused
  } cases[] = {{{}, "before"},
               {{{"ZCNM", "only a name"}, {"ZCLK", ""}}, "only a name"},
               {{{"ZCID", "abc"}}, nullptr},
               {{{"ZCID", "abcde"}}, nullptr},
               {{{"ZCID", "abcd"}, {"ZCNM", huge}}, nullptr},
               {{{"ZCNM", std::string("a\0b", 3)}}, nullptr},
               {{{"ZCNM", "n"}, {"ZCGR", huge}}, nullptr},
               {{{"ZCLK", "12345"}}, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entries.empty() ? "none" : c.entries.back().first);
    Zyr_Channel channel;
    channel.SetChannelName("before");
    ZyrFileLoader loader;
    EXPECT_EQ(LoadFirst(channel, Record(c.entries), loader), c.name != nullptr);
    EXPECT_EQ(loader.HasError(), c.name == nullptr);
    EXPECT_STREQ(channel.GetChannelName(), c.name != nullptr ? c.name : "before");  // nothing half-loaded
    EXPECT_EQ(channel.GetLoadedChannelId(), 0u);  // no "ZCID" loaded in any case
  }
}

// Each kind saves its value little-endian and loads it back; a value of
// the wrong size is refused, naming its tag; a missing value is kept.
TEST(FloatValues, RoundTripWrongSizesAndMissingValues) {
  Ubo_ValueChannel value;
  value.SetFloat(1.0f);  // 0x3F800000
  Ubo_VectorChannel vector;
  vector.SetVector({1.0f, -2.0f, 2.0f});
  Ubo_CoreRefChannel ref;
  ref.SetObjectId(0xDEADBEEF);
  Ubo_ValueChannel value2;
  Ubo_VectorChannel vector2;
  Ubo_CoreRefChannel ref2;
  const struct {
    Zyr_Channel* from;
    Zyr_Channel* to;
    const char* tag;
    size_t wrongSize;
  } kinds[] = {{&value, &value2, "FVAL", 8}, {&vector, &vector2, "VVAL", 4}, {&ref, &ref2, "OREF", 2}};
  ZyrFileSaver saver;
  for (const auto& k : kinds) {
    saver.BeginChannel(k.from->GetChannelType()._typeGuid);
    ASSERT_TRUE(k.from->SaveChannel(saver));
    ASSERT_TRUE(saver.EndChannel());
    ZyrFileLoader wrong;
    EXPECT_FALSE(LoadFirst(*k.to, Record({{k.tag, std::string(k.wrongSize, 'v')}}), wrong));
    EXPECT_NE(wrong.GetError().find(k.tag), std::string::npos) << wrong.GetError();
  }
  const std::vector<uint8_t>& bytes = saver.Bytes();
  const uint8_t fval[] = {'F', 'V', 'A', 'L', 4, 0, 0, 0, 0x00, 0x00, 0x80, 0x3F};
  EXPECT_NE(std::search(bytes.begin(), bytes.end(), fval, fval + sizeof(fval)), bytes.end());
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(bytes));
  for (const auto& k : kinds) {
    ASSERT_TRUE(loader.NextChannel(nullptr));
    ASSERT_TRUE(k.to->LoadChannel(loader, nullptr)) << loader.GetError();
  }
  EXPECT_EQ(value2.GetFloat(), 1.0f);
  EXPECT_EQ(vector2.GetVector().z, 2.0f);
  EXPECT_EQ(ref2.GetObjectId(), 0xDEADBEEFu);
  ZyrFileLoader missing;
  EXPECT_TRUE(LoadFirst(value2, Record({{"ZCID", "abcd"}}), missing));
  EXPECT_EQ(value2._value, 1.0f);
}

}  // namespace
