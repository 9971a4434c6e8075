// The control program corvane as a real process: the cache expiring across processes, the
// single-instance lock, the tray menu and main window driven by script lines, the agent forgetting.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "control/configuration_dialog.h"
#include "control/passphrase_expiry.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/startup.h"
#include "hooklib/gnupg/passphrase.h"
#include "platform/autostart.h"
#include "platform/instance_lock.h"
#include "pty_keyboard.h"
#include "support/keyrings.h"
#include "support/registry_file.h"
#include "ui_fixture.h"
#include "veilpost_version.h"

extern char** environ;

namespace vptest {
namespace {

constexpr int64_t kT0 = 1800000000;

class ControlProgram : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    clockFile_ = dir_ + "/clock";
    SetTime(kT0);
    setenv("VEILPOST_CLOCK_FILE", clockFile_.c_str(), 1);
    setenv("VEILPOST_TICK_MS", "20", 1);
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VEILPOST_CLOCK_FILE");
    unsetenv("VEILPOST_TICK_MS");
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("XDG_CONFIG_HOME");
    UiFixture::TearDown();
  }

  // Replaced whole, so a running corvane never reads a half-written (empty) clock file and falls
  // back to the real time.
  void SetTime(int64_t t) {
    WriteFile(clockFile_ + ".new", std::to_string(t));
    ASSERT_EQ(std::rename((clockFile_ + ".new").c_str(), clockFile_.c_str()), 0);
  }

  pid_t Start() {
    std::string program = std::string(VP_BIN_DIR) + "/corvane";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    return pid;
  }
  static int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  int Run() { return Wait(Start()); }
  // Wait for a program that should end by itself: one still running after ten seconds is
  // stopped and -1 returned, so a second instance that stays does not hang the test.
  static int WaitToEnd(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
      int status = 0;
      if (waitpid(pid, &status, WNOHANG) == pid)
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    Wait(pid);
    return -1;
  }
  // Starts corvane with `set` ("NAME=VALUE") added to the environment and `unset` taken out.
  pid_t StartWith(const std::vector<std::string>& set, const std::vector<std::string>& unset) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string entry = *e, name = entry.substr(0, entry.find('='));
      bool replaced = false;
      for (const auto& s : set) replaced = replaced || s.substr(0, s.find('=')) == name;
      for (const auto& u : unset) replaced = replaced || u == name;
      if (!replaced) env.push_back(entry);
    }
    env.insert(env.end(), set.begin(), set.end());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = std::string(VP_BIN_DIR) + "/corvane";
    char* argv[] = {program.data(), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    return pid;
  }

  // Waits until the transcript holds more than `count` events of `kind` (ten seconds at most).
  void WaitForMore(const std::string& kind, size_t count) {
    for (int i = 0; i < 1000 && Events(kind).size() <= count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(Events(kind).size(), count) << RawLog();
  }
  // Two whole ticks after the clock moved, so a check at the new time has surely run.
  void TwoTicks() {
    size_t n = Events("timer").size();
    WaitForMore("timer", n + 1);
  }

  std::string clockFile_;
};

std::vector<std::string> Texts(const std::vector<nlohmann::json>& events) {
  std::vector<std::string> texts;
  for (const auto& e : events) texts.push_back(e["text"]);
  return texts;
}

TEST(PassphraseExpiry, ElapsedAgainstTheIntervalWithoutWrapOrGoingBack) {
  EXPECT_FALSE(vp::control::CacheExpired(kT0 + 119, kT0, 2));
  EXPECT_TRUE(vp::control::CacheExpired(kT0 + 120, kT0, 2));
  EXPECT_TRUE(vp::control::CacheExpired(kT0, kT0, 0));
  EXPECT_EQ(vp::PassphraseSecondsLeft(kT0 + 119, kT0, 2), 1);
  // A clock set back never keeps a passphrase until it passes the old start again.
  EXPECT_TRUE(vp::control::CacheExpired(kT0 - 5, kT0, 0));
  EXPECT_TRUE(vp::control::CacheExpired(kT0 - 1, kT0, 2));
  EXPECT_TRUE(vp::control::CacheExpired(kT0 - 86400, kT0, 60));
  // Minutes times 60 is counted in 64 bits: 71582789 minutes would wrap to 44 seconds.
  EXPECT_FALSE(vp::control::CacheExpired(kT0 + 44, kT0, 71582789));
  EXPECT_FALSE(vp::control::CacheExpired(kT0 + 365 * 86400, kT0, 71582789));
  EXPECT_EQ(vp::PassphraseSecondsLeft(kT0 + 44, kT0, 71582789), int64_t{71582789} * 60 - 44);
  EXPECT_FALSE(vp::control::CacheExpired(kT0 + 86400, kT0, 0xFFFFFFFFu));
  EXPECT_FALSE(vp::control::CacheExpired(kT0 + 60, kT0, 35791395)) << "over 2^31 seconds";
  // The start is kept in 32 bits: the seconds between still count across 2038.
  EXPECT_TRUE(vp::control::CacheExpired(int64_t{0x80000000} + 60, 0x7FFFFFFF - 59, 2));
  EXPECT_FALSE(vp::control::CacheExpired(int64_t{0x80000000} + 60,
                                         static_cast<int32_t>(0x80000000u + 10u), 2));
}

// Numbers past 32 bits are the largest interval, never what is left after a wrap.
TEST(ConfigurationDialog, TypedMinutesPast32BitsAreTheLargestInterval) {
  EXPECT_EQ(vp::control::ParseCacheMinutes("4294967296"), 99999u);
  EXPECT_EQ(vp::control::ParseCacheMinutes("4294967301"), 99999u);
  EXPECT_EQ(vp::control::ParseCacheMinutes("99998"), 99998u);
}

TEST(ConfigurationDialog, AGpg2ProgramIsKnownByItsFileNameWithOrWithoutExe) {
  EXPECT_TRUE(vp::control::IsGpg2Program("/usr/bin/gpg2"));
  EXPECT_TRUE(vp::control::IsGpg2Program("C:\\GnuPG\\GPG2.Exe"));
  EXPECT_FALSE(vp::control::IsGpg2Program("/usr/bin/gpg"));
  EXPECT_FALSE(vp::control::IsGpg2Program("/opt/gpg2/gpg"));
}

TEST_F(ControlProgram, ALibraryPassphraseExpiresAtTheIntervalAndIsAskedAgain) {
  UseKeyring(GnuPG::k1, "alice", dir_);
  WriteConfigKey({Num("CacheInterval", 2), Str("GpgProgramPath", GnuPGProgram(GnuPG::k1)),
                  Num("UseAgent", 0)});
  // Alice signs a memo through the library as her mail client would; the first time she types.
  const std::string signOnly = "dialog 101 uncheck 1011; uncheck 1010; click 1\n";
  const std::string sign =
      VeilpostBinary() + " call DoEncrypt '' 'Alice Example/Acme' Bob " + "'Signed.' '' 2>&1";
  auto askedForPassphrase = [&] {
    size_t n = 0;
    for (const auto& e : Events("dialog-open")) n += e["id"] == 103;
    return n;
  };
  vp::ProcessAttach();  // holds the segment for the test's own look at it
  pid_t corvane = Start();
  WaitForMore("timer", 0);
  UseScript(signOnly + "dialog 103 type 1005 " + Alice().passphrase + "; click 1\n");
  std::string out;
  ASSERT_EQ(RunCommand(sign, &out), 0);
  ASSERT_EQ(out, "0\n") << RawLog();
  EXPECT_STREQ(vp::Settings().passphrase, Alice().passphrase);
  EXPECT_EQ(vp::Settings().time_start, kT0);
  RunCommand(VeilpostBinary() + " status", &out);
  EXPECT_NE(out.find("expires at corvane's first minute tick from 2027-01-15 08:02:00 UTC"),
            std::string::npos)
      << out;
  UseScript(signOnly);
  ASSERT_EQ(RunCommand(sign, &out), 0);
  EXPECT_EQ(out, "0\n") << "signed with the cached passphrase";
  EXPECT_EQ(askedForPassphrase(), 1u);

  SetTime(kT0 + 119);
  TwoTicks();
  EXPECT_STREQ(vp::Settings().passphrase, Alice().passphrase);
  SetTime(kT0 + 120);
  TwoTicks();
  EXPECT_STREQ(vp::Settings().passphrase, "");
  EXPECT_EQ(vp::Settings().time_start, kT0 + 120);

  // The library has nothing cached, so it asks again (nobody answers this time).
  ASSERT_EQ(RunCommand(sign, &out), 0);
  EXPECT_EQ(out, "-1\n");
  EXPECT_EQ(askedForPassphrase(), 2u);

  kill(corvane, SIGTERM);
  EXPECT_EQ(Wait(corvane), 0);
  EXPECT_EQ(Events("tray-delete").size(), 1u);
  EXPECT_EQ(Events("timer-stop").size(), 1u);
  EXPECT_FALSE(vp::InstanceLockHeld("CORVANE"));
  vp::ProcessDetach();
}

// corvane's timer with the clock moved under it: a long interval keeps the passphrase, a clock
// set back a day clears it at the next tick, and the status command tells the same.
TEST_F(ControlProgram, AClockSetBackExpiresAndALongIntervalDoesNotWrap) {
  WriteConfigKey({Num("CacheInterval", 71582789)});
  vp::ProcessAttach();
  pid_t corvane = Start();
  WaitForMore("timer", 0);
  vp::CopyText(vp::Settings().passphrase, "cached");
  ASSERT_EQ(vp::Settings().time_start, kT0);
  ASSERT_EQ(vp::Settings().cacheInterval, 71582789u);
  SetTime(kT0 + 44);
  TwoTicks();
  EXPECT_STREQ(vp::Settings().passphrase, "cached");
  SetTime(kT0 + 86400);
  TwoTicks();
  EXPECT_STREQ(vp::Settings().passphrase, "cached");
  std::string out;
  RunCommand(VeilpostBinary() + " status", &out);
  EXPECT_NE(out.find("expires at corvane's first minute tick from 2163-"), std::string::npos)
      << out;

  // Back to a day before it was cached: expired, not kept until the clock catches up.
  SetTime(kT0 - 86400);
  TwoTicks();
  EXPECT_STREQ(vp::Settings().passphrase, "");
  EXPECT_EQ(vp::Settings().time_start, kT0 - 86400);
  kill(corvane, SIGTERM);
  EXPECT_EQ(Wait(corvane), 0);

  // The status command tells it as corvane acts (here with a tick too slow to come first).
  setenv("VEILPOST_TICK_MS", "60000", 1);
  size_t started = Events("timer-start").size();
  corvane = Start();
  WaitForMore("timer-start", started);
  vp::CopyText(vp::Settings().passphrase, "cached");
  vp::Settings().time_start = kT0;
  RunCommand(VeilpostBinary() + " status", &out);
  EXPECT_NE(out.find("the cached passphrase has expired: corvane clears it at its next minute "
                     "tick"),
            std::string::npos)
      << out;
  kill(corvane, SIGTERM);
  EXPECT_EQ(Wait(corvane), 0);
  vp::ProcessDetach();
}

TEST_F(ControlProgram, ASecondInstanceSaysSoAndLeavesTheFirstRunning) {
  pid_t first = Start();
  WaitForMore("timer", 0);
  EXPECT_EQ(Run(), 0);
  auto messages = Events("message");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0]["text"], "Another instance of this application is already running.");
  EXPECT_EQ(messages[0]["caption"], "Error");
  EXPECT_EQ(Events("dialog-open").size(), 1u);
  EXPECT_EQ(kill(first, 0), 0);
  std::string status;
  RunCommand(VeilpostBinary() + " status", &status);
  EXPECT_NE(status.find("Control program: corvane is running"), std::string::npos) << status;
  kill(first, SIGINT);
  EXPECT_EQ(Wait(first), 0);
  RunCommand(VeilpostBinary() + " status", &status);
  EXPECT_NE(status.find("Control program: not running"), std::string::npos) << status;
}

// The lock is the segment's, not the runtime folder's: a corvane started with another
// XDG_RUNTIME_DIR, or none, meets the one running on the same segment, and so does the status.
TEST_F(ControlProgram, OnePerSegmentWhateverTheRuntimeFolderSays) {
  const std::string elsewhere = dir_ + "/elsewhere", third = dir_ + "/third";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_EQ(mkdir(third.c_str(), 0700), 0);
  pid_t first = Start();
  WaitForMore("timer", 0);
  EXPECT_EQ(WaitToEnd(StartWith({"XDG_RUNTIME_DIR=" + elsewhere}, {})), 0);
  EXPECT_EQ(WaitToEnd(StartWith({}, {"XDG_RUNTIME_DIR"})), 0);
  const std::string refused = "Another instance of this application is already running.";
  EXPECT_EQ(Texts(Events("message")), (std::vector<std::string>{refused, refused})) << RawLog();
  EXPECT_EQ(Events("dialog-open").size(), 1u) << "only the first opened its window";
  std::string status;
  RunCommand("XDG_RUNTIME_DIR='" + third + "' " + VeilpostBinary() + " status", &status);
  EXPECT_NE(status.find("Control program: corvane is running"), std::string::npos) << status;
  RunCommand("env -u XDG_RUNTIME_DIR " + VeilpostBinary() + " status", &status);
  EXPECT_NE(status.find("Control program: corvane is running"), std::string::npos) << status;

  // Another segment is another corvane's to run.
  UseScript("menu 1028\n");
  const std::string otherSegment = "VEILPOST_SEGMENT=" + SegmentName() + "-other";
  EXPECT_EQ(WaitToEnd(StartWith({otherSegment}, {})), 0);
  EXPECT_EQ(Events("message").size(), 2u) << RawLog();
  EXPECT_EQ(Events("dialog-open").size(), 2u);

  kill(first, SIGTERM);
  EXPECT_EQ(Wait(first), 0);
  RunCommand("XDG_RUNTIME_DIR='" + third + "' " + VeilpostBinary() + " status", &status);
  EXPECT_NE(status.find("Control program: not running"), std::string::npos) << status;
}

TEST_F(ControlProgram, TrayMenuWindowAndShellRestart) {
  WriteConfigKey({Num("CacheInterval", 0), Num("StartMin", 1), Num("TrayMin", 1)});
  SetTime(kT0 + 7);
  UseScript(
      "menu 1026\n"
      "taskbar-created\n"
      "system-menu minimise\n"
      "window 125 click 1031\n"
      "system-menu minimise\n"
      "tray double-click\n"
      "menu 1028\n");
  vp::ProcessAttach();
  ASSERT_EQ(Run(), 0);
  std::vector<std::string> shown;
  for (const auto& e : Events("window-show")) shown.push_back(e["show"]);
  // Minimised to the tray while that is set, to the taskbar once it is cleared.
  EXPECT_EQ(shown, (std::vector<std::string>{"minimised", "hidden", "minimised", "hidden",
                                             "minimised", "normal", "restored"}));
  auto menus = Events("menu");
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0]["items"], "About Veilpost ...|-|Options ...|Clear cached passphrase|-|Exit");
  auto messages = Events("message");
  ASSERT_EQ(messages.size(), 1u) << RawLog();
  EXPECT_EQ(messages[0]["text"], "Passphrase cleared.");
  EXPECT_EQ(messages[0]["caption"], "Information");
  EXPECT_EQ(vp::Settings().time_start, kT0 + 7) << "cleared with nothing cached still moves it";
  EXPECT_EQ(Events("tray-add").size(), 2u);
  EXPECT_NE(ReadFile(RegistryPath()).find("\"TrayMin\"=dword:00000000"), std::string::npos);
  EXPECT_NE(ReadFile(RegistryPath()).find("\"StartMin\"=dword:00000001"), std::string::npos);
  vp::ProcessDetach();
}

// The About box shows the release the build was made as in its heavy version line, on white
// under its banner and beside its picture; the host program tells the same release.
TEST_F(ControlProgram, AboutBoxAndHostShowTheBuildsReleaseNumber) {
  UseScript("menu 1024\nmenu 1028\n");
  ASSERT_EQ(Run(), 0);
  std::vector<std::string> shown;
  for (const auto& e : Events("set-text"))
    if (e["id"] == 1007) shown.push_back(e["text"]);
  EXPECT_EQ(shown, std::vector<std::string>{"Veilpost Ver " VEILPOST_VERSION " for GnuPG"})
      << RawLog();
  std::vector<nlohmann::json> about;
  bool open = false;
  for (const auto& e : Events()) {
    open = open || (e["event"] == "dialog-open" && e["id"] == 109);
    if (!open || e["event"] == "set-text") continue;
    about.push_back(e);
    if (e["event"] == "dialog-close") break;
  }
  ASSERT_GE(about.size(), 6u) << RawLog();
  auto json = [](const char* text) { return nlohmann::json::parse(text); };
  EXPECT_EQ(std::vector<nlohmann::json>(about.begin() + 1, about.begin() + 5),
            (std::vector<nlohmann::json>{
                json(R"({"event":"picture","dialog":109,"resource":119})"),
                json(R"({"event":"picture","dialog":109,"resource":122})"),
                json(R"({"event":"font","dialog":109,"id":1007,"weight":900})"),
                json(R"({"event":"background","dialog":109,"colour":"white"})")}))
      << RawLog();
  EXPECT_EQ(about[5]["event"], "window-move") << "centred";
  std::string out;
  EXPECT_EQ(RunCommand(VeilpostBinary() + " --version", &out), 0);
  EXPECT_EQ(out, "veilpost " VEILPOST_VERSION "\n");
}

TEST_F(ControlProgram, ClearingMakesGnuPGsAgentForgetToo) {
  std::string home = UseKeyring(GnuPG::k2, "alice", dir_);
  WriteFile(dir_ + "/m.txt", "memo");
  std::string sign = "--batch --yes -o '" + dir_ + "/m.sig' --sign '" + dir_ + "/m.txt'";
  ASSERT_EQ(Gpg(GnuPG::k2, home,
                "--pinentry-mode loopback --passphrase '" + std::string(Alice().passphrase) + "' " +
                    sign),
            0);
  ASSERT_EQ(Gpg(GnuPG::k2, home, "--pinentry-mode error " + sign), 0) << "the agent has it";
  WriteConfigKey({Str("GpgProgramPath", GnuPGProgram(GnuPG::k2)), Num("CacheInterval", 5)});
  UseScript("menu 1026\nmenu 1028\n");
  ASSERT_EQ(Run(), 0);
  EXPECT_NE(Gpg(GnuPG::k2, home, "--pinentry-mode error " + sign), 0) << "the agent forgot";
  StopAgent(home);
}

// GnuPG 2's agent of a fresh copy of Alice's ring, holding her passphrase from a loopback run as
// the library's runs leave it; AgentHasIt tells whether it still signs without asking.
class AgentCache : public ControlProgram {
 protected:
  void SetUp() override {
    ControlProgram::SetUp();
    home_ = UseKeyring(GnuPG::k2, "alice", dir_);
    trace_ = dir_ + "/trace.txt";
    WriteFile(dir_ + "/m.txt", "memo");
    sign_ = "--batch --yes -o '" + dir_ + "/m.sig' --sign '" + dir_ + "/m.txt'";
    EXPECT_EQ(Gpg(GnuPG::k2, home_,
                  "--pinentry-mode loopback --passphrase '" + std::string(Alice().passphrase) +
                      "' " + sign_),
              0);
    EXPECT_TRUE(AgentHasIt());
    vp::ProcessAttach();
  }
  void TearDown() override {
    vp::ProcessDetach();
    StopAgent(home_);
    ControlProgram::TearDown();
  }
  bool AgentHasIt() { return Gpg(GnuPG::k2, home_, "--pinentry-mode error " + sign_) == 0; }
  // How many lines of corvane's trace hold `text`.
  size_t TraceLines(const std::string& text) {
    std::istringstream in(PathExistsForTest(trace_) ? ReadFile(trace_) : "");
    size_t n = 0;
    for (std::string line; std::getline(in, line);) n += line.find(text) != std::string::npos;
    return n;
  }
  // Waits until the timer has run `n` more times.
  void Ticks(size_t n) { WaitForMore("timer", Events("timer").size() + n - 1); }

  std::string home_, sign_, trace_;
};

// Outside agent mode a tick finds nothing cached here and leaves the agent alone; the tick that
// expires a cached passphrase makes the agent forget it too.
TEST_F(AgentCache, OwnCacheModeTheAgentForgetsOnlyWhatATickClears) {
  WriteConfigKey({Str("GpgProgramPath", GnuPGProgram(GnuPG::k2)), Num("CacheInterval", 0),
                  Num("UseAgent", 0), Str("TraceFile", trace_)});
  pid_t corvane = Start();
  Ticks(5);
  EXPECT_TRUE(AgentHasIt()) << "ticks with nothing cached reloaded the agent";
  std::snprintf(vp::Settings().passphrase, sizeof vp::Settings().passphrase, "%s",
                Alice().passphrase);
  for (int i = 0; i < 500 && vp::Settings().passphrase[0]; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_STREQ(vp::Settings().passphrase, "");
  Ticks(2);
  EXPECT_FALSE(AgentHasIt()) << "the expiry left the agent holding the passphrase";
  EXPECT_EQ(TraceLines("gpgconf --reload gpg-agent"), 1u) << ReadFile(trace_);
  kill(corvane, SIGTERM);
  EXPECT_EQ(Wait(corvane), 0);
}

// In agent mode the agent's own settings rule: neither expiry nor Clear touches it, while our
// own cache still expires and clears.
TEST_F(AgentCache, AgentModeLeavesTheAgentAlone) {
  WriteConfigKey({Str("GpgProgramPath", GnuPGProgram(GnuPG::k2)), Num("CacheInterval", 0),
                  Num("UseAgent", 1), Str("TraceFile", trace_)});
  std::snprintf(vp::Settings().passphrase, sizeof vp::Settings().passphrase, "cached");
  SetTime(kT0 + 3);
  UseScript("window 125 click 1026\n");
  pid_t corvane = Start();
  Ticks(5);
  EXPECT_STREQ(vp::Settings().passphrase, "");
  EXPECT_EQ(Texts(Events("message")), std::vector<std::string>{"Passphrase cleared."});
  EXPECT_EQ(vp::Settings().time_start, kT0 + 3);
  EXPECT_TRUE(AgentHasIt()) << "corvane made the agent forget in agent mode";
  EXPECT_EQ(TraceLines("--version") + TraceLines("gpgconf"), 0u) << ReadFile(trace_);
  kill(corvane, SIGTERM);
  EXPECT_EQ(Wait(corvane), 0);
}

TEST_F(ControlProgram, OptionsStoreTheTypedMinutesClampedAndBrowseSetsTheAgentAtOnce) {
  WriteConfigKey({Num("CacheInterval", 3)});
  std::string gpg2 = dir_ + "/GPG2.EXE", text = dir_ + "/notes.txt";
  WriteFile(gpg2, "#!/bin/sh\n");
  chmod(gpg2.c_str(), 0755);
  WriteFile(text, "");
  UseScript(
      "menu 1025\ndialog 110 type 1002 \" +150x\"; click 1\n"
      "menu 1025\ndialog 110 type 1002 4294967295; click 1\n"
      "menu 1025\ndialog 110 type 1002 4294967296; click 1\n"
      "menu 1025\ndialog 110 type 1002 4294967301; click 1\n"
      "menu 1025\ndialog 110 click 1009; click 2\nopen-file " +
      gpg2 +
      "\n"
      "menu 1025\ndialog 110 click 1009; click 2\nopen-file " +
      text +
      "\n"
      "menu 1025\ndialog 110 click 1009; click 2\nopen-file cancel\n"
      "menu 1028\n");
  ASSERT_EQ(Run(), 0);
  auto edits = Events("set-text");
  std::vector<std::string> shown;
  for (const auto& e : edits)
    if (e["id"] == 1002) shown.push_back(e["text"]);
  ASSERT_GE(shown.size(), 3u) << RawLog();
  EXPECT_EQ(shown[0], "3");
  EXPECT_EQ(shown[2], "150");
  EXPECT_EQ(Events("range")[0]["high"], 99);
  std::string reg = ReadFile(RegistryPath());
  EXPECT_NE(reg.find("\"CacheInterval\"=dword:0001869f"), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"UseAgent\"=dword:00000001"), std::string::npos) << reg;
  EXPECT_NE(reg.find("\"GpgProgramPath\"=\"" + gpg2 + "\""), std::string::npos) << reg;
  bool greyed = false;
  for (const auto& e : Events("enable")) greyed = greyed || (e["id"] == 1002 && !e["enabled"]);
  EXPECT_TRUE(greyed);
  auto chooser = Events("open-file");
  ASSERT_EQ(chooser.size(), 3u);
  EXPECT_FALSE(chooser[0]["refused"]);
  EXPECT_TRUE(chooser[1]["refused"]) << "a file that cannot run is no program";
  EXPECT_EQ(chooser[2]["initial"], gpg2);
  EXPECT_EQ(chooser[2]["answer"], "cancel");
  EXPECT_TRUE(chooser[2]["answered"]);
}

// Started minimised without the tray it waits on the taskbar. The arrows of the minutes field stop
// at 0 and 99 and go on from a number typed within that range.
TEST_F(ControlProgram, StartMinimisedAndTheMinutesArrowsKeepToTheirRange) {
  WriteConfigKey({Num("CacheInterval", 98), Num("StartMin", 1)});
  UseScript(
      "menu 1025\ndialog 110 spin 1003 up; spin 1003 up; click 1\n"
      "menu 1025\ndialog 110 type 1002 1; spin 1003 down; spin 1003 down; spin 1003 up; click 1\n"
      "menu 1028\n");
  ASSERT_EQ(Run(), 0);
  std::vector<std::string> minutes;
  for (const auto& e : Events("set-text"))
    if (e["id"] == 1002) minutes.push_back(e["text"]);
  EXPECT_EQ(minutes, (std::vector<std::string>{"98", "99", "99", "99", "1", "0", "0", "1"}));
  ASSERT_EQ(Events("window-show").size(), 1u);
  EXPECT_EQ(Events("window-show")[0]["show"], "minimised");
  EXPECT_NE(ReadFile(RegistryPath()).find("\"CacheInterval\"=dword:00000001"), std::string::npos);
  EXPECT_EQ(Events("script-error").size(), 0u) << RawLog();
}

TEST_F(ControlProgram, EveryFailedRegistryWriteIsToldOnce) {
  setenv("VEILPOST_FAULTS", "registry.open@*", 1);
  UseScript("window 125 click 1030\nmenu 1028\n");
  int rc = Run();
  unsetenv("VEILPOST_FAULTS");
  ASSERT_EQ(rc, 0);
  const std::string values = "Unable to write configuration values to registry!";
  const std::string path = "Unable to write default GPG program path to registry!";
  EXPECT_EQ(Texts(Events("message")),
            (std::vector<std::string>{"Unable to write default cache interval to registry!", path,
                                      "Unable to open registry for reading!", values, values,
                                      values, values, values, path}));
}

TEST_F(ControlProgram, TheAutostartEntryIsMadeAndRemovedByTheCheckBox) {
  std::string entry = dir_ + "/config/autostart/Veilpost Control.desktop";
  UseScript("window 125 click 1029\nwindow 125 click 1029\nmenu 1028\n");
  ASSERT_EQ(Run(), 0);
  std::vector<bool> checks;
  for (const auto& e : Events("check"))
    if (e["id"] == 1029) checks.push_back(e["checked"]);
  EXPECT_EQ(checks, (std::vector<bool>{true, false}));
  EXPECT_FALSE(PathExistsForTest(entry));
  EXPECT_EQ(Events("settings-change").size(), 1u) << "deleting broadcasts, creating does not";

  UseScript("window 125 click 1029\nmenu 1028\n");
  ASSERT_EQ(Run(), 0);
  EXPECT_NE(ReadFile(entry).find("\nExec=\"" + std::string(VP_BIN_DIR) + "/corvane\"\n"),
            std::string::npos)
      << ReadFile(entry);
  EXPECT_EQ(vp::DesktopExecValue("/opt/a b/$x%\\\"c"), "\"/opt/a b/\\\\$x%%\\\\\\\\\\\\\"c\"");

  // A folder planted under the entry's name cannot be deleted as a file, not even by root.
  ASSERT_EQ(unlink(entry.c_str()), 0);
  ASSERT_EQ(mkdir(entry.c_str(), 0700), 0);
  WriteFile(entry + "/x", "");
  UseScript("window 125 click 1029\nmenu 1028\n");
  ASSERT_EQ(Run(), 0);
  EXPECT_EQ(Texts(Events("message")),
            (std::vector<std::string>{"Unable to delete " + entry + "!"}));
  EXPECT_TRUE(PathExistsForTest(entry));
}

// By hand on a terminal: the main window is a numbered menu, the tray menu one key away, and the
// timer ticks while the program waits for a line.
TEST_F(ControlProgram, APersonUsesItOnTheTerminal) {
  vp::ProcessAttach();
  WriteConfigKey({Num("CacheInterval", 0)});
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    unsetenv("VEILPOST_UI");
    std::string program = std::string(VP_BIN_DIR) + "/corvane";
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Keyboard keys(master);
  ASSERT_TRUE(keys.WaitFor("3) Clear cached passphrase"));
  ASSERT_TRUE(keys.WaitFor("(t: tray menu, m: minimise): "));
  // The About box's text form: its version line ends where the line's control ends (column 77
  // of the box's 81), with nothing of its pictures.
  const std::string version = "Veilpost Ver " VEILPOST_VERSION " for GnuPG";
  keys.Type("1\n");
  ASSERT_TRUE(keys.WaitFor("=== About Veilpost ===\r\n" + std::string(77 - version.size(), ' ') +
                           version + "\r\n  1) OK (default)\r\n"))
      << keys.Screen();
  keys.Type("\n");
  ASSERT_TRUE(keys.WaitFor("(t: tray menu, m: minimise): "));
  std::snprintf(vp::Settings().passphrase, sizeof vp::Settings().passphrase, "typed");
  for (int i = 0; i < 500 && vp::Settings().passphrase[0]; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_STREQ(vp::Settings().passphrase, "") << "the timer ran while it waited";
  keys.Type("m\n");
  ASSERT_TRUE(keys.WaitFor("m: minimise): "));
  EXPECT_EQ(Events("window-show").back()["show"], "minimised");
  // Browse asks for the program's path on the terminal and stores it at once. A short path, so
  // the terminal does not break it across lines.
  const std::string program = "/usr/bin/true";
  keys.Type("2\n");
  ASSERT_TRUE(keys.WaitFor("3) Browse"));
  keys.Type("3\n");
  ASSERT_TRUE(keys.WaitFor("[Open]"));
  ASSERT_TRUE(keys.WaitFor(", c: cancel): "));
  keys.Type(program + "\n");
  ASSERT_TRUE(keys.WaitFor("GnuPG executable location: " + program));
  keys.Type("5\n");
  ASSERT_TRUE(keys.WaitFor("m: minimise): "));
  EXPECT_NE(ReadFile(RegistryPath()).find("\"GpgProgramPath\"=\"" + program + "\""),
            std::string::npos);
  keys.Type("t\n");
  ASSERT_TRUE(keys.WaitFor("6. Exit"));
  keys.Type("6\n");
  EXPECT_EQ(Wait(pid), 0) << keys.Screen();
  vp::ProcessDetach();
}

}  // namespace
}  // namespace vptest
