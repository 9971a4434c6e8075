// A dialog held in memory: controls from a template with the Win32 behaviour dialog procedures
// rely on, and the user's actions on them for the front ends to call.
//
// Every visible change (text, list item, selection, check, enable, title) is recorded in the
// transcript; the text of a password edit only by its length. The dialog owns one top-level window
// of class "#32770" in the process's window table while it is open.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/script_answers.h"
#include "platform/ui.h"
#include "platform/ui_events.h"

namespace vp::headless {

// The script's answers, the events and their transcript are shared with the on-screen front end.
using namespace vp::uiscript;

struct ListItem {
  std::string text;
  intptr_t data = 0;
  bool selected = false;
};

struct Control {
  int id;
  ControlKind kind;
  uint32_t style;
  std::string text;
  bool enabled;
  bool checked = false;
  std::vector<ListItem> items;
  // An up-down control's range and position; the system starts them at 100..0 and 0.
  int low = 100, high = 0, position = 0;
  int weight = 400;  // of the control's font

  bool IsPassword() const { return kind == ControlKind::kEdit && (style & kEditPassword); }
  bool IsReadOnly() const { return kind == ControlKind::kEdit && (style & kEditReadOnly); }
  bool IsMultiSelect() const {
    return kind == ControlKind::kListBox && (style & (kListMultipleSel | kListExtendedSel));
  }
  bool IsButton() const {
    return kind == ControlKind::kPushButton || kind == ControlKind::kDefPushButton ||
           kind == ControlKind::kCheckBox || kind == ControlKind::kRadio;
  }
};

// How a command reached the procedure, for the transcript.
enum class CommandSource { kClick, kEnter, kEscape, kClose };

class VirtualDialog final : public Dialog, public ScriptTarget {
 public:
  VirtualDialog(const DialogTemplate& tpl, DialogProc proc, void* param, Transcript& log);
  ~VirtualDialog() override;
  VirtualDialog(const VirtualDialog&) = delete;
  VirtualDialog& operator=(const VirtualDialog&) = delete;

  // Opens the window, records the opening and sends kInit.
  void Open();

  // The dialog port, as procedures see it.
  WindowHandle Window() override { return window_; }
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
  void ListSelect(int id, int index) override;  // -1 clears the selection of either kind
  int ListSelection(int id) override;
  bool ListIsSelected(int id, int index) override;
  void Enable(int id, bool enabled) override;
  void SetRange(int id, int low, int high) override;
  void Focus(int id) override;
  void End(intptr_t result) override;
  void SetFontWeight(int id, int weight) override;
  void UseWhiteBackground() override;

  // What the front ends read.
  const DialogTemplate& Template() const { return tpl_; }
  const std::vector<Control>& Controls() const { return controls_; }
  const Control* Find(int id) const;
  bool WhiteBackground() const { return white_; }
  bool Ended() const override { return ended_; }
  intptr_t Result() const { return result_; }
  int FocusId() const { return focus_; }
  int DefaultButtonId() const;  // the default push button, else 1
  int FirstListId() const override;

  // What a user can do. Each returns "" when done, else why the control cannot take it.
  std::string Click(int id) override;
  std::string SetChecked(int id, bool checked) override;
  std::string Type(int id, const std::string& text) override;
  // Selects item `index` the way a click does: the only selection of a single-selection list,
  // added to the selection of a multi-selection list.
  std::string SelectIndex(int id, int index) override;
  std::string SelectText(int id, const std::string& text) override;
  std::string UnselectAll(int id) override;
  // One click on an arrow of up-down control `id`: the edit before it (its buddy) shows the
  // next number toward the range's high end (up) or low end (down), never past it. The buddy's
  // text is where the arrows go on from when it is a number within the range.
  std::string Spin(int id, bool up) override;
  void PressEnter() override;
  void PressEscape() override;
  // Closes a dialog nobody answers: id 2, else an "Exit"/"Close" button, else OK. When the
  // procedure still does not end, the dialog is ended with kIdCancel. Returns the id pressed.
  int PressClosingButton();

 private:
  Control* FindMutable(int id);
  void Command(int id, CommandSource source);
  void SelectRadio(size_t index);
  void RecordCheck(const Control& c);
  void RecordSelection(const Control& c, int index);
  Event ControlEvent(const char* kind, const Control& c) const;

  const DialogTemplate& tpl_;
  DialogProc proc_;
  void* param_;
  Transcript& log_;
  std::vector<Control> controls_;
  std::string title_;
  WindowHandle window_ = nullptr;
  int focus_ = -1;
  bool white_ = false;
  bool ended_ = false;
  intptr_t result_ = 0;
};

}  // namespace vp::headless
