// `dravik run --report`: the HTML report opened from disk in headless
// Chromium. After its scripts ran, every watched channel has a drawn plot,
// every call is in the status map, and the message table and what it says
// it folded add up to every message of the run; names that hold markup and
// script text stay text, long ones shortened with the whole on hover. On a
// large scene the same holds, with the graph condensed. (What the page
// embeds, and that no text ends its scripts early, is checked by
// ReportData and ReportHtml in output_test.) Without Chromium the test is
// skipped (exit code 77).
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/runner/dravik_process.h"
#include "tests/support/test_support.h"

namespace {

using nlohmann::json;

const std::string kChromium = VPC_CHROMIUM;

runner_testing::Result Chromium(const std::string& dir, std::vector<std::string> args) {
  std::vector<std::string> all = {kChromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                                  "--no-first-run", "--disable-background-networking", "--disable-component-update",
                                  "--disable-sync", "--user-data-dir=" + dir, "--virtual-time-budget=10000"};
  all.insert(all.end(), args.begin(), args.end());
  return runner_testing::RunProgram(std::move(all));
}

// Ids and names with quotes, markup, a script's end and a JSON line break,
// one of them long; an event, so that the plots mark it.
const char kHostileScene[] =
    R"({"name": "</script><script>x=1</script>", "frames": 4, "channels": [)"
    R"({"id": "v\"<b>&amp;\u2028</script>", "type": "vector", "value": [1, 2, 3], "animate": {"step": [1, 0, 0]}},)"
    R"({"id": "<!--", "type": "value", "value": 2},)"
    R"({"id": "<i>a very long id of a value channel, far longer than a heading shows</i>", "type": "value"},)"
    R"({"id": "len'", "type": "call", "owner": "Vec3", "procedure": "Length",)"
    R"( "links": {"v": "v\"<b>&amp;\u2028</script>", "result": "<!--"}},)"
    R"({"id": "gone", "type": "call", "owner": "No", "procedure": "Such", "params": [{"name": "a"}]}],)"
    R"( "events": [{"frame": 2, "set": {"channel": "<!--", "value": 5}}]})";

using runner_testing::Count;

// What a run printed as jsonl, and its report as Chromium shows it once
// its scripts have run.
struct Drawn {
  std::set<std::string> watched;
  size_t messages = 0;
  std::string dom;
};

Drawn RunAndDraw(const testing_support::ScratchDir& scratch, const std::string& scene) {
  const std::string report = scratch.File("report.html");
  const runner_testing::Result run = runner_testing::RunDravik(
      {"run", "-f", "jsonl", "--report", report, runner_testing::WriteFile(scratch.File("scene.json"), scene)});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  Drawn d;
  for (const std::string& line : runner_testing::LinesWith(run.out, "\"type\":\"value\"")) {
    d.watched.insert(json::parse(line)["channel"].get<std::string>());
  }
  d.messages = Count(run.out, "\"type\":\"message\"");
  const runner_testing::Result dom = Chromium(scratch.File("profile"), {"--dump-dom", "file://" + report});
  EXPECT_EQ(dom.exitCode, 0) << dom.err;
  d.dom = dom.out;
  EXPECT_NE(d.dom.find("data-ready=\"1\""), std::string::npos) << "the report's script did not finish";
  return d;
}

// The numbers of `attribute`="N" in `dom`, added up.
size_t Sum(const std::string& dom, const std::string& attribute) {
  size_t sum = 0;
  const std::string key = attribute + "=\"";
  for (size_t at = dom.find(key); at != std::string::npos; at = dom.find(key, at + 1)) {
    sum += std::stoul(dom.substr(at + key.size()));
  }
  return sum;
}

TEST(ReportInBrowser, EveryWatchedChannelIsPlottedAndEveryMessageCounted) {
  testing_support::ScratchDir scratch;
  const Drawn d = RunAndDraw(scratch, kHostileScene);
  ASSERT_GT(d.messages, 0u);
  EXPECT_EQ(Count(d.dom, "<div class=\"plot"), d.watched.size());
  EXPECT_EQ(Count(d.dom, "data-drawn=\"1\""), d.watched.size());
  EXPECT_EQ(Sum(d.dom, "data-calls"), 2u);  // the status map
  runner_testing::ExpectHas(d.dom, {"<h3>v\"&lt;b&gt;&amp;amp;\\u2028&lt;/script&gt;</h3>", "<h3>&lt;!--</h3>",
                                    "<h3 title=\"&lt;i&gt;a very long id of a value channel, far longer than a "
                                    "heading shows&lt;/i&gt;\">&lt;i&gt;a very long i\xE2\x80\xA6" "ading shows&lt;/i&gt;</h3>"});
  EXPECT_EQ(Sum(d.dom, "data-count"), d.messages);  // nothing folded
}

// 30,000 channels: the graph condensed, the calls in one map, the messages
// of each text folded past the channels the table holds, and everything
// counted.
TEST(ReportInBrowser, ALargeSceneIsDrawnAndCounted) {
  testing_support::ScratchDir scratch;
  const size_t chains = 30000 / 33;
  const Drawn d = RunAndDraw(scratch, runner_testing::ChainScene(chains));
  EXPECT_EQ(Count(d.dom, "data-drawn=\"1\""), d.watched.size());
  EXPECT_EQ(Sum(d.dom, "data-calls"), chains * 16);
  const size_t missing = (chains - 5 + 96) / 97;
  runner_testing::ExpectHas(d.dom, {std::to_string(missing) + " failed", "so the graph is condensed", "<svg"});
  EXPECT_LE(Count(d.dom, "<tr data-level="), 2000u);
  EXPECT_GT(Count(d.dom, "more channels</td>"), 0u);  // the channels past what each text lists
  EXPECT_EQ(Sum(d.dom, "data-count") + Sum(d.dom, "data-folded"), d.messages);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (kChromium.empty() || access(kChromium.c_str(), X_OK) != 0) {
    std::printf("skipped: no Chromium to open the report in (install Debian's chromium; "
                "scripts/install-deps.sh does)\n");
    return 77;
  }
  return RUN_ALL_TESTS();
}
