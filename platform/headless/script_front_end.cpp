// The script front end: every box and dialog answered from a file, for tests and demos.
#include <cstdlib>
#include <memory>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/script_answers.h"

namespace vp::headless {
namespace {

class ScriptUi final : public HeadlessUi {
 public:
  explicit ScriptUi(const std::string& path) : answers_(path) {
    if (!answers_.Error().empty())
      Log().Record(Event("script-error").Text("text", answers_.Error()));
  }

 protected:
  BoxAnswer AnswerBox(const std::string& text, const std::string& caption,
                      unsigned style) override {
    (void)text;
    (void)caption;
    const ScriptLine* line = answers_.Take("message");
    if (!line) return {UnansweredBoxAnswer(style), false};
    for (const BoxButton& b : BoxButtons(style))
      if (line->rest == b.word) return {b.id, true};
    Error(*line, "the box has no button \"" + line->rest + "\"");
    return {UnansweredBoxAnswer(style), false};
  }

  void ShowBox(const std::string&, const std::string&, unsigned) override {}

  BoxAnswer AnswerSaveAs(const SaveAsRequest&, std::string* path) override {
    const ScriptLine* line = answers_.Take("save-as");
    if (!line) return {kIdCancel, false};
    if (line->rest != "cancel") *path = line->rest;
    return {kIdOk, true};
  }

  // Unanswered, the shell opened the file.
  BoxAnswer AnswerShell(const std::string&) override {
    const ScriptLine* line = answers_.Take("shell");
    if (!line) return {kShellOpened, false};
    char* end = nullptr;
    long code = strtol(line->rest.c_str(), &end, 10);
    if (line->rest.empty() || *end != '\0') {
      Error(*line, "the shell's result is not a number");
      return {kShellOpened, false};
    }
    return {static_cast<int>(code), true};
  }

  bool RunDialog(VirtualDialog& dialog) override {
    const ScriptLine* line = answers_.Take("dialog " + std::to_string(dialog.Template().id));
    if (!line) return false;
    ApplyLine(dialog, *line);
    return dialog.Ended();
  }

  // The main window's lines, in file order: "window N ACTIONS", "menu ID" (the tray menu's
  // item), "tray double-click", "taskbar-created" (the shell restarted) and "system-menu
  // minimise" / "system-menu close".
  void MainWindowStep(VirtualDialog& window, MainWindowProc& proc, int waitMs) override {
    const ScriptLine* line =
        answers_.TakeFirstOf({"window " + std::to_string(window.Template().id), "menu", "tray",
                              "taskbar-created", "system-menu"});
    if (!line) {
      WaitMs(waitMs);
      return;
    }
    if (line->kind == "menu") {
      char* end = nullptr;
      long id = strtol(line->rest.c_str(), &end, 10);
      if (line->rest.empty() || *end != '\0' || id <= 0) {
        Error(*line, "menu wants an item id");
        return;
      }
      menuChoice_ = static_cast<int>(id);
      proc.TrayClicked(false);
      menuChoice_ = 0;
    } else if (line->kind == "tray") {
      if (line->rest != "double-click")
        Error(*line, "tray wants double-click");
      else
        proc.TrayClicked(true);
    } else if (line->kind == "taskbar-created") {
      proc.TaskbarCreated();
    } else if (line->kind == "system-menu") {
      if (line->rest == "minimise")
        proc.MinimiseRequested();
      else if (line->rest == "close")
        proc.EndRequested();
      else
        Error(*line, "system-menu wants minimise or close");
    } else {
      ApplyLine(window, *line);
    }
  }

  bool AnswerOpenFile(std::string* path) override {
    const ScriptLine* line = answers_.Take("open-file");
    if (!line) return false;
    *path = line->rest;
    return true;
  }

  int ChooseMenuItem(const std::vector<MenuItem>&) override { return menuChoice_; }

 private:
  void ApplyLine(VirtualDialog& dialog, const ScriptLine& line) {
    for (const std::string& text : SplitActions(line.rest)) {
      if (dialog.Ended()) break;
      ScriptAction action;
      std::string error;
      if (!ParseAction(text, &action, &error) || !(error = Apply(dialog, action)).empty()) {
        // A typed text may be a password: name the action, never its text.
        Error(line, error + " (in \"" + (action.verb == "type" ? "type" : text) + "\")");
      }
    }
  }

  static std::string Apply(VirtualDialog& dialog, const ScriptAction& a) {
    if (a.verb == "click") return dialog.Click(a.id);
    if (a.verb == "check") return dialog.SetChecked(a.id, true);
    if (a.verb == "uncheck") return dialog.SetChecked(a.id, false);
    if (a.verb == "type") return dialog.Type(a.id, a.text);
    if (a.verb == "spin") return dialog.Spin(a.id, a.text == "up");
    int list = a.id == -1 ? dialog.FirstListId() : a.id;
    if (a.verb == "select") return dialog.SelectText(list, a.text);
    if (a.verb == "select-index") return dialog.SelectIndex(a.id, a.index);
    if (a.verb == "unselect-all") return dialog.UnselectAll(list);
    if (a.text == "enter")
      dialog.PressEnter();
    else
      dialog.PressEscape();
    return {};
  }

  void Error(const ScriptLine& line, const std::string& text) {
    Log().Record(Event("script-error").Number("line", line.number).Text("text", text));
  }

  ScriptAnswers answers_;
  int menuChoice_ = 0;
};

}  // namespace

std::unique_ptr<UserInterface> MakeScriptUi(const std::string& path) {
  return std::make_unique<ScriptUi>(path);
}

}  // namespace vp::headless
