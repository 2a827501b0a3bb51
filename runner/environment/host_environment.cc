#include "runner/environment/host_environment.h"

#include <filesystem>
#include <system_error>

#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "runner/output/printable_text.h"

namespace dravik {

HostEnvironment::HostEnvironment() { RegisterFloatChannelTypes(_factory); }

ProceduresManager& HostEnvironment::Procedures() {
  return CoreFramework::Singleton<ProceduresManager>::Instance();
}

bool HostEnvironment::LoadModules(const std::string& dir, std::vector<std::string>* refused,
                                  std::string* error) {
  _modulesDir = dir;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    *error = "modules folder '" + Printable(dir, 200) + "' does not exist or is not a folder";
    return false;
  }
  std::vector<std::string> reasons;
  _loader.LoadDirectory(dir, &_factory, &reasons);
  const GUID prcType = guid::FromString(guid::kPrcCallChannelType);
  for (const LoadedModule& module : _loader.Modules()) {
    if (module.type._typeGuid != prcType) continue;
    std::string why;
    if (!_prc.Bind(module, &why)) reasons.push_back(module.path + ": " + why);
  }
  for (std::string& r : reasons) refused->push_back(std::move(r));
  return true;
}

std::string HostEnvironment::MissingPrcCallReason() const {
  return "no module provides the procedure-call channel type " + std::string(guid::kPrcCallChannelType) +
         " (looked in '" + _modulesDir + "'; use --modules DIR)";
}

}  // namespace dravik
