// The terminal front end: boxes and dialogs drawn as text on the controlling terminal and
// answered from its keyboard; password edits are read without echo.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"

namespace vp::headless {
namespace {

// Texts from outside (user ids, GnuPG's words) must not steer the terminal: control characters
// other than line breaks and tabs are shown in caret notation.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\n' || c == '\t' || (c >= 0x20 && c != 0x7F)) {
      out += static_cast<char>(c);
    } else {
      out += '^';
      out += static_cast<char>(c == 0x7F ? '?' : c + '@');
    }
  }
  return out;
}

std::string Label(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return Printable(out);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

bool ParseNumber(const std::string& text, int* value) {
  if (text.empty() || text.size() > 6) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  *value = atoi(text.c_str());
  return true;
}

// The controlling terminal, opened once; owns the descriptor.
class Terminal {
 public:
  explicit Terminal(int fd) : fd_(fd) {}
  ~Terminal() { close(fd_); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void Write(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(fd_, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  // Shows `prompt` and reads one line without its line break; false at end of input. With
  // `echo` off the typed characters are not shown: echo is off before the prompt appears, so
  // nothing typed in answer to it is ever shown, and the terminal's settings come back after.
  bool Ask(const std::string& prompt, std::string* line, bool echo = true) {
    termios saved{};
    bool hidden = !echo && tcgetattr(fd_, &saved) == 0;
    if (hidden) {
      termios quiet = saved;
      quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
      quiet.c_lflag |= ICANON;
      tcsetattr(fd_, TCSANOW, &quiet);
    }
    Write(prompt);
    line->clear();
    bool got = false;
    char c = 0;
    while (read(fd_, &c, 1) == 1) {
      got = true;
      if (c == '\n') break;
      if (c != '\r') *line += c;
    }
    if (hidden) {
      tcsetattr(fd_, TCSANOW, &saved);
      Write("\n");
    }
    return got;
  }

 private:
  int fd_;
};

class TerminalUi final : public HeadlessUi {
 public:
  explicit TerminalUi(int fd) : tty_(fd) {}

 protected:
  BoxAnswer AnswerBox(const std::string& text, const std::string& caption,
                      unsigned style) override {
    std::vector<BoxButton> buttons = BoxButtons(style);
    std::string keys, menu;
    for (size_t i = 0; i < buttons.size(); ++i) {
      keys += (i ? "/" : "") + std::string(1, buttons[i].word[0]);
      menu += "  " + std::to_string(i + 1) + ") " + buttons[i].word;
    }
    DrawBox(text, caption, menu);
    for (;;) {
      std::string line;
      if (!tty_.Ask("Answer [" + keys + "]: ", &line)) return {UnansweredBoxAnswer(style), false};
      line = Lower(Trim(line));
      int number = 0;
      if (ParseNumber(line, &number) && number >= 1 && number <= static_cast<int>(buttons.size()))
        return {buttons[number - 1].id, true};
      for (const BoxButton& b : buttons)
        if (!line.empty() && (line == b.word || line == std::string(1, b.word[0])))
          return {b.id, true};
    }
  }

  void ShowBox(const std::string& text, const std::string& caption, unsigned) override {
    DrawBox(text, caption, "");
    std::string line;
    tty_.Ask("Press Enter to continue: ", &line);
  }

  bool RunDialog(VirtualDialog& dialog) override {
    while (!dialog.Ended()) {
      std::vector<int> numbered = Draw(dialog);
      const Control* def = dialog.Find(dialog.DefaultButtonId());
      std::string line;
      if (!tty_.Ask("Choose a number (Enter: " + (def ? Label(def->text) : std::string("OK")) +
                        ", q: close): ",
                    &line))
        return false;
      line = Lower(Trim(line));
      int number = 0;
      if (line.empty()) {
        dialog.PressEnter();
      } else if (line == "q") {
        return false;
      } else if (ParseNumber(line, &number) && number >= 1 &&
                 number <= static_cast<int>(numbered.size())) {
        if (!Act(dialog, numbered[number - 1])) return false;
      } else {
        tty_.Write("No such choice.\n");
      }
    }
    return true;
  }

 private:
  void DrawBox(const std::string& text, const std::string& caption, const std::string& menu) {
    tty_.Write("\n[" + Printable(caption) + "]\n" + Printable(text) + "\n" +
               (menu.empty() ? "" : menu + "\n"));
  }

  // Draws the dialog; returns the control ids in the order of their numbers.
  std::vector<int> Draw(VirtualDialog& dialog) {
    std::ostringstream out;
    std::vector<int> numbered;
    out << "\n=== " << Printable(dialog.Title()) << " ===\n";
    std::string buttons;
    const std::vector<Control>& controls = dialog.Controls();
    for (size_t k = 0; k < controls.size(); ++k) {
      const Control& c = controls[k];
      // A static text right before an edit is drawn as the edit's label.
      bool label = c.kind == ControlKind::kStatic && k + 1 < controls.size() &&
                   controls[k + 1].kind == ControlKind::kEdit;
      bool choosable = c.enabled && c.kind != ControlKind::kStatic &&
                       c.kind != ControlKind::kGroupBox && c.kind != ControlKind::kIcon &&
                       c.kind != ControlKind::kUpDown && !c.IsReadOnly();
      std::string tag = choosable ? std::to_string(numbered.size() + 1) + ") " : "   ";
      std::string off = c.enabled ? "" : " (disabled)";
      switch (c.kind) {
        case ControlKind::kStatic:
        case ControlKind::kGroupBox:
          if (!c.text.empty() && !label) out << "   " << Label(c.text) << "\n";
          break;
        case ControlKind::kEdit:
          if (c.IsPassword())
            out << tag << EditLabel(dialog, c) << ": "
                << (c.text.empty() ? "(empty)"
                                   : "(hidden, " + std::to_string(c.text.size()) + " characters)")
                << off << "\n";
          else
            out << tag << EditLabel(dialog, c) << ": " << Printable(c.text) << off << "\n";
          break;
        case ControlKind::kCheckBox:
          out << tag << (c.checked ? "[x] " : "[ ] ") << Label(c.text) << off << "\n";
          break;
        case ControlKind::kRadio:
          out << tag << (c.checked ? "(*) " : "( ) ") << Label(c.text) << off << "\n";
          break;
        case ControlKind::kListBox:
          out << tag << (c.IsMultiSelect() ? "list (several may be chosen)" : "list") << off
              << "\n";
          for (size_t i = 0; i < c.items.size(); ++i)
            out << "      " << (c.items[i].selected ? "* " : "  ") << i + 1 << ". "
                << Printable(c.items[i].text) << "\n";
          break;
        case ControlKind::kPushButton:
        case ControlKind::kDefPushButton:
          buttons += "  " + tag + Label(c.text) +
                     (c.kind == ControlKind::kDefPushButton ? " (default)" : "") + off;
          break;
        default:
          break;
      }
      if (choosable) numbered.push_back(c.id);
    }
    if (!buttons.empty()) out << buttons << "\n";
    tty_.Write(out.str());
    return numbered;
  }

  // The static text just before an edit is its label, as a dialog reader would take it.
  static std::string EditLabel(const VirtualDialog& dialog, const Control& edit) {
    std::string label = "Text";
    for (const Control& c : dialog.Controls()) {
      if (&c == &edit) break;
      if (c.kind == ControlKind::kStatic && !c.text.empty()) label = Label(c.text);
    }
    while (!label.empty() && label.back() == ':') label.pop_back();
    return label;
  }

  // Carries out the user's choice of control `id`; false at end of input.
  bool Act(VirtualDialog& dialog, int id) {
    const Control* c = dialog.Find(id);
    std::string line, error;
    if (c->kind == ControlKind::kEdit) {
      bool hidden = c->IsPassword();
      if (!tty_.Ask("New text for " + EditLabel(dialog, *c) + (hidden ? " (hidden): " : ": "),
                    &line, !hidden))
        return false;
      error = dialog.Type(id, line);
    } else if (c->kind == ControlKind::kListBox) {
      bool multi = c->IsMultiSelect();
      if (!tty_.Ask(multi ? "Item numbers: " : "Item number: ", &line)) return false;
      std::istringstream words(line);
      std::vector<int> chosen;
      std::string word;
      int n = 0;
      while (words >> word) {
        if (!ParseNumber(word, &n)) {
          error = "not an item number: " + word;
          break;
        }
        chosen.push_back(n - 1);
      }
      if (error.empty() && !chosen.empty()) {
        if (multi) error = dialog.UnselectAll(id);
        for (size_t i = 0; error.empty() && i < chosen.size() && (multi || i == 0); ++i)
          error = dialog.SelectIndex(id, chosen[i]);
      }
    } else {
      error = dialog.Click(id);
    }
    if (!error.empty()) tty_.Write(Printable(error) + "\n");
    return true;
  }

  Terminal tty_;
};

}  // namespace

std::unique_ptr<UserInterface> MakeTerminalUi() {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<TerminalUi>(fd);
}

}  // namespace vp::headless
