// When channels share one parameter list and when they must not.
#include "plugin/procedurecall/shared_param_list.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "hostapi/vantic_vars.h"

namespace {

const VarFloat kA(VarType_Float, 1, "a", 1.0f, 0.0f, 10.0f);
const VarVec3 kP(VarType_Vec3, 2, "p", Vec3{1, 2, 3}, Vec3{0, 0, 0}, Vec3{9, 9, 9});

template <class A, class B>
VarList Two(const A& a, const B& b) {
  VarList list;
  list.AddVar(a);
  list.AddVar(b);
  return list;
}

VarList Layout(const std::function<void(VarList&)>& change = nullptr) {
  VarList list = Two(kA, kP);
  if (change) change(list);
  return list;
}

VarFloat& FloatAt(VarList& list, size_t i) { return static_cast<VarFloat&>(*list._vars[i]); }
VarVec3& VectorAt(VarList& list, size_t i) { return static_cast<VarVec3&>(*list._vars[i]); }

// A list is handed out again only while the procedure's list equals it in
// every variable and in its target object, even when the revision stays.
TEST(SharedParamList, SharedOnlyWhileEveryVariableIsEqual) {
  VanticObject* const object = reinterpret_cast<VanticObject*>(uintptr_t{64});
  const std::function<void(VarList&)> changes[] = {
      [](VarList& l) { FloatAt(l, 0)._value = 2.0f; },
      [](VarList& l) { FloatAt(l, 0)._max = 11.0f; },
      [](VarList& l) { VectorAt(l, 1)._value.z = 4.0f; },
      [](VarList& l) { VectorAt(l, 1)._min.x = -1.0f; },
      [](VarList& l) { l.AddVar(VarFloat(VarType_Float, 1, "b", 0.0f, 0.0f, 1.0f)); },
      [object](VarList& l) { l._thisObject = object; },
      [](VarList& l) { l = Two(VarFloat(VarType_Float, 1, "A", 1.0f, 0.0f, 10.0f), kP); },
      // The same type code, mode, name and bytes, of another kind.
      [](VarList& l) { l = Two(VarVec3(VarType_Float, 1, "a", Vec3{1, 0, 10}, {}, {}), kP); },
      [](VarList& l) { l = Two(kA, VarFloat(VarType_Vec3, 2, "p", 1.0f, 2.0f, 3.0f)); },
      [](VarList& l) { FloatAt(l, 0) = VarFloat(VarType_Float, 3, "a", 1.0f, 0.0f, 10.0f); },
      [](VarList& l) { FloatAt(l, 0) = VarFloat(VarType_Vec3, 1, "a", 1.0f, 0.0f, 10.0f); },
  };
  for (size_t i = 0; i < std::size(changes); ++i) {
    Procedure procedure("Lab", "mix", false, Layout());
    const ParamListRef first = SharedParamList(procedure);
    EXPECT_EQ(SharedParamList(procedure).get(), first.get()) << i;
    procedure._params = Layout(changes[i]);
    const ParamListRef second = SharedParamList(procedure);
    EXPECT_NE(second.get(), first.get()) << i;
    EXPECT_EQ(second->Count(), procedure._params.Count()) << i;
    EXPECT_EQ(second->_thisObject, procedure._params._thisObject) << i;
    EXPECT_EQ(FloatAt(*first, 0)._value, 1.0f) << "a shared list never changes, case " << i;
  }
}

// A new revision takes a new list; the sixteen lists handed out last are
// remembered, older ones are not; a list freed with its last reference is
// forgotten without being touched again.
TEST(SharedParamList, RevisionsAndTheRecentLists) {
  Procedure procedure("Lab", "mix", false, Layout());
  const ParamListRef before = SharedParamList(procedure);
  ++procedure._revision;
  EXPECT_NE(SharedParamList(procedure).get(), before.get());

  std::vector<std::unique_ptr<Procedure>> others;
  std::vector<ParamListRef> held;
  for (int i = 0; i < 17; ++i) {
    others.push_back(std::make_unique<Procedure>("Lab", "other", false, Layout()));
    held.push_back(SharedParamList(*others.back()));
  }
  EXPECT_EQ(SharedParamList(*others[1]).get(), held[1].get());  // the oldest remembered
  EXPECT_NE(SharedParamList(*others.front()).get(), held.front().get());
  EXPECT_EQ(SharedParamList(*others.back()).get(), held.back().get());
  held.clear();
  for (const auto& other : others) EXPECT_EQ(SharedParamList(*other)->Count(), 2u);
}

// References count: the list goes with the last one, whatever the order
// of copies, self-assignments and resets; a null reference holds nothing.
TEST(SharedParamList, ReferencesCountTheirList) {
  ParamListRef none(nullptr);
  EXPECT_EQ(none.get(), nullptr);
  ParamListRef own = OwnParamList(Layout());
  VarList* const list = own.get();
  ParamListRef copy = own;
  const ParamListRef& alias = copy;
  copy = alias;
  copy = own;
  own = none;
  EXPECT_EQ(own.get(), nullptr);
  EXPECT_EQ(copy.get(), list);
  EXPECT_EQ(copy->Count(), 2u);
  ParamListRef again(copy);
  copy.reset();
  EXPECT_EQ(again->Count(), 2u);
  again.reset(new VarList());
  EXPECT_EQ(again->Count(), 0u);
  // Nothing of a list stays once its last reference went (sanitizer
  // builds count their own way; LeakSanitizer watches there).
  const size_t before = mallinfo2().uordblks;
  for (int i = 0; i < 100; ++i) OwnParamList(Layout());
  EXPECT_EQ(mallinfo2().uordblks, before);
}

// Loaded layouts are shared among equal lists only, never with a
// procedure's list, and are forgotten with their last channel.
TEST(SharedParamList, LoadedListsShareEqualLayouts) {
  const VarList loaded = Layout();
  const ParamListRef first = LoadedParamList(loaded);
  EXPECT_NE(first.get(), &loaded);
  EXPECT_EQ(first->Count(), 2u);
  EXPECT_EQ(first.Layout(), 0u);
  EXPECT_EQ(LoadedParamList(Layout()).get(), first.get());
  EXPECT_NE(LoadedParamList(Layout([](VarList& l) { FloatAt(l, 0)._value = 2.0f; })).get(), first.get());
  EXPECT_NE(LoadedParamList(Layout([](VarList& l) { l._thisObject = reinterpret_cast<VanticObject*>(uintptr_t{64}); }))
                .get(),
            first.get());
  Procedure procedure("Lab", "mix", false, Layout());
  EXPECT_NE(SharedParamList(procedure).get(), first.get());

  // Gone with its last reference: the next load makes a new list.
  ParamListRef second = LoadedParamList(Layout([](VarList& l) { FloatAt(l, 0)._value = 3.0f; }));
  VarList* const gone = second.get();
  EXPECT_EQ(LoadedParamList(*gone).get(), gone);
  second.reset();
  const ParamListRef third = LoadedParamList(Layout([](VarList& l) { FloatAt(l, 0)._value = 3.0f; }));
  EXPECT_EQ(FloatAt(*third, 0)._value, 3.0f);
}

}  // namespace
