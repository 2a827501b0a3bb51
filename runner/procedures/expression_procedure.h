// Procedures defined in a scene by muparser expressions.
//
// Each output parameter has an expression (three for a vector: x, y, z).
// The expressions read the input values under the parameters' names (a
// vector parameter p as p.x, p.y, p.z), the procedure's constants, and for
// a procedure that is not static the target object's properties as
// self.<key> and self.<key>.x/.y/.z (a missing property reads 0). Every
// output is computed from the values as they were before the call, then
// all are written.
#ifndef RUNNER_PROCEDURES_EXPRESSION_PROCEDURE_H_
#define RUNNER_PROCEDURES_EXPRESSION_PROCEDURE_H_

#include <map>
#include <string>
#include <vector>

#include "hostapi/vantic_procedure.h"
#include "runner/scene/scene.h"

namespace dravik {

// Compiles the expressions. On success returns true and sets *body to a
// callable the framework can execute (it answers 0, or 1 with a level-1
// message when an expression fails or gives a value that is not finite).
// On failure returns false with *error "<path>/outputs/<param>: <reason>".
bool CompileExpressionBody(const std::string& fullName, bool isStatic,
                           const std::vector<ParamSpec>& params,
                           const std::map<std::string, std::vector<std::string>>& outputs,
                           const std::map<std::string, double>& constants, const std::string& path,
                           VeskProcedure::Body* body, std::string* error);

}  // namespace dravik

#endif  // RUNNER_PROCEDURES_EXPRESSION_PROCEDURE_H_
