// Damaged procedure-call records: cut at every byte, sizes beyond their
// record, huge counts, and repeated, missing and unknown tags. Whatever a
// record holds, loading it never reads outside it, never allocates what a
// damaged size or count claims, and what loads saves a record that loads
// back the same.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fault/allocation_probe.h"
#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using fault::AllocationProbe;

// Far above any record these tests write (a few hundred bytes), far below
// the sizes and counts the damage claims.
constexpr size_t kAllocationCeiling = 64 * 1024;

// A channel bound to "Car/Drive" (not static: "This", speed, pos, out),
// saved; the tests damage copies of its record.
class DamagedRecordTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    VarList params;
    params.AddVar(FloatVar("speed", VarMode_In));
    params.AddVar(VectorVar("pos", VarMode_InOut));
    params.AddVar(FloatVar("out", VarMode_Out));
    Register("Car", "Drive", false, params);
    Ubo_VanticPrcCall bound;
    EXPECT_EQ(bound.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
    _file = SaveFile(bound);
    _entries = Entries(_file);
    _messages.Clear();
  }

  // The entries of the saved record with `edit` applied, as a file.
  template <class Edit>
  std::vector<uint8_t> Edited(Edit edit) const {
    std::vector<Entry> entries = _entries;
    edit(entries);
    std::vector<uint8_t> body;
    for (const Entry& e : entries) {
      const std::vector<uint8_t> bytes = EntryBytes(e.tag, e.data);
      body.insert(body.end(), bytes.begin(), bytes.end());
    }
    return FileOf(PrcCallGuid(), body);
  }

  // Index of the n-th (from 0) entry tagged `tag`.
  size_t Find(const std::string& tag, int n = 0) const {
    for (size_t i = 0; i < _entries.size(); ++i) {
      if (_entries[i].tag == tag && n-- == 0) return i;
    }
    ADD_FAILURE() << "no entry " << tag;
    return 0;
  }

  // Loaded parameters are among the saved ones by name, of a type the
  // channel knows, and no more than were saved.
  static void ExpectSavedParametersOnly(const Ubo_VanticPrcCall& ch) {
    static const std::set<std::string> kSaved = {"speed", "pos", "out"};
    const VarList& vars = ch.GetParamVars();
    EXPECT_LE(vars.Count(), 3u);
    for (const VarBase* var : vars._vars) {
      EXPECT_TRUE(kSaved.count(var->Name()) == 1 || var->Name()[0] == '\0') << var->Name();
      EXPECT_TRUE(var->Type() == VarType_Float || var->Type() == VarType_Vec3);
    }
  }

  std::vector<uint8_t> _file;
  std::vector<Entry> _entries;
};

TEST_F(DamagedRecordTest, RecordCutAtEveryByte) {
  // The record's own size is cut with it, so that the loader reads a
  // shorter record rather than refusing its header.
  const std::vector<uint8_t> body = RecordBody(_file);
  for (size_t cut = 0; cut <= body.size(); ++cut) {
    SCOPED_TRACE("record cut at " + std::to_string(cut));
    const std::vector<uint8_t> file =
        FileOf(PrcCallGuid(), std::vector<uint8_t>(body.begin(), body.begin() + static_cast<long>(cut)));
    Ubo_VanticPrcCall ch;
    if (!LoadFile(file, ch)) continue;  // the engine part was cut: refused
    ExpectSavedParametersOnly(ch);
    EXPECT_TRUE(SurvivesRoundTrip(ch));
  }
}

TEST_F(DamagedRecordTest, BlockSizesBeyondTheRecordAreRefusedNotAllocated) {
  const uint32_t kSizes[] = {0, 1, 0x7FFFFFFFu, 0xFFFFFFFFu};  // 0, 1: relative to the rest
  for (size_t i = 0; i < _entries.size(); ++i) {
    const Entry& e = _entries[i];
    const size_t rest = _file.size() - (e.offset + kZyrEntryHeaderSize);
    for (uint32_t size : kSizes) {
      const uint32_t claimed = size <= 1 ? static_cast<uint32_t>(rest) + 1 + size : size;
      SCOPED_TRACE("entry " + std::to_string(i) + " \"" + e.tag + "\" claims " +
                   std::to_string(claimed));
      std::vector<uint8_t> file = _file;
      PutU32(&file[e.offset + 4], claimed);
      ZyrResealRecords(&file);
      Ubo_VanticPrcCall ch;
      ZyrFileLoader loader;
      GUID type;
      ASSERT_TRUE(loader.Open(file));
      ASSERT_TRUE(loader.NextChannel(&type));
      bool loaded;
      {
        AllocationProbe probe;
        loaded = ch.LoadChannel(loader, nullptr);
        EXPECT_LT(probe.Largest(), kAllocationCeiling);
      }
      EXPECT_TRUE(loader.HasError());
      // The engine's part (its four entries) refuses the whole channel.
      EXPECT_TRUE(i >= 4 || !loaded);
      if (loaded) {
        ExpectSavedParametersOnly(ch);
        EXPECT_TRUE(SurvivesRoundTrip(ch));
      }
    }
  }
}

TEST_F(DamagedRecordTest, CountOfFFFFFFFFReadsWhatIsThereAndAllocatesNoMore) {
  const std::vector<uint8_t> file =
      Edited([&](std::vector<Entry>& entries) { entries[Find("PRMS")].data = U32Bytes(0xFFFFFFFFu); });
  Ubo_VanticPrcCall ch;
  {
    AllocationProbe probe;
    ASSERT_TRUE(LoadFile(file, ch));
    EXPECT_LT(probe.Largest(), kAllocationCeiling);
  }
  EXPECT_EQ(ch.GetParamVars().Count(), 3u);
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"This", "speed", "pos", "out"}));
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text,
            "Ubo_VanticPrcCall::LoadChannel().ParametersMissing.Read[3].Saved[4294967295]");
  EXPECT_TRUE(SurvivesRoundTrip(ch));

  // With no parameter behind it at all.
  const std::vector<uint8_t> bare = Edited([&](std::vector<Entry>& entries) {
    entries[Find("PRMS")].data = U32Bytes(0xFFFFFFFFu);
    entries.resize(Find("PRMS") + 1);
  });
  Ubo_VanticPrcCall empty;
  ASSERT_TRUE(LoadFile(bare, empty));
  EXPECT_EQ(empty.GetParamVars().Count(), 0u);
}

TEST_F(DamagedRecordTest, NumbersOfTheWrongSizeArePassedOver) {
  for (const char* tag : {"STTC", "PRMS", "TYPE", "MODE"}) {
    for (size_t size : {0u, 3u, 5u, 8u}) {
      SCOPED_TRACE(std::string(tag) + " of " + std::to_string(size) + " bytes");
      const std::vector<uint8_t> file = Edited([&](std::vector<Entry>& entries) {
        // The parameter's "MODE", not the framework's.
        entries[Find(tag, std::string(tag) == "MODE" ? 1 : 0)].data.assign(size, 0x01);
      });
      Ubo_VanticPrcCall ch;
      ASSERT_TRUE(LoadFile(file, ch));
      ExpectSavedParametersOnly(ch);
      EXPECT_TRUE(SurvivesRoundTrip(ch));
    }
  }
}

// Repeated, missing and unknown tags. Entries are read in the order
// written, so a tag out of place is missing for its reader and every
// reader after it finds the same entry in its way.
struct TagCase {
  const char* what;
  void (*edit)(std::vector<Entry>&, size_t ownc);  // `ownc`: index of "OWNC"
  const char* owner;   // expected owner class
  const char* name;    // expected procedure name
  bool isStatic;       // expected static flag
  size_t params;       // expected number of parameters
};

Entry Unknown(const char* tag) { return Entry{tag, 1, {'?'}, 0}; }

const TagCase kTagCases[] = {
    {"OWNC repeated",
     [](std::vector<Entry>& e, size_t o) { e.insert(e.begin() + long(o) + 1, e[o]); },
     "Car", "", true, 0},
    {"framework part repeated",
     [](std::vector<Entry>& e, size_t o) { e.insert(e.begin() + long(o), e.begin() + long(o) - 2, e.begin() + long(o)); },
     "", "", true, 0},
    {"OWNC missing", [](std::vector<Entry>& e, size_t o) { e.erase(e.begin() + long(o)); },
     "", "Drive", false, 3},
    {"PRCN missing", [](std::vector<Entry>& e, size_t o) { e.erase(e.begin() + long(o) + 1); },
     "Car", "", false, 3},
    {"STTC missing", [](std::vector<Entry>& e, size_t o) { e.erase(e.begin() + long(o) + 2); },
     "Car", "Drive", true, 3},
    {"PRMS missing", [](std::vector<Entry>& e, size_t o) { e.erase(e.begin() + long(o) + 3); },
     "Car", "Drive", false, 0},
    {"second TYPE missing",
     [](std::vector<Entry>& e, size_t o) { e.erase(e.begin() + long(o) + 7); },
     "Car", "Drive", false, 3},
    {"every NAME missing",
     [](std::vector<Entry>& e, size_t) { std::erase_if(e, [](const Entry& x) { return x.tag == "NAME"; }); },
     "Car", "Drive", false, 3},
    {"everything behind UACN missing",
     [](std::vector<Entry>& e, size_t o) { e.resize(o); }, "", "", true, 0},
    {"unknown tag before OWNC",
     [](std::vector<Entry>& e, size_t o) { e.insert(e.begin() + long(o), Unknown("XXXX")); },
     "", "", true, 0},
    {"lower-case OWNC", [](std::vector<Entry>& e, size_t o) { e[o].tag = "ownc"; }, "", "", true, 0},
    {"unknown tag among the parameters",
     [](std::vector<Entry>& e, size_t o) { e.insert(e.begin() + long(o) + 7, Unknown("\x01\x02\x03\x04")); },
     "Car", "Drive", false, 1},
    {"unknown tag at the end",
     [](std::vector<Entry>& e, size_t) { e.push_back(Unknown("ZZZZ")); }, "Car", "Drive", false, 3},
    {"parameter entries in reverse order",
     [](std::vector<Entry>& e, size_t o) { std::reverse(e.begin() + long(o) + 4, e.end()); },
     "Car", "Drive", false, static_cast<size_t>(-1)},
};

TEST_F(DamagedRecordTest, RepeatedMissingAndUnknownTags) {
  for (const TagCase& c : kTagCases) {
    SCOPED_TRACE(c.what);
    const size_t ownc = Find("OWNC");
    const std::vector<uint8_t> file = Edited([&](std::vector<Entry>& e) { c.edit(e, ownc); });
    Ubo_VanticPrcCall ch;
    ASSERT_TRUE(LoadFile(file, ch));
    EXPECT_EQ(ch.GetPrcOwnerClass(), c.owner);
    EXPECT_EQ(ch.GetPrcName(), c.name);
    EXPECT_EQ(ch.IsStatic(), c.isStatic);
    if (c.params != static_cast<size_t>(-1)) {
      EXPECT_EQ(ch.GetParamVars().Count(), c.params);
    }
    EXPECT_STREQ(ch.GetChannelName(), (std::string(c.owner) + " :: " + c.name).c_str());
    ExpectSavedParametersOnly(ch);
    EXPECT_TRUE(SurvivesRoundTrip(ch));
  }
}

}  // namespace
}  // namespace prccall_test
