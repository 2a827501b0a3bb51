// The engine instance: render counts and message functors.
#include <string>

#include <gtest/gtest.h>

#include "hostapi/engine_interface.h"
#include "hostapi/zyr_channel.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::MessageCapture;

class DueChannel : public Zyr_Channel {
 public:
  using Zyr_Channel::CheckRenderCount;
};

TEST(RenderCount, StartsAtOneAndNeverBecomesZero) {
  EngineInterface engine;
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.AdvanceRenderCount();
  EXPECT_EQ(engine.GetRenderCount(), 2u);
  engine.SetRenderCount(0);
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(0xFFFFFFFFu);
  engine.AdvanceRenderCount();
  EXPECT_EQ(engine.GetRenderCount(), 1u);
}

// Due once per count; a new channel or a copy is due at once; a count set
// backwards makes it due again; channels made without an engine use the
// global one.
TEST(RenderCount, ChannelDueOncePerCount) {
  EngineInterface engine;
  engine.SetRenderCount(41);
  DueChannel a;
  DueChannel b;
  a._engine = b._engine = &engine;
  EXPECT_TRUE(a.CheckRenderCount());
  EXPECT_FALSE(a.CheckRenderCount());
  EXPECT_TRUE(b.CheckRenderCount());
  DueChannel copy(a);
  EXPECT_TRUE(copy.CheckRenderCount());
  engine.AdvanceRenderCount();
  EXPECT_TRUE(a.CheckRenderCount());
  EXPECT_FALSE(a.CheckRenderCount());
  engine.SetRenderCount(3);
  EXPECT_TRUE(a.CheckRenderCount());
  EXPECT_FALSE(a.CheckRenderCount());

  DueChannel global;
  EXPECT_EQ(global._engine, globalEngine);
  EXPECT_TRUE(global.CheckRenderCount());
  EXPECT_FALSE(global.CheckRenderCount());
  globalEngine->AdvanceRenderCount();
  EXPECT_TRUE(global.CheckRenderCount());
}

// Each level's functor delivers its text literally ('%' is never a format);
// null text is dropped; a functor owned by no engine reaches the global one.
TEST(EngineMessages, CapturedWithTheirLevels) {
  MessageCapture capture;
  for (unsigned level = 0; level < 4; ++level) {
    globalEngine->_showDebugMessage[level](("100%s%n" + std::to_string(level)).c_str());
  }
  globalEngine->_showDebugMessage[2](nullptr);
  globalEngine->Deliver(2, nullptr);
  ASSERT_EQ(capture.Count(), 4u);
  for (unsigned level = 0; level < 4; ++level) {
    EXPECT_EQ(capture.Messages()[level].level, level);
    EXPECT_EQ(capture.Messages()[level].text, "100%s%n" + std::to_string(level));
  }
  ShowDebugMessage loose;
  loose("loose");
  ASSERT_EQ(capture.Count(), 5u);
  EXPECT_EQ(capture.Last().level, 0u);
}

TEST(EngineMessages, CaptureRestoresThePreviousSink) {
  MessageCapture outer;
  {
    MessageCapture inner;
    globalEngine->_showDebugMessage[1]("inner");
    EXPECT_EQ(inner.Count(), 1u);
  }
  globalEngine->_showDebugMessage[1]("outer");
  ASSERT_EQ(outer.Count(), 1u);
  EXPECT_EQ(outer.Last().text, "outer");
}

TEST(EngineMessages, UnownedFunctorReachesTheGlobalEngine) {
  MessageCapture capture;
  ShowDebugMessage loose;
  loose("loose");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().level, 0u);
}

// Without a sink, or after the sink is set back to null, messages go to
// stderr as "[level] text".
TEST(EngineMessages, DefaultSinkWritesLevelAndTextToStderr) {
  EngineInterface engine;
  testing::internal::CaptureStderr();
  engine._showDebugMessage[2]("Progress%d.Done!");
  engine._showDebugMessage[0]("");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[2] Progress%d.Done!\n[0] \n");
  MessageCapture capture(&engine);
  engine.SetMessageSink(nullptr, nullptr);
  testing::internal::CaptureStderr();
  engine._showDebugMessage[3]("to stderr");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[3] to stderr\n");
  EXPECT_EQ(capture.Count(), 0u);
}

}  // namespace
