// Procedures written as expressions: compile errors with their path,
// object properties, and failures at run time.
#include <cfloat>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/vantic_objects.h"
#include "runner/procedures/expression_procedure.h"
#include "runner/procedures/var_access.h"
#include "tests/support/test_support.h"

namespace {

using dravik::CompileExpressionBody;
using dravik::ParamSpec;
using dravik::ParamType;

class ExpressionProcedure : public ::testing::Test {
 protected:
  bool Compile(std::vector<ParamSpec> params, std::map<std::string, std::vector<std::string>> outputs,
               bool isStatic = true) {
    specs = std::move(params);
    vars = dravik::MakeParams(specs);
    return CompileExpressionBody("S::P", isStatic, specs, outputs, {{"k", 10.0}}, "/procedures/0", &body, &error);
  }

  std::vector<ParamSpec> specs;
  VarList vars;
  VeskProcedure::Body body;
  std::string error;
};

TEST_F(ExpressionProcedure, ComputesOutputsFromTheInputsAsTheyWere) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 3}, {"y", ParamType::kFloat, 2}},
                      {{"x", {"x + 1"}}, {"y", {"x * k"}}}))
      << error;
  dravik::FloatParam(vars, "x")->_value = 2;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(dravik::FloatParam(vars, "x")->_value, 3);
  EXPECT_FLOAT_EQ(dravik::FloatParam(vars, "y")->_value, 20);  // from x = 2, not 3
}

TEST_F(ExpressionProcedure, NotStaticReadsItsObjectsProperties) {
  ASSERT_TRUE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass * self.pos.y + self.missing"}}}, false))
      << error;
  VanticObject object(1, "Body", "B");
  object.SetFloat("mass", 2);
  object.SetVector("pos", Vec3{0, 4, 0});
  vars._thisObject = &object;
  EXPECT_EQ(body(vars), 0);
  EXPECT_FLOAT_EQ(dravik::FloatParam(vars, "y")->_value, 8);
}

TEST_F(ExpressionProcedure, CompileErrorsNameTheOutput) {
  EXPECT_FALSE(Compile({{"v", ParamType::kVec3, 2}}, {{"v", {"1", "nosuch", "3"}}}));
  EXPECT_EQ(error.rfind("/procedures/0/outputs/v/1: ", 0), 0u) << error;
  // Object properties only for procedures that are not static.
  EXPECT_FALSE(Compile({{"y", ParamType::kFloat, 2}}, {{"y", {"self.mass"}}}, true));
}

TEST_F(ExpressionProcedure, FailsOnValuesThatAreNotFiniteFloats) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"sqrt(x)"}}}));
  testing_support::MessageCapture messages;
  dravik::FloatParam(vars, "x")->_value = -1;
  dravik::FloatParam(vars, "y")->_value = 7;
  EXPECT_EQ(body(vars), 1);
  EXPECT_FLOAT_EQ(dravik::FloatParam(vars, "y")->_value, 7);  // nothing written
  EXPECT_EQ(messages.CountContaining("S::P: output 'y' is not a finite float"), 1u);
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"x * x"}}}));
  dravik::FloatParam(vars, "x")->_value = 1e30f;
  EXPECT_EQ(body(vars), 1);
}

TEST_F(ExpressionProcedure, FailsWhenAParameterIsMissing) {
  ASSERT_TRUE(Compile({{"x", ParamType::kFloat, 1}, {"y", ParamType::kFloat, 2}}, {{"y", {"x"}}}));
  VarList other = dravik::MakeParams({{"y", ParamType::kFloat, 2}});
  testing_support::MessageCapture messages;
  EXPECT_EQ(body(other), 1);
  EXPECT_EQ(messages.CountContaining("parameter 'x' is missing"), 1u);
}

}  // namespace
