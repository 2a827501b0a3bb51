// libFuzzer entry of the lifecycle harness (lifecycle_target.h): module and
// model disagreeing stops the run like a crash, with the input kept.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/lifecycle_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lifecycle::SetUpLifecycle();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = lifecycle::RunLifecycle(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "lifecycle_fuzzer: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
