// Helpers for procedure bodies: parameter variables by name, and building a
// framework parameter list from a scene's parameter specs.
#ifndef RUNNER_PROCEDURES_VAR_ACCESS_H_
#define RUNNER_PROCEDURES_VAR_ACCESS_H_

#include <string>
#include <vector>

#include "hostapi/vantic_vars.h"
#include "runner/scene/scene.h"

namespace dravik {

// The float / vector variable named `name` in `vars`, or null when there is
// none of that kind. The list keeps ownership.
VarFloat* FloatParam(VarList& vars, const char* name);
VarVec3* VectorParam(VarList& vars, const char* name);

// A parameter list holding one variable per ParamSpec, in order: value 0 and
// the widest bounds. The caller owns the list.
VarList MakeParams(const std::vector<ParamSpec>& specs);

// The ParamSpecs of a framework list (type, mode, name), for listing and saving.
std::vector<ParamSpec> DescribeParams(const VarList& vars);

// "a: float in, result: float out" style text of a parameter list.
std::string ParamsText(const std::vector<ParamSpec>& specs);

// Shows `text` at level 1 through the engine's message functors (how
// procedure bodies say why they failed).
void ReportProcedureProblem(const std::string& text);

}  // namespace dravik

#endif  // RUNNER_PROCEDURES_VAR_ACCESS_H_
