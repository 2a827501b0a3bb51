#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "hostapi/guid.h"
#include "runner/commands/command_support.h"
#include "runner/commands/commands.h"
#include "runner/environment/host_environment.h"
#include "runner/output/printable_text.h"
#include "runner/output/value_format.h"
#include "runner/scene/scene.h"

namespace dravik {

int ModesCommand(const std::string& owner, const std::string& modulesDir, const std::string& sceneFile) {
  HostEnvironment host;
  std::string error;
  Scene scene;
  std::string text;
  if (!ReadJsonScene(sceneFile, &scene, &text, &error)) return Fail(error);
  if (!LoadModules(host, modulesDir, &error)) return Fail(error);
  if (!host.HasPrcCallType()) return Fail(host.MissingPrcCallReason());
  if (!host.Library().AddSceneProcedures(scene, &error)) return Fail(sceneFile + ": " + error);
  host.Library().RegisterAll(host.Procedures());
  std::unique_ptr<Zyr_Channel> channel = host.Factory().Create(guid::FromString(guid::kPrcCallChannelType));
  if (channel == nullptr) return Fail("the procedure-call module made no channel");
  if (!host.PrcCall().PrepareModesList(*channel, owner)) return Fail("PrepareModesList could not be called");
  const std::vector<ModeEntry> modes = host.PrcCall().Modes(*channel);
  std::printf("modes a procedure-call channel offers for owner class \"%s\" (PrepareModesList):\n",
              Printable(owner).c_str());
  size_t width = 10;
  for (const ModeEntry& m : modes) width = std::max(width, DisplayWidth(Printable(m.shortName, 60)));
  std::printf("  order  code  %s  name\n", Pad("short name", width, false).c_str());
  for (const ModeEntry& m : modes) {
    std::printf("  %5u  %4u  %s  %s\n", m.orderIndex, m.code, Pad(Printable(m.shortName, 60), width, false).c_str(),
                Printable(m.name, 80).c_str());
  }
  if (host.Procedures().List(owner).empty()) {
    std::printf("  (owner class \"%s\" has no procedures: the channel offers its placeholder mode)\n",
                Printable(owner).c_str());
  }
  return kExitOk;
}

}  // namespace dravik
