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
  VP_SKIP_UNLESS_PRESENT(GetParam());
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
       {"GnuPG is making the key of Alice Example", "[dialog] Encryption options",
        "[dialog] Enter PGP Signing Passphrase",
        "DoEncrypt returned 16 (own public key not attached, attachments encrypted)",
        "-----BEGIN PGP MESSAGE-----", "plan.txt was wiped",
        "[dialog] Enter PGP Decryption Passphrase", "signed by Alice Example",
        "DoDecryptBody returned 0", "| the project plan is attached.", "[Attachment: plan.txt]",
        "[dialog] Decrypt attachments", "| 2. Test it for real.",
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
      {"(Enter: OK, q: close): ", "3\n"},  // attach the own public key as a file
      {"3) (*) Attach own public key as attachment", ""},
      {"(Enter: OK, q: close): ", "\n"},
      {"=== Enter PGP Signing Passphrase ===", ""},
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", "alice-demo\n"},
      {"(hidden, 10 characters)", ""},
      {"(Enter: OK, q: close): ", "\n"},
      {"DoEncrypt returned 18 (own public key attached as pubkey.asc, attachments encrypted)", ""},
      {"pubkey.asc, Alice's public key attached to the memo:", ""},
      {"| -----BEGIN PGP PUBLIC KEY BLOCK-----", ""},
      {"=== Enter PGP Decryption Passphrase ===", ""},
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", "bob-demo\n"},
      {"(Enter: OK, q: close): ", "\n"},
      {"This email is signed by Alice Example", ""},
      {"Press Enter to continue: ", "\n"},
      {"=== Decrypt attachments ===", ""},
      {"(Enter: Detach, q: close): ", "\n"},
      {"Path (Enter: proposed name, c: cancel): ", "\n"},
      {"(Enter: OK, q: close): ", "1\n"},
      {"(hidden): ", "bob-demo\n"},
      {"(Enter: OK, q: close): ", "\n"},
      {"The file \"plan.txt.pgp\" is signed by Alice Example", ""},
      {"Press Enter to continue: ", "\n"},
      {"Answer [y/n]: ", "n\n"},
      {"(Enter: Detach, q: close): ", "q\n"},
      {"The same bytes Alice attached, with a good signature by Alice.", ""},
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

// What is not GnuPG is refused before anything is made, and the reason ends the run.
TEST(DemoRefusals, AProgramThatIsNotGnuPGIsRefusedUpFront) {
  std::string dir = ShortPrivateDir("vpr");
  std::string out;
  int rc =
      RunCommand("TMPDIR=" + dir + " " + VeilpostBinary() + " demo --gpg /bin/true 2>&1", &out);
  EXPECT_EQ(rc, 1) << out;
  EXPECT_NE(out.find("Result: the demo FAILED: /bin/true is not GnuPG"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir));
  fs::remove_all(dir);
}

// Ctrl-C while GnuPG makes Bob's key (Alice's agent runs): the folder with the private keys
// goes, and the agents with it.
TEST(DemoInterrupted, CtrlCRemovesTheFolderAndStopsTheAgents) {
  std::string dir = ShortPrivateDir("vpc");
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(out[0]);
    close(out[1]);
    setenv("TMPDIR", dir.c_str(), 1);
    unsetenv("VEILPOST_UI");
    std::string bin = VeilpostBinary();
    execl(bin.c_str(), bin.c_str(), "demo", "--gpg", "/usr/bin/gpg", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string shown;
  char buf[4096];
  ssize_t n;
  while (shown.find("making the key of Bob") == std::string::npos &&
         (n = read(out[0], buf, sizeof buf)) > 0)
    shown.append(buf, static_cast<size_t>(n));
  kill(pid, SIGINT);
  while ((n = read(out[0], buf, sizeof buf)) > 0) shown.append(buf, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << shown;
  EXPECT_NE(shown.find("the demo folder and its GnuPG agents are gone"), std::string::npos)
      << shown;
  EXPECT_TRUE(fs::is_empty(dir)) << shown;
  std::string agents;
  RunCommand("pgrep -af '[g]pg-agent.*" + dir + "'", &agents);
  EXPECT_EQ(agents, "");
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, DemoCommand, testing::ValuesIn(kEveryGnuPG),
                         [](const auto& info) { return GnuPGName(info.param); });

}  // namespace
}  // namespace vptest
