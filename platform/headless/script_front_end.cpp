// The script front end: every box and dialog answered from a file, for tests and demos.
#include <cstdlib>
#include <memory>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"

namespace vp::headless {
namespace {

class ScriptUi final : public HeadlessUi {
 public:
  explicit ScriptUi(const std::string& path) : answers_(path) {
    if (!answers_.Error().empty())
      Log().Record(Event("script-error").Text("text", answers_.Error()));
  }

 protected:
  BoxAnswer AnswerBox(const std::string&, const std::string&, unsigned style) override {
    bool answered = false;
    int id = AnswerBoxFromScript(
        answers_, style, &answered,
        [&](const ScriptLine& line, const std::string& why) { Error(line, why); });
    return {id, answered};
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

  void MainWindowStep(VirtualDialog& window, MainWindowProc& proc, int waitMs) override {
    if (!StepMainWindow(answers_, window.Template().id, window, proc, &menuChoice_,
                        [&](const ScriptLine& line, const std::string& why) { Error(line, why); }))
      WaitMs(waitMs);
  }

  BoxAnswer AnswerOpenFile(const std::string&, std::string* path) override {
    const ScriptLine* line = answers_.Take("open-file");
    if (!line) return {kIdCancel, false};
    if (line->rest != "cancel") *path = line->rest;
    return {kIdOk, true};
  }

  int ChooseMenuItem(const std::vector<MenuItem>&) override { return menuChoice_; }

 private:
  void ApplyLine(VirtualDialog& dialog, const ScriptLine& line) {
    ApplyDialogLine(dialog, line, [&](const std::string& why) { Error(line, why); });
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
