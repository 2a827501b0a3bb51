#include "plugin/diagnostics/diagnostic_report.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "hostapi/engine_interface.h"
#include "plugin/entry/static_objects.h"

namespace {

// Bound of every text formatted at an offset of the buffer (and of
// FormatTempString): the buffer less its last byte, which so stays 0.
constexpr size_t kAppendBound = kDebugMessageBufferSize - 1;  // 20480

// Formats into `dest` of `bound` bytes. A text that does not fit is cut at
// bound - 1 characters. Returns the number of characters that stand in
// `dest` (never the length the text would have had), 0 on a format error.
// The format attribute carries the callers' format checks through the
// va_list.
// FormatBounded's way for a format of plain characters, "%s" and "%%"
// only, the reports' usual kind, without the general formatter: writes what
// vsnprintf would and returns the characters written; -1, leaving the
// general formatter to decide, for any other format or a null "%s".
int FormatPlain(char* dest, size_t bound, const char* format, va_list args) {
  for (const char* f = std::strchr(format, '%'); f != nullptr; f = std::strchr(f + 2, '%')) {
    if (f[1] != 's' && f[1] != '%') return -1;
  }
  va_list scan;
  va_copy(scan, args);
  const size_t room = bound - 1;
  size_t written = 0;
  size_t wanted = 0;
  for (const char* f = format; *f != '\0';) {
    const char* piece = f;
    size_t length = 1;
    if (*f != '%') {  // a run of plain characters
      const char* end = std::strchr(f, '%');
      length = end != nullptr ? static_cast<size_t>(end - f) : std::strlen(f);
      f += length;
    } else {
      f += 2;
      if (f[-1] == 's') {
        piece = va_arg(scan, const char*);
        if (piece == nullptr) {
          va_end(scan);
          return -1;
        }
        length = std::strlen(piece);
      }
    }
    const size_t taken = std::min(length, room - written);
    std::memcpy(dest + written, piece, taken);
    written += taken;
    wanted += length;
  }
  va_end(scan);
  if (wanted > static_cast<size_t>(INT_MAX)) written = 0;  // vsnprintf fails: nothing stands
  dest[written] = '\0';
  return static_cast<int>(written);
}

__attribute__((format(printf, 3, 0))) int FormatBounded(char* dest, size_t bound,
                                                        const char* format, va_list args) {
  if (dest == nullptr || bound == 0) return 0;
  if (format == nullptr) {
    dest[0] = '\0';
    return 0;
  }
  const int plain = FormatPlain(dest, bound, format, args);
  if (plain >= 0) return plain;
  const int wanted = std::vsnprintf(dest, bound, format, args);
  if (wanted < 0) {
    dest[0] = '\0';
    return 0;
  }
  return static_cast<size_t>(wanted) < bound ? wanted : static_cast<int>(bound - 1);
}

// Formats at offset *length of debugMessageBuffer with the bound
// kAppendBound - *length; an offset outside [0, kAppendBound) formats
// nothing. *length is not changed.
__attribute__((format(printf, 2, 0))) void AppendFormatted(const int* length, const char* format,
                                                           va_list args) {
  if (length == nullptr || *length < 0 || static_cast<size_t>(*length) >= kAppendBound) return;
  const size_t offset = static_cast<size_t>(*length);
  FormatBounded(debugMessageBuffer + offset, kAppendBound - offset, format, args);
}

// Writes "<head>()." at the start of debugMessageBuffer; returns its length.
int FormatHead(const char* head) {
  return FormatDebugMessage(debugMessageBuffer, "%s%s", head != nullptr ? head : "", "().");
}

}  // namespace

int FormatDebugMessageV(char* buffer, const char* format, va_list args) {
  return FormatBounded(buffer, kDebugMessageBufferSize, format, args);
}

int FormatDebugMessage(char* buffer, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = FormatBounded(buffer, kDebugMessageBufferSize, format, args);
  va_end(args);
  return written;
}

char* AppendDebugMessage(int* length, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AppendFormatted(length, format, args);
  va_end(args);
  return debugMessageBuffer;
}

int PrependDebugMessage(int length, std::initializer_list<const char*> parts) noexcept {
  size_t kept = length > 0 ? static_cast<size_t>(length) : 0;
  if (kept > kAppendBound - 1) kept = kAppendBound - 1;
  size_t front = 0;
  for (const char* part : parts) front += part != nullptr ? std::strlen(part) : 0;
  if (front > kAppendBound - 1) front = kAppendBound - 1;
  if (front + kept > kAppendBound - 1) kept = kAppendBound - 1 - front;
  std::memmove(debugMessageBuffer + front, debugMessageBuffer, kept);
  debugMessageBuffer[front + kept] = '\0';
  size_t at = 0;
  for (const char* part : parts) {
    if (part == nullptr) continue;
    const size_t n = std::min(std::strlen(part), front - at);
    std::memcpy(debugMessageBuffer + at, part, n);
    at += n;
  }
  return static_cast<int>(front + kept);
}

void ShowDebugMessageAtLevel(unsigned level, const char* text) noexcept {
  if (level > 3 || text == nullptr || globalEngine == nullptr) return;
  try {
    globalEngine->_showDebugMessage[level](text);
  } catch (...) {  // the engine could not take it; a report never throws
  }
}

void ShowDebugMessageAtLevel(unsigned level, const std::string& text) noexcept {
  ShowDebugMessageAtLevel(level, text.c_str());
}

const char* FormatTempString(const char* format, ...) noexcept {
  va_list args;
  va_start(args, format);
  const int written = FormatBounded(debugMessageBuffer, kAppendBound, format, args);
  va_end(args);
  try {
    formatTempStringHolder.assign(debugMessageBuffer, static_cast<size_t>(written));
  } catch (...) {
    return debugMessageBuffer;  // the text stands there too
  }
  return formatTempStringHolder.c_str();
}

char* CheckedStringCopy(char* Dest, size_t size, const char* Src) {
  if (Dest == nullptr || size == 0) return Dest;
  const size_t length = Src != nullptr ? strnlen(Src, size - 1) : 0;
  if (length > 0) std::memcpy(Dest, Src, length);
  Dest[length] = '\0';
  return Dest;
}

std::string EscapeConditionText(const char* text) {
  std::string escaped;
  if (text == nullptr) return escaped;
  for (const char* p = text; *p != '\0'; ++p) {
    escaped.push_back(*p);
    if (*p == '%' || *p == '\\') escaped.push_back(*p);
  }
  return escaped;
}

void ReportAssertionFailure(const char* head, const char* condition) noexcept {
  // The condition is written as its escaped text (EscapeConditionText)
  // prints when used as a format: each '%' once, each '\' twice. Written
  // directly, so that no copy is made and nothing can fail.
  size_t at = static_cast<size_t>(FormatHead(head));
  for (const char* p = condition; p != nullptr && *p != '\0'; ++p) {
    const size_t times = *p == '\\' ? 2 : 1;
    if (at + times > kAppendBound - 1) break;
    for (size_t i = 0; i < times; ++i) debugMessageBuffer[at++] = *p;
  }
  debugMessageBuffer[at] = '\0';
  ShowDebugMessageAtLevel(1, debugMessageBuffer);
}

void ReportDetail(const char* head, const char* format, ...) noexcept {
  const int length = FormatHead(head);
  va_list args;
  va_start(args, format);
  AppendFormatted(&length, format, args);
  va_end(args);
  ShowDebugMessageAtLevel(1, debugMessageBuffer);
}

std::string FormatDetail(const char* head, const char* format, ...) {
  const int length = FormatHead(head);
  va_list args;
  va_start(args, format);
  AppendFormatted(&length, format, args);
  va_end(args);
  return std::string(debugMessageBuffer);
}
