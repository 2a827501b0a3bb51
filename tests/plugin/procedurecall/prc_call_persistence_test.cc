// Saving and loading a procedure-call channel, and its name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using PrcCallPersistenceTest = PrcCallTest;

// The tags and values of a channel part, "TAG=value" a word, numbers as
// decimal text.
std::string Readable(const std::vector<Entry>& part) {
  std::string out;
  for (const Entry& e : part) {
    const bool text = e.tag == "OWNC" || e.tag == "PRCN" || e.tag == "NAME";
    out += (out.empty() ? "" : " ") + e.tag + "=" + (text ? e.Text() : std::to_string(e.U32()));
  }
  return out;
}

// A channel never bound saves empty names, static and no parameters; a
// bound one its procedure's names, flag and parameter layout.
TEST_F(PrcCallPersistenceTest, ChannelPartHoldsNamesFlagAndParameterLayout) {
  Register("Car", "Drive", false, Params({{"speed", VarType_Float, 1}}));
  Ubo_VanticPrcCall never, bound;
  ASSERT_EQ(bound.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
  EXPECT_EQ(Readable(ChannelPart(SaveFile(never))), "OWNC= PRCN= STTC=1 PRMS=0");
  EXPECT_EQ(Readable(ChannelPart(SaveFile(bound))),
            "OWNC=Car PRCN=Drive STTC=0 PRMS=1 TYPE=0 MODE=1 NAME=speed");
}

TEST_F(PrcCallPersistenceTest, MissingEntryTagsKeepTheEntryBefore) {
  // The second parameter has a name only: its type and mode are the first's.
  const std::vector<uint8_t> file =
      RecordBuilder().U32("STTC", 1).U32("PRMS", 2).Param(1, 2, "v").Text("NAME", "w").File();
  Ubo_VanticPrcCall ch;
  ASSERT_TRUE(LoadFile(file, ch));
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"v", "w"}));
  EXPECT_EQ(ch.GetParamVars()._vars[1]->Type(), VarType_Vec3);
  EXPECT_EQ(ch.GetParamVars()._vars[1]->Mode(), 2);
}

}  // namespace
}  // namespace prccall_test
