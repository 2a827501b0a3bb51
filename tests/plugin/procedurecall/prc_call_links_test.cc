// The child links made for a procedure's parameters, and when they are
// made again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

class PrcCallLinksTest : public PrcCallTest {
 protected:
  // Makes the channel's links for `params` with the static flag given.
  void MakeLinks(bool isStatic, const VarList& params) {
    PrcCallTestPeer::SetStatic(_ch, isStatic);
    VarList& vars = PrcCallTestPeer::ParamVars(_ch);
    vars.ClearVars();
    vars.AddVars(params);
    PrcCallTestPeer::CreateChildLinks(_ch);
  }

  Ubo_VanticPrcCall _ch;
};

// Static or not, with and without parameters (each set replacing the last): a non-static procedure's
// target comes first ("This", a CoreRef input), then one link per
// parameter in order, its kind by type and its direction by mode.
TEST_F(PrcCallLinksTest, OneLinkPerParameterBehindTheTargetLinkOfNonStatic) {
  const VarList abc =
      Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 2}, {"c", VarType_Float, 3}});
  const LinkView kThis{"CoreRef", CoreRefGuid(), 0, "This", kLinkModeInput};
  const LinkView kA{"Value", FloatGuid(), 0, "a", kLinkModeInput};
  const LinkView kB{"Value Vector", VectorGuid(), 0, "b", kLinkModeOutput};
  const LinkView kC{"Value", FloatGuid(), 0, "c", kLinkModeInputOutput};
  const struct {
    bool isStatic;
    const VarList* params;
    std::vector<LinkView> expected;
  } kCases[] = {{true, nullptr, {}},
                {false, nullptr, {kThis}},
                {true, &abc, {kA, kB, kC}},
                {false, &abc, {kThis, kA, kB, kC}}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.isStatic ? "static" : "not static") + (c.params ? ", a b c" : ""));
    MakeLinks(c.isStatic, c.params != nullptr ? *c.params : VarList());
    const std::vector<LinkView> links = Links(_ch);
    ASSERT_EQ(links.size(), c.expected.size());
    for (size_t k = 0; k < links.size(); ++k) {
      LinkView want = c.expected[k];
      want.linkIndex = static_cast<int32_t>(k);
      EXPECT_TRUE(links[k] == want) << "link " << k << " \"" << links[k].name << '"';
    }
  }
}

TEST_F(PrcCallLinksTest, ModeOutsideOneToThreeIsReportedAndTheLinkStillMade) {
  MakeLinks(true, Params({{"a", VarType_Float, 2}, {"odd", VarType_Float, 7}}));
  const std::vector<LinkView> links = Links(_ch);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[1].linkMode, kLinkModeOutput);  // the link before's
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::CreateChildLinks().var->Mode()");

  _messages.Clear();
  MakeLinks(true, Params({{"first", VarType_Float, 0}}));
  EXPECT_EQ(Links(_ch)[0].linkMode, kLinkModeInput);  // the record's default
  EXPECT_EQ(_messages.Count(), 1u);
}

// ---- when to rebuild ----

class PrcCallRebuildRuleTest : public PrcCallTest {
 protected:
  // Whether a channel whose links were made for (`ourStatic`, `ours`) must
  // rebuild them for a procedure (`theirStatic`, `theirs`).
  bool Rebuild(bool ourStatic, const VarList& ours, bool theirStatic, const VarList& theirs) {
    Procedure procedure("Hero", "Jump", theirStatic, theirs);
    Ubo_VanticPrcCall ch;
    PrcCallTestPeer::SetStatic(ch, ourStatic);
    PrcCallTestPeer::ParamVars(ch).AddVars(ours);
    PrcCallTestPeer::SetProcedure(ch, &procedure);
    const bool answer = PrcCallTestPeer::ShouldCreateChildLinks(ch);
    PrcCallTestPeer::SetProcedure(ch, nullptr);
    return answer;
  }
};

// Equal lists and flags keep the links, whatever the values and bounds;
// order, case, count, type, mode and the static flag each count.
TEST_F(PrcCallRebuildRuleTest, OnlyTheLayoutAndStaticFlagCount) {
  const VarList ab = Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 1}});
  VarList otherValues;
  otherValues.AddVar(VarFloat(VarType_Float, 1, "a", -3.0f, -10.0f, 10.0f));
  otherValues.AddVar(VarFloat(VarType_Float, 1, "b", 5.0f, 0.0f, 1.0f));
  EXPECT_FALSE(Rebuild(false, ab, false, otherValues));
  EXPECT_FALSE(Rebuild(true, VarList(), true, VarList()));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"b", VarType_Float, 1}, {"a", VarType_Float, 1}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"B", VarType_Float, 1}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}})));
  EXPECT_TRUE(Rebuild(true, Params({{"a", VarType_Float, 1}}), true, ab));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 1}})));
  EXPECT_TRUE(Rebuild(true, ab, true, Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 3}})));
  EXPECT_TRUE(Rebuild(true, ab, false, ab));
  EXPECT_TRUE(Rebuild(false, VarList(), true, VarList()));
  EXPECT_EQ(_messages.Count(), 0u);
}

TEST_F(PrcCallRebuildRuleTest, WithoutAProcedureItIsReportedAndNothingIsRebuilt) {
  Ubo_VanticPrcCall ch;
  EXPECT_FALSE(PrcCallTestPeer::ShouldCreateChildLinks(ch));
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::ShouldCreateChildLinks()._procedure");
}

}  // namespace
}  // namespace prccall_test
