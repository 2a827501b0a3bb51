// The procedures of an owner class as the type's modes (PrepareModesList).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

class PrcCallModesTest : public PrcCallTest {
 protected:
  // Registers static procedures without parameters under `owner`.
  static void RegisterAll(const std::string& owner, const std::vector<std::string>& names) {
    for (const std::string& n : names) Register(owner, n, true, VarList());
  }
  // The current mode, after preparing `owner`'s modes, of a channel whose
  // current mode was `start` and whose procedure name is `prcName`.
  static uint32_t PreparedMode(uint32_t start, const std::string& prcName,
                               const std::string& owner) {
    Ubo_VanticPrcCall ch;
    ch.SetPrcOwnerClass("Hero");
    PrcCallTestPeer::SetCurrentMode(ch, start);
    ch.SetPrcName(prcName);
    ch.PrepareModesList(owner);
    return ch.GetCurrentMode();
  }
  static std::vector<std::string> ModeNames(Ubo_VanticPrcCall& ch) {
    std::vector<std::string> names;
    ch.GetModeNames(names);
    return names;
  }
};

TEST_F(PrcCallModesTest, OwnerWithoutProceduresGivesThePlaceholder) {
  Ubo_VanticPrcCall ch;
  ch.ClearModes();  // leaves the channel without a mode
  ASSERT_EQ(ch.GetCurrentMode(), kNoMode);
  ch.PrepareModesList("Nobody");
  ASSERT_EQ(ch.GetModeCount(), 1u);
  EXPECT_EQ(ch.GetModeDescription(0)->ShortName, "dummy");
  EXPECT_EQ(ch.GetModeDescription(0)->Name, "no procedures found...");
  EXPECT_EQ(ch.GetCurrentMode(), 999u);
}

TEST_F(PrcCallModesTest, CurrentModeMovesToTheChannelsProcedureOnly) {
  RegisterAll("Hero", {"Walk", "Jump", "Run"});
  RegisterAll("Villain", {"Hide", "Walk", "walk", "Run "});
  Ubo_VanticPrcCall other;
  PrcCallTestPeer::SetCurrentMode(other, 1);
  // By procedure name only (whatever the channel's owner class), exact and
  // case-sensitive; an unlisted name keeps a set mode, or gives 999.
  const struct {
    uint32_t start;
    const char* prcName;
    const char* owner;
    uint32_t expected;
  } kCases[] = {{0, "Run", "Hero", 2},
                {kNoMode, "Walk", "Villain", 1},
                {2, "Fly", "Hero", 2},
                {kNoMode, "Fly", "Hero", 999},
                {kNoMode, "Run", "Villain", 999},
                {kNoMode, "WALK", "Villain", 999}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.owner) + "/" + c.prcName);
    EXPECT_EQ(PreparedMode(c.start, c.prcName, c.owner), c.expected);
  }
  EXPECT_EQ(other.GetCurrentMode(), 1u);
}

// Each preparation replaces the whole registry, whatever the one before
// held: longer, shorter, the placeholder.
TEST_F(PrcCallModesTest, EveryPreparationLeavesExactlyTheOwnersModes) {
  RegisterAll("Hero", {"Walk", "Jump", "Run"});
  RegisterAll("Villain", {"Hide", "Walk", "walk", "Run ", "Sneak"});
  Ubo_VanticPrcCall ch;
  const std::vector<std::string> dummy{"no procedures found..."};
  const std::vector<std::string> hero{"Walk", "Jump", "Run"};
  const std::vector<std::string> villain{"Hide", "Walk", "walk", "Run ", "Sneak"};
  const struct {
    const char* owner;
    const std::vector<std::string>* names;
  } kSteps[] = {{"Hero", &hero},    {"Villain", &villain}, {"Hero", &hero},
                {"Nobody", &dummy}, {"Villain", &villain}, {"Villain", &villain}};
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.owner);
    ch.PrepareModesList(step.owner);
    const std::vector<std::string>& names = *step.names;
    EXPECT_EQ(ModeNames(ch), names);
    ASSERT_EQ(PrcCallTestPeer::ModeOrder().size(), names.size());
    ASSERT_EQ(PrcCallTestPeer::Modes().size(), names.size());
    for (uint32_t i = 0; i < names.size(); ++i) {
      const ModeDescription* mode = ch.GetModeDescription(i);
      ASSERT_NE(mode, nullptr);
      EXPECT_EQ(PrcCallTestPeer::ModeOrder()[i], i);
      EXPECT_EQ(mode->ShortName, names == dummy ? "dummy" : names[i]);
      EXPECT_EQ(mode->OrderIndex, i);
      EXPECT_TRUE(mode->Children.empty());
    }
    EXPECT_EQ(ch.GetInitMode(), names.size() - 1);
  }
}

}  // namespace
}  // namespace prccall_test
