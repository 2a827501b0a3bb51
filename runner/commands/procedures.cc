#include <algorithm>
#include <cstdio>
#include <set>
#include <vector>

#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"
#include "runner/procedures/var_access.h"
#include "runner/scene/scene.h"

namespace dravik {

int ProceduresCommand(const std::string& owner, const std::string& sceneFile) {
  HostEnvironment host;
  Scene scene;
  std::string text;
  std::string error;
  if (!ReadJsonScene(sceneFile, &scene, &text, &error)) return Fail(error);
  if (!host.Library().AddSceneProcedures(scene, &error)) return Fail(Printable(sceneFile, 200) + ": " + error);
  host.Library().RegisterAll(host.Procedures());
  const std::vector<Procedure*> list = host.Procedures().List(owner);
  if (list.empty()) {
    std::set<std::string> owners;
    for (const Procedure* p : host.Procedures().List()) owners.insert(p->_ownerClass);
    std::string known;
    for (const std::string& o : owners) known += (known.empty() ? "" : ", ") + Printable(o);
    return Fail("no procedures of owner class '" + Printable(owner) + "' (owner classes: " + known + ")");
  }
  size_t width = 0;
  const auto shown = [](const Procedure* p) { return Printable(FullName(p->_ownerClass, p->_name), 200); };
  for (const Procedure* p : list) width = std::max(width, DisplayWidth(shown(p)));
  for (const Procedure* p : list) {
    std::printf("%s  %-8s %s\n", Pad(shown(p), width, false).c_str(), p->_isStatic ? "static" : "on This",
                Printable(ParamsText(DescribeParams(p->_params)), std::string::npos).c_str());
    if (const ProcedureDefinition* d = host.Library().Find(p->_ownerClass, p->_name)) {
      if (!d->summary.empty()) {
        std::printf("%s  %-8s %s\n", std::string(width, ' ').c_str(), d->builtin ? "" : "(scene)",
                    Printable(d->summary, std::string::npos).c_str());
      }
    }
  }
  return kExitOk;
}

}  // namespace dravik
