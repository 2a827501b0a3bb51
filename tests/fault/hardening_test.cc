// The hardening a build promises is in effect: checked standard containers
// (_GLIBCXX_ASSERTIONS), fortified string and memory calls and a stack
// protector in the module. The build tells the test what it promised
// (VPC_FAULT_HARDENING, VPC_FAULT_FORTIFY).
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

#if VPC_FAULT_HARDENING

const std::string kModule = std::string(VPC_MODULES_DIR) + "/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so";

// The undefined dynamic symbols of the module.
std::string ImportedSymbols() {
  std::string out;
  FILE* pipe = popen(("nm -D --undefined-only '" + kModule + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return out;
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof(chunk), pipe)) > 0;) out.append(chunk, n);
  pclose(pipe);
  return out;
}

TEST(Hardening, StandardContainersAreChecked) {
#ifndef _GLIBCXX_ASSERTIONS
  FAIL() << "_GLIBCXX_ASSERTIONS is not defined";
#endif
  std::vector<int> v(3);
  volatile size_t past = v.size();
  EXPECT_DEATH(static_cast<void>(v[past]), "");
}

TEST(Hardening, ModuleHasAStackProtector) {
  EXPECT_NE(ImportedSymbols().find("__stack_chk_fail"), std::string::npos);
}

#if VPC_FAULT_FORTIFY
TEST(Hardening, FortifiedCallsInTheModule) {
#if !defined(_FORTIFY_SOURCE) || _FORTIFY_SOURCE < 3
  FAIL() << "_FORTIFY_SOURCE is not 3";
#endif
  // The checked forms of the library calls the module makes.
  EXPECT_NE(ImportedSymbols().find("_chk"), std::string::npos) << ImportedSymbols();
}
#endif

#else

TEST(Hardening, NotPromisedByThisBuild) { GTEST_SKIP() << "built without VPC_HARDENING"; }

#endif

}  // namespace
