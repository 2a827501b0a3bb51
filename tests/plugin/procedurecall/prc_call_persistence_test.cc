// Saving and loading a procedure-call channel, and its name.
#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallPersistenceTest = PrcCallTest;

// The tags and values of a channel part, numbers as decimal text.
std::vector<std::pair<std::string, std::string>> Readable(const std::vector<Entry>& part) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const Entry& e : part) {
    const bool text = e.tag == "OWNC" || e.tag == "PRCN" || e.tag == "NAME";
    out.emplace_back(e.tag, text ? e.Text() : std::to_string(e.U32()));
  }
  return out;
}
using Pairs = std::vector<std::pair<std::string, std::string>>;

TEST_F(PrcCallPersistenceTest, NeverBoundChannelSavesEmptyNamesStaticAndNoParameters) {
  Ubo_VanticPrcCall ch;
  const std::vector<uint8_t> file = SaveFile(ch);
  EXPECT_EQ(Readable(ChannelPart(file)),
            (Pairs{{"OWNC", ""}, {"PRCN", ""}, {"STTC", "1"}, {"PRMS", "0"}}));

  Ubo_VanticPrcCall loaded;
  EXPECT_TRUE(LoadFile(file, loaded));
  EXPECT_EQ(loaded.GetChildCreationCount(), 0);
  EXPECT_STREQ(loaded.GetChannelName(), " :: ");
  EXPECT_EQ(_messages.Count(), 0u);
}

TEST_F(PrcCallPersistenceTest, BoundChannelSavesItsParameterLayout) {
  Register("Car", "Drive", false, Params({{"speed", VarType_Float, 1}}));
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  const std::vector<uint8_t> file = SaveFile(ch);
  EXPECT_EQ(Readable(ChannelPart(file)),
            (Pairs{{"OWNC", "Car"}, {"PRCN", "Drive"}, {"STTC", "0"}, {"PRMS", "1"}, {"TYPE", "0"},
                   {"MODE", "1"}, {"NAME", "speed"}}));

  Ubo_VanticPrcCall loaded;
  ASSERT_TRUE(LoadFile(file, loaded));
  EXPECT_FALSE(loaded.IsStatic());
  EXPECT_EQ(loaded.GetBoundProcedure(), nullptr);
  EXPECT_STREQ(loaded.GetChannelName(), "Car :: Drive");
  // Bound again to the unchanged procedure, the loaded links are kept.
  _messages.Clear();
  ASSERT_EQ(loaded.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  EXPECT_EQ(_messages.CountContaining("CreatingNewSetOfChildLinks!"), 0u);
}

TEST_F(PrcCallPersistenceTest, UnknownTypeIsReportedAndSkipped) {
  const std::vector<uint8_t> file = RecordBuilder()
                                        .Head("Car", "Drive", 1, 3)
                                        .Param(0, 1, "a")
                                        .Param(2, 1, "b")
                                        .Param(1, 2, "c")
                                        .File();
  Ubo_VanticPrcCall ch;
  ASSERT_TRUE(LoadFile(file, ch));
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Links(ch)[1].typeName, "Value Vector");
  EXPECT_EQ(Links(ch)[1].linkMode, kLinkModeOutput);
  EXPECT_EQ(_messages.Count(), 1u);
  EXPECT_EQ(_messages.Last().text, "Ubo_VanticPrcCall::LoadChannel().var->Type()");

  // Saving again writes what was kept.
  EXPECT_EQ(Readable(ChannelPart(SaveFile(ch))),
            (Pairs{{"OWNC", "Car"}, {"PRCN", "Drive"}, {"STTC", "1"}, {"PRMS", "2"}, {"TYPE", "0"},
                   {"MODE", "1"}, {"NAME", "a"}, {"TYPE", "1"}, {"MODE", "2"}, {"NAME", "c"}}));
}

TEST_F(PrcCallPersistenceTest, MissingEntryTagsKeepTheEntryBefore) {
  const std::vector<uint8_t> file = RecordBuilder()
                                        .U32("STTC", 1)
                                        .U32("PRMS", 2)
                                        .Param(1, 2, "v")
                                        .Text("NAME", "w")  // type and mode as before
                                        .File();
  Ubo_VanticPrcCall ch;
  ASSERT_TRUE(LoadFile(file, ch));
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"v", "w"}));
  EXPECT_EQ(ch.GetParamVars()._vars[1]->Type(), VarType_Vec3);
  EXPECT_EQ(ch.GetParamVars()._vars[1]->Mode(), 2);
}

TEST_F(PrcCallPersistenceTest, LoadingUnbindsSoTheLoadedNamesAreBoundNext) {
  Register("Car", "Drive", true, Params({{"speed", VarType_Float, 1}}));
  int flown = 0;
  Register("Plane", "Fly", true, VarList(), [&flown](VarList&) {
    ++flown;
    return 0;
  });
  Ubo_VanticPrcCall ch;
  ASSERT_EQ(ch.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  const std::vector<uint8_t> file = RecordBuilder().Head("Plane", "Fly", 1, 0).File();
  ASSERT_TRUE(LoadFile(file, ch));
  EXPECT_EQ(ch.GetBoundProcedure(), nullptr);
  NextFrame();
  EXPECT_EQ(ch.GetFloat(), kPrcStatusOk);
  EXPECT_EQ(flown, 1);
  EXPECT_EQ(ch.GetBoundProcedure(), Procedures().GetProcedure("Plane", "Fly"));
}

}  // namespace
}  // namespace prccall_test
