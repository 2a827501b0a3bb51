// Dump: a saved file as a readable tree, for people checking what a run or
// a host wrote.
//
// Every record is listed with its offset, channel type, body size and
// checksum (a record that fails it is flagged and still decoded), and
// every entry with its offset, tag, block size and decoded value (texts,
// 32-bit numbers, floats, vectors, id lists), named after what the tag
// means in that kind of record. Unknown tags are shown with a guess at
// their content; entries or records that run past their end, sizes that
// do not fit their tag, a bad header and stray bytes are flagged with "!!"
// and the dump goes on with what can still be read. A version-1 file is
// read as such, with a note that it carries no checksums.
#ifndef RUNNER_OUTPUT_DUMP_TREE_H_
#define RUNNER_OUTPUT_DUMP_TREE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace dravik {

// One item of a record as the tree shows it: an entry, or a problem found
// where the entry would be.
struct DumpEntry {
  std::string tag;         // the tag as shown; "!!" for a problem
  std::string text;        // label and decoded value as shown, or the problem
  size_t dataOffset = 0;   // where the entry's block lies in the file
  uint32_t size = 0;       // and its size (0 for a problem)
};

struct DumpRecord {
  std::string type;        // type name and GUID, as shown
  std::vector<DumpEntry> entries;
};

struct DumpResult {
  std::string text;        // the tree, one line per item, each ending in '\n'
  std::vector<DumpRecord> recordList;     // the records, as the tree shows them
  std::vector<std::string> fileProblems;  // problems outside any record
  size_t records = 0;
  size_t problems = 0;     // damaged or truncated items ("!!" lines)
  size_t unknownTags = 0;  // entries of tags the dump does not know
};

// Dumps `bytes` (a whole file). `name` heads the tree. Never fails: damage
// is counted in `problems`.
DumpResult DumpBytes(const std::vector<uint8_t>& bytes, const std::string& name);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_DUMP_TREE_H_
