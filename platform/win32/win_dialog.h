// A dialog on screen as the system's dialog procedures and the answer script see it: the dialog
// port over a real window and its controls by id, recording every change as the headless dialog
// does, and the user's actions carried out on the real controls.
#pragma once
#include <string>
#include <vector>

#include "platform/script_answers.h"
#include "platform/ui.h"
#include "platform/ui_events.h"
#include "platform/win32/win_api.h"

namespace vp::win32 {

class WinDialog final : public Dialog, public uiscript::ScriptTarget {
 public:
  // `modal`: End ends the dialog; otherwise the window is the program's main window.
  WinDialog(HWND window, const DialogTemplate& tpl, DialogProc proc, void* param,
            uiscript::Transcript& log, bool modal);
  // Deletes the fonts the procedure had made: by then the dialog window is gone.
  ~WinDialog() override;
  WinDialog(const WinDialog&) = delete;
  WinDialog& operator=(const WinDialog&) = delete;

  // Records the opening and sends kInit; the procedure's answer for WM_INITDIALOG.
  INT_PTR Open();
  // A button was pressed (BN_CLICKED, or the dialog manager's Enter and Escape): records the check
  // states it changed and the command, then hands it to the procedure.
  void Command(int id);

  // The dialog port.
  WindowHandle Window() override { return reinterpret_cast<WindowHandle>(window_); }
  void SetTitle(const std::string& text) override;
  std::string Title() override { return title_; }
  void SetText(int id, const std::string& text) override;
  std::string Text(int id) override;
  void SetCheck(int id, bool checked) override;
  bool IsChecked(int id) override;
  int ListAdd(int id, const std::string& text) override;
  void ListSetData(int id, int index, intptr_t data) override;
  intptr_t ListData(int id, int index) override;
  int ListCount(int id) override;
  std::string ListText(int id, int index) override;
  void ListSelect(int id, int index) override;
  int ListSelection(int id) override;
  bool ListIsSelected(int id, int index) override;
  void Enable(int id, bool enabled) override;
  void SetRange(int id, int low, int high) override;
  void Focus(int id) override;
  void End(intptr_t result) override;
  void SetFontWeight(int id, int weight) override;
  void UseWhiteBackground() override;
  // The brush for WM_CTLCOLORDLG or WM_CTLCOLORSTATIC (`forStatic`) on `dc`; null for the
  // system's own colours.
  HBRUSH BackgroundBrush(HDC dc, bool forStatic) const;

  // What the script does, on the real controls.
  bool Ended() const override { return ended_; }
  int FirstListId() const override;
  std::string Click(int id) override;
  std::string SetChecked(int id, bool checked) override;
  std::string Type(int id, const std::string& text) override;
  std::string SelectIndex(int id, int index) override;
  std::string SelectText(int id, const std::string& text) override;
  std::string UnselectAll(int id) override;
  std::string Spin(int id, bool up) override;
  void PressEnter() override;
  void PressEscape() override;
  // Closes a dialog nobody answers as the headless dialog does; the id pressed, -1 when forced.
  int PressClosingButton();

  const DialogTemplate& Template() const { return tpl_; }
  intptr_t Result() const { return result_; }

 private:
  const ControlTemplate* Find(int id) const;
  HWND Item(int id) const { return GetDlgItem(window_, id); }
  bool IsMultiSelect(int id) const;
  // Sends the command a button press gives, saying in the transcript how it came.
  void Press(int id, const char* source);
  // Records the check boxes and radio buttons whose state differs from what was last recorded:
  // the cleared ones first, as a radio group clears before it sets.
  void RecordChecks();
  uiscript::Event ControlEvent(const char* kind, int id) const;

  HWND window_;
  const DialogTemplate& tpl_;
  DialogProc proc_;
  void* param_;
  uiscript::Transcript& log_;
  bool modal_;
  std::string title_;
  std::vector<int> checks_;  // the last recorded state of each control (-1: not a check)
  const char* source_ = "click";
  std::vector<HFONT> fonts_;  // made by SetFontWeight
  bool white_ = false;
  bool ended_ = false;
  intptr_t result_ = 0;
};

}  // namespace vp::win32
