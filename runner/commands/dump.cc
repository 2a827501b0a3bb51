#include <cstdio>
#include <vector>

#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/output/dump_tree.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"
#include "runner/scene/scene_file.h"

namespace dravik {
namespace {

// Writes the "SCEN" entry of the file's scene record, whole, to stdout.
int WriteSceneText(const std::string& path, const std::string& bytes, const DumpResult& dump) {
  for (const DumpRecord& record : dump.recordList) {
    if (record.type.find(kSceneRecordType) == std::string::npos) continue;
    for (const DumpEntry& entry : record.entries) {
      if (entry.tag != "SCEN") continue;
      std::fwrite(bytes.data() + entry.dataOffset, 1, entry.size, stdout);
      return std::fflush(stdout) == 0 ? kExitOk : Fail("cannot write the scene to the standard output");
    }
  }
  return Fail(Printable(path, 200) + ": the file holds no scene (no \"SCEN\" entry in a \"dravik scene\" record)");
}

}  // namespace

int DumpCommand(const std::string& path, bool sceneOnly) {
  std::string text;
  std::string error;
  if (!ReadWholeFile(path, &text, &error)) return Fail(error);
  if (!LooksLikeSavedFile(text)) {  // a scene or any other file: a wrong argument, as diff treats it
    Fail(Printable(path, 200) + ": not a saved file");
    return kExitUsage;
  }
  const DumpResult result = DumpBytes(std::vector<uint8_t>(text.begin(), text.end()), path);
  if (sceneOnly) return WriteSceneText(path, text, result);
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
