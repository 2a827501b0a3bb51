#include "runner/procedures/var_access.h"

#include <cfloat>
#include <type_traits>
#include <typeinfo>

#include "hostapi/engine_interface.h"

namespace dravik {

namespace {

bool SameName(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b) {
    if (*a == '\0') return true;
  }
  return false;
}

// The first variable named `name`, or null: VarList::Find, inline (bodies
// look their parameters up at every call, and names are short).
VarBase* Named(const VarList& vars, const char* name) {
  if (name == nullptr) return nullptr;
  for (size_t i = 0; i < vars.Count(); ++i) {
    VarBase* var = vars._vars[i];
    if (SameName(var->Name(), name)) return var;
  }
  return nullptr;
}

// `var` as a T, or null. T is final, so its exact type tells it without a
// search of the type records (which dynamic_cast makes across libraries).
template <class T>
T* As(VarBase* var) {
  static_assert(std::is_final_v<T>);
  return var != nullptr && typeid(*var) == typeid(T) ? static_cast<T*>(var) : nullptr;
}

}  // namespace

VarFloat* FloatParam(VarList& vars, const char* name) { return As<VarFloat>(Named(vars, name)); }

VarVec3* VectorParam(VarList& vars, const char* name) { return As<VarVec3>(Named(vars, name)); }

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
