// HostEnvironment: what a dravik command sets up before it builds a scene:
// the channel factory with the float channel types, the channel modules of
// a folder, the procedure-call module's members, and the procedure library
// registered in the framework.
#ifndef RUNNER_ENVIRONMENT_HOST_ENVIRONMENT_H_
#define RUNNER_ENVIRONMENT_HOST_ENVIRONMENT_H_

#include <string>
#include <vector>

#include "host/engine/channel_factory.h"
#include "host/engine/module_loader.h"
#include "hostapi/vantic_procedure.h"
#include "runner/environment/prc_call_module.h"
#include "runner/procedures/procedure_library.h"

namespace dravik {

class HostEnvironment {
 public:
  // The float channel types registered; no module loaded; the library holds
  // the built-in procedures (not yet registered in the framework).
  HostEnvironment();
  // Unloads the modules. REQUIRES: every channel made by a module is gone.
  ~HostEnvironment() = default;
  HostEnvironment(const HostEnvironment&) = delete;
  HostEnvironment& operator=(const HostEnvironment&) = delete;

  // Loads every "<GUID>.so" module of `dir`. Modules that the loader
  // refuses are reported in *refused (one line each) and skipped. Returns
  // false with *error when the folder cannot be read. When a module of the
  // procedure-call type was loaded, its members are resolved; a module of
  // that type that lacks them is refused too.
  bool LoadModules(const std::string& dir, std::vector<std::string>* refused, std::string* error);

  // True when the procedure-call channel type is available.
  bool HasPrcCallType() const { return _prc.IsBound(); }
  // A one-line reason why it is not, naming the folder searched.
  std::string MissingPrcCallReason() const;

  ChannelFactory& Factory() { return _factory; }
  const PrcCallModule& PrcCall() const { return _prc; }
  ProcedureLibrary& Library() { return _library; }
  ProceduresManager& Procedures();
  const std::string& ModulesDirectory() const { return _modulesDir; }

 private:
  ChannelFactory _factory;
  ModuleLoader _loader;
  PrcCallModule _prc;
  ProcedureLibrary _library;
  std::string _modulesDir;
};

}  // namespace dravik

#endif  // RUNNER_ENVIRONMENT_HOST_ENVIRONMENT_H_
