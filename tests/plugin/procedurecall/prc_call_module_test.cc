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
#include <sstream>
#include <string>
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

ProceduresManager& Procedures() { return CoreFramework::Singleton<ProceduresManager>::Instance(); }

class PrcCallModuleHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Procedures().RemoveAll();
    RegisterFloatChannelTypes(_factory);
    std::string error;
    _module = _loader.Load(kModulePath, &_factory, &error);
    ASSERT_NE(_module, nullptr) << error;
  }
  void TearDown() override { Procedures().RemoveAll(); }

  std::unique_ptr<Zyr_Channel> Make(std::string_view type) {
    std::unique_ptr<Zyr_Channel> ch = _factory.Create(guid::FromString(type));
    EXPECT_NE(ch, nullptr) << type;
    return ch;
  }
  // The float value of `ch` at the next render count.
  static float Evaluate(Zyr_Channel* ch) {
    globalEngine->AdvanceRenderCount();
    return dynamic_cast<Ubo_FloatChannel&>(*ch).GetFloat();
  }

  testing_support::MessageCapture _messages;
  ModuleLoader _loader;  // unloads after every channel of the test is gone
  ChannelFactory _factory;
  const LoadedModule* _module = nullptr;
};

// A channel made by the module answers 1.0 without a procedure; told its
// procedure through the exported members, it binds at its next due
// evaluation (3.0: its input is not plugged) and then runs the procedure.
// (What runs through plugged links in a module's channels is the runner's
// to check.)
TEST_F(PrcCallModuleHostTest, ExportedMembersChooseTheProcedureTheChannelRuns) {
  // The record the module's GetType answered, byte for byte.
  EXPECT_EQ(std::memcmp(&_module->type, kExpectedTypeRecord.data(), sizeof(ChannelType)), 0);
  auto setOwner = reinterpret_cast<SetTextMember>(dlsym(_module->handle, kSetPrcOwnerClass));
  auto setName = reinterpret_cast<SetTextMember>(dlsym(_module->handle, kSetPrcName));
  auto getName = reinterpret_cast<GetTextMember>(dlsym(_module->handle, kGetPrcName));
  ASSERT_TRUE(setOwner != nullptr && setName != nullptr && getName != nullptr);
  VarList input;
  input.AddVar(VarFloat(VarType_Float, 1, "x", 0, FLT_MIN, FLT_MAX));
  int runs = 0;
  ASSERT_NE(Procedures().RegisterFunction("Math", "Scale", true, input,
                                          [&runs](VarList&) {
                                            ++runs;
                                            return 0;
                                          }),
            nullptr);

  std::unique_ptr<Zyr_Channel> call = Make(guid::kPrcCallChannelType);
  ASSERT_NE(call, nullptr);
  EXPECT_STREQ(call->GetChannelName(), "VanticPrcCall_Call");
  EXPECT_EQ(Evaluate(call.get()), 1.0f);
  Zyr_List dependencies;
  call->DoDependencyInit(&dependencies);
  ASSERT_EQ(dependencies.Count(), 1u);
  EXPECT_EQ(dependencies.At(0), guid::FromString(guid::kFloatChannelType));
  call->DoDependencyInit(nullptr);  // no list, nothing to record

  void* self = dynamic_cast<void*>(call.get());
  setOwner(self, "Math");
  setName(self, "Scale");
  EXPECT_EQ(getName(self), "Scale");
  EXPECT_EQ(Evaluate(call.get()), 3.0f);
  EXPECT_STREQ(call->GetChannelName(), "Math :: Scale");
  std::unique_ptr<Zyr_Channel> x = Make(guid::kFloatChannelType);
  ASSERT_TRUE(call->PlugChild(call->FindChildLink("x"), x.get()));
  EXPECT_EQ(Evaluate(call.get()), 0.0f);
  EXPECT_EQ(runs, 1);
}

// ---- what the module exports ----
// (fault_module_test refuses anything beyond these; here every member a
// host may call is present.)

// Members of the two classes a host may call, one a word.
const char kMultiMembers[] =
    "MultiModeChannel ~MultiModeChannel operator= AddMode BuildModesList ClearModes CreateLink "
    "GetApplySameMode GetChildLinkName GetCurrentMode GetIndexFromMode GetModeCount "
    "GetModeDescription GetModeFromIndex GetModeNames GetNamePrefix GetPrefixedMessage "
    "GetUseAutoChannelName InitMode IsModeValid LoadChannel ModeIsSet OnClickedOK SaveChannel "
    "SetApplySameMode SetAutoChannelName SetAutoSetModeOnLoad SetCurrentMode "
    "SetCurrentModeFromIndex SetModeDescription SetNamePrefix SetUseAutoChannelName _modes "
    "_modeOrder _tempLinks _refCount _bModesInitialized";
const char kPrcCallMembers[] =
    "Ubo_VanticPrcCall ~Ubo_VanticPrcCall CreateChildLinks DoDependencyInit GetFloat GetPrcName "
    "GetPrcOwnerClass InitializeModes LoadChannel ModeIsSet OnProcedureUpdate PrepareModesList "
    "SaveChannel SetChannelNameFromOwnSetup SetPrcName SetPrcOwnerClass ShouldCreateChildLinks "
    "UpdatePrc";

TEST(PrcCallModuleExports, BothClassesWithEveryMember) {
  const std::vector<testing_support::Symbol> symbols = testing_support::DynamicSymbols(kModulePath);
  ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << kModulePath;
  std::multiset<std::string> exported;
  for (const testing_support::Symbol& s : symbols) {
    exported.insert(s.name.substr(0, s.name.find_first_of("([", s.name.find("::"))));
  }
  const std::string multi = "MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>::";
  std::istringstream multiMembers(kMultiMembers);
  for (std::string member; multiMembers >> member;) {
    EXPECT_GE(exported.count(multi + member), 1u) << multi << member;
  }
  EXPECT_GE(exported.count(multi + "GetModeDescription"), 2u);  // the two overloads
  EXPECT_GE(exported.count(multi + "GetPrefixedMessage"), 2u);
  std::istringstream prcCallMembers(kPrcCallMembers);
  for (std::string member; prcCallMembers >> member;) {
    EXPECT_GE(exported.count("Ubo_VanticPrcCall::" + member), 1u) << member;
  }
  EXPECT_EQ(exported.count("Ubo_VanticPrcCall::operator="), 0u);
  for (const char* cls :
       {"MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>", "Ubo_VanticPrcCall"}) {
    EXPECT_EQ(exported.count(std::string("vtable for ") + cls), 1u) << cls;
  }
}

}  // namespace
