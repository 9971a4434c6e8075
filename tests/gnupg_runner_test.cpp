// The GnuPG runner against real GnuPG 1.4, 2.2 and 2.4, plus small programs for what GnuPG cannot
// be made to do on demand (echo its input, stay silent, write to standard error).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/runner.h"
#include "platform/faults.h"
#include "support/keyrings.h"
#include "support/registry_file.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace {

const char* kFrame = " --gnupg --yes --passphrase-fd 0 --command-fd 0 --status-fd 1 --logger-fd 1";

class GnuPGRunner : public testing::TestWithParam<vptest::GnuPG> {
 protected:
  void SetUp() override {
    VP_SKIP_UNLESS_PRESENT(GetParam());
    dir_ = vptest::FreshDir("runner");
    home_ = vptest::FreshHome("runner");
    setenv("GNUPGHOME", home_.c_str(), 1);
    vp::InitialSharedSettings(&vp::Settings());
    vp::CopyText(vp::Settings().szGpgApp, Program());
    vp::GnuPGSwitches() = vp::RunnerSwitches{};
  }
  void TearDown() override {
    vp::GnuPGTimeoutSeconds() = 0;
    vptest::RemoveRegistry();
    vp::SetFaults("");
    vp::GnuPGSwitches() = vp::RunnerSwitches{};
    if (!home_.empty()) vptest::StopAgent(home_);
    unsetenv("GNUPGHOME");
  }
  const char* Program() const { return vptest::GnuPGProgram(GetParam()); }
  bool IsGnuPG2() const { return vptest::HasAgent(GetParam()); }
  // A program that stands in for GnuPG where GnuPG cannot be made to behave on demand.
  std::string Script(const std::string& name, const std::string& body) {
    std::string path = dir_ + "/" + name;
    vptest::WriteFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0700);
    vp::CopyText(vp::Settings().szGpgApp, path.c_str());
    return path;
  }
  std::string dir_, home_;
};

TEST_P(GnuPGRunner, CommandLineFollowsTheFrameAndOrder) {
  vp::RunGnuPG("--list-public-keys --with-colons --fixed-list-mode ", "Name", "out.txt", "");
  std::string loopback = IsGnuPG2() ? " --pinentry-mode loopback" : "";
  EXPECT_EQ(vp::LastCommandLine(), std::string(Program()) + kFrame + loopback +
                                       " --list-public-keys --with-colons --fixed-list-mode  -o "
                                       "\"out.txt\" -- \"Name\"");
  // In agent mode the agent asks for the passphrase: no loopback.
  vp::Settings().bUseAgent = 1;
  vp::RunGnuPG("--list-secret-keys ", nullptr, nullptr, "");
  EXPECT_EQ(vp::LastCommandLine(), std::string(Program()) + kFrame + " --list-secret-keys ");
}

TEST_P(GnuPGRunner, LargeOutputArrivesWholeInTheSameBuffer) {
  std::string direct;
  ASSERT_EQ(vptest::RunCommand(std::string(Program()) + " --dump-options", &direct), 0);
  ASSERT_GT(direct.size(), 4096u);
  char* first = vp::RunGnuPG("--dump-options ", nullptr, nullptr, "");
  EXPECT_EQ(std::string(first), direct);
  EXPECT_EQ(vp::RunResultCapacity() % 4096, 0u);
  EXPECT_GT(vp::RunResultCapacity(), direct.size());
  EXPECT_LE(vp::RunResultCapacity(), direct.size() + 4096);

  char* second = vp::RunGnuPG("--version ", nullptr, nullptr, "");
  EXPECT_EQ(second, first);
  EXPECT_EQ(std::string(second).rfind("gpg (GnuPG) ", 0), 0u);
  EXPECT_EQ(std::string(second).find("--dump-options"), std::string::npos);
}

TEST_P(GnuPGRunner, PassphraseOnStandardInputReachesGnuPG) {
  std::string plain = dir_ + "/plain.txt";
  std::string sealed = dir_ + "/sealed.gpg";
  std::string opened = dir_ + "/opened.txt";
  vptest::WriteFile(plain, "attack at dawn\n");
  char* r = vp::RunGnuPG("--batch --symmetric ", plain.c_str(), sealed.c_str(), "correct horse");
  ASSERT_TRUE(fs::exists(sealed)) << r;
  r = vp::RunGnuPG("--batch --decrypt ", sealed.c_str(), opened.c_str(), "correct horse");
  EXPECT_NE(std::string(r).find("[GNUPG:] DECRYPTION_OKAY"), std::string::npos) << r;
  EXPECT_EQ(vptest::ReadFile(opened), "attack at dawn\n");
}

TEST_P(GnuPGRunner, UnquotedProgramPathWithBlanksIsResolved) {
  fs::create_directories(dir_ + "/dir with blanks");
  std::string program = dir_ + "/dir with blanks/gnupg program";
  fs::create_symlink(Program(), program);
  vp::CopyText(vp::Settings().szGpgApp, program.c_str());
  std::string r = vp::RunGnuPG("--version ", nullptr, nullptr, "");
  EXPECT_EQ(r.rfind("gpg (GnuPG) ", 0), 0u) << r;
}

// The version decides the loopback option, so branded banners must be read too.
TEST(GnuPGVersionBanner, PlainAndBrandedBannersAreRead) {
  auto v = vp::ParseGnuPGVersion("gpg (GnuPG) 2.2.40\nlibgcrypt 1.10.1\n");
  EXPECT_TRUE(v.known && v.major == 2 && v.minor == 2 && v.patch == 40 && v.NeedsLoopback());
  v = vp::ParseGnuPGVersion("gpg (GnuPG/MacGPG2) 2.1.0\r\n");
  EXPECT_TRUE(v.known && v.major == 2 && v.minor == 1 && v.NeedsLoopback());
  v = vp::ParseGnuPGVersion("gpg (GnuPG) 1.4.23\n");
  EXPECT_TRUE(v.known && v.major == 1 && !v.NeedsLoopback());
  EXPECT_FALSE(vp::ParseGnuPGVersion("usage: gpg [options]\n(GnuPG) 2.2.40").known);
  EXPECT_FALSE(vp::ParseGnuPGVersion("gpg (GnuPG) beta\n").known);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, GnuPGRunner, testing::ValuesIn(vptest::kEveryGnuPG),
                         [](const auto& info) { return vptest::GnuPGName(info.param); });

using GnuPGRunnerChild = GnuPGRunner;

TEST_P(GnuPGRunnerChild, StandardInputCarriesThePassphraseLineAndTheAnswer) {
  Script("echo-stdin", "cat");
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, ""), "\n");
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, "secret"), "secret\n");
  vp::GnuPGSwitches().answerYes = true;
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, "secret"), "secret\nY\n");
}

TEST_P(GnuPGRunnerChild, SilentChildAndStandardErrorCapture) {
  Script("silent", "exit 3");
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, "unread passphrase"), "");
  Script("both", "echo out; echo err >&2; echo out2");
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, ""), "out\nout2\nerr\n");
  vp::GnuPGSwitches().captureStdout = false;
  EXPECT_STREQ(vp::RunGnuPG("--x ", nullptr, nullptr, ""), "err\n");
}

TEST_P(GnuPGRunnerChild, FailuresReadAsTheirTexts) {
  vp::CopyText(vp::Settings().szGpgApp, (dir_ + "/no/such/gpg.exe").c_str());
  EXPECT_STREQ(vp::RunGnuPG("--version ", nullptr, nullptr, ""),
               "GPGERR: Unable to launch gpg.exe. Please check the program path.");
  vp::CopyText(vp::Settings().szGpgApp, Program());
  vp::RunGnuPG("--version ", nullptr, nullptr, "");  // the program's version is learnt first
  const struct {
    const char* fault;
    const char* text;
  } cases[] = {
      {"process.stdout_pipe@1", "GPGERR: STDOUT pipe creation failed\n"},
      {"process.stderr_pipe@1", "GPGERR: STDERR pipe creation failed\n"},
      {"process.stdin_pipe@1", "GPGERR: STDIN pipe creation failed\n"},
      {"process.dup@1", "GPGERR: DuplicateHandle failed"},
  };
  for (const auto& c : cases) {
    vp::SetFaults(c.fault);
    EXPECT_STREQ(vp::RunGnuPG("--version ", nullptr, nullptr, ""), c.text) << c.fault;
  }
  vp::SetFaults("");
  // A command line that would have to be cut is refused instead of run cut.
  std::string many(33000, 'x');
  std::string r = vp::RunGnuPG("--version ", many.c_str(), nullptr, "");
  EXPECT_EQ(r.rfind("GPGERR: The GnuPG command line is too long", 0), 0u) << r;
}

// Names and paths reach the program as the arguments they are, whatever quotes they hold; up to
// the Windows limit of 32767 characters; a line break (which GnuPG would echo into its output,
// where the rest could pose as a status line) is refused.
TEST_P(GnuPGRunnerChild, NamesAndPathsArriveAsSingleArguments) {
  Script("args", "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done");
  std::string r = vp::RunGnuPG("--x ", "\"Smith, Bob\" <bob@example.com>", "x\" --armor \"y\\", "");
  EXPECT_EQ(r,
            "[--gnupg]\n[--yes]\n[--passphrase-fd]\n[0]\n[--command-fd]\n[0]\n[--status-fd]\n[1]\n"
            "[--logger-fd]\n[1]\n[--x]\n[-o]\n[x\" --armor \"y\\]\n[--]\n"
            "[\"Smith, Bob\" <bob@example.com>]\n");

  std::string big(32000, 'n');
  r = vp::RunGnuPG("--x ", big.c_str(), nullptr, "");
  EXPECT_NE(r.find("[" + big + "]\n"), std::string::npos) << r.substr(0, 100);

  for (const char* name : {"a\nb", "a\rb"}) {
    r = vp::RunGnuPG("--x ", name, nullptr, "");
    EXPECT_EQ(r.rfind("GPGERR: GnuPG cannot take the name or file name \"a?b\"", 0), 0u) << r;
    r = vp::RunGnuPG("--x ", "in", name, "");
    EXPECT_EQ(r.rfind("GPGERR: GnuPG cannot take", 0), 0u) << r;
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, GnuPGRunnerChild, testing::Values(vptest::GnuPG::k1));

}  // namespace

namespace {

// A GnuPG that never answers (for 30 s, so that a runner without a limit still ends).
int SilentGnuPG(int, char**) {
  sleep(30);
  return 0;
}
const bool kSilentGnuPG = vptest::RegisterChild("gpg-silent", SilentGnuPG);

TEST_P(GnuPGRunnerChild, GnuPGThatDoesNotAnswerIsStoppedAtGpgTimeout) {
  ASSERT_TRUE(kSilentGnuPG);
  vptest::WriteConfigKey({vptest::Num("GpgTimeout", 1)});
  vp::LoadConfiguration();
  EXPECT_EQ(vp::GnuPGTimeoutSeconds(), 1u);
  vp::CopyText(vp::Settings().szGpgApp, vptest::ChildProgram("gpg-silent", dir_).c_str());
  const char* stopped =
      "GPGERR: GnuPG did not answer within 1 second(s) and was stopped. The operation did not "
      "take place.";
  // Its version is asked first, and not answered within the same limit.
  EXPECT_STREQ(vp::RunGnuPG("--list-keys ", nullptr, nullptr, ""), stopped);
  // In agent mode no version is asked: the run itself is stopped.
  vp::Settings().bUseAgent = 1;
  EXPECT_STREQ(vp::RunGnuPG("--list-keys ", nullptr, nullptr, ""), stopped);
  EXPECT_NE(vp::LastCommandLine().find("--list-keys"), std::string::npos);
}

// Without GpgTimeout the version question still has a short limit of its own: the hand-shake
// and the status command end while GnuPG hangs.
TEST_P(GnuPGRunnerChild, VersionQuestionOfTheHandShakeHasItsOwnLimit) {
  std::string trace = dir_ + "/trace.log";
  vptest::WriteConfigKey({vptest::Str("TraceFile", trace)});
  vp::CopyText(vp::Settings().szGpgApp, vptest::ChildProgram("gpg-silent", dir_).c_str());
  EXPECT_EQ(vp::InitOrlavexImpl("9.0.1", vp::kRequiredSubformVersion), 0);
  EXPECT_NE(vptest::ReadFile(trace).find("GnuPG did not answer --version within 5000 ms"),
            std::string::npos)
      << vptest::ReadFile(trace);
}

TEST_P(GnuPGRunnerChild, StatusCommandStopsAGnuPGThatDoesNotAnswer) {
  vptest::WriteConfigKey({vptest::Str("GpgProgramPath", vptest::ChildProgram("gpg-silent", dir_))});
  std::string printed;
  EXPECT_EQ(vptest::RunCommand(vptest::VeilpostBinary() + " status", &printed), 1);
  EXPECT_NE(printed.find("did not answer --version within 5 seconds and was stopped"),
            std::string::npos)
      << printed;
}

}  // namespace
