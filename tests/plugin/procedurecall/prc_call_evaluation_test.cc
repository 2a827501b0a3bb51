// Evaluating a procedure-call channel where the lifecycle model does not
// reach: exact report texts, a channel's own engine, throwing children.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

// A static procedure "Sum/Add": total (in and out) += step (in). Counts its
// executions.
class PrcCallEvaluationTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    const VarList params = Params({{"step", VarType_Float, 1}, {"total", VarType_Float, 3}});
    _procedure = Register("Sum", "Add", true, params, [this](VarList& vars) {
      ++_executions;
      FloatValue(vars, "total") += FloatValue(vars, "step");
      return 0;
    });
  }

  // Binds the channel and plugs step and total.
  void Wire() {
    _ch.SetPrcOwnerClass("Sum");
    _ch.SetPrcName("Add");
    ASSERT_EQ(_ch.UpdatePrc("Sum", "Add"), kUpdatePrcBound);
    ASSERT_TRUE(_ch.PlugChild(0, _step.get()));
    ASSERT_TRUE(_ch.PlugChild(1, _total.get()));
    _messages.Clear();
  }

  float Evaluate() {
    NextFrame();
    return _ch.GetFloat();
  }

  VeskProcedure* _procedure = nullptr;
  int _executions = 0;
  std::unique_ptr<Ubo_ValueChannel> _step = NewValue(1.5f);
  std::unique_ptr<Ubo_ValueChannel> _total = NewValue(0.0f);
  Ubo_VanticPrcCall _ch;
};

TEST_F(PrcCallEvaluationTest, UnknownProcedureGives1WithThreeReports) {
  Ubo_VanticPrcCall ch;
  NextFrame();
  EXPECT_EQ(ch.GetFloat(), kPrcStatusFailed);
  const std::string prefix = "VanticPrcCall_Call.CGR[].Channel[VanticPrcCall_Call].";
  ASSERT_EQ(_messages.CountAtLevel(1), 3u);
  EXPECT_EQ(_messages.Messages()[0].text, prefix + "UpdatingProcedure[/].NotFound!");
  EXPECT_EQ(_messages.Messages()[1].text, prefix + "CannotFindProcedure.Skipping...");
  EXPECT_EQ(_messages.Messages()[2].text, prefix + "CannotFindProcedure.Skipping...");
}

TEST_F(PrcCallEvaluationTest, ReportsGoThroughTheGlobalAndTheChannelsEngine) {
  EngineInterface own;
  testing_support::MessageCapture ownMessages(&own);
  Ubo_VanticPrcCall ch;
  ch._engine = &own;
  own.AdvanceRenderCount();
  NextFrame();
  EXPECT_EQ(ch.GetFloat(), kPrcStatusFailed);
  EXPECT_EQ(_messages.CountContaining("CannotFindProcedure.Skipping..."), 1u);
  EXPECT_EQ(ownMessages.CountContaining("CannotFindProcedure.Skipping..."), 1u);
  EXPECT_EQ(ownMessages.CountAtLevel(1), ownMessages.Count());
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
  Wire();
  ThrowingChannel faulty;
  ASSERT_TRUE(_ch.PlugChild(1, &faulty));  // total: read and written

  faulty._throwOnRead = true;
  EXPECT_EQ(Evaluate(), kPrcStatusInputs);
  EXPECT_EQ(_executions, 0);
  EXPECT_EQ(_messages.CountContaining("].ProcedureForVesk::FromDataChannelToVar()"), 2u);

  faulty._throwOnRead = false;
  faulty._throwOnWrite = true;
  _messages.Clear();
  EXPECT_EQ(Evaluate(), kPrcStatusFailed);
  EXPECT_EQ(_executions, 1);
  EXPECT_EQ(_messages.CountContaining("].UnexpectedFailure.Skipping..."), 2u);

  faulty._throwOnWrite = false;
  EXPECT_EQ(Evaluate(), kPrcStatusOk);  // the binding survived both
  EXPECT_EQ(_ch.GetBoundProcedure(), _procedure);
}

}  // namespace
}  // namespace prccall_test
