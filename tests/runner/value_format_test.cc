// Text forms of values: exact round trips for the machine formats, safe
// quoting, and sparklines.
#include <cmath>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "runner/output/value_format.h"

namespace {

using namespace dravik;

TEST(FormatNumber, ShortestTextThatReadsBackTheSameFloat) {
  EXPECT_EQ(FormatNumber(0.1f), "0.1");
  EXPECT_EQ(FormatNumber(3.0f), "3");
  for (float f : {1.0f / 3.0f, 0.70000005f, 9.81f, 3.4028235e38f, 1.17549435e-38f, -0.0f}) {
    EXPECT_EQ(std::strtof(FormatNumber(f).c_str(), nullptr), f) << FormatNumber(f);
  }
  EXPECT_EQ(FormatNumber(NAN), "nan");
  EXPECT_EQ(FormatNumber(-INFINITY), "-inf");
}

TEST(JsonString, EscapesAndReplacesBadUtf8) {
  EXPECT_EQ(JsonString("a\"b\\c\n"), R"("a\"b\\c\u000a")");
  EXPECT_EQ(JsonString("ü"), "\"ü\"");
  EXPECT_EQ(JsonString("\xff\xc3"), "\"\\ufffd\\ufffd\"");
  EXPECT_EQ(JsonString("%s%n"), "\"%s%n\"");
}

TEST(CsvField, QuotesOnlyWhenNeeded) {
  EXPECT_EQ(CsvField("Math :: Add"), "Math :: Add");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
}

TEST(Sparkline, ScalesBetweenLeastAndGreatest) {
  EXPECT_EQ(Sparkline({0, 7}, 10), "▁█");
  EXPECT_EQ(Sparkline({1.0f, 1.0000001f}, 10), "▁▁");  // float noise is flat
  EXPECT_EQ(DisplayWidth(Sparkline(std::vector<float>(1000, 2.0f), 48)), 48u);
  EXPECT_EQ(Sparkline({}, 10), "");
  EXPECT_EQ(Sparkline({NAN, 1, 2}, 10), " ▁█");
}

}  // namespace
