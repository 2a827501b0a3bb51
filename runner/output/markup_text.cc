#include "runner/output/markup_text.h"

#include "runner/output/printable_text.h"

namespace dravik {

std::string DotQuoted(std::string_view text) { return DotQuoted(std::vector<std::string>{std::string(text)}); }

std::string DotQuoted(const std::vector<std::string>& lines) {
  std::string out = "\"";
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += "\\n";
    for (char c : Printable(lines[i], std::string::npos)) {
      if (c == '"' || c == '\\') {
        out.push_back('\\');
        out.push_back(c);
      } else if (c == '&') {
        out += "&amp;";
      } else {
        out.push_back(c);
      }
    }
  }
  out.push_back('"');
  return out;
}

std::string HtmlText(std::string_view text) { return HtmlEscaped(Printable(text, std::string::npos)); }

std::string HtmlEscaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out.push_back(c);
    }
  }
  return out;
}

std::string ScriptSafeJson(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '<') {
      out += "\\u003c";
    } else if (c == '>') {
      out += "\\u003e";
    } else if (c == '&') {
      out += "\\u0026";
    } else if (json.compare(i, 3, "\xE2\x80\xA8") == 0 || json.compare(i, 3, "\xE2\x80\xA9") == 0) {
      out += json[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace dravik
