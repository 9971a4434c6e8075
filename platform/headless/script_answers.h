// The answer script of the script front end: lines by kind, and the actions of a dialog line.
//
// A line's kind is its first word ("message", "save-as", "menu", ...), or "dialog N" / "window N"
// for dialog and main-window lines.
// Blank lines and lines starting with '#' are skipped. Each event takes the first unused line of
// its own kind, so lines of different kinds may come in any order.
#pragma once
#include <string>
#include <vector>

namespace vp::headless {

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

}  // namespace vp::headless
