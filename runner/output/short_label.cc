#include "runner/output/short_label.h"

#include <vector>

#include "runner/output/markup_text.h"

namespace dravik {

std::string ShortLabel(std::string_view text, size_t maxChars) {
  const std::string valid = ValidUtf8(text);
  std::vector<size_t> starts;  // where each character begins
  for (size_t i = 0; i < valid.size(); ++i) {
    if ((static_cast<unsigned char>(valid[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  if (starts.size() <= maxChars) return valid;
  const size_t tail = (maxChars - 1) / 2;
  const size_t head = maxChars - 1 - tail;
  return valid.substr(0, starts[head]) + "\xE2\x80\xA6" + valid.substr(starts[starts.size() - tail]);
}

}  // namespace dravik
