// Records exchanged with modules: bytes as documented.
#include <array>
#include <cstring>
#include <string_view>

#include <gtest/gtest.h>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"

namespace {

TEST(Guid, PlatformLayoutAndStrictParsing) {
  GUID g = guid::FromString("BE69CCC4-CFC1-4362-AC81-767D199BBFC3");
  const uint8_t expected[16] = {0xC4, 0xCC, 0x69, 0xBE, 0xC1, 0xCF, 0x62, 0x43,
                                0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3};
  EXPECT_EQ(0, std::memcmp(&g, expected, 16));
  EXPECT_EQ(guid::ToString(g), "BE69CCC4-CFC1-4362-AC81-767D199BBFC3");
  const GUID before = g;
  for (const char* bad : {"BE69CCC4-CFC1-4362-AC81-767D199BBFC", "BE69CCC4xCFC1-4362-AC81-767D199BBFC3",
                          "BE69CCC4-CFC1-4362-AC81-767D199BBFCG"}) {
    EXPECT_FALSE(guid::Parse(bad, &g)) << bad;
  }
  EXPECT_EQ(g, before);
  EXPECT_TRUE(guid::Parse("be69ccc4-cfc1-4362-ac81-767d199bbfc3", &g));
}

// Constructed over a dirty buffer: every byte is set, as modules compare
// records byte for byte.
TEST(ChildCreationRecord, ConstructorSetsEveryByte) {
  alignas(ChildCreation) unsigned char storage[sizeof(ChildCreation)];
  std::memset(storage, 0xAB, sizeof(storage));
  auto* c = new (storage) ChildCreation();
  ChildCreation expected;
  std::memset(static_cast<void*>(&expected), 0, sizeof(expected));
  std::memset(&expected.Type._typeGuid, 0x11, 32);  // both type GUIDs
  expected.LinkIndex = -1;
  expected.LinkMode = kLinkModeInput;
  EXPECT_EQ(0, std::memcmp(c, &expected, sizeof(ChildCreation)));
  std::memset(storage, 0xAB, sizeof(ChannelType));
  auto* type = new (storage) ChannelType();
  EXPECT_EQ(0, std::memcmp(type, std::array<uint8_t, sizeof(ChannelType)>{}.data(), sizeof(ChannelType)));
}

TEST(FloatTypeRecords, NamesGuidsAndNumbers) {
  const struct {
    ChannelType type;
    const char* name;
    std::string_view guid;
  } kinds[] = {
      {Ubo_ValueChannel::TypeRecord(), "Value", guid::kFloatChannelType},
      {Ubo_VectorChannel::TypeRecord(), "Value Vector", guid::kVectorChannelType},
      {Ubo_CoreRefChannel::TypeRecord(), "CoreRef", guid::kCoreRefChannelType},
  };
  for (const auto& k : kinds) {
    char name[80] = {};
    std::strcpy(name, k.name);
    EXPECT_EQ(0, std::memcmp(k.type._name, name, 80)) << k.name;
    EXPECT_EQ(k.type._typeGuid, guid::FromString(k.guid));
    EXPECT_EQ(k.type._baseTypeGuid, GUID{});
    EXPECT_EQ(k.type._interfaceVersion, 7);
    EXPECT_EQ(k.type._flags, 0);
  }
}

}  // namespace
