// The tagged file format: writing, reading back, and damaged input.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/zyr_file.h"
#include "tests/support/test_support.h"

namespace {

const GUID kTypeA = guid::FromString("0A0A0A0A-1111-2222-3333-444455556666");
const GUID kTypeB = guid::FromString("0B0B0B0B-1111-2222-3333-444455556666");

void SaveEntry(ZyrFileSaver& saver, const char* tag, const std::string& data) {
  ASSERT_EQ(saver.SaveTag(tag), kZyrSaveOk);
  ASSERT_EQ(saver.SaveBlockSize(static_cast<uint32_t>(data.size())), kZyrSaveOk);
  ASSERT_EQ(saver.SaveDataToFile(data.data(), static_cast<uint32_t>(data.size())), kZyrSaveOk);
}

// The entry at the position when it is `tag`, else "<none>".
std::string Read(ZyrFileLoader& loader, const char* tag) {
  if (!loader.GetInfoIfTag(tag)) return "<none>";
  std::string data(loader.GetCurrentTagSize(), '\0');
  EXPECT_EQ(loader.CopyTagDataToPointer(data.data()), static_cast<int>(data.size()));
  return data;
}

// Two records: A with MODE, NAME, MODE, an empty EMPT; B with one VALU.
std::vector<uint8_t> SampleFile() {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "MODE", "first");
  SaveEntry(saver, "NAME", "channel");
  SaveEntry(saver, "MODE", "second");
  SaveEntry(saver, "EMPT", "");
  saver.BeginChannel(kTypeB);  // closes the open record
  SaveEntry(saver, "VALU", "\x01\x02\x03\x04");
  EXPECT_TRUE(saver.EndChannel());
  EXPECT_FALSE(saver.EndChannel());  // nothing open
  EXPECT_EQ(saver.RecordCount(), 2u);
  return saver.Bytes();
}

// Reads every entry of every record the way a careful caller does.
int WalkAll(ZyrFileLoader& loader) {
  int entries = 0;
  while (loader.NextChannel(nullptr)) {
    char tag[5] = {};
    while (loader.PeekTag(tag) && loader.GetInfoIfTag(tag)) {
      std::vector<uint8_t> data(loader.GetCurrentTagSize());
      loader.CopyTagDataToPointer(data.data());
      ++entries;
    }
  }
  return entries;
}

TEST(ZyrFileFormat, HeaderAndRecordLayout) {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "ABCD", "xyz");
  ASSERT_TRUE(saver.EndChannel());
  const std::vector<uint8_t>& b = saver.Bytes();
  ASSERT_EQ(b.size(), 8u + 24u + 8u + 3u);
  EXPECT_EQ(0, std::memcmp(b.data(), "ZYRF\x02\x00\x00\x00", 8));
  EXPECT_EQ(0, std::memcmp(b.data() + 8, &kTypeA, 16));
  EXPECT_EQ(0, std::memcmp(b.data() + 24, "\x0b\x00\x00\x00", 4));  // body 8 + 3
  // CRC-32 (zlib's) of the type, the body size and the body, as any other
  // CRC-32 tool computes it.
  EXPECT_EQ(0, std::memcmp(b.data() + 28, "\x81\x7b\xa3\x3d", 4));
  EXPECT_EQ(0, std::memcmp(b.data() + 32, "ABCD\x03\x00\x00\x00xyz", 11));
}

// A record whose checksum fails is refused with its offset, before any of
// its entries is read, and passed over.
TEST(ZyrFileFormat, FailedChecksumIsRefusedAndPassedOver) {
  std::vector<uint8_t> bytes = SampleFile();
  bytes[8 + 24 + 10] ^= 0x01;  // in the first record's "MODE" data
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(bytes));
  EXPECT_TRUE(loader.HasChecksums());
  GUID type;
  EXPECT_FALSE(loader.NextChannel(&type));
  EXPECT_FALSE(loader.GetInfoIfTag("MODE"));  // nothing of it is read
  EXPECT_EQ(loader.GetError().rfind("record at offset 8 fails its checksum", 0), 0u) << loader.GetError();
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeB);
  EXPECT_EQ(Read(loader, "VALU"), "\x01\x02\x03\x04");
  EXPECT_EQ(ZyrResealRecords(&bytes), 1u);
  ASSERT_TRUE(loader.Open(bytes));
  EXPECT_EQ(WalkAll(loader), 5);
  EXPECT_FALSE(loader.HasError());
}

// Only the entry at the position answers; a missing optional tag keeps the
// position; NextChannel skips unread entries.
TEST(ZyrFileFormat, RoundTripByPosition) {
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SampleFile()));
  EXPECT_EQ(Read(loader, "MODE"), "<none>");  // no record yet
  GUID type;
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeA);
  for (const char* bad : {"NAME", "OPTN", "MOD", "MODEX"}) EXPECT_EQ(Read(loader, bad), "<none>");
  EXPECT_FALSE(loader.GetInfoIfTag(nullptr));
  EXPECT_EQ(loader.Position(), loader.RecordBegin());
  EXPECT_EQ(Read(loader, "MODE"), "first");
  EXPECT_EQ(Read(loader, "NAME"), "channel");
  EXPECT_EQ(loader.CopyTagDataToPointer(nullptr), 0);
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeB);
  EXPECT_EQ(loader.GetCurrentTagData(), nullptr);
  EXPECT_EQ(Read(loader, "VALU"), "\x01\x02\x03\x04");
  EXPECT_TRUE(loader.AtEndOfRecord());
  EXPECT_FALSE(loader.NextChannel(&type));
  EXPECT_FALSE(loader.HasError());
}

TEST(ZyrFileSaverOrder, OutOfOrderCallsPutSaverInError) {
  {
    ZyrFileSaver saver;
    EXPECT_NE(saver.SaveTag("ABCD"), kZyrSaveOk);  // outside a record
    EXPECT_TRUE(saver.HasError());
  }
  {
    ZyrFileSaver saver;
    saver.BeginChannel(kTypeA);
    EXPECT_EQ(saver.SaveTag("AB"), kZyrSaveBadTag);
  }
  {
    ZyrFileSaver saver;
    saver.BeginChannel(kTypeA);
    EXPECT_NE(saver.SaveBlockSize(4), kZyrSaveOk);  // no tag before
    EXPECT_FALSE(saver.EndChannel());
    EXPECT_EQ(saver.Bytes().size(), kZyrFileHeaderSize);
  }
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  EXPECT_EQ(saver.SaveTag("ABCD"), kZyrSaveOk);
  EXPECT_EQ(saver.SaveBlockSize(2), kZyrSaveOk);
  EXPECT_EQ(saver.SaveDataToFile("xyz", 3), kZyrSaveOverrun);
  EXPECT_NE(saver.SaveTag("EFGH"), kZyrSaveOk);  // stays in error
}

TEST(ZyrFileSaverOrder, IncompleteEntryDropsTheRecord) {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "GOOD", "1");
  saver.BeginChannel(kTypeB);
  EXPECT_EQ(saver.SaveTag("HALF"), kZyrSaveOk);
  EXPECT_EQ(saver.SaveBlockSize(10), kZyrSaveOk);
  EXPECT_EQ(saver.SaveDataToFile("12345", 5), kZyrSaveOk);
  EXPECT_FALSE(saver.EndChannel());
  EXPECT_EQ(saver.RecordCount(), 1u);
  ZyrFileLoader loader;  // only whole records: they read back cleanly
  ASSERT_TRUE(loader.Open(saver.Bytes()));
  EXPECT_EQ(WalkAll(loader), 1);
  EXPECT_FALSE(loader.HasError());
}

TEST(ZyrFileWrite, WritesThroughRenameAndReportsFailures) {
  testing_support::ScratchDir dir;
  const std::string path = dir.File("scene.zyr");
  std::ofstream(path, std::ios::binary) << "old contents";
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "DATA", "payload");
  ASSERT_TRUE(saver.EndChannel());
  std::string error;
  ASSERT_TRUE(saver.WriteToFile(path, &error)) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.OpenFile(path)) << loader.GetError();
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_EQ(Read(loader, "DATA"), "payload");

  EXPECT_FALSE(saver.WriteToFile(dir.File("missing/scene.zyr"), &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  ZyrFileSaver broken;
  broken.BeginChannel(kTypeA);
  broken.SaveBlockSize(1);
  EXPECT_FALSE(broken.WriteToFile(dir.File("broken.zyr"), &error));
  EXPECT_FALSE(std::filesystem::exists(dir.File("broken.zyr")));
  EXPECT_FALSE(loader.OpenFile(dir.File("absent.zyr")));
  EXPECT_NE(loader.GetError().find("absent.zyr"), std::string::npos);
}

TEST(ZyrFileDamage, BadHeaders) {
  const std::vector<std::vector<uint8_t>> headers = {
      {}, {'Z', 'Y', 'R'}, {'Z', 'Y', 'R', 'F', 1, 0, 0}, {'X', 'Y', 'R', 'F', 1, 0, 0, 0},
      {'Z', 'Y', 'R', 'F', 0, 0, 0, 0}, {'Z', 'Y', 'R', 'F', 3, 0, 0, 0}};
  for (const auto& bytes : headers) {
    ZyrFileLoader loader;
    EXPECT_FALSE(loader.Open(bytes));
    EXPECT_TRUE(loader.HasError());
    EXPECT_FALSE(loader.NextChannel(nullptr));
  }
}

TEST(ZyrFileDamage, TruncatedAtEveryByte) {
  const std::vector<uint8_t> whole = SampleFile();
  // Cutting exactly behind a record leaves a shorter, sound file.
  const size_t firstRecordEnd = whole.size() - (kZyrRecordHeaderSize + kZyrEntryHeaderSize + 4);
  for (size_t length = 0; length < whole.size(); ++length) {
    ZyrFileLoader loader;
    // A right-sized copy lets the address sanitizer see any overread.
    if (loader.Open(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length)))) {
      WalkAll(loader);
    }
    const bool sound = length == kZyrFileHeaderSize || length == firstRecordEnd;
    EXPECT_EQ(loader.HasError(), !sound) << length << ": " << loader.GetError();
  }
}

// Size fields patched: the first entry's (8 + 24 + 4, the checksum made
// good again, so that the entry's own check answers) and the record's
// (8 + 16).
TEST(ZyrFileDamage, SizesBeyondTheirRecordOrFile) {
  const std::vector<uint8_t> sample = SampleFile();
  for (uint32_t size : {1000u, 0xFFFFFFFFu}) {
    std::vector<uint8_t> bytes = sample;
    std::memcpy(bytes.data() + 8 + 24 + 4, &size, 4);
    ASSERT_EQ(ZyrResealRecords(&bytes), 1u);
    ZyrFileLoader loader;
    ASSERT_TRUE(loader.Open(bytes));
    ASSERT_TRUE(loader.NextChannel(nullptr));
    EXPECT_FALSE(loader.GetInfoIfTag("MODE"));
    loader.SetError("second problem");  // the first error is kept
    EXPECT_EQ(loader.ErrorCount(), 2u);
    EXPECT_NE(loader.GetError().find("MODE"), std::string::npos) << loader.GetError();
    EXPECT_EQ(loader.GetCurrentTagData(), nullptr);
  }
  for (uint32_t size : {static_cast<uint32_t>(sample.size()), 0xFFFFFFFFu}) {
    std::vector<uint8_t> bytes = sample;
    std::memcpy(bytes.data() + 8 + 16, &size, 4);
    ZyrFileLoader loader;
    ASSERT_TRUE(loader.Open(bytes));
    EXPECT_FALSE(loader.NextChannel(nullptr));
    EXPECT_TRUE(loader.HasError());
    EXPECT_FALSE(loader.NextChannel(nullptr));  // stays at the end
  }
}

}  // namespace
