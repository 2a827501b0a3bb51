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

std::string ReadEntry(ZyrFileLoader& loader) {
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
  EXPECT_TRUE(saver.EndChannel());
  saver.BeginChannel(kTypeB);
  SaveEntry(saver, "VALU", std::string("\x01\x02\x03\x04", 4));
  EXPECT_TRUE(saver.EndChannel());
  EXPECT_FALSE(saver.HasError());
  return saver.Bytes();
}

// Reads every entry of every record the way a careful caller does. Returns
// the number of entries read.
int WalkAll(ZyrFileLoader& loader) {
  int entries = 0;
  GUID type;
  while (loader.NextChannel(&type)) {
    char tag[5] = {};
    while (loader.PeekTag(tag)) {
      if (!loader.GetInfoIfTag(tag)) break;
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
  ASSERT_EQ(b.size(), 8u + 20u + 8u + 3u);
  EXPECT_EQ(0, std::memcmp(b.data(), "ZYRF\x01\x00\x00\x00", 8));
  EXPECT_EQ(0, std::memcmp(b.data() + 8, &kTypeA, 16));
  EXPECT_EQ(0, std::memcmp(b.data() + 24, "\x0b\x00\x00\x00", 4));  // body 8 + 3
  EXPECT_EQ(0, std::memcmp(b.data() + 28, "ABCD\x03\x00\x00\x00xyz", 11));
  EXPECT_EQ(saver.RecordCount(), 1u);
}

TEST(ZyrFileFormat, RoundTripInOrder) {
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SampleFile()));
  GUID type;
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeA);
  ASSERT_TRUE(loader.GetInfoIfTag("MODE"));
  EXPECT_EQ(ReadEntry(loader), "first");
  ASSERT_TRUE(loader.GetInfoIfTag("NAME"));
  EXPECT_EQ(ReadEntry(loader), "channel");
  ASSERT_TRUE(loader.GetInfoIfTag("MODE"));
  EXPECT_EQ(ReadEntry(loader), "second");
  ASSERT_TRUE(loader.GetInfoIfTag("EMPT"));
  EXPECT_EQ(loader.GetCurrentTagSize(), 0u);
  EXPECT_TRUE(loader.AtEndOfRecord());
  EXPECT_FALSE(loader.GetInfoIfTag("MODE"));
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeB);
  ASSERT_TRUE(loader.GetInfoIfTag("VALU"));
  EXPECT_EQ(ReadEntry(loader), std::string("\x01\x02\x03\x04", 4));
  EXPECT_FALSE(loader.NextChannel(&type));
  EXPECT_FALSE(loader.HasError());
}

TEST(ZyrFileFormat, RepeatedTagToldApartByPosition) {
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SampleFile()));
  ASSERT_TRUE(loader.NextChannel(nullptr));
  // Only the entry at the position answers: NAME is behind the first MODE.
  EXPECT_FALSE(loader.GetInfoIfTag("NAME"));
  EXPECT_EQ(loader.Position(), loader.RecordBegin());
  ASSERT_TRUE(loader.GetInfoIfTag("MODE"));
  EXPECT_EQ(ReadEntry(loader), "first");
  // A missing optional tag keeps the position: the next MODE is the second.
  EXPECT_FALSE(loader.GetInfoIfTag("OPTN"));
  ASSERT_TRUE(loader.GetInfoIfTag("NAME"));
  ASSERT_TRUE(loader.GetInfoIfTag("MODE"));
  EXPECT_EQ(ReadEntry(loader), "second");
  // Unread entries are skipped by NextChannel; the current entry is dropped.
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_EQ(loader.GetCurrentTagSize(), 0u);
  EXPECT_EQ(loader.GetCurrentTagData(), nullptr);
  ASSERT_TRUE(loader.GetInfoIfTag("VALU"));
  EXPECT_FALSE(loader.HasError());
}

TEST(ZyrFileFormat, MalformedTagArgumentsAnswerFalse) {
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SampleFile()));
  EXPECT_FALSE(loader.GetInfoIfTag("MODE"));  // no record yet
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_FALSE(loader.GetInfoIfTag(nullptr));
  EXPECT_FALSE(loader.GetInfoIfTag("MOD"));
  EXPECT_FALSE(loader.GetInfoIfTag("MODEX"));
  EXPECT_EQ(loader.CopyTagDataToPointer(nullptr), 0);
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
    EXPECT_NE(saver.SaveBlockSize(4), kZyrSaveOk);  // no tag before
    EXPECT_FALSE(saver.EndChannel());
    EXPECT_EQ(saver.RecordCount(), 0u);
    EXPECT_EQ(saver.Bytes().size(), kZyrFileHeaderSize);
  }
  {
    ZyrFileSaver saver;
    saver.BeginChannel(kTypeA);
    EXPECT_EQ(saver.SaveTag("ABCD"), kZyrSaveOk);
    EXPECT_EQ(saver.SaveBlockSize(2), kZyrSaveOk);
    EXPECT_EQ(saver.SaveDataToFile("xyz", 3), kZyrSaveOverrun);
    EXPECT_TRUE(saver.HasError());
    EXPECT_NE(saver.SaveTag("EFGH"), kZyrSaveOk);  // stays in error
  }
  {
    ZyrFileSaver saver;
    saver.BeginChannel(kTypeA);
    EXPECT_EQ(saver.SaveTag("AB"), kZyrSaveBadTag);
  }
}

TEST(ZyrFileSaverOrder, IncompleteEntryDropsTheRecord) {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "GOOD", "1");
  ASSERT_TRUE(saver.EndChannel());
  saver.BeginChannel(kTypeB);
  EXPECT_EQ(saver.SaveTag("HALF"), kZyrSaveOk);
  EXPECT_EQ(saver.SaveBlockSize(10), kZyrSaveOk);
  EXPECT_EQ(saver.SaveDataToFile("12345", 5), kZyrSaveOk);
  EXPECT_FALSE(saver.EndChannel());
  EXPECT_TRUE(saver.HasError());
  EXPECT_EQ(saver.RecordCount(), 1u);
  // The bytes hold only whole records: they read back cleanly.
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(saver.Bytes()));
  EXPECT_EQ(WalkAll(loader), 1);
  EXPECT_FALSE(loader.HasError());
}

TEST(ZyrFileSaverOrder, BeginChannelClosesTheOpenRecord) {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "ONE_", "1");
  saver.BeginChannel(kTypeB);
  SaveEntry(saver, "TWO_", "2");
  ASSERT_TRUE(saver.EndChannel());
  EXPECT_EQ(saver.RecordCount(), 2u);
  EXPECT_FALSE(saver.EndChannel());  // nothing open
  EXPECT_FALSE(saver.HasError());
}

TEST(ZyrFileWrite, WritesThroughRenameAndReadsBack) {
  testing_support::ScratchDir dir;
  const std::string path = dir.File("scene.zyr");
  {
    std::ofstream old(path, std::ios::binary);
    old << "old contents";
  }
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "DATA", "payload");
  ASSERT_TRUE(saver.EndChannel());
  std::string error;
  ASSERT_TRUE(saver.WriteToFile(path, &error)) << error;
  // Only the file itself is left: no temporary beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    ++files;
    EXPECT_EQ(entry.path().filename(), "scene.zyr");
  }
  EXPECT_EQ(files, 1);
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.OpenFile(path)) << loader.GetError();
  ASSERT_TRUE(loader.NextChannel(nullptr));
  ASSERT_TRUE(loader.GetInfoIfTag("DATA"));
  EXPECT_EQ(ReadEntry(loader), "payload");
}

TEST(ZyrFileWrite, FailuresAreReported) {
  testing_support::ScratchDir dir;
  ZyrFileSaver saver;
  std::string error;
  EXPECT_FALSE(saver.WriteToFile(dir.File("missing/scene.zyr"), &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;

  ZyrFileSaver broken;
  broken.BeginChannel(kTypeA);
  broken.SaveBlockSize(1);
  error.clear();
  const std::string path = dir.File("broken.zyr");
  EXPECT_FALSE(broken.WriteToFile(path, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(path));

  ZyrFileLoader loader;
  EXPECT_FALSE(loader.OpenFile(dir.File("absent.zyr")));
  EXPECT_NE(loader.GetError().find("absent.zyr"), std::string::npos);
}

TEST(ZyrFileDamage, BadHeaders) {
  const std::vector<std::vector<uint8_t>> headers = {
      {},
      {'Z', 'Y', 'R'},
      {'Z', 'Y', 'R', 'F', 1, 0, 0},
      {'X', 'Y', 'R', 'F', 1, 0, 0, 0},
      {'Z', 'Y', 'R', 'F', 2, 0, 0, 0},
  };
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
    SCOPED_TRACE(length);
    ZyrFileLoader loader;
    // A right-sized copy lets the address sanitizer see any overread.
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(length));
    if (loader.Open(std::move(cut))) WalkAll(loader);
    const bool sound = length == kZyrFileHeaderSize || length == firstRecordEnd;
    EXPECT_EQ(loader.HasError(), !sound) << loader.GetError();
  }
}

TEST(ZyrFileDamage, EntrySizeBeyondItsRecord) {
  std::vector<uint8_t> bytes = SampleFile();
  // First entry's size field: header 8 + record header 20 + tag 4.
  const size_t sizeField = 8 + 20 + 4;
  for (uint32_t size : {6u, 1000u, 0xFFFFFFFFu}) {
    std::memcpy(bytes.data() + sizeField, &size, 4);
    ZyrFileLoader loader;
    ASSERT_TRUE(loader.Open(bytes));
    ASSERT_TRUE(loader.NextChannel(nullptr));
    if (size == 6u) {
      // Fits the record but shifts every entry behind it: the next entry
      // header read is garbage that overruns.
      ASSERT_TRUE(loader.GetInfoIfTag("MODE"));
      EXPECT_FALSE(loader.GetInfoIfTag("NAME"));
      continue;
    }
    EXPECT_FALSE(loader.GetInfoIfTag("MODE"));
    EXPECT_TRUE(loader.HasError());
    EXPECT_NE(loader.GetError().find("MODE"), std::string::npos) << loader.GetError();
    EXPECT_EQ(loader.GetCurrentTagData(), nullptr);
  }
}

TEST(ZyrFileDamage, RecordSizeBeyondTheFile) {
  std::vector<uint8_t> bytes = SampleFile();
  const size_t bodyField = 8 + 16;
  for (uint32_t size : {static_cast<uint32_t>(bytes.size()), 0xFFFFFFFFu}) {
    std::memcpy(bytes.data() + bodyField, &size, 4);
    ZyrFileLoader loader;
    ASSERT_TRUE(loader.Open(bytes));
    EXPECT_FALSE(loader.NextChannel(nullptr));
    EXPECT_TRUE(loader.HasError());
    EXPECT_FALSE(loader.NextChannel(nullptr));  // stays at the end
  }
}

TEST(ZyrFileDamage, ErrorsAreCountedAndTheFirstIsKept) {
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(SampleFile()));
  ASSERT_TRUE(loader.NextChannel(nullptr));
  loader.SetError("first problem");
  loader.SetError("second problem");
  EXPECT_EQ(loader.ErrorCount(), 2u);
  EXPECT_EQ(loader.GetError().rfind("first problem", 0), 0u);
  EXPECT_NE(loader.GetError().find("offset 8"), std::string::npos) << loader.GetError();
  loader.ClearError();
  EXPECT_FALSE(loader.HasError());
  // Errors do not stop reading.
  EXPECT_TRUE(loader.GetInfoIfTag("MODE"));
}

}  // namespace
