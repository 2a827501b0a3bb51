// Procedures written in Python: the body the framework executes for them,
// and the process's table of Python definitions, which every scene loaded
// afterwards adds to its procedure library.
//
// A call passes the input and in/out parameters to the function as keyword
// arguments (a float, or a tuple of three floats for a vector), and `this`,
// the target object's id, when the procedure runs on an object. The
// function returns a dict holding exactly the output and in/out
// parameters. Anything else (an exception, a missing or extra key, a value
// of the wrong type, a number that is not a finite float) fails the call:
// it answers 1 and shows one level-1 message naming the procedure and what
// went wrong, e.g. "Py::Scale: ZeroDivisionError: division by zero".
//
// Every function here runs with the GIL held: the framework calls a body
// only while a scene runs, and scenes run only from Python calls that keep
// the GIL for their whole length.
#ifndef PYTHON_SRC_PYTHON_PROCEDURE_H_
#define PYTHON_SRC_PYTHON_PROCEDURE_H_

#include <Python.h>

#include <memory>
#include <string>
#include <vector>

#include "runner/procedures/procedure_library.h"

namespace dravik::python {

class PythonBody {
 public:
  // Keeps a reference to `function` (a callable). `fullName` ("Owner::Name")
  // heads its messages.
  PythonBody(PyObject* function, std::string fullName);
  ~PythonBody();
  PythonBody(const PythonBody&) = delete;
  PythonBody& operator=(const PythonBody&) = delete;

  // Runs the function on `vars`; 0 on success, 1 on failure (reported).
  // Outputs are written only when every one of them is good.
  int Call(VarList& vars);
  // Takes `function` instead (a procedure defined again under its name).
  void SetFunction(PyObject* function);
  // Whether a call is under way (the function runs).
  bool Running() const { return _running > 0; }
  // Drops every Python reference; later calls fail. For the interpreter's
  // exit, after which the framework may still destroy the procedure.
  void Release();

 private:
  // The interned key for variable `index` named `name`.
  PyObject* Key(size_t index, const char* name);
  bool TakeOutput(PyObject* result, PyObject* key, VarBase& var, float out[3], std::string* why);

  PyObject* _function;
  std::string _fullName;
  std::vector<std::pair<std::string, PyObject*>> _keys;  // per variable index
  PyObject* _thisKey;
  PyObject* _noArgs;
  int _running = 0;
};

// A body for the framework that calls `body`.
VeskProcedure::Body MakeBody(std::shared_ptr<PythonBody> body);

// ---- the process's Python definitions ----

// Defines owner::name. A procedure of that name the framework already holds
// must be one defined here: its function and, when they differ, its
// parameters and static flag are replaced (channels rebuild their links as
// for any change). Otherwise it is registered. False with *error when the
// name belongs to a procedure that was not defined from Python.
bool DefineProcedure(const std::string& owner, const std::string& name, bool isStatic,
                     const std::vector<ParamSpec>& params, PyObject* function, std::string* error);

// The Python definitions under their current names, to add to a scene's
// library.
std::vector<ProcedureDefinition> PythonDefinitions();

// Renames a procedure in the framework (and the Python definition of that
// name with it). False with *error when there is no such procedure or the
// new names are taken.
bool RenameProcedure(const std::string& owner, const std::string& name, const std::string& newOwner,
                     const std::string& newName, std::string* error);

// Removes a procedure from the framework, and the Python definition of
// that name. False when there is none.
bool RemoveProcedure(const std::string& owner, const std::string& name);

// Drops every Python reference the definitions hold (interpreter exit).
void ReleaseDefinitions();

}  // namespace dravik::python

#endif  // PYTHON_SRC_PYTHON_PROCEDURE_H_
