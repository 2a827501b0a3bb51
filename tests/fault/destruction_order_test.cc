// Channels destroyed in every order: made by InitDLL, by their class and
// by copying, destroyed through the engine's base and through the
// framework's, plugged into one another. The type's registry lives exactly
// as long as the last of them, and no channel ever reaches one destroyed
// before it.
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "plugin/entry/entry.h"
#include "tests/support/prc_call_support.h"

namespace prccall_test {
namespace {

using Extension = ChannelExtension<Ubo_FloatChannel>;

class DestructionOrderTest : public PrcCallTest {
 protected:
  void SetUp() override {
    PrcCallTest::SetUp();
    VarList params;
    params.AddVar(FloatVar("x", VarMode_In));
    params.AddVar(FloatVar("y", VarMode_Out));
    Register("Chain", "Step", true, params, [](VarList& vars) {
      *vars._vars[1]->FloatValue() = *vars._vars[0]->FloatValue() + 1.0f;
      return 0;
    });
  }
};

constexpr size_t kChannels = 4;

// Four channels, bound and plugged into a ring: each one's "x" is the
// next one's value, and each one's "y" writes into the one after that.
struct Ring {
  Ring() {
    channels[0] = dynamic_cast<Ubo_VanticPrcCall*>(InitDLL());
    channels[1] = new Ubo_VanticPrcCall();
    channels[2] = new Ubo_VanticPrcCall(*channels[0]);
    channels[3] = dynamic_cast<Ubo_VanticPrcCall*>(InitDLL());
    for (Ubo_VanticPrcCall* ch : channels) {
      EXPECT_NE(ch, nullptr);
      EXPECT_EQ(ch->UpdatePrc("Chain", "Step"), kUpdatePrcBound);
    }
    for (size_t i = 0; i < kChannels; ++i) {
      EXPECT_TRUE(channels[i]->PlugChild(0, channels[(i + 1) % kChannels]));
      EXPECT_TRUE(channels[i]->PlugChild(1, channels[(i + 2) % kChannels]));
    }
    channels[0]->PrepareModesList("Chain");
  }

  // Destroys channel i the way its maker would: the engine's channels
  // through DllInterface, the others through the framework's interface or
  // their class.
  void Destroy(size_t i) {
    switch (i) {
      case 0:
      case 3:
        delete static_cast<DllInterface*>(channels[i]);
        break;
      case 1:
        delete static_cast<Extension*>(channels[i]);
        break;
      default:
        delete channels[i];
        break;
    }
    channels[i] = nullptr;
  }

  std::array<Ubo_VanticPrcCall*, kChannels> channels{};
};

TEST_F(DestructionOrderTest, EveryOrderEmptiesTheRegistryWithTheLastChannel) {
  std::array<size_t, kChannels> order = {0, 1, 2, 3};
  int orders = 0;
  do {
    SCOPED_TRACE("order " + std::to_string(order[0]) + std::to_string(order[1]) +
                 std::to_string(order[2]) + std::to_string(order[3]));
    ASSERT_EQ(PrcCallTestPeer::RefCount(), 0u);
    ASSERT_EQ(PrcCallTestPeer::Modes().size(), 0u);
    Ring ring;
    EXPECT_EQ(PrcCallTestPeer::RefCount(), kChannels);
    NextFrame();
    for (Ubo_VanticPrcCall* ch : ring.channels) EXPECT_EQ(ch->GetFloat(), kPrcStatusOk);

    for (size_t n = 0; n < kChannels; ++n) {
      ring.Destroy(order[n]);
      const size_t left = kChannels - n - 1;
      EXPECT_EQ(PrcCallTestPeer::RefCount(), left);
      // The registry stays while a channel lives, and goes with the last.
      EXPECT_EQ(PrcCallTestPeer::Modes().size(), left > 0 ? 1u : 0u);
      // The ones left run with a link emptied: inputs not taken, or done.
      NextFrame();
      for (Ubo_VanticPrcCall* ch : ring.channels) {
        if (ch == nullptr) continue;
        const float status = ch->GetFloat();
        EXPECT_TRUE(status == kPrcStatusOk || status == kPrcStatusInputs) << status;
      }
    }
    ++orders;
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(orders, 24);
}

TEST_F(DestructionOrderTest, NextChannelAfterTheLastRebuildsTheInitialModes) {
  {
    Ring ring;
    for (size_t i = 0; i < kChannels; ++i) ring.Destroy(i);
  }
  ASSERT_EQ(PrcCallTestPeer::Modes().size(), 0u);
  std::unique_ptr<DllInterface> fresh(InitDLL());
  EXPECT_EQ(PrcCallTestPeer::Modes().size(), 1u);
  EXPECT_STREQ(dynamic_cast<Ubo_VanticPrcCall&>(*fresh).GetChannelName(), "VanticPrcCall_Call");
}

TEST_F(DestructionOrderTest, FollowedProcedureChangingAfterItsChannelsWentReachesNoOne) {
  {
    Ring ring;
    for (size_t i : {2u, 0u, 3u, 1u}) ring.Destroy(i);
  }
  // Would call OnProcedureUpdate on every follower still registered.
  EXPECT_TRUE(Procedures().Rename("Chain", "Step", "Chain", "Next"));
  EXPECT_TRUE(Procedures().Remove("Chain", "Next"));
}

}  // namespace
}  // namespace prccall_test
