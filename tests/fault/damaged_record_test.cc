// Damaged procedure-call records: cut at every byte, sizes beyond their
// record, huge counts, and repeated, missing and unknown tags. Whatever a
// record holds, loading it never reads outside it, never allocates what a
// damaged size or count claims, and what loads saves a record that loads
// back the same.
#include <algorithm>
#include <cstdint>
#include <functional>
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

// An edit of a record's channel part ("OWNC" first).
using Edit = std::function<void(std::vector<Entry>&)>;

// A channel bound to "Car/Drive" (not static: "This", speed, pos, out),
// saved; the tests damage copies of its record.
class DamagedRecordTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    Register("Car", "Drive", false,
             Params({{"speed", VarType_Float, 1}, {"pos", VarType_Vec3, 3}, {"out", VarType_Float, 2}}));
    Ubo_VanticPrcCall bound;
    EXPECT_EQ(bound.UpdatePrc("Car", "Drive"), kUpdatePrcBound);
    _file = SaveFile(bound);
    _entries = Entries(_file);
    _part = ChannelPart(_file);
    _messages.Clear();
  }

  // The saved channel part with `edit` applied, written behind a bare
  // engine part and the modes' part, loaded into `ch`; the load allocates
  // nothing near what a damaged size or count claims.
  bool LoadEdited(const Edit& edit, Ubo_VanticPrcCall& ch) const {
    std::vector<Entry> part = _part;
    edit(part);
    RecordBuilder record;
    for (const Entry& e : part) record.Raw(e.tag.c_str(), e.data.data(), uint32_t(e.data.size()));
    const std::vector<uint8_t> file = record.File();
    AllocationProbe probe;
    const bool loaded = LoadFile(file, ch);
    EXPECT_LT(probe.Largest(), kAllocationCeiling);
    return loaded;
  }

  // Loaded parameters are among the saved ones by name, of a type the
  // channel knows, and no more than were saved; and the channel saves a
  // record that loads back the same.
  static void ExpectSound(Ubo_VanticPrcCall& ch) {
    static const std::set<std::string> kSaved = {"speed", "pos", "out", ""};
    const VarList& vars = ch.GetParamVars();
    EXPECT_LE(vars.Count(), 3u);
    for (const VarBase* var : vars._vars) {
      EXPECT_EQ(kSaved.count(var->Name()), 1u) << var->Name();
      EXPECT_TRUE(var->Type() == VarType_Float || var->Type() == VarType_Vec3);
    }
    EXPECT_TRUE(SurvivesRoundTrip(ch));
  }

  std::vector<uint8_t> _file;
  std::vector<Entry> _entries;
  std::vector<Entry> _part;  // the channel's own entries
};

TEST_F(DamagedRecordTest, RecordCutAtEveryByte) {
  // The record's own size is cut with it, so that the loader reads a
  // shorter record rather than refusing its header.
  const size_t body = kZyrFileHeaderSize + kZyrRecordHeaderSize;
  for (size_t end = body; end <= _file.size(); ++end) {
    SCOPED_TRACE("record cut at " + std::to_string(end - body));
    std::vector<uint8_t> file(_file.begin(), _file.begin() + static_cast<long>(end));
    PutU32(&file[kZyrFileHeaderSize + 16], static_cast<uint32_t>(end - body));  // behind the GUID
    ZyrResealRecords(&file);
    Ubo_VanticPrcCall ch;
    // A cut in the engine's part is refused.
    if (LoadFile(file, ch)) ExpectSound(ch);
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
      ASSERT_TRUE(loader.Open(file) && loader.NextChannel(&type));
      AllocationProbe probe;
      const bool loaded = ch.LoadChannel(loader, nullptr);
      EXPECT_LT(probe.Largest(), kAllocationCeiling);
      EXPECT_TRUE(loader.HasError());
      // The engine's part (its four entries) refuses the whole channel.
      EXPECT_TRUE(i >= 4 || !loaded);
      if (loaded) ExpectSound(ch);
    }
  }
}

// With no parameter behind the count: a row of kTagCases.
TEST_F(DamagedRecordTest, CountOfFFFFFFFFReadsWhatIsThere) {
  Ubo_VanticPrcCall ch;
  ASSERT_TRUE(LoadEdited([](std::vector<Entry>& e) { e[3].data = U32Bytes(~0u); }, ch));
  EXPECT_EQ(LinkNames(ch), (std::vector<std::string>{"This", "speed", "pos", "out"}));
  ASSERT_EQ(_messages.CountAtLevel(1), 1u);
  EXPECT_EQ(_messages.Last().text,
            "Ubo_VanticPrcCall::LoadChannel().ParametersMissing.Read[3].Saved[4294967295]");
  ExpectSound(ch);
}

TEST_F(DamagedRecordTest, NumbersOfTheWrongSizeArePassedOver) {
  // "STTC", "PRMS", then the first parameter's "TYPE" and "MODE".
  for (size_t k = 2; k <= 5; ++k) {
    for (size_t size : {0u, 3u, 5u, 8u}) {
      SCOPED_TRACE(_part[k].tag + " of " + std::to_string(size) + " bytes");
      Ubo_VanticPrcCall ch;
      ASSERT_TRUE(LoadEdited([&](std::vector<Entry>& e) { e[k].data.assign(size, 1); }, ch));
      ExpectSound(ch);
    }
  }
}

// Removes the entry `k` places after "OWNC".
Edit Erase(long k) {
  return [k](std::vector<Entry>& e) { e.erase(e.begin() + k); };
}
// Puts an entry of an unknown tag `k` places after "OWNC".
Edit Unknown(const char* tag, long k) {
  return [tag, k](std::vector<Entry>& e) { e.insert(e.begin() + k, Entry{tag, 1, {'?'}, 0}); };
}

// Repeated, missing and unknown tags. Entries are read in the order
// written, so a tag out of place is missing for its reader and every
// reader after it finds the same entry in its way.
struct TagCase {
  const char* what;
  Edit edit;
  const char* owner;  // expected owner class
  const char* name;   // expected procedure name
  bool isStatic;      // expected static flag
  size_t params;      // expected number of parameters, or -1: any
};

const TagCase kTagCases[] = {
    {"OWNC repeated", [](std::vector<Entry>& e) { e.insert(e.begin() + 1, e[0]); },
     "Car", "", true, 0},
    {"framework part repeated",
     [](std::vector<Entry>& e) { e.insert(e.begin(), {{"MODE", 4, U32Bytes(0), 0}, {"UACN", 1, {1}, 0}}); },
     "", "", true, 0},
    {"OWNC missing", Erase(0), "", "Drive", false, 3},
    {"PRCN missing", Erase(1), "Car", "", false, 3},
    {"STTC missing", Erase(2), "Car", "Drive", true, 3},
    {"PRMS missing", Erase(3), "Car", "Drive", false, 0},
    {"PRMS of 0xFFFFFFFF with no parameter behind",
     [](std::vector<Entry>& e) {
       e[3].data = U32Bytes(~0u);
       e.resize(4);
     },
     "Car", "Drive", false, 0},
    {"second TYPE missing", Erase(7), "Car", "Drive", false, 3},
    {"every NAME missing",
     [](std::vector<Entry>& e) { std::erase_if(e, [](const Entry& x) { return x.tag == "NAME"; }); },
     "Car", "Drive", false, 3},
    {"everything behind UACN missing", [](std::vector<Entry>& e) { e.clear(); },
     "", "", true, 0},
    {"unknown tag before OWNC", Unknown("XXXX", 0), "", "", true, 0},
    {"lower-case OWNC", [](std::vector<Entry>& e) { e[0].tag = "ownc"; }, "", "",
     true, 0},
    {"unknown tag among the parameters", Unknown("\x01\x02\x03\x04", 7), "Car", "Drive", false, 1},
    {"unknown tag at the end", Unknown("ZZZZ", 13), "Car", "Drive", false, 3},
    {"parameter entries in reverse order",
     [](std::vector<Entry>& e) { std::reverse(e.begin() + 4, e.end()); }, "Car",
     "Drive", false, static_cast<size_t>(-1)},
};

TEST_F(DamagedRecordTest, RepeatedMissingAndUnknownTags) {
  for (const TagCase& c : kTagCases) {
    SCOPED_TRACE(c.what);
    Ubo_VanticPrcCall ch;
    ASSERT_TRUE(LoadEdited(c.edit, ch));
    EXPECT_EQ(ch.GetPrcOwnerClass(), c.owner);
    EXPECT_EQ(ch.GetPrcName(), c.name);
    EXPECT_EQ(ch.IsStatic(), c.isStatic);
    if (c.params != static_cast<size_t>(-1)) {
      EXPECT_EQ(ch.GetParamVars().Count(), c.params);
    }
    EXPECT_EQ(ch.GetChannelName(), std::string(c.owner) + " :: " + c.name);
    ExpectSound(ch);
  }
}

}  // namespace
}  // namespace prccall_test
