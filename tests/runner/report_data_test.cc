// The data behind the report's plots: every frame while it fits, least and
// greatest of each run of frames beyond, no text that could end a script.
#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "runner/output/report_page.h"

namespace {

using namespace dravik;
using nlohmann::json;

RunRecord Record(uint32_t first, size_t frames) {
  RunRecord r;
  r.first = first;
  r.last = first + static_cast<uint32_t>(frames) - 1;
  RecordedSeries value;
  value.id = "v";
  RecordedSeries vector;
  vector.id = "</script>";
  vector.isVector = true;
  vector.kind = ChannelKind::kVector;
  RecordedSeries call;
  call.id = "c";
  call.kind = ChannelKind::kCall;
  for (size_t i = 0; i < frames; ++i) {
    value.values.push_back(i == 2 ? NAN : static_cast<float>(i));
    vector.values.push_back(static_cast<float>(i));
    vector.vectors.push_back(Vec3{static_cast<float>(i), -static_cast<float>(i), 0});
    call.values.push_back(i == 7 ? 1.0f : 0.0f);
  }
  r.watched = {value, vector, call};
  r.calls = {call};
  r.notes = {{5, "renamed \xE2\x80\xA8"}};
  return r;
}

TEST(ReportData, KeepsEveryFrameOrTheExtremesOfEachRun) {
  const struct {
    size_t frames, maxPoints;
    json x, value, vectorY, status;
    size_t stride;
  } cases[] = {
      {4, 10, {11, 12, 13, 14}, {0, 1, nullptr, 3}, {0, -1, -2, -3}, {0, 0, 0, 0}, 1},
      // 10 frames in at most 4 points: two runs of 5 frames, two points each.
      {10, 4, {11, 13, 16, 18}, {0, 4, 5, 9}, {-4, 0, -9, -5}, {0, 0, 0, 1}, 5},
      // 13 frames in at most 8 points: runs of 4, and a last run of one frame has one point.
      {13, 8, {11, 13, 15, 17, 19, 21, 23}, {0, 3, 4, 7, 8, 11, 12}, {-3, 0, -7, -4, -11, -8, -12},
       {0, 0, 0, 1, 0, 0, 0}, 4},
  };
  for (const auto& c : cases) {
    const json data = json::parse(ReportData(Record(11, c.frames), c.maxPoints));
    EXPECT_EQ(data["x"], c.x) << c.frames;
    EXPECT_EQ(data["stride"], c.stride);
    EXPECT_EQ(data["plots"].size(), 2u);  // the watched call is drawn as a timeline
    EXPECT_EQ(data["plots"][0]["series"]["value"], c.value);
    EXPECT_EQ(data["plots"][1]["series"]["y"], c.vectorY);
    EXPECT_EQ(data["calls"][0]["status"], c.status);
    EXPECT_EQ(data["events"][0]["frame"], 5);
  }
}

TEST(ReportHtml, NoTextEndsAScriptEarly) {
  Scene scene;
  scene.name = "</script><script>";
  const std::string html = ReportHtml(scene, Record(1, 3), "", "<!--");
  size_t scripts = 0;
  for (size_t at = html.find("</script"); at != std::string::npos; at = html.find("</script", at + 1)) ++scripts;
  EXPECT_EQ(scripts, 3u);  // the data, the charting library, the page's own
  EXPECT_EQ(html.find("<!--"), std::string::npos);
  const size_t data = html.find("id=\"report-data\"");
  const std::string embedded = html.substr(data, html.find("</script>", data) - data);
  EXPECT_EQ(embedded.find("\xE2\x80\xA8"), std::string::npos);
  EXPECT_NE(embedded.find("renamed \\u2028"), std::string::npos);
}

}  // namespace
