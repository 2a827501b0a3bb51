// The pieces of the `dravik._dravik` extension module, and what they share:
// how a failure becomes a Python exception, and the one-at-a-time guard.
#ifndef PYTHON_SRC_BINDINGS_H_
#define PYTHON_SRC_BINDINGS_H_

#include <pybind11/pybind11.h>

#include <string>

namespace dravik::python {

namespace py = pybind11;

// Raises dravik.SceneError with `message`, the JSON path it starts with
// (when it starts with one: "/channels/3/links/b: ...") and the file it is
// about ("" for none). Both end up as the exception's `path` and `file`.
[[noreturn]] void RaiseSceneError(const std::string& message, const std::string& file);

// Keeps a second scene operation from starting while one is under way: a
// procedure that runs, saves or loads a scene while a scene runs it, or
// another Python thread while the GIL passes to it during a procedure. The
// engine's messages, its render count and the framework's registry are the
// process's, one at a time. Throws RuntimeError when one is under way.
class Busy {
 public:
  explicit Busy(const char* what);
  ~Busy();
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

// Stops a run between frames when Python has a signal to deliver (Ctrl-C):
// raises the KeyboardInterrupt through the runtime. A progress callback.
void CheckSignals(void* context, uint32_t done, uint32_t total);

void BindScene(py::module_& m);
void BindProcedures(py::module_& m);

}  // namespace dravik::python

#endif  // PYTHON_SRC_BINDINGS_H_
