// The engine instance: render counts, the channel at work and message
// functors.
#include <memory>
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

// The count never becomes zero; a channel is due once per count, and
// again after the count is set backwards. (New channels and copies due at
// once, and the global engine: the lifecycle model.)
TEST(RenderCount, ChannelDueOncePerCount) {
  EngineInterface engine;
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(0);
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(0xFFFFFFFFu);
  engine.AdvanceRenderCount();
  EXPECT_EQ(engine.GetRenderCount(), 1u);
  engine.SetRenderCount(41);
  DueChannel channel;
  channel._engine = &engine;
  const auto due = [&channel] {
    const bool first = channel.CheckRenderCount();
    return std::to_string(first) + std::to_string(channel.CheckRenderCount());
  };
  EXPECT_EQ(due(), "10");
  engine.AdvanceRenderCount();
  EXPECT_EQ(due(), "10");
  engine.SetRenderCount(3);
  EXPECT_EQ(due(), "10");
}

// A due channel is at work until the scope of whoever read it ends, which
// gives the reader back; a channel that goes is at work no more.
TEST(RenderCount, DueChannelIsAtWorkUntilItsReadEnds) {
  EngineInterface engine;
  DueChannel reader;
  reader._engine = &engine;
  const ChannelWorkScope outer(engine, &reader);
  {
    auto read = std::make_unique<DueChannel>();
    read->_engine = &engine;
    const ChannelWorkScope scope(engine);
    EXPECT_TRUE(read->CheckRenderCount());
    EXPECT_EQ(engine.GetChannelAtWork(), read.get());
    read.reset();
    EXPECT_EQ(engine.GetChannelAtWork(), nullptr);
  }
  EXPECT_EQ(engine.GetChannelAtWork(), &reader);
}

// Null text is dropped; a functor owned by no engine reaches the global
// one at level 0. Without a sink, or after it is set back to null:
// "[level] text" on stderr. (Levels and '%' kept literally: the lifecycle
// model's message counts and tests/fault/user_text_test.)
TEST(EngineMessages, NullTextLooseFunctorsAndTheDefaultSink) {
  MessageCapture global;
  globalEngine->_showDebugMessage[2](nullptr);
  globalEngine->Deliver(2, nullptr);
  ShowDebugMessage loose;
  loose("loose");
  ASSERT_EQ(global.Count(), 1u);
  EXPECT_EQ(global.Last().level, 0u);
  EXPECT_EQ(global.Last().text, "loose");
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
