// A host built against the installed tree: it loads the installed module,
// registers a procedure, links a procedure-call channel to two values, and
// evaluates it. Prints "status 0 result 5" on success.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "host/engine/channel_factory.h"
#include "host/engine/module_loader.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/zyr_file.h"

int main() {
  ChannelFactory factory;
  RegisterFloatChannelTypes(factory);
  ModuleLoader loader;
  std::vector<std::string> refused;
  if (loader.LoadDirectory(MODULES_DIR, &factory, &refused) != 1) {
    for (const std::string& r : refused) std::fprintf(stderr, "refused: %s\n", r.c_str());
    return 1;
  }
  ProceduresManager& procedures = CoreFramework::Singleton<ProceduresManager>::Instance();
  VarList params;
  params.AddVar(VarFloat(VarType_Float, VarMode_In, "a", 0, -1e30f, 1e30f));
  params.AddVar(VarFloat(VarType_Float, VarMode_Out, "result", 0, -1e30f, 1e30f));
  procedures.RegisterFunction("Demo", "Plus2", true, params, [](VarList& vars) {
    auto* a = dynamic_cast<VarFloat*>(vars.Find("a"));
    auto* r = dynamic_cast<VarFloat*>(vars.Find("result"));
    if (a == nullptr || r == nullptr) return 1;
    r->_value = a->_value + 2;
    return 0;
  });

  std::unique_ptr<Zyr_Channel> in = factory.Create(guid::FromString(guid::kFloatChannelType));
  std::unique_ptr<Zyr_Channel> out = factory.Create(guid::FromString(guid::kFloatChannelType));
  std::unique_ptr<Zyr_Channel> call = factory.Create(guid::FromString(guid::kPrcCallChannelType));
  if (!in || !out || !call) return 2;
  dynamic_cast<Ubo_FloatChannel&>(*in).SetFloat(3);

  // Give the channel its procedure the way a file load does: its own record
  // with the procedure-call part replaced.
  ZyrFileSaver saver;
  saver.BeginChannel(guid::FromString(guid::kPrcCallChannelType));
  call->Zyr_Channel::SaveChannel(saver);
  auto put = [&](const char* tag, const void* data, uint32_t size) {
    saver.SaveTag(tag);
    saver.SaveBlockSize(size);
    if (size) saver.SaveDataToFile(data, size);
  };
  const uint32_t zero = 0, one = 1, two = 2, count = 2;
  const uint8_t yes = 1;
  put("MODE", &zero, 4);
  put("UACN", &yes, 1);
  put("OWNC", "Demo", 4);
  put("PRCN", "Plus2", 5);
  put("STTC", &one, 4);
  put("PRMS", &count, 4);
  put("TYPE", &zero, 4);
  put("MODE", &one, 4);
  put("NAME", "a", 1);
  put("TYPE", &zero, 4);
  put("MODE", &two, 4);
  put("NAME", "result", 6);
  saver.EndChannel();
  ZyrFileLoader reader;
  GUID type;
  if (!reader.Open(saver.Bytes()) || !reader.NextChannel(&type) || !call->LoadChannel(reader, nullptr)) return 3;
  if (!call->PlugChild(call->FindChildLink("a"), in.get()) ||
      !call->PlugChild(call->FindChildLink("result"), out.get())) {
    return 4;
  }
  globalEngine->AdvanceRenderCount();
  const float status = dynamic_cast<Ubo_FloatChannel&>(*call).GetFloat();
  std::printf("%s: status %g result %g\n", call->GetChannelName(), static_cast<double>(status),
              static_cast<double>(dynamic_cast<Ubo_FloatChannel&>(*out).GetFloat()));
  call.reset();
  return status == 0.0f ? 0 : 5;
}
