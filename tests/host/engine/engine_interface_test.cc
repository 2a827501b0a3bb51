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

TEST(RenderCount, ChannelDueOncePerCount) {
  EngineInterface engine;
  engine.SetRenderCount(41);
  DueChannel channel;
  channel._engine = &engine;
  EXPECT_TRUE(channel.CheckRenderCount());  // new: due at the current count
  EXPECT_FALSE(channel.CheckRenderCount());
  EXPECT_FALSE(channel.CheckRenderCount());
  engine.AdvanceRenderCount();
  EXPECT_TRUE(channel.CheckRenderCount());
  EXPECT_FALSE(channel.CheckRenderCount());
}

TEST(RenderCount, ChannelsCountIndependently) {
  EngineInterface engine;
  DueChannel a;
  DueChannel b;
  a._engine = b._engine = &engine;
  EXPECT_TRUE(a.CheckRenderCount());
  EXPECT_TRUE(b.CheckRenderCount());
  DueChannel copy(a);  // a copy has computed nothing yet
  EXPECT_TRUE(copy.CheckRenderCount());
  EXPECT_FALSE(a.CheckRenderCount());
}

TEST(RenderCount, CountSetBackwardsMakesChannelsDueAgain) {
  EngineInterface engine;
  engine.SetRenderCount(10);
  DueChannel channel;
  channel._engine = &engine;
  EXPECT_TRUE(channel.CheckRenderCount());
  engine.SetRenderCount(3);
  EXPECT_TRUE(channel.CheckRenderCount());
  EXPECT_FALSE(channel.CheckRenderCount());
}

TEST(RenderCount, NewChannelsUseTheGlobalEngine) {
  DueChannel channel;
  EXPECT_EQ(channel._engine, globalEngine);
  EXPECT_TRUE(channel.CheckRenderCount());
  EXPECT_FALSE(channel.CheckRenderCount());
  globalEngine->AdvanceRenderCount();
  EXPECT_TRUE(channel.CheckRenderCount());
}

TEST(EngineMessages, CapturedWithTheirLevels) {
  MessageCapture capture;
  for (unsigned level = 0; level < 4; ++level) {
    globalEngine->_showDebugMessage[level](("text" + std::to_string(level)).c_str());
  }
  ASSERT_EQ(capture.Count(), 4u);
  for (unsigned level = 0; level < 4; ++level) {
    EXPECT_EQ(capture.Messages()[level].level, level);
    EXPECT_EQ(capture.Messages()[level].text, "text" + std::to_string(level));
  }
}

TEST(EngineMessages, TextIsNeverAFormat) {
  MessageCapture capture;
  globalEngine->_showDebugMessage[1]("100%s%n%x");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().text, "100%s%n%x");
}

TEST(EngineMessages, NullTextIsIgnored) {
  MessageCapture capture;
  globalEngine->_showDebugMessage[2](nullptr);
  globalEngine->Deliver(2, nullptr);
  EXPECT_EQ(capture.Count(), 0u);
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

TEST(EngineMessages, DefaultSinkWritesLevelAndTextToStderr) {
  EngineInterface engine;  // no sink set
  testing::internal::CaptureStderr();
  engine._showDebugMessage[2]("Progress%d.Done!");
  engine._showDebugMessage[0]("");
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_EQ(written, "[2] Progress%d.Done!\n[0] \n");
}

TEST(EngineMessages, NullSinkRestoresTheDefault) {
  EngineInterface engine;
  MessageCapture capture(&engine);
  engine.SetMessageSink(nullptr, nullptr);
  testing::internal::CaptureStderr();
  engine._showDebugMessage[3]("to stderr");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[3] to stderr\n");
  EXPECT_EQ(capture.Count(), 0u);
}

}  // namespace
