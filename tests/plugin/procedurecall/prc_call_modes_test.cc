// The procedures of an owner class as the type's modes (PrepareModesList).
// The lifecycle model checks the codes, short names and order after every
// preparation, for lists of up to three procedures.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

class PrcCallModesTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    for (const char* name : {"Walk", "Jump", "Run"}) Register("Hero", name, true, VarList());
    for (const char* name : {"Hide", "Walk", "walk", "Run ", "Sneak"}) {
      Register("Villain", name, true, VarList());
    }
  }
};

// By procedure name only (whatever the channel's owner class), exact and
// case-sensitive; an unlisted name gives 999 to a channel without a mode.
// (Moving from a set mode, and keeping it: the lifecycle model.)
TEST_F(PrcCallModesTest, CurrentModeMovesToTheChannelsProcedureOnly) {
  const struct {
    uint32_t start;
    const char* prcName;
    const char* owner;
    uint32_t expected;
  } kCases[] = {{kNoMode, "Walk", "Villain", 1},
                {kNoMode, "Fly", "Hero", 999},
                {kNoMode, "Run", "Villain", 999},
                {kNoMode, "WALK", "Villain", 999},
                {kNoMode, "Walk", "Nobody", 999}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.owner) + "/" + c.prcName);
    Ubo_VanticPrcCall ch;
    ch.SetPrcOwnerClass("Hero");
    PrcCallTestPeer::SetCurrentMode(ch, c.start);
    ch.SetPrcName(c.prcName);
    ch.PrepareModesList(c.owner);
    EXPECT_EQ(ch.GetCurrentMode(), c.expected);
  }
}

// Each preparation replaces the whole registry, whatever the one before
// held: longer, shorter, the placeholder.
TEST_F(PrcCallModesTest, EveryPreparationLeavesExactlyTheOwnersModes) {
  const std::vector<std::string> hero{"Walk", "Jump", "Run"};
  const std::vector<std::string> villain{"Hide", "Walk", "walk", "Run ", "Sneak"};
  const std::vector<std::string> none{"no procedures found..."};
  Ubo_VanticPrcCall ch;
  for (const auto& [owner, names] : {std::pair{"Hero", &hero},
                                     {"Villain", &villain},
                                     {"Hero", &hero},
                                     {"Nobody", &none},
                                     {"Villain", &villain},
                                     {"Villain", &villain}}) {
    SCOPED_TRACE(owner);
    ch.PrepareModesList(owner);
    std::vector<std::string> shown;
    ch.GetModeNames(shown);
    EXPECT_EQ(shown, *names);
    for (uint32_t i = 0; i < names->size(); ++i) {
      const ModeDescription* mode = ch.GetModeDescription(i);
      ASSERT_NE(mode, nullptr);
      EXPECT_EQ(mode->ShortName, names == &none ? "dummy" : (*names)[i]);
      EXPECT_EQ(mode->OrderIndex, i);
    }
    EXPECT_EQ(ch.GetInitMode(), names->size() - 1);
  }
}

}  // namespace
}  // namespace prccall_test
