#include "runner/output/short_label.h"

#include <vector>

#include "runner/output/printable_text.h"

namespace dravik {

std::string ShortLabel(std::string_view text, size_t maxChars) {
  std::vector<size_t> starts;  // where each character begins
  for (size_t i = 0; i < text.size();) {
    starts.push_back(i);
    char32_t cp = 0;
    const size_t n = DecodeUtf8(text, i, &cp);
    i += n == 0 ? 1 : n;
  }
  if (starts.size() <= maxChars) return std::string(text);
  const size_t tail = (maxChars - 1) / 2;
  const size_t head = maxChars - 1 - tail;
  return std::string(text.substr(0, starts[head])) + "\xE2\x80\xA6" +
         std::string(text.substr(starts[starts.size() - tail]));
}

}  // namespace dravik
