// The answer script of the script front ends: lines by kind, the actions of a dialog line carried
// out on a dialog held in memory or shown on screen, and the answers of message boxes.
//
// A line's kind is its first word ("message", "save-as", "menu", ...), or "dialog N" / "window N"
// for dialog and main-window lines.
// Blank lines and lines starting with '#' are skipped. Each event takes the first unused line of
// its own kind, so lines of different kinds may come in any order.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/ui.h"
#include "platform/ui_events.h"

namespace vp::uiscript {

struct ScriptLine {
  int number;        // 1-based line number in the file
  std::string kind;  // "message", "dialog 103", ...
  std::string rest;  // what follows the kind, trimmed
  bool used = false;
};

class ScriptAnswers {
 public:
  // Reads the script at `path`; an unreadable file gives no lines and a non-empty Error().
  explicit ScriptAnswers(const std::string& path);
  // Parses script text directly.
  static ScriptAnswers FromText(const std::string& text);

  // The first unused line of `kind`, now marked used; null when none is left.
  const ScriptLine* Take(const std::string& kind);
  // The first unused line of any of `kinds`, in file order, now marked used.
  const ScriptLine* TakeFirstOf(const std::vector<std::string>& kinds);
  const std::string& Error() const { return error_; }

 private:
  ScriptAnswers() = default;
  void Parse(const std::string& text);

  std::vector<ScriptLine> lines_;
  std::string error_;
};

// One action of a dialog line.
//   click ID | check ID | uncheck ID        -> verb, id
//   type ID TEXT | type ID "TEXT"           -> verb, id, text
//   select "TEXT" | select ID "TEXT"        -> verb, id (-1: the first list box), text
//   select-index ID N                       -> verb, id, index
//   spin ID up | spin ID down               -> verb, id, text "up" / "down" (an up-down's arrow)
//   unselect-all [ID]                       -> verb, id (-1: the first list box)
//   key enter | key escape                  -> verb "key", text "enter" / "escape"
struct ScriptAction {
  std::string verb;
  int id = -1;
  int index = -1;
  std::string text;
};

// Splits a dialog line at ';' outside double quotes; empty actions are dropped.
std::vector<std::string> SplitActions(const std::string& line);
// Parses one action; false with `error` set when it is not one of the forms above. In a quoted
// text, \" stands for a quote and \\ for a backslash.
bool ParseAction(const std::string& text, ScriptAction* action, std::string* error);

// What a user can do to a dialog, as the actions of a script line say it. Each returns "" when
// done, else why the control cannot take it.
class ScriptTarget {
 public:
  virtual ~ScriptTarget() = default;
  virtual bool Ended() const = 0;
  virtual int FirstListId() const = 0;    // the first list box, else -1
  virtual std::string Click(int id) = 0;  // check boxes toggle and radios select first
  virtual std::string SetChecked(int id, bool checked) = 0;  // a click when the state must change
  virtual std::string Type(int id, const std::string& text) = 0;
  virtual std::string SelectIndex(int id, int index) = 0;
  virtual std::string SelectText(int id, const std::string& text) = 0;
  virtual std::string UnselectAll(int id) = 0;
  virtual std::string Spin(int id, bool up) = 0;  // one click on an up-down control's arrow
  virtual void PressEnter() = 0;                  // the default button
  virtual void PressEscape() = 0;                 // id 2, when the dialog has one
};

// Carries out the actions of a dialog line in order until the dialog ends. Each failed action is
// passed to `error` with why, naming the action but never a typed text (it may be a password).
void ApplyDialogLine(ScriptTarget& dialog, const ScriptLine& line,
                     const std::function<void(const std::string&)>& error);

// Takes the next line for the main window `windowId` and carries it out, in file order of the
// kinds "window N" (its actions), "menu ID" (a right-click on the tray icon with that item chosen
// from the menu, which `menuChoice` holds meanwhile), "tray double-click", "taskbar-created" (the
// shell restarted), and "system-menu minimise" / "system-menu close". False when none is left.
bool StepMainWindow(ScriptAnswers& answers, int windowId, ScriptTarget& window,
                    MainWindowProc& proc, int* menuChoice,
                    const std::function<void(const ScriptLine&, const std::string&)>& error);

// The "menu" event of a tracked menu: its items ("-" for separators, joined by '|') and the
// answer, which becomes 0 unless it is one of the items.
Event MenuEvent(const std::vector<MenuItem>& items, int* chosen);

// The buttons that close a dialog nobody answers, in the order they are tried: id 2, an "Exit" or
// "Close" push button, OK, the default push button.
std::vector<int> ClosingButtons(const DialogTemplate& tpl);

// Message box buttons, numbered as the system numbers its answers.
enum : int { kIdAbort = 3, kIdIgnore = 5 };

struct BoxButton {
  const char* word;  // "ok", "cancel", "yes", "no", "abort", "retry", "ignore"
  int id;
};
// The buttons of a message box style, in the order shown; the first is the default.
std::vector<BoxButton> BoxButtons(unsigned style);
// The name of a style's button set: "ok", "okcancel", "yesno", ...
const char* ButtonsName(unsigned style);
// The answer a box gets when nobody answers: Cancel, else No, else the first button.
int UnansweredBoxAnswer(unsigned style);
// The word of an answer id ("ok", ...), "" for an unknown id.
const char* AnswerWord(int id);
// Answers a box of `style` from the next "message" line, which names one of its buttons. A line
// naming a button the box lacks is passed to `error`; without a usable line the box gets the
// unanswered answer and `answered` is false.
int AnswerBoxFromScript(ScriptAnswers& answers, unsigned style, bool* answered,
                        const std::function<void(const ScriptLine&, const std::string&)>& error);

}  // namespace vp::uiscript
