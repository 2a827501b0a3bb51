#include "plugin/entry/entry.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "tests/plugin/core/type_record_bytes.h"

namespace {

TEST(GetType, SameAddressAndExactBytesOnEveryCall) {
  ChannelType* first = GetType();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::memcmp(first, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);

  ChannelType* second = GetType();
  EXPECT_EQ(first, second);
  EXPECT_EQ(std::memcmp(second, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
  EXPECT_EQ(&ChannelTypeRecord(), first);
}

TEST(GetType, RewritesWhatItFills) {
  ChannelType* record = GetType();
  std::memset(record->_name, 'x', sizeof(record->_name));
  record->_typeGuid = GUID{};
  record->_baseTypeGuid = GUID{};
  record->_interfaceVersion = 3;
  record->_flags = 9;
  GetType();
  EXPECT_EQ(std::memcmp(record, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
}

class CopyStringBoundedTest : public ::testing::Test {
 protected:
  // Eight bytes of field followed by guard bytes that must stay '#'.
  char _buffer[12];
  void SetUp() override { std::memset(_buffer, '#', sizeof(_buffer)); }
  bool GuardIntact(size_t from) const {
    for (size_t i = from; i < sizeof(_buffer); ++i) {
      if (_buffer[i] != '#') return false;
    }
    return true;
  }
};

TEST_F(CopyStringBoundedTest, CapacityLessOneFitsWhole) {
  EXPECT_EQ(CopyStringBounded(_buffer, 8, "1234567"), kResultOk);
  EXPECT_STREQ(_buffer, "1234567");
  EXPECT_TRUE(GuardIntact(8));
}

TEST_F(CopyStringBoundedTest, CapacityOrMoreIsCutToCapacityLessOne) {
  EXPECT_EQ(CopyStringBounded(_buffer, 8, "12345678"), kResultInsufficientBuffer);
  EXPECT_STREQ(_buffer, "1234567");
  EXPECT_TRUE(GuardIntact(8));
  EXPECT_EQ(CopyStringBounded(_buffer, 8, "123456789abcdef"), 0x8007007Au);
  EXPECT_STREQ(_buffer, "1234567");
  EXPECT_TRUE(GuardIntact(8));
  EXPECT_EQ(CopyStringBounded(_buffer, 1, "a"), kResultInsufficientBuffer);
  EXPECT_EQ(_buffer[0], '\0');
  EXPECT_TRUE(GuardIntact(8));
}

TEST_F(CopyStringBoundedTest, EmptySourceWritesOneNul) {
  EXPECT_EQ(CopyStringBounded(_buffer, 8, ""), 0u);
  EXPECT_EQ(_buffer[0], '\0');
  EXPECT_TRUE(GuardIntact(1));
}

TEST_F(CopyStringBoundedTest, CapacityZeroWritesNothing) {
  EXPECT_EQ(CopyStringBounded(_buffer, 0, "abc"), 0x80070057u);
  EXPECT_TRUE(GuardIntact(0));
  EXPECT_EQ(CopyStringBounded(nullptr, 8, "abc"), kResultInvalidArgument);
  EXPECT_EQ(CopyStringBounded(_buffer, 8, nullptr), kResultInvalidArgument);
  EXPECT_TRUE(GuardIntact(0));
}

}  // namespace
