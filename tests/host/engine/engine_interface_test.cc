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

// The count never becomes zero; a channel is due once per count, a new
// channel or a copy at once, and again after the count is set backwards.
TEST(RenderCount, ChannelDueOncePerCount) {
  EngineInterface engine;
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(0);
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(0xFFFFFFFFu);
  engine.AdvanceRenderCount();
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(41);
  DueChannel a;
  DueChannel b;
  a._engine = b._engine = &engine;
  const auto due = [](DueChannel& c) {
    const bool first = c.CheckRenderCount();
    return std::to_string(first) + std::to_string(c.CheckRenderCount());
  };
  EXPECT_EQ(due(a), "10");
  EXPECT_EQ(due(b), "10");
  DueChannel copy(a);
  EXPECT_EQ(due(copy), "10");
  engine.AdvanceRenderCount();
  EXPECT_EQ(due(a), "10");
  engine.SetRenderCount(3);
  EXPECT_EQ(due(a), "10");
  DueChannel global;  // made without an engine: the global one
  EXPECT_EQ(global._engine, globalEngine);
  EXPECT_EQ(due(global), "10");
  globalEngine->AdvanceRenderCount();
  EXPECT_EQ(due(global), "10");
}

// Each level's text arrives literally ('%' is never a format); null text is
// dropped; a functor owned by no engine reaches the global one at level 0;
// a capture restores the sink before it.
TEST(EngineMessages, CapturedWithTheirLevels) {
  MessageCapture outer;
  {
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
    EXPECT_EQ(capture.Last().level, 0u);
  }
  globalEngine->_showDebugMessage[1]("outer");
  ASSERT_EQ(outer.Count(), 1u);
  EXPECT_EQ(outer.Last().text, "outer");
}

// Without a sink, or after it is set back to null: "[level] text" on stderr.
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
