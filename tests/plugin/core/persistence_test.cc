#include <gtest/gtest.h>

#include <cstdint>
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

// The last `n` bytes of a saved file: the framework part closes the record,
// as tag, little-endian block size, data per entry.
std::vector<uint8_t> Tail(const std::vector<uint8_t>& file, size_t n) {
  return file.size() < n ? file : std::vector<uint8_t>(file.end() - static_cast<std::ptrdiff_t>(n), file.end());
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
  EXPECT_EQ(Tail(Save(ch), 21), (std::vector<uint8_t>{'M', 'O', 'D', 'E', 4, 0, 0, 0, 3, 0, 0, 0,
                                                      'U', 'A', 'C', 'N', 1, 0, 0, 0, 0}));
  Ubo_TestModes fresh;
  EXPECT_EQ(Tail(Save(fresh), 21), (std::vector<uint8_t>{'M', 'O', 'D', 'E', 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                                          'U', 'A', 'C', 'N', 1, 0, 0, 0, 1}));

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
