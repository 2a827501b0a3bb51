// The built-in procedures, run through a registry of their own.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "hostapi/vantic_procedure.h"
#include "runner/procedures/procedure_library.h"
#include "runner/procedures/var_access.h"
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

TEST_F(BuiltinProcedures, VectorScale) {
  VarList s = Params("Vec3", "Scale");
  dravik::VectorParam(s, "v")->_value = Vec3{1, -2, 3};
  dravik::FloatParam(s, "s")->_value = 2;
  ASSERT_EQ(Execute("Vec3", "Scale", s), 0);
  EXPECT_EQ(dravik::VectorParam(s, "result")->_value.y, -4);
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
