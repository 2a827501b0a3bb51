// Evaluating a procedure-call channel: binding when needed, inputs,
// execution, outputs, status; following updates of the procedure.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

// A static procedure "Sum/Add": total (in and out) += step (in); the
// output vector pos is (total, 2 total, -total). Counts its executions.
class PrcCallEvaluationTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    _params =
        Params({{"step", VarType_Float, 1}, {"total", VarType_Float, 3}, {"pos", VarType_Vec3, 2}});
    _procedure = Register("Sum", "Add", true, _params, [this](VarList& vars) {
      ++_executions;
      if (_result != 0) return _result;
      float& total = FloatValue(vars, "total");
      total += FloatValue(vars, "step");
      VectorValue(vars, "pos") = Vec3{total, 2 * total, -total};
      return 0;
    });
  }

  // Binds the channel and plugs step, total and pos.
  void Wire() {
    _ch.SetPrcOwnerClass("Sum");
    _ch.SetPrcName("Add");
    ASSERT_EQ(_ch.UpdatePrc("Sum", "Add"), kUpdatePrcBound);
    ASSERT_TRUE(_ch.PlugChild(0, _step.get()));
    ASSERT_TRUE(_ch.PlugChild(1, _total.get()));
    ASSERT_TRUE(_ch.PlugChild(2, _pos.get()));
    _messages.Clear();
  }

  float Evaluate() {
    NextFrame();
    return _ch.GetFloat();
  }

  VarList _params;
  VeskProcedure* _procedure = nullptr;
  int _executions = 0;
  int _result = 0;
  std::unique_ptr<Ubo_ValueChannel> _step = NewValue(1.5f);
  std::unique_ptr<Ubo_ValueChannel> _total = NewValue(0.0f);
  std::unique_ptr<Ubo_VectorChannel> _pos = NewVector();
  Ubo_VanticPrcCall _ch;
};

TEST_F(PrcCallEvaluationTest, OutputsAreWrittenBackAndFedToTheNextFrame) {
  Wire();
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_FLOAT_EQ(_total->GetFloat(), 1.5f);
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_FLOAT_EQ(_total->GetFloat(), 3.0f);
  EXPECT_FLOAT_EQ(_pos->GetVector().x, 3.0f);
  EXPECT_FLOAT_EQ(_pos->GetVector().z, -3.0f);
  EXPECT_EQ(_messages.Count(), 0u);
  // The procedure's own list is never written.
  EXPECT_EQ(FloatValue(_procedure->_params, "total"), 0.0f);
}

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

// Reads after the first of a render count repeat its status silently,
// whatever the outcome, and evaluate nothing.
TEST_F(PrcCallEvaluationTest, LaterReadsOfARenderCountRepeatItsStatus) {
  struct Case {
    const char* what;
    float status;
    std::function<void()> spoil;
  };
  const Case cases[] = {
      {"executed", kPrcStatusOk, [] {}},
      {"execution failed", kPrcStatusFailed, [this] { _result = 5; }},
      {"no procedure", kPrcStatusFailed,
       [this] {
         _ch.SetPrcName("Gone");
         _ch.UpdatePrc("Sum", "Gone");
       }},
      {"inputs not taken", kPrcStatusInputs, [this] { ASSERT_TRUE(_ch.PlugChild(0, nullptr)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Wire();
    c.spoil();
    EXPECT_EQ(Evaluate(), c.status);  // binds again when the name changed
    const size_t messages = _messages.Count();
    const int executions = _executions;
    for (int read = 0; read < 3; ++read) EXPECT_EQ(_ch.GetFloat(), c.status);
    EXPECT_EQ(_messages.Count(), messages);
    EXPECT_EQ(_executions, executions);
    _result = 0;
  }
}

// x = 1; c1 = Add(a = x, b unplugged); c2 = Add(a = c1, b = x) -> r2. c1's
// inputs are not taken (3.0), whichever channel the host reads first, and
// c2 reads that status.
TEST_F(PrcCallEvaluationTest, AChainedCallReadsTheStatusOfItsRenderCount) {
  Register("Math", "Add", true,
           Params({{"a", VarType_Float, 1}, {"b", VarType_Float, 1}, {"result", VarType_Float, 2}}),
           [](VarList& vars) {
             FloatValue(vars, "result") = FloatValue(vars, "a") + FloatValue(vars, "b");
             return 0;
           });
  for (const bool c1First : {true, false}) {
    SCOPED_TRACE(c1First ? "c1 first" : "c2 first");
    auto x = NewValue(1.0f);
    auto r2 = NewValue();
    Ubo_VanticPrcCall c1;
    Ubo_VanticPrcCall c2;
    ASSERT_EQ(c1.UpdatePrc("Math", "Add"), kUpdatePrcBound);
    ASSERT_EQ(c2.UpdatePrc("Math", "Add"), kUpdatePrcBound);
    ASSERT_TRUE(c1.PlugChild(0, x.get()));
    ASSERT_TRUE(c2.PlugChild(0, &c1));
    ASSERT_TRUE(c2.PlugChild(1, x.get()));
    ASSERT_TRUE(c2.PlugChild(2, r2.get()));
    _messages.Clear();
    NextFrame();
    const float first = c1First ? c1.GetFloat() : c2.GetFloat();
    EXPECT_EQ(first, c1First ? kPrcStatusInputs : kPrcStatusOk);
    EXPECT_EQ(c1.GetFloat(), kPrcStatusInputs);
    EXPECT_EQ(c2.GetFloat(), kPrcStatusOk);
    EXPECT_FLOAT_EQ(r2->GetFloat(), 4.0f);
    EXPECT_EQ(_messages.CountContaining("].ProcedureForVesk::FromDataChannelToVar()"), 2u);

    // A loop: c1's b is c2. Read first, c1 is read again by c2 while it is
    // evaluated, and answers its previous status (3.0).
    ASSERT_TRUE(c1.PlugChild(1, &c2));
    NextFrame();
    EXPECT_EQ(c1.GetFloat(), kPrcStatusOk);
    EXPECT_FLOAT_EQ(r2->GetFloat(), 4.0f);
  }
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

TEST_F(PrcCallEvaluationTest, InputsNotTakenGive3WithoutExecution) {
  Wire();
  ASSERT_TRUE(_ch.PlugChild(0, nullptr));
  EXPECT_EQ(Evaluate(), kPrcStatusInputs);
  EXPECT_EQ(_executions, 0);
  EXPECT_EQ(_messages.CountAtLevel(1), 2u);
  EXPECT_EQ(_messages.CountContaining("].ProcedureForVesk::FromDataChannelToVar()"), 2u);
  // The binding stays: the next frame with the input back executes.
  ASSERT_TRUE(_ch.PlugChild(0, _step.get()));
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_EQ(_executions, 1);
}

TEST_F(PrcCallEvaluationTest, FailedExecutionGives1AndWritesNothingBack) {
  Wire();
  _total->SetFloat(10.0f);
  _result = 5;
  EXPECT_EQ(Evaluate(), kPrcStatusFailed);
  EXPECT_EQ(_executions, 1);
  EXPECT_FLOAT_EQ(_total->GetFloat(), 10.0f);
  EXPECT_EQ(_messages.CountContaining("]._procedure->Execute()"), 2u);
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

TEST_F(PrcCallEvaluationTest, RevisionChangeIsLookedUpAgainWithTheLinksKept) {
  Wire();
  ASSERT_EQ(Evaluate(), kPrcStatusOk);
  ASSERT_TRUE(Procedures().ChangeParameters("Sum", "Add", _params, true));
  _messages.Clear();
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_EQ(_messages.CountContaining("UpdatingProcedure[Sum/Add].OK!"), 1u);
  EXPECT_EQ(_messages.CountContaining("CreatingNewSetOfChildLinks!"), 0u);
  EXPECT_FLOAT_EQ(_total->GetFloat(), 3.0f);  // links kept, still plugged
  // A bound channel does not look up again.
  _messages.Clear();
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_EQ(_messages.Count(), 0u);
}

TEST_F(PrcCallEvaluationTest, RenameIsFollowedWhileTheBindingStays) {
  Wire();
  const uint32_t revision = _ch.GetPrcRevision();
  ASSERT_TRUE(Procedures().Rename("Sum", "Add", "Math", "Accumulate"));
  EXPECT_EQ(_ch.GetPrcName(), "Accumulate");
  EXPECT_STREQ(_ch.GetChannelName(), "Math :: Accumulate");
  EXPECT_EQ(_ch.GetPrcRevision(), revision);
  EXPECT_EQ(LinkNames(_ch), (std::vector<std::string>{"step", "total", "pos"}));

  _messages.Clear();
  EXPECT_EQ(Evaluate(), kPrcStatusOk);
  EXPECT_EQ(_messages.CountContaining("UpdatingProcedure[Math/Accumulate].OK!"), 1u);
  EXPECT_FLOAT_EQ(_total->GetFloat(), 1.5f);
}

TEST_F(PrcCallEvaluationTest, UpdateWhileFollowingNothingIsIgnored) {
  _ch.SetPrcOwnerClass("Sum");
  _ch.OnProcedureUpdate();
  EXPECT_EQ(_ch.GetPrcOwnerClass(), "Sum");
  EXPECT_STREQ(_ch.GetChannelName(), "VanticPrcCall_Call");
}

// A procedure-call channel plugged into another's input is evaluated while
// the outer one takes its inputs; each works on its own copy.
TEST_F(PrcCallEvaluationTest, NestedEvaluationsKeepTheirOwnCopies) {
  Register("Math", "Seven", true, Params({{"out", VarType_Float, 2}}), [](VarList& vars) {
    FloatValue(vars, "out") = 7.0f;
    return 0;
  });
  Register("Math", "Twice", true,
           Params({{"status", VarType_Float, 1}, {"x", VarType_Float, 1}, {"y", VarType_Float, 2}}),
           [](VarList& vars) {
             FloatValue(vars, "y") = 2 * FloatValue(vars, "x") + FloatValue(vars, "status");
             return 0;
           });
  Ubo_VanticPrcCall inner;
  Ubo_VanticPrcCall outer;
  ASSERT_EQ(inner.UpdatePrc("Math", "Seven"), kUpdatePrcBound);
  ASSERT_EQ(outer.UpdatePrc("Math", "Twice"), kUpdatePrcBound);
  auto x = NewValue();
  auto y = NewValue();
  ASSERT_TRUE(inner.PlugChild(0, x.get()));
  ASSERT_TRUE(outer.PlugChild(0, &inner));  // a float channel: its status
  ASSERT_TRUE(outer.PlugChild(1, x.get()));
  ASSERT_TRUE(outer.PlugChild(2, y.get()));
  for (int frame = 0; frame < 3; ++frame) {
    NextFrame();
    EXPECT_EQ(outer.GetFloat(), kPrcStatusOk);
    EXPECT_FLOAT_EQ(y->GetFloat(), 14.0f);
  }
}

}  // namespace
}  // namespace prccall_test
