// The built module itself. It exports what its boundary needs and nothing
// else: the two entry points under their plain names, the two channel
// classes' member functions, the registry's five statics, and the classes'
// virtual tables and type information; anything else that leaves the module
// (a helper, a standard-library instantiation, another class of ours, data)
// fails the test. And the hardening a build promises is in effect: checked
// standard containers (_GLIBCXX_ASSERTIONS), fortified string and memory
// calls and a stack protector in the module (the build tells the test what
// it promised: VPC_FAULT_HARDENING, VPC_FAULT_FORTIFY).
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/module_symbols.h"

namespace {

using testing_support::Symbol;

constexpr const char kMulti[] = "MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>";
constexpr const char kPrc[] = "Ubo_VanticPrcCall";

const std::set<std::string> kStatics = {"_modes", "_modeOrder", "_tempLinks", "_refCount",
                                        "_bModesInitialized"};

// Why `s` may not be exported, or "" when it may.
std::string Refusal(const Symbol& s) {
  if (s.name == "GetType" || s.name == "InitDLL") {
    return s.kind == 'T' ? "" : "entry point not a plain function";
  }
  for (const char* lead : {"vtable for ", "typeinfo for ", "typeinfo name for "}) {
    if (s.name == std::string(lead) + kMulti || s.name == std::string(lead) + kPrc) return "";
  }
  std::string name = s.name;
#if VPC_FAULT_COVERAGE
  // A --coverage build links gcov's runtime into the module, and its
  // globals and one helper go out with it.
  if (name.rfind("__gcov_", 0) == 0 || name == "mangle_path") return "";
#endif
#if VPC_FAULT_ASAN
  // AddressSanitizer's one-definition indicator of each exported global
  // (demangling leaves it as "__odr_asan.<mangled name>").
  constexpr const char kOdr[] = "__odr_asan._ZN16MultiModeChannelI16Ubo_FloatChannel17Ubo_VanticPrcCallE";
  if (name.rfind(kOdr, 0) == 0) {
    for (const std::string& member : kStatics) {
      if (name == kOdr + std::to_string(member.size()) + member + "E") return "";
    }
  }
#endif
  for (const char* lead : {"non-virtual thunk to ", "virtual thunk to "}) {
    if (name.rfind(lead, 0) == 0) name.erase(0, std::string(lead).size());
  }
  for (const std::string cls : {kMulti, kPrc}) {
    const std::string head = cls + "::";
    if (name.rfind(head, 0) != 0) continue;
    const std::string rest = name.substr(head.size());
    const std::string member = rest.substr(0, rest.find_first_of("(["));
    // The classes go out whole, every member function with them; their
    // data is the registry's statics and nothing else.
    const bool data = s.kind == 'B' || s.kind == 'D' || s.kind == 'R' || s.kind == 'u';
    const bool isStatic = cls == kMulti && kStatics.count(member) != 0;
    if (data != isStatic) return isStatic ? "static member not data" : "data not a listed static";
    return "";
  }
  return "belongs to neither channel class";
}

TEST(ModuleBoundary, ExportsOnlyWhatTheBoundaryLists) {
  const std::string module = testing_support::PrcCallModulePath();
  const std::vector<Symbol> symbols = testing_support::DynamicSymbols(module);
  ASSERT_FALSE(symbols.empty()) << "nm read nothing from " << module;
  std::set<std::string> entryPoints;
  for (const Symbol& s : symbols) {
    const std::string why = Refusal(s);
    EXPECT_TRUE(why.empty()) << s.kind << ' ' << s.name << ": " << why;
    if (s.name == "GetType" || s.name == "InitDLL") entryPoints.insert(s.name);
  }
  EXPECT_EQ(entryPoints, (std::set<std::string>{"GetType", "InitDLL"}));
}

#if VPC_FAULT_HARDENING

// The undefined dynamic symbols of the module, one name a line.
std::string ImportedSymbols() {
  std::string out;
  for (const Symbol& s :
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
