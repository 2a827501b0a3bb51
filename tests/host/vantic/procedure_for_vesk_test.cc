// ProcedureForVesk: channels plugged into a procedure-call channel's links
// to variables and back.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "hostapi/channel_type.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"

namespace {

using Result = ProcedureForVesk::Result;

// A link named `name` that accepts channels of `type`.
ChildCreation Link(std::string_view type, const char* name) {
  ChildCreation link;
  link.Type._typeGuid = guid::FromString(type);
  std::string(name).copy(link.LinkName, sizeof(link.LinkName) - 1);
  return link;
}

// A channel with the type record `type` but no float or object of its own.
std::unique_ptr<Zyr_Channel> PlainOfType(std::string_view type) {
  auto plain = std::make_unique<Zyr_Channel>();
  ChannelType record;
  record._typeGuid = guid::FromString(type);
  plain->SetChannelTypeRecord(record);
  return plain;
}

// Channels whose type record a link accepts but which are no channel of
// that kind, and variables without a link, are refused. (Unplugged links,
// missing objects and the outputs written: the lifecycle model.)
TEST(Converters, WrongKindsAndMissingLinksAreRefused) {
  ObjectsManager& objects = CoreFramework::Singleton<ProceduresManager>::Instance().Objects();
  VarList vars;  // float a (input), vector b (output), float c (input and output)
  vars.AddVar(VarFloat(VarType_Float, VarMode_In, "a", 0, 0, 0));
  vars.AddVar(VarVec3(VarType_Vec3, VarMode_Out, "b", {}, {}, {}));
  vars.AddVar(VarFloat(VarType_Float, VarMode_InOut, "c", 0, 0, 0));
  Ubo_FloatChannel channel;
  Ubo_ValueChannel a;
  Ubo_VectorChannel b;
  Ubo_ValueChannel c;
  Ubo_CoreRefChannel target;
  const uint32_t object = objects.Create("Body", "target")->Id();
  target.SetObjectId(object);
  const std::pair<ChildCreation, Zyr_Channel*> links[] = {
      {Link(guid::kCoreRefChannelType, "This"), &target},
      {Link(guid::kFloatChannelType, "a"), &a},
      {Link(guid::kVectorChannelType, "b"), &b},
      {Link(guid::kFloatChannelType, "c"), &c}};
  for (int i = 0; i < 4; ++i) {
    channel.SetChildCreateType(links[i].first, i);
    ASSERT_TRUE(channel.PlugChild(i, links[i].second));
  }
  const auto in = [&] { return ProcedureForVesk::FromDataChannelToVar(&channel, &vars, 1); };
  ASSERT_EQ(in(), Result::kOk);
  const auto plain = PlainOfType(guid::kFloatChannelType);
  ASSERT_TRUE(channel.PlugChild(1, plain.get()));  // a, without a float
  EXPECT_EQ(in(), Result::kWrongKind);
  ASSERT_TRUE(channel.PlugChild(1, &a));
  const auto plainRef = PlainOfType(guid::kCoreRefChannelType);
  ASSERT_TRUE(channel.PlugChild(0, plainRef.get()));
  EXPECT_EQ(in(), Result::kWrongKind);
  ASSERT_TRUE(channel.PlugChild(0, &target));
  vars.AddVar(VarFloat(VarType_Float, VarMode_In, "d", 0, 0, 0));  // no link 4
  EXPECT_EQ(in(), Result::kMissingLink);
  EXPECT_EQ(ProcedureForVesk::FromDataChannelToVar(&channel, nullptr, 1), Result::kBadArgument);
  EXPECT_EQ(ProcedureForVesk::FromVarToDataChannel(nullptr, &channel, 2), Result::kBadArgument);

  // A vector written into a value channel is reported; the others are
  // still written.
  channel.SetChildCreateType(Link(guid::kFloatChannelType, "b"), 2);
  Ubo_ValueChannel notVector;
  ASSERT_TRUE(channel.PlugChild(2, &notVector));
  *vars._vars[2]->FloatValue() = 7.0f;
  EXPECT_EQ(ProcedureForVesk::FromVarToDataChannel(&vars, &channel, 2), Result::kWrongKind);
  EXPECT_EQ(c.GetFloat(), 7.0f);
  objects.Remove(object);
}

}  // namespace
