// What the built module exports: every member of the two channel classes a
// host may call. (fault_module_test refuses anything beyond them. Hosts
// that load the module and call its members by their decorated names are
// the runner's tests.)
//
// This binary neither links nor includes the module's code: it reads the
// built module's dynamic symbols.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/module_symbols.h"
#include "tests/support/test_support.h"

namespace {

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
  const std::string module = testing_support::PrcCallModulePath();
  const std::vector<testing_support::Symbol> symbols = testing_support::DynamicSymbols(module);
  ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << module;
  std::multiset<std::string> exported;
  for (const testing_support::Symbol& s : symbols) {
    exported.insert(s.name.substr(0, s.name.find_first_of("([", s.name.find("::"))));
  }
  const std::string multi = "MultiModeChannel<Ubo_FloatChannel, Ubo_VanticPrcCall>";
  const std::string prcCall = "Ubo_VanticPrcCall";
  for (const auto& [cls, members] :
       {std::pair{multi, kMultiMembers}, {prcCall, kPrcCallMembers}}) {
    std::istringstream words(members);
    for (std::string member; words >> member;) {
      EXPECT_GE(exported.count(cls + "::" + member), 1u) << cls << "::" << member;
    }
    EXPECT_EQ(exported.count("vtable for " + cls), 1u) << cls;
  }
  EXPECT_GE(exported.count(multi + "::GetModeDescription"), 2u);  // the two overloads
  EXPECT_GE(exported.count(multi + "::GetPrefixedMessage"), 2u);
  EXPECT_EQ(exported.count(prcCall + "::operator="), 0u);
}

}  // namespace
