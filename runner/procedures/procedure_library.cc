#include "runner/procedures/procedure_library.h"

#include <utility>

#include "runner/procedures/expression_procedure.h"
#include "runner/procedures/var_access.h"

namespace dravik {

ProcedureLibrary::ProcedureLibrary() : _definitions(BuiltinProcedures()) {}

void ProcedureLibrary::Add(ProcedureDefinition definition) {
  for (ProcedureDefinition& d : _definitions) {
    if (d.owner == definition.owner && d.name == definition.name) {
      d = std::move(definition);
      return;
    }
  }
  _definitions.push_back(std::move(definition));
}

bool ProcedureLibrary::AddSceneProcedures(const Scene& scene, std::string* error) {
  for (const ExpressionProcedureSpec& spec : scene.procedures) {
    ProcedureDefinition d;
    d.owner = spec.owner;
    d.name = spec.name;
    d.isStatic = spec.isStatic;
    d.params = spec.params;
    d.builtin = false;
    for (const auto& [param, exprs] : spec.outputs) {
      if (!d.summary.empty()) d.summary += "; ";
      d.summary += param + " = ";
      for (size_t i = 0; i < exprs.size(); ++i) d.summary += (i ? ", " : "") + exprs[i];
    }
    if (!CompileExpressionBody(spec.owner + "::" + spec.name, spec.isStatic, spec.params, spec.outputs,
                               spec.constants, spec.path, &d.body, error)) {
      return false;
    }
    Add(std::move(d));
  }
  return true;
}

const ProcedureDefinition* ProcedureLibrary::Find(const std::string& owner, const std::string& name) const {
  for (const ProcedureDefinition& d : _definitions) {
    if (d.owner == owner && d.name == name) return &d;
  }
  return nullptr;
}

size_t ProcedureLibrary::RegisterAll(ProceduresManager& manager) const {
  size_t n = 0;
  for (const ProcedureDefinition& d : _definitions) n += Register(manager, d.owner, d.name) ? 1 : 0;
  return n;
}

bool ProcedureLibrary::Register(ProceduresManager& manager, const std::string& owner,
                                const std::string& name) const {
  const ProcedureDefinition* d = Find(owner, name);
  if (d == nullptr) return false;
  return manager.RegisterFunction(d->owner, d->name, d->isStatic, MakeParams(d->params), d->body) != nullptr;
}

}  // namespace dravik
