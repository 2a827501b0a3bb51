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
  if (!host.Library().AddSceneProcedures(scene, &error)) return Fail(sceneFile + ": " + error);
  host.Library().RegisterAll(host.Procedures());
  const std::vector<Procedure*> list = host.Procedures().List(owner);
  if (list.empty()) {
    std::set<std::string> owners;
    for (const Procedure* p : host.Procedures().List()) owners.insert(p->_ownerClass);
    std::string known;
    for (const std::string& o : owners) known += (known.empty() ? "" : ", ") + o;
    return Fail("no procedures of owner class '" + Printable(owner) + "' (owner classes: " + known + ")");
  }
  size_t width = 0;
  for (const Procedure* p : list) width = std::max(width, DisplayWidth(FullName(p->_ownerClass, p->_name)));
  for (const Procedure* p : list) {
    const std::string full = FullName(p->_ownerClass, p->_name);
    std::printf("%s  %-8s %s\n", Pad(full, width, false).c_str(), p->_isStatic ? "static" : "on This",
                ParamsText(DescribeParams(p->_params)).c_str());
    if (const ProcedureDefinition* d = host.Library().Find(p->_ownerClass, p->_name)) {
      if (!d->summary.empty()) {
        std::printf("%s  %-8s %s\n", std::string(width, ' ').c_str(), d->builtin ? "" : "(scene)", d->summary.c_str());
      }
    }
  }
  return kExitOk;
}

}  // namespace dravik
