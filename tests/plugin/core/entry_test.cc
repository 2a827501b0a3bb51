#include "plugin/entry/entry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

// The channel-type record the module must answer, byte for byte, written
// out independently of the code that fills it.
std::array<uint8_t, 132> ExpectedTypeRecord() {
  std::array<uint8_t, 132> bytes{};
  constexpr char kName[] = "VanticPrcCall";
  std::memcpy(bytes.data(), kName, sizeof(kName) - 1);
  // 80: C7653FCA-6B0C-44FA-936F-EA1952B129F0, fields little-endian.
  constexpr uint8_t kType[16] = {0xCA, 0x3F, 0x65, 0xC7, 0x0C, 0x6B, 0xFA, 0x44,
                                 0x93, 0x6F, 0xEA, 0x19, 0x52, 0xB1, 0x29, 0xF0};
  // 96: BE69CCC4-CFC1-4362-AC81-767D199BBFC3.
  constexpr uint8_t kBase[16] = {0xC4, 0xCC, 0x69, 0xBE, 0xC1, 0xCF, 0x62, 0x43,
                                 0xAC, 0x81, 0x76, 0x7D, 0x19, 0x9B, 0xBF, 0xC3};
  std::memcpy(bytes.data() + 80, kType, 16);
  std::memcpy(bytes.data() + 96, kBase, 16);
  bytes[120] = 7;  // 112..119, 121..131 stay 0
  return bytes;
}

// The same record on every call, its bytes exact, rewritten each time.
TEST(GetType, SameAddressAndExactBytesOnEveryCall) {
  const std::array<uint8_t, 132> expected = ExpectedTypeRecord();
  ChannelType* record = GetType();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(std::memcmp(record, expected.data(), sizeof(ChannelType)), 0);
  EXPECT_EQ(&ChannelTypeRecord(), record);
  std::memset(record->_name, 'x', sizeof(record->_name));
  record->_typeGuid = GUID{};
  record->_baseTypeGuid = GUID{};
  EXPECT_EQ(GetType(), record);
  EXPECT_EQ(std::memcmp(record, expected.data(), sizeof(ChannelType)), 0);
}

TEST(CopyStringBounded, CopiesWholeCutsOrRefuses) {
  struct Case {
    size_t capacity;
    const char* source;
    uint32_t result;
    const char* stands;  // null: nothing written
  };
  const Case cases[] = {
      {8, "1234567", kResultOk, "1234567"},                   // capacity - 1: whole
      {8, "12345678", kResultInsufficientBuffer, "1234567"},  // capacity: cut
      {8, "123456789abcdef", 0x8007007Au, "1234567"},         // more: cut
      {1, "a", kResultInsufficientBuffer, ""},                // room for the NUL only
      {8, "", kResultOk, ""},                                 // one NUL
      {0, "abc", 0x80070057u, nullptr},                       // capacity 0
      {8, nullptr, kResultInvalidArgument, nullptr},
  };
  for (const Case& c : cases) {
    char buffer[12];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(CopyStringBounded(buffer, c.capacity, c.source), c.result) << c.capacity;
    const size_t written = c.stands != nullptr ? std::strlen(c.stands) + 1 : 0;
    if (c.stands != nullptr) {
      EXPECT_STREQ(buffer, c.stands);
    }
    for (size_t i = written; i < sizeof(buffer); ++i) {
      EXPECT_EQ(buffer[i], '#') << "byte " << i << " written for capacity " << c.capacity;
    }
  }
  EXPECT_EQ(CopyStringBounded(nullptr, 8, "abc"), kResultInvalidArgument);
}

}  // namespace
