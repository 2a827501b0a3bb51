// VarBase, VarFloat, VarVec3 and VarList.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "hostapi/vantic_vars.h"
#include "tests/support/test_support.h"

namespace {

VarFloat Float(const char* name, float value) {
  return VarFloat(VarType_Float, VarMode_In, name, value, -10.0f, 10.0f);
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

// Every byte a list's variables hold: type, mode, the whole name field and
// value, minimum and maximum.
std::string Bytes(const VarList& list) {
  std::string bytes;
  for (const VarBase* var : list._vars) {
    const int header[2] = {var->Type(), var->Mode()};
    bytes.append(reinterpret_cast<const char*>(header), sizeof(header));
    bytes.append(var->Name(), kVarNameSize);
    if (var->Type() == VarType_Float) {
      const auto& f = static_cast<const VarFloat&>(*var);
      for (float x : {f._value, f._min, f._max}) bytes.append(reinterpret_cast<const char*>(&x), 4);
    } else {
      bytes.append(reinterpret_cast<const char*>(&static_cast<const VarVec3&>(*var)._value), 36);
    }
  }
  return bytes;
}

// A null name is empty; only a type out of range is reported, at level
// one, and kept. (Modes cut to sixteen bits: tests/fault/parameter_range_test;
// names cut to 255 characters and '%' kept: tests/fault/user_text_test.)
TEST(VarConstruction, NullNameAndTypeOutOfRange) {
  EXPECT_STREQ(Float(nullptr, 0).Name(), "");
  testing_support::MessageCapture capture;
  VarFloat negative(-1, VarMode_In, "n", 0, 0, 0);  // the check is on the signed type
  EXPECT_EQ(capture.Count(), 0u);
  const VarFloat bad(VarType_MAX, VarMode_In, "x", 0, 0, 0);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().level, 1u);
  EXPECT_EQ(capture.Last().text, "VarBase::VarBase().type<VarType_MAX");
  EXPECT_EQ(bad.Type(), VarType_MAX);
}

TEST(VarListCopy, CopiesAreDeepAndIndependent) {
  VarList original = Shaped("fvf", {"a", "b", "c"}, 0);
  VarList copy(original);
  *copy._vars[0]->FloatValue() = 42.0f;
  original.ClearVars();
  EXPECT_EQ(*copy._vars[0]->FloatValue(), 42.0f);  // the copy outlives what it copied
  VarList target = Shaped("fvfvf", {"x"}, 0);
  target = copy;
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

// Assignment reuses a list of the same kinds in place; whatever the list
// held, the result is byte for byte what a fresh copy holds, and refers to
// the same object.
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
      SCOPED_TRACE("target " + std::to_string(t) + ", source " + std::to_string(s));
      VarList source(lists[s]);
      source._thisObject = reinterpret_cast<VanticObject*>(&source);
      VarList target(lists[t]);
      target = source;
      EXPECT_EQ(Bytes(target), Bytes(VarList(lists[s])));
      EXPECT_EQ(target._thisObject, source._thisObject);
    }
  }
}

TEST(VarListAccessDeathTest, IndexOutOfRangeStops) {
  VarList list = Shaped("ff", {"a"}, 0);
  EXPECT_DEATH((void)list._vars[2], "");
}

}  // namespace
