// The user interface without a window system: what every front end shares (windows, clipboard,
// the dialog run, the transcript) and the two questions each front end answers its own way.
#pragma once
#include <string>
#include <vector>

#include "platform/headless/virtual_dialog.h"
#include "platform/script_answers.h"
#include "platform/ui.h"
#include "platform/ui_events.h"

namespace vp::headless {

// Texts from outside (user ids, GnuPG's words) must not steer a terminal: control characters
// other than line breaks and tabs are shown in caret notation.
std::string PrintableText(const std::string& text);

// The clipboard of this copy of the code (empty until something is put on it).
std::string ClipboardText();

class HeadlessUi : public UserInterface {
 public:
  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style) final;
  intptr_t DialogBox(const DialogTemplate& tpl, WindowHandle owner, DialogProc proc,
                     void* param) final;

  WindowHandle FindWindowByClass(const char* className) final;
  void EnableWindow(WindowHandle window, bool enable) final;
  bool IsWindowEnabled(WindowHandle window) final;
  bool GetWindowRect(WindowHandle window, Rect* rect) final;
  void MoveWindow(WindowHandle window, int x, int y, int w, int h, bool repaint) final;
  void ScreenSize(int* width, int* height) final;
  void BringToFront(WindowHandle window, int controlId) final;
  bool SetClipboardText(WindowHandle owner, const std::string& text) final;
  // Records a "save-as" event with the request and the answer. A chosen name without an
  // extension gets the default one; a relative one is taken in the start folder.
  bool ChooseSaveAsPath(WindowHandle owner, const SaveAsRequest& request, std::string* path) final;
  // Records a "shell" event with the path and the result.
  int ShellOpen(const std::string& path) final;
  void ShowWaitCursor(bool wait) final {
    log_.Record(Event("cursor").Text("shape", wait ? "wait" : "arrow"));
  }

  bool ChooseOpenFile(const std::string& filter, std::string* path) final;
  void BroadcastSettingsChange() final { log_.Record(Event("settings-change")); }
  void RunMainWindow(const DialogTemplate& tpl, MainWindowProc& proc, int tickMs) final;
  void QuitMainWindow() final { quit_ = true; }
  void ShowMainWindow(WindowShow how) final;
  bool SetTrayIcon(bool add, int iconId, const std::string& tip) final;
  int TrackMenu(const std::vector<MenuItem>& items) final;

 protected:
  // Does the next thing the user does to the main window or its tray icon, or, with nothing to
  // do, waits up to `waitMs` (a signal cuts the wait short). Without a user: only the wait.
  virtual void MainWindowStep(VirtualDialog& window, MainWindowProc& proc, int waitMs);
  // The item the user picks from a tracked menu; 0 for none.
  virtual int ChooseMenuItem(const std::vector<MenuItem>& items) {
    (void)items;
    return 0;
  }
  // Sleeps up to `ms`, returning early when an end signal arrives.
  static void WaitMs(int ms);

  struct BoxAnswer {
    int id;
    bool answered;
  };
  // Answers a box with more than one button.
  virtual BoxAnswer AnswerBox(const std::string& text, const std::string& caption,
                              unsigned style) = 0;
  // Shows a box with only an OK button; nothing is asked.
  virtual void ShowBox(const std::string& text, const std::string& caption, unsigned style) = 0;
  // Works an open dialog until it ends or the answers run out; returns false when nobody
  // answered it (the caller then presses its closing button).
  virtual bool RunDialog(VirtualDialog& dialog) = 0;
  // Answers the save-as chooser: the chosen path, or "" for Cancel (unanswered: Cancel).
  virtual BoxAnswer AnswerSaveAs(const SaveAsRequest& request, std::string* path) {
    (void)request, (void)path;
    return {kIdCancel, false};
  }
  // Answers the open-file chooser: the chosen path, or "" for Cancel (unanswered: Cancel).
  virtual BoxAnswer AnswerOpenFile(const std::string& initial, std::string* path) {
    (void)initial, (void)path;
    return {kIdCancel, false};
  }
  // Opens the file (or says what would open it); the shell's result (unanswered: opened).
  virtual BoxAnswer AnswerShell(const std::string& path) {
    (void)path;
    return {kShellOpened, false};
  }
  // Called with the event of every prompt that was not answered, after it is recorded.
  virtual void Unanswered(const Event& event) { (void)event; }

  Transcript& Log() { return log_; }

 private:
  Event WindowEvent(const char* kind, WindowHandle window) const;

  Transcript log_;
  std::vector<VirtualDialog*> open_;
  VirtualDialog* main_ = nullptr;
  bool quit_ = false;
};

}  // namespace vp::headless
