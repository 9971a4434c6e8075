// veilpost demo, run as a user runs it: the whole story succeeds, quickly, and leaves nothing.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "pty_keyboard.h"
#include "support/keyrings.h"
#include "support/test_env.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

class DemoCommand : public testing::TestWithParam<GnuPG> {};

TEST_P(DemoCommand, AliceToBobEndToEndLeavingNothingBehind) {
  // A short folder: GnuPG 2 puts its agent's socket inside each key ring.
  std::string dir = ShortPrivateDir("vpd");
  auto start = std::chrono::steady_clock::now();
  std::string out;
  int rc = RunCommand("TMPDIR=" + dir + " VEILPOST_UI= VEILPOST_UI_LOG= " + VeilpostBinary() +
                          " demo --gpg " + GnuPGProgram(GetParam()) + " </dev/null 2>&1",
                      &out);
  auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
          .count();
  EXPECT_EQ(rc, 0) << out;
  EXPECT_LT(seconds, 60);
  // Each step, as printed.
  for (const char* seen :
       {"[dialog] Encryption options", "[dialog] Enter PGP Signing Passphrase",
        "DoEncrypt returned 16", "-----BEGIN PGP MESSAGE-----", "plan.txt was wiped",
        "[dialog] Enter PGP Decryption Passphrase", "signed by Alice Example",
        "DoDecryptBody returned 0", "| the project plan is attached.", "[Attachment: plan.txt]",
        "The same bytes Alice attached, with a good signature by Alice.",
        "Result: Bob read Alice's memo and attachment, signed by Alice."})
    EXPECT_NE(out.find(seen), std::string::npos) << seen << "\n" << out;
  // Nothing left: no folder, no agent, no shared segment of the demo.
  EXPECT_TRUE(fs::is_empty(dir));
  std::string agents;
  RunCommand("pgrep -af '[g]pg-agent.*" + dir + "'", &agents);
  EXPECT_EQ(agents, "");
  size_t at = out.find("Working folder " + dir + "/");
  ASSERT_NE(at, std::string::npos);
  std::string work =
      out.substr(at + 16 + dir.size(), out.find(' ', at + 16) - at - 16 - dir.size());
  ASSERT_FALSE(work.empty());
  for (const auto& entry : fs::directory_iterator("/dev/shm"))
    EXPECT_EQ(entry.path().filename().string().find(work), std::string::npos) << entry.path();
  fs::remove_all(dir);
}

// By hand: every dialog is answered on the terminal, the passphrases typed unseen.
TEST(DemoInteractive, APersonAnswersEveryDialogOnTheTerminal) {
  std::string dir = ShortPrivateDir("vpi");
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("TMPDIR", dir.c_str(), 1);
    unsetenv("VEILPOST_UI");
    unsetenv("VEILPOST_UI_LOG");
    std::string bin = VeilpostBinary();
    execl(bin.c_str(), bin.c_str(), "demo", "--interactive", "--gpg", "/usr/bin/gpg1",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  Keyboard keys(master);
  // Each step: what must be on the screen, then what the person types.
  const std::pair<const char*, const char*> steps[] = {
      {"=== Encryption options ===", ""},
      {"(Enter: OK, q: close): ", "\n"},
      {"=== Enter PGP Signing Passphrase ===", ""},
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", "alice-demo\n"},
      {"(hidden, 10 characters)", ""},
      {"(Enter: OK, q: close): ", "\n"},
      {"DoEncrypt returned 16", ""},
      {"=== Enter PGP Decryption Passphrase ===", ""},
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", "bob-demo\n"},
      {"(Enter: OK, q: close): ", "\n"},
      {"This email is signed by Alice Example", ""},
      {"Press Enter to continue: ", "\n"},
      {"Result: Bob read Alice's memo and attachment, signed by Alice.", ""},
  };
  bool ok = true;
  for (const auto& [shown, typed] : steps) {
    ok = keys.WaitFor(shown);
    if (!ok) break;
    if (*typed) keys.Type(typed);
  }
  int status = 0;
  if (!ok) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  close(master);
  EXPECT_TRUE(ok) << "terminal showed:\n" << keys.Screen();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (const char* secret : {"alice-demo\r", "bob-demo\r"})
    EXPECT_EQ(keys.Screen().find(secret), std::string::npos) << secret;
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(BothVersions, DemoCommand, testing::Values(GnuPG::k1, GnuPG::k2),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
