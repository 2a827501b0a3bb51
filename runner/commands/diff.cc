#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "host/engine/le_bytes.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/output/dump_tree.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"
#include "runner/scene/record_entries.h"
#include "runner/scene/scene_file.h"

namespace dravik {
namespace {

struct Side {
  std::string name;
  std::string bytes;
  DumpResult dump;
  // The scene id of each channel record (record 2 on), in order, when the
  // file carries its scene; empty otherwise.
  std::vector<std::string> channelIds;
};

std::string_view Block(const Side& side, const DumpEntry& e) {
  return std::string_view(side.bytes).substr(e.dataOffset, e.size);
}

// The scene ids the scene record lists ("CHSC"), when the first record is
// the runner's scene record.
void ReadChannelIds(Side* side) {
  const std::vector<DumpRecord>& records = side->dump.recordList;
  if (records.empty() || records[0].type.find(kSceneRecordType) == std::string::npos) return;
  for (const DumpEntry& e : records[0].entries) {
    if (e.tag == "CHSC") side->channelIds.emplace_back(Block(*side, e));
  }
}

// Reads and decodes one saved file; false with *error on an unreadable
// file or one that is not a saved file.
bool ReadSide(const std::string& path, Side* side, std::string* error) {
  side->name = Printable(path, 200);
  if (!ReadWholeFile(path, &side->bytes, error)) return false;
  if (!LooksLikeSavedFile(side->bytes) || side->bytes.size() < 8) {
    *error = side->name + ": not a saved file";
    return false;
  }
  side->dump = DumpBytes(std::vector<uint8_t>(side->bytes.begin(), side->bytes.end()), path);
  ReadChannelIds(side);
  return true;
}

// Collects the differences as lines, in the manner of a unified diff.
class Differ {
 public:
  Differ(const Side& a, const Side& b) : _a(a), _b(b) {}

  std::vector<std::string> Run() {
    const uint32_t va = le::GetU32(reinterpret_cast<const uint8_t*>(_a.bytes.data()) + 4);
    const uint32_t vb = le::GetU32(reinterpret_cast<const uint8_t*>(_b.bytes.data()) + 4);
    if (va != vb) _lines.push_back("file: format version " + std::to_string(va) + " | " + std::to_string(vb));
    Compare("file", _a.dump.fileProblems, _b.dump.fileProblems);
    const std::vector<DumpRecord>& ra = _a.dump.recordList;
    const std::vector<DumpRecord>& rb = _b.dump.recordList;
    for (size_t i = 0; i < std::max(ra.size(), rb.size()); ++i) {
      const std::string head = "record " + std::to_string(i + 1) + ChannelOf(i);
      if (i >= rb.size() || i >= ra.size()) {
        const bool inA = i < ra.size();
        _lines.push_back(head + ": only in " + (inA ? _a.name : _b.name) + ": " + (inA ? ra : rb)[i].type);
        continue;
      }
      if (ra[i].type != rb[i].type) {
        _lines.push_back(head + ": type " + ra[i].type + " | " + rb[i].type);
        continue;
      }
      CompareEntries(head + " (" + ra[i].type + ")", ra[i].entries, rb[i].entries);
    }
    return _lines;
  }

 private:
  // ", channel 'id'" for record `i` (from 0) where a file names its channel
  // ("'a' | 'b'" where the files differ); "" where neither does.
  std::string ChannelOf(size_t i) const {
    auto id = [i](const Side& side) {
      return i == 0 || i > side.channelIds.size() ? std::string()
                                                   : "'" + Printable(side.channelIds[i - 1], 60) + "'";
    };
    const std::string a = id(_a);
    const std::string b = id(_b);
    if (a.empty() && b.empty()) return "";
    return ", channel " + (a == b ? a : (a.empty() ? "-" : a) + " | " + (b.empty() ? "-" : b));
  }

  void Compare(const std::string& head, const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a == b) return;
    _lines.push_back(head);
    for (const std::string& p : a) _lines.push_back("    - !! " + p);
    for (const std::string& p : b) _lines.push_back("    + !! " + p);
  }

  // Entries are compared by position; problems the dump found in the
  // records are compared apart, so that one does not shift the entries.
  void CompareEntries(const std::string& head, const std::vector<DumpEntry>& allA,
                      const std::vector<DumpEntry>& allB) {
    std::vector<DumpEntry> a;
    std::vector<DumpEntry> b;
    std::vector<std::string> problemsA;
    std::vector<std::string> problemsB;
    for (const DumpEntry& e : allA) (e.tag == "!!" ? problemsA.push_back(e.text) : a.push_back(e));
    for (const DumpEntry& e : allB) (e.tag == "!!" ? problemsB.push_back(e.text) : b.push_back(e));
    Compare(head, problemsA, problemsB);
    bool headShown = problemsA != problemsB;
    for (size_t j = 0; j < std::max(a.size(), b.size()); ++j) {
      const DumpEntry* x = j < a.size() ? &a[j] : nullptr;
      const DumpEntry* y = j < b.size() ? &b[j] : nullptr;
      if (x && y && x->tag == y->tag && Block(_a, *x) == Block(_b, *y)) continue;
      if (!headShown) _lines.push_back(head);
      headShown = true;
      _lines.push_back("  entry " + std::to_string(j + 1) + ":");
      std::string where;
      if (x && y && x->tag == y->tag && x->text == y->text) {
        // Equal as shown (a long text cut short): say where the bytes part.
        const std::string_view bx = Block(_a, *x);
        const std::string_view by = Block(_b, *y);
        size_t k = 0;
        while (k < bx.size() && k < by.size() && bx[k] == by[k]) ++k;
        where = "  (the blocks differ from byte " + std::to_string(k) + ")";
      }
      if (x) _lines.push_back("    - " + x->tag + " " + x->text + where);
      if (y) _lines.push_back("    + " + y->tag + " " + y->text + where);
    }
  }

  const Side& _a;
  const Side& _b;
  std::vector<std::string> _lines;
};

}  // namespace

int DiffCommand(const std::string& pathA, const std::string& pathB) {
  Side a;
  Side b;
  std::string error;
  if (!ReadSide(pathA, &a, &error) || !ReadSide(pathB, &b, &error)) {
    Fail(error);
    return kExitUsage;
  }
  const std::vector<std::string> lines = Differ(a, b).Run();
  if (lines.empty()) return kExitOk;
  std::printf("--- %s\n+++ %s\n", a.name.c_str(), b.name.c_str());
  for (const std::string& line : lines) std::printf("%s\n", line.c_str());
  std::fflush(stdout);
  return kExitFailure;
}

}  // namespace dravik
