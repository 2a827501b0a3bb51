// A whole saved scene (the runner's file: its own record, then one record
// per channel, procedure-call channels among them, read back through the
// module the host loaded) cut at every byte, with every bit flipped, and
// with every byte damaged behind checksums made good again. Loading refuses
// what it cannot take with one line, never crashes or leaks, and a scene it
// takes runs.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "hostapi/vantic_procedure.h"
#include "hostapi/zyr_file.h"
#include "runner/scene/default_scene.h"
#include "runner/environment/host_environment.h"
#include "runner/scene/scene_file.h"
#include "runner/scene/scene_json.h"
#include "runner/scene/scene_runtime.h"
#include "tests/support/test_support.h"

namespace fault {
namespace {

class QuietObserver final : public dravik::RunObserver {
 public:
  void OnBegin(const dravik::Scene&, uint32_t, uint32_t,
               const std::vector<dravik::ChannelValue>&) override {}
  void OnNote(uint32_t, const std::string&) override {}
  void OnFrame(uint32_t, const std::vector<dravik::ChannelValue>& values) override {
    frames += !values.empty();
  }
  void OnEnd() override {}
  int frames = 0;
};

// The framework emptied, as each run of the program finds it.
void ClearFramework() {
  ProceduresManager& framework = CoreFramework::Singleton<ProceduresManager>::Instance();
  framework.RemoveAll();
  framework.Objects().Clear();
}

// A host as `dravik run` sets it up: the float channel types and the
// modules of the build, the procedure-call module among them, over an
// empty framework.
std::unique_ptr<dravik::HostEnvironment> NewHost() {
  ClearFramework();
  auto host = std::make_unique<dravik::HostEnvironment>();
  std::vector<std::string> refused;
  std::string error;
  EXPECT_TRUE(host->LoadModules(VPC_MODULES_DIR, &refused, &error)) << error;
  EXPECT_TRUE(host->HasPrcCallType());
  return host;
}

// A small scene: a value, a call of Math::Add on it, its result.
constexpr char kSmallScene[] = R"({"frames": 2, "channels": [
  {"id": "x", "type": "value", "value": 1},
  {"id": "c", "type": "call", "owner": "Math", "procedure": "Add", "links": {"a": "x", "b": "x", "result": "r"}},
  {"id": "r", "type": "value"}]})";

// `text` (the default scene when empty) after `frames` frames on `host`,
// saved.
std::vector<uint8_t> SavedScene(dravik::HostEnvironment& host, uint32_t frames, std::string text = {}) {
  ClearFramework();
  dravik::SceneRuntime runtime(host);
  dravik::Scene scene;
  std::string error;
  if (text.empty()) text = dravik::DefaultSceneText();
  EXPECT_TRUE(dravik::LoadSceneJson(text, &scene, &error)) << error;
  EXPECT_TRUE(runtime.Build(std::move(scene), text, &error)) << error;
  QuietObserver observer;
  runtime.Run(frames, observer);
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(dravik::SaveScene(runtime, &bytes, &error)) << error;
  return bytes;
}

// Loads `bytes` into a fresh runtime on `host`, with the framework emptied
// (loading the modules again would take most of the time). When the load
// is taken, runs two frames; when refused, checks the error is one line.
bool LoadAndRun(const std::vector<uint8_t>& bytes, dravik::HostEnvironment& host) {
  ClearFramework();
  dravik::SceneRuntime runtime(host);
  std::string error;
  if (!dravik::LoadScene(bytes, "damaged.zyr", runtime, &error)) {
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    return false;
  }
  QuietObserver observer;
  runtime.Run(2, observer);
  EXPECT_EQ(observer.frames, 2);
  return true;
}

class SavedSceneTest : public ::testing::Test {
 protected:
  void SetUp() override { _saved = SavedScene(*_host, 3); }
  void TearDown() override { CoreFramework::Singleton<ProceduresManager>::Instance().RemoveAll(); }

  testing_support::MessageCapture _messages;  // keeps the channels' reports quiet
  std::unique_ptr<dravik::HostEnvironment> _host = NewHost();
  std::vector<uint8_t> _saved;
};

// Only the whole file loads.
TEST_F(SavedSceneTest, CutAtEveryByteIsRefused) {
  ASSERT_GT(_saved.size(), 100u);
  for (auto end = _saved.begin(); end <= _saved.end(); ++end) {
    SCOPED_TRACE("cut at " + std::to_string(end - _saved.begin()));
    EXPECT_EQ(LoadAndRun(std::vector<uint8_t>(_saved.begin(), end), *_host), end == _saved.end());
  }
}

TEST_F(SavedSceneTest, EverySingleBitFlipIsRefused) {
  const std::vector<uint8_t> small = SavedScene(*_host, 1, kSmallScene);
  ASSERT_TRUE(LoadAndRun(small, *_host));
  for (size_t bit = 0; bit < small.size() * 8; ++bit) {
    std::vector<uint8_t> flipped = small;
    flipped[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_FALSE(LoadAndRun(flipped, *_host)) << "bit " << bit;
  }
}

TEST_F(SavedSceneTest, EveryByteDamagedLoadsOrIsRefused) {
  // Each byte in turn set to 0xFF (a huge size, count or id where it
  // lands in one) or, where it is 0xFF, to 0; the checksums are made good
  // again, so that the damage reaches the records' readers.
  size_t taken = 0;
  for (size_t at = 0; at < _saved.size(); ++at) {
    SCOPED_TRACE("byte " + std::to_string(at));
    std::vector<uint8_t> damaged = _saved;
    damaged[at] = damaged[at] == 0xFF ? 0x00 : 0xFF;
    ZyrResealRecords(&damaged);
    taken += LoadAndRun(damaged, *_host);
  }
  // Text and value bytes may change without the file being refused.
  EXPECT_LT(taken, _saved.size());
}

}  // namespace
}  // namespace fault
