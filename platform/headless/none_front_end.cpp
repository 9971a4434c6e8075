// The front end for a process nobody can answer: every prompt gets Cancel, and stderr says so.
#include <cstdio>
#include <memory>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"
#include "platform/process.h"

namespace vp::headless {
namespace {

// "OK", "Cancel", "Yes", ... as the buttons read.
std::string ButtonName(std::string word) {
  if (word == "ok") return "OK";
  if (!word.empty() && word[0] >= 'a' && word[0] <= 'z') word[0] = static_cast<char>(word[0] - 32);
  return word;
}

// Continuation lines line up under the text after "veilpost: ".
std::string Indented(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\n          ") : std::string(1, c);
  return out;
}

void Say(const std::string& text) {
  fputs(("veilpost: " + text + "\n").c_str(), stderr);
  fflush(stderr);
}

class NoneUi final : public HeadlessUi {
 protected:
  // A box is the user's only trace of what happened: it is told as text, with the answer taken.
  BoxAnswer AnswerBox(const std::string& text, const std::string& caption,
                      unsigned style) override {
    int answer = UnansweredBoxAnswer(style);
    Tell(text, caption, style, ButtonName(AnswerWord(answer)) + " (no one to answer)");
    return {answer, false};
  }

  void ShowBox(const std::string& text, const std::string& caption, unsigned style) override {
    Tell(text, caption, style, "OK");
  }

  bool RunDialog(VirtualDialog&) override { return false; }

  BoxAnswer AnswerSaveAs(const SaveAsRequest& request, std::string*) override {
    Say("save-as chooser for \"" + PrintableText(request.proposedName) +
        "\" cancelled: no one to answer.");
    return {kIdCancel, false};
  }

  BoxAnswer AnswerShell(const std::string& path) override { return {OpenWithDesktop(path), true}; }

  BoxAnswer AnswerOpenFile(const std::string& initial, std::string*) override {
    Say("open-file chooser for \"" + PrintableText(initial) + "\" cancelled: no one to answer.");
    return {kIdCancel, false};
  }

  // Boxes and choosers were told already; a dialog is told by its title.
  void Unanswered(const Event& event) override {
    if (event.TextOf("event") != "dialog-close") return;
    Say("dialog \"" + PrintableText(event.TextOf("title")) + "\" closed: no one to answer.");
  }

 private:
  static void Tell(const std::string& text, const std::string& caption, unsigned style,
                   const std::string& answer) {
    std::string buttons;
    for (const BoxButton& b : BoxButtons(style))
      buttons += (buttons.empty() ? "" : ", ") + ButtonName(b.word);
    Say(Indented(PrintableText(caption) + ": " + PrintableText(text)) +
        "\n          Buttons: " + buttons + ". Answer taken: " + answer + ".");
  }
};

}  // namespace

std::unique_ptr<UserInterface> MakeNoneUi() {
  return std::make_unique<NoneUi>();
}

}  // namespace vp::headless
