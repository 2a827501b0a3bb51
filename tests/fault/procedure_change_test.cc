// A procedure that destroys a child or reshapes its variable list while it
// runs, and procedures that throw. The channel works on its own copy of the
// list, never touches what went, and lets nothing thrown reach the engine.
// Procedures changed, renamed and removed between evaluations and during
// their own execution, and destruction orders, are the lifecycle model's
// (tests/lifecycle).
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

// A channel, an input and an output for it.
class ProcedureChangeTest : public PrcCallTest {
 protected:
  std::unique_ptr<Ubo_ValueChannel> _in = NewValue(1.5f);
  std::unique_ptr<Ubo_ValueChannel> _out = NewValue();
  Ubo_VanticPrcCall _ch;
};

TEST_F(ProcedureChangeTest, ChildDestroyedAndListReshapedDuringExecution) {
  // What Execute hands back need not have the shape it was given: the
  // outputs are written by position, as far as links exist, and nothing
  // else is touched. The last execution destroys the output channel before
  // it writes its output.
  const std::function<void(VarList&)> kReshapes[] = {
      [](VarList& vars) { vars.ClearVars(); },
      [](VarList& vars) {
        for (int i = 0; i < 100; ++i) vars.AddVar(FloatVar("more", VarMode_Out));
      },
      [](VarList& vars) { vars = VarList(); }, [](VarList& vars) { vars.AddVars(vars); },
      [this](VarList& vars) {
        _out.reset();
        *vars._vars[1]->FloatValue() = 1.0f;
      }};
  size_t shape = 0;
  Register("Car", "Drive", true, Params({{"in", VarType_Float, 1}, {"out", VarType_Float, 2}}),
           [&](VarList& vars) {
             kReshapes[shape](vars);
             return 0;
           });
  ASSERT_EQ(_ch.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  ASSERT_TRUE(_ch.PlugChild(0, _in.get()));
  ASSERT_TRUE(_ch.PlugChild(1, _out.get()));
  for (shape = 0; shape < std::size(kReshapes); ++shape) {
    SCOPED_TRACE("shape " + std::to_string(shape));
    EXPECT_EQ(Evaluate(_ch), kPrcStatusOk);
    EXPECT_EQ(_ch.GetChildCreationCount(), 2);
  }
  EXPECT_EQ(_ch.GetChild(1), nullptr);
  EXPECT_FLOAT_EQ(_in->GetFloat(), 1.5f);
}

// A plain procedure (the framework's own catch is not around it) that runs
// `thrower` first when one is set.
struct ThrowingProcedure final : Procedure {
  ThrowingProcedure() : Procedure("Risky", "Run", true, Params({{"out", VarType_Float, 2}})) {}
  int Execute(VarList& vars) override {
    if (thrower) thrower();
    *vars._vars[0]->FloatValue() = 5.0f;
    return 0;
  }
  static inline std::function<void()> thrower;
};

TEST_F(ProcedureChangeTest, ExceptionsFromAProcedureNeverReachTheEngine) {
  ASSERT_NE(Procedures().Register(std::make_unique<ThrowingProcedure>()), nullptr);
  ASSERT_EQ(_ch.UpdatePrc("Risky", "Run"), kUpdatePrcBound);
  ASSERT_TRUE(_ch.PlugChild(0, _out.get()));
  const std::function<void()> kThrowers[] = {[] { throw std::runtime_error("runtime error"); },
                                             [] { throw std::bad_alloc(); }, [] { throw 42; },
                                             [] { throw std::string("a string"); }};
  for (size_t k = 0; k < std::size(kThrowers); ++k) {
    SCOPED_TRACE("exception kind " + std::to_string(k));
    ThrowingProcedure::thrower = kThrowers[k];
    _messages.Clear();
    float status = -1.0f;
    EXPECT_NO_THROW(status = Evaluate(_ch));
    EXPECT_EQ(status, kPrcStatusFailed);
    EXPECT_EQ(_messages.CountContaining("]._procedure->Execute()"), 2u);
    EXPECT_FLOAT_EQ(_out->GetFloat(), 0.0f);  // nothing written back
  }
  ThrowingProcedure::thrower = nullptr;
  EXPECT_EQ(Evaluate(_ch), kPrcStatusOk);
  EXPECT_FLOAT_EQ(_out->GetFloat(), 5.0f);
}

}  // namespace
}  // namespace prccall_test
