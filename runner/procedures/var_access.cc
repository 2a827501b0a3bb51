#include "runner/procedures/var_access.h"

#include <cfloat>

#include "hostapi/engine_interface.h"

namespace dravik {

VarFloat* FloatParam(VarList& vars, const char* name) {
  return dynamic_cast<VarFloat*>(vars.Find(name));
}

VarVec3* VectorParam(VarList& vars, const char* name) {
  return dynamic_cast<VarVec3*>(vars.Find(name));
}

VarList MakeParams(const std::vector<ParamSpec>& specs) {
  VarList list;
  for (const ParamSpec& p : specs) {
    if (p.type == ParamType::kVec3) {
      list.AddVar(VarVec3(VarType_Vec3, p.mode, p.name.c_str(), Vec3{0, 0, 0},
                          Vec3{-FLT_MAX, -FLT_MAX, -FLT_MAX}, Vec3{FLT_MAX, FLT_MAX, FLT_MAX}));
    } else {
      list.AddVar(VarFloat(VarType_Float, p.mode, p.name.c_str(), 0.0f, -FLT_MAX, FLT_MAX));
    }
  }
  return list;
}

std::vector<ParamSpec> DescribeParams(const VarList& vars) {
  std::vector<ParamSpec> specs;
  for (size_t i = 0; i < vars._vars.size(); ++i) {
    const VarBase* v = vars._vars[i];
    ParamSpec p;
    p.name = v->Name();
    p.type = v->Type() == VarType_Vec3 ? ParamType::kVec3 : ParamType::kFloat;
    p.mode = v->Mode();
    specs.push_back(std::move(p));
  }
  return specs;
}

std::string ParamsText(const std::vector<ParamSpec>& specs) {
  std::string text;
  for (const ParamSpec& p : specs) {
    if (!text.empty()) text += ", ";
    text += p.name;
    text += p.type == ParamType::kVec3 ? ": vec3 " : ": float ";
    text += ParamModeName(p.mode);
  }
  return text;
}

void ReportProcedureProblem(const std::string& text) {
  globalEngine->_showDebugMessage[1](text.c_str());
}

}  // namespace dravik
