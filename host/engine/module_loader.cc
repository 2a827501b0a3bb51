// ModuleLoader: dlopen, check and register channel modules.
#include "host/engine/module_loader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <dlfcn.h>

namespace {

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

std::string DlError() {
  const char* why = dlerror();
  return OneLine(why ? why : "unknown dynamic loader error");
}

std::string FileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The GUID of a "<GUID>.so" file name.
bool ModuleNameGuid(const std::string& fileName, GUID* guid) {
  static constexpr std::string_view kSuffix = ".so";
  if (fileName.size() != 36 + kSuffix.size() || !fileName.ends_with(kSuffix)) return false;
  return guid::Parse(std::string_view(fileName).substr(0, 36), guid);
}

Zyr_Channel* MakeModuleChannel(InitDllFunction initDll, const std::shared_ptr<bool>& alive) {
  if (!*alive) return nullptr;
  DllInterface* made = initDll();
  if (made == nullptr) return nullptr;
  Zyr_Channel* channel = dynamic_cast<Zyr_Channel*>(made);
  if (channel == nullptr) delete made;
  return channel;
}

}  // namespace

ModuleLoader::~ModuleLoader() { UnloadAll(); }

const LoadedModule* ModuleLoader::Load(const std::string& path, ChannelFactory* factory,
                                       std::string* error) {
  std::string ignored;
  std::string& why = error ? *error : ignored;
  const std::string fileName = FileName(path);
  GUID fileGuid;
  if (!ModuleNameGuid(fileName, &fileGuid)) {
    why = path + ": file name is not <type GUID>.so";
    return nullptr;
  }
  for (const LoadedModule& m : _modules) {
    if (m.type._typeGuid == fileGuid) {
      why = path + ": type " + guid::ToString(fileGuid) + " is already loaded from " + m.path;
      return nullptr;
    }
  }

  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    why = path + ": cannot load: " + DlError();
    return nullptr;
  }
  auto refuse = [&](const std::string& reason) -> const LoadedModule* {
    why = path + ": " + reason;
    dlclose(handle);
    return nullptr;
  };

  auto getType = reinterpret_cast<GetTypeFunction>(dlsym(handle, kGetTypeSymbol));
  if (getType == nullptr) return refuse("does not export GetType");
  auto initDll = reinterpret_cast<InitDllFunction>(dlsym(handle, kInitDllSymbol));
  if (initDll == nullptr) return refuse("does not export InitDLL");

  const ChannelType* record = nullptr;
  try {
    record = getType();
  } catch (...) {
    return refuse("GetType failed with an exception");
  }
  if (record == nullptr) return refuse("GetType returned no record");
  LoadedModule module;
  std::memcpy(static_cast<void*>(&module.type), record, sizeof(ChannelType));
  const ChannelType& type = module.type;

  if (std::memchr(type._name, '\0', sizeof(type._name)) == nullptr) {
    return refuse("type name is not NUL-terminated within its 80 bytes");
  }
  if (type._typeGuid != fileGuid) {
    return refuse("record's type GUID " + guid::ToString(type._typeGuid) +
                  " differs from the file name's");
  }
  if (type._baseTypeGuid != guid::FromString(guid::kFloatChannelType)) {
    return refuse("base type " + guid::ToString(type._baseTypeGuid) +
                  " is not the float channel type " + std::string(guid::kFloatChannelType));
  }
  if (type._interfaceVersion != kChannelInterfaceVersion) {
    return refuse("interface version " + std::to_string(type._interfaceVersion) +
                  ", the engine speaks " + std::to_string(kChannelInterfaceVersion));
  }

  module.path = path;
  module.handle = handle;
  module.getType = getType;
  module.initDll = initDll;
  module.alive = std::make_shared<bool>(true);
  if (factory != nullptr) {
    factory->Register(type, [initDll, alive = module.alive]() {
      return MakeModuleChannel(initDll, alive);
    });
  }
  _modules.push_back(std::move(module));
  return &_modules.back();
}

int ModuleLoader::LoadDirectory(const std::string& dir, ChannelFactory* factory,
                                std::vector<std::string>* errors) {
  auto report = [errors](std::string reason) {
    if (errors) errors->push_back(std::move(reason));
  };
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec);
  if (ec) {
    report(dir + ": cannot read the modules folder: " + ec.message());
    return 0;
  }
  std::vector<std::string> names;
  for (const std::filesystem::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.ends_with(".so") && entry.is_regular_file(ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  int loaded = 0;
  for (const std::string& name : names) {
    std::string why;
    if (Load((std::filesystem::path(dir) / name).string(), factory, &why)) {
      ++loaded;
    } else {
      report(why);
    }
  }
  return loaded;
}

void ModuleLoader::UnloadAll() {
  while (!_modules.empty()) {
    LoadedModule& module = _modules.back();
    if (module.alive) *module.alive = false;
    if (module.handle) dlclose(module.handle);
    _modules.pop_back();
  }
}

std::string DefaultModulesDirectory() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return "modules";
  return (exe.parent_path() / "modules").string();
}
