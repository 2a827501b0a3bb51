// Ubo_TestModes: a small multi-mode channel type of the tests' own, with its
// own registry, so that the template is proved independently of the
// procedure-call channel. Its InitializeModes runs a replaceable hook; its
// ModeIsSet is counted; the template's protected parts are
// opened for inspection. The tests' message capture comes with it.
#ifndef TESTS_PLUGIN_CORE_TEST_CHANNEL_H_
#define TESTS_PLUGIN_CORE_TEST_CHANNEL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "plugin/multimode/multi_mode_channel.h"
#include "tests/support/test_support.h"

using testing_support::MessageCapture;

class Ubo_TestModes;

template <>
struct ChannelClassName<Ubo_TestModes> {
  static constexpr const char* kName = "Ubo_TestModes";
};

class Ubo_TestModes : public MultiModeChannel<Ubo_FloatChannel, Ubo_TestModes> {
 public:
  using Modes = MultiModeChannel<Ubo_FloatChannel, Ubo_TestModes>;

  // What InitializeModes registers.
  inline static std::function<void(Ubo_TestModes&)> initializer;
  int modeIsSetCount = 0;

  void InitializeModes() override {
    if (initializer) initializer(*this);
  }
  void ModeIsSet() override { ++modeIsSetCount; }

  using Modes::_bModesInitialized;
  using Modes::_currentMode;
  using Modes::_initMode;
  using Modes::_modeOrder;
  using Modes::_modes;
  using Modes::_refCount;
  using Modes::_tempLinks;
  using Modes::GetPrefixedMessage;
  using Modes::InitMode;

  // The name the framework part gave link `link` (SetChildLinkName).
  const char* ExtensionLinkName(unsigned link) {
    return ChannelExtension<Ubo_FloatChannel>::GetChildLinkName(link);
  }
  // LinkIndex of the engine's link description `index`, or -99 when none.
  int HostLinkIndex(int index) const {
    const ChildCreation* link = GetChildCreation(index);
    return link != nullptr ? link->LinkIndex : -99;
  }
};

inline const GUID kValueType = guid::FromString(guid::kFloatChannelType);

// The standard modes: 0 "Sine" with links Frequency and Phase (the latter
// without a number), 1 "Saw" without links, 3 "Step" with one link.
inline void RegisterStandardModes(Ubo_TestModes& ch) {
  ch.InitMode(0);
  ch.CreateLink(kValueType, "Value", "Frequency", kLinkModeInput, false);
  ch.CreateLink(kValueType, "Value", "Phase", kLinkModeInput, true);
  ch.AddMode(0, "Sine", "Sine wave");
  ch.AddMode(1, "Saw", "Saw wave");
  ch.InitMode(3);
  ch.CreateLink(kValueType, "Value", "Height", kLinkModeInputOutput, false);
  ch.AddMode(3, "Step", "Step function");
}

// Every test starts and ends with an empty registry and no live instance of
// Ubo_TestModes; InitializeModes registers the standard modes unless a test
// sets another hook.
class TestModesFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Ubo_TestModes::_refCount, 0u);
    ResetRegistry();
    Ubo_TestModes::initializer = RegisterStandardModes;
  }
  void TearDown() override {
    EXPECT_EQ(Ubo_TestModes::_refCount, 0u) << "an instance outlived its test";
    EXPECT_TRUE(Ubo_TestModes::_modes.empty()) << "the last instance left the registry";
    ResetRegistry();
    Ubo_TestModes::initializer = nullptr;
  }
  static void ResetRegistry() {
    Ubo_TestModes::_modes.clear();
    Ubo_TestModes::_modeOrder.clear();
    Ubo_TestModes::_tempLinks.clear();
    Ubo_TestModes::_bModesInitialized = false;
  }
};

inline std::string Head(const char* operation) {
  return std::string("MultiModeChannel<class Ubo_FloatChannel,class Ubo_TestModes>::") + operation;
}

#endif  // TESTS_PLUGIN_CORE_TEST_CHANNEL_H_
