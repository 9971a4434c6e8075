// User-interface port: message boxes, modal dialogs from templates, windows, clipboard.
// The headless implementation answers from a script, the terminal, or with Cancel.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialog_template.h"

namespace vp {

struct WindowObject;
using WindowHandle = WindowObject*;

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

// Message box styles and answers, numbered as the system's message box numbers them.
enum : unsigned {
  kMbOk = 0x0,
  kMbOkCancel = 0x1,
  kMbYesNo = 0x4,
  kMbRetryCancel = 0x5,
  kMbIconError = 0x10,
  kMbIconQuestion = 0x20,
  kMbIconWarning = 0x30,
  kMbIconInformation = 0x40,
  kMbSetForeground = 0x10000,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdRetry = 4, kIdYes = 6, kIdNo = 7 };

// A dialog as its procedure sees it. Control ids are those of the template. Every change is
// visible to the front end (and logged by the script front end).
class Dialog {
 public:
  virtual ~Dialog() = default;
  virtual WindowHandle Window() = 0;
  virtual void SetTitle(const std::string& text) = 0;
  virtual std::string Title() = 0;
  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string Text(int id) = 0;
  virtual void SetCheck(int id, bool checked) = 0;  // radio: also clears the rest of its group
  virtual bool IsChecked(int id) = 0;
  // Adds an item to a list box (sorted lists order their items ignoring case, as the system's
  // sorted list box does); returns its index.
  virtual int ListAdd(int id, const std::string& text) = 0;
  virtual void ListSetData(int id, int index, intptr_t data) = 0;
  virtual intptr_t ListData(int id, int index) = 0;
  virtual int ListCount(int id) = 0;
  virtual std::string ListText(int id, int index) = 0;
  // Single-selection lists: makes `index` the selection (-1 none). Multi-selection lists: adds
  // `index` to the selection.
  virtual void ListSelect(int id, int index) = 0;
  // The selected (single) or first selected (multi) index, -1 when none.
  virtual int ListSelection(int id) = 0;
  // Whether item `index` is selected; what multi-selection lists need to walk their selection.
  virtual bool ListIsSelected(int id, int index) { return ListSelection(id) == index; }
  virtual void Enable(int id, bool enabled) = 0;
  // The range an up-down control's arrows keep its buddy's number in (the edit just before it);
  // typed text is not bound.
  virtual void SetRange(int id, int low, int high) {
    (void)id;
    (void)low;
    (void)high;
  }
  virtual void Focus(int id) = 0;
  virtual void End(intptr_t result) = 0;
  // Gives control `id` a font like its own but of `weight` (400 normal, 700 bold, 900 heaviest);
  // the dialog owns that font and deletes it once it is closed.
  virtual void SetFontWeight(int id, int weight) {
    (void)id;
    (void)weight;
  }
  // Paints the dialog white, its static texts and pictures standing on it without a background
  // of their own.
  virtual void UseWhiteBackground() {}
};

enum class DialogMessage { kInit, kCommand };

// A dialog procedure: kInit when the dialog opens (return nonzero to let the front end place
// the focus itself), kCommand with the control id when a button is pressed (Enter presses the
// default button, Escape id 2). Returns nonzero when it handled the message.
using DialogProc = intptr_t (*)(Dialog& dialog, DialogMessage message, int controlId, void* param);

// How the main window is shown.
enum class WindowShow { kNormal, kMinimised, kHidden, kRestored };

// One item of a pop-up menu; id 0 is a separator.
struct MenuItem {
  int id;
  std::string text;
};

// What a program with a modeless main window handles while its message loop runs.
class MainWindowProc {
 public:
  virtual ~MainWindowProc() = default;
  // The window exists (not yet shown); `window` stays valid until the loop ends.
  virtual void Created(Dialog& window) = 0;
  // A button of the window or a chosen menu item.
  virtual void Command(int id) = 0;
  virtual void Timer() = 0;
  // The tray icon was right-clicked (left: false) or double-clicked (left: true).
  virtual void TrayClicked(bool doubleClick) = 0;
  // The shell's notification area was made anew and holds none of the old icons.
  virtual void TaskbarCreated() = 0;
  // The session asked the program to end (SIGTERM, SIGINT, logoff), or the user closed the
  // window through its system menu.
  virtual void EndRequested() = 0;
  // The user minimised the window (system menu or minimise box); the program decides whether
  // it goes to the taskbar or the tray.
  virtual void MinimiseRequested() = 0;
};

// What the save-as chooser is asked with.
struct SaveAsRequest {
  std::string proposedName;      // the name field's first text
  std::string startFolder;       // "" for the system's choice
  std::string defaultExtension;  // added to a typed name without one; "" for none
  bool overwritePrompt = true;   // confirm before an existing file is chosen
};

// What the system's shell answers to "open": above 32 when a program took the file, else the
// shell's error number.
enum : int { kShellOpened = 42, kShellNoAssociation = 31 };

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows a message box and blocks for the answer (kIdOk, kIdCancel, kIdYes, kIdNo); a box that
  // cannot be shown answers kIdCancel.
  virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                         unsigned style) = 0;
  // Runs a modal dialog; returns the value passed to Dialog::End. A dialog that cannot be shown
  // (no desktop) or that closes without being ended is a Cancel: kIdCancel, and the procedure may
  // not have run at all, so callers take kIdCancel (or any result but the one their OK gives)
  // as the user's Cancel, never as an empty entry.
  virtual intptr_t DialogBox(const DialogTemplate& tpl, WindowHandle owner, DialogProc proc,
                             void* param) = 0;

  // Top-level windows of the process's window system.
  virtual WindowHandle FindWindowByClass(const char* className) = 0;
  virtual void EnableWindow(WindowHandle window, bool enable) = 0;
  virtual bool IsWindowEnabled(WindowHandle window) = 0;
  virtual bool GetWindowRect(WindowHandle window, Rect* rect) = 0;
  virtual void MoveWindow(WindowHandle window, int x, int y, int w, int h, bool repaint) = 0;
  virtual void ScreenSize(int* width, int* height) = 0;
  // Raises `window`, makes it the foreground window and focuses its control `controlId`.
  virtual void BringToFront(WindowHandle window, int controlId) = 0;

  // Puts 8-bit text on the clipboard on behalf of `owner`; false when the clipboard could not
  // be opened (the clipboard keeps what it had) or memory ran out (the clipboard is left empty).
  virtual bool SetClipboardText(WindowHandle owner, const std::string& text) = 0;

  // The open-file chooser: `path` holds the initial file name and receives the chosen path.
  // Only existing files the filter admits can be chosen ("executables": runnable programs).
  // False when nothing was chosen.
  virtual bool ChooseOpenFile(const std::string& filter, std::string* path) {
    (void)filter;
    (void)path;
    return false;
  }

  // Tells every top-level window that the user's settings changed, and waits until they saw it.
  virtual void BroadcastSettingsChange() {}

  // Opens the modeless main window from `tpl`, then runs the message loop: the window's
  // commands, the tray icon's clicks, a timer every `tickMs` and the end signals, until
  // QuitMainWindow. A user interface without a window system has no main window.
  virtual void RunMainWindow(const DialogTemplate& tpl, MainWindowProc& proc, int tickMs) {
    (void)tpl;
    (void)proc;
    (void)tickMs;
  }
  // Destroys the main window; the loop ends once the current message is handled.
  virtual void QuitMainWindow() {}
  virtual void ShowMainWindow(WindowShow how) { (void)how; }
  // Adds or deletes the notification-area icon; false when the shell refused.
  virtual bool SetTrayIcon(bool add, int iconId, const std::string& tip) {
    (void)add;
    (void)iconId;
    (void)tip;
    return false;
  }
  // Shows a pop-up menu at the cursor; returns the chosen item's id, 0 when none was chosen.
  virtual int TrackMenu(const std::vector<MenuItem>& items) {
    (void)items;
    return 0;
  }

  // The save-as chooser: true with the chosen full path, false when the user cancelled.
  virtual bool ChooseSaveAsPath(WindowHandle owner, const SaveAsRequest& request,
                                std::string* path) {
    (void)owner, (void)request, (void)path;
    return false;
  }
  // Has the shell open `path` with the program associated with its type; the shell's result.
  virtual int ShellOpen(const std::string& path) {
    (void)path;
    return kShellNoAssociation;
  }
  // Shows the wait cursor (true) or the arrow again (false) while the system works.
  virtual void ShowWaitCursor(bool wait) { (void)wait; }
};

// The process's user interface, chosen at first use from VEILPOST_UI ("script:FILE",
// "terminal", or none), unless a test or host installed one.
UserInterface& Ui();
// Installs `ui` (owned); null returns to the choice from the environment at next use.
void SetUi(std::unique_ptr<UserInterface> ui);

}  // namespace vp
