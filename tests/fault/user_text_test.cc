// User text at every length that meets a bound, with "%n", "%s" and "\" in
// it, in every text a user gives: channel, group, owner class, procedure
// and parameter names. Texts are never formats, fields are never overrun,
// the channel's own copies are whole, and a saved channel loads back with
// the same texts.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

// Lengths around the fields a text meets: 80-byte type names, 100-byte
// link names, 256-byte variable names; and one far beyond them all.
const size_t kLengths[] = {1, 2, 79, 80, 99, 100, 255, 256, 100000};

// A text of exactly `length` characters that starts with `lead` and holds
// "%n", "%s" and "\" as often as it can.
std::string UserText(char lead, size_t length) {
  std::string text(1, lead);
  while (text.size() < length) text += "%n%s\\";
  text.resize(length);
  return text;
}

// What a variable keeps of a name, and what a link shows of it.
std::string VarName(const std::string& name) { return name.substr(0, kVarNameSize - 1); }
std::string LinkName(const std::string& name) { return VarName(name).substr(0, 99); }

using UserTextTest = PrcCallTest;

// Every message shown is plain text: none holds the output of a conversion
// ("%n" would have written through a pointer; "%s" printed some other
// string), so each "%" seen came from a user text. A `text` short enough
// to stand whole in every message that carries it is found there whole.
void ExpectTextsShownLiterally(const testing_support::MessageCapture& messages,
                               const std::string& text) {
  for (const testing_support::Message& m : messages.Messages()) {
    if (text.size() <= 256 && m.text.find("UpdatingProcedure[") != std::string::npos) {
      EXPECT_NE(m.text.find(text), std::string::npos) << m.text.substr(0, 400);
    }
    EXPECT_EQ(m.text.find("(null)"), std::string::npos) << m.text.substr(0, 400);
  }
}

TEST_F(UserTextTest, EveryTextBindsNamesLinksEvaluatesAndSurvivesSaving) {
  for (size_t length : kLengths) {
    SCOPED_TRACE("length " + std::to_string(length));
    const std::string owner = UserText('O', length);
    const std::string name = UserText('P', length);
    const std::string in = UserText('i', length);
    const std::string out = UserText('o', length);
    const std::string group = UserText('G', length);
    const std::string channelName = UserText('C', length);

    const VarList params = Params({{in.c_str(), VarType_Float, 1}, {out.c_str(), VarType_Float, 2}});
    Register(owner, name, true, params, [inKept = VarName(in), outKept = VarName(out)](VarList& vars) {
      VarBase* from = vars.Find(inKept.c_str());
      VarBase* to = vars.Find(outKept.c_str());
      if (from == nullptr || to == nullptr) return 1;
      *to->FloatValue() = *from->FloatValue() * 2.0f;
      return 0;
    });

    Zyr_ChannelGroup channelGroup(group);
    Ubo_VanticPrcCall ch;
    ch.SetChannelGroup(&channelGroup);
    ch.SetChannelName(channelName.c_str());
    ASSERT_EQ(ch.UpdatePrc(owner, name), kUpdatePrcBound);
    EXPECT_EQ(ch.GetChannelName(), owner + " :: " + name);
    EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{LinkName(in), LinkName(out)}));
    // The report is cut to the message buffer, but always ends in its
    // outcome.
    ASSERT_FALSE(_messages.Messages().empty());
    EXPECT_TRUE(_messages.Last().text.ends_with("OK!")) << _messages.Last().text.substr(0, 200);
    // The prefix of the report is built from the channel's own copies.
    EXPECT_EQ(_messages.CountContaining("CGR[" + group + "].Channel[" + channelName + "]."), 1u);
    ExpectTextsShownLiterally(_messages, owner + "/" + name);

    auto value = NewValue(1.25f);
    auto result = NewValue();
    ASSERT_TRUE(ch.PlugChild(0, value.get()));
    ASSERT_TRUE(ch.PlugChild(1, result.get()));
    EXPECT_EQ(Evaluate(ch), kPrcStatusOk);
    EXPECT_FLOAT_EQ(result->GetFloat(), 2.5f);

    // Saved and loaded with the same texts, and found again by them at the
    // first due evaluation.
    Ubo_VanticPrcCall loaded;
    ASSERT_TRUE(LoadFile(SaveFile(ch), loaded)) << "a saved channel does not load back";
    EXPECT_EQ(loaded.GetChannelName(), owner + " :: " + name);
    EXPECT_EQ(LinkNames(loaded), LinkNames(ch));
    EXPECT_TRUE(SurvivesRoundTrip(loaded));
    EXPECT_EQ(Evaluate(loaded), kPrcStatusInputs);  // bound; nothing plugged
    EXPECT_EQ(loaded.GetBoundProcedure(), ch.GetBoundProcedure());

    // Not found: the report names the texts, the channel keeps its names.
    _messages.Clear();
    EXPECT_EQ(ch.UpdatePrc(name, owner), kUpdatePrcNotFound);
    EXPECT_TRUE(_messages.Last().text.ends_with("NotFound!"));
    EXPECT_EQ(ch.GetPrcOwnerClass(), owner);
    ExpectTextsShownLiterally(_messages, name + "/" + owner);

    // Offered as a mode under its own name.
    ch.PrepareModesList(owner);
    ASSERT_EQ(ch.GetModeCount(), 1u);
    EXPECT_EQ(ch.GetModeDescription(0)->ShortName, name);
    Procedures().RemoveAll();
    _messages.Clear();
  }
}

}  // namespace
}  // namespace prccall_test
