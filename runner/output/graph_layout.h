// Laying a DOT graph out as SVG, in-process, with the Graphviz libraries.
#ifndef RUNNER_OUTPUT_GRAPH_LAYOUT_H_
#define RUNNER_OUTPUT_GRAPH_LAYOUT_H_

#include <string>

namespace dravik {

// Lays `dot` out with the "dot" engine and renders it as a standalone SVG
// document into *svg. False with *error (Graphviz's first complaint, one
// line) when the text does not parse or the layout or rendering fails.
// Graphviz's own messages go to *error, never to stderr.
bool LayOutSvg(const std::string& dot, std::string* svg, std::string* error);

// `svg` without what comes before its <svg> element (the XML declaration,
// the doctype, comments), for inlining into HTML.
std::string InlineSvg(const std::string& svg);

}  // namespace dravik

#endif  // RUNNER_OUTPUT_GRAPH_LAYOUT_H_
