// Evaluating a procedure-call channel where the lifecycle model does not
// reach: exact report texts, a channel's own engine, throwing children.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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

}  // namespace
}  // namespace prccall_test
