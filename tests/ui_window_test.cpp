// Windows of the virtual window system, the clipboard, and the front end for nobody.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "hooklib/core/messages.h"
#include "hooklib/guarded.h"
#include "hooklib/resources/dialogs.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/window_table.h"
#include "ui_fixture.h"

namespace {

using vp::DialogMessage;

// A window registered for one test, removed again when it ends.
struct ScopedWindow {
  ScopedWindow(const char* cls, vp::Rect rect)
      : handle(vp::headless::RegisterWindow(cls, "Test window", rect)) {}
  ~ScopedWindow() { vp::headless::UnregisterWindow(handle); }
  vp::WindowHandle handle;
};

using UiWindowTest = vptest::UiFixture;

TEST_F(UiWindowTest, RegisteredWindowIsFoundByClassAndEnabledOrDisabled) {
  vp::UserInterface& ui = vp::Ui();
  ASSERT_EQ(ui.FindWindowByClass("NOTESframe"), nullptr);
  ScopedWindow notes("NOTESframe", {0, 0, 800, 600});
  ASSERT_NE(notes.handle, nullptr);
  EXPECT_EQ(ui.FindWindowByClass("NOTESframe"), notes.handle);
  EXPECT_EQ(ui.FindWindowByClass("NOTES"), nullptr);  // the class name must match exactly
  EXPECT_TRUE(ui.IsWindowEnabled(notes.handle));
  ui.EnableWindow(notes.handle, false);
  EXPECT_FALSE(ui.IsWindowEnabled(notes.handle));
  ui.EnableWindow(notes.handle, true);
  EXPECT_TRUE(ui.IsWindowEnabled(notes.handle));

  auto changes = Events("window-enable");
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0]["class"], "NOTESframe");
  EXPECT_FALSE(changes[0]["enabled"]);
  EXPECT_TRUE(changes[1]["enabled"]);

  vp::headless::UnregisterWindow(notes.handle);
  EXPECT_EQ(ui.FindWindowByClass("NOTESframe"), nullptr);
  EXPECT_FALSE(ui.IsWindowEnabled(notes.handle));  // a stale handle is no window
  notes.handle = nullptr;
}

TEST_F(UiWindowTest, MoveWindowAndGetWindowRectAgree) {
  vp::UserInterface& ui = vp::Ui();
  ScopedWindow w("Probe", {10, 20, 30, 40});
  ui.MoveWindow(w.handle, 5, 6, 100, 50, true);
  vp::Rect r;
  ASSERT_TRUE(ui.GetWindowRect(w.handle, &r));
  EXPECT_EQ(r.right - r.left, 100);
  EXPECT_EQ(r.bottom - r.top, 50);
  EXPECT_EQ(r.left, 5);
  EXPECT_EQ(r.top, 6);

  // Centring as the library does it: one pixel more each way, on the default screen.
  int sw = 0, sh = 0;
  ui.ScreenSize(&sw, &sh);
  ASSERT_EQ(sw, 1024);
  ASSERT_EQ(sh, 768);
  int cw = r.right - r.left + 1, ch = r.bottom - r.top + 1;
  ui.MoveWindow(w.handle, (sw - cw) / 2, (sh - ch) / 2, cw, ch, true);
  auto moves = Events("window-move");
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[1]["x"], 461);
  EXPECT_EQ(moves[1]["y"], 358);
  EXPECT_EQ(moves[1]["w"], 101);
  EXPECT_EQ(moves[1]["h"], 51);

  setenv("VEILPOST_SCREEN", "800x600", 1);
  ui.ScreenSize(&sw, &sh);
  EXPECT_EQ(sw * 1000 + sh, 800 * 1000 + 600);
  setenv("VEILPOST_SCREEN", "800x", 1);
  ui.ScreenSize(&sw, &sh);
  EXPECT_EQ(sw * 1000 + sh, 1024 * 1000 + 768);
  EXPECT_FALSE(ui.GetWindowRect(nullptr, &r));
}

struct Seen {
  vp::Rect rect{};
  std::string title;
  bool found = false;
};

intptr_t WindowProbeProc(vp::Dialog& d, DialogMessage m, int, void* param) {
  auto* seen = static_cast<Seen*>(param);
  if (m == DialogMessage::kInit) {
    vp::Ui().GetWindowRect(d.Window(), &seen->rect);
    seen->found = vp::Ui().FindWindowByClass("#32770") == d.Window();
    d.SetTitle("Renamed");
    vp::Ui().BringToFront(d.Window(), 1005);
    vp::Ui().SetClipboardText(d.Window(), "copied \"text\"");
  } else {
    d.End(0);
  }
  return 1;
}

TEST_F(UiWindowTest, DialogIsATopLevelWindowWhileItIsOpen) {
  Seen seen;
  vp::Ui().DialogBox(*vp::FindDialogTemplate(103), nullptr, WindowProbeProc, &seen);
  EXPECT_TRUE(seen.found);
  // 187 by 49 dialog units in MS Sans Serif 8.
  EXPECT_EQ(seen.rect.right - seen.rect.left, 280);
  EXPECT_EQ(seen.rect.bottom - seen.rect.top, 79);
  EXPECT_EQ(vp::Ui().FindWindowByClass("#32770"), nullptr);
  EXPECT_EQ(vp::headless::ClipboardText(), "copied \"text\"");

  auto front = Events("bring-to-front");
  ASSERT_EQ(front.size(), 1u);
  EXPECT_EQ(front[0]["control"], 1005);
  EXPECT_EQ(front[0]["title"], "Renamed");
  EXPECT_EQ(Events("clipboard").at(0)["text"], "copied \"text\"");
  EXPECT_EQ(Events("dialog-close").at(0)["title"], "Renamed");
}

intptr_t CancelOnlyProc(vp::Dialog& d, DialogMessage m, int id, void*) {
  if (m == DialogMessage::kCommand && id == vp::kIdCancel) d.End(vp::kIdCancel);
  return 1;
}

// The child: prompts with nobody to answer them; exits 0 when each got its Cancel or No.
int NoUserChild(int, char**) {
  vp::UserInterface& ui = vp::Ui();
  bool ok = ui.MessageBox(nullptr, "Proceed?", "Question", vp::kMbYesNo) == vp::kIdNo;
  ok = ui.MessageBox(nullptr, "Sure?", "Question", vp::kMbOkCancel) == vp::kIdCancel && ok;
  ok = ui.MessageBox(nullptr, "Done.\nNothing left.", "Information", vp::kMbOk) == vp::kIdOk && ok;
  ok = ui.DialogBox(*vp::FindDialogTemplate(104), nullptr, CancelOnlyProc, nullptr) ==
           vp::kIdCancel &&
       ok;
  return ok ? 0 : 1;
}
const bool kRegistered = vptest::RegisterChild("ui-no-user", NoUserChild);

TEST_F(UiWindowTest, NobodyToAnswerGetsCancelWithoutWaitingForInput) {
  ASSERT_TRUE(kRegistered);
  // No VEILPOST_UI and no terminal: the choice falls to the front end for nobody.
  unsetenv("VEILPOST_UI");
  std::string errPath = dir_ + "/stderr.txt";
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  pid_t pid = fork();
  if (pid == 0) {
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int out = open("/dev/null", O_WRONLY);
    dup2(input[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    execl(vptest::TestBinary().c_str(), vptest::TestBinary().c_str(), "--child", "ui-no-user",
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  // The input stays open and silent: a child that read it would never finish.
  int status = 0;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(input[1]);
  ASSERT_NE(done, 0) << "the child waited for an answer";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // Told as text a person reads: caption, text, buttons and the answer taken; no JSON.
  std::string err = vptest::ReadFile(errPath);
  EXPECT_EQ(err,
            "veilpost: Question: Proceed?\n"
            "          Buttons: Yes, No. Answer taken: No (no one to answer).\n"
            "veilpost: Question: Sure?\n"
            "          Buttons: OK, Cancel. Answer taken: Cancel (no one to answer).\n"
            "veilpost: Information: Done.\n"
            "          Nothing left.\n"
            "          Buttons: OK. Answer taken: OK.\n"
            "veilpost: dialog \"Enter PGP Decryption Passphrase\" closed: no one to answer.\n");
  // The transcript keeps the full record as well.
  EXPECT_EQ(Events("message").size(), 3u);
  EXPECT_EQ(Events("dialog-close").size(), 1u);
}

// What an export does when the code below it throws: the window comes back, the user hears why,
// and the script gets the failure result instead of an exception.
TEST_F(UiWindowTest, AnExceptionBelowAnExportIsAFailureTheUserHearsOf) {
  ScopedWindow notes("NOTESframe", {0, 0, 800, 600});
  int result = vp::Guarded(-1, [&]() -> int {
    vp::NotesWindowDisabled disabled;
    EXPECT_FALSE(vp::Ui().IsWindowEnabled(notes.handle));
    throw std::bad_alloc();
  });
  EXPECT_EQ(result, -1);
  EXPECT_TRUE(vp::Ui().IsWindowEnabled(notes.handle));
  EXPECT_EQ(vp::Guarded<const char*>("", []() -> const char* { throw 1; }), std::string(""));
  auto boxes = Events("message");
  ASSERT_EQ(boxes.size(), 2u) << RawLog();
  EXPECT_EQ(boxes[0]["text"], "Insufficient memory to complete the operation.");
  EXPECT_EQ(boxes[1]["text"], "The operation stopped on an internal error.");
  EXPECT_EQ(vp::Guarded(-1, [] { return 7; }), 7);
  EXPECT_EQ(Events("message").size(), 2u);
}

}  // namespace
