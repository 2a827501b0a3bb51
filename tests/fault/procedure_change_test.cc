// Procedures removed, renamed and changed while channels are bound to
// them, between evaluations and during one; exceptions thrown by a
// procedure. A channel never uses a procedure's old parameter list, never
// lets an exception through to the engine, and finds its procedure again
// by name when it comes back.
#include <algorithm>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

// Float inputs, then float outputs.
VarList Layout(const std::vector<std::string>& ins, const std::vector<std::string>& outs) {
  VarList params;
  for (const std::string& n : ins) params.AddVar(FloatVar(n, VarMode_In));
  for (const std::string& n : outs) params.AddVar(FloatVar(n, VarMode_Out));
  return params;
}

// Writes twice the first input into every output.
VeskProcedure::Body Doubler() {
  return [](VarList& vars) {
    const auto in = std::find_if(vars._vars.begin(), vars._vars.end(),
                                 [](VarBase* v) { return v->Mode() == VarMode_In; });
    const float value = in != vars._vars.end() ? *(*in)->FloatValue() : 0.0f;
    for (VarBase* v : vars._vars) {
      if (v->Mode() == VarMode_Out) *v->FloatValue() = 2.0f * value;
    }
    return 0;
  };
}

// "Car/Drive": out = in * 2 (static). Two channels bound to it, each with
// its own input and output plugged.
class ProcedureChangeTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    Register("Car", "Drive", true, Layout({"in"}, {"out"}), Doubler());
    for (Wired& w : _wired) {
      w.in = NewValue(1.5f);
      w.out = NewValue();
      w.ch.SetPrcOwnerClass("Car");
      w.ch.SetPrcName("Drive");
      ASSERT_EQ(Evaluate(w.ch), kPrcStatusInputs);  // bound, links made
      PlugByName(w);
      ASSERT_EQ(Evaluate(w.ch), kPrcStatusOk);
      ASSERT_FLOAT_EQ(w.out->GetFloat(), 3.0f);
    }
    _messages.Clear();
  }

  struct Wired {
    std::unique_ptr<Ubo_ValueChannel> in;
    std::unique_ptr<Ubo_ValueChannel> out;
    Ubo_VanticPrcCall ch;
  };

  // Plugs w.in into the link "in" and w.out into "out", where they are.
  static void PlugByName(Wired& w) {
    const int in = w.ch.FindChildLink("in");
    const int out = w.ch.FindChildLink("out");
    EXPECT_TRUE(in < 0 || w.ch.PlugChild(in, w.in.get()));
    EXPECT_TRUE(out < 0 || w.ch.PlugChild(out, w.out.get()));
  }

  Wired _wired[2];
};

TEST_F(ProcedureChangeTest, ChangedRemovedAndRenamedDuringItsOwnExecution) {
  // Each execution changes the procedure that runs it; the channel works
  // on its own copy of the list and binds afresh at its next evaluation.
  int step = 0;
  Procedures().Remove("Car", "Drive");
  Register("Car", "Drive", true, Layout({"in"}, {"out"}), [&step](VarList& vars) {
    switch (step++) {
      case 0:
        Procedures().ChangeParameters("Car", "Drive", Layout({"in"}, {"out", "more"}), true);
        break;
      case 1:
        Procedures().Rename("Car", "Drive", "Car", "Steer");
        break;
      case 2:
        Procedures().Remove("Car", "Steer");
        break;
      default:
        break;
    }
    *vars._vars[1]->FloatValue() = static_cast<float>(step);
    return 0;
  });
  Wired& w = _wired[0];
  EXPECT_EQ(Evaluate(w.ch), kPrcStatusOk);
  EXPECT_FLOAT_EQ(w.out->GetFloat(), 1.0f);
  EXPECT_EQ(Evaluate(w.ch), kPrcStatusOk);  // rebinds to the changed list
  EXPECT_EQ(LinkNames(w.ch), (std::vector<std::string>{"in", "out", "more"}));
  EXPECT_EQ(Evaluate(w.ch), kPrcStatusOk);  // rebinds under the new name
  EXPECT_STREQ(w.ch.GetChannelName(), "Car :: Steer");
  EXPECT_EQ(Evaluate(w.ch), kPrcStatusFailed);  // removed during the last run
  EXPECT_EQ(step, 3);
}

TEST_F(ProcedureChangeTest, ChildDestroyedDuringExecution) {
  Wired& w = _wired[0];
  Procedures().Remove("Car", "Drive");
  Register("Car", "Drive", true, Layout({"in"}, {"out"}), [&w](VarList& vars) {
    w.out.reset();  // the output channel goes while the procedure runs
    *vars._vars[1]->FloatValue() = 1.0f;
    return 0;
  });
  EXPECT_EQ(Evaluate(w.ch), kPrcStatusOk);
  EXPECT_EQ(w.ch.GetChild(1), nullptr);
}

TEST_F(ProcedureChangeTest, ListReshapedDuringExecution) {
  // What Execute hands back need not have the shape it was given: the
  // outputs are written by position, as far as links exist, and nothing
  // else is touched.
  const std::function<void(VarList&)> kReshapes[] = {
      [](VarList& vars) { vars.ClearVars(); },
      [](VarList& vars) {
        for (int i = 0; i < 100; ++i) vars.AddVar(FloatVar("more", VarMode_Out));
      },
      [](VarList& vars) { vars = VarList(); }, [](VarList& vars) { vars.AddVars(vars); }};
  size_t shape = 0;
  Procedures().Remove("Car", "Drive");
  Register("Car", "Drive", true, Layout({"in"}, {"out"}), [&](VarList& vars) {
    kReshapes[shape](vars);
    return 0;
  });
  Wired& w = _wired[0];
  for (shape = 0; shape < std::size(kReshapes); ++shape) {
    SCOPED_TRACE("shape " + std::to_string(shape));
    w.out->SetFloat(-1.0f);
    EXPECT_EQ(Evaluate(w.ch), kPrcStatusOk);
    EXPECT_EQ(w.ch.GetChildCreationCount(), 2);
  }
  EXPECT_FLOAT_EQ(w.in->GetFloat(), 1.5f);
}

// ---- exceptions ----

// A plain procedure (not one the framework runs for us) that runs
// `*thrower` first when one is set.
class ThrowingProcedure final : public Procedure {
 public:
  explicit ThrowingProcedure(std::function<void()>* thrower)
      : Procedure("Risky", "Run", true, Layout({}, {"out"})), _thrower(thrower) {}
  int Execute(VarList& vars) override {
    if (*_thrower) (*_thrower)();
    *vars._vars[0]->FloatValue() = 5.0f;
    return 0;
  }

 private:
  std::function<void()>* _thrower;
};

TEST_F(ProcedureChangeTest, ExceptionsFromAProcedureNeverReachTheEngine) {
  std::function<void()> thrower;
  ASSERT_NE(Procedures().Register(std::make_unique<ThrowingProcedure>(&thrower)), nullptr);
  Ubo_VanticPrcCall ch;
  auto out = NewValue(-1.0f);
  ASSERT_EQ(ch.UpdatePrc("Risky", "Run"), kUpdatePrcBound);
  ASSERT_TRUE(ch.PlugChild(0, out.get()));
  const std::function<void()> kThrowers[] = {[] { throw std::runtime_error("runtime error"); },
                                             [] { throw std::bad_alloc(); }, [] { throw 42; },
                                             [] { throw std::string("a string"); }};
  for (size_t k = 0; k < std::size(kThrowers); ++k) {
    SCOPED_TRACE("exception kind " + std::to_string(k));
    thrower = kThrowers[k];
    _messages.Clear();
    float status = -1.0f;
    EXPECT_NO_THROW(status = Evaluate(ch));
    EXPECT_EQ(status, kPrcStatusFailed);
    EXPECT_EQ(_messages.CountContaining("]._procedure->Execute()"), 2u);
    EXPECT_FLOAT_EQ(out->GetFloat(), -1.0f);  // nothing written back
    // Through the engine's own entry point as well.
    NextFrame();
    EXPECT_NO_THROW(ch.CallChannel());
    EXPECT_EQ(ch._value, kPrcStatusFailed);
  }
  thrower = nullptr;
  EXPECT_EQ(Evaluate(ch), kPrcStatusOk);
  EXPECT_FLOAT_EQ(out->GetFloat(), 5.0f);
}

}  // namespace
}  // namespace prccall_test
