// Memory running out: an operation may fail, but it leaves the channel able
// to recover, and a report never fails and never throws.
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/diagnostics/diagnostic_report.h"
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
  struct Layout {
    VarList params;
    bool isStatic;
    std::vector<std::string> links;
    float status;  // "This" is never plugged
  };
  const Layout layouts[] = {
      {Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}, {"more", VarType_Vec3, 2}}),
       false, {"This", "in", "out", "more"}, kPrcStatusInputs},
      {Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}}), true, {"in", "out"},
       kPrcStatusOk},
  };
  Register("Car", "Drive", true, layouts[1].params);
  Ubo_VanticPrcCall ch;
  ch.SetPrcOwnerClass("Car");
  ch.SetPrcName("Drive");
  auto in = NewValue(1.0f);
  ASSERT_EQ(Evaluate(ch), kPrcStatusInputs);
  ASSERT_TRUE(ch.PlugChild(0, in.get()));
  bool refused = true;
  for (size_t n = 0; refused; ++n) {
    SCOPED_TRACE("allocation " + std::to_string(n));
    const Layout& layout = layouts[n % 2];
    ASSERT_TRUE(Procedures().ChangeParameters("Car", "Drive", layout.params, layout.isStatic));
    NextFrame();
    {
      AllocationProbe probe;
      probe.FailFrom(n);
      ch.GetFloat();
      refused = probe.Refused();
    }
    EXPECT_EQ(Evaluate(ch), layout.status);
    EXPECT_EQ(LinkNames(ch), layout.links);
    EXPECT_EQ(ch.GetChild(layout.isStatic ? 0 : 1), in.get());
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

TEST_F(OutOfMemoryTest, ReportsAreMadeWithoutMemory) {
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
         PrcCallTestPeer::SetRefCount(0);
         delete ch;
         ch = nullptr;
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t live = PrcCallTestPeer::RefCount();
    auto* ch = new Ubo_VanticPrcCall();
    NextFrame();
    MessageSink oldSink = nullptr;
    void* oldContext = nullptr;
    globalEngine->SetMessageSink(&LastMessage::Sink, nullptr, &oldSink, &oldContext);
    LastMessage::count = 0;
    bool threw = false;
    {
      AllocationProbe probe;
      probe.FailFrom(0);
      try {
        c.run(ch);
      } catch (...) {
        threw = true;
      }
    }
    globalEngine->SetMessageSink(oldSink, oldContext);
    EXPECT_FALSE(threw);
    EXPECT_EQ(LastMessage::count, c.count);
    EXPECT_EQ(LastMessage::lastLevel, 1u);
    EXPECT_EQ(LastMessage::text_, c.last);
    delete ch;
    PrcCallTestPeer::SetRefCount(live);
  }
}

// A channel that cannot be made is answered as null: nothing unwinds into
// the engine, and no instance is left counted.
TEST_F(OutOfMemoryTest, InitDllAnswersNullWhenNoChannelCanBeMade) {
  const uint32_t live = PrcCallTestPeer::RefCount();
  DllInterface* made = reinterpret_cast<DllInterface*>(1);
  {
    AllocationProbe probe;
    probe.FailFrom(0);
    made = InitDLL();
  }
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(PrcCallTestPeer::RefCount(), live);
}

}  // namespace
}  // namespace prccall_test
