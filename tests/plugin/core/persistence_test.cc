#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hostapi/zyr_file.h"
#include "tests/plugin/core/test_channel.h"
#include "tests/support/test_support.h"

using testing_support::MessageCapture;

namespace {

using ModePersistence = TestModesFixture;

struct Entry {
  std::string tag;
  std::vector<uint8_t> data;
};

uint32_t ReadLe32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t{bytes[at]} | (uint32_t{bytes[at + 1]} << 8) | (uint32_t{bytes[at + 2]} << 16) |
         (uint32_t{bytes[at + 3]} << 24);
}

// The entries of the first record of a saved file, read straight from its
// bytes: file header, record header (type GUID, body size), then per entry
// tag, block size, data.
std::vector<Entry> FirstRecordEntries(const std::vector<uint8_t>& file) {
  std::vector<Entry> entries;
  if (file.size() < kZyrFileHeaderSize + kZyrRecordHeaderSize) return entries;
  const size_t bodySize = ReadLe32(file, kZyrFileHeaderSize + 16);
  size_t at = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  const size_t end = at + bodySize;
  while (at + kZyrEntryHeaderSize <= end && end <= file.size()) {
    Entry entry;
    entry.tag.assign(reinterpret_cast<const char*>(&file[at]), 4);
    const size_t size = ReadLe32(file, at + 4);
    at += kZyrEntryHeaderSize;
    if (at + size > end) break;
    entry.data.assign(file.begin() + static_cast<std::ptrdiff_t>(at),
                      file.begin() + static_cast<std::ptrdiff_t>(at + size));
    at += size;
    entries.push_back(entry);
  }
  return entries;
}

std::vector<uint8_t> Save(Zyr_Channel& ch) {
  ZyrFileSaver saver;
  saver.BeginChannel(kValueType);
  EXPECT_TRUE(ch.SaveChannel(saver));
  EXPECT_TRUE(saver.EndChannel());
  return saver.Bytes();
}

// Opens `file` and moves to its first record.
void OpenFirstRecord(ZyrFileLoader& loader, const std::vector<uint8_t>& file) {
  GUID type;
  ASSERT_TRUE(loader.Open(file));
  ASSERT_TRUE(loader.NextChannel(&type));
}

// Loads the first record of `file` into `ch`; the result of LoadChannel.
bool LoadFirstRecord(Ubo_TestModes& ch, const std::vector<uint8_t>& file) {
  ZyrFileLoader loader;
  OpenFirstRecord(loader, file);
  return ch.LoadChannel(loader, nullptr);
}

// A record holding the engine's part of a plain float channel (unless
// `enginePart` is false) and then the given raw entries.
std::vector<uint8_t> RecordWith(const std::vector<Entry>& extra, bool enginePart = true) {
  Ubo_FloatChannel plain;
  plain.SetChannelName("Plain");
  ZyrFileSaver saver;
  saver.BeginChannel(kValueType);
  if (enginePart) {
    EXPECT_TRUE(plain.SaveChannel(saver));
  }
  for (const Entry& entry : extra) {
    saver.SaveTag(entry.tag.c_str());
    saver.SaveBlockSize(static_cast<uint32_t>(entry.data.size()));
    if (!entry.data.empty()) {
      saver.SaveDataToFile(entry.data.data(), static_cast<uint32_t>(entry.data.size()));
    }
  }
  EXPECT_TRUE(saver.EndChannel());
  return saver.Bytes();
}

TEST_F(ModePersistence, SavesModeAndFlagBehindTheEnginePart) {
  Ubo_TestModes ch;
  ch.SetCurrentMode(3);
  ch.SetUseAutoChannelName(false);
  const std::vector<Entry> entries = FirstRecordEntries(Save(ch));
  ASSERT_GE(entries.size(), 2u);
  const Entry& mode = entries[entries.size() - 2];
  const Entry& flag = entries.back();
  EXPECT_EQ(mode.tag, "MODE");
  EXPECT_EQ(mode.data, (std::vector<uint8_t>{0x03, 0x00, 0x00, 0x00}));
  EXPECT_EQ(flag.tag, "UACN");
  EXPECT_EQ(flag.data, (std::vector<uint8_t>{0x00}));

  Ubo_TestModes fresh;
  const std::vector<Entry> none = FirstRecordEntries(Save(fresh));
  ASSERT_GE(none.size(), 2u);
  EXPECT_EQ(none[none.size() - 2].data, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(none.back().data, (std::vector<uint8_t>{0x01}));

  ZyrFileSaver saver;  // no record open: the engine's part fails, nothing more is written
  EXPECT_FALSE(fresh.SaveChannel(saver));
  EXPECT_EQ(saver.Bytes().size(), kZyrFileHeaderSize);
}

TEST_F(ModePersistence, FailingEnginePartReadsNothingMore) {
  // A damaged id entry makes the engine refuse its part.
  const std::vector<uint8_t> file =
      RecordWith({{"ZCID", {1, 2}}, {"MODE", {3, 0, 0, 0}}, {"UACN", {0}}}, false);
  Ubo_TestModes ch;
  ch.SetCurrentMode(1);
  EXPECT_FALSE(LoadFirstRecord(ch, file));
  EXPECT_EQ(ch.GetLoadedMode(), kNoMode);
  EXPECT_EQ(ch.GetCurrentMode(), 1u);
  EXPECT_EQ(ch.modeIsSetCount, 1);
}

TEST_F(ModePersistence, LoadSwitchesToTheSavedModeWhenAsked) {
  Ubo_TestModes source;
  source.SetCurrentMode(3);
  source.SetUseAutoChannelName(false);
  source.SetChannelName("Kept");
  const std::vector<uint8_t> file = Save(source);

  Ubo_TestModes target;
  EXPECT_TRUE(LoadFirstRecord(target, file));
  EXPECT_EQ(target.GetLoadedMode(), 3u);
  EXPECT_EQ(target.GetCurrentMode(), 3u);
  EXPECT_EQ(target.modeIsSetCount, 1);
  EXPECT_FALSE(target.GetUseAutoChannelName());
  EXPECT_STREQ(target.GetChannelName(), "Kept") << "naming was off in the record";

  Ubo_TestModes keeper;
  keeper.SetCurrentMode(1);
  keeper.SetAutoSetModeOnLoad(false);
  EXPECT_TRUE(LoadFirstRecord(keeper, file));
  EXPECT_EQ(keeper.GetCurrentMode(), 1u);
  EXPECT_EQ(keeper.GetLoadedMode(), 3u);
  EXPECT_EQ(keeper.modeIsSetCount, 1);
}

TEST_F(ModePersistence, RecordWithoutFrameworkPartSelectsModeZero) {
  const std::vector<uint8_t> file = RecordWith({});
  Ubo_TestModes ch;
  ch.SetUseAutoChannelName(false);
  EXPECT_TRUE(LoadFirstRecord(ch, file));
  EXPECT_EQ(ch.GetLoadedMode(), 0u);
  EXPECT_EQ(ch.GetCurrentMode(), 0u);
  EXPECT_EQ(ch.modeIsSetCount, 1);
  EXPECT_FALSE(ch.GetUseAutoChannelName()) << "a missing flag leaves it";
}

TEST_F(ModePersistence, LoadedUnregisteredModeIsReportedAndKeepsTheMode) {
  const std::vector<uint8_t> file = RecordWith({{"MODE", {9, 0, 0, 0}}, {"UACN", {1}}});
  Ubo_TestModes ch;
  ch.SetCurrentMode(1);
  MessageCapture capture;
  EXPECT_TRUE(LoadFirstRecord(ch, file));
  EXPECT_EQ(ch.GetLoadedMode(), 9u);
  EXPECT_EQ(ch.GetCurrentMode(), 1u);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_NE(capture.Last().text.find("().InvalidMode[9]"), std::string::npos);
}

TEST_F(ModePersistence, BlocksOfTheWrongSizeAreRefused) {
  const std::vector<uint8_t> file =
      RecordWith({{"MODE", {3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}}, {"UACN", {1, 1}}, {"XTRA", {5}}});
  Ubo_TestModes ch;
  ch.SetUseAutoChannelName(false);
  ZyrFileLoader loader;
  OpenFirstRecord(loader, file);
  MessageCapture capture;
  EXPECT_TRUE(ch.LoadChannel(loader, nullptr));
  ASSERT_EQ(capture.Count(), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("LoadChannel") + "().BadBlockSize.Tag[MODE].Size[8]");
  EXPECT_EQ(capture.Messages()[1].text, Head("LoadChannel") + "().BadBlockSize.Tag[UACN].Size[2]");
  EXPECT_EQ(ch.GetLoadedMode(), 0u);
  EXPECT_EQ(ch.GetCurrentMode(), 0u);
  EXPECT_FALSE(ch.GetUseAutoChannelName());
  EXPECT_TRUE(loader.GetInfoIfTag("XTRA")) << "the reader goes on behind the refused blocks";

  const std::vector<uint8_t> empty = RecordWith({{"MODE", {}}, {"UACN", {}}});
  capture.Clear();
  EXPECT_TRUE(LoadFirstRecord(ch, empty));
  EXPECT_EQ(capture.CountContaining("BadBlockSize"), 2u);
  EXPECT_EQ(ch.GetLoadedMode(), 0u);
}

}  // namespace
