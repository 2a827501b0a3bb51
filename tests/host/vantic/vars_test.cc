// VarBase, VarFloat, VarVec3 and VarList.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "hostapi/vantic_vars.h"
#include "tests/support/test_support.h"

namespace {

VarFloat Float(const char* name, float value, uint32_t mode = VarMode_In) {
  return VarFloat(VarType_Float, mode, name, value, -10.0f, 10.0f);
}

// "a", "b", "c", ... with values 0, 1, 2, ...: floats at even, vectors at odd positions.
VarList MakeList(int count) {
  VarList list;
  for (int i = 0; i < count; ++i) {
    const std::string name(1, static_cast<char>('a' + i % 26));
    const float v = static_cast<float>(i);
    if (i % 2 == 0) list.AddVar(Float(name.c_str(), v));
    else list.AddVar(VarVec3(VarType_Vec3, VarMode_Out, name.c_str(), Vec3{v, v, v}, {}, {}));
  }
  return list;
}

TEST(VarConstruction, ModeAndNameAreSanitised) {
  EXPECT_EQ(Float("m", 0, 0x10002u).Mode(), 2);  // the low sixteen bits only
  EXPECT_STREQ(Float(nullptr, 0).Name(), "");
  EXPECT_STREQ(Float("%s%n%x", 0).Name(), "%s%n%x");
  const std::string longName(300, 'n');  // more than 255 characters are cut
  EXPECT_EQ(std::string(Float(longName.c_str(), 0).Name()), std::string(255, 'n'));
}

TEST(VarTypeReport, OnlyOutOfRangeTypeIsReportedAtLevelOneAndKept) {
  testing_support::MessageCapture capture;
  MakeList(2);
  VarFloat negative(-1, VarMode_In, "n", 0, 0, 0);  // the check is on the signed type
  EXPECT_EQ(capture.Count(), 0u);
  const VarFloat bad(VarType_MAX, VarMode_In, "x", 0, 0, 0);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().level, 1u);
  EXPECT_EQ(capture.Last().text, "VarBase::VarBase().type<VarType_MAX");
  EXPECT_EQ(bad.Type(), VarType_MAX);
}

TEST(VarListCopy, CopiesAreDeepAndIndependent) {
  VarList original = MakeList(3);
  VarList copy(original);
  ASSERT_EQ(copy.Count(), 3u);
  *copy._vars[0]->FloatValue() = 42.0f;
  copy._vars[1]->VectorValue()->x = 42.0f;
  EXPECT_EQ(*original._vars[0]->FloatValue(), 0.0f);
  EXPECT_EQ(original._vars[1]->VectorValue()->x, 1.0f);
  original.ClearVars();
  EXPECT_EQ(*copy._vars[0]->FloatValue(), 42.0f);  // the copy outlives what it copied
  copy._thisObject = reinterpret_cast<VanticObject*>(&copy);
  VarList target = MakeList(5);
  target = copy;
  EXPECT_EQ(target._thisObject, copy._thisObject);
  const VarList& self = target;
  target = self;  // self-assignment keeps the list
  EXPECT_STREQ(target._vars[1]->Name(), "b");
  VarList moved(std::move(target));
  EXPECT_EQ(target.Count(), 0u);  // a moved-from list is empty and usable
  target.AddVar(Float("again", 1));
  EXPECT_EQ(target.Count(), 1u);
  // AddVars appends deep copies in order, also of the list itself.
  moved.AddVars(moved);
  ASSERT_EQ(moved.Count(), 6u);
  EXPECT_NE(moved._vars[3], moved._vars[0]);
  EXPECT_EQ(*moved._vars[3]->FloatValue(), 42.0f);
  EXPECT_EQ(moved.Find("c"), moved._vars[2]);
  EXPECT_EQ(moved.Find(nullptr), nullptr);
}

TEST(VarListAccessDeathTest, IndexOutOfRangeStops) {
  VarList list = MakeList(2);
  EXPECT_DEATH((void)list._vars[2], "");
}

}  // namespace
