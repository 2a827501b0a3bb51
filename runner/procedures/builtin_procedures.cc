// The built-in procedures: Math (static floats), Vec3 (static vectors) and
// Body (not static: integrates its object's position and velocity).
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "hostapi/vantic_objects.h"
#include "runner/procedures/procedure_library.h"
#include "runner/procedures/var_access.h"

namespace dravik {
namespace {

// Results of a body.
constexpr int kOk = 0;
constexpr int kFailed = 1;

ParamSpec P(const char* name, ParamType type, uint16_t mode) { return ParamSpec{name, type, mode}; }
constexpr ParamType F = ParamType::kFloat;
constexpr ParamType V = ParamType::kVec3;

int Missing(const char* procedure, const char* param) {
  ReportProcedureProblem(std::string(procedure) + ": parameter '" + param + "' is missing or of another type");
  return kFailed;
}

// A static float procedure of two inputs a and b: its body is a plain
// function, which the framework calls without a std::function.
template <class Op>
int BinaryBody(VarList& vars) {
  VarFloat* a = FloatParam(vars, "a");
  VarFloat* b = FloatParam(vars, "b");
  VarFloat* r = FloatParam(vars, "result");
  if (!a) return Missing(Op::kFull, "a");
  if (!b) return Missing(Op::kFull, "b");
  if (!r) return Missing(Op::kFull, "result");
  r->_value = Op::Apply(a->_value, b->_value);
  return kOk;
}

template <class Op>
ProcedureDefinition Binary(const char* name, const char* summary) {
  ProcedureDefinition d{"Math", name, true, {P("a", F, 1), P("b", F, 1), P("result", F, 2)}, {}, summary};
  d.body = static_cast<int (*)(VarList&)>(&BinaryBody<Op>);
  return d;
}

struct AddOp {
  static constexpr const char* kFull = "Math::Add";
  static float Apply(float a, float b) { return a + b; }
};
struct SubOp {
  static constexpr const char* kFull = "Math::Sub";
  static float Apply(float a, float b) { return a - b; }
};
struct MulOp {
  static constexpr const char* kFull = "Math::Mul";
  static float Apply(float a, float b) { return a * b; }
};

float Length(const Vec3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

int BodyStep(VarList& vars) {
  VanticObject* body = vars._thisObject;
  VarFloat* dt = FloatParam(vars, "dt");
  if (body == nullptr) {
    ReportProcedureProblem("Body::Step: no target object");
    return kFailed;
  }
  if (!dt) return Missing("Body::Step", "dt");
  const float gravity = body->HasFloat("gravity") ? body->GetFloat("gravity") : 9.81f;
  const float bounce = body->HasFloat("bounce") ? body->GetFloat("bounce") : 0.8f;
  Vec3 p = body->GetVector("position");
  Vec3 v = body->GetVector("velocity");
  v.y -= gravity * dt->_value;
  p.x += v.x * dt->_value;
  p.y += v.y * dt->_value;
  p.z += v.z * dt->_value;
  if (p.y < 0 && v.y < 0) {  // the floor at y = 0
    p.y = -p.y * bounce;
    v.y = -v.y * bounce;
  }
  body->SetVector("position", p);
  body->SetVector("velocity", v);
  if (VarVec3* out = VectorParam(vars, "position")) out->_value = p;
  if (VarFloat* out = FloatParam(vars, "speed")) out->_value = Length(v);
  return kOk;
}

}  // namespace

std::vector<ProcedureDefinition> BuiltinProcedures() {
  std::vector<ProcedureDefinition> all;
  all.push_back(Binary<AddOp>("Add", "result = a + b"));
  all.push_back(Binary<SubOp>("Sub", "result = a - b"));
  all.push_back(Binary<MulOp>("Mul", "result = a * b"));

  ProcedureDefinition sin{"Math", "Sin", true, {P("x", F, 1), P("result", F, 2)}, {}, "result = sin(x)"};
  sin.body = [](VarList& vars) {
    VarFloat* x = FloatParam(vars, "x");
    VarFloat* r = FloatParam(vars, "result");
    if (!x) return Missing("Math::Sin", "x");
    if (!r) return Missing("Math::Sin", "result");
    r->_value = std::sin(x->_value);
    return kOk;
  };
  all.push_back(std::move(sin));

  ProcedureDefinition clamp{"Math", "Clamp", true,
                            {P("x", F, 1), P("lo", F, 1), P("hi", F, 1), P("result", F, 2)}, {},
                            "result = x held within [lo, hi]; fails when lo > hi"};
  clamp.body = [](VarList& vars) {
    VarFloat* x = FloatParam(vars, "x");
    VarFloat* lo = FloatParam(vars, "lo");
    VarFloat* hi = FloatParam(vars, "hi");
    VarFloat* r = FloatParam(vars, "result");
    if (!x) return Missing("Math::Clamp", "x");
    if (!lo) return Missing("Math::Clamp", "lo");
    if (!hi) return Missing("Math::Clamp", "hi");
    if (!r) return Missing("Math::Clamp", "result");
    if (lo->_value > hi->_value) {
      ReportProcedureProblem("Math::Clamp: lo is above hi");
      return kFailed;
    }
    r->_value = x->_value < lo->_value ? lo->_value : (x->_value > hi->_value ? hi->_value : x->_value);
    return kOk;
  };
  all.push_back(std::move(clamp));

  ProcedureDefinition vadd{"Vec3", "Add", true, {P("a", V, 1), P("b", V, 1), P("result", V, 2)}, {},
                           "result = a + b"};
  vadd.body = [](VarList& vars) {
    VarVec3* a = VectorParam(vars, "a");
    VarVec3* b = VectorParam(vars, "b");
    VarVec3* r = VectorParam(vars, "result");
    if (!a) return Missing("Vec3::Add", "a");
    if (!b) return Missing("Vec3::Add", "b");
    if (!r) return Missing("Vec3::Add", "result");
    r->_value = Vec3{a->_value.x + b->_value.x, a->_value.y + b->_value.y, a->_value.z + b->_value.z};
    return kOk;
  };
  all.push_back(std::move(vadd));

  ProcedureDefinition scale{"Vec3", "Scale", true, {P("v", V, 1), P("s", F, 1), P("result", V, 2)}, {},
                            "result = v * s"};
  scale.body = [](VarList& vars) {
    VarVec3* v = VectorParam(vars, "v");
    VarFloat* s = FloatParam(vars, "s");
    VarVec3* r = VectorParam(vars, "result");
    if (!v) return Missing("Vec3::Scale", "v");
    if (!s) return Missing("Vec3::Scale", "s");
    if (!r) return Missing("Vec3::Scale", "result");
    r->_value = Vec3{v->_value.x * s->_value, v->_value.y * s->_value, v->_value.z * s->_value};
    return kOk;
  };
  all.push_back(std::move(scale));

  ProcedureDefinition length{"Vec3", "Length", true, {P("v", V, 1), P("result", F, 2)}, {}, "result = |v|"};
  length.body = [](VarList& vars) {
    VarVec3* v = VectorParam(vars, "v");
    VarFloat* r = FloatParam(vars, "result");
    if (!v) return Missing("Vec3::Length", "v");
    if (!r) return Missing("Vec3::Length", "result");
    r->_value = Length(v->_value);
    return kOk;
  };
  all.push_back(std::move(length));

  ProcedureDefinition normalize{"Vec3", "Normalize", true, {P("v", V, 1), P("result", V, 2)}, {},
                                "result = v / |v|; fails for a zero vector"};
  normalize.body = [](VarList& vars) {
    VarVec3* v = VectorParam(vars, "v");
    VarVec3* r = VectorParam(vars, "result");
    if (!v) return Missing("Vec3::Normalize", "v");
    if (!r) return Missing("Vec3::Normalize", "result");
    const float n = Length(v->_value);
    if (!(n > 0) || !std::isfinite(n)) {
      ReportProcedureProblem("Vec3::Normalize: the vector has no direction");
      return kFailed;
    }
    r->_value = Vec3{v->_value.x / n, v->_value.y / n, v->_value.z / n};
    return kOk;
  };
  all.push_back(std::move(normalize));

  ProcedureDefinition step{"Body", "Step", false,
                           {P("dt", F, 1), P("position", V, 2), P("speed", F, 2)}, &BodyStep,
                           "on This: velocity += gravity*dt, position += velocity*dt, bouncing "
                           "on y = 0 (object floats gravity, bounce)"};
  all.push_back(std::move(step));
  for (ProcedureDefinition& d : all) d.builtin = true;
  return all;
}

}  // namespace dravik
