#include "runner/output/value_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>

#include "runner/output/printable_text.h"

namespace dravik {

std::string FormatNumber(float value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  char text[32];
  for (int digits = 6; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

std::string JsonNumber(float value) {
  const std::string text = FormatNumber(value);
  return std::isfinite(value) ? text : "\"" + text + "\"";
}

std::string FormatVector(const Vec3& v) {
  return "(" + FormatNumber(v.x) + ", " + FormatNumber(v.y) + ", " + FormatNumber(v.z) + ")";
}

namespace {

// "-0.00" and the like read as "0.00".
std::string NoNegativeZero(const char* text) {
  std::string s = text;
  if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
  return s;
}

}  // namespace

std::string FormatCell(float value) {
  char text[32];
  const double d = value;
  if (std::isfinite(d) && std::fabs(d) < 1e6) {
    std::snprintf(text, sizeof text, "%.3f", d);
  } else {
    std::snprintf(text, sizeof text, "%.4g", d);
  }
  return NoNegativeZero(text);
}

std::string FormatVectorCell(const Vec3& v) {
  char text[96];
  auto part = [](float f) {
    char p[32];
    if (std::isfinite(f) && std::fabs(f) < 1e4) {
      std::snprintf(p, sizeof p, "%.2f", static_cast<double>(f));
    } else {
      std::snprintf(p, sizeof p, "%.2g", static_cast<double>(f));
    }
    return NoNegativeZero(p);
  };
  std::snprintf(text, sizeof text, "(%s, %s, %s)", part(v.x).c_str(), part(v.y).c_str(), part(v.z).c_str());
  return text;
}

std::string Sparkline(const std::vector<float>& values, size_t width) {
  static const char* const kBars[] = {"▁", "▂", "▃", "▄", "▅", "▆", "▇", "█"};
  if (values.empty() || width == 0) return std::string();
  std::vector<double> points;
  const size_t n = values.size();
  const size_t count = n < width ? n : width;
  for (size_t i = 0; i < count; ++i) {
    const size_t begin = i * n / count;
    const size_t end = (i + 1) * n / count;
    double sum = 0;
    size_t used = 0;
    for (size_t j = begin; j < end; ++j) {
      if (std::isfinite(values[j])) {
        sum += values[j];
        ++used;
      }
    }
    points.push_back(used ? sum / static_cast<double>(used) : NAN);
  }
  double lo = INFINITY;
  double hi = -INFINITY;
  for (double p : points) {
    if (std::isfinite(p)) {
      lo = p < lo ? p : lo;
      hi = p > hi ? p : hi;
    }
  }
  // Differences below float precision are noise, not a shape.
  if (std::isfinite(lo) && hi - lo <= 1e-6 * std::max(std::fabs(hi), std::fabs(lo))) hi = lo;
  std::string line;
  for (double p : points) {
    if (!std::isfinite(p)) {
      line += " ";
      continue;
    }
    int level = hi > lo ? static_cast<int>((p - lo) / (hi - lo) * 7.0 + 0.5) : 0;
    level = level < 0 ? 0 : (level > 7 ? 7 : level);
    line += kBars[level];
  }
  return line;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  char escape[16];
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const size_t n = DecodeUtf8(text, i, &cp);
    if (n == 0) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (cp == '"' || cp == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(cp));
    } else if (cp > 0xFFFF && IsInvisible(cp)) {  // as a surrogate pair
      const char32_t v = cp - 0x10000;
      std::snprintf(escape, sizeof escape, "\\u%04x\\u%04x", static_cast<unsigned>(0xD800 + (v >> 10)),
                    static_cast<unsigned>(0xDC00 + (v & 0x3FF)));
      out += escape;
    } else if (IsInvisible(cp)) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
      out += escape;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  out.push_back('"');
  return out;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

size_t DisplayWidth(std::string_view text) {
  size_t width = 0;
  for (char c : text) width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return width;
}

std::string Pad(std::string_view text, size_t width, bool right) {
  const size_t w = DisplayWidth(text);
  const std::string fill(w < width ? width - w : 0, ' ');
  return right ? fill + std::string(text) : std::string(text) + fill;
}

std::string ColumnText(std::string_view text, size_t width) {
  const std::string shown = Printable(text, std::string::npos);
  if (DisplayWidth(shown) <= width) return shown;
  std::string out;
  size_t kept = 0;
  for (size_t i = 0; i < shown.size(); ++i) {
    const bool starts = (static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80;
    if (starts && ++kept == width) break;
    out.push_back(shown[i]);
  }
  return out + "…";
}

std::vector<std::string> UniqueColumnTexts(const std::vector<std::string>& texts, size_t width) {
  std::vector<std::string> out;
  std::map<std::string, size_t> uses;
  for (const std::string& t : texts) {
    out.push_back(ColumnText(t, width));
    ++uses[out.back()];
  }
  std::set<std::string> taken;
  for (const auto& [shown, n] : uses) {
    if (n == 1) taken.insert(shown);
  }
  for (size_t i = 0; i < out.size(); ++i) {
    if (uses[out[i]] == 1) continue;
    // Only cut texts meet: the uncut forms of different texts differ.
    for (size_t k = 2;; ++k) {
      const std::string suffix = "~" + std::to_string(k);
      const std::string candidate =
          ColumnText(texts[i], width > suffix.size() + 2 ? width - suffix.size() : 2) + suffix;
      if (taken.insert(candidate).second) {
        out[i] = candidate;
        break;
      }
    }
  }
  return out;
}

std::string FormatCount(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

std::string ColumnLabel(size_t index) {
  std::string label;
  for (size_t n = index + 1; n > 0; n = (n - 1) / 26) {
    label.insert(label.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return label;
}

}  // namespace dravik
