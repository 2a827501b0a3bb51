// libFuzzer entry of the channel-file harness (channel_file_target.h): a
// broken property stops the run like a crash, with the input kept.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/channel_file_target.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_target::SetUpChannelFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string failure = fuzz_target::RunChannelFile(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "channel_file_fuzzer: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
