// Records exchanged with modules: bytes as documented, constructor values.
#include <cstring>

#include <gtest/gtest.h>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"

namespace {

bool AllBytesAre(const void* data, size_t size, uint8_t value) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] != value) return false;
  }
  return true;
}

TEST(Guid, StoredInPlatformLayout) {
  const GUID g = guid::FromString("BE69CCC4-CFC1-4362-AC81-767D199BBFC3");
  const uint8_t expected[16] = {0xC4, 0xCC, 0x69, 0xBE, 0xC1, 0xCF, 0x62, 0x43,
                                0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3};
  EXPECT_EQ(0, std::memcmp(&g, expected, 16));  // x86-64 is little-endian
  EXPECT_EQ(guid::ToString(g), "BE69CCC4-CFC1-4362-AC81-767D199BBFC3");
}

TEST(Guid, ParseRefusesMalformedText) {
  GUID g = guid::FromString(guid::kVectorChannelType);
  const GUID before = g;
  EXPECT_FALSE(guid::Parse("BE69CCC4-CFC1-4362-AC81-767D199BBFC", &g));
  EXPECT_FALSE(guid::Parse("BE69CCC4xCFC1-4362-AC81-767D199BBFC3", &g));
  EXPECT_FALSE(guid::Parse("BE69CCC4-CFC1-4362-AC81-767D199BBFCG", &g));
  EXPECT_EQ(g, before);
  EXPECT_TRUE(guid::Parse("be69ccc4-cfc1-4362-ac81-767d199bbfc3", &g));
  EXPECT_EQ(g, guid::FromString(guid::kFloatChannelType));
}

TEST(ChannelTypeRecord, ConstructorZeroFillsAllBytes) {
  alignas(ChannelType) unsigned char storage[sizeof(ChannelType)];
  std::memset(storage, 0xAB, sizeof(storage));
  auto* type = new (storage) ChannelType();
  EXPECT_TRUE(AllBytesAre(type, sizeof(ChannelType), 0));
}

TEST(ChildCreationRecord, ConstructorValues) {
  alignas(ChildCreation) unsigned char storage[sizeof(ChildCreation)];
  std::memset(storage, 0xAB, sizeof(storage));
  auto* c = new (storage) ChildCreation();
  EXPECT_TRUE(AllBytesAre(c->Type._name, 80, 0));
  EXPECT_EQ(guid::ToString(c->Type._typeGuid), "11111111-1111-1111-1111-111111111111");
  EXPECT_EQ(guid::ToString(c->Type._baseTypeGuid), "11111111-1111-1111-1111-111111111111");
  EXPECT_TRUE(AllBytesAre(&c->Type._hostData, 20, 0));
  EXPECT_EQ(c->LinkIndex, -1);
  EXPECT_EQ(c->Hidden, 0);
  EXPECT_EQ(c->Locked, 0);
  EXPECT_TRUE(AllBytesAre(c->LinkName, 100, 0));
  EXPECT_TRUE(AllBytesAre(c->_pad, 2, 0));
  EXPECT_EQ(c->DefaultGuid, GUID{});
  EXPECT_EQ(c->Reserved, 0);
  EXPECT_EQ(c->LinkMode, kLinkModeInput);
  // Two default records are equal byte for byte.
  ChildCreation other;
  EXPECT_EQ(0, std::memcmp(c, &other, sizeof(ChildCreation)));
}

TEST(FloatTypeRecords, NamesGuidsAndNumbers) {
  struct Expect {
    ChannelType type;
    const char* name;
    std::string_view guid;
  };
  const Expect kinds[] = {
      {Ubo_ValueChannel::TypeRecord(), "Value", guid::kFloatChannelType},
      {Ubo_VectorChannel::TypeRecord(), "Value Vector", guid::kVectorChannelType},
      {Ubo_CoreRefChannel::TypeRecord(), "CoreRef", guid::kCoreRefChannelType},
  };
  for (const Expect& k : kinds) {
    SCOPED_TRACE(k.name);
    EXPECT_STREQ(k.type._name, k.name);
    const size_t length = std::strlen(k.name);
    EXPECT_TRUE(AllBytesAre(k.type._name + length, 80 - length, 0));
    EXPECT_EQ(k.type._typeGuid, guid::FromString(k.guid));
    EXPECT_EQ(k.type._baseTypeGuid, GUID{});
    EXPECT_EQ(k.type._interfaceVersion, 7);
    EXPECT_EQ(k.type._flags, 0);
  }
}

}  // namespace
