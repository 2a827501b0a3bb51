// What a procedure hands the channel. Parameter types and modes out of
// range, and variables whose kind and declared type disagree, coming from
// the framework (a procedure's list) and from saved records. A procedure
// that destroys a child or reshapes its variable list while it runs, and
// procedures that throw: the channel works on its own copy of the list,
// never touches what went, and lets nothing thrown reach the engine.
// Procedures changed, renamed and removed between evaluations and during
// their own execution, and destruction orders, are the lifecycle model's
// (tests/lifecycle).
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
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

// A channel, an input and an output for it.
class ProcedureChangeTest : public PrcCallTest {
 protected:
  std::unique_ptr<Ubo_ValueChannel> _in = NewValue(1.5f);
  std::unique_ptr<Ubo_ValueChannel> _out = NewValue();
  Ubo_VanticPrcCall _ch;
};

TEST_F(ProcedureChangeTest, ChildDestroyedAndListReshapedDuringExecution) {
  // What Execute hands back need not have the shape it was given: the
  // outputs are written by position, as far as links exist, and nothing
  // else is touched. The last execution destroys the output channel before
  // it writes its output.
  const std::function<void(VarList&)> kReshapes[] = {
      [](VarList& vars) { vars.ClearVars(); },
      [](VarList& vars) {
        for (int i = 0; i < 100; ++i) vars.AddVar(FloatVar("more", VarMode_Out));
      },
      [](VarList& vars) { vars = VarList(); }, [](VarList& vars) { vars.AddVars(vars); },
      [this](VarList& vars) {
        _out.reset();
        *vars._vars[1]->FloatValue() = 1.0f;
      }};
  size_t shape = 0;
  Register("Car", "Drive", true, Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}}),
           [&](VarList& vars) {
             kReshapes[shape](vars);
             return 0;
           });
  ASSERT_EQ(_ch.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  ASSERT_TRUE(_ch.PlugChild(0, _in.get()));
  ASSERT_TRUE(_ch.PlugChild(1, _out.get()));
  for (shape = 0; shape < std::size(kReshapes); ++shape) {
    SCOPED_TRACE("shape " + std::to_string(shape));
    EXPECT_EQ(Evaluate(_ch), kPrcStatusOk);
    EXPECT_EQ(_ch.GetChildCreationCount(), 2);
  }
  EXPECT_EQ(_ch.GetChild(1), nullptr);
  EXPECT_FLOAT_EQ(_in->GetFloat(), 1.5f);
}

// A plain procedure (the framework's own catch is not around it) that runs
// `thrower` first when one is set.
struct ThrowingProcedure final : Procedure {
  ThrowingProcedure() : Procedure("Risky", "Run", true, Params({{"out", VarType_Float, 2}})) {}
  int Execute(VarList& vars) override {
    if (thrower) thrower();
    *vars._vars[0]->FloatValue() = 5.0f;
    return 0;
  }
  static inline std::function<void()> thrower;
};

TEST_F(ProcedureChangeTest, ExceptionsFromAProcedureNeverReachTheEngine) {
  ASSERT_NE(Procedures().Register(std::make_unique<ThrowingProcedure>()), nullptr);
  ASSERT_EQ(_ch.UpdatePrc("Risky", "Run"), kUpdatePrcBound);
  ASSERT_TRUE(_ch.PlugChild(0, _out.get()));
  const std::function<void()> kThrowers[] = {[] { throw std::runtime_error("runtime error"); },
                                             [] { throw std::bad_alloc(); }, [] { throw 42; },
                                             [] { throw std::string("a string"); }};
  for (size_t k = 0; k < std::size(kThrowers); ++k) {
    SCOPED_TRACE("exception kind " + std::to_string(k));
    ThrowingProcedure::thrower = kThrowers[k];
    _messages.Clear();
    float status = -1.0f;
    EXPECT_NO_THROW(status = Evaluate(_ch));
    EXPECT_EQ(status, kPrcStatusFailed);
    EXPECT_EQ(_messages.CountContaining("]._procedure->Execute()"), 2u);
    EXPECT_FLOAT_EQ(_out->GetFloat(), 0.0f);  // nothing written back
  }
  ThrowingProcedure::thrower = nullptr;
  EXPECT_EQ(Evaluate(_ch), kPrcStatusOk);
  EXPECT_FLOAT_EQ(_out->GetFloat(), 5.0f);
}

}  // namespace
}  // namespace prccall_test
