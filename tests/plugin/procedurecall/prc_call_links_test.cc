// The child links made for a procedure's parameters, and when they are
// made again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/plugin/procedurecall/prc_call_test_util.h"

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

TEST_F(PrcCallLinksTest, StaticWithoutParametersHasNoLink) {
  MakeLinks(false, VarList());
  MakeLinks(true, VarList());
  EXPECT_EQ(_ch.GetChildCreationCount(), 0);
}

TEST_F(PrcCallLinksTest, NotStaticWithoutParametersHasTheTargetLinkOnly) {
  MakeLinks(false, VarList());
  const std::vector<LinkView> links = Links(_ch);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(links[0].name, "This");
  EXPECT_EQ(links[0].typeName, "CoreRef");
  EXPECT_EQ(links[0].typeGuid, CoreRefGuid());
  EXPECT_EQ(links[0].linkIndex, 0);
  EXPECT_EQ(links[0].linkMode, kLinkModeInput);
}

TEST_F(PrcCallLinksTest, NotStaticParametersFollowTheTargetLink) {
  MakeLinks(false,
            Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 2}, {"c", VarType_Float, 3}}));
  const std::vector<LinkView> links = Links(_ch);
  ASSERT_EQ(links.size(), 4u);
  EXPECT_EQ(links[0].name, "This");
  const struct {
    const char* name;
    const char* typeName;
    GUID guid;
    int32_t mode;
  } expected[] = {{"a", "Value", FloatGuid(), kLinkModeInput},
                  {"b", "Value Vector", VectorGuid(), kLinkModeOutput},
                  {"c", "Value", FloatGuid(), kLinkModeInputOutput}};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(k);
    const LinkView& l = links[static_cast<size_t>(k) + 1];
    EXPECT_EQ(l.name, expected[k].name);
    EXPECT_EQ(l.typeName, expected[k].typeName);
    EXPECT_EQ(l.typeGuid, expected[k].guid);
    EXPECT_EQ(l.linkIndex, k + 1);
    EXPECT_EQ(l.linkMode, expected[k].mode);
  }
}

TEST_F(PrcCallLinksTest, StaticParametersStartAtLinkZero) {
  MakeLinks(true,
            Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 2}, {"c", VarType_Float, 3}}));
  const std::vector<LinkView> links = Links(_ch);
  ASSERT_EQ(links.size(), 3u);
  EXPECT_EQ(LinkNames(_ch), (std::vector<std::string>{"a", "b", "c"}));
  for (int k = 0; k < 3; ++k) EXPECT_EQ(links[static_cast<size_t>(k)].linkIndex, k);
  EXPECT_EQ(links[1].typeName, "Value Vector");
  EXPECT_EQ(links[1].linkMode, kLinkModeOutput);
}

TEST_F(PrcCallLinksTest, ModeOutsideOneToThreeIsReportedAndTheLinkStillMade) {
  MakeLinks(true, Params({{"a", VarType_Float, 2}, {"odd", VarType_Float, 7}}));
  const std::vector<LinkView> links = Links(_ch);
  ASSERT_EQ(links.size(), 2u);
  EXPECT_EQ(links[1].name, "odd");
  EXPECT_EQ(links[1].linkMode, kLinkModeOutput);  // the link before's
  EXPECT_EQ(links[1].linkIndex, 1);
  ASSERT_EQ(_messages.Count(), 1u);
  EXPECT_EQ(_messages.Last().level, 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::CreateChildLinks().var->Mode()");

  _messages.Clear();
  MakeLinks(true, Params({{"first", VarType_Float, 0}}));
  EXPECT_EQ(Links(_ch)[0].linkMode, kLinkModeInput);  // the record's default
  EXPECT_EQ(_messages.Count(), 1u);
}

TEST_F(PrcCallLinksTest, LinkNamesAreCutTo99AndKeepPercentSigns) {
  const std::string fits(99, 'n');
  const std::string tooLong = std::string(98, 'x') + "%s%n";
  VarList params;
  params.AddVar(FloatVar(fits.c_str(), 1));
  params.AddVar(FloatVar(tooLong.c_str(), 1));
  params.AddVar(FloatVar("50%d", 1));
  MakeLinks(true, params);
  const std::vector<std::string> names = LinkNames(_ch);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], fits);
  EXPECT_EQ(names[1], tooLong.substr(0, 99));
  EXPECT_EQ(names[2], "50%d");
}

TEST_F(PrcCallLinksTest, RebuildDropsTheLinksBefore) {
  MakeLinks(false, Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 1}}));
  MakeLinks(true, Params({{"c", VarType_Vec3, 1}}));
  EXPECT_EQ(LinkNames(_ch), (std::vector<std::string>{"c"}));
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

TEST_F(PrcCallRebuildRuleTest, EqualListsAndFlagsKeepTheLinks) {
  const VarList p = Params({{"a", VarType_Float, 1}, {"b", VarType_Vec3, 3}});
  EXPECT_FALSE(Rebuild(false, p, false, p));
  EXPECT_FALSE(Rebuild(true, VarList(), true, VarList()));
}

TEST_F(PrcCallRebuildRuleTest, ValuesAndBoundsDoNotCount) {
  VarList ours;
  ours.AddVar(FloatVar("a", 1, 5.0f));
  VarList theirs;
  theirs.AddVar(VarFloat(VarType_Float, 1, "a", -3.0f, -10.0f, 10.0f));
  EXPECT_FALSE(Rebuild(true, ours, true, theirs));
}

TEST_F(PrcCallRebuildRuleTest, OrderCaseCountTypeModeAndStaticFlagCount) {
  const VarList ab = Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 1}});
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
  ASSERT_EQ(_messages.Count(), 1u);
  EXPECT_EQ(_messages.Last().level, 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::ShouldCreateChildLinks()._procedure");
}

}  // namespace
}  // namespace prccall_test
