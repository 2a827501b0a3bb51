// Laying a DOT graph out as SVG, in-process, with the Graphviz libraries,
// and choosing how a graph of a given size is laid out so that the layout
// takes seconds, not hours.
#ifndef RUNNER_OUTPUT_GRAPH_LAYOUT_H_
#define RUNNER_OUTPUT_GRAPH_LAYOUT_H_

#include <cstddef>
#include <string>

namespace dravik {

// How a graph is laid out: kAuto picks by size (ChooseLayout); kDot is
// Graphviz's layered layout, kSfdp its scalable force-directed one;
// kCondensed lays a condensed graph out with dot (CondenseGraph).
enum class Layout { kAuto, kDot, kSfdp, kCondensed };

// "auto", "dot", "sfdp", "condensed".
const char* LayoutName(Layout layout);

// Graphs of up to this many nodes and edges together are laid out by dot
// in seconds (on a 2-core machine: 300 channels in about 3 s, 1,000 in half
// a minute); sfdp lays up to kSfdpMaxElements out in seconds (10,000
// channels in about 2 s), and takes many minutes past it.
inline constexpr size_t kDotMaxElements = 1000;
inline constexpr size_t kSfdpMaxElements = 50'000;
// An explicit --layout dot or sfdp lays out at most this many (minutes at
// the bound) unless forced.
inline constexpr size_t kDotMostElements = 5 * kDotMaxElements;
inline constexpr size_t kSfdpMostElements = 5 * kSfdpMaxElements;
// A condensed graph has at most this many nodes, so that dot lays it out
// in seconds.
inline constexpr size_t kCondensedMaxNodes = 150;

// What kAuto means for a graph of `elements` nodes and edges: dot up to
// kDotMaxElements, sfdp up to kSfdpMaxElements, condensed beyond.
Layout ChooseLayout(size_t elements);

// Lays `dot` out with the Graphviz engine `engine` ("dot" or "sfdp") and
// renders it as a standalone SVG document into *svg. False with *error
// (Graphviz's first complaint, one line) when the text does not parse or
// the layout or rendering fails. Graphviz's own messages go to *error,
// never to stderr.
bool LayOutSvg(const std::string& dot, std::string* svg, std::string* error, const char* engine = "dot");

// `svg` without what comes before its <svg> element (the XML declaration,
// the doctype, comments), for inlining into HTML.
std::string InlineSvg(const std::string& svg);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_GRAPH_LAYOUT_H_
