// The built-in procedures, run through a registry of their own.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "hostapi/vantic_procedure.h"
#include "runner/procedure_library.h"
#include "runner/var_access.h"
#include "tests/support/test_support.h"

namespace {

class BuiltinProcedures : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(library.RegisterAll(procedures), library.Definitions().size()); }

  // A working copy of owner::name's parameters.
  VarList Params(const std::string& owner, const std::string& name) {
    Procedure* p = procedures.GetProcedure(owner, name);
    EXPECT_NE(p, nullptr) << owner << "::" << name;
    return p ? VarList(p->_params) : VarList();
  }
  int Execute(const std::string& owner, const std::string& name, VarList& vars) {
    return procedures.GetProcedure(owner, name)->Execute(vars);
  }

  dravik::ProcedureLibrary library;
  ProceduresManager procedures;
};

TEST_F(BuiltinProcedures, MathOnFloats) {
  VarList v = Params("Math", "Sub");
  dravik::FloatParam(v, "a")->_value = 5;
  dravik::FloatParam(v, "b")->_value = 7;
  ASSERT_EQ(Execute("Math", "Sub", v), 0);
  EXPECT_EQ(dravik::FloatParam(v, "result")->_value, -2);
  VarList c = Params("Math", "Clamp");
  dravik::FloatParam(c, "x")->_value = 9;
  dravik::FloatParam(c, "lo")->_value = 0;
  dravik::FloatParam(c, "hi")->_value = 4;
  ASSERT_EQ(Execute("Math", "Clamp", c), 0);
  EXPECT_EQ(dravik::FloatParam(c, "result")->_value, 4);
  dravik::FloatParam(c, "lo")->_value = 5;
  testing_support::MessageCapture messages;
  EXPECT_EQ(Execute("Math", "Clamp", c), 1);
  EXPECT_EQ(messages.CountContaining("Math::Clamp: lo is above hi"), 1u);
}

TEST_F(BuiltinProcedures, VectorsAndTheirFailures) {
  VarList s = Params("Vec3", "Scale");
  dravik::VectorParam(s, "v")->_value = Vec3{1, -2, 3};
  dravik::FloatParam(s, "s")->_value = 2;
  ASSERT_EQ(Execute("Vec3", "Scale", s), 0);
  EXPECT_EQ(dravik::VectorParam(s, "result")->_value.y, -4);
  VarList n = Params("Vec3", "Normalize");
  testing_support::MessageCapture messages;
  EXPECT_EQ(Execute("Vec3", "Normalize", n), 1);  // the zero vector
  EXPECT_EQ(messages.Count(), 1u);
}

TEST_F(BuiltinProcedures, BodyStepIntegratesItsObjectAndBounces) {
  ASSERT_FALSE(procedures.GetProcedure("Body", "Step")->_isStatic);
  VanticObject ball(1, "Body", "Ball");
  ball.SetVector("position", Vec3{0, 0.05f, 0});
  ball.SetVector("velocity", Vec3{0, -1, 0});
  ball.SetFloat("bounce", 0.5f);
  VarList v = Params("Body", "Step");
  v._thisObject = &ball;
  dravik::FloatParam(v, "dt")->_value = 0.1f;
  ASSERT_EQ(Execute("Body", "Step", v), 0);
  // v.y = -1 - 0.981 = -1.981; y = 0.05 - 0.1981 < 0: reflected and damped.
  EXPECT_NEAR(ball.GetVector("position").y, 0.1481f * 0.5f, 1e-6);
  EXPECT_NEAR(ball.GetVector("velocity").y, 1.981f * 0.5f, 1e-6);
  EXPECT_EQ(dravik::VectorParam(v, "position")->_value.y, ball.GetVector("position").y);
  EXPECT_NEAR(dravik::FloatParam(v, "speed")->_value, 0.9905f, 1e-5);
  VarList none = Params("Body", "Step");
  testing_support::MessageCapture messages;
  EXPECT_EQ(Execute("Body", "Step", none), 1);
}

TEST_F(BuiltinProcedures, MissingParameterFailsWithAMessage) {
  testing_support::MessageCapture messages;
  VarList wrong = dravik::MakeParams({{"a", dravik::ParamType::kVec3, 1}});
  EXPECT_EQ(Execute("Math", "Add", wrong), 1);
  EXPECT_EQ(messages.CountContaining("Math::Add: parameter 'a' is missing or of another type"), 1u);
}

TEST_F(BuiltinProcedures, RegisteringATakenNameFails) {
  EXPECT_FALSE(library.Register(procedures, "Math", "Add"));
  ASSERT_TRUE(procedures.Remove("Math", "Add"));
  EXPECT_TRUE(library.Register(procedures, "Math", "Add"));
  EXPECT_FALSE(library.Register(procedures, "Math", "Nope"));
}

}  // namespace
