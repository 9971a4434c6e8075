// Sending a memo by hand: veilpost on a pseudo-terminal, the options dialog and the passphrase
// answered from the keyboard, the passphrase never shown.
#include <gtest/gtest.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "notesemu/directory_tools.h"
#include "pty_keyboard.h"
#include "support/keyrings.h"
#include "support/test_env.h"
#include "ui_fixture.h"

namespace fs = std::filesystem;

namespace vptest {
namespace {

using OutgoingTerminal = UiFixture;

TEST_F(OutgoingTerminal, AliceAnswersTheOptionsAndPassphraseOnHerTerminal) {
  const GnuPG v = GnuPG::k1;
  std::string home = UseKeyring(v, "alice", dir_);
  std::string tmp = dir_ + "/tmp";
  std::string data = dir_ + "/notes";
  fs::create_directories(tmp);
  fs::create_directories(data);
  ASSERT_EQ(notesemu::CreateDirectoryDatabase(data + "/names.nsf"), "");
  std::string registry = dir_ + "/registry.reg";
  WriteFile(registry,
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Brinmoor\\Veilpost Ver 1.0]\r\n"
            "\"GpgProgramPath\"=\"/usr/bin/gpg1\"\r\n\"UseAgent\"=dword:00000000\r\n");
  std::string attachment = tmp + "/report.txt";
  WriteFile(attachment, "report\n");

  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("GNUPGHOME", home.c_str(), 1);
    setenv("VEILPOST_REGISTRY", registry.c_str(), 1);
    setenv("VEILPOST_SEGMENT", (SegmentName() + "-pty").c_str(), 1);
    setenv("VEILPOST_NOTES_DATA", data.c_str(), 1);
    setenv("TMPDIR", tmp.c_str(), 1);
    setenv("TMP", tmp.c_str(), 1);
    setenv("VEILPOST_UI", "terminal", 1);
    std::string bin = VeilpostBinary();
    execl(bin.c_str(), bin.c_str(), "call", "DoEncrypt", "", "Alice Example/Acme", "Bob Example",
          "Typed by hand.\n", attachment.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Keyboard keys(master);
  bool ok = keys.WaitFor("=== Encryption options ===") &&
            keys.WaitFor("1) (*) Do not attach own public key") &&
            keys.WaitFor("4) [x] Encrypt file attachments") &&
            keys.WaitFor("5) [x] Encrypt message") && keys.WaitFor("Choose a number");
  if (ok) {
    keys.Type("2\n");  // attach the key as text
    ok = keys.WaitFor("2) (*) Attach own public key as text") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("4\n");  // no attachment encryption
    ok = keys.WaitFor("4) [ ] Encrypt file attachments") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("\n");  // Enter: OK
    ok = keys.WaitFor("=== Enter PGP Signing Passphrase ===") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("1\n");
    ok = keys.WaitFor("(hidden): ");
  }
  if (ok) {
    keys.Type(std::string(Alice().passphrase) + "\n");
    ok = keys.WaitFor("(hidden, 10 characters)") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("\n");
    ok = keys.WaitFor("\r\n1\r\n");  // DoEncrypt's result: key as text, attachments untouched
  }
  int status = 0;
  if (!ok) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  close(master);
  StopAgent(home);
  ASSERT_TRUE(ok) << "terminal showed:\n" << keys.Screen();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(keys.Screen().find(Alice().passphrase), std::string::npos);

  EXPECT_NE(ReadFile(tmp + "/mailbody.pgp").find("-----BEGIN PGP MESSAGE-----"), std::string::npos);
  EXPECT_NE(ReadFile(tmp + "/pubkey.asc").find("-----BEGIN PGP PUBLIC KEY BLOCK-----"),
            std::string::npos);
  EXPECT_EQ(ReadFile(attachment), "report\n");
  EXPECT_NE(ReadFile(registry).find("\"AttachPubKey\"=dword:00000001"), std::string::npos);
  EXPECT_NE(ReadFile(registry).find("\"EncryptAttachments\"=dword:00000000"), std::string::npos);
  for (const auto& entry : fs::directory_iterator(tmp))
    EXPECT_NE(entry.path().filename().string().rfind("veilpost", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace vptest
