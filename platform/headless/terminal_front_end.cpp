// The terminal front end: boxes and dialogs drawn as text on the controlling terminal and
// answered from its keyboard; password edits are read without echo.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <sstream>

#include "platform/headless/front_ends.h"
#include "platform/headless/headless_ui.h"
#include "platform/process.h"

namespace vp::headless {
namespace {

std::string Label(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '&') out += c;
  return PrintableText(out);
}

// `first` then `text`, broken at blanks into lines of at most `width` characters; lines after
// the first are indented to line up under the text. A word longer than a line is cut. The
// text's own line breaks are kept.
std::string Wrapped(const std::string& first, const std::string& text, size_t width) {
  const std::string indent(first.size(), ' ');
  const size_t room = width > indent.size() + 10 ? width - indent.size() : 10;
  std::string out;
  std::istringstream paragraphs(text);
  std::string paragraph;
  bool firstLine = true;
  auto newLine = [&] {
    out += firstLine ? first : "\n" + indent;
    firstLine = false;
  };
  while (std::getline(paragraphs, paragraph)) {
    newLine();
    // A paragraph's own indentation stays.
    size_t used = paragraph.find_first_not_of(" \t");
    if (used == std::string::npos) used = paragraph.size();
    out += paragraph.substr(0, used);
    std::istringstream words(paragraph.substr(used));
    for (std::string word; words >> word;) {
      for (; word.size() > room; word.erase(0, room)) {
        if (used > 0) newLine();
        out += word.substr(0, room);
        used = room;
      }
      if (used > 0 && used + 1 + word.size() > room) {
        newLine();
        used = 0;
      }
      if (used > 0 && out.back() != ' ' && out.back() != '\t') {
        out += ' ';
        ++used;
      }
      out += word;
      used += word.size();
    }
  }
  if (firstLine) out += first;
  return out;
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

  // The terminal's width; 80 when it does not say.
  size_t Columns() const {
    winsize size{};
    return ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
  }

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

  // Waits up to `ms` for a whole line to read; false when none came (or a signal came first).
  bool WaitForLine(int ms) {
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, ms) == 1;
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

  // The main window as a numbered menu; its timer runs on while a line is awaited.
  void MainWindowStep(VirtualDialog& window, MainWindowProc& proc, int waitMs) override {
    if (mainChoices_.empty()) {
      mainChoices_ = Draw(window);
      tty_.Write("Choose a number (t: tray menu, m: minimise): ");
    }
    if (!tty_.WaitForLine(waitMs)) return;
    std::vector<int> numbered = std::move(mainChoices_);
    mainChoices_.clear();
    std::string line;
    if (!tty_.Ask("", &line)) {
      proc.EndRequested();  // the terminal is gone: nobody can reach the window any more
      return;
    }
    line = Lower(Trim(line));
    int number = 0;
    if (line == "t")
      proc.TrayClicked(false);
    else if (line == "m")
      proc.MinimiseRequested();
    else if (ParseNumber(line, &number) && number >= 1 &&
             number <= static_cast<int>(numbered.size()))
      Act(window, numbered[number - 1]);
    else if (!line.empty())
      tty_.Write("No such choice.\n");
  }

  int ChooseMenuItem(const std::vector<MenuItem>& items) override {
    std::string text = "\n";
    for (size_t i = 0; i < items.size(); ++i)
      text += items[i].id == 0
                  ? "   ----\n"
                  : "  " + std::to_string(i + 1) + ". " + PrintableText(items[i].text) + "\n";
    tty_.Write(text);
    std::string line;
    int number = 0;
    if (!tty_.Ask("Menu item (Enter: none): ", &line) || !ParseNumber(Trim(line), &number) ||
        number < 1 || number > static_cast<int>(items.size()))
      return 0;
    return items[number - 1].id;
  }

  BoxAnswer AnswerSaveAs(const SaveAsRequest& request, std::string* path) override {
    tty_.Write("\n[Save as]\nProposed name: " + PrintableText(request.proposedName) + "\n" +
               (request.startFolder.empty()
                    ? ""
                    : "Folder: " + PrintableText(request.startFolder) + "\n"));
    for (;;) {
      std::string line;
      if (!tty_.Ask("Path (Enter: proposed name, c: cancel): ", &line)) return {kIdCancel, false};
      line = Trim(line);
      if (Lower(line) == "c") return {kIdCancel, true};
      if (line.empty()) line = request.proposedName;
      std::string full =
          line[0] == '/' || request.startFolder.empty() ? line : request.startFolder + "/" + line;
      if (request.overwritePrompt && access(full.c_str(), F_OK) == 0) {
        std::string yes;
        if (!tty_.Ask(PrintableText(full) + " already exists. Replace it? [y/n]: ", &yes))
          return {kIdCancel, false};
        if (Lower(Trim(yes)) != "y") continue;
      }
      *path = line;
      return {kIdOk, true};
    }
  }

  BoxAnswer AnswerOpenFile(const std::string& initial, std::string* path) override {
    tty_.Write("\n[Open]\n");
    std::string line;
    if (!tty_.Ask("Path (Enter: " + (initial.empty() ? "cancel" : PrintableText(initial)) +
                      ", c: cancel): ",
                  &line))
      return {kIdCancel, false};
    line = Trim(line);
    if (Lower(line) != "c") *path = line.empty() ? initial : line;
    return {kIdOk, true};
  }

  BoxAnswer AnswerShell(const std::string& path) override {
    tty_.Write("\nOpening " + PrintableText(path) + " with xdg-open.\n");
    return {OpenWithDesktop(path), true};
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
    tty_.Write("\n[" + PrintableText(caption) + "]\n" +
               Wrapped("", PrintableText(text), tty_.Columns()) + "\n" +
               (menu.empty() ? "" : menu + "\n"));
  }

  // Draws the dialog; returns the control ids in the order of their numbers: the tab order,
  // with OK and Cancel last. Push buttons are drawn side by side in a row.
  std::vector<int> Draw(VirtualDialog& dialog) {
    const size_t width = tty_.Columns();
    std::ostringstream out;
    std::vector<int> numbered;
    out << "\n=== " << PrintableText(dialog.Title()) << " ===\n";
    std::string row;
    auto flushRow = [&] {
      if (!row.empty()) out << row << "\n";
      row.clear();
    };
    auto button = [&](const Control& c, const std::string& tag, const std::string& off) {
      row += "  " + tag + Label(c.text) +
             (c.kind == ControlKind::kDefPushButton ? " (default)" : "") + off;
    };
    const std::vector<Control>& controls = dialog.Controls();
    auto isPushButton = [](const Control& c) {
      return c.kind == ControlKind::kPushButton || c.kind == ControlKind::kDefPushButton;
    };
    auto isOkOrCancel = [&](const Control& c) {
      return isPushButton(c) && (c.id == kIdOk || c.id == kIdCancel);
    };
    auto choosable = [](const Control& c) {
      return c.enabled && c.kind != ControlKind::kStatic && c.kind != ControlKind::kGroupBox &&
             c.kind != ControlKind::kIcon && c.kind != ControlKind::kBitmap &&
             c.kind != ControlKind::kUpDown && !c.IsReadOnly();
    };
    auto tagOf = [&](const Control& c) {
      if (!choosable(c)) return std::string("   ");
      numbered.push_back(c.id);
      return std::to_string(numbered.size()) + ") ";
    };
    for (size_t k = 0; k < controls.size(); ++k) {
      const Control& c = controls[k];
      // A picture has no text form.
      if (isOkOrCancel(c) || c.kind == ControlKind::kBitmap) continue;
      std::string off = c.enabled ? "" : " (disabled)";
      if (isPushButton(c)) {
        button(c, tagOf(c), off);
        continue;
      }
      // A static text right before an edit is drawn as the edit's label.
      bool label = c.kind == ControlKind::kStatic && k + 1 < controls.size() &&
                   controls[k + 1].kind == ControlKind::kEdit;
      if ((c.kind == ControlKind::kStatic || c.kind == ControlKind::kGroupBox) &&
          (c.text.empty() || label))
        continue;
      flushRow();
      std::string tag = tagOf(c);
      switch (c.kind) {
        case ControlKind::kStatic:
        case ControlKind::kGroupBox:
          if (c.kind == ControlKind::kStatic && (c.style & kStaticRight))
            out << RightAligned(Label(c.text), dialog.Template().controls[k], width) << "\n";
          else
            out << Wrapped("   ", Label(c.text), width) << "\n";
          break;
        case ControlKind::kEdit:
          if (c.IsPassword())
            out << tag << EditLabel(dialog, c) << ": "
                << (c.text.empty() ? "(empty)"
                                   : "(hidden, " + std::to_string(c.text.size()) + " characters)")
                << off << "\n";
          else
            out << Wrapped(tag + EditLabel(dialog, c) + ": ", PrintableText(c.text) + off, width)
                << "\n";
          break;
        case ControlKind::kCheckBox:
          out << Wrapped(tag + (c.checked ? "[x] " : "[ ] "), Label(c.text) + off, width) << "\n";
          break;
        case ControlKind::kRadio:
          out << Wrapped(tag + (c.checked ? "(*) " : "( ) "), Label(c.text) + off, width) << "\n";
          break;
        case ControlKind::kListBox:
          out << tag << (c.IsMultiSelect() ? "list (several may be chosen)" : "list") << off
              << "\n";
          for (size_t i = 0; i < c.items.size(); ++i)
            out << Wrapped("      " + std::string(c.items[i].selected ? "* " : "  ") +
                               std::to_string(i + 1) + ". ",
                           PrintableText(c.items[i].text), width)
                << "\n";
          break;
        default:
          break;
      }
    }
    for (int id : {static_cast<int>(kIdOk), static_cast<int>(kIdCancel)})
      for (const Control& c : controls)
        if (c.id == id && isOkOrCancel(c)) button(c, tagOf(c), c.enabled ? "" : " (disabled)");
    flushRow();
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

  // Right-aligned text ends where its control ends in the dialog, a character cell being four
  // dialog units across, or at the terminal's edge when that comes first; text that does not
  // fit there is wrapped as any other.
  static std::string RightAligned(const std::string& text, const ControlTemplate& where,
                                  size_t width) {
    size_t edge = std::min(width, static_cast<size_t>(std::max(0, where.x + where.w) / 4));
    if (text.find('\n') != std::string::npos || text.size() + 3 > edge)
      return Wrapped("   ", text, width);
    return std::string(edge - text.size(), ' ') + text;
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
    if (!error.empty()) tty_.Write(PrintableText(error) + "\n");
    return true;
  }

  Terminal tty_;
  std::vector<int> mainChoices_;
};

}  // namespace

std::unique_ptr<UserInterface> MakeTerminalUi() {
  int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_unique<TerminalUi>(fd);
}

}  // namespace vp::headless
