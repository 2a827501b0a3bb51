// The dump of hand-made files: every kind of damage is flagged and the dump
// goes on.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"
#include "runner/output/dump_tree.h"
#include "runner/scene/record_entries.h"

namespace {

using dravik::DumpBytes;
using dravik::DumpResult;

std::vector<uint8_t> ValueFile(float value) {
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString(guid::kFloatChannelType));
  dravik::PutU32(saver, "ZCID", 7);
  dravik::PutText(saver, "ZCNM", "speed");
  dravik::PutBytes(saver, "FVAL", &value, 4);
  saver.EndChannel();
  return saver.Bytes();
}

TEST(DumpBytes, FlagsEachKindOfDamage) {
  const std::vector<uint8_t> bytes = ValueFile(1.0f);
  const struct {
    size_t at;  // patched byte; past the end appends three stray bytes
    uint8_t value;
    std::string flag;
    bool reseal;  // the checksum made good again
  } cases[] = {
      {8 + 16, 200, "past the end of the file (truncated)", false},  // record body larger than the file
      {32 + 4, 100, "block of 100 bytes, only 29 left in the record (truncated)", true},
      {bytes.size(), 0, "3 stray bytes, too few for a record header", false},
      {4, 9, "unknown format version", false},
      {bytes.size() - 1, 0x40, "the record fails its checksum", false},  // 1.0 -> 4.0
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> damaged = bytes;
    if (c.at < damaged.size()) {
      damaged[c.at] = c.value;
    } else {
      damaged.insert(damaged.end(), {1, 2, 3});
    }
    if (c.reseal) ZyrResealRecords(&damaged);
    const DumpResult r = DumpBytes(damaged, "x");
    EXPECT_EQ(r.problems, 1u) << c.flag;
    EXPECT_NE(r.text.find(c.flag), std::string::npos) << r.text;
  }
}

TEST(DumpBytes, UnknownTagsAreGuessedNotCountedAsDamage) {
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString("00000000-0000-0000-0000-000000000001"));
  dravik::PutU32(saver, "ABCD", 1065353216);  // 1.0f
  dravik::PutText(saver, "TXT_", "hello %s");
  const uint8_t raw[] = {0, 1, 2, 250};
  dravik::PutBytes(saver, "RAW_", raw, 3);
  saver.EndChannel();
  const DumpResult r = DumpBytes(saver.Bytes(), "u");
  EXPECT_EQ(r.problems, 0u);
  EXPECT_EQ(r.unknownTags, 3u);
  EXPECT_NE(r.text.find("unknown type"), std::string::npos);
  EXPECT_NE(r.text.find("u32 1065353216 / float 1"), std::string::npos);
  EXPECT_NE(r.text.find("text \"hello %s\""), std::string::npos);
  EXPECT_NE(r.text.find("bytes 00 01 02"), std::string::npos);
}

TEST(DumpBytes, EmptyAndTinyInputs) {
  EXPECT_EQ(DumpBytes({}, "e").problems, 1u);
  const std::vector<uint8_t> header = {'Z', 'Y', 'R', 'F', 1, 0, 0, 0};
  const DumpResult r = DumpBytes(header, "h");
  EXPECT_EQ(r.problems, 0u);
  EXPECT_EQ(r.records, 0u);
}

}  // namespace
