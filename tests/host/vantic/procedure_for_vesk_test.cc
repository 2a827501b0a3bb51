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

ChildCreation Link(std::string_view type, const char* typeName, const char* name) {
  ChildCreation link;
  link.Type._typeGuid = guid::FromString(type);
  std::string(typeName).copy(link.Type._name, sizeof(link.Type._name) - 1);
  std::string(name).copy(link.LinkName, sizeof(link.LinkName) - 1);
  return link;
}

ChildCreation ThisLink() { return Link(guid::kCoreRefChannelType, "CoreRef", "This"); }
ChildCreation ValueLink(const char* name) { return Link(guid::kFloatChannelType, "Value", name); }
ChildCreation VectorLink(const char* name) {
  return Link(guid::kVectorChannelType, "Value Vector", name);
}

// A channel with the type record `type` but no float or object of its own.
std::unique_ptr<Zyr_Channel> PlainOfType(std::string_view type) {
  auto plain = std::make_unique<Zyr_Channel>();
  ChannelType record;
  record._typeGuid = guid::FromString(type);
  plain->SetChannelTypeRecord(record);
  return plain;
}

ObjectsManager& Objects() { return CoreFramework::Singleton<ProceduresManager>::Instance().Objects(); }

// Parameters: float a (input), vector b (output), float c (input and output).
class ConvertersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vars.AddVar(VarFloat(VarType_Float, VarMode_In, "a", 0, 0, 0));
    vars.AddVar(VarVec3(VarType_Vec3, VarMode_Out, "b", {}, {}, {}));
    vars.AddVar(VarFloat(VarType_Float, VarMode_InOut, "c", 0, 0, 0));
    a.SetFloat(2.5f);
    c.SetFloat(-1.0f);
    object = Objects().Create("Body", "target");
    target.SetObjectId(object->Id());
  }
  void TearDown() override { Objects().Remove(object->Id()); }

  // Declares the links, "This" first unless static, and plugs a, b, c.
  void MakeLinks(bool isStatic) {
    const std::pair<ChildCreation, Zyr_Channel*> links[] = {
        {ThisLink(), &target}, {ValueLink("a"), &a}, {VectorLink("b"), &b}, {ValueLink("c"), &c}};
    for (int i = isStatic ? 1 : 0, index = 0; i < 4; ++i, ++index) {
      channel.SetChildCreateType(links[i].first, index);
      ASSERT_TRUE(channel.PlugChild(index, links[i].second));
    }
  }
  int In() { return ProcedureForVesk::FromDataChannelToVar(&channel, &vars, 1); }
  int Out() { return ProcedureForVesk::FromVarToDataChannel(&vars, &channel, 2); }

  Ubo_FloatChannel channel;
  Ubo_ValueChannel a;
  Ubo_VectorChannel b;
  Ubo_ValueChannel c;
  Ubo_CoreRefChannel target;
  VanticObject* object = nullptr;
  VarList vars;
};

TEST_F(ConvertersTest, UnpluggedWrongOrMissingInputsFail) {
  MakeLinks(false);
  const auto plain = PlainOfType(guid::kFloatChannelType);
  ASSERT_TRUE(channel.PlugChild(1, plain.get()));  // a, without a float
  EXPECT_EQ(In(), Result::kWrongKind);
  ASSERT_TRUE(channel.PlugChild(1, &a));
  ASSERT_TRUE(channel.PlugChild(3, nullptr));  // c
  EXPECT_EQ(In(), Result::kUnplugged);
  ASSERT_TRUE(channel.PlugChild(3, &c));
  ASSERT_TRUE(channel.PlugChild(2, nullptr));  // b is an output only: not needed
  EXPECT_EQ(In(), Result::kOk);

  target.SetObjectId(0);
  EXPECT_EQ(In(), Result::kNoObject);
  target.SetObjectId(object->Id() + 1000);
  EXPECT_EQ(In(), Result::kNoObject);
  ASSERT_TRUE(channel.PlugChild(0, nullptr));
  EXPECT_EQ(In(), Result::kUnplugged);

  const auto plainRef = PlainOfType(guid::kCoreRefChannelType);
  ASSERT_TRUE(channel.PlugChild(0, plainRef.get()));
  EXPECT_EQ(In(), Result::kWrongKind);
  ASSERT_TRUE(channel.PlugChild(0, &target));
  target.SetObjectId(object->Id());
  vars.AddVar(VarFloat(VarType_Float, VarMode_In, "d", 0, 0, 0));  // no link 4
  EXPECT_EQ(In(), Result::kMissingLink);
  EXPECT_EQ(ProcedureForVesk::FromDataChannelToVar(&channel, nullptr, 1), Result::kBadArgument);
  EXPECT_EQ(ProcedureForVesk::FromVarToDataChannel(nullptr, &channel, 2), Result::kBadArgument);
}

TEST_F(ConvertersTest, OutputsWrittenUnpluggedSkippedWrongKindsReported) {
  MakeLinks(true);
  *vars._vars[0]->FloatValue() = 100.0f;  // an input: not written
  *vars._vars[1]->VectorValue() = Vec3{1, 2, 3};
  ASSERT_EQ(Out(), Result::kOk);
  EXPECT_EQ(a.GetFloat(), 2.5f);
  EXPECT_EQ(b.GetVector().z, 3.0f);
  ASSERT_TRUE(channel.PlugChild(1, nullptr));  // b
  *vars._vars[2]->FloatValue() = 6.0f;
  EXPECT_EQ(Out(), Result::kOk);
  EXPECT_EQ(c.GetFloat(), 6.0f);

  channel.SetChildCreateType(ValueLink("b"), 1);
  Ubo_ValueChannel notVector;
  ASSERT_TRUE(channel.PlugChild(1, &notVector));
  *vars._vars[2]->FloatValue() = 7.0f;
  EXPECT_EQ(Out(), Result::kWrongKind);
  EXPECT_EQ(c.GetFloat(), 7.0f);  // the others are still written
}

}  // namespace
