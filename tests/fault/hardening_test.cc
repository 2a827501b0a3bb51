// The hardening a build promises is in effect: checked standard containers
// (_GLIBCXX_ASSERTIONS), fortified string and memory calls and a stack
// protector in the module. The build tells the test what it promised
// (VPC_FAULT_HARDENING, VPC_FAULT_FORTIFY).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/module_symbols.h"

namespace {

#if VPC_FAULT_HARDENING

// The undefined dynamic symbols of the module, one name a line.
std::string ImportedSymbols() {
  std::string out;
  for (const testing_support::Symbol& s :
       testing_support::DynamicSymbols(testing_support::PrcCallModulePath(), "--undefined-only")) {
    out += s.name + '\n';
  }
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
