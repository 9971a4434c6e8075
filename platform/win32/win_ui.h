// The user interface on the Win32 API: real message boxes, dialogs, choosers, the shell, the
// clipboard, and the main window with its tray icon, timer and menu.
//
// With an answer script (VEILPOST_UI=script:FILE) the same lines as on POSIX answer it: real
// dialogs are opened and their script line is carried out on their controls by id; message
// boxes, choosers, the shell and the tray menu are answered without being shown. Every event goes
// to the transcript (VEILPOST_UI_LOG) as the headless front ends write it.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/script_answers.h"
#include "platform/ui.h"
#include "platform/ui_events.h"
#include "platform/win32/win_api.h"

namespace vp::win32 {

class WinDialog;

class Win32Ui final : public UserInterface {
 public:
  // `scriptPath` empty: the user answers on screen.
  explicit Win32Ui(const std::string& scriptPath);

  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned style) override;
  intptr_t DialogBox(const DialogTemplate& tpl, WindowHandle owner, DialogProc proc,
                     void* param) override;

  WindowHandle FindWindowByClass(const char* className) override;
  void EnableWindow(WindowHandle window, bool enable) override;
  bool IsWindowEnabled(WindowHandle window) override;
  bool GetWindowRect(WindowHandle window, Rect* rect) override;
  void MoveWindow(WindowHandle window, int x, int y, int w, int h, bool repaint) override;
  void ScreenSize(int* width, int* height) override;
  void BringToFront(WindowHandle window, int controlId) override;
  bool SetClipboardText(WindowHandle owner, const std::string& text) override;
  bool ChooseOpenFile(const std::string& filter, std::string* path) override;
  void BroadcastSettingsChange() override;
  bool ChooseSaveAsPath(WindowHandle owner, const SaveAsRequest& request,
                        std::string* path) override;
  int ShellOpen(const std::string& path) override;
  void ShowWaitCursor(bool wait) override;

  void RunMainWindow(const DialogTemplate& tpl, MainWindowProc& proc, int tickMs) override;
  void QuitMainWindow() override;
  void ShowMainWindow(WindowShow how) override;
  bool SetTrayIcon(bool add, int iconId, const std::string& tip) override;
  int TrackMenu(const std::vector<MenuItem>& items) override;

  // What the window procedures reach.
  struct MainWindow;
  struct DialogRun;
  static INT_PTR CALLBACK DialogRunProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp);

 private:
  bool Scripted() const { return script_ != nullptr; }
  // Waits the script pause, then takes the next step on `window` (a timer, so it is painted).
  void ScheduleScriptStep(HWND window);
  // Carries out the script line of an open dialog, or closes it as nobody answered it.
  void ScriptDialogStep(DialogRun& run);
  // Carries out the next main-window line: its actions, a tray menu choice, a double-click on
  // the icon, or the shell's restart. False when no line is left.
  bool ScriptMainStep(MainWindow& main);
  void ScriptError(const uiscript::ScriptLine& line, const std::string& text);
  uiscript::Event WindowEvent(const char* kind, HWND window) const;

  uiscript::Transcript log_;
  std::unique_ptr<uiscript::ScriptAnswers> script_;
  unsigned pauseMs_ = 0;
  MainWindow* main_ = nullptr;
  HWND trayWindow_ = nullptr;  // the last main window, which the icon still names
  int menuChoice_ = 0;
};

}  // namespace vp::win32
