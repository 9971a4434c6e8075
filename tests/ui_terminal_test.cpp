// The terminal front end, driven through a pseudo-terminal as a user at the keyboard would.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include "hooklib/resources/dialogs.h"
#include "pty_keyboard.h"
#include "ui_fixture.h"

namespace {

using vp::DialogMessage;

struct Answers {
  std::string passphrase;
  std::string chosen;
  bool encrypt = false;
};

intptr_t PassphraseProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  if (m == DialogMessage::kInit) {
    d.SetText(1005, "");
    return 1;
  }
  if (id == vp::kIdOk) static_cast<Answers*>(param)->passphrase = d.Text(1005);
  if (id == vp::kIdOk || id == vp::kIdCancel) d.End(id);
  return 1;
}

intptr_t ChooseProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  if (m == DialogMessage::kInit) {
    d.SetText(1012, "The recipient name \"Bob\" is ambiguous. Please choose the correct name!");
    for (const char* name : {"Bob B <b@example.com>", "Bob C <c@example.com>", "Bob A"})
      d.ListAdd(1011, name);
    d.ListSelect(1011, 0);
    return 1;
  }
  if (id == vp::kIdOk)
    static_cast<Answers*>(param)->chosen = d.ListText(1011, d.ListSelection(1011));
  if (id == vp::kIdOk || id == vp::kIdCancel) d.End(id);
  return 1;
}

intptr_t OptionsProc(vp::Dialog& d, DialogMessage m, int id, void* param) {
  if (m == DialogMessage::kInit) {
    d.SetCheck(1000, true);
    d.SetCheck(1011, true);
    return 1;
  }
  if (id == vp::kIdOk) static_cast<Answers*>(param)->encrypt = d.IsChecked(1011);
  if (id == vp::kIdOk || id == vp::kIdCancel) d.End(id);
  return 1;
}

// The child on the terminal: one question, the passphrase, a list choice and a check box; the
// answers go to the file named in argv[1], never to the terminal.
int TerminalChild(int argc, char** argv) {
  if (argc < 2) return 2;
  setenv("VEILPOST_UI", "terminal", 1);
  vp::UserInterface& ui = vp::Ui();
  Answers a;
  int box = ui.MessageBox(nullptr, "Import the keys?", "Question", vp::kMbYesNo);
  intptr_t pass = ui.DialogBox(*vp::FindDialogTemplate(103), nullptr, PassphraseProc, &a);
  intptr_t choose = ui.DialogBox(*vp::FindDialogTemplate(107), nullptr, ChooseProc, &a);
  intptr_t options = ui.DialogBox(*vp::FindDialogTemplate(101), nullptr, OptionsProc, &a);
  std::ofstream(argv[1]) << box << "\n"
                         << pass << " " << a.passphrase << "\n"
                         << choose << " " << a.chosen << "\n"
                         << options << " " << a.encrypt << "\n";
  return 0;
}
const bool kRegistered = vptest::RegisterChild("ui-terminal", TerminalChild);

using vptest::Keyboard;

using UiTerminalTest = vptest::UiFixture;

TEST_F(UiTerminalTest, UserAnswersOnTheTerminalAndThePassphraseIsNotEchoed) {
  ASSERT_TRUE(kRegistered);
  std::string resultPath = dir_ + "/answers.out";
  int master = -1;
  winsize narrow{};
  narrow.ws_col = 40;  // texts wrap at word boundaries within it
  pid_t pid = forkpty(&master, nullptr, nullptr, &narrow);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    execl(vptest::TestBinary().c_str(), vptest::TestBinary().c_str(), "--child", "ui-terminal",
          resultPath.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Keyboard keys(master);
  bool ok = keys.WaitFor("Import the keys?") && keys.WaitFor("Answer [y/n]: ");
  if (ok) {
    keys.Type("maybe\n");  // not an answer: asked again
    ok = keys.WaitFor("Answer [y/n]: ");
  }
  if (ok) {
    keys.Type("y\n");
    ok = keys.WaitFor("=== Enter PGP Signing Passphrase ===") &&
         keys.WaitFor("1) Passphrase: (empty)") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("1\n");
    ok = keys.WaitFor("New text for Passphrase (hidden): ");
  }
  if (ok) {
    keys.Type("s3cr3t-Pw\n");
    ok = keys.WaitFor("(hidden, 9 characters)") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("\n");  // Enter presses OK
    ok = keys.WaitFor("=== List of possible names ===") &&
         keys.WaitFor(
             "   The recipient name \"Bob\" is\r\n   ambiguous. Please choose the "
             "correct\r\n   name!\r\n") &&
         keys.WaitFor("3. Bob C <c@example.com>") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("1\n");
    ok = keys.WaitFor("Item number: ");
  }
  if (ok) {
    keys.Type("3\n");
    ok = keys.WaitFor("* 3. Bob C") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("2\n");  // OK, the second choice
    // Numbered in tab order, OK and Cancel last.
    ok = keys.WaitFor("=== Encryption options ===") && keys.WaitFor("5) [x] Encrypt message") &&
         keys.WaitFor("  6) OK (default)  7) Cancel\r\n") && keys.WaitFor("Choose a number");
  }
  if (ok) {
    keys.Type("5\n");
    ok = keys.WaitFor("[ ] Encrypt message") && keys.WaitFor("Choose a number");
  }
  if (ok) keys.Type("6\n");
  int status = 0;
  if (!ok) kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  close(master);
  ASSERT_TRUE(ok) << "terminal showed:\n" << keys.Screen();
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  EXPECT_EQ(vptest::ReadFile(resultPath), "6\n1 s3cr3t-Pw\n1 Bob C <c@example.com>\n1 0\n");
  EXPECT_EQ(keys.Screen().find("s3cr3t"), std::string::npos) << keys.Screen();
  // The terminal front end keeps the same transcript as the others.
  EXPECT_EQ(RawLog().find("s3cr3t"), std::string::npos);
  EXPECT_EQ(Events("dialog-close").size(), 3u);
}

}  // namespace
