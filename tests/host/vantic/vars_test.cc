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

VarVec3 Vector(const char* name, float x, uint32_t mode = VarMode_Out) {
  return VarVec3(VarType_Vec3, mode, name, Vec3{x, x + 1, x + 2}, Vec3{0, 0, 0}, Vec3{9, 9, 9});
}

float FloatAt(const VarList& list, size_t i) { return *list._vars[i]->FloatValue(); }

// "a", "b", "c", ... with values 0, 1, 2, ...: floats at even, vectors at odd positions.
VarList MakeList(int count) {
  VarList list;
  for (int i = 0; i < count; ++i) {
    const std::string name(1, static_cast<char>('a' + i % 26));
    if (i % 2 == 0) {
      list.AddVar(Float(name.c_str(), static_cast<float>(i)));
    } else {
      list.AddVar(Vector(name.c_str(), static_cast<float>(i)));
    }
  }
  return list;
}

TEST(VarConstruction, ModeAndNameAreSanitised) {
  EXPECT_EQ(Float("m", 0, 0x10002u).Mode(), 2);  // the low sixteen bits only
  EXPECT_STREQ(Float(nullptr, 0).Name(), "");
  EXPECT_STREQ(Float("%s%n%x", 0).Name(), "%s%n%x");
  // Names of more than 255 characters are cut.
  const std::string longName(300, 'n');
  EXPECT_EQ(std::string(Float(longName.c_str(), 0).Name()), std::string(255, 'n'));
  const std::string fits(255, 'f');
  EXPECT_EQ(std::string(Float(fits.c_str(), 0).Name()), fits);
  VarVec3 v = Vector("pos", 1);
  EXPECT_EQ(v.VectorValue()->z, 3.0f);
  EXPECT_EQ(v.FloatValue(), nullptr);
}

TEST(VarTypeReport, OnlyOutOfRangeTypeIsReportedAtLevelOneAndKept) {
  testing_support::MessageCapture capture;
  Float("a", 0);
  Vector("b", 0);
  // The check is on the signed type: negative values pass it.
  VarFloat negative(-1, VarMode_In, "n", 0, 0, 0);
  EXPECT_EQ(capture.Count(), 0u);
  const VarFloat bad(VarType_MAX, VarMode_In, "x", 0, 0, 0);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().level, 1u);
  EXPECT_EQ(capture.Last().text, "VarBase::VarBase().type<VarType_MAX");
  EXPECT_EQ(bad.Type(), VarType_MAX);
}

TEST(VarListCopy, IsDeepAndIndependent) {
  VarList original = MakeList(3);
  VarList copy(original);
  ASSERT_EQ(copy._vars.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NE(copy._vars[i], original._vars[i]);
    EXPECT_STREQ(copy._vars[i]->Name(), original._vars[i]->Name());
    EXPECT_EQ(copy._vars[i]->Type(), original._vars[i]->Type());
  }
  *copy._vars[0]->FloatValue() = 42.0f;
  copy._vars[1]->VectorValue()->x = 42.0f;
  EXPECT_EQ(FloatAt(original, 0), 0.0f);
  EXPECT_EQ(original._vars[1]->VectorValue()->x, 1.0f);

  original.ClearVars();
  EXPECT_EQ(FloatAt(copy, 0), 42.0f);  // the copy outlives what it copied
}

TEST(VarListCopy, AssignmentReplacesAndCarriesTheTargetObject) {
  VarList source = MakeList(2);
  source._thisObject = reinterpret_cast<VanticObject*>(&source);
  VarList target = MakeList(5);
  target = source;
  ASSERT_EQ(target.Count(), 2u);
  EXPECT_EQ(target._thisObject, source._thisObject);
  target = target;  // self-assignment keeps the list
  EXPECT_EQ(target.Count(), 2u);
  EXPECT_STREQ(target._vars[1]->Name(), "b");
}

TEST(VarListCopy, MoveLeavesTheSourceEmpty) {
  VarList source = MakeList(4);
  const VarBase* first = source._vars[0];
  VarList moved(std::move(source));
  EXPECT_EQ(moved._vars[0], first);
  EXPECT_EQ(source.Count(), 0u);  // a moved-from list is empty and usable
  source.AddVar(Float("again", 1));
  EXPECT_EQ(source.Count(), 1u);
}

TEST(VarListAdd, ManySingleAddsKeepEveryValue) {
  VarList list = MakeList(200);
  ASSERT_EQ(list._vars.size(), 200u);
  for (size_t i = 0; i < 200; i += 2) EXPECT_EQ(FloatAt(list, i), static_cast<float>(i));
  EXPECT_EQ(list._vars[199]->VectorValue()->z, 201.0f);
  list.ClearVars();
  EXPECT_TRUE(list._vars.empty());
  list.AddVar(Vector("v", 7));
  EXPECT_EQ(list._vars[0]->VectorValue()->x, 7.0f);
}

// AddVars appends deep copies in order, also of the list itself.
TEST(VarListAdd, AddVarsAppendsCopiesInOrder) {
  VarList list = MakeList(1);
  const VarList more = MakeList(3);
  list.AddVars(more);
  ASSERT_EQ(list.Count(), 4u);
  EXPECT_STREQ(list._vars[3]->Name(), "c");
  EXPECT_NE(list._vars[1], more._vars[0]);
  list.AddVars(list);
  ASSERT_EQ(list.Count(), 8u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_STREQ(list._vars[i + 4]->Name(), list._vars[i]->Name());
    EXPECT_NE(list._vars[i + 4], list._vars[i]);
  }
  EXPECT_EQ(FloatAt(list, 7), 2.0f);
}

TEST(VarListAccess, FindAndCheckedAccess) {
  VarList list = MakeList(3);
  EXPECT_EQ(list.Find("b"), list._vars[1]);
  EXPECT_EQ(list.Find("zz"), nullptr);
  EXPECT_EQ(list.Find(nullptr), nullptr);
  EXPECT_THROW(list._vars.at(3), std::out_of_range);
}

TEST(VarListAccessDeathTest, IndexOutOfRangeStops) {
  VarList list = MakeList(2);
  EXPECT_DEATH((void)list._vars[2], "");
}

}  // namespace
