// Channels: ids, names, groups and child links.
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/zyr_channel.h"
#include "tests/support/test_support.h"

namespace {

const GUID kValueType = guid::FromString(guid::kFloatChannelType);
const GUID kVectorType = guid::FromString(guid::kVectorChannelType);

// A link named `name` that accepts channels of `type`.
ChildCreation Link(const char* name, const GUID& type) {
  ChildCreation c;
  std::strncpy(c.LinkName, name, sizeof(c.LinkName) - 1);
  c.Type._typeGuid = type;
  c.Type._baseTypeGuid = GUID{};
  return c;
}

// Rebuilds the channel's links the way a module does: count 0, then each
// description by index.
void DeclareLinks(Zyr_Channel& channel, const std::vector<ChildCreation>& links) {
  channel.SetChildCreationCount(0);
  for (size_t i = 0; i < links.size(); ++i) channel.SetChildCreateType(links[i], static_cast<int>(i));
}

TEST(ChannelIdentity, UniqueIdsNullNameAndDependencies) {
  std::set<uint32_t> ids;
  std::vector<std::unique_ptr<Zyr_Channel>> channels(50);
  for (auto& c : channels) ids.insert((c = std::make_unique<Zyr_Channel>())->GetChannelId());
  ids.insert(Zyr_Channel(*channels[0]).GetChannelId());
  EXPECT_EQ(ids.size(), 51u);
  EXPECT_EQ(ids.count(0), 0u);
  channels[0]->SetChannelName(nullptr);
  EXPECT_STREQ(channels[0]->GetChannelName(), "");
  Zyr_List types;  // dependencies: each type recorded once
  for (const GUID& g : {kValueType, kValueType, kVectorType}) channels[1]->AddChannelGuidDepend(g, &types);
  EXPECT_EQ(types.Count(), 2u);
}

TEST(ChannelGroups, MembershipFollowsBothLifetimes) {
  auto group = std::make_unique<Zyr_ChannelGroup>("g");
  auto a = std::make_unique<Zyr_Channel>();
  Zyr_Channel b;
  a->SetChannelGroup(group.get());
  b.SetChannelGroup(group.get());
  Zyr_Channel copy(b);
  EXPECT_EQ(group->MemberCount(), 3u);
  a.reset();
  EXPECT_EQ(group->MemberCount(), 2u);
  group.reset();  // members are left without a group, not with a dangling one
  EXPECT_EQ(b.GetChannelGroup(), nullptr);
  EXPECT_EQ(copy.GetChannelGroup(), nullptr);
  Zyr_ChannelGroup first("first");
  Zyr_ChannelGroup second("second");
  b.SetChannelGroup(&first);
  b.SetChannelGroup(&second);
  EXPECT_EQ(first.MemberCount(), 0u);
  b.SetChannelGroup(nullptr);
  EXPECT_EQ(second.MemberCount(), 0u);
}

TEST(ChildLinkDescriptions, StoredGrownAndBounded) {
  testing_support::MessageCapture capture;
  Zyr_Channel channel;
  ChildCreation b = Link("Direction", kVectorType);
  b.LinkMode = kLinkModeInputOutput;
  DeclareLinks(channel, {Link("Speed", kValueType), b});
  EXPECT_EQ(0, std::memcmp(channel.GetChildCreation(1), &b, sizeof(ChildCreation)));
  EXPECT_EQ(channel.GetChildCreation(2), nullptr);
  EXPECT_EQ(channel.GetChildCreation(-1), nullptr);
  EXPECT_EQ(channel.FindChildLink("Direction"), 1);
  EXPECT_EQ(channel.FindChildLink(nullptr), -1);
  channel.SetChildCreateType(Link("Far", kValueType), 5);
  ASSERT_EQ(channel.GetChildCreationCount(), 6);
  const ChildCreation fresh;
  EXPECT_EQ(0, std::memcmp(channel.GetChildCreation(3), &fresh, sizeof(ChildCreation)));
  channel.SetChildCreateType(Link("Huge", kValueType), 0x7FFFFFFF);
  channel.SetChildCreationCount(0x7FFFFFFF);
  EXPECT_EQ(channel.GetChildCreationCount(), 6);
  EXPECT_EQ(capture.CountAtLevel(1), 2u);
}

// A link takes its type or a channel based on it (the plug-in and
// lifecycle tests plug those); never a channel into a link of no type,
// into a link out of range, or into itself. A replaced child is released.
TEST(ChildLinkPlugging, TypeChecks) {
  Ubo_ValueChannel parent;
  DeclareLinks(parent, {Link("Value", kValueType), Link("Zero", GUID{})});
  Ubo_ValueChannel value;
  Ubo_VectorChannel vector;  // base all zero
  Zyr_Channel untyped;
  const struct {
    int link;
    Zyr_Channel* child;
    bool accepted;
  } cases[] = {{0, &value, true},  {0, &parent, false}, {0, &vector, false}, {1, &untyped, false},
               {1, &vector, false}, {2, &value, false}, {-1, &value, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.link);
    Zyr_Channel* before = parent.GetChild(c.link);
    EXPECT_EQ(parent.PlugChild(c.link, c.child), c.accepted);
    EXPECT_EQ(parent.GetChild(c.link), c.accepted ? c.child : before);
  }
  EXPECT_TRUE(parent.PlugChild(0, nullptr));
  EXPECT_EQ(value.ParentLinkCount(), 0u);
}

// Children follow their link names through a rebuild (the rule the
// lifecycle model checks); repeated names keep their order, and forgotten
// children are released.
TEST(ChildLinkRebuild, RepeatedNamesKeepTheirOrder) {
  Zyr_Channel parent;
  Ubo_ValueChannel first;
  Ubo_ValueChannel second;
  DeclareLinks(parent, {Link("Speed", kValueType), Link("Speed", kValueType)});
  ASSERT_TRUE(parent.PlugChild(0, &first));
  ASSERT_TRUE(parent.PlugChild(1, &second));
  DeclareLinks(parent, {Link("Other", kValueType), Link("Speed", kValueType),
                        Link("Speed", kValueType)});
  EXPECT_EQ(parent.GetChild(1), &first);
  EXPECT_EQ(parent.GetChild(2), &second);
  parent.SetChildCreateType(Link("Renamed", kValueType), 1);
  parent.SetChildCreateType(Link("Speed", kValueType), 0);
  EXPECT_EQ(parent.GetChild(0), &first);
  parent.SetChildCreationCount(0);
  parent.ForgetDetachedChildren();
  EXPECT_EQ(first.ParentLinkCount(), 0u);
  EXPECT_EQ(second.ParentLinkCount(), 0u);
  DeclareLinks(parent, {Link("Speed", kValueType)});
  EXPECT_EQ(parent.GetChild(0), nullptr);
}

// Destroying a parent releases the child's places in it; a removal
// unplugs every place. (A child destroyed is unplugged everywhere: the
// lifecycle model and tests/fault.)
TEST(ChildLinkLifetime, ParentDestructionAndRemovalReleaseTheChild) {
  Zyr_Channel p1;
  DeclareLinks(p1, {Link("A", kValueType), Link("B", kValueType)});
  Ubo_ValueChannel kept;
  {
    Zyr_Channel parent;
    DeclareLinks(parent, {Link("A", kValueType), Link("B", kValueType)});
    ASSERT_TRUE(parent.PlugChild(0, &kept));
    ASSERT_TRUE(parent.PlugChild(1, &kept));
    ASSERT_TRUE(p1.PlugChild(0, &kept));
    ASSERT_TRUE(p1.PlugChild(1, &kept));
    parent.SetChildCreationCount(1);
    EXPECT_EQ(kept.ParentLinkCount(), 4u);
  }
  EXPECT_EQ(kept.ParentLinkCount(), 2u);
  p1.CheckPublicChannelInstanceRemoval(&kept, 0);
  EXPECT_EQ(p1.GetChild(1), nullptr);
  EXPECT_EQ(kept.ParentLinkCount(), 0u);
}

}  // namespace
