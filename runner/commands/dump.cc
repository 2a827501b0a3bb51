#include <cstdio>
#include <vector>

#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/output/dump_tree.h"
#include "runner/output/value_format.h"
#include "runner/scene/scene_json.h"

namespace dravik {

int DumpCommand(const std::string& path) {
  std::string text;
  std::string error;
  if (!ReadWholeFile(path, &text, &error)) return Fail(error);
  const DumpResult result = DumpBytes(std::vector<uint8_t>(text.begin(), text.end()), path);
  std::fputs(result.text.c_str(), stdout);
  std::fflush(stdout);
  if (result.problems > 0) {
    std::fprintf(stderr, "dravik: %s: damaged: %zu problem(s), marked \"!!\" above\n", Printable(path, 200).c_str(),
                 result.problems);
    return kExitDamaged;
  }
  return kExitOk;
}

}  // namespace dravik
