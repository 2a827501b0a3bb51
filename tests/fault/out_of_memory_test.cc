// Memory running out: an operation may fail, but it leaves the channel able
// to recover, and a report never fails and never throws.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/entry/entry.h"
#include "tests/fault/allocation_probe.h"
#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using fault::AllocationProbe;
using OutOfMemoryTest = PrcCallTest;

// Memory running out at each allocation of a rebinding in turn: that
// evaluation fails, and the next one, with memory back, binds again and
// makes the links whole.
TEST_F(OutOfMemoryTest, RebindingCutShortBindsAgainAtTheNextEvaluation) {
  // Each rebinding goes to the other list: its links, and its status
  // ("This" is never plugged).
  const VarList kStatic = Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}});
  VarList withThis = kStatic;
  withThis.AddVar(VectorVar("more", VarMode_Out));
  Register("Car", "Drive", true, kStatic);
  Ubo_VanticPrcCall ch;
  auto in = NewValue(1.0f);
  ASSERT_EQ(ch.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  ASSERT_TRUE(ch.PlugChild(0, in.get()));
  bool refused = true;
  for (size_t n = 0; refused; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    const bool isStatic = n % 2 == 1;
    ASSERT_TRUE(Procedures().ChangeParameters("Car", "Drive", isStatic ? kStatic : withThis, isStatic));
    NextFrame();
    {
      AllocationProbe probe;
      probe.FailFrom(n);
      ch.GetFloat();
      refused = probe.Refused();
    }
    EXPECT_EQ(Evaluate(ch), isStatic ? kPrcStatusOk : kPrcStatusInputs);
    EXPECT_EQ(LinkNames(ch), isStatic ? (std::vector<std::string>{"in", "out"})
                                      : (std::vector<std::string>{"This", "in", "out", "more"}));
    EXPECT_EQ(ch.GetChild(isStatic ? 0 : 1), in.get());
  }
}

// Keeps the last message shown in place: storing it allocates nothing.
struct LastMessage {
  static void Sink(void*, unsigned level, const char* text) {
    ++count;
    lastLevel = level;
    std::snprintf(text_, sizeof(text_), "%s", text);
  }
  static inline char text_[1024];
  static inline unsigned lastLevel = 0;
  static inline int count = 0;
};

TEST_F(OutOfMemoryTest, ReportsAndInitDllWithoutMemory) {
  const std::string head = "MultiModeChannel<class Ubo_FloatChannel,class Ubo_VanticPrcCall>::";
  const std::string prefix = "VanticPrcCall_Call.CGR[].Channel[VanticPrcCall_Call].";
  struct Case {
    const char* what;
    void (*run)(Ubo_VanticPrcCall*&);
    int count;
    std::string last;
  };
  const Case cases[] = {
      {"destroyed with the count at 0",
       [](Ubo_VanticPrcCall*& ch) {
         const uint32_t live = PrcCallTestPeer::RefCount();
         PrcCallTestPeer::SetRefCount(0);
         delete ch;
         ch = nullptr;
         PrcCallTestPeer::SetRefCount(live - 1);
       },
       1, head + "~MultiModeChannel()._refCount>0"},
      {"failed check", [](Ubo_VanticPrcCall*& ch) { ch->GetModeFromIndex(99); }, 1,
       head + "GetModeFromIndex().index<_modeOrder.size()"},
      {"invalid mode", [](Ubo_VanticPrcCall*& ch) { ch->SetCurrentMode(42); }, 1,
       prefix + head + "SetCurrentMode().InvalidMode[42]"},
      {"no procedure", [](Ubo_VanticPrcCall*& ch) { ch->UpdatePrc("Ghost", "Fly"); }, 1,
       prefix + "UpdatingProcedure[Ghost/Fly].NotFound!"},
      {"evaluation", [](Ubo_VanticPrcCall*& ch) { ch->GetFloat(); }, 3,
       prefix + "CannotFindProcedure.Skipping..."},
      // Answered as null: nothing unwinds into the engine, and no instance
      // is left counted.
      {"no channel made", [](Ubo_VanticPrcCall*&) { EXPECT_EQ(InitDLL(), nullptr); }, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t live = PrcCallTestPeer::RefCount();
    auto* ch = new Ubo_VanticPrcCall();
    NextFrame();
    LastMessage::count = 0;
    LastMessage::lastLevel = 0;
    LastMessage::text_[0] = '\0';
    {
      testing_support::MessageCapture restores;  // the sink in place before
      globalEngine->SetMessageSink(&LastMessage::Sink, nullptr);
      AllocationProbe probe;
      probe.FailFrom(0);
      EXPECT_NO_THROW(c.run(ch));
    }
    EXPECT_EQ(LastMessage::count, c.count);
    EXPECT_EQ(LastMessage::lastLevel, c.count > 0 ? 1u : 0u);
    EXPECT_EQ(LastMessage::text_, c.last);
    delete ch;
    EXPECT_EQ(PrcCallTestPeer::RefCount(), live);
  }
}

}  // namespace
}  // namespace prccall_test
