// The dynamic symbols of a built module, as nm shows them: for the tests
// of what the procedure-call module exports and imports.
#ifndef TESTS_SUPPORT_MODULE_SYMBOLS_H_
#define TESTS_SUPPORT_MODULE_SYMBOLS_H_

#include <cstdio>
#include <string>
#include <vector>

#include "hostapi/guid.h"

namespace testing_support {

// The procedure-call module as the build places it.
inline std::string PrcCallModulePath() {
  return std::string(VPC_MODULES_DIR) + "/" + std::string(guid::kPrcCallChannelType) + ".so";
}

struct Symbol {
  char kind;         // nm's letter
  std::string name;  // demangled
};

// `nm -D <options>` of `path`, one symbol per line ("<address> <kind>
// <name>", the address possibly blank). Empty when nm cannot run.
inline std::vector<Symbol> DynamicSymbols(const std::string& path,
                                          const std::string& options = "-C --defined-only") {
  std::vector<Symbol> symbols;
  FILE* pipe = popen(("nm -D " + options + " '" + path + "' 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return symbols;
  std::string line;
  for (int c; (c = std::fgetc(pipe)) != EOF;) {
    if (c != '\n') {
      line.push_back(static_cast<char>(c));
      continue;
    }
    const size_t first = line.find(' ');
    if (first != std::string::npos && first + 3 <= line.size()) {
      symbols.push_back({line[first + 1], line.substr(first + 3)});
    }
    line.clear();
  }
  pclose(pipe);
  return symbols;
}

}  // namespace testing_support

#endif  // TESTS_SUPPORT_MODULE_SYMBOLS_H_
