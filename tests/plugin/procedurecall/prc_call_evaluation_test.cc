// Evaluating a procedure-call channel where the lifecycle model does not
// reach: exact report texts, a channel's own engine, throwing children.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/entry/entry.h"
#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallEvaluationTest = PrcCallTest;

// The lookup's report, then the evaluation's, which also goes to the
// channel's own engine.
TEST_F(PrcCallEvaluationTest, UnknownProcedureGives1AndReportsThroughBothEngines) {
  EngineInterface own;
  testing_support::MessageCapture ownMessages(&own);
  Ubo_VanticPrcCall ch;
  ch._engine = &own;
  ch.SetPrcOwnerClass("Ghost");
  ch.SetPrcName("Fly");
  own.AdvanceRenderCount();
  EXPECT_EQ(ch.GetFloat(), kPrcStatusFailed);
  const std::string prefix = "VanticPrcCall_Call.CGR[].Channel[VanticPrcCall_Call].";
  ASSERT_EQ(_messages.CountAtLevel(1), 2u);
  EXPECT_EQ(_messages.Messages()[0].text, prefix + "UpdatingProcedure[Ghost/Fly].NotFound!");
  EXPECT_EQ(_messages.Messages()[1].text, prefix + "CannotFindProcedure.Skipping...");
  ASSERT_EQ(ownMessages.CountAtLevel(1), 1u);
  EXPECT_EQ(ownMessages.Last().text, prefix + "CannotFindProcedure.Skipping...");
}

// A float channel that throws when read or written, as a faulty host
// channel might.
class ThrowingChannel final : public Ubo_FloatChannel {
 public:
  float GetFloat() override {
    if (_throwOnRead) throw std::runtime_error("read failed");
    return _value;
  }
  void SetFloat(float value) override {
    if (_throwOnWrite) throw std::runtime_error("write failed");
    Ubo_FloatChannel::SetFloat(value);
  }
  bool _throwOnRead = false;
  bool _throwOnWrite = false;
};

TEST_F(PrcCallEvaluationTest, ExceptionsFromChildChannelsNeverReachTheHost) {
  int executions = 0;
  Register("Sum", "Add", true, Params({{"step", VarType_Float, 1}, {"total", VarType_Float, 3}}),
           [&executions](VarList&) {
             ++executions;
             return 0;
           });
  auto step = NewValue(1.5f);
  ThrowingChannel faulty;  // total: read and written
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Sum", "Add"), kUpdatePrcBound);
  ASSERT_TRUE(ch.PlugChild(0, step.get()));
  ASSERT_TRUE(ch.PlugChild(1, &faulty));

  faulty._throwOnRead = true;
  EXPECT_EQ(Evaluate(ch), kPrcStatusInputs);
  EXPECT_EQ(executions, 0);
  EXPECT_EQ(_messages.CountContaining("].ProcedureForVesk::FromDataChannelToVar()"), 2u);

  faulty._throwOnRead = false;
  faulty._throwOnWrite = true;
  EXPECT_EQ(Evaluate(ch), kPrcStatusFailed);
  EXPECT_EQ(executions, 1);
  EXPECT_EQ(_messages.CountContaining("].UnexpectedFailure.Skipping..."), 2u);

  faulty._throwOnWrite = false;
  EXPECT_EQ(Evaluate(ch), kPrcStatusOk);  // the binding survived both
}

// An evaluation runs the procedure it bound at its start to its end and
// writes its outputs back, whatever the procedure's body or a child does
// to the channel meanwhile: bound elsewhere or reloaded after the body
// removed its procedure (retired procedures freed on the way: under the
// sanitizers a freed body is caught), or unbound by a child.
TEST_F(PrcCallEvaluationTest, RunsTheProcedureItBoundToTheEnd) {
  const VarList inOut = Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}});
  Register("Math", "Other", true, inOut);
  Ubo_VanticPrcCall parent;
  ASSERT_EQ(parent.UpdatePrc("Math", "Other"), kUpdatePrcBound);
  const std::vector<uint8_t> otherRecord = SaveFile(parent);
  std::function<void()> childAct;
  Register("Math", "Child", true, VarList(), [&](VarList&) {
    if (childAct) childAct();
    return 0;
  });
  Ubo_VanticPrcCall child;
  child.SetChannelTypeRecord(*GetType());
  child.SetPrcOwnerClass("Math");
  child.SetPrcName("Child");
  auto out = NewValue();
  struct Case {
    const char* what;
    bool byChild;
    std::function<void()> act;
  };
  const Case cases[] = {
      {"rebound by its body", false, [&] { parent.UpdatePrc("Math", "Other"); }},
      {"reloaded by its body", false, [&] { LoadFile(otherRecord, parent); }},
      {"unbound by its child", true, [&] { parent.UpdatePrc("Ghost", "None"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string state(40, 'x');  // kept on the heap with the body
    Register("Math", "Run", true, inOut, [&, state](VarList& vars) {
      if (!c.byChild) {
        Procedures().Remove("Math", "Run");
        c.act();
        for (int i = 0; i < 100; ++i) {  // retirements enough for a sweep
          Register("Math", "Churn", true, VarList());
          Procedures().Remove("Math", "Churn");
        }
      }
      *vars._vars[1]->FloatValue() = static_cast<float>(state.size());
      return 0;
    });
    childAct = c.byChild ? c.act : nullptr;
    ASSERT_EQ(parent.UpdatePrc("Math", "Run"), kUpdatePrcBound);
    ASSERT_TRUE(parent.PlugChild(0, &child));
    ASSERT_TRUE(parent.PlugChild(1, out.get()));
    EXPECT_EQ(Evaluate(parent), kPrcStatusOk);
    EXPECT_EQ(out->_value, 40.0f);
    Procedures().Remove("Math", "Run");
  }
}

}  // namespace
}  // namespace prccall_test
