// The runner's procedures: the built-in ones, run through a registry of
// their own, and those written as expressions (compile errors with their
// path, object properties, failures at run time).
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/vantic_objects.h"
#include "hostapi/vantic_procedure.h"
#include "runner/procedures/expression_procedure.h"
#include "runner/procedures/procedure_library.h"
#include "runner/procedures/var_access.h"
#include "tests/support/test_support.h"

namespace {

using dravik::FloatParam;
using dravik::ParamSpec;
using dravik::ParamType;

TEST(BuiltinProcedures, ComputeFailWithAMessageAndKeepTheirNames) {
  dravik::ProcedureLibrary library;
  ProceduresManager procedures;
  ASSERT_EQ(library.RegisterAll(procedures), library.Definitions().size());
  testing_support::MessageCapture messages;
  VarList clamp(procedures.GetProcedure("Math", "Clamp")->_params);
  FloatParam(clamp, "x")->_value = 9;
  FloatParam(clamp, "lo")->_value = 0;
  FloatParam(clamp, "hi")->_value = 4;
  ASSERT_EQ(procedures.GetProcedure("Math", "Clamp")->Execute(clamp), 0);
  EXPECT_EQ(FloatParam(clamp, "result")->_value, 4);
  FloatParam(clamp, "lo")->_value = 5;
  EXPECT_EQ(procedures.GetProcedure("Math", "Clamp")->Execute(clamp), 1);
  EXPECT_EQ(messages.CountContaining("Math::Clamp: lo is above hi"), 1u);
  VarList scale(procedures.GetProcedure("Vec3", "Scale")->_params);
  dravik::VectorParam(scale, "v")->_value = Vec3{1, -2, 3};
  FloatParam(scale, "s")->_value = 2;
  ASSERT_EQ(procedures.GetProcedure("Vec3", "Scale")->Execute(scale), 0);
  EXPECT_EQ(dravik::VectorParam(scale, "result")->_value.y, -4);
  // Parameters of another type, and names that are taken or unknown.
  VarList wrong = dravik::MakeParams({{"a", ParamType::kVec3, 1}});
  EXPECT_EQ(procedures.GetProcedure("Math", "Add")->Execute(wrong), 1);
  EXPECT_EQ(messages.CountContaining("Math::Add: parameter 'a' is missing or of another type"), 1u);
  EXPECT_FALSE(library.Register(procedures, "Math", "Add"));
  ASSERT_TRUE(procedures.Remove("Math", "Add"));
  EXPECT_TRUE(library.Register(procedures, "Math", "Add"));
  EXPECT_FALSE(library.Register(procedures, "Math", "Nope"));
}

class ExpressionProcedure : public ::testing::Test {
 protected:
  bool Compile(std::vector<ParamSpec> params, std::map<std::string, std::vector<std::string>> outputs,
               bool isStatic = true) {
    specs = std::move(params);
    vars = dravik::MakeParams(specs);
    return dravik::CompileExpressionBody("S::P", isStatic, specs, outputs, {{"k", 10.0}}, "/procedures/0", &body,
                                         &error);
  }

  std::vector<ParamSpec> specs;
  VarList vars;
  VeskProcedure::Body body;
  std::string error;
  testing_support::MessageCapture messages;
};

TEST_F(ExpressionProcedure, ComputesOutputsFromTheInputsAsTheyWere) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 3}, {"y", ParamType::kFloat, 2}},
                      {{"x", {"x + 1"}}, {"y", {"x * k"}}}))
      << error;
  FloatParam(vars, "x")->_value = 2;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(FloatParam(vars, "x")->_value, 3);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 20);  // from x = 2, not 3
  // Not static: it reads its object's properties, a missing one as 0.
  ASSERT_TRUE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass * self.pos.y + self.missing"}}}, false))
      << error;
  VanticObject object(1, "Body", "B");
  object.SetFloat("mass", 2);
  object.SetVector("pos", Vec3{0, 4, 0});
  vars._thisObject = &object;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 8);
}

TEST_F(ExpressionProcedure, CompileErrorsNameTheOutput) {
  EXPECT_FALSE(Compile({{"v", ParamType::kVec3, 2}}, {{"v", {"1", "nosuch", "3"}}}));
  EXPECT_EQ(error.rfind("/procedures/0/outputs/v/1: ", 0), 0u) << error;
  // Object properties only for procedures that are not static.
  EXPECT_FALSE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass"}}}, true));
}

TEST_F(ExpressionProcedure, FailsOnValuesThatAreNotFiniteFloatsAndOnMissingParameters) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"sqrt(x)"}}}));
  FloatParam(vars, "x")->_value = -1;
  FloatParam(vars, "y")->_value = 7;
  EXPECT_EQ(body(vars), 1);
  EXPECT_FLOAT_EQ(FloatParam(vars, "y")->_value, 7);  // nothing written
  EXPECT_EQ(messages.CountContaining("S::P: output 'y' is not a finite float"), 1u);
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"x * x"}}}));
  FloatParam(vars, "x")->_value = 1e30f;
  EXPECT_EQ(body(vars), 1);
  VarList other = dravik::MakeParams({{"y", ParamType::kFloat, 2}});
  EXPECT_EQ(body(other), 1);
  EXPECT_EQ(messages.CountContaining("parameter 'x' is missing"), 1u);
}

}  // namespace
