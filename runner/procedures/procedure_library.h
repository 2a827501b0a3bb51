// ProcedureLibrary: the procedures a run can register, by owner class and
// name: the built-in ones (Math, Vec3, Body) and those a scene defines by
// expressions. Registering them again after a removal, and listing them,
// go through the same definitions.
#ifndef RUNNER_PROCEDURES_PROCEDURE_LIBRARY_H_
#define RUNNER_PROCEDURES_PROCEDURE_LIBRARY_H_

#include <string>
#include <vector>

#include "hostapi/vantic_procedure.h"
#include "runner/scene/scene.h"

namespace dravik {

struct ProcedureDefinition {
  std::string owner;
  std::string name;
  bool isStatic = true;
  std::vector<ParamSpec> params;
  VeskProcedure::Body body;
  std::string summary;  // one line for listings
  bool builtin = true;
};

class ProcedureLibrary {
 public:
  // A library holding the built-in procedures.
  ProcedureLibrary();

  // Compiles and adds the expression procedures of `scene`. On failure
  // returns false with *error naming the JSON path at fault; the library
  // then holds the definitions added before it.
  bool AddSceneProcedures(const Scene& scene, std::string* error);

  // Adds (or replaces) a definition.
  void Add(ProcedureDefinition definition);

  // The definition of owner::name, or null.
  const ProcedureDefinition* Find(const std::string& owner, const std::string& name) const;
  const std::vector<ProcedureDefinition>& Definitions() const { return _definitions; }

  // Registers every definition in `manager`. Returns the number registered;
  // names already taken are skipped.
  size_t RegisterAll(ProceduresManager& manager) const;
  // Registers one definition; false when there is none or the name is taken.
  bool Register(ProceduresManager& manager, const std::string& owner, const std::string& name) const;

 private:
  std::vector<ProcedureDefinition> _definitions;
};

// The built-in definitions (Math, Vec3, Body), in listing order.
std::vector<ProcedureDefinition> BuiltinProcedures();

}  // namespace dravik

#endif  // RUNNER_PROCEDURES_PROCEDURE_LIBRARY_H_
