#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/diagnostics/diagnostic_report.h"
#include "tests/support/test_support.h"

using testing_support::MessageCapture;

namespace {

// The documented bound, not the header's constant: a changed buffer size shows.
constexpr size_t kBound = 20480;

TEST(DiagnosticReport, LevelsZeroToThreeReachTheirFunctorOthersShowNothing) {
  MessageCapture capture;
  for (unsigned level = 0; level < 4; ++level) ShowDebugMessageAtLevel(level, "text");
  for (unsigned level : {4u, 100u, UINT_MAX}) ShowDebugMessageAtLevel(level, "none");
  ShowDebugMessageAtLevel(1, static_cast<const char*>(nullptr));
  ASSERT_EQ(capture.Count(), 4u);
  for (unsigned level = 0; level < 4; ++level) {
    EXPECT_EQ(capture.Messages()[level].level, level);
    EXPECT_EQ(capture.Messages()[level].text, "text");
  }
}

// An assertion report shows its head, "()." and the condition as text; a
// detail report formats its own arguments. Both at level 1.
TEST(DiagnosticReport, AssertionAndDetailReports) {
  MessageCapture capture;
  ReportAssertionFailure("Zyr::Op", "size()>0");
  ReportAssertionFailure("Zyr::Op", "100%u%");
  ReportAssertionFailure("Zyr::Op", "a\\b");
  ReportAssertionFailure("Head%s%n", "x");  // a head is an argument, never a format
  ReportDetail("Zyr::Op", "InvalidMode[%u].Name[%s]", 4294967295u, "50%off");
  ASSERT_EQ(capture.CountAtLevel(1), 5u);
  EXPECT_EQ(capture.Messages()[0].text, "Zyr::Op().size()>0");
  EXPECT_EQ(capture.Messages()[1].text, "Zyr::Op().100%u%");
  EXPECT_EQ(capture.Messages()[2].text, "Zyr::Op().a\\\\b");
  EXPECT_EQ(capture.Messages()[3].text, "Head%s%n().x");
  EXPECT_EQ(capture.Messages()[4].text, "Zyr::Op().InvalidMode[4294967295].Name[50%off]");
  // The escaped text, which printed as a format gives what was shown.
  EXPECT_EQ(EscapeConditionText("100%u%"), "100%%u%%");
  EXPECT_EQ(EscapeConditionText("a\\b"), "a\\\\b");
  EXPECT_EQ(EscapeConditionText(nullptr), "");
}

// Formats of plain text, "%s" and "%%" take a shorter way than the others;
// both write what snprintf writes, cut at the same bound.
TEST(DiagnosticReport, FormatsAsSnprintfDoes) {
  const std::string huge(30000, 'z');
  const struct {
    const char* format;
    const char* a;
    const char* b;
  } cases[] = {{"plain", "", ""}, {"a%%b%s.%s!", "x", "y"}, {"%s%s", huge.c_str(), "tail"},
               {"100%%", "", ""}, {"%s[%s]", nullptr, "n"}, {"%5s|%s", "ab", "c"},
               {"%s", "", ""},    {"[%s/%s].", "", ""}};
  for (const auto& c : cases) {
    static char want[kDebugMessageBufferSize];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
#pragma GCC diagnostic ignored "-Wformat-security"
    const int wanted = std::snprintf(want, sizeof(want), c.format, c.a, c.b);
    const int written = FormatDebugMessage(debugMessageBuffer, c.format, c.a, c.b);
#pragma GCC diagnostic pop
    EXPECT_EQ(written, std::min(wanted, static_cast<int>(kBound))) << c.format;
    EXPECT_STREQ(debugMessageBuffer, want) << c.format;
  }
}

TEST(DiagnosticReport, AppendStaysInsideTheBufferAtEveryOffset) {
  const std::string huge(30000, 'y');
  int length = FormatDebugMessage(debugMessageBuffer, "%s", "head");
  EXPECT_EQ(AppendDebugMessage(&length, "[%d]", 7), debugMessageBuffer);
  EXPECT_EQ(length, 4) << "the length is left unchanged";
  EXPECT_STREQ(debugMessageBuffer, "head[7]");

  // Near the end the text is cut; the last byte of the buffer stays 0.
  std::memset(debugMessageBuffer, 'a', kBound);
  debugMessageBuffer[kBound] = '\0';
  length = static_cast<int>(kBound) - 2;
  AppendDebugMessage(&length, "%s", huge.c_str());
  EXPECT_EQ(debugMessageBuffer[kBound - 2], 'y');
  EXPECT_EQ(debugMessageBuffer[kBound - 1], '\0');
  EXPECT_EQ(debugMessageBuffer[kBound], '\0');

  // At or past the bound, or negative, nothing is written.
  for (int offset : {static_cast<int>(kBound), static_cast<int>(kBound) + 1, 1 << 30, -1}) {
    debugMessageBuffer[0] = 'k';
    length = offset;
    AppendDebugMessage(&length, "%s", huge.c_str());
    EXPECT_EQ(length, offset);
    EXPECT_EQ(debugMessageBuffer[0], 'k');
    EXPECT_EQ(debugMessageBuffer[kBound], '\0');
  }

  // A full head leaves no room: the assertion report is the cut head.
  MessageCapture capture;
  ReportAssertionFailure(huge.c_str(), "cond");
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last().text, huge.substr(0, kBound));
}

// A text is copied as it is, cut to the field and ended there.
TEST(DiagnosticReport, CheckedStringCopyIsBounded) {
  struct {
    char field[8];
    char guard[4];
  } padded;
  std::memset(&padded, '#', sizeof(padded));
  EXPECT_EQ(CheckedStringCopy(padded.field, sizeof(padded.field), "01234%u89"), padded.field);
  EXPECT_STREQ(padded.field, "01234%u");
  EXPECT_EQ(std::string(padded.guard, 4), "####");
  CheckedStringCopy(padded.field, 0, "abc");
  EXPECT_STREQ(padded.field, "01234%u");
  CheckedStringCopy(padded.field, sizeof(padded.field), nullptr);
  EXPECT_STREQ(padded.field, "");
}

// Prefixes go before the message and everything past the bound is cut
// from the end, whether the message, the prefix or both are too long.
TEST(DiagnosticReport, PrependStaysInsideTheBuffer) {
  const std::string huge(30000, 'y');
  const struct {
    int length;
    const char* parts[3];  // null parts are skipped
    int wantLength;
    char wantFirst, wantLast;
  } cases[] = {
      {4, {"A", nullptr, "B"}, 6, 'A', 'l'},
      {-5, {"A"}, 1, 'A', 'A'},
      {1 << 30, {"P"}, static_cast<int>(kBound) - 1, 'P', 'm'},
      {4, {huge.c_str()}, static_cast<int>(kBound) - 1, 'y', 'y'},
      {1 << 30, {"P", huge.c_str()}, static_cast<int>(kBound) - 1, 'P', 'y'},
  };
  for (const auto& c : cases) {
    std::memset(debugMessageBuffer, 'm', kBound);
    std::memcpy(debugMessageBuffer, "tail", 5);
    if (c.length > 4) debugMessageBuffer[4] = 'm';
    const int length = PrependDebugMessage(c.length, {c.parts[0], c.parts[1], c.parts[2]});
    EXPECT_EQ(length, c.wantLength) << c.length;
    EXPECT_EQ(debugMessageBuffer[0], c.wantFirst) << c.length;
    EXPECT_EQ(debugMessageBuffer[length - 1], c.wantLast) << c.length;
    EXPECT_EQ(debugMessageBuffer[length], '\0') << c.length;
  }
}

}  // namespace
