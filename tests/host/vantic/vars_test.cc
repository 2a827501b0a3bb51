// VarBase, VarFloat, VarVec3 and VarList.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

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
    if (i % 2 == 0)
      list.AddVar(Float(name.c_str(), v));
    else
      list.AddVar(VarVec3(VarType_Vec3, VarMode_Out, name.c_str(), Vec3{v, v, v}, {}, {}));
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
  *copy._vars[0]->FloatValue() = 42.0f;
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

// Lists by kinds ('f' float, 'v' vector) and names, values from `seed`.
VarList Shaped(const std::string& kinds, const std::vector<std::string>& names, float seed) {
  VarList list;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const char* name = names[i % names.size()].c_str();
    const float v = seed + static_cast<float>(i);
    if (kinds[i] == 'f')
      list.AddVar(VarFloat(VarType_Float, VarMode_In, name, v, -v, v));
    else
      list.AddVar(VarVec3(VarType_Vec3, VarMode_InOut, name, Vec3{v, v, -v}, {v, 0, 0}, {}));
  }
  return list;
}

// Assignment reuses a list of the same kinds in place; whatever the list
// held, the result is byte for byte what a fresh copy holds.
TEST(VarListAssign, EqualsAFreshCopyWhateverTheListHeld) {
  const std::string kinds70(70, 'f');
  const std::vector<std::string> shortNames{"a", "speed"},
      edge{std::string(15, 'e'), std::string(16, 'E')}, longNames{std::string(200, 'L'), "b"};
  const std::vector<VarList> lists = {
      Shaped("", {"x"}, 0),         Shaped("f", shortNames, 1),  Shaped("f", longNames, 2),
      Shaped("fvf", shortNames, 3), Shaped("fvf", longNames, 4), Shaped("vff", shortNames, 5),
      Shaped("ff", edge, 6),        Shaped("ff", {"x", "y"}, 7), Shaped(kinds70, shortNames, 8),
      Shaped(kinds70, longNames, 9)};
  for (size_t t = 0; t < lists.size(); ++t) {
    for (size_t s = 0; s < lists.size(); ++s) {
      SCOPED_TRACE(testing::Message() << "target " << t << ", source " << s);
      VarList target(lists[t]);
      target = lists[s];
      const VarList fresh(lists[s]);
      ASSERT_EQ(target.Count(), fresh.Count());
      for (size_t i = 0; i < fresh.Count(); ++i) {
        VarBase& got = *target._vars[i];
        VarBase& want = *fresh._vars[i];
        EXPECT_EQ(got.Type(), want.Type());
        EXPECT_EQ(got.Mode(), want.Mode());
        EXPECT_EQ(std::memcmp(got.Name(), want.Name(), kVarNameSize), 0);
        ASSERT_EQ(got.FloatValue() == nullptr, want.FloatValue() == nullptr);
        if (want.FloatValue() != nullptr) {
          const auto& g = static_cast<VarFloat&>(got);
          const auto& w = static_cast<VarFloat&>(want);
          EXPECT_EQ(std::vector<float>({g._value, g._min, g._max}),
                    std::vector<float>({w._value, w._min, w._max}));
        } else {
          EXPECT_EQ(std::memcmp(&static_cast<VarVec3&>(got)._value,
                                &static_cast<VarVec3&>(want)._value, 36),
                    0);
        }
      }
    }
  }
}

TEST(VarListAccessDeathTest, IndexOutOfRangeStops) {
  VarList list = MakeList(2);
  EXPECT_DEATH((void)list._vars[2], "");
}

}  // namespace
