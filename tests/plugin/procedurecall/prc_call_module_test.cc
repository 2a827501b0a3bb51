// The built module as a host meets it: loaded from the modules folder,
// channels made through InitDLL, bound through the exported members,
// evaluated; and the module's exported symbols.
//
// This binary neither links nor includes the module's code: every call goes
// through the loaded module (its entry points, its exported members looked
// up by their decorated names, and the virtual operations of its channels).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/engine/channel_factory.h"
#include "host/engine/module_loader.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "tests/plugin/core/type_record_bytes.h"
#include "tests/support/module_symbols.h"
#include "tests/support/test_support.h"

namespace {

const std::string kModulePath = testing_support::PrcCallModulePath();

// Decorated names of the members a host calls to choose a procedure.
constexpr const char kSetPrcOwnerClass[] =
    "_ZN17Ubo_VanticPrcCall16SetPrcOwnerClassERKNSt7__cxx1112basic_stringIcSt11char_"
    "traitsIcESaIcEEE";
constexpr const char kSetPrcName[] =
    "_ZN17Ubo_VanticPrcCall10SetPrcNameERKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE";
constexpr const char kGetPrcName[] = "_ZNK17Ubo_VanticPrcCall10GetPrcNameB5cxx11Ev";

// A member called through its exported symbol takes the object's address
// (that of the most derived object) as its first argument.
using SetTextMember = void (*)(void* self, const std::string&);
using GetTextMember = const std::string& (*)(const void* self);

// Status values of a procedure-call channel.
constexpr float kStatusFailed = 1.0f;
constexpr float kStatusInputs = 3.0f;

ProceduresManager& Procedures() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

float& FloatIn(VarList& vars, const char* name) {
  auto* v = dynamic_cast<VarFloat*>(vars.Find(name));
  if (v == nullptr) throw std::logic_error(name);
  return v->_value;
}

class PrcCallModuleHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Procedures().RemoveAll();
    RegisterFloatChannelTypes(_factory);
    std::string error;
    _module = _loader.Load(kModulePath, &_factory, &error);
    ASSERT_NE(_module, nullptr) << error;
    _setOwner = reinterpret_cast<SetTextMember>(dlsym(_module->handle, kSetPrcOwnerClass));
    _setName = reinterpret_cast<SetTextMember>(dlsym(_module->handle, kSetPrcName));
    _getName = reinterpret_cast<GetTextMember>(dlsym(_module->handle, kGetPrcName));
    ASSERT_TRUE(_setOwner != nullptr && _setName != nullptr && _getName != nullptr);
    RegisterProcedures();
  }
  void TearDown() override { Procedures().RemoveAll(); }

  // "Math/Scale" (static): y = x * k.
  static void RegisterProcedures() {
    VarList scale;
    scale.AddVar(VarFloat(VarType_Float, 1, "x", 0, FLT_MIN, FLT_MAX));
    scale.AddVar(VarFloat(VarType_Float, 1, "k", 0, FLT_MIN, FLT_MAX));
    scale.AddVar(VarFloat(VarType_Float, 2, "y", 0, FLT_MIN, FLT_MAX));
    ASSERT_NE(Procedures().RegisterFunction("Math", "Scale", true, scale,
                                            [](VarList& vars) {
                                              FloatIn(vars, "y") =
                                                  FloatIn(vars, "x") * FloatIn(vars, "k");
                                              return 0;
                                            }),
              nullptr);
  }

  std::unique_ptr<Zyr_Channel> Make(std::string_view type) {
    std::unique_ptr<Zyr_Channel> ch = _factory.Create(guid::FromString(type));
    EXPECT_NE(ch, nullptr) << type;
    return ch;
  }

  static float Evaluate(Zyr_Channel* ch) { return dynamic_cast<Ubo_FloatChannel&>(*ch).GetFloat(); }

  testing_support::MessageCapture _messages;
  ModuleLoader _loader;  // unloads after every channel of the test is gone
  ChannelFactory _factory;
  const LoadedModule* _module = nullptr;
  SetTextMember _setOwner = nullptr;
  SetTextMember _setName = nullptr;
  GetTextMember _getName = nullptr;
};

// A channel made by the module, told its procedure through the exported
// members, binds at its first due evaluation and then runs the procedure.
TEST_F(PrcCallModuleHostTest, ExportedMembersChooseTheProcedureTheChannelRuns) {
  std::unique_ptr<Zyr_Channel> call = Make(guid::kPrcCallChannelType);
  void* self = dynamic_cast<void*>(call.get());
  _setOwner(self, "Math");
  _setName(self, "Scale");
  EXPECT_EQ(_getName(self), "Scale");
  globalEngine->AdvanceRenderCount();
  EXPECT_EQ(Evaluate(call.get()), kStatusInputs);
  EXPECT_STREQ(call->GetChannelName(), "Math :: Scale");
  std::unique_ptr<Zyr_Channel> x = Make(guid::kFloatChannelType);
  std::unique_ptr<Zyr_Channel> k = Make(guid::kFloatChannelType);
  std::unique_ptr<Zyr_Channel> y = Make(guid::kFloatChannelType);
  dynamic_cast<Ubo_ValueChannel&>(*x).SetFloat(2.0f);
  dynamic_cast<Ubo_ValueChannel&>(*k).SetFloat(3.0f);
  for (auto [link, child] : {std::pair{"x", x.get()}, {"k", k.get()}, {"y", y.get()}}) {
    ASSERT_TRUE(call->PlugChild(call->FindChildLink(link), child)) << link;
  }
  globalEngine->AdvanceRenderCount();
  EXPECT_EQ(Evaluate(call.get()), 0.0f);
  EXPECT_EQ(Evaluate(y.get()), 6.0f);
}

TEST_F(PrcCallModuleHostTest, ChannelWithoutProcedureAnswersOneAndDependsOnFloatsOnly) {
  // The record the module's GetType answered, byte for byte.
  EXPECT_EQ(std::memcmp(&_module->type, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
  std::unique_ptr<Zyr_Channel> ch = Make(guid::kPrcCallChannelType);
  ASSERT_NE(ch, nullptr);
  EXPECT_STREQ(ch->GetChannelName(), "VanticPrcCall_Call");
  globalEngine->AdvanceRenderCount();
  EXPECT_EQ(Evaluate(ch.get()), kStatusFailed);
  Zyr_List dependencies;
  ch->DoDependencyInit(&dependencies);
  ASSERT_EQ(dependencies.Count(), 1u);
  EXPECT_EQ(dependencies.At(0), guid::FromString(guid::kFloatChannelType));
  ch->DoDependencyInit(nullptr);  // no list, nothing to record
}

// ---- what the module exports ----
// (fault_module_test refuses anything beyond these; here every member a
// host may call is present.)

TEST(PrcCallModuleExports, BothClassesWithEveryMember) {
  const std::vector<testing_support::Symbol> symbols = testing_support::DynamicSymbols(kModulePath);
  ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << kModulePath;
  std::multiset<std::string> exported;
  for (const testing_support::Symbol& s : symbols) {
    exported.insert(s.name.substr(0, s.name.find_first_of("([", s.name.find("::"))));
  }
  const std::string multi = "MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>::";
  for (const char* member : {
      "MultiModeChannel", "~MultiModeChannel", "operator=", "AddMode", "BuildModesList",
      "ClearModes", "CreateLink", "GetApplySameMode", "GetChildLinkName", "GetCurrentMode",
      "GetIndexFromMode", "GetModeCount", "GetModeDescription", "GetModeFromIndex", "GetModeNames",
      "GetNamePrefix", "GetPrefixedMessage", "GetUseAutoChannelName", "InitMode", "IsModeValid",
      "LoadChannel", "ModeIsSet", "OnClickedOK", "SaveChannel", "SetApplySameMode",
      "SetAutoChannelName", "SetAutoSetModeOnLoad", "SetCurrentMode", "SetCurrentModeFromIndex",
      "SetModeDescription", "SetNamePrefix", "SetUseAutoChannelName", "_modes", "_modeOrder",
      "_tempLinks", "_refCount", "_bModesInitialized"}) {
    EXPECT_GE(exported.count(multi + member), 1u) << multi << member;
  }
  EXPECT_GE(exported.count(multi + "GetModeDescription"), 2u);  // the two overloads
  EXPECT_GE(exported.count(multi + "GetPrefixedMessage"), 2u);
  for (const char* member :
       {"Ubo_VanticPrcCall", "~Ubo_VanticPrcCall", "CreateChildLinks", "DoDependencyInit",
        "GetFloat", "GetPrcName", "GetPrcOwnerClass", "InitializeModes", "LoadChannel", "ModeIsSet",
        "OnProcedureUpdate", "PrepareModesList", "SaveChannel", "SetChannelNameFromOwnSetup",
        "SetPrcName", "SetPrcOwnerClass", "ShouldCreateChildLinks", "UpdatePrc"}) {
    EXPECT_GE(exported.count(std::string("Ubo_VanticPrcCall::") + member), 1u) << member;
  }
  EXPECT_EQ(exported.count("Ubo_VanticPrcCall::operator="), 0u);
  for (const char* cls : {"MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>", "Ubo_VanticPrcCall"}) {
    EXPECT_EQ(exported.count(std::string("vtable for ") + cls), 1u) << cls;
  }
}

}  // namespace
