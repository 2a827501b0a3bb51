// Loading channel modules: a good one, and each kind of defect refused
// with a one-line reason.
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/engine/channel_factory.h"
#include "host/engine/module_loader.h"
#include "hostapi/float_channel.h"
#include "tests/support/test_support.h"

namespace {

const std::string kDir = ENGINE_TEST_MODULES_DIR;
const std::string kGood = "0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0";

std::string ModulePath(const std::string& fileGuid) { return kDir + "/" + fileGuid + ".so"; }

// Loads `fileGuid` expecting a refusal whose reason contains `reason`.
void ExpectRefused(const std::string& path, const std::string& reason) {
  ModuleLoader loader;
  ChannelFactory factory;
  std::string error;
  EXPECT_EQ(loader.Load(path, &factory, &error), nullptr);
  EXPECT_NE(error.find(reason), std::string::npos) << error;
  EXPECT_NE(error.find(std::filesystem::path(path).filename().string()), std::string::npos)
      << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
  EXPECT_TRUE(loader.Modules().empty());
  EXPECT_TRUE(factory.Types().empty());
}

// Each defective test module, and files that are no module, refused with
// their reason.
TEST(ModuleLoading, DefectiveModulesAreRefused) {
  const std::pair<const char*, const char*> defects[] = {
      {"1F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0", "differs from the file name"},
      {"2F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0", "not the float channel type"},
      {"3F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0", "InitDLL"},
      {"4F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0", "interface version 6"},
      {"5F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0", "NUL-terminated"},
  };
  for (const auto& [file, reason] : defects) ExpectRefused(ModulePath(file), reason);

  testing_support::ScratchDir dir;
  std::filesystem::copy_file(ModulePath(kGood), dir.File("module.so"));
  ExpectRefused(dir.File("module.so"), "not <type GUID>.so");
  std::ofstream(dir.File(kGood + ".so")) << "not a shared object";
  ExpectRefused(dir.File(kGood + ".so"), "cannot load");
  ExpectRefused(dir.File("7F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0.so"), "cannot load");
}

// The good module makes channels with its record, once loaded; the
// not-a-channel module's InitDLL makes nothing; unloading leaves the
// registered maker making nothing; a maker that throws makes nothing.
TEST(ModuleLoading, DirectoryLoadsGoodModulesAndReportsTheRest) {
  ModuleLoader loader;
  ChannelFactory factory;
  std::vector<std::string> errors;
  EXPECT_EQ(loader.LoadDirectory(kDir, &factory, &errors), 2);
  EXPECT_EQ(errors.size(), 5u);
  ASSERT_EQ(loader.Modules().size(), 2u);
  EXPECT_LT(loader.Modules()[0].path, loader.Modules()[1].path);  // name order
  EXPECT_STREQ(loader.Modules()[0].type._name, "EngineTestChannel");
  const GUID type = guid::FromString(kGood);
  std::unique_ptr<Zyr_Channel> channel = factory.Create(type);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(channel->GetChannelType()._baseTypeGuid, guid::FromString(guid::kFloatChannelType));
  channel.reset();
  EXPECT_EQ(factory.Create(guid::FromString("6F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0")), nullptr);
  std::string error;
  EXPECT_EQ(loader.Load(ModulePath(kGood), &factory, &error), nullptr);
  EXPECT_NE(error.find("already loaded"), std::string::npos) << error;
  loader.UnloadAll();
  EXPECT_EQ(factory.Create(type), nullptr);

  errors.clear();
  EXPECT_EQ(loader.LoadDirectory(kDir + "/absent", &factory, &errors), 0);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].find("absent"), std::string::npos);
  ChannelType throwing;
  throwing._typeGuid = guid::FromString(guid::kPrcCallChannelType);
  factory.Register(throwing, []() -> Zyr_Channel* { throw std::runtime_error("no"); });
  EXPECT_EQ(factory.Create(throwing._typeGuid), nullptr);
}

}  // namespace
