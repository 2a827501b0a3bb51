// ModuleLoader: loads channel modules the way the engine does.
//
// A module is "<type GUID>.so" exporting GetType and InitDLL (see
// hostapi/module.h). Loading checks, before any channel is made, that:
//   - the file name is a GUID followed by ".so";
//   - GetType and InitDLL are exported;
//   - the record's type GUID equals the file name's GUID;
//   - the record's base type is the float channel type;
//   - the record's interface version is the engine's (7);
//   - the record's name is NUL-terminated within its 80 bytes.
// A module that passes is registered in a ChannelFactory; one that fails is
// unloaded and reported with a one-line reason.
#ifndef HOST_ENGINE_MODULE_LOADER_H_
#define HOST_ENGINE_MODULE_LOADER_H_

#include <memory>
#include <string>
#include <vector>

#include "host/engine/channel_factory.h"
#include "hostapi/channel_type.h"
#include "hostapi/export.h"
#include "hostapi/module.h"

struct DRAVIK_API LoadedModule {
  std::string path;
  void* handle = nullptr;
  GetTypeFunction getType = nullptr;
  InitDllFunction initDll = nullptr;
  ChannelType type;  // copy of the record GetType returned
  // False once the module is unloaded; the maker registered in a factory
  // then makes nothing instead of calling into unloaded code.
  std::shared_ptr<bool> alive;
};

class DRAVIK_API ModuleLoader {
 public:
  ModuleLoader() = default;
  // Unloads every module. REQUIRES: every channel made by a module is gone.
  ~ModuleLoader();
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  // Loads one module file and checks it. On success registers its type in
  // `factory` (when not null) and returns the module, valid until the next
  // call that loads or unloads; on failure returns null with *error set to
  // a one-line reason naming the file. A second module of a type already
  // loaded is refused. Channels the factory makes for the module are the
  // module's InitDLL result cast to Zyr_Channel (one that is not a channel
  // is destroyed and nothing is made), with the module's type record.
  const LoadedModule* Load(const std::string& path, ChannelFactory* factory, std::string* error);
  // Loads every "<GUID>.so" file of `dir`, in name order. Returns the number
  // loaded; reasons for the ones refused are appended to `errors` (when not
  // null), as is one for every other "*.so" file there. A missing folder is
  // one error.
  int LoadDirectory(const std::string& dir, ChannelFactory* factory,
                    std::vector<std::string>* errors);

  const std::vector<LoadedModule>& Modules() const { return _modules; }
  // Unloads every module now. REQUIRES as for the destructor.
  void UnloadAll();

 private:
  std::vector<LoadedModule> _modules;
};

// The modules folder beside the running executable ("<exe dir>/modules");
// "modules" (relative to the working folder) when the executable's path
// cannot be read.
DRAVIK_API std::string DefaultModulesDirectory();

#endif  // HOST_ENGINE_MODULE_LOADER_H_
