// The tagged file format: the bytes written, reading by position, the
// saver's order of calls, writing to disk and bad headers. Damaged records
// are the fault suite's (tests/fault) and the channel-file fuzzer's.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "hostapi/zyr_file.h"
#include "tests/support/test_support.h"

// While set, fsync fails as a failing disk makes it fail: the engine's
// library calls this one.
static bool gFailFsync = false;
extern "C" __attribute__((visibility("default"))) int fsync(int fd) {
  static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
  if (!gFailFsync) return real(fd);
  errno = EIO;
  return -1;
}

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

  // Taken out whole; the saver starts over as a new one.
  const std::vector<uint8_t> copy = b;
  saver.BeginChannel(kTypeA);
  EXPECT_EQ(saver.SaveTag("AB"), kZyrSaveBadTag);
  EXPECT_EQ(saver.TakeBytes(), copy);
  EXPECT_FALSE(saver.HasError());
  EXPECT_EQ(saver.RecordCount(), 0u);
  EXPECT_EQ(saver.Bytes(), ZyrFileSaver().Bytes());
  EXPECT_FALSE(saver.EndChannel());  // no record open
}

// Only the entry at the position answers; a missing optional tag keeps the
// position; NextChannel skips unread entries; a record failing its
// checksum is refused, nothing of it is read, and the next one is read;
// resealed, it reads.
TEST(ZyrFileFormat, ReadByPosition) {
  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "MODE", "first");
  SaveEntry(saver, "NAME", "channel");
  SaveEntry(saver, "MODE", "second");
  saver.BeginChannel(kTypeB);  // closes the open record
  SaveEntry(saver, "VALU", "\x01\x02\x03\x04");
  ASSERT_TRUE(saver.EndChannel());
  std::vector<uint8_t> bytes = saver.Bytes();
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(bytes));
  EXPECT_EQ(Read(loader, "MODE"), "<none>");  // no record yet
  char tag[4];
  EXPECT_FALSE(loader.PeekTag(tag));
  GUID type;
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeA);
  ASSERT_TRUE(loader.PeekTag(tag));
  EXPECT_EQ(std::string(tag, 4), "MODE");
  for (const char* bad : {"NAME", "MOD", "MODEX", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(Read(loader, bad), "<none>");
  }
  EXPECT_EQ(Read(loader, "MODE"), "first");
  EXPECT_EQ(Read(loader, "NAME"), "channel");
  EXPECT_EQ(loader.CopyTagDataToPointer(nullptr), 0);
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(type, kTypeB);
  EXPECT_EQ(loader.GetCurrentTagData(), nullptr);
  EXPECT_EQ(Read(loader, "VALU"), "\x01\x02\x03\x04");
  EXPECT_FALSE(loader.PeekTag(tag));  // the record's entries all read
  EXPECT_FALSE(loader.NextChannel(&type));
  EXPECT_FALSE(loader.HasError());

  bytes[8 + 24 + 10] ^= 0x01;  // in the first record's "MODE" data
  ASSERT_TRUE(loader.Open(bytes));
  EXPECT_FALSE(loader.NextChannel(&type));
  EXPECT_FALSE(loader.GetInfoIfTag("MODE"));
  EXPECT_TRUE(loader.HasError());
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(Read(loader, "VALU"), "\x01\x02\x03\x04");
  // Resealing mends that record's checksum, and only that one.
  EXPECT_EQ(ZyrResealRecords(&bytes), 1u);
  EXPECT_EQ(ZyrResealRecords(&bytes), 0u);
  ASSERT_TRUE(loader.Open(bytes));
  ASSERT_TRUE(loader.NextChannel(&type));
  EXPECT_EQ(Read(loader, "MODE"), "fisst");
}

// Calls out of order put the saver in error for good; a record left with
// an incomplete entry is dropped, and the records before it read back.
TEST(ZyrFileSaverOrder, OutOfOrderCallsAndIncompleteEntries) {
  ZyrFileSaver outside;
  EXPECT_NE(outside.SaveTag("ABCD"), kZyrSaveOk);
  EXPECT_TRUE(outside.HasError());
  ZyrFileSaver shortTag;
  shortTag.BeginChannel(kTypeA);
  EXPECT_EQ(shortTag.SaveTag("AB"), kZyrSaveBadTag);
  ZyrFileSaver overrun;
  overrun.BeginChannel(kTypeA);
  EXPECT_EQ(overrun.SaveTag("ABCD"), kZyrSaveOk);
  EXPECT_EQ(overrun.SaveBlockSize(2), kZyrSaveOk);
  EXPECT_EQ(overrun.SaveDataToFile("xyz", 3), kZyrSaveOverrun);
  EXPECT_EQ(overrun.SaveDataToFile("x", 1), kZyrSaveInError);
  EXPECT_NE(overrun.SaveTag("EFGH"), kZyrSaveOk);
  ZyrFileSaver nullData;
  nullData.BeginChannel(kTypeA);
  EXPECT_EQ(nullData.SaveTag("ABCD"), kZyrSaveOk);
  EXPECT_EQ(nullData.SaveBlockSize(1), kZyrSaveOk);
  EXPECT_EQ(nullData.SaveDataToFile(nullptr, 1), kZyrSaveOutOfOrder);

  ZyrFileSaver saver;
  saver.BeginChannel(kTypeA);
  SaveEntry(saver, "GOOD", "1");
  saver.BeginChannel(kTypeB);
  EXPECT_EQ(saver.SaveTag("HALF"), kZyrSaveOk);
  EXPECT_EQ(saver.SaveBlockSize(10), kZyrSaveOk);
  EXPECT_EQ(saver.SaveDataToFile("12345", 5), kZyrSaveOk);
  EXPECT_FALSE(saver.EndChannel());
  EXPECT_FALSE(saver.EndChannel());  // nothing open
  EXPECT_EQ(saver.RecordCount(), 1u);
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.Open(saver.Bytes()));
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_EQ(Read(loader, "GOOD"), "1");
  EXPECT_FALSE(loader.NextChannel(nullptr));
  EXPECT_FALSE(loader.HasError());
}

// Files shorter than their header, of another kind or of an unknown
// version are refused before any record is read. (Every bit flip of a
// saved scene: tests/fault.)
TEST(ZyrFileDamage, BadHeadersAreRefused) {
  const std::string headers[] = {"", std::string("ZYRF\x02\0\0", 7),
                                 std::string("ZYRG\x02\0\0\0", 8),
                                 std::string("ZYRF\x03\0\0\0", 8)};
  for (const std::string& header : headers) {
    ZyrFileLoader loader;
    EXPECT_FALSE(loader.Open({header.begin(), header.end()})) << header.size();
    EXPECT_TRUE(loader.HasError());
    EXPECT_FALSE(loader.NextChannel(nullptr));
  }
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
  const mode_t umask = ::umask(0);
  ::umask(umask);
  EXPECT_EQ(static_cast<unsigned>(std::filesystem::status(path).permissions()),
            0666u & ~unsigned{umask});  // as any new file
  ZyrFileLoader loader;
  ASSERT_TRUE(loader.OpenFile(path)) << loader.GetError();
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_EQ(Read(loader, "DATA"), "payload");

  // Past the process's file size limit: refused before writing (SIGXFSZ
  // would kill the process), the old file and the folder as they were.
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  ZyrFileSaver larger;
  larger.BeginChannel(kTypeA);
  SaveEntry(larger, "DATA", "a longer payload");
  ASSERT_TRUE(larger.EndChannel());
  const bool writtenPastLimit = larger.WriteToFile(path, &error);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &before), 0);
  EXPECT_FALSE(writtenPastLimit);
  EXPECT_NE(error.find("at most 8"), std::string::npos) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
  ASSERT_TRUE(loader.OpenFile(path)) << loader.GetError();
  ASSERT_TRUE(loader.NextChannel(nullptr));
  EXPECT_EQ(Read(loader, "DATA"), "payload");

  // The disk failing at fsync: refused, no temporary file left.
  gFailFsync = true;
  EXPECT_FALSE(saver.WriteToFile(path, &error));
  gFailFsync = false;
  EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);

  EXPECT_FALSE(saver.WriteToFile(dir.File("missing/scene.zyr"), &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  std::filesystem::create_directory(dir.File("taken"));  // written, but not renamed over
  EXPECT_FALSE(saver.WriteToFile(dir.File("taken"), &error));
  EXPECT_NE(error.find("cannot rename"), std::string::npos) << error;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
  ZyrFileSaver broken;
  broken.BeginChannel(kTypeA);
  EXPECT_NE(broken.SaveBlockSize(1), kZyrSaveOk);  // no tag before: in error for good
  EXPECT_FALSE(broken.WriteToFile(dir.File("broken.zyr"), &error));
  EXPECT_NE(error.find("saving failed"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(dir.File("broken.zyr")));
  EXPECT_FALSE(loader.OpenFile(dir.File("absent.zyr")));
  EXPECT_NE(loader.GetError().find("absent.zyr"), std::string::npos);
  EXPECT_FALSE(loader.OpenFile(dir.Path().string()));  // opens, cannot be read
  EXPECT_NE(loader.GetError().find("cannot read"), std::string::npos) << loader.GetError();
}

}  // namespace
