// The built module as a host meets it: loaded from the modules folder,
// channels made through InitDLL, bound through the exported members,
// evaluated, saved and loaded again; and the module's exported symbols.
//
// This binary neither links nor includes the module's code: every call goes
// through the loaded module (its entry points, its exported members looked
// up by their decorated names, and the virtual operations of its channels).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/engine/channel_factory.h"
#include "host/engine/module_loader.h"
#include "hostapi/float_channel.h"
#include "hostapi/guid.h"
#include "hostapi/vantic_procedure.h"
#include "hostapi/zyr_file.h"
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
Vec3& VectorIn(VarList& vars, const char* name) {
  auto* v = dynamic_cast<VarVec3*>(vars.Find(name));
  if (v == nullptr) throw std::logic_error(name);
  return v->_value;
}

// A scene: channels by id, owned here. Procedure-call channels come from
// the module, the others from the float channel library, all through the
// host's factory.
struct Scene {
  std::vector<std::unique_ptr<Zyr_Channel>> channels;
  std::vector<Zyr_Channel*> calls;  // the procedure-call channels, in order

  Zyr_Channel* Add(std::unique_ptr<Zyr_Channel> ch) {
    channels.push_back(std::move(ch));
    return channels.back().get();
  }
};

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

  // "Body/Fall" (not static): the target's drag slows the velocity, gravity
  // pulls it down by dt, the position follows; speed is written out.
  // "Math/Scale" (static): y = x * k.
  static void RegisterProcedures() {
    VarList fall;
    fall.AddVar(VarFloat(VarType_Float, 1, "dt", 0, FLT_MIN, FLT_MAX));
    fall.AddVar(VarVec3(VarType_Vec3, 3, "velocity", {}, {}, {}));
    fall.AddVar(VarVec3(VarType_Vec3, 3, "position", {}, {}, {}));
    fall.AddVar(VarFloat(VarType_Float, 2, "speed", 0, FLT_MIN, FLT_MAX));
    ASSERT_NE(Procedures().RegisterFunction(
                  "Body", "Fall", false, fall,
                  [](VarList& vars) {
                    if (vars._thisObject == nullptr) return 1;
                    const float dt = FloatIn(vars, "dt");
                    const float keep = 1.0f - vars._thisObject->GetFloat("drag") * dt;
                    Vec3& v = VectorIn(vars, "velocity");
                    v = Vec3{v.x * keep, v.y * keep - 9.81f * dt, v.z * keep};
                    Vec3& p = VectorIn(vars, "position");
                    p = Vec3{p.x + v.x * dt, p.y + v.y * dt, p.z + v.z * dt};
                    FloatIn(vars, "speed") = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
                    return 0;
                  }),
              nullptr);
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

  // A procedure-call channel made by the module and told its procedure.
  Zyr_Channel* AddCall(Scene& scene, const std::string& owner, const std::string& name) {
    Zyr_Channel* ch = scene.Add(Make(guid::kPrcCallChannelType));
    void* call = dynamic_cast<void*>(ch);
    _setOwner(call, owner);
    _setName(call, name);
    EXPECT_EQ(_getName(call), name);
    scene.calls.push_back(ch);
    return ch;
  }

  // Plugs `child` into the link of `call` called `link`.
  static void Plug(Zyr_Channel* call, const char* link, Zyr_Channel* child) {
    const int index = call->FindChildLink(link);
    ASSERT_GE(index, 0) << link;
    ASSERT_TRUE(call->PlugChild(index, child)) << link;
  }

  static float Evaluate(Zyr_Channel* ch) { return dynamic_cast<Ubo_FloatChannel&>(*ch).GetFloat(); }

  // Runs `frames` render counts; per frame the statuses of the calls and
  // every float and vector value of the scene, as text.
  static std::vector<std::string> Run(Scene& scene, int frames) {
    std::vector<std::string> observed;
    for (int f = 0; f < frames; ++f) {
      globalEngine->AdvanceRenderCount();
      std::ostringstream line;
      line.precision(9);
      for (Zyr_Channel* call : scene.calls) line << "status " << Evaluate(call) << ';';
      for (const auto& ch : scene.channels) {
        if (auto* v = dynamic_cast<Ubo_VectorChannel*>(ch.get())) {
          line << v->GetVector().x << ',' << v->GetVector().y << ',' << v->GetVector().z << ';';
        } else if (auto* value = dynamic_cast<Ubo_ValueChannel*>(ch.get())) {
          line << value->GetFloat() << ';';
        }
      }
      observed.push_back(line.str());
    }
    return observed;
  }

  // Saves every channel of the scene, one record each.
  static std::vector<uint8_t> Save(Scene& scene) {
    ZyrFileSaver saver;
    for (const auto& ch : scene.channels) {
      saver.BeginChannel(ch->GetChannelType()._typeGuid);
      EXPECT_TRUE(ch->SaveChannel(saver));
      EXPECT_TRUE(saver.EndChannel());
    }
    EXPECT_FALSE(saver.HasError()) << saver.GetError();
    return saver.Bytes();
  }

  // Loads a saved scene into new channels and plugs them as they were.
  Scene Load(const std::vector<uint8_t>& file) {
    Scene scene;
    ZyrFileLoader loader;
    EXPECT_TRUE(loader.Open(file));
    GUID type;
    while (loader.NextChannel(&type)) {
      std::unique_ptr<Zyr_Channel> made = _factory.Create(type);
      if (made == nullptr) {
        ADD_FAILURE() << "no maker for " << guid::ToString(type);
        break;
      }
      Zyr_Channel* ch = scene.Add(std::move(made));
      EXPECT_TRUE(ch->LoadChannel(loader, nullptr)) << loader.GetError();
      if (type == guid::FromString(guid::kPrcCallChannelType)) scene.calls.push_back(ch);
    }
    EXPECT_FALSE(loader.HasError()) << loader.GetError();
    std::map<uint32_t, Zyr_Channel*> byOldId;
    for (const auto& ch : scene.channels) byOldId[ch->GetLoadedChannelId()] = ch.get();
    for (const auto& ch : scene.channels) {
      const std::vector<uint32_t>& children = ch->GetLoadedChildIds();
      for (size_t i = 0; i < children.size(); ++i) {
        if (children[i] == 0) continue;
        EXPECT_TRUE(ch->PlugChild(static_cast<int>(i), byOldId[children[i]]));
      }
    }
    return scene;
  }

  testing_support::MessageCapture _messages;
  ModuleLoader _loader;  // unloads after every channel of the test is gone
  ChannelFactory _factory;
  const LoadedModule* _module = nullptr;
  SetTextMember _setOwner = nullptr;
  SetTextMember _setName = nullptr;
  GetTextMember _getName = nullptr;
};

TEST_F(PrcCallModuleHostTest, ChannelsEvaluateSaveLoadAndEvaluateAlike) {
  VanticObject* ball = Procedures().Objects().Create("Body", "ball");
  ball->SetFloat("drag", 0.5f);
  std::vector<uint8_t> file;
  std::vector<std::string> before;
  {
    Scene scene;
    Zyr_Channel* fall = AddCall(scene, "Body", "Fall");
    Zyr_Channel* scale = AddCall(scene, "Math", "Scale");
    // The first due evaluation binds and declares the links; nothing is
    // plugged yet, so the inputs cannot be taken.
    globalEngine->AdvanceRenderCount();
    EXPECT_EQ(Evaluate(fall), kStatusInputs);
    EXPECT_EQ(Evaluate(scale), kStatusInputs);
    EXPECT_STREQ(fall->GetChannelName(), "Body :: Fall");
    ASSERT_EQ(fall->GetChildCreationCount(), 5);

    auto* self = dynamic_cast<Ubo_CoreRefChannel*>(scene.Add(Make(guid::kCoreRefChannelType)));
    auto* dt = dynamic_cast<Ubo_ValueChannel*>(scene.Add(Make(guid::kFloatChannelType)));
    auto* velocity = dynamic_cast<Ubo_VectorChannel*>(scene.Add(Make(guid::kVectorChannelType)));
    Zyr_Channel* position = scene.Add(Make(guid::kVectorChannelType));
    Zyr_Channel* speed = scene.Add(Make(guid::kFloatChannelType));
    auto* k = dynamic_cast<Ubo_ValueChannel*>(scene.Add(Make(guid::kFloatChannelType)));
    ASSERT_TRUE(self != nullptr && dt != nullptr && velocity != nullptr && k != nullptr);
    self->SetObjectId(ball->Id());
    dt->SetFloat(0.1f);
    velocity->SetVector(Vec3{2.0f, 5.0f, -1.0f});
    k->SetFloat(3.0f);
    Zyr_Channel* y = scene.Add(Make(guid::kFloatChannelType));
    Plug(fall, "This", self);
    Plug(fall, "dt", dt);
    Plug(fall, "velocity", velocity);
    Plug(fall, "position", position);
    Plug(fall, "speed", speed);
    // The scaled speed: a channel's output feeds another call's input.
    Plug(scale, "x", speed);
    Plug(scale, "k", k);
    Plug(scale, "y", y);

    file = Save(scene);
    before = Run(scene, 6);
    for (const std::string& frame : before) {
      EXPECT_EQ(frame.rfind("status 0;status 0;", 0), 0u) << frame;
    }
    EXPECT_GT(dynamic_cast<Ubo_ValueChannel&>(*y).GetFloat(), 0.0f);
    EXPECT_NE(before.front(), before.back());
  }

  _messages.Clear();
  Scene loaded = Load(file);
  ASSERT_EQ(loaded.calls.size(), 2u);
  EXPECT_STREQ(loaded.calls[0]->GetChannelName(), "Body :: Fall");
  const std::vector<std::string> after = Run(loaded, 6);
  EXPECT_EQ(after, before);
  // Binding after the load found the saved parameter layout unchanged.
  EXPECT_EQ(_messages.CountContaining("CreatingNewSetOfChildLinks!"), 0u);
  EXPECT_EQ(_messages.CountContaining("UpdatingProcedure[Body/Fall].OK!"), 1u);
  loaded.channels.clear();
  Procedures().Objects().Remove(ball->Id());
}

TEST_F(PrcCallModuleHostTest, ChannelWithoutProcedureAnswersOneAndDependsOnFloatsOnly) {
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
