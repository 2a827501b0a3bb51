#include "runner/output/graph_layout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <memory>

namespace dravik {
namespace {

// Graphviz reports through one process-wide callback; the runner is single
// threaded, so the messages of the current call gather here.
std::string* g_messages = nullptr;

int CollectMessage(char* text) {
  if (g_messages != nullptr && text != nullptr) *g_messages += text;
  return 0;
}

std::string FirstLine(std::string text) {
  const size_t end = text.find('\n');
  if (end != std::string::npos) text.resize(end);
  return text.empty() ? std::string("unknown failure") : text;
}

// gvRenderData's length is unsigned int in older Graphviz, size_t in newer.
template <typename Length>
bool Render(int (*render)(GVC_t*, graph_t*, const char*, char**, Length*), GVC_t* gvc, graph_t* g,
            std::string* out) {
  char* data = nullptr;
  Length length = 0;
  if (render(gvc, g, "svg", &data, &length) != 0 || data == nullptr) return false;
  out->assign(data, length);
  gvFreeRenderData(data);
  return true;
}

}  // namespace

// Graphviz 2.42, and the fontconfig it measures text with, keep memory they
// never free (the dot program leaks the same); a build with AddressSanitizer
// tells LeakSanitizer to leave their allocations out.
#if defined(__SANITIZE_ADDRESS__)
#define DRAVIK_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define DRAVIK_LEAK_CHECKED 1
#endif
#endif
#ifdef DRAVIK_LEAK_CHECKED
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libgvc.so\nleak:libcgraph.so\nleak:libcdt.so\nleak:libpathplan.so\nleak:libgvplugin_\n"
         "leak:libfontconfig.so\n";
}
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kAuto: return "auto";
    case Layout::kDot: return "dot";
    case Layout::kSfdp: return "sfdp";
    case Layout::kCondensed: return "condensed";
  }
  return "auto";
}

Layout ChooseLayout(size_t elements) {
  if (elements <= kDotMaxElements) return Layout::kDot;
  return elements <= kSfdpMaxElements ? Layout::kSfdp : Layout::kCondensed;
}

bool LayOutSvg(const std::string& dot, std::string* svg, std::string* error, const char* engine) {
  std::string messages;
  g_messages = &messages;
  agseterrf(&CollectMessage);
  agseterr(AGERR);
  // One context for the process, never freed: Graphviz's text layout
  // (the pango plugin) keeps a pointer to the font name it measured last,
  // which belongs to the context; a second context would have it read
  // freed memory at its first layout.
  static GVC_t* const gvc = gvContext();
  bool ok = false;
  if (gvc == nullptr) {
    messages = "cannot start Graphviz";
  } else if (graph_t* g = agmemread(dot.c_str())) {
    if (gvLayout(gvc, g, engine) == 0) {
      ok = Render(&gvRenderData, gvc, g, svg);
      gvFreeLayout(gvc, g);
    }
    agclose(g);
  }
  agseterrf(nullptr);
  g_messages = nullptr;
  if (!ok) *error = "Graphviz: " + FirstLine(messages);
  return ok;
}

std::string InlineSvg(const std::string& svg) {
  const size_t start = svg.find("<svg");
  return start == std::string::npos ? svg : svg.substr(start);
}

}  // namespace dravik
