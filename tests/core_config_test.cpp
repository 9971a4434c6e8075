// Configuration loading, the GnuPG existence fallback and the agent inference.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "platform/default_paths.h"
#include "support/registry_file.h"
#include "support/test_env.h"

namespace {

using vptest::Num;
using vptest::Str;

// Points the two default program paths at files of a test folder, so a test decides which of
// them "is installed".
class CoreConfig : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = vptest::FreshDir("config");
    gpg_ = dir_ + "/bin/gpg";
    gpg2_ = dir_ + "/bin/gpg2";
    std::filesystem::create_directories(dir_ + "/bin");
    saved_[0] = vp::kDefaultGpgPath;
    saved_[1] = vp::kDefaultGpg2Path;
    vp::kDefaultGpgPath = gpg_.c_str();
    vp::kDefaultGpg2Path = gpg2_.c_str();
    vp::InitialSharedSettings(&vp::Settings());
  }
  void TearDown() override {
    vp::kDefaultGpgPath = saved_[0];
    vp::kDefaultGpg2Path = saved_[1];
  }
  void Install(const std::string& path) { vptest::WriteFile(path, "#!/bin/sh\n"); }

  std::string dir_, gpg_, gpg2_;
  const char* saved_[2];
};

TEST_F(CoreConfig, NoKeyGivesTheDefaults) {
  vptest::RemoveRegistry();
  Install(gpg_);
  Install(gpg2_);
  vp::LoadConfiguration();
  const vp::SharedSettings& s = vp::Settings();
  EXPECT_STREQ(s.szGpgApp, gpg_.c_str());
  EXPECT_EQ(s.cacheInterval, 0u);
  EXPECT_EQ(s.bShowProcAttDialog, 1u);
  EXPECT_EQ(s.bShowMailSignDialog, 1u);
  EXPECT_EQ(s.bShowFileSignDialog, 1u);
  EXPECT_EQ(s.bShowAttLaunchDialog, 1u);
  EXPECT_EQ(s.bAutoOpenPgpMail, 1u);
  EXPECT_EQ(s.bUseAgent, 0u);
}

TEST_F(CoreConfig, OnlyTheSecondDefaultInstalledIsChosenAndImpliesTheAgent) {
  vptest::RemoveRegistry();
  Install(gpg2_);
  vp::LoadConfiguration();
  EXPECT_STREQ(vp::Settings().szGpgApp, gpg2_.c_str());
  EXPECT_EQ(vp::Settings().bUseAgent, 1u);
}

TEST_F(CoreConfig, MissingConfiguredProgramFallsBackOrStays) {
  std::string missing = dir_ + "/nowhere/gpg";
  vptest::WriteConfigKey({Str("GpgProgramPath", missing)});
  // Neither default exists: the configured path is kept.
  vp::LoadConfiguration();
  EXPECT_STREQ(vp::Settings().szGpgApp, missing.c_str());
  // Both exist: the first default wins.
  Install(gpg_);
  Install(gpg2_);
  vp::LoadConfiguration();
  EXPECT_STREQ(vp::Settings().szGpgApp, gpg_.c_str());
}

TEST_F(CoreConfig, AgentInferenceComparesTheFileNameExactly) {
  std::string upper = dir_ + "/bin/GPG2";
  Install(upper);
  vptest::WriteConfigKey({Str("GpgProgramPath", upper)});
  vp::LoadConfiguration();
  EXPECT_EQ(vp::Settings().bUseAgent, 0u);

  std::string lower = dir_ + "/other/gpg2";
  std::filesystem::create_directories(dir_ + "/other");
  Install(lower);
  vptest::WriteConfigKey({Str("GpgProgramPath", lower)});
  vp::LoadConfiguration();
  EXPECT_EQ(vp::Settings().bUseAgent, 1u);
  // An explicit value wins over the inference.
  vptest::WriteConfigKey({Str("GpgProgramPath", lower), Num("UseAgent", 0)});
  vp::LoadConfiguration();
  EXPECT_EQ(vp::Settings().bUseAgent, 0u);
}

TEST_F(CoreConfig, StoredValuesAreReadAndOverLongOnesFallBack) {
  Install(gpg_);
  vptest::WriteConfigKey({Num("CacheInterval", 15), Num("AutoOpenPgpMail", 0),
                          Num("ShowMailSignDlg", 0), Str("GpgProgramPath", std::string(300, 'p'))});
  vp::LoadConfiguration();
  const vp::SharedSettings& s = vp::Settings();
  EXPECT_EQ(s.cacheInterval, 15u);
  EXPECT_EQ(s.bAutoOpenPgpMail, 0u);
  EXPECT_EQ(s.bShowMailSignDialog, 0u);
  EXPECT_EQ(s.bShowProcAttDialog, 1u);
  // A path that does not fit its 256 bytes cannot be read: the default takes its place.
  EXPECT_STREQ(s.szGpgApp, gpg_.c_str());
}

TEST_F(CoreConfig, TextsWhereNumbersBelongAndUnreadableSettingsGiveTheDefaults) {
  Install(gpg_);
  vptest::WriteConfigKey({Str("CacheInterval", "5"), Str("UseAgent", "yes"),
                          Str("AutoOpenPgpMail", "0"), Num("GpgProgramPath", 7)});
  vp::LoadConfiguration();
  vp::SharedSettings& s = vp::Settings();
  EXPECT_EQ(s.cacheInterval, 0u);
  EXPECT_EQ(s.bUseAgent, 0u);
  EXPECT_EQ(s.bAutoOpenPgpMail, 1u);
  EXPECT_STREQ(s.szGpgApp, gpg_.c_str());

  // A settings file that cannot be read is no settings at all, not "keep what was there".
  vp::InitialSharedSettings(&s);
  s.cacheInterval = 99;
  std::filesystem::remove(vptest::RegistryPath());
  std::filesystem::create_directories(vptest::RegistryPath());
  vp::LoadConfiguration();
  std::filesystem::remove(vptest::RegistryPath());
  EXPECT_STREQ(s.szGpgApp, gpg_.c_str());
  EXPECT_EQ(s.cacheInterval, 0u);
}

}  // namespace
