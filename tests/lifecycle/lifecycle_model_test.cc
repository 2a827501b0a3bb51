// Random lifecycles of channels and procedures, on the module and on its
// reference model (fuzz/lifecycle_target.h): sequences made from fixed
// seeds, then every seed and regression input kept for the fuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "fuzz/lifecycle_target.h"

namespace {

constexpr uint32_t kSequences = 1500;

TEST(LifecycleModel, SeededAndKeptInputsAgree) {
  lifecycle::SetUpLifecycle();
  for (uint32_t seed = 1; seed <= kSequences; ++seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> input(32 + random() % 512);
    for (uint8_t& b : input) b = static_cast<uint8_t>(random());
    ASSERT_EQ(lifecycle::RunLifecycle(input.data(), input.size()), "") << "seed " << seed;
  }
  int replayed = 0;
  for (const char* dir : {VPC_FUZZ_DIR "/corpus/lifecycle", VPC_FUZZ_DIR "/regressions/lifecycle"}) {
    if (!std::filesystem::is_directory(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      std::ifstream file(entry.path(), std::ios::binary);
      const std::vector<uint8_t> input{std::istreambuf_iterator<char>(file), {}};
      EXPECT_EQ(lifecycle::RunLifecycle(input.data(), input.size()), "") << entry.path();
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
