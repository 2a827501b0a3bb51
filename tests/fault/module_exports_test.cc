// What the built module exports, compared with the list of what its
// boundary needs: the two entry points under their plain names, the two
// channel classes' member functions, the registry's five statics, and the
// classes' virtual tables and type information. Anything else that leaves
// the module (a helper, a standard-library instantiation, another class of
// ours, data) fails the test.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string kModule = std::string(VPC_MODULES_DIR) + "/C7653FCA-6B0C-44FA-936F-EA1952B129F0.so";

constexpr const char kMulti[] = "MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>";
constexpr const char kPrc[] = "Ubo_VanticPrcCall";

const std::set<std::string> kStatics = {"_modes", "_modeOrder", "_tempLinks", "_refCount",
                                        "_bModesInitialized"};

struct Symbol {
  char kind;
  std::string name;
};

// `nm -DC --defined-only` of the module: one symbol per line.
std::vector<Symbol> DefinedDynamicSymbols(const std::string& path) {
  std::vector<Symbol> symbols;
  FILE* pipe = popen(("nm -DC --defined-only '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return symbols;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    // "<address> <kind> <name>"
    const size_t first = line.find(' ');
    if (first != std::string::npos && first + 3 <= line.size()) {
      symbols.push_back({line[first + 1], line.substr(first + 3)});
    }
    line.clear();
  }
  pclose(pipe);
  return symbols;
}

// Why `s` may not be exported, or "" when it may.
std::string Refusal(const Symbol& s) {
  if (s.name == "GetType" || s.name == "InitDLL") {
    return s.kind == 'T' ? "" : "entry point not a plain function";
  }
  for (const char* lead : {"vtable for ", "typeinfo for ", "typeinfo name for "}) {
    if (s.name == std::string(lead) + kMulti || s.name == std::string(lead) + kPrc) return "";
  }
  std::string name = s.name;
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
  const std::vector<Symbol> symbols = DefinedDynamicSymbols(kModule);
  ASSERT_FALSE(symbols.empty()) << "nm read nothing from " << kModule;
  std::set<std::string> entryPoints;
  for (const Symbol& s : symbols) {
    const std::string why = Refusal(s);
    EXPECT_TRUE(why.empty()) << s.kind << ' ' << s.name << ": " << why;
    if (s.name == "GetType" || s.name == "InitDLL") entryPoints.insert(s.name);
  }
  EXPECT_EQ(entryPoints, (std::set<std::string>{"GetType", "InitDLL"}));
}

}  // namespace
