// Channels: names, ids, groups, dependencies and child links.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/float_channel.h"
#include "tests/host/engine/link_helpers.h"
#include "hostapi/zyr_channel.h"
#include "tests/support/test_support.h"

namespace {

using engine_test::DeclareLinks;
using engine_test::kValueType;
using engine_test::kVectorType;
using engine_test::Link;
const GUID kModuleType = guid::FromString(guid::kPrcCallChannelType);

// A channel of a module type whose base is the float channel type, as the
// engine makes them from a module.
std::unique_ptr<Ubo_FloatChannel> ModuleChannel() {
  auto channel = std::make_unique<Ubo_FloatChannel>();
  ChannelType type;
  type._typeGuid = kModuleType;
  type._baseTypeGuid = kValueType;
  channel->SetChannelTypeRecord(type);
  return channel;
}

TEST(ChannelIdentity, IdsAreUniqueAndNeverZero) {
  std::set<uint32_t> ids;
  std::vector<std::unique_ptr<Zyr_Channel>> channels;
  for (int i = 0; i < 100; ++i) {
    channels.push_back(std::make_unique<Zyr_Channel>());
    EXPECT_NE(channels.back()->GetChannelId(), 0u);
    ids.insert(channels.back()->GetChannelId());
  }
  Zyr_Channel copy(*channels[0]);
  ids.insert(copy.GetChannelId());
  EXPECT_EQ(ids.size(), 101u);
}

TEST(ChannelIdentity, NameIsTheChannelsOwnCopy) {
  Zyr_Channel channel;
  EXPECT_STREQ(channel.GetChannelName(), "");
  char temporary[32] = "Speed :: Compute";
  channel.SetChannelName(temporary);
  std::memset(temporary, 'x', sizeof(temporary) - 1);
  EXPECT_STREQ(channel.GetChannelName(), "Speed :: Compute");
  channel.SetChannelName(nullptr);
  EXPECT_STREQ(channel.GetChannelName(), "");
}

TEST(ChannelDependencies, RecordedOnceInTheList) {
  Zyr_Channel channel;
  Zyr_List list;
  channel.AddChannelGuidDepend(kValueType, &list);
  channel.AddChannelGuidDepend(kValueType, &list);
  channel.AddChannelGuidDepend(kVectorType, &list);
  channel.AddChannelGuidDepend(kVectorType, nullptr);
  ASSERT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.At(0), kValueType);
  EXPECT_TRUE(list.Contains(kVectorType));
}

class NamedGroup : public Zyr_ChannelGroup {
 public:
  NamedGroup() : Zyr_ChannelGroup("base") {}
  const char* GetGroupName() override { return "derived"; }
};

TEST(ChannelGroups, MembershipFollowsBothLifetimes) {
  auto group = std::make_unique<NamedGroup>();
  auto a = std::make_unique<Zyr_Channel>();
  Zyr_Channel b;
  a->SetChannelGroup(group.get());
  b.SetChannelGroup(group.get());
  EXPECT_STREQ(a->GetChannelGroup()->GetGroupName(), "derived");
  Zyr_Channel copy(b);
  EXPECT_EQ(copy.GetChannelGroup(), group.get());
  EXPECT_EQ(group->MemberCount(), 3u);
  a.reset();
  EXPECT_EQ(group->MemberCount(), 2u);
  group.reset();  // members are left without a group, not with a dangling one
  EXPECT_EQ(b.GetChannelGroup(), nullptr);
  EXPECT_EQ(copy.GetChannelGroup(), nullptr);
  // Moving between groups leaves the old one.
  Zyr_ChannelGroup first("first");
  Zyr_ChannelGroup second("second");
  b.SetChannelGroup(&first);
  b.SetChannelGroup(&second);
  EXPECT_EQ(first.MemberCount(), 0u);
  EXPECT_EQ(second.MemberCount(), 1u);
  b.SetChannelGroup(nullptr);
  EXPECT_EQ(second.MemberCount(), 0u);
}

TEST(ChildLinkDescriptions, StoredAndReadBack) {
  Zyr_Channel channel;
  const ChildCreation a = Link("Speed", kValueType);
  ChildCreation b = Link("Direction", kVectorType);
  b.LinkMode = kLinkModeInputOutput;
  b.LinkIndex = 7;
  DeclareLinks(channel, {a, b});
  ASSERT_EQ(channel.GetChildCreationCount(), 2);
  EXPECT_EQ(0, std::memcmp(channel.GetChildCreation(0), &a, sizeof(ChildCreation)));
  EXPECT_EQ(0, std::memcmp(channel.GetChildCreation(1), &b, sizeof(ChildCreation)));
  EXPECT_EQ(channel.GetChildCreation(2), nullptr);
  EXPECT_EQ(channel.GetChildCreation(-1), nullptr);
  EXPECT_EQ(channel.FindChildLink("Direction"), 1);
  EXPECT_EQ(channel.FindChildLink("Nothing"), -1);
  EXPECT_EQ(channel.FindChildLink(nullptr), -1);
}

TEST(ChildLinkDescriptions, ListGrowsToHoldTheIndex) {
  Zyr_Channel channel;
  channel.SetChildCreateType(Link("Far", kValueType), 3);
  ASSERT_EQ(channel.GetChildCreationCount(), 4);
  const ChildCreation fresh;
  EXPECT_EQ(0, std::memcmp(channel.GetChildCreation(1), &fresh, sizeof(ChildCreation)));
  channel.SetChildCreateType(Link("Ignored", kValueType), -1);
  EXPECT_EQ(channel.GetChildCreationCount(), 4);
  channel.SetChildCreationCount(0);
  EXPECT_EQ(channel.GetChildCreationCount(), 0);
}

TEST(ChildLinkDescriptions, HugeCountsAndIndexesRefused) {
  testing_support::MessageCapture capture;
  Zyr_Channel channel;
  channel.SetChildCreateType(Link("Huge", kValueType), 0x7FFFFFFF);
  channel.SetChildCreationCount(0x7FFFFFFF);
  EXPECT_EQ(channel.GetChildCreationCount(), 0);
  EXPECT_EQ(capture.CountAtLevel(1), 2u);
  channel.SetChildCreationCount(kMaxChildLinks);
  EXPECT_EQ(channel.GetChildCreationCount(), kMaxChildLinks);
}

TEST(ChildLinkPlugging, TypeChecks) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("Value", kValueType), Link("Vector", kVectorType)});
  Ubo_ValueChannel value;
  Ubo_VectorChannel vector;
  Ubo_CoreRefChannel coreRef;
  Ubo_FloatChannel bare;
  auto module = ModuleChannel();

  EXPECT_TRUE(parent.PlugChild(0, &value));
  EXPECT_TRUE(parent.PlugChild(0, &bare));           // base = float type
  EXPECT_TRUE(parent.PlugChild(0, module.get()));    // chaining
  EXPECT_FALSE(parent.PlugChild(0, &vector));
  EXPECT_FALSE(parent.PlugChild(0, &coreRef));
  EXPECT_EQ(parent.GetChild(0), module.get());       // refusals change nothing
  EXPECT_TRUE(parent.PlugChild(1, &vector));
  EXPECT_FALSE(parent.PlugChild(1, &value));
  EXPECT_FALSE(parent.PlugChild(2, &value));
  EXPECT_FALSE(parent.PlugChild(-1, &value));
  EXPECT_EQ(parent.GetChild(1), &vector);
  EXPECT_EQ(parent.GetChild(5), nullptr);
  EXPECT_TRUE(parent.PlugChild(1, nullptr));
  EXPECT_EQ(parent.GetChild(1), nullptr);
  EXPECT_EQ(vector.ParentLinkCount(), 0u);
}

TEST(ChildLinkPlugging, SelfAndZeroTypeRefused) {
  Ubo_ValueChannel channel;
  DeclareLinks(channel, {Link("Self", kValueType), Link("Zero", GUID{})});
  EXPECT_FALSE(channel.PlugChild(0, &channel));
  Zyr_Channel untyped;  // type and base all zero
  EXPECT_FALSE(channel.PlugChild(1, &untyped));
  Ubo_VectorChannel vector;  // base all zero
  EXPECT_FALSE(channel.PlugChild(1, &vector));
}

TEST(ChildLinkPlugging, ReplacingAChildReleasesTheOldOne) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("A", kValueType), Link("B", kValueType)});
  Ubo_ValueChannel first;
  Ubo_ValueChannel second;
  ASSERT_TRUE(parent.PlugChild(0, &first));
  ASSERT_TRUE(parent.PlugChild(1, &first));
  EXPECT_EQ(first.ParentLinkCount(), 2u);
  ASSERT_TRUE(parent.PlugChild(0, &second));
  EXPECT_EQ(first.ParentLinkCount(), 1u);
  EXPECT_EQ(second.ParentLinkCount(), 1u);
}

TEST(ChildLinkRebuild, ChildrenFollowTheirLinkNames) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("Speed", kValueType), Link("Direction", kVectorType)});
  Ubo_ValueChannel speed;
  Ubo_VectorChannel direction;
  ASSERT_TRUE(parent.PlugChild(0, &speed));
  ASSERT_TRUE(parent.PlugChild(1, &direction));

  DeclareLinks(parent, {Link("Direction", kVectorType), Link("New", kValueType),
                        Link("Speed", kValueType)});
  EXPECT_EQ(parent.GetChild(0), &direction);
  EXPECT_EQ(parent.GetChild(1), nullptr);
  EXPECT_EQ(parent.GetChild(2), &speed);
  EXPECT_EQ(parent.DetachedChildCount(), 0u);

  // Repeated names keep their order.
  Ubo_ValueChannel second;
  DeclareLinks(parent, {Link("Speed", kValueType), Link("Speed", kValueType)});
  ASSERT_TRUE(parent.PlugChild(1, &second));
  DeclareLinks(parent, {Link("Speed", kValueType), Link("Speed", kValueType)});
  EXPECT_EQ(parent.GetChild(0), &speed);
  EXPECT_EQ(parent.GetChild(1), &second);
}

TEST(ChildLinkRebuild, RememberedUntilAnAcceptingLinkReturns) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("Speed", kValueType)});
  Ubo_ValueChannel speed;
  ASSERT_TRUE(parent.PlugChild(0, &speed));
  // Same name, a type that does not accept it: remembered, not plugged.
  DeclareLinks(parent, {Link("Speed", kVectorType)});
  EXPECT_EQ(parent.GetChild(0), nullptr);
  EXPECT_EQ(parent.DetachedChildCount(), 1u);
  DeclareLinks(parent, {Link("Other", kValueType)});
  EXPECT_EQ(parent.GetChild(0), nullptr);
  DeclareLinks(parent, {Link("Other", kValueType), Link("Speed", kValueType)});
  EXPECT_EQ(parent.GetChild(1), &speed);
  EXPECT_EQ(speed.ParentLinkCount(), 1u);
}

TEST(ChildLinkRebuild, RedescribingOneIndex) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("Speed", kValueType)});
  Ubo_ValueChannel speed;
  ASSERT_TRUE(parent.PlugChild(0, &speed));
  ChildCreation same = Link("Speed", kValueType);
  same.LinkMode = kLinkModeInputOutput;
  parent.SetChildCreateType(same, 0);  // same name, still accepted: stays
  EXPECT_EQ(parent.GetChild(0), &speed);
  parent.SetChildCreateType(Link("Renamed", kValueType), 0);
  EXPECT_EQ(parent.GetChild(0), nullptr);
  parent.SetChildCreateType(Link("Speed", kValueType), 1);
  EXPECT_EQ(parent.GetChild(1), &speed);
}

// A shrinking count remembers the dropped links' children by name until
// they are forgotten, which releases them.
TEST(ChildLinkRebuild, ShrinkingCountRemembersTheDroppedLinks) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("A", kValueType), Link("B", kValueType)});
  Ubo_ValueChannel a;
  Ubo_ValueChannel b;
  ASSERT_TRUE(parent.PlugChild(0, &a));
  ASSERT_TRUE(parent.PlugChild(1, &b));
  parent.SetChildCreationCount(1);
  EXPECT_EQ(parent.GetChildCreationCount(), 1);
  EXPECT_EQ(parent.DetachedChildCount(), 1u);
  parent.SetChildCreateType(Link("B", kValueType), 1);
  EXPECT_EQ(parent.GetChild(1), &b);
  parent.SetChildCreationCount(0);
  EXPECT_EQ(a.ParentLinkCount(), 1u);
  parent.ForgetDetachedChildren();
  EXPECT_EQ(a.ParentLinkCount(), 0u);
  EXPECT_EQ(b.ParentLinkCount(), 0u);
  DeclareLinks(parent, {Link("A", kValueType)});
  EXPECT_EQ(parent.GetChild(0), nullptr);
}

TEST(ChildLinkCopies, CopyHasDescriptionsButNoChildren) {
  Zyr_Channel parent;
  parent.SetChannelName("original");
  DeclareLinks(parent, {Link("A", kValueType)});
  Ubo_ValueChannel a;
  ASSERT_TRUE(parent.PlugChild(0, &a));
  Zyr_Channel copy(parent);
  EXPECT_STREQ(copy.GetChannelName(), "original");
  EXPECT_NE(copy.GetChannelId(), parent.GetChannelId());
  ASSERT_EQ(copy.GetChildCreationCount(), 1);
  EXPECT_EQ(copy.GetChild(0), nullptr);
  EXPECT_EQ(a.ParentLinkCount(), 1u);
}

TEST(ChildLinkCopies, AssignmentKeepsAcceptedChildrenByName) {
  Zyr_Channel target;
  DeclareLinks(target, {Link("A", kValueType), Link("B", kValueType)});
  Ubo_ValueChannel a;
  Ubo_ValueChannel b;
  ASSERT_TRUE(target.PlugChild(0, &a));
  ASSERT_TRUE(target.PlugChild(1, &b));
  const uint32_t id = target.GetChannelId();
  Zyr_Channel source;
  source.SetChannelName("source");
  DeclareLinks(source, {Link("B", kValueType)});
  target = source;
  EXPECT_EQ(target.GetChannelId(), id);
  EXPECT_STREQ(target.GetChannelName(), "source");
  ASSERT_EQ(target.GetChildCreationCount(), 1);
  EXPECT_EQ(target.GetChild(0), &b);
  EXPECT_EQ(target.DetachedChildCount(), 1u);  // "A" remembered
}

TEST(ChildLinkLifetime, DestroyedChildLeavesEveryParent) {
  Zyr_Channel p1;
  Zyr_Channel p2;
  DeclareLinks(p1, {Link("A", kValueType), Link("B", kValueType)});
  DeclareLinks(p2, {Link("A", kValueType)});
  auto child = std::make_unique<Ubo_ValueChannel>();
  ASSERT_TRUE(p1.PlugChild(0, child.get()));
  ASSERT_TRUE(p1.PlugChild(1, child.get()));
  ASSERT_TRUE(p2.PlugChild(0, child.get()));
  p2.SetChildCreationCount(0);  // remembered by name in p2
  child.reset();
  EXPECT_EQ(p1.GetChild(0), nullptr);
  EXPECT_EQ(p1.GetChild(1), nullptr);
  EXPECT_EQ(p2.DetachedChildCount(), 0u);
  DeclareLinks(p2, {Link("A", kValueType)});
  EXPECT_EQ(p2.GetChild(0), nullptr);
}

TEST(ChildLinkLifetime, DestroyedParentReleasesItsChildren) {
  Ubo_ValueChannel child;
  {
    Zyr_Channel parent;
    DeclareLinks(parent, {Link("A", kValueType), Link("B", kValueType)});
    ASSERT_TRUE(parent.PlugChild(0, &child));
    ASSERT_TRUE(parent.PlugChild(1, &child));
    parent.SetChildCreationCount(1);
    EXPECT_EQ(child.ParentLinkCount(), 2u);
  }
  EXPECT_EQ(child.ParentLinkCount(), 0u);
}

TEST(ChildLinkLifetime, HostRemovalUnplugsEverywhere) {
  Zyr_Channel parent;
  DeclareLinks(parent, {Link("A", kValueType), Link("B", kValueType)});
  Ubo_ValueChannel child;
  ASSERT_TRUE(parent.PlugChild(0, &child));
  ASSERT_TRUE(parent.PlugChild(1, &child));
  parent.CheckPublicChannelInstanceRemoval(&child, 0);
  EXPECT_EQ(parent.GetChild(0), nullptr);
  EXPECT_EQ(parent.GetChild(1), nullptr);
  EXPECT_EQ(child.ParentLinkCount(), 0u);
}

// Four channels linked into each other (a cycle, a shared child, a link
// remembered by name), destroyed in every order: after each destruction no
// survivor refers to a destroyed channel.
TEST(ChildLinkLifetime, AnyDestructionOrderLeavesNoDanglingPointer) {
  std::array<int, 4> order = {0, 1, 2, 3};
  do {
    std::array<std::unique_ptr<Ubo_ValueChannel>, 4> ch;
    for (auto& c : ch) {
      c = std::make_unique<Ubo_ValueChannel>();
      DeclareLinks(*c, {Link("X", kValueType), Link("Y", kValueType), Link("Z", kValueType)});
    }
    ASSERT_TRUE(ch[0]->PlugChild(0, ch[1].get()));
    ASSERT_TRUE(ch[1]->PlugChild(0, ch[2].get()));
    ASSERT_TRUE(ch[2]->PlugChild(0, ch[0].get()));
    ASSERT_TRUE(ch[0]->PlugChild(1, ch[3].get()));
    ASSERT_TRUE(ch[1]->PlugChild(1, ch[3].get()));
    ASSERT_TRUE(ch[3]->PlugChild(2, ch[0].get()));
    DeclareLinks(*ch[3], {Link("Y", kValueType)});  // ch[0] remembered under "Z"

    std::set<const Zyr_Channel*> gone;
    for (int victim : order) {
      gone.insert(ch[victim].get());
      ch[victim].reset();
      for (const auto& survivor : ch) {
        if (!survivor) continue;
        for (int i = 0; i < survivor->GetChildCreationCount(); ++i) {
          EXPECT_EQ(gone.count(survivor->GetChild(i)), 0u);
        }
      }
    }
  } while (std::next_permutation(order.begin(), order.end()));
}

// One child held by many parents, some of them in two links and one only
// by name: it counts its places right whichever way they go.
TEST(ChildLinkLifetime, ChildOfManyParentsCountsEveryPlace) {
  constexpr size_t kParents = 100;
  Ubo_ValueChannel shared;
  std::vector<std::unique_ptr<Zyr_Channel>> parents;
  size_t places = 0;
  for (size_t i = 0; i < kParents; ++i) {
    parents.push_back(std::make_unique<Zyr_Channel>());
    DeclareLinks(*parents.back(), {Link("A", kValueType), Link("B", kValueType)});
    ASSERT_TRUE(parents.back()->PlugChild(0, &shared));
    ++places;
    if (i % 3 == 0) {
      ASSERT_TRUE(parents.back()->PlugChild(1, &shared));
      ++places;
    }
  }
  EXPECT_EQ(shared.ParentLinkCount(), places);

  parents[9]->SetChildCreationCount(0);  // its two places remembered by name
  EXPECT_EQ(shared.ParentLinkCount(), places);
  ASSERT_TRUE(parents[11]->PlugChild(0, nullptr));
  ASSERT_TRUE(parents[13]->PlugChild(1, &shared));  // a second place
  parents[14]->CheckPublicChannelInstanceRemoval(&shared, 0);
  parents[16]->ForgetDetachedChildren();  // nothing remembered: no change
  parents[15].reset();                    // held in two places
  places = places - 1 + 1 - 1 - 2;
  EXPECT_EQ(shared.ParentLinkCount(), places);
  parents[9]->ForgetDetachedChildren();
  EXPECT_EQ(shared.ParentLinkCount(), places - 2);

  // Half the parents go in an order of their own, then the rest at once.
  for (size_t i = 0; i < kParents; i += 2) parents[(i * 37) % kParents].reset();
  parents.clear();
  EXPECT_EQ(shared.ParentLinkCount(), 0u);
}

}  // namespace
