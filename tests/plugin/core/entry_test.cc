#include "plugin/entry/entry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "tests/plugin/core/type_record_bytes.h"

namespace {

// The same record on every call, its bytes exact, rewritten each time.
TEST(GetType, SameAddressAndExactBytesOnEveryCall) {
  ChannelType* record = GetType();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(std::memcmp(record, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
  EXPECT_EQ(&ChannelTypeRecord(), record);
  std::memset(record->_name, 'x', sizeof(record->_name));
  record->_typeGuid = GUID{};
  record->_baseTypeGuid = GUID{};
  EXPECT_EQ(GetType(), record);
  EXPECT_EQ(std::memcmp(record, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
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
