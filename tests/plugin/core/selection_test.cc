#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/plugin/core/test_channel.h"

namespace {

using ModeSelection = TestModesFixture;

// Each selection declares the mode's links to the host, numbered by
// position (a link without a number keeps none; the registry keeps its own
// numbers), sets the self pointer, notifies and renames, the same mode
// again too. By display position, positions and codes not there are
// refused. (A mode that is not registered: ModePersistence.)
TEST_F(ModeSelection, EachSelectionDeclaresLinksSetsSelfNotifiesAndRenames) {
  Ubo_TestModes ch;
  MessageCapture capture;
  ch.SetCurrentModeFromIndex(0);  // not built: the first check fails
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().text,
            Head("SetCurrentModeFromIndex") + "().orderIndex < _modeOrder.size()");
  EXPECT_EQ(ch.GetCurrentMode(), kNoMode);

  ch.BuildModesList(false);
  std::vector<ChildCreation>& stored = Ubo_TestModes::_modes.at(0).Children;
  stored[0].LinkIndex = -1;
  stored[1].LinkIndex = 5;
  ch.SetCurrentMode(0);
  ASSERT_EQ(ch.GetChildCreationCount(), 2);
  EXPECT_EQ(ch.HostLinkIndex(0), -1);
  EXPECT_EQ(ch.HostLinkIndex(1), 1);
  EXPECT_EQ(stored[1].LinkIndex, 5);
  EXPECT_STREQ(ch.GetChannelName(), "Sine");

  ch.SetCurrentModeFromIndex(1);  // Saw, no links: the old ones are dropped
  EXPECT_EQ(ch.GetChildCreationCount(), 0);
  EXPECT_EQ(ch.modeIsSetCount, 2);
  EXPECT_STREQ(ch.GetChannelName(), "Saw");

  ch.SetChannelName("Renamed");
  ch.CE_SetSelf(nullptr);
  ch.SetCurrentMode(1);
  EXPECT_EQ(ch.modeIsSetCount, 3);
  EXPECT_STREQ(ch.GetChannelName(), "Saw");
  EXPECT_EQ(ch.CE_GetSelf(), &ch);

  ch.SetCurrentModeFromIndex(2);
  EXPECT_EQ(ch.GetCurrentMode(), 3u);
  Ubo_TestModes::_modeOrder.push_back(77);
  capture.Clear();
  ch.SetCurrentModeFromIndex(3);
  ch.SetCurrentModeFromIndex(4);
  ASSERT_EQ(capture.Count(), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("SetCurrentModeFromIndex") + "().it!=_modes.end()");
  EXPECT_EQ(ch.GetCurrentMode(), 3u);
  EXPECT_EQ(ch.modeIsSetCount, 4);
}

// The host asks for link names by index of the current mode: a name, or ""
// after a report for an index past the mode's links or a mode that is not
// registered (the registry is built on the way).
TEST_F(ModeSelection, ChildLinkNamesOfTheCurrentModeAndTheirRefusals) {
  Ubo_TestModes ch;
  ch.SetCurrentMode(0);
  EXPECT_STREQ(ch.GetChildLinkName(1), "Phase");
  MessageCapture capture;
  EXPECT_STREQ(ch.GetChildLinkName(2), "");
  ch._currentMode = 7;
  EXPECT_STREQ(ch.GetChildLinkName(0), "");
  ASSERT_EQ(capture.Count(), 2u);
  const std::string head = Head("GetChildLinkName");
  EXPECT_EQ(capture.Messages()[0].text, head + "().link < desc.Children.size()");
  EXPECT_EQ(capture.Messages()[1].text, head + "().found != _modes.end()");
  ch._currentMode = 0;
  EXPECT_EQ(Ubo_TestModes::ReportHead("GetChildLinkName"), head);
  EXPECT_EQ(ch.GetPrefixedMessage(std::string("Done!")), ch.GetPrefixedMessage("Done!"));
}

// Links are appended to the mode being collected and named for the
// framework part; their texts are cut to their fields. Null texts are
// refused, and a mode without a work entry throws.
TEST_F(ModeSelection, CreateLinkAppendsNamesBoundsAndRefuses) {
  Ubo_TestModes ch;
  ch.InitMode(3);
  ch.CreateLink(kValueType, "Value", "In%u", kLinkModeInput, false);
  ch.CreateLink(kValueType, "Value", "Out", kLinkModeOutput, true);
  const std::string type79(79, 't');
  const std::string name99(99, 'n');
  ch.CreateLink(kValueType, (type79 + "XYZ").c_str(), (name99 + "XYZ").c_str(), kLinkModeInput,
                false);
  const auto& links = Ubo_TestModes::_tempLinks[3];
  ASSERT_EQ(links.size(), 3u);
  EXPECT_STREQ(links[0].LinkName, "In%u");
  EXPECT_EQ(links[0].LinkIndex, 0);
  EXPECT_EQ(links[1].LinkIndex, -1);
  EXPECT_EQ(links[0].LinkMode, kLinkModeInput);
  EXPECT_EQ(links[1].LinkMode, kLinkModeOutput);
  EXPECT_STREQ(ch.ExtensionLinkName(0), "In%u");
  EXPECT_STREQ(ch.ExtensionLinkName(1), "Out");
  EXPECT_EQ(std::string(links[2].Type._name), type79);
  EXPECT_EQ(std::string(links[2].LinkName), name99);
  EXPECT_EQ(links[2].Type._typeGuid, kValueType);

  ch.InitMode(1);
  MessageCapture capture;
  ch.CreateLink(kValueType, nullptr, "Name", kLinkModeInput, false);
  ch.CreateLink(kValueType, "Value", nullptr, kLinkModeInput, false);
  ASSERT_EQ(capture.Count(), 2u);
  EXPECT_EQ(capture.Messages()[0].text, Head("CreateLink") + "().TypeName");
  EXPECT_EQ(capture.Messages()[1].text, Head("CreateLink") + "().Name");
  EXPECT_TRUE(Ubo_TestModes::_tempLinks[1].empty());
  ch._initMode = 9;  // no InitMode for 9
  EXPECT_THROW(ch.CreateLink(kValueType, "Value", "X", kLinkModeInput, false), std::out_of_range);
  EXPECT_EQ(Ubo_TestModes::_tempLinks.size(), 4u);
  EXPECT_STREQ(ch.ExtensionLinkName(0), "In%u") << "nothing named";
}

}  // namespace
