#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "hostapi/zyr_file.h"
#include "tests/plugin/core/test_channel.h"

namespace {

using ModePersistence = TestModesFixture;

struct Entry {
  std::string tag;
  std::vector<uint8_t> data;
};

// A record holding the engine's part of a plain float channel named
// "Plain" (unless `enginePart` is false) and then the given raw entries.
std::vector<uint8_t> RecordWith(const std::vector<Entry>& extra, bool enginePart) {
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

// The framework part closes the record: tag, little-endian block size,
// data per entry.
TEST_F(ModePersistence, SavesModeAndFlagBehindTheEnginePart) {
  auto lastBytes = [](Ubo_TestModes& ch) {
    ZyrFileSaver saver;
    saver.BeginChannel(kValueType);
    EXPECT_TRUE(ch.SaveChannel(saver));
    EXPECT_TRUE(saver.EndChannel());
    const std::vector<uint8_t>& file = saver.Bytes();
    return std::vector<uint8_t>(file.end() - 21, file.end());
  };
  Ubo_TestModes ch;
  ch.SetCurrentMode(3);
  ch.SetUseAutoChannelName(false);
  EXPECT_EQ(lastBytes(ch), (std::vector<uint8_t>{'M', 'O', 'D', 'E', 4,   0, 0, 0, 3, 0, 0,
                                                 0,   'U', 'A', 'C', 'N', 1, 0, 0, 0, 0}));
  Ubo_TestModes fresh;
  EXPECT_EQ(lastBytes(fresh),
            (std::vector<uint8_t>{'M',  'O', 'D', 'E', 4,   0, 0, 0, 0xFF, 0xFF, 0xFF,
                                  0xFF, 'U', 'A', 'C', 'N', 1, 0, 0, 0,    1}));

  ZyrFileSaver saver;  // no record open: the engine's part fails, nothing more is written
  EXPECT_FALSE(fresh.SaveChannel(saver));
  EXPECT_EQ(saver.Bytes().size(), kZyrFileHeaderSize);
}

// What a channel in mode `start` (none when kNoMode), switching to the
// loaded mode unless `keep`, makes of a record.
TEST_F(ModePersistence, LoadReadsModeAndFlagAndSwitchesWhenAsked) {
  const std::string bad = Head("LoadChannel") + "().BadBlockSize.Tag[";
  const std::string invalid = Head("SetCurrentMode") + "().InvalidMode[9]";
  const struct {
    std::vector<Entry> entries;
    bool enginePart;  // false: the record has none, and the load fails
    uint32_t start;
    bool keep;
    uint32_t loadedMode;
    uint32_t currentMode;
    int modeIsSet;        // ModeIsSet calls, SetCurrentMode(start)'s among them
    const char* name;     // the name after loading; the flag is off before
    std::string reports;  // one a line
  } kCases[] = {
      {{{"MODE", {3, 0, 0, 0}}, {"UACN", {0}}}, true, kNoMode, false, 3, 3, 1, "Plain", ""},
      {{{"MODE", {3, 0, 0, 0}}, {"UACN", {1}}}, true, 1, true, 3, 1, 1, "Plain", ""},
      {{{"MODE", {3, 0, 0, 0}}, {"UACN", {1}}}, true, 1, false, 3, 3, 2, "Step", ""},
      // A damaged id entry in place of the engine's part, which is refused.
      {{{"ZCID", {1, 2}}, {"MODE", {3, 0, 0, 0}}, {"UACN", {1}}}, false, 1, false, kNoMode, 1, 1,
       "Saw", ""},
      {{}, true, kNoMode, false, 0, 0, 1, "Plain", ""},
      // A mode not registered: reported, nothing selected.
      {{{"MODE", {9, 0, 0, 0}}, {"UACN", {0}}}, true, 1, false, 9, 1, 1, "Plain",
       "Saw.CGR[].Channel[Plain]." + invalid},
      {{{"MODE", {3, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD}}, {"UACN", {1, 1}}}, true, kNoMode, false, 0,
       0, 1, "Plain", bad + "MODE].Size[8]\n" + bad + "UACN].Size[2]"},
      {{{"MODE", {}}, {"UACN", {}}}, true, kNoMode, false, 0, 0, 1, "Plain",
       bad + "MODE].Size[0]\n" + bad + "UACN].Size[0]"},
  };
  for (size_t i = 0; i < std::size(kCases); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const auto& c = kCases[i];
    const std::vector<uint8_t> file = RecordWith(c.entries, c.enginePart);
    Ubo_TestModes ch;
    if (c.start != kNoMode) ch.SetCurrentMode(c.start);
    ch.SetUseAutoChannelName(false);
    ch.SetAutoSetModeOnLoad(!c.keep);
    MessageCapture capture;
    ZyrFileLoader loader;
    GUID type;
    ASSERT_TRUE(loader.Open(file));
    ASSERT_TRUE(loader.NextChannel(&type));
    EXPECT_EQ(ch.LoadChannel(loader, nullptr), c.enginePart);
    EXPECT_EQ(ch.GetLoadedMode(), c.loadedMode);
    EXPECT_EQ(ch.GetCurrentMode(), c.currentMode);
    EXPECT_EQ(ch.modeIsSetCount, c.modeIsSet);
    EXPECT_STREQ(ch.GetChannelName(), c.name);
    std::string reports;
    for (const testing_support::Message& m : capture.Messages()) {
      reports += (reports.empty() ? "" : "\n") + m.text;
    }
    EXPECT_EQ(reports, c.reports);
  }
}

}  // namespace
