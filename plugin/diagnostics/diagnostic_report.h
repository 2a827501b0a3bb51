// DiagnosticReport: the module's one diagnostic facility.
//
// Every report is formatted into the shared `debugMessageBuffer` from its
// start and handed to one of the engine's four message functors (levels 0 to
// 3). A report never throws and never stops the caller. Nothing here is
// thread safe; the engine calls channels on one thread.
#ifndef PLUGIN_DIAGNOSTICS_DIAGNOSTIC_REPORT_H_
#define PLUGIN_DIAGNOSTICS_DIAGNOSTIC_REPORT_H_

#include <cstdarg>
#include <cstddef>
#include <initializer_list>
#include <string>

// Size of the shared message buffer, terminator included.
inline constexpr size_t kDebugMessageBufferSize = 20481;

// The shared message buffer; all 0 at load.
extern char debugMessageBuffer[kDebugMessageBufferSize];

// Formats by the printf rules into `buffer` (REQUIRES: `buffer` is
// debugMessageBuffer or as large) with a bound of kDebugMessageBufferSize.
// A text longer than the bound is cut. Returns the number of characters
// actually written (never more than the bound minus one); 0 for a null
// buffer or format.
int FormatDebugMessage(char* buffer, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Formats at offset *length of debugMessageBuffer with a bound of
// 20480 - *length. *length is left unchanged. An offset outside the buffer
// formats nothing. Returns debugMessageBuffer.
char* AppendDebugMessage(int* length, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// FormatDebugMessage over a va_list.
int FormatDebugMessageV(char* buffer, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

// Puts the concatenation of `parts` (null parts are skipped) before the
// first `length` characters of debugMessageBuffer; what then passes the
// bound of 20480 is cut from the end. Returns the new length. Allocates
// nothing. REQUIRES: no part lies inside debugMessageBuffer.
int PrependDebugMessage(int length, std::initializer_list<const char*> parts) noexcept;

// Shows `text` through the functor of `level` (0 to 3) of globalEngine; any
// other level, or a null text, shows nothing. A functor that throws is
// ignored: the report is simply lost.
void ShowDebugMessageAtLevel(unsigned level, const char* text) noexcept;
void ShowDebugMessageAtLevel(unsigned level, const std::string& text) noexcept;

// Formats into debugMessageBuffer from its start (bound 20480), copies the
// result into the module's text holder and returns the holder's text. Valid
// until the next call, which overwrites it. When the holder cannot take
// the copy (memory has run out), returns debugMessageBuffer itself.
const char* FormatTempString(const char* format, ...) noexcept
    __attribute__((format(printf, 1, 2)));

// Copies `Src` literally ('%' included) into the field `Dest` of `size`
// bytes, NUL-terminated; a text of `size` characters or more is cut at
// size - 1. Returns Dest. A null Src writes an empty text; a null Dest or a
// size of 0 writes nothing.
char* CheckedStringCopy(char* Dest, size_t size, const char* Src);

// A copy of `text` in which every '%' and every '\' stands twice.
std::string EscapeConditionText(const char* text);

// The assertion report: "<head>().<condition>" at level 1, the condition
// shown as its escaped text prints when used as a format (each '%' once,
// each '\' twice). Allocates nothing; never throws.
void ReportAssertionFailure(const char* head, const char* condition) noexcept;

// The detail report: "<head>()." followed by `format` filled in, at level 1.
// Allocates nothing; never throws.
void ReportDetail(const char* head, const char* format, ...) noexcept
    __attribute__((format(printf, 2, 3)));

// Formats "<head>()." followed by `format` filled in, and returns the text
// without showing it. Throws std::bad_alloc when memory runs out.
std::string FormatDetail(const char* head, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

#endif  // PLUGIN_DIAGNOSTICS_DIAGNOSTIC_REPORT_H_
