// Parameter types and modes out of range, and variables whose kind and
// declared type disagree, coming from the framework (a procedure's list)
// and from saved records.
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using ParameterRangeTest = PrcCallTest;

constexpr const char kModeReport[] = "Ubo_VanticPrcCall::CreateChildLinks().var->Mode()";
constexpr const char kTypeReport[] = "Ubo_VanticPrcCall::LoadChannel().var->Type()";

// Loading skips them (SavedTypesAndModesAtTheirLimits).
TEST_F(ParameterRangeTest, TypesOutsideTheKnownOnesAreLinked) {
  VarList params;
  params.AddVar(FloatVar("first", VarMode_In, VarType_MAX));      // reported by VarBase
  params.AddVar(FloatVar("second", VarMode_In, -1));              // negative: not reported, unknown
  params.AddVar(FloatVar("third", VarMode_Out));
  Register("Odd", "Types", false, params);
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Odd", "Types"), kUpdatePrcBound);
  // "This", then one link per variable, whatever its type.
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"This", "first", "second", "third"}));
  // An unknown type keeps the kind of the link before: "This" accepts
  // "CoreRef" only, so nothing of the wrong kind can be plugged there.
  EXPECT_EQ(ch.GetChildCreation(1)->Type._typeGuid, ch.GetChildCreation(0)->Type._typeGuid);
  auto value = NewValue(1.0f);
  EXPECT_FALSE(ch.PlugChild(1, value.get()));
  EXPECT_EQ(Evaluate(ch), kPrcStatusInputs);
}

TEST_F(ParameterRangeTest, KindAndDeclaredTypeDisagreeing) {
  // A float variable declared a vector and a vector declared a float: the
  // links follow the declared type, the converters the real kind, and
  // neither writes the other's field.
  VarList params;
  params.AddVar(FloatVar("f", VarMode_InOut, VarType_Vec3));
  params.AddVar(VectorVar("v", VarMode_InOut, VarType_Float));
  Register("Odd", "Kinds", true, params, [](VarList& vars) {
    *vars._vars[0]->FloatValue() += 1.0f;
    vars._vars[1]->VectorValue()->x += 1.0f;
    return 0;
  });
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Odd", "Kinds"), kUpdatePrcBound);
  ASSERT_EQ(ch.GetChildCreation(0)->Type._typeGuid, VectorGuid());
  ASSERT_EQ(ch.GetChildCreation(1)->Type._typeGuid, FloatGuid());
  auto vector = std::make_unique<Ubo_VectorChannel>();
  vector->SetChannelTypeRecord(Ubo_VectorChannel::TypeRecord());
  vector->SetVector(Vec3{3, 4, 0});
  auto value = NewValue(2.0f);
  ASSERT_TRUE(ch.PlugChild(0, vector.get()));
  ASSERT_TRUE(ch.PlugChild(1, value.get()));
  // A float channel cannot give a vector: the inputs are not taken.
  EXPECT_EQ(Evaluate(ch), kPrcStatusInputs);
  EXPECT_FLOAT_EQ(value->GetFloat(), 2.0f);
  EXPECT_FLOAT_EQ(vector->GetVector().x, 3.0f);
}

TEST_F(ParameterRangeTest, SavedTypesAndModesAtTheirLimits) {
  // Records written by hand: every type and mode a 32-bit number can say.
  const uint32_t kValues[] = {0, 1, 2, 3, 4, 0xFFFF, 0x10000, 0x10001, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  RecordBuilder record;  // any non-zero static flag: static
  record.Head("Odd", "Saved", 0xFFFFFFFF, static_cast<uint32_t>(std::size(kValues) * std::size(kValues)));
  size_t known = 0;
  for (uint32_t type : kValues) {
    for (uint32_t mode : kValues) {
      record.Param(type, mode, "t" + std::to_string(type) + "m" + std::to_string(mode));
      known += (type <= 1);
    }
  }
  Ubo_VanticPrcCall ch;
  ASSERT_TRUE(LoadFile(record.File(), ch));
  EXPECT_TRUE(ch.IsStatic());
  EXPECT_EQ(ch.GetParamVars().Count(), known);
  EXPECT_EQ(ch.GetChildCreationCount(), static_cast<int>(known));
  // One report per parameter of an unknown type (9 types of 11 modes),
  // and one per link whose mode is not 1 to 3: a mode is kept as 16 bits,
  // so 0x10001 is an input, and 7 modes of 11 go out of range, for each
  // of the two known types.
  EXPECT_EQ(_messages.CountContaining(kTypeReport), 99u);
  EXPECT_EQ(_messages.CountContaining(kModeReport), 14u);
  for (const VarBase* var : ch.GetParamVars()._vars) {
    EXPECT_TRUE(var->Type() == VarType_Float || var->Type() == VarType_Vec3) << var->Name();
  }
  EXPECT_TRUE(SurvivesRoundTrip(ch));
  for (int round = 0; round < 2; ++round) EXPECT_EQ(Evaluate(ch), kPrcStatusFailed);  // not registered
}

}  // namespace
}  // namespace prccall_test
