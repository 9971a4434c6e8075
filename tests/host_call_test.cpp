// The host program as the client's script uses it, and the library's exported surface.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>
#include <sstream>
#include <string>

#include "support/registry_file.h"
#include "support/test_env.h"

namespace {

// The library's exports the client's script calls.
const char* const kExports[] = {"InitOrlavex",
                                "PgpInit",
                                "PgpExit",
                                "GetLaunchConfig",
                                "GetAutoOpenPgpMail",
                                "GetTempDir",
                                "WipeFile",
                                "PgpCheckKey",
                                "DoEncrypt",
                                "DoDecryptAttachments",
                                "IsPgpMail",
                                "DoDecryptBody",
                                "DoQuoteBody",
                                "CreateVeilpostTemplate",
                                "ReplaceDatabaseDesign"};

class HostCall : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = vptest::FreshDir("host");
    log_ = dir_ + "/ui.log";
    setenv("VEILPOST_UI", ("script:" + dir_ + "/answers").c_str(), 1);
    setenv("VEILPOST_UI_LOG", log_.c_str(), 1);
    vptest::WriteFile(dir_ + "/answers", "");
  }
  void TearDown() override {
    unsetenv("VEILPOST_UI");
    unsetenv("VEILPOST_UI_LOG");
  }
  int Veilpost(const std::string& args, std::string* out, const std::string& env = "") {
    return vptest::RunCommand(env + vptest::VeilpostBinary() + " " + args + " 2>&1", out);
  }
  std::string dir_, log_;
};

// A process killed during a run leaves plaintext in scratch files: the next process to load the
// library wipes them, but never one that a live process still uses.
TEST_F(HostCall, CrashLeftoversAreWipedAtTheNextStart) {
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  ASSERT_GT(dead, 0);
  waitpid(dead, nullptr, 0);
  const std::string left = dir_ + "/veilpost" + std::to_string(dead) + "-3";
  const std::string live = dir_ + "/veilpost" + std::to_string(getpid()) + "-3";
  vptest::WriteFile(left, "plaintext");
  vptest::WriteFile(live, "in use");
  int witness = open(left.c_str(), O_RDONLY);
  std::string out;
  ASSERT_EQ(Veilpost("call GetTempDir", &out, "TMPDIR='" + dir_ + "' TMP='" + dir_ + "' "), 0);
  EXPECT_EQ(out, dir_ + "\n");
  EXPECT_FALSE(vptest::PathExistsForTest(left));
  char data[16] = "";
  EXPECT_EQ(pread(witness, data, sizeof data, 0), 9);
  close(witness);
  EXPECT_EQ(std::string(data, 9), std::string(9, '\xAA'));
  EXPECT_EQ(vptest::ReadFile(live), "in use");
}

TEST_F(HostCall, CallsExportsWithArgumentsFromFilesAndStandardInput) {
  std::string out;
  ASSERT_EQ(Veilpost("call GetTempDir", &out), 0);
  EXPECT_EQ(out, vptest::PrivateDir() + "\n");

  std::string victim = dir_ + "/victim.txt";
  vptest::WriteFile(victim, "plaintext");
  vptest::WriteFile(dir_ + "/arg", victim);
  ASSERT_EQ(Veilpost("call WipeFile @" + dir_ + "/arg", &out), 0);
  EXPECT_EQ(out, "0\n");
  EXPECT_FALSE(vptest::PathExistsForTest(victim));

  vptest::WriteFile(victim, "again");
  ASSERT_EQ(
      vptest::RunCommand(
          "printf '%s' '" + victim + "' | " + vptest::VeilpostBinary() + " call WipeFile @-", &out),
      0);
  EXPECT_FALSE(vptest::PathExistsForTest(victim));

  vptest::WriteConfigKey({vptest::Num("AutoOpenPgpMail", 0)});
  ASSERT_EQ(Veilpost("call GetAutoOpenPgpMail", &out), 0);
  EXPECT_EQ(out, "0\n");
}

TEST_F(HostCall, VersionHandShakeRunsFirstUnlessAskedNotTo) {
  std::string out;
  ASSERT_EQ(Veilpost("call --subform-version 1.4.0 PgpInit", &out), 0);
  EXPECT_EQ(out, "0\n");
  std::string log = vptest::ReadFile(log_);
  EXPECT_NE(log.find("Current 'Veilpost Plugin' subform version: 1.4.0"), std::string::npos);

  vptest::WriteFile(log_, "");
  ASSERT_EQ(Veilpost("call --no-init --subform-version 1.4.0 PgpExit", &out), 0);
  EXPECT_EQ(vptest::ReadFile(log_), "");
}

TEST_F(HostCall, UsageErrorsExitWithTwo) {
  std::string out;
  EXPECT_EQ(Veilpost("call NoSuchExport", &out), 2);
  EXPECT_NE(out.find("unknown export NoSuchExport"), std::string::npos);
  EXPECT_EQ(Veilpost("call WipeFile", &out), 2);
  EXPECT_NE(out.find("WipeFile takes 1 argument(s), 0 given"), std::string::npos);
  EXPECT_EQ(Veilpost("call WipeFile @" + dir_ + "/missing-argument-file", &out), 2);
  EXPECT_EQ(Veilpost("call", &out), 2);
}

TEST_F(HostCall, HelpListsEveryExportAndArgumentsCanStartWithAnAt) {
  std::string help, same;
  ASSERT_EQ(Veilpost("call --help", &help), 0);
  for (const char* name : kExports) {
    size_t at = help.find("\n  " + std::string(name));
    ASSERT_NE(at, std::string::npos) << name << "\n" << help;
    EXPECT_NE(help.find("\n      -> ", at), std::string::npos) << name;
  }
  EXPECT_NE(help.find("DoEncrypt SERVER SENDER RECIPIENTS BODY ATTACHMENTS\n"), std::string::npos);
  EXPECT_EQ(Veilpost("help call", &same), 0);
  EXPECT_EQ(same, help);
  EXPECT_EQ(Veilpost("help", &help), 0);
  EXPECT_NE(help.find("demo"), std::string::npos) << help;

  // "@@" hands over a text that starts with "@"; a folder is no argument file.
  std::string out;
  ASSERT_EQ(Veilpost("call DoQuoteBody @@home", &out), 0) << out;
  EXPECT_EQ(vptest::ReadFile(vptest::PrivateDir() + "/mailbody.pgp"), "@home");
  EXPECT_EQ(Veilpost("call DoQuoteBody @" + dir_, &out), 2);
  EXPECT_NE(out.find(dir_ + " is a folder"), std::string::npos) << out;
}

// The design services through the library as the client loads it: the template tools, the
// template built, and a mail database given its design through libnnotes.so found by name.
TEST_F(HostCall, TheMailTemplateIsBuiltAndADatabaseTakesItsDesign) {
  const std::string env = "VEILPOST_NOTES_DATA=" + dir_ + " ";
  std::string out;
  for (const char* step : {"notes new-mail-template mail9.ntf", "notes new-subform-db plugin.nsf",
                           "notes new-directory mail.nsf"}) {
    ASSERT_EQ(Veilpost(step, &out, env), 0) << step << ": " << out;
  }
  ASSERT_EQ(Veilpost("call CreateVeilpostTemplate plugin.nsf mail9.ntf pgpmail.ntf", &out, env), 0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(Veilpost("call ReplaceDatabaseDesign pgpmail.ntf mail.nsf", &out, env), 0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(Veilpost("notes show mail.nsf", &out, env), 0);
  EXPECT_NE(out.find("inherits from: \"PGPR9Mail\""), std::string::npos) << out;
  EXPECT_NE(out.find("FFAD hotspot, 28 bytes: AD FF 1C 00 0E 00 09 00 01 30 10 00 56"),
            std::string::npos)
      << out;
}

// As the package lays them out: the program in bin, the hook library and the Notes API stand-in
// in the private folder lib/veilpost, where the program and the library find them by name.
TEST_F(HostCall, ThePackagesLayoutFindsThePlugInsInTheirPrivateFolder) {
  const std::string env = "VEILPOST_NOTES_DATA=" + dir_ + " ";
  const std::string root = dir_ + "/root", lib = root + "/lib/veilpost";
  std::string out;
  ASSERT_EQ(
      vptest::RunCommand("mkdir -p '" + root + "/bin' '" + lib + "' && cp '" +
                         vptest::VeilpostBinary() + "' '" + root + "/bin/' && cp '" + VP_LIB_DIR +
                         "/liborlavex.so' '" + VP_LIB_DIR + "/libnnotes.so' '" + lib + "/'"),
      0);
  for (const char* step : {"notes new-mail-template mail9.ntf", "notes new-subform-db plugin.nsf",
                           "notes new-directory mail.nsf"}) {
    ASSERT_EQ(Veilpost(step, &out, env), 0) << step << ": " << out;
  }
  const std::string program = env + "'" + root + "/bin/veilpost' call ";
  ASSERT_EQ(vptest::RunCommand(
                program + "CreateVeilpostTemplate plugin.nsf mail9.ntf pgpmail.ntf 2>&1", &out),
            0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(vptest::RunCommand(program + "ReplaceDatabaseDesign pgpmail.ntf mail.nsf 2>&1", &out),
            0);
  EXPECT_EQ(out, "0\n");
  ASSERT_EQ(Veilpost("notes show mail.nsf", &out, env), 0);
  EXPECT_NE(out.find("inherits from: \"PGPR9Mail\""), std::string::npos) << out;
}

TEST_F(HostCall, StatusShowsSettingsAndTheGnuPGInUse) {
  vptest::WriteConfigKey(
      {vptest::Str("GpgProgramPath", "/usr/bin/gpg1"), vptest::Num("CacheInterval", 7)});
  std::string out;
  ASSERT_EQ(Veilpost("status", &out), 0) << out;
  EXPECT_NE(out.find(vptest::RegistryPath()), std::string::npos);
  EXPECT_NE(out.find("szGpgApp             /usr/bin/gpg1"), std::string::npos);
  EXPECT_NE(out.find("cacheInterval        7 minute(s)"), std::string::npos);
  EXPECT_NE(out.find("GnuPG: /usr/bin/gpg1: gpg (GnuPG) 1.4"), std::string::npos);
}

TEST_F(HostCall, StatusWarnsAboutSettingsLinesItCannotRead) {
  std::string out;
  vptest::WriteConfigKey({vptest::Num("CacheInterval", 7)});
  ASSERT_EQ(Veilpost("status", &out), 0) << out;
  EXPECT_EQ(out.find("Warning"), std::string::npos) << out;

  vptest::WriteFile(vptest::RegistryPath(),
                    "REGEDIT4\r\nstray words\r\n; a comment\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
                    "; another comment\r\nUseAgent=1\r\n\"ShowMailSignDlg\"=dword:xyz\r\n"
                    "\"CacheInterval\"=\"5\"\r\n\"GpgProgramPath\"=dword:00000001\r\n");
  ASSERT_EQ(Veilpost("status", &out), 0) << out;
  EXPECT_NE(out.find("Warning: 3 line(s) of the settings file could not be read; they are "
                     "ignored and kept as written:\n  stray words\n  UseAgent=1\n"
                     "  \"ShowMailSignDlg\"=dword:xyz\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Warning: \"CacheInterval\"=\"5\" is not a number (dword:...)"),
            std::string::npos);
  EXPECT_NE(out.find("Warning: \"GpgProgramPath\"=dword:00000001 is not a string"),
            std::string::npos);
  EXPECT_EQ(out.find("comment"), std::string::npos);
}

TEST(HostExports, OnlyTheExportedSurfaceLeavesTheLibrary) {
  std::string out;
  ASSERT_EQ(vptest::RunCommand("nm -D --defined-only " + std::string(VP_LIB_DIR) +
                                   "/liborlavex.so | awk '{print $3}'",
                               &out),
            0);
  std::set<std::string> allowed(std::begin(kExports), std::end(kExports));
  allowed.insert("VeilpostSharedSettings");
  std::set<std::string> seen;
  std::istringstream lines(out);
  std::string name;
  while (lines >> name) {
    EXPECT_TRUE(allowed.count(name)) << "unexpected export " << name;
    seen.insert(name);
  }
  for (const char* required :
       {"InitOrlavex", "PgpInit", "PgpExit", "GetLaunchConfig", "GetAutoOpenPgpMail", "GetTempDir",
        "WipeFile", "PgpCheckKey", "VeilpostSharedSettings"}) {
    EXPECT_TRUE(seen.count(required)) << "missing export " << required;
  }
}

}  // namespace
