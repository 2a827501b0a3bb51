// The dump of hand-made files: every kind of damage is flagged and the dump
// goes on.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/guid.h"
#include "hostapi/zyr_file.h"
#include "runner/dump.h"
#include "runner/record_entries.h"

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

TEST(DumpBytes, DecodesAGoodRecord) {
  const DumpResult r = DumpBytes(ValueFile(2.5f), "v.zyr");
  EXPECT_EQ(r.problems, 0u);
  EXPECT_EQ(r.records, 1u);
  EXPECT_NE(r.text.find("record 1 @8  Value BE69CCC4-CFC1-4362-AC81-767D199BBFC3  body 37 bytes"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("ZCID     4  channel id     7"), std::string::npos) << r.text;
  EXPECT_NE(r.text.find("ZCNM     5  name           \"speed\""), std::string::npos);
  EXPECT_NE(r.text.find("FVAL     4  value          2.5"), std::string::npos);
}

TEST(DumpBytes, FlagsEachKindOfDamage) {
  std::vector<uint8_t> bytes = ValueFile(1.0f);
  // Record body larger than the file.
  std::vector<uint8_t> longBody = bytes;
  longBody[8 + 16] = 200;
  DumpResult r = DumpBytes(longBody, "x");
  EXPECT_EQ(r.problems, 1u);
  EXPECT_NE(r.text.find("past the end of the file (truncated)"), std::string::npos);
  EXPECT_NE(r.text.find("FVAL"), std::string::npos);  // still decoded
  // An entry larger than its record.
  std::vector<uint8_t> longEntry = bytes;
  longEntry[28 + 4] = 100;
  r = DumpBytes(longEntry, "x");
  EXPECT_EQ(r.problems, 1u);
  EXPECT_NE(r.text.find("block of 100 bytes, only 29 left in the record (truncated)"), std::string::npos) << r.text;
  // Stray bytes after the last record.
  std::vector<uint8_t> stray = bytes;
  stray.insert(stray.end(), {1, 2, 3});
  r = DumpBytes(stray, "x");
  EXPECT_EQ(r.problems, 1u);
  EXPECT_NE(r.text.find("3 stray bytes, too few for a record header"), std::string::npos);
  // Unknown version.
  std::vector<uint8_t> version = bytes;
  version[4] = 9;
  r = DumpBytes(version, "x");
  EXPECT_EQ(r.problems, 1u);
  EXPECT_NE(r.text.find("unknown format version"), std::string::npos);
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
