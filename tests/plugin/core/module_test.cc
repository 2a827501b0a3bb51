// Loads the built module the way a host does and checks what it exports.
#include "hostapi/module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/plugin/core/type_record_bytes.h"

namespace {

TEST(ChannelModule, GetTypeAnswersTheRecordByteForByte) {
  const std::string path =
      std::string(VPC_MODULES_DIR) + "/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();

  auto getType = reinterpret_cast<GetTypeFunction>(dlsym(handle, kGetTypeSymbol));
  ASSERT_NE(getType, nullptr) << "GetType is exported under its plain name";
  EXPECT_NE(dlsym(handle, kInitDllSymbol), nullptr) << "InitDLL is exported under its plain name";

  ChannelType* first = getType();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::memcmp(first, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
  EXPECT_EQ(dlclose(handle), 0);
}

}  // namespace
