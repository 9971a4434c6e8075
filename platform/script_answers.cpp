// Reading the answer script, parsing and carrying out the actions of its dialog lines, and the
// buttons of message boxes.
#include "platform/script_answers.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/ui.h"
#include "platform/ui_events.h"

namespace vp::uiscript {
namespace {

bool IsSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Cuts the next whitespace-delimited word off the front of `s`.
std::string TakeWord(std::string& s) {
  s = Trim(s);
  size_t end = 0;
  while (end < s.size() && !IsSpace(s[end])) ++end;
  std::string word = s.substr(0, end);
  s = Trim(s.substr(end));
  return word;
}

bool ParseInt(const std::string& word, int* value) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = strtol(word.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < -2147483647L || v > 2147483647L) return false;
  *value = static_cast<int>(v);
  return true;
}

// A text argument: quoted (with \" and \\) or, unquoted, everything that is left.
bool ParseText(const std::string& s, std::string* text, std::string* error) {
  if (s.empty() || s[0] != '"') {
    *text = s;
    return true;
  }
  std::string out;
  size_t i = 1;
  for (; i < s.size() && s[i] != '"'; ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '"' || s[i + 1] == '\\')) ++i;
    out += s[i];
  }
  if (i >= s.size()) {
    *error = "unterminated quoted text";
    return false;
  }
  if (!Trim(s.substr(i + 1)).empty()) {
    *error = "text after the closing quote";
    return false;
  }
  *text = out;
  return true;
}

}  // namespace

ScriptAnswers::ScriptAnswers(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error_ = "cannot read answer script " + path + ": " + strerror(errno);
    return;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  Parse(ss.str());
}

ScriptAnswers ScriptAnswers::FromText(const std::string& text) {
  ScriptAnswers answers;
  answers.Parse(text);
  return answers;
}

void ScriptAnswers::Parse(const std::string& text) {
  std::istringstream in(text);
  std::string raw;
  int number = 0;
  while (std::getline(in, raw)) {
    ++number;
    std::string rest = Trim(raw);
    if (rest.empty() || rest[0] == '#') continue;
    std::string kind = TakeWord(rest);
    if (kind == "dialog" || kind == "window") kind += " " + TakeWord(rest);
    lines_.push_back({number, kind, rest});
  }
}

const ScriptLine* ScriptAnswers::Take(const std::string& kind) {
  for (ScriptLine& line : lines_) {
    if (!line.used && line.kind == kind) {
      line.used = true;
      return &line;
    }
  }
  return nullptr;
}

const ScriptLine* ScriptAnswers::TakeFirstOf(const std::vector<std::string>& kinds) {
  for (ScriptLine& line : lines_) {
    if (line.used) continue;
    for (const std::string& kind : kinds) {
      if (line.kind == kind) {
        line.used = true;
        return &line;
      }
    }
  }
  return nullptr;
}

std::vector<std::string> SplitActions(const std::string& line) {
  std::vector<std::string> actions;
  std::string current;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted && c == '\\' && i + 1 < line.size()) {
      current += c;
      current += line[++i];
      continue;
    }
    if (c == '"') quoted = !quoted;
    if (c == ';' && !quoted) {
      if (!Trim(current).empty()) actions.push_back(Trim(current));
      current.clear();
      continue;
    }
    current += c;
  }
  if (!Trim(current).empty()) actions.push_back(Trim(current));
  return actions;
}

bool ParseAction(const std::string& text, ScriptAction* action, std::string* error) {
  std::string rest = text;
  *action = ScriptAction{};
  action->verb = TakeWord(rest);
  const std::string& verb = action->verb;
  if (verb == "click" || verb == "check" || verb == "uncheck") {
    if (!ParseInt(rest, &action->id)) {
      *error = verb + " wants a control id";
      return false;
    }
    return true;
  }
  if (verb == "type") {
    if (!ParseInt(TakeWord(rest), &action->id)) {
      *error = "type wants a control id";
      return false;
    }
    return ParseText(rest, &action->text, error);
  }
  if (verb == "select") {
    // "select ID TEXT" when a number is followed by more; otherwise all of it is the text.
    std::string probe = rest;
    int id = -1;
    if (ParseInt(TakeWord(probe), &id) && !probe.empty()) {
      action->id = id;
      rest = probe;
    }
    if (rest.empty()) {
      *error = "select wants an item text";
      return false;
    }
    return ParseText(rest, &action->text, error);
  }
  if (verb == "select-index") {
    if (!ParseInt(TakeWord(rest), &action->id) || !ParseInt(rest, &action->index)) {
      *error = "select-index wants a list id and an index";
      return false;
    }
    return true;
  }
  if (verb == "spin") {
    action->text = rest;
    if (!ParseInt(TakeWord(action->text), &action->id) ||
        (action->text != "up" && action->text != "down")) {
      *error = "spin wants an up-down control id and up or down";
      return false;
    }
    return true;
  }
  if (verb == "unselect-all") {
    if (!rest.empty() && !ParseInt(rest, &action->id)) {
      *error = "unselect-all takes a list id";
      return false;
    }
    return true;
  }
  if (verb == "key") {
    action->text = rest;
    if (rest != "enter" && rest != "escape") {
      *error = "key wants enter or escape";
      return false;
    }
    return true;
  }
  *error = "unknown action \"" + verb + "\"";
  return false;
}

namespace {

std::string ApplyAction(ScriptTarget& dialog, const ScriptAction& a) {
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

// A button's text as the user reads it: without the mnemonic marks, in lower case.
std::string PlainLabel(const char* text) {
  std::string out;
  for (; text && *text; ++text)
    if (*text != '&') out += static_cast<char>(std::tolower(static_cast<unsigned char>(*text)));
  return out;
}

}  // namespace

void ApplyDialogLine(ScriptTarget& dialog, const ScriptLine& line,
                     const std::function<void(const std::string&)>& error) {
  for (const std::string& text : SplitActions(line.rest)) {
    if (dialog.Ended()) break;
    ScriptAction action;
    std::string why;
    if (!ParseAction(text, &action, &why) || !(why = ApplyAction(dialog, action)).empty())
      error(why + " (in \"" + (action.verb == "type" ? "type" : text) + "\")");
  }
}

bool StepMainWindow(ScriptAnswers& answers, int windowId, ScriptTarget& window,
                    MainWindowProc& proc, int* menuChoice,
                    const std::function<void(const ScriptLine&, const std::string&)>& error) {
  const ScriptLine* line = answers.TakeFirstOf(
      {"window " + std::to_string(windowId), "menu", "tray", "taskbar-created", "system-menu"});
  if (!line) return false;
  if (line->kind == "menu") {
    int id = 0;
    if (!ParseInt(line->rest, &id) || id <= 0) {
      error(*line, "menu wants an item id");
      return true;
    }
    *menuChoice = id;
    proc.TrayClicked(false);
    *menuChoice = 0;
  } else if (line->kind == "tray") {
    if (line->rest != "double-click")
      error(*line, "tray wants double-click");
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
      error(*line, "system-menu wants minimise or close");
  } else {
    ApplyDialogLine(window, *line, [&](const std::string& why) { error(*line, why); });
  }
  return true;
}

Event MenuEvent(const std::vector<MenuItem>& items, int* chosen) {
  bool found = false;
  std::string shown;
  for (const MenuItem& item : items) {
    if (!shown.empty()) shown += '|';
    shown += item.id == 0 ? "-" : item.text;
    found = found || (item.id != 0 && item.id == *chosen);
  }
  if (!found) *chosen = 0;
  return Event("menu").Text("items", shown).Number("answer", *chosen);
}

std::vector<int> ClosingButtons(const DialogTemplate& tpl) {
  auto has = [&](int id) {
    for (const ControlTemplate& c : tpl.controls)
      if (c.id == id) return true;
    return false;
  };
  std::vector<int> ids;
  if (has(kIdCancel)) ids.push_back(kIdCancel);
  int defaultId = kIdOk;
  for (const ControlTemplate& c : tpl.controls) {
    bool push = c.kind == ControlKind::kPushButton || c.kind == ControlKind::kDefPushButton;
    std::string label = PlainLabel(c.text);
    if (push && (label == "exit" || label == "close")) ids.push_back(c.id);
    if (c.kind == ControlKind::kDefPushButton && defaultId == kIdOk) defaultId = c.id;
  }
  if (has(kIdOk)) ids.push_back(kIdOk);
  ids.push_back(defaultId);
  return ids;
}

std::vector<BoxButton> BoxButtons(unsigned style) {
  switch (style & 0xF) {
    case 1:
      return {{"ok", kIdOk}, {"cancel", kIdCancel}};
    case 2:
      return {{"abort", kIdAbort}, {"retry", kIdRetry}, {"ignore", kIdIgnore}};
    case 3:
      return {{"yes", kIdYes}, {"no", kIdNo}, {"cancel", kIdCancel}};
    case 4:
      return {{"yes", kIdYes}, {"no", kIdNo}};
    case 5:
      return {{"retry", kIdRetry}, {"cancel", kIdCancel}};
    default:
      return {{"ok", kIdOk}};
  }
}

const char* ButtonsName(unsigned style) {
  switch (style & 0xF) {
    case 1:
      return "okcancel";
    case 2:
      return "abortretryignore";
    case 3:
      return "yesnocancel";
    case 4:
      return "yesno";
    case 5:
      return "retrycancel";
    default:
      return "ok";
  }
}

int UnansweredBoxAnswer(unsigned style) {
  std::vector<BoxButton> buttons = BoxButtons(style);
  for (int wanted : {static_cast<int>(kIdCancel), static_cast<int>(kIdNo)})
    for (const BoxButton& b : buttons)
      if (b.id == wanted) return wanted;
  return buttons.front().id;
}

const char* AnswerWord(int id) {
  for (unsigned style : {2u, 3u})
    for (const BoxButton& b : BoxButtons(style))
      if (b.id == id) return b.word;
  return id == kIdOk ? "ok" : "";
}

int AnswerBoxFromScript(ScriptAnswers& answers, unsigned style, bool* answered,
                        const std::function<void(const ScriptLine&, const std::string&)>& error) {
  *answered = false;
  const ScriptLine* line = answers.Take("message");
  if (!line) return UnansweredBoxAnswer(style);
  for (const BoxButton& b : BoxButtons(style)) {
    if (line->rest == b.word) {
      *answered = true;
      return b.id;
    }
  }
  error(*line, "the box has no button \"" + line->rest + "\"");
  return UnansweredBoxAnswer(style);
}

}  // namespace vp::uiscript
