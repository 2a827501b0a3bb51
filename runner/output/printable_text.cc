#include "runner/output/printable_text.h"

#include <utf8proc.h>

#include <cstdio>

namespace dravik {

size_t DecodeUtf8(std::string_view text, size_t at, char32_t* codePoint) {
  const auto byte = static_cast<unsigned char>(text[at]);
  if (byte < 0x80) {
    *codePoint = byte;
    return 1;
  }
  utf8proc_int32_t cp = 0;
  const size_t left = text.size() - at;
  const utf8proc_ssize_t n = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                              static_cast<utf8proc_ssize_t>(left < 4 ? left : 4), &cp);
  if (n <= 0) return 0;
  *codePoint = static_cast<char32_t>(cp);
  return static_cast<size_t>(n);
}

bool IsInvisible(char32_t codePoint) {
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(codePoint))) {
    case UTF8PROC_CATEGORY_CC:
    case UTF8PROC_CATEGORY_CF:
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
      return true;
    default:
      return false;
  }
}

std::string Printable(std::string_view text, size_t limit) {
  std::string out;
  size_t shown = 0;  // characters in `out`
  char escape[16];
  for (size_t i = 0; i < text.size();) {
    if (shown >= limit) {
      out += "...";
      break;
    }
    char32_t cp = 0;
    size_t n = DecodeUtf8(text, i, &cp);
    if (n == 0 || cp < 0x20 || cp == 0x7F) {  // a byte that is not UTF-8, a C0 control, DEL
      n = 1;
      const auto byte = static_cast<unsigned char>(text[i]);
      shown += static_cast<size_t>(std::snprintf(escape, sizeof escape, "\\x%02X", byte));
      out += escape;
    } else if (cp == '\\') {
      out += "\\\\";
      shown += 2;
    } else if (cp < 0x7F) {
      out.push_back(static_cast<char>(cp));
      ++shown;
    } else if (IsInvisible(cp)) {
      shown += static_cast<size_t>(
          std::snprintf(escape, sizeof escape, cp > 0xFFFF ? "\\U%08X" : "\\u%04X", static_cast<unsigned>(cp)));
      out += escape;
    } else {
      out.append(text, i, n);
      ++shown;
    }
    i += n;
  }
  return out;
}

}  // namespace dravik
