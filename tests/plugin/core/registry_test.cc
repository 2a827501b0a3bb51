#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/plugin/core/test_channel.h"

namespace {

using ModeRegistry = TestModesFixture;

// Display positions follow registration, not codes; codes and positions
// that are not there are answered, an empty registry reported. A second
// registration of a code keeps the first, and links collected after an
// AddMode reach no mode.
TEST_F(ModeRegistry, QueriesByCodeAndPositionAndSecondRegistrationKeepsTheFirst) {
  Ubo_TestModes::initializer = [](Ubo_TestModes& ch) {
    ch.InitMode(5);
    ch.CreateLink(kValueType, "Value", "First", kLinkModeInput, false);
    ch.AddMode(5, "E", "Echo");
    ch.AddMode(2, "B", "Bravo");
    ch.CreateLink(kValueType, "Value", "Second", kLinkModeInput, false);  // _initMode is 2
    ch.AddMode(9, "N", "November");
    ch.AddMode(5, "Z", "Zulu");
  };
  Ubo_TestModes ch;
  MessageCapture capture;
  EXPECT_NO_THROW(ch.BuildModesList(false));
  const uint32_t codes[] = {5, 2, 9};
  ASSERT_EQ(ch.GetModeCount(), 3u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ch.GetModeFromIndex(i), codes[i]);
    EXPECT_EQ(ch.GetIndexFromMode(codes[i]), i);
  }
  std::vector<std::string> names;
  ch.GetModeNames(names);
  EXPECT_EQ(names, (std::vector<std::string>{"Echo", "Bravo", "November"}));
  const ModeDescription& first = Ubo_TestModes::_modes.at(5);
  ASSERT_EQ(first.Children.size(), 1u);
  EXPECT_STREQ(first.Children[0].LinkName, "First");
  EXPECT_TRUE(Ubo_TestModes::_modes.at(2).Children.empty());
  EXPECT_EQ(ch.GetIndexFromMode(42), 0u);
  EXPECT_FALSE(ch.IsModeValid(42));
  EXPECT_TRUE(ch.IsModeValid(9));
  EXPECT_EQ(capture.Count(), 0u);

  EXPECT_EQ(ch.GetModeFromIndex(3), kNoMode);  // its report: OutOfMemoryTest
  ch.ClearModes();
  names.clear();
  ch.GetModeNames(names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(capture.Last().text, Head("GetModeNames") + "()._modes.size()>0");
}

// InitMode grows the work table only; a build empties it. (Building once
// until the registry is cleared: the procedure-call channel's tests, the
// fault suite and the lifecycle model fail without it.)
TEST_F(ModeRegistry, WorkTableAndForcedBuild) {
  Ubo_TestModes ch;
  ch.InitMode(3);
  ch.InitMode(1);
  EXPECT_EQ(Ubo_TestModes::_tempLinks.size(), 4u);
  EXPECT_EQ(ch.GetInitMode(), 1u);
  ch.BuildModesList(false);
  EXPECT_TRUE(Ubo_TestModes::_tempLinks.empty());
  EXPECT_EQ(ch.GetModeCount(), 3u);

  // A forced build over a filled registry meets the dropped work entries.
  EXPECT_THROW(ch.BuildModesList(true), std::out_of_range);
  EXPECT_FALSE(Ubo_TestModes::_bModesInitialized);
  EXPECT_EQ(ch.GetModeCount(), 3u);
}

// Codes past the bound are refused, and links declared for them go
// nowhere, not into another mode. The first registration makes the current
// mode 0 (code 0, whatever code was registered) unless one is set.
TEST_F(ModeRegistry, HugeCodesAreRefusedAndTheFirstRegistrationSelectsZero) {
  Ubo_TestModes::initializer = nullptr;
  Ubo_TestModes ch;
  Ubo_TestModes other;
  MessageCapture capture;
  ch.AddMode(kMaxModeCode + 1, "H", "Huge");
  ch.AddMode(0xFFFFFFFEu, "H", "Huge");
  EXPECT_EQ(ch.GetModeCount(), 0u);
  EXPECT_TRUE(Ubo_TestModes::_tempLinks.empty());
  EXPECT_EQ(ch.GetCurrentMode(), kNoMode);
  ASSERT_EQ(capture.CountAtLevel(1), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("AddMode") + "().ModeCodeTooLarge.Mode[1048576]");
  ch.InitMode(0x7FFFFFFFu);
  EXPECT_TRUE(Ubo_TestModes::_tempLinks.empty());
  EXPECT_EQ(capture.Last().text, Head("InitMode") + "().ModeCodeTooLarge.Mode[2147483647]");
  EXPECT_THROW(ch.CreateLink(kValueType, "Value", "Lost", kLinkModeInput, false),
               std::out_of_range);

  other._currentMode = 12;
  ch.AddMode(7, "S", "Seven");
  EXPECT_EQ(ch.GetModeCount(), 1u);
  EXPECT_EQ(ch.GetCurrentMode(), 0u);
  EXPECT_EQ(other.GetCurrentMode(), 12u);
  ch._currentMode = kNoMode;
  ch.AddMode(8, "E", "Eight");
  EXPECT_EQ(ch.GetCurrentMode(), kNoMode) << "only the first registration";
  other.ClearModes();
  other._currentMode = 12;
  other.AddMode(1, "O", "One");
  EXPECT_EQ(other.GetCurrentMode(), 12u) << "a set mode is kept";
  ch._currentMode = kNoMode;
  ch.AddMode(1, "X", "Refused");
  EXPECT_EQ(ch.GetCurrentMode(), 0u) << "also after a refused registration";
  ch.AddMode(kMaxModeCode, "M", "Largest");
  EXPECT_EQ(ch.GetModeCount(), 2u) << "the bound itself is a code";
}

}  // namespace
