// `dravik run --report`: the HTML report opened from disk in headless
// Chromium. After its scripts ran, every watched channel has a drawn plot
// and the message table holds every message of the run; names that hold
// markup and script text stay text. (What the page embeds, and that no
// text ends its scripts early, is checked by ReportData and ReportHtml in
// output_test.) Without Chromium the test is skipped (exit code 77).
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

// Ids and names with quotes, markup, a script's end and a JSON line break;
// an event, so that the plots mark it.
const char kHostileScene[] =
    R"({"name": "</script><script>x=1</script>", "frames": 4, "channels": [)"
    R"({"id": "v\"<b>&amp;\u2028</script>", "type": "vector", "value": [1, 2, 3], "animate": {"step": [1, 0, 0]}},)"
    R"({"id": "<!--", "type": "value", "value": 2},)"
    R"({"id": "len'", "type": "call", "owner": "Vec3", "procedure": "Length",)"
    R"( "links": {"v": "v\"<b>&amp;\u2028</script>", "result": "<!--"}},)"
    R"({"id": "gone", "type": "call", "owner": "No", "procedure": "Such", "params": [{"name": "a"}]}],)"
    R"( "events": [{"frame": 2, "set": {"channel": "<!--", "value": 5}}]})";

using runner_testing::Count;

TEST(ReportInBrowser, EveryWatchedChannelIsPlottedAndEveryMessageListed) {
  testing_support::ScratchDir scratch;
  const std::string report = scratch.File("hostile.html");
  const runner_testing::Result run = runner_testing::RunDravik(
      {"run", "-f", "jsonl", "--report", report, runner_testing::WriteFile(scratch.File("hostile.json"), kHostileScene)});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::set<std::string> watched;
  for (const std::string& line : runner_testing::LinesWith(run.out, "\"type\":\"value\"")) {
    watched.insert(json::parse(line)["channel"].get<std::string>());
  }
  const size_t messages = Count(run.out, "\"type\":\"message\"");
  ASSERT_GT(messages, 0u);

  const runner_testing::Result dom = Chromium(scratch.File("profile"), {"--dump-dom", "file://" + report});
  ASSERT_EQ(dom.exitCode, 0) << dom.err;
  EXPECT_NE(dom.out.find("data-ready=\"1\""), std::string::npos) << "the report's script did not finish";
  EXPECT_EQ(Count(dom.out, "<div class=\"plot"), watched.size());
  EXPECT_EQ(Count(dom.out, "data-drawn=\"1\""), watched.size());
  runner_testing::ExpectHas(dom.out, {"<h3>v\"&lt;b&gt;&amp;amp;\\u2028&lt;/script&gt;</h3>", "<h3>&lt;!--</h3>"});
  EXPECT_EQ(Count(dom.out, "<tr data-level="), messages);
  EXPECT_NE(dom.out.find(std::to_string(messages) + " of " + std::to_string(messages)), std::string::npos);
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
